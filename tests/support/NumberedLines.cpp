#include "support/NumberedLines.h"

#include "base/CodePage.h"
#include "support/CommandRun.h"

#include <gtest/gtest.h>

namespace venqor::test {

std::vector<std::pair<std::int64_t, std::string>> NumberedLines(const std::vector<std::string>& report)
{
    std::vector<std::pair<std::int64_t, std::string>> numbered;
    for (const std::string& line : report) {
        const std::size_t digits = line.find_first_not_of(' ');
        if (digits == std::string::npos)
            continue;
        const std::size_t end = line.find_first_not_of("0123456789", digits);
        if (end == digits || end == std::string::npos || end < 5 || line[end] != ' ')
            continue;
        numbered.emplace_back(std::stoll(line.substr(digits, end - digits)), line.substr(end + 1));
    }
    return numbered;
}

void ExpectFindingsAreTheNumberedLines(const CommandRun& run)
{
    const auto numbered = NumberedLines(run.host.reportLines());
    const std::vector<Finding>& findings = run.host.report.findings();
    ASSERT_EQ(findings.size(), numbered.size());
    for (std::size_t i = 0; i < findings.size(); ++i) {
        EXPECT_EQ(findings[i].line, numbered[i].first) << i;
        EXPECT_EQ(Cp1251ToUtf8(findings[i].message), numbered[i].second) << i;
    }
    EXPECT_EQ(run.host.report.dataFile(), run.state.dataFile);
}

} // namespace venqor::test
