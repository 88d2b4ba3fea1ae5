#pragma once

#include "report/Findings.h"
#include "run/RunCounters.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace venqor {

class ReportDocument;

// The report writers of a processing run: plain, numbered note and error lines, and
// lines with a marked stretch. Line numbers are the run's LinesRead; note and error lines
// are counted in the run's NoteCount and ErrorCount. Every numbered line is a finding of
// the report too, with the facts its writer is given.
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
    void AddNoteLine(const FindingFacts& facts, std::string_view text);
    // A numbered blue error line ("%5d E: %s"); the first of the run
    // brings the bold column header and switches to Courier New.
    void AddErrorLine(const FindingFacts& facts, std::string_view text);
    // A line whose characters from..to (1-based, inclusive) are red; at most 99 characters
    // are written after the stretch.
    void AddMarkedLine(int from, int to, std::string_view text);

    static std::string_view ColumnHeader();

private:
    ReportDocument& document_;
    RunCounters& counters_;
    bool errorHeaderWritten_ = false;
};

// The text of a numbered report line, the line number and `message` (LineNumberText),
// kept as a finding of the report with `facts`.
std::string NumberedLine(
    ReportDocument& document, std::int64_t line, const FindingFacts& facts, std::string_view message);

} // namespace venqor
