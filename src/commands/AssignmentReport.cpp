#include "commands/AssignmentReport.h"

#include "report/ReportDocument.h"
#include "run/RunReport.h"

namespace venqor {

void AssignmentReport::AddErrorLine(const FindingFacts& facts, std::string_view text)
{
    if (++counters_.ErrorCount == 1) {
        document_.SetBold(true);
        document_.AppendLine(RunReport::ColumnHeader());
        document_.SetBold(false);
    }
    document_.SetColor(ReportColor::Red);
    document_.AppendLine(NumberedLine(document_, counters_.LinesRead, facts, text));
    document_.SetColor(ReportColor::WindowText);
}

void AssignmentReport::AddNoteLine(const FindingFacts& facts, std::string_view text)
{
    document_.AppendLine(NumberedLine(document_, counters_.LinesRead, facts, text));
}

} // namespace venqor
