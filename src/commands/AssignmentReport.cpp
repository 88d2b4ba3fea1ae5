#include "commands/AssignmentReport.h"

#include "report/ReportDocument.h"
#include "run/RunReport.h"

#include <cstdio>

namespace venqor {

std::string AssignmentReport::numbered(std::string_view text) const
{
    char number[16];
    const int n = std::snprintf(number, sizeof number, "%5d ", counters_.LinesRead);
    std::string line(number, static_cast<std::size_t>(n));
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
