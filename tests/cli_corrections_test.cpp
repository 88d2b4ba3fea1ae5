// End-to-end runs of venqor-cli assign and fix-addresses on the bundled samples, the built
// program in VENQOR_BIN.
#include "base/CodePage.h"
#include "support/FileSizeLimit.h"
#include "support/RunCli.h"
#include "support/Samples.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace venqor {
namespace {

using test::TempDir;

// A program directory with the sample schema, the sample register and a copy of the sample
// data file.
class Home {
public:
    Home()
    {
        std::filesystem::copy_file(test::SourceFile("samples/EDV4.SCH"), dir.file("EDV4.SCH"));
        std::filesystem::copy_file(test::SourceFile("samples/sample-edv4.txt"), dir.file("data.txt"));
        const auto import = test::runCli(
            dir, { "register", "import", test::SourceFile("samples/register.csv"), dir.file("reg") });
        EXPECT_EQ(import.status, 0) << import.err;
    }
    test::CliOutcome run(std::vector<std::string> args) const
    {
        return test::runCli(dir, args, { "VENQOR_HOME=" + dir.path().string() });
    }

    TempDir dir;
};

TEST(CliCorrections, CorrectedCopiesOfTheSample)
{
    Home home;
    const std::string data = test::readFile(home.dir.file("data.txt"));

    auto run = home.run({ "assign", home.dir.file("data.txt"), "--output", home.dir.file("out.txt"),
        "--register", home.dir.file("reg") });
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "Прочитано 27 строк, проставлено 0 номеров, исправлено: 2\n");
    EXPECT_NE(
        run.out.find(" Результат обработки в Файле \"" + home.dir.file("out.txt") + "\""), std::string::npos);
    EXPECT_TRUE(run.out.ends_with("Проставлено 0 номеров, исправлено: 2\n")) << run.out;
    EXPECT_EQ(test::readFile(home.dir.file("out.txt")).size(), data.size());

    run = home.run(
        { "fix-addresses", home.dir.file("data.txt"), "--output", home.dir.file("fixed.txt"), "--quiet" });
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "Прочитано 27 строк, проставлено 0 номеров, исправлено: 21\n");
    // 610000 lies outside the range: every record's postal number becomes 600000.
    const std::string fixed = test::readFile(home.dir.file("fixed.txt"));
    EXPECT_EQ(fixed.find("610000"), std::string::npos);
    EXPECT_NE(fixed.find("600000,"), std::string::npos);
    EXPECT_EQ(test::readFile(home.dir.file("data.txt")), data);
}

TEST(CliCorrections, FailuresAndUsageErrorsHaveTheirExitStatus)
{
    Home home;
    const std::string data = home.dir.file("data.txt");
    const std::string before = test::readFile(data);
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int status;
        const char* inErr;
    } cases[] = {
        { "assign without --output", { "assign", data }, 2, "--output FILE is required" },
        { "fix-addresses without --output", { "fix-addresses", data }, 2, "--output FILE is required" },
        { "search-only is the assignment's", { "fix-addresses", data, "--output", "x", "--search-only" }, 2,
            "unknown option --search-only" },
        { "output is the data file", { "assign", data, "--output", data }, 1,
            "Файл результата совпадает с исходным файлом" },
        { "output is the data file spelled otherwise",
            { "fix-addresses", home.dir.file("reg/../data.txt"), "--output", data }, 1,
            "Файл результата совпадает с исходным файлом" },
        { "output in a missing directory", { "fix-addresses", data, "--output", home.dir.file("no/out.txt") },
            1, "Нет папки для файла результата" },
        { "report over the data file",
            { "fix-addresses", data, "--output", home.dir.file("o.txt"), "--report", data }, 1,
            "Файл результата совпадает с исходным файлом (--report)" },
        { "report over the output",
            { "fix-addresses", data, "--output", home.dir.file("o.txt"), "--report",
                home.dir.file("reg/../o.txt") },
            1, "Файл результата назван дважды: " },
        { "no name for the output", { "assign", data, "--output", "" }, 2, "--output needs a name" },
        { "register unavailable",
            { "assign", data, "--output", home.dir.file("o.txt"), "--register", home.dir.file("nowhere"),
                "--quiet" },
            3, "Реестр NUMS недоступен, поиск не выполнялся: " },
        { "output that cannot be written whole",
            { "assign", data, "--output", home.dir.file("big.txt"), "--register", home.dir.file("reg"),
                "--quiet" },
            3, "Файл результата не записан: " },
    };
    for (const Case& c : cases) {
        test::CliOutcome run;
        if (std::string_view(c.name) == "output that cannot be written whole") {
            // A file size limit, inherited by the program: its output fails as on a full disk
            // (the program ignores the signal the limit raises).
            {
                const test::FileSizeLimit limit(1024);
                run = home.run(c.args);
            }
            for (const auto& entry : std::filesystem::directory_iterator(home.dir.path()))
                EXPECT_FALSE(entry.path().filename().string().find("big.txt") != std::string::npos)
                    << entry.path();
        } else {
            run = home.run(c.args);
        }
        EXPECT_EQ(run.status, c.status) << c.name << "\n" << run.err;
        EXPECT_NE(run.err.find(c.inErr), std::string::npos) << c.name << "\n" << run.err;
        EXPECT_EQ(test::readFile(data), before) << c.name;
    }
    for (const char* command : { "assign", "fix-addresses" }) {
        const auto help = home.run({ command, "--help" });
        EXPECT_EQ(help.status, 0);
        EXPECT_NE(help.out.find("Usage: venqor-cli " + std::string(command) + " DATAFILE --output FILE"),
            std::string::npos);
    }
}

} // namespace
} // namespace venqor
