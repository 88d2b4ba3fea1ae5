#pragma once

#include "run/RunCounters.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace venqor {

class ReportDocument;

// The report writers of a processing run: plain, numbered note and error lines, and
// lines with a marked stretch. Line numbers are the run's LinesRead; note and error lines
// are counted in the run's NoteCount and ErrorCount.
class RunReport {
public:
    RunReport(ReportDocument& document, RunCounters& counters)
        : document_(document)
        , counters_(counters)
    {
    }

    // A whole line without number or colour change.
    void AppendLine(std::string_view text);
    // A numbered note ("%5d %s"); the first of the run brings an empty line and the
    // column header.
    void AddNoteLine(std::string_view text);
    // A numbered blue error line ("%5d E: %s"); the first of the run
    // brings the bold column header and switches to Courier New.
    void AddErrorLine(std::string_view text);
    // A line whose characters from..to (1-based, inclusive) are red; at most 99 characters
    // are written after the stretch.
    void AddMarkedLine(int from, int to, std::string_view text);

    static std::string_view ColumnHeader();

private:
    // The current line number, `marker` and `text`.
    std::string numbered(std::string_view marker, std::string_view text) const;

    ReportDocument& document_;
    RunCounters& counters_;
    bool errorHeaderWritten_ = false;
};

} // namespace venqor
