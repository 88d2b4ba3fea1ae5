#pragma once

#include "run/RunHost.h"

#include <QElapsedTimer>

#include <cstdint>
#include <string>

class QLabel;
class QProgressBar;
class QWidget;

namespace venqor::gui {

class TfrmReport;

// The run host of the desktop program: real message boxes and save dialog over the main
// window, the report viewer's document, and the status line's progress bar and record
// counter. Progress is painted, and pending events run, at most every 50 ms, so that a
// long run stays responsive without paying for every call.
class WindowHost final : public RunHost {
public:
    WindowHost(QWidget& window, QProgressBar& progressBar, QLabel& recordCount, TfrmReport& viewer);

    bool Ask(std::string_view question) override;
    void Message(std::string_view text) override;
    std::optional<std::filesystem::path> ChooseSaveFile(const std::filesystem::path& proposed) override;
    ReportDocument& Report() override;
    void ShowReport() override;
    void ShowRecordCount(std::string_view text) override;
    TimeOfDay Now() override { return SystemTimeOfDay(); }

    void ProgressStart(std::uint64_t maximum) override;
    void Progress(std::uint64_t position) override;
    void ProgressEnd() override;

private:
    // Shows the pending record count and progress and lets pending events run.
    void repaint();

    QWidget& window_;
    QProgressBar& progressBar_;
    QLabel& recordCount_;
    TfrmReport& viewer_;

    std::uint64_t maximum_ = 0;
    std::uint64_t position_ = 0;
    std::string pendingCount_; // Windows-1251, shown at the next repaint
    bool countPending_ = false;
    QElapsedTimer sinceRepaint_;
};

} // namespace venqor::gui
