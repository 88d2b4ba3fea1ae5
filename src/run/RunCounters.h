#pragma once

#include <cstdint>

namespace venqor {

// The counters of a processing run, all starting at zero. A command's own counters live
// with its record step.
struct RunCounters {
    std::int32_t LinesRead = 0;    // lines taken so far; the number of the current line
    std::int32_t HeaderCount = 0;  // lines beginning with "В"
    std::int32_t RecordCount = 0;  // lines beginning with the record marker
    std::int32_t BenefitCount = 0; // lines beginning with "Л"
    std::int64_t BytesRead = 0;    // sum of (line length + 2), the progress position
    std::int32_t ErrorCount = 0;   // error lines written, plus errors counted without one
    std::int32_t NoteCount = 0;    // note lines written
};

} // namespace venqor
