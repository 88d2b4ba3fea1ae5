#pragma once

#include <cstdint>
#include <string>

namespace venqor {

// The counters of a processing run, all starting at zero; 64 bits wide, so that no file
// is too long for them. A command's own counters live with its record step.
struct RunCounters {
    std::int64_t LinesRead = 0;    // lines taken so far; the number of the current line
    std::int64_t HeaderCount = 0;  // lines beginning with "В"
    std::int64_t RecordCount = 0;  // lines beginning with the record marker
    std::int64_t BenefitCount = 0; // lines beginning with "Л"
    std::int64_t BytesRead = 0;    // sum of (line length + 2), the progress position
    std::int64_t ErrorCount = 0;   // error lines written, plus errors counted without one
    std::int64_t NoteCount = 0;    // note lines written
};

// A line number as the report writes it before a message: right-aligned in five places,
// and as wide as its digits when it has more ("%5d").
inline std::string LineNumberText(std::int64_t line)
{
    std::string text = std::to_string(line);
    if (text.size() < 5)
        text.insert(0, 5 - text.size(), ' ');
    return text;
}

} // namespace venqor
