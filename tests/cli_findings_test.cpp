// The findings table of venqor-cli: every numbered line of the saved report is one row, in
// report order, read back by Python's csv and json modules.
#include "base/CodePage.h"
#include "support/NumberedLines.h"
#include "support/PythonReaders.h"
#include "support/RunCli.h"
#include "support/Samples.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace venqor {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// The saved report's lines (Windows-1251, CR LF) in UTF-8.
std::vector<std::string> reportLines(const std::string& file)
{
    std::vector<std::string> lines;
    const std::string text = Cp1251ToUtf8(test::readFile(file));
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t end = text.find("\r\n", pos);
        lines.push_back(text.substr(pos, end - pos));
        pos = end == std::string::npos ? text.size() : end + 2;
    }
    return lines;
}

TEST(CliFindings, TheRowsAreTheReportsNumberedLinesAsCsvAndJsonLines)
{
    TempDir dir;
    for (const char* schema : { "EDV4.SCH" })
        fs::copy_file(test::SourceFile(std::string("samples/") + schema), dir.path() / schema);
    ASSERT_EQ(
        test::runCli(dir, { "register", "import", test::SourceFile("samples/register.csv"), dir.file("reg") })
            .status,
        0);
    const std::string data = test::SourceFile("samples/sample-edv4.txt");
    const std::vector<std::string> columns
        = { "file", "line", "kind", "number", "given", "registered", "message" };
    struct Case {
        std::vector<std::string> command;
        const char* findings;
    } cases[] = {
        { { "check", data }, "f.csv" },
        { { "check", data, "--no-birth-errors" }, "f.jsonl" },
        { { "assign", data, "--output", dir.file("out.txt") }, "f.csv" },
        { { "assign", data, "--output", dir.file("out.txt") }, "f.jsonl" },
        { { "fix-addresses", data, "--output", dir.file("out.txt") }, "f.csv" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command[0] + " " + c.findings);
        std::vector<std::string> args = c.command;
        for (const std::string& more : { std::string("--register"), dir.file("reg"), std::string("--report"),
                 dir.file("r.txt"), std::string("--findings"), dir.file(c.findings), std::string("--quiet") })
            args.push_back(more);
        if (c.command[0] == "fix-addresses")
            args.erase(args.begin() + 4, args.begin() + 6); // no register
        const auto run = test::runCli(dir, args, { "VENQOR_HOME=" + dir.path().string() });
        ASSERT_EQ(run.status, 0) << run.err;
        const auto numbered = test::NumberedLines(reportLines(dir.file("r.txt")));
        const bool json = std::string_view(c.findings).ends_with(".jsonl");
        auto rows = json ? test::readJsonLines(dir.file(c.findings), columns, { "line" })
                         : test::readCsv(dir.file(c.findings));
        if (!json) {
            ASSERT_FALSE(rows.empty());
            EXPECT_EQ(rows.front(), columns);
            rows.erase(rows.begin());
        }
        ASSERT_EQ(rows.size(), numbered.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            SCOPED_TRACE(i);
            ASSERT_EQ(rows[i].size(), columns.size());
            EXPECT_EQ(rows[i][0], data);
            EXPECT_EQ(rows[i][1], std::to_string(numbered[i].first));
            EXPECT_FALSE(rows[i][2].empty());
            EXPECT_EQ(rows[i][6], numbered[i].second);
        }
        EXPECT_EQ(numbered.empty(), c.command[0] == "fix-addresses") << "the sample has findings";
    }
}

TEST(CliFindings, TheFindingsFileIsRefusedLikeAnyOutput)
{
    TempDir dir;
    fs::copy_file(test::SourceFile("samples/EDV4.SCH"), dir.path() / "EDV4.SCH");
    const std::string data = test::SourceFile("samples/sample-edv4.txt");
    struct Case {
        const char* edge;
        std::vector<std::string> args;
        int status;
        const char* inErr;
    } cases[] = {
        { "the data file", { "check", data, "--findings", data }, 1,
            "Файл результата совпадает с исходным файлом" },
        { "the report's own file",
            { "check", data, "--report", dir.file("r.txt"), "--findings", dir.file("r.txt") }, 1,
            "Файл результата назван дважды" },
        { "a program file", { "check", data, "--findings", dir.file("venqor.ini") }, 1,
            "Файл результата совпадает с файлом настроек" },
        { "no name", { "check", data, "--findings", "" }, 2, "--findings needs a name" },
        { "not for the conversion", { "convert", data, "--findings", dir.file("f.csv") }, 2,
            "unknown option --findings" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.edge);
        const auto run = test::runCli(dir, c.args, { "VENQOR_HOME=" + dir.path().string() });
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_NE(run.err.find(c.inErr), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(dir.path() / "r.txt"));
    }
}

} // namespace
} // namespace venqor
