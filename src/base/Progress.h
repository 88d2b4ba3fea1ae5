#pragma once

#include <cstdint>

namespace venqor {

// Where a long job tells how far it has come: shown with its maximum, moved now and then
// to a position in the same units (bytes, lines, rows), hidden at the end. The desktop
// window moves its progress bar and lets pending events run; the command line draws a
// bar on a terminal.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void ProgressStart(std::uint64_t maximum) = 0;
    virtual void Progress(std::uint64_t position) = 0;
    virtual void ProgressEnd() = 0;
};

} // namespace venqor
