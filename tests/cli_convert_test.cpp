// End-to-end runs of venqor-cli convert on the bundled sample, the built program in VENQOR_BIN.
#include "base/CodePage.h"
#include "support/FileSizeLimit.h"
#include "support/PythonReaders.h"
#include "support/RunCli.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace venqor {
namespace {

using test::TempDir;

std::string source(const std::string& relative)
{
    const char* root = std::getenv("VENQOR_SOURCE");
    if (!root)
        throw std::runtime_error("VENQOR_SOURCE is not set");
    return std::string(root) + "/" + relative;
}

// A program directory with the sample schema.
struct Home {
    Home() { std::filesystem::copy_file(source("samples/EDV4.SCH"), dir.file("EDV4.SCH")); }
    test::CliOutcome convert(std::vector<std::string> args) const
    {
        args.insert(args.begin(), "convert");
        return test::runCli(dir, args, { "VENQOR_HOME=" + dir.path().string() });
    }
    TempDir dir;
};

std::size_t lineCount(const std::string& text)
{
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST(CliConvert, SampleRecordLinesIntoTheFormatsTableInTheProgramDirectory)
{
    Home home;
    const std::string data = source("samples/sample-edv4.txt");
    const auto run = home.convert({ data });
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(
        run.out, "Преобразование текстового файла \"" + data + "\" по схеме \"EDV4\"\n в таблицу EDV4.DBF\n");
    const std::string dump = test::dumpDbf(home.dir.file("EDV4.DBF"));
    EXPECT_EQ(lineCount(dump), 1 + 12 + 21) << dump; // language, fields, the record lines
    EXPECT_NE(dump.find("\nfield summa N 20 9\n"), std::string::npos) << dump; // a float of 10 characters
    EXPECT_NE(dump.find("\nО|112-233-445 95|Иванов|Иван|Иванович|1950-03-15|М|"), std::string::npos) << dump;
}

TEST(CliConvert, TableWithADirectoryAndEveryLineAsCsv)
{
    Home home;
    const TempDir elsewhere;
    const auto run = home.convert({ source("samples/sample-edv4.txt"), "--table", elsewhere.file("all.csv"),
        "--condition", "Все", "--quiet" });
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(lineCount(test::readFile(elsewhere.file("all.csv"))), 1 + 27); // the header row, every line
}

TEST(CliConvert, ALineTheTableCannotTakeIsNamedAndExitsWithThree)
{
    Home home;
    std::string data = test::readFile(source("samples/sample-edv4.txt"));
    // The sum of the first record line, line 3, written with a comma.
    const std::size_t line3 = data.find('\n', data.find('\n') + 1) + 1;
    data.replace(line3 + 214, 10, "1,5       ");
    const std::string file = home.dir.write("data.txt", data);
    const auto run = home.convert({ file, "--quiet", "--report", home.dir.file("report.txt") });
    EXPECT_EQ(run.status, 3) << run.err;
    EXPECT_NE(run.err.find("Строк, не записанных в таблицу: 1; первая - строка 3: "), std::string::npos)
        << run.err;
    EXPECT_NE(Cp1251ToUtf8(test::readFile(home.dir.file("report.txt")))
                  .find("\r\n    3 E: Строка не записана в таблицу: " + home.dir.file("EDV4.DBF")
                      + ", field \"SUMMA\": \"1,5\" is not a number\r\n"),
        std::string::npos);
    EXPECT_EQ(lineCount(test::dumpDbf(home.dir.file("EDV4.DBF"))), 1 + 12 + 20) << "every other record line";
}

TEST(CliConvert, FailuresExitWithTheirStatus)
{
    struct Case {
        const char* edge;
        std::vector<std::string> args;
        int status;
        const char* message; // on standard error
        rlim_t fileSizeLimit = RLIM_INFINITY;
    };
    const Case cases[] = {
        { "missing data file", { "none.txt" }, 1, "cannot open \"none.txt\"" },
        { "missing directory of the table", { source("samples/sample-edv4.txt"), "--table", "none/t.dbf" }, 1,
            "none" },
        { "an option of another command", { source("samples/sample-edv4.txt"), "--register", "x" }, 2,
            "unknown option --register" },
        { "a table that cannot be written whole", { source("samples/sample-edv4.txt") }, 1,
            "Файл результата не записан: ", 1024 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.edge);
        Home home;
        test::CliOutcome run;
        {
            const test::FileSizeLimit limit(c.fileSizeLimit);
            run = home.convert(c.args);
        }
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(home.dir.file("EDV4.DBF")));
    }
}

} // namespace
} // namespace venqor
