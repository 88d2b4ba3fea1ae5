#include "commands/AssignmentReport.h"

#include "report/ReportDocument.h"
#include "run/RunReport.h"

namespace venqor {

std::string AssignmentReport::numbered(std::string_view text) const
{
    std::string line = LineNumberText(counters_.LinesRead);
    line += ' ';
    line += text;
    return line;
}

void AssignmentReport::AddErrorLine(std::string_view text)
{
    if (++counters_.ErrorCount == 1) {
        document_.SetBold(true);
        document_.AppendLine(RunReport::ColumnHeader());
        document_.SetBold(false);
    }
    document_.SetColor(ReportColor::Red);
    document_.AppendLine(numbered(text));
    document_.SetColor(ReportColor::WindowText);
}

void AssignmentReport::AddNoteLine(std::string_view text)
{
    document_.AppendLine(numbered(text));
}

} // namespace venqor
