#include "support/CommandRun.h"

#include "base/CodePage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace venqor::test {

CommandRun::CommandRun(std::string_view schema)
{
    dir.write("TEST.SCH", schema);
    state = DefaultMainState(dir.path());
    state.schema = "TEST";
    state.registerLocation = registerDir();
    state.dataFile = dir.path() / "DATA.TXT";
    host.saveFile = dir.path() / "OUT.TXT";
}

std::vector<std::string> CommandRun::run(CommandFunction command, const std::string& data)
{
    state.dataFile = dir.write("DATA.TXT", data);
    result = command(state, host);
    return host.reportLines();
}

std::vector<std::string> CommandRun::findings() const
{
    const std::vector<std::string> report = host.reportLines();
    const auto begin = std::find(report.begin(), report.end(), " Начало  10.20.30 45");
    const auto end = std::find(report.begin(), report.end(), " Конец   10.20.30 45");
    EXPECT_NE(begin, report.end());
    EXPECT_NE(end, report.end());
    if (begin == report.end() || end == report.end())
        return report;
    return { begin + 1, end };
}

std::string CommandRun::lastSummary() const
{
    return Cp1251ToUtf8(host.report.PlainLines().back());
}

std::vector<std::string> CommandRun::files() const
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace venqor::test
