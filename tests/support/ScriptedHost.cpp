#include "support/ScriptedHost.h"

#include "base/CodePage.h"

namespace venqor::test {

std::vector<std::string> ScriptedHost::reportLines() const
{
    std::vector<std::string> lines;
    for (const std::string& line : report.PlainLines())
        lines.push_back(Cp1251ToUtf8(line));
    return lines;
}

} // namespace venqor::test
