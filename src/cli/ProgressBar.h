#pragma once

#include "base/Progress.h"

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

namespace venqor::cli {

// A progress bar on one terminal line, "\r[#####     ]  42%", redrawn at most ten times a
// second; it draws nothing when its stream is no terminal. At each step it ends the job
// (Interrupted) once a stop signal has been noted (see StopSignals). The line is cleared when the
// bar ends or goes out of scope, so that the next message starts on a clean line.
class ProgressBar final : public ProgressSink {
public:
    ProgressBar(std::ostream& out, bool isTerminal);
    ~ProgressBar() override { ProgressEnd(); }
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void ProgressStart(std::uint64_t maximum) override;
    void Progress(std::uint64_t position) override;
    // Clears the bar's line.
    void ProgressEnd() override;

private:
    static constexpr int width = 40;
    static constexpr std::chrono::milliseconds interval { 100 };

    std::ostream& out_;
    bool enabled_;
    std::uint64_t maximum_ = 0;
    bool drawn_ = false;
    int percent_ = -1;
    std::chrono::steady_clock::time_point last_;
};

} // namespace venqor::cli
