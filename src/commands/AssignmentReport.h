#pragma once

#include "report/Findings.h"
#include "run/RunCounters.h"

#include <string>
#include <string_view>

namespace venqor {

class ReportDocument;

// The two report writers of the number assignment. Unlike the run's own writers they keep
// the font, write errors in red without an "E:" marker, and bring no header before notes.
class AssignmentReport {
public:
    AssignmentReport(ReportDocument& document, RunCounters& counters)
        : document_(document)
        , counters_(counters)
    {
    }

    // A red line "%5d %s" numbered with the current line; counted in ErrorCount, and the
    // first of the run brings the bold column header. A finding of the report, as below.
    void AddErrorLine(const FindingFacts& facts, std::string_view text);
    // A plain line "%5d %s" numbered with the current line, and a finding of the report.
    void AddNoteLine(const FindingFacts& facts, std::string_view text);

private:
    ReportDocument& document_;
    RunCounters& counters_;
};

} // namespace venqor
