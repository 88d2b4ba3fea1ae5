// End-to-end runs of venqor-cli register, the built program in VENQOR_BIN.
#include "support/RunCli.h"
#include "support/SqliteQuery.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace venqor {
namespace {

using test::TempDir;

using CliRun = test::CliOutcome;

std::string rowCount(const std::string& file)
{
    return *test::SqliteRows(file, "SELECT count(*) FROM NUMS").at(0).at(0);
}

TEST(CliRegister, ImportsACsvRegister)
{
    TempDir dir;
    const std::string source = dir.write(
        "r.csv", "NUM,FAM,NAM,OTCH,BIRTH\n123-456-789 64,ЁЛКИН,ПЁТР,ИВАНОВИЧ,01.02.1950\n1001,А,Б,В,\n");
    const std::string reg = dir.file("reg");
    const CliRun run = test::runCli(dir, { "register", "import", source, reg });
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "imported 2 rows into " + reg + "/NUMS.DB\n"); // no progress bar off a terminal
    const std::vector<test::SqlRow> expected = { { "ЁЛКИН", "ПЁТР", "1950-02-01" } };
    EXPECT_EQ(test::SqliteRows(reg + "/NUMS.DB", "SELECT FAM, NAM, BIRTH FROM NUMS WHERE NUM = 123456789"),
        expected);
}

TEST(CliRegister, ImportsIntoATableOfOneSqliteFile)
{
    TempDir dir;
    const std::string source = dir.write("r.csv", "NUM,FAM,NAM,OTCH,BIRTH\n1001,А,Б,В,\n1002,Г,Д,Е,\n");
    const std::string file = dir.file("office.db");
    const CliRun missing = test::runCli(dir, { "register", "import", source, "sqlite:" + file });
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("no such file"), std::string::npos) << missing.err;
    EXPECT_FALSE(std::filesystem::exists(file));

    // An SQLite file that holds a register already: its NUMS is replaced.
    ASSERT_EQ(test::runCli(dir, { "register", "demo", dir.path().string(), "--rows", "3" }).status, 0);
    std::filesystem::rename(dir.file("NUMS.DB"), file);
    const CliRun run = test::runCli(dir, { "register", "import", source, "sqlite:" + file });
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "imported 2 rows into NUMS of sqlite:" + file + "\n");
    EXPECT_EQ(rowCount(file), "2");
}

TEST(CliRegister, FailedImportSaysWhereAndLeavesTheRegister)
{
    TempDir dir;
    const std::string reg = dir.file("reg");
    ASSERT_EQ(test::runCli(dir, { "register", "demo", reg, "--rows", "10" }).status, 0);
    const std::string before = test::readFile(reg + "/NUMS.DB");
    const std::string source
        = dir.write("r.csv", "NUM,FAM,NAM,OTCH,BIRTH\n1001,А,Б,В,\n1002,А,Б,В,30.02.1950\n");
    const CliRun run = test::runCli(dir, { "register", "import", source, reg });
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "venqor-cli register: " + source + ", line 3: bad date \"30.02.1950\" in BIRTH\n");
    EXPECT_EQ(test::readFile(reg + "/NUMS.DB"), before);
}

TEST(CliRegister, AHeaderWithoutRowsReplacesTheRegisterOnlyWhenAskedTo)
{
    TempDir dir;
    const std::string reg = dir.file("reg");
    ASSERT_EQ(test::runCli(dir, { "register", "demo", reg, "--rows", "10" }).status, 0);
    const std::string before = test::readFile(reg + "/NUMS.DB");
    const std::string source = dir.write("r.csv", "NUM,FAM,NAM,OTCH,BIRTH\n");
    const CliRun refused = test::runCli(dir, { "register", "import", source, reg });
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find(source + ", line 1: no rows to import"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("--allow-empty"), std::string::npos) << refused.err;
    EXPECT_EQ(test::readFile(reg + "/NUMS.DB"), before);

    const CliRun allowed = test::runCli(dir, { "register", "import", source, reg, "--allow-empty" });
    EXPECT_EQ(allowed.status, 0) << allowed.err;
    EXPECT_EQ(allowed.err, "imported 0 rows into " + reg + "/NUMS.DB\n");
    EXPECT_EQ(rowCount(reg + "/NUMS.DB"), "0");
}

TEST(CliRegister, DemoWritesTheRowsAskedFor)
{
    TempDir dir;
    const CliRun defaults = test::runCli(dir, { "register", "demo", dir.file("a") });
    EXPECT_EQ(defaults.status, 0) << defaults.err;
    EXPECT_EQ(defaults.err, "wrote 1000 demo rows into " + dir.file("a") + "/NUMS.DB\n");
    EXPECT_EQ(rowCount(dir.file("a/NUMS.DB")), "1000");

    // The options may come in any order; the same seed gives the same people.
    EXPECT_EQ(
        test::runCli(dir, { "register", "demo", dir.file("b"), "--seed", "7", "--rows", "25" }).status, 0);
    EXPECT_EQ(
        test::runCli(dir, { "register", "demo", dir.file("c"), "--rows", "25", "--seed", "7" }).status, 0);
    const std::string all = "SELECT * FROM NUMS ORDER BY NUM";
    EXPECT_EQ(rowCount(dir.file("b/NUMS.DB")), "25");
    EXPECT_EQ(test::SqliteRows(dir.file("b/NUMS.DB"), all), test::SqliteRows(dir.file("c/NUMS.DB"), all));
}

TEST(CliRegister, HelpListsTheCommandAndItsForms)
{
    TempDir dir;
    const CliRun top = test::runCli(dir, { "--help" });
    EXPECT_EQ(top.status, 0);
    EXPECT_NE(top.out.find("  register "), std::string::npos) << top.out;
    for (const std::vector<std::string>& args :
        { std::vector<std::string> { "register", "--help" }, { "register", "demo", "--help" } }) {
        const CliRun run = test::runCli(dir, args);
        EXPECT_EQ(run.status, 0);
        EXPECT_NE(run.out.find("venqor-cli register import SOURCE LOCATION"), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("venqor-cli register demo LOCATION [--rows N] [--seed S]"), std::string::npos);
    }
}

TEST(CliRegister, UsageErrorsExitWithTwo)
{
    struct Case {
        const char* edge;
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        { "no action", { "register" }, "missing import or demo" },
        { "unknown action", { "register", "export" }, "unknown register command \"export\"" },
        { "import without LOCATION", { "register", "import", "r.csv" }, "missing LOCATION" },
        { "import with one argument too many", { "register", "import", "r.csv", "d", "e" },
            "unexpected argument e" },
        { "demo without LOCATION", { "register", "demo" }, "missing LOCATION" },
        { "rows not a number", { "register", "demo", "d", "--rows", "many" },
            "option --rows takes a number" },
        { "negative rows", { "register", "demo", "d", "--rows", "-5" }, "option --rows takes a number" },
        { "more rows than numbers", { "register", "demo", "d", "--rows", "999999000" },
            "option --rows takes a number" },
        { "rows without value", { "register", "demo", "d", "--rows" }, "option --rows needs a value" },
        { "unknown option", { "register", "demo", "d", "--colour" }, "unknown option --colour" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.edge);
        TempDir dir;
        const CliRun run = test::runCli(dir, c.args);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find("venqor-cli register: " + c.message), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("Usage: venqor-cli register import"), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(dir.file("d")));
    }
}

} // namespace
} // namespace venqor
