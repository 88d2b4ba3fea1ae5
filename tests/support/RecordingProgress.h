#pragma once

#include "base/Progress.h"

#include <cstdint>
#include <vector>

namespace venqor::test {

// Records what a job told of its progress.
class RecordingProgress final : public ProgressSink {
public:
    std::uint64_t maximum = 0;
    std::vector<std::uint64_t> positions;
    bool started = false;
    bool ended = false;

    void ProgressStart(std::uint64_t max) override
    {
        maximum = max;
        started = true;
    }
    void Progress(std::uint64_t position) override { positions.push_back(position); }
    void ProgressEnd() override { ended = true; }
};

} // namespace venqor::test
