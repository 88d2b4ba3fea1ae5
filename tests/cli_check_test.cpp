// End-to-end runs of venqor-cli check on the bundled samples, the built program in VENQOR_BIN.
#include "base/CodePage.h"
#include "support/RunCli.h"
#include "support/Samples.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace venqor {
namespace {

using test::TempDir;

// A program directory with the sample schemas and the sample register.
class Home {
public:
    Home()
    {
        for (const char* name : { "EDV4.SCH", "FOMS.SCH" })
            std::filesystem::copy_file(test::SourceFile("samples/" + std::string(name)), dir.file(name));
        const auto import = test::runCli(
            dir, { "register", "import", test::SourceFile("samples/register.csv"), registerDir() });
        EXPECT_EQ(import.status, 0) << import.err;
    }
    std::string registerDir() const { return dir.file("reg"); }
    test::CliOutcome check(std::vector<std::string> args) const
    {
        args.insert(args.begin(), "check");
        return test::runCli(dir, args, { "VENQOR_HOME=" + dir.path().string() });
    }

    TempDir dir;
};

std::vector<std::string> lines(const std::string& text, const char* end = "\n")
{
    std::vector<std::string> out;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t next = text.find(end, pos);
        out.push_back(text.substr(pos, next - pos));
        pos = next == std::string::npos ? text.size() : next + std::strlen(end);
    }
    return out;
}

TEST(CliCheck, AProgramInEachLayoutFindsItsSchemasAndKeepsANKTWhereItMay)
{
    struct Case {
        const char* layout;
        const char* program;                    // where venqor-cli is copied
        std::vector<std::string> schemas;       // where the sample schema goes
        std::vector<std::string> brokenSchemas; // where a schema that must not be read goes
        std::string home;                       // VENQOR_HOME, relative; empty for none
        const char* ankt;                       // where ANKT.DB must appear
    } cases[] = {
        { "an installed or unpacked package", "prefix/bin", { "prefix/share/venqor" }, {}, "",
            "home/.config/venqor" },
        { "a portable copy", "portable", { "portable" }, {}, "", "portable" },
        { "the user's own schema before the installed one", "prefix/bin", { "home/.config/venqor" },
            { "prefix/share/venqor" }, "", "home/.config/venqor" },
        { "VENQOR_HOME", "prefix/bin", { "venqor-home" }, { "prefix/share/venqor", "home/.config/venqor" },
            "venqor-home", "venqor-home" },
    };
    const std::string sample = test::SourceFile("samples/sample-edv4.txt");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.layout);
        TempDir dir;
        const auto place = [&](const std::string& relative) {
            std::filesystem::create_directories(dir.path() / relative);
            return dir.path() / relative;
        };
        const std::filesystem::path program = place(c.program) / "venqor-cli";
        std::filesystem::copy_file(test::BuiltCli(), program);
        for (const std::string& at : c.schemas)
            std::filesystem::copy_file(test::SourceFile("samples/EDV4.SCH"), place(at) / "EDV4.SCH");
        for (const std::string& at : c.brokenSchemas)
            dir.write((place(at) / "EDV4.SCH").string(), "");
        const std::string reg = dir.file("reg");
        ASSERT_EQ(
            test::runCli(dir, { "register", "import", test::SourceFile("samples/register.csv"), reg }).status,
            0);

        const auto run = test::runCli(dir,
            { "check", sample, "--register", reg, "--collect-not-found", "--quiet" },
            { "HOME=" + dir.file("home"),
                "XDG_CONFIG_HOME=", "VENQOR_HOME=" + (c.home.empty() ? std::string() : dir.file(c.home)) },
            program.string());
        EXPECT_EQ(run.status, 0) << run.err;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path())) {
            if (entry.path().filename() == "ANKT.DB") {
                EXPECT_EQ(entry.path(), dir.path() / c.ankt / "ANKT.DB");
            }
        }
        EXPECT_TRUE(std::filesystem::exists(dir.path() / c.ankt / "ANKT.DB"));
    }
}

TEST(CliCheck, SampleReportOnStandardOutputAndSummaryOnStandardError)
{
    Home home;
    const std::string data = test::SourceFile("samples/sample-edv4.txt");
    const std::string before = test::readFile(data);
    const auto run
        = home.check({ data, "--register", home.registerDir(), "--report", home.dir.file("report.txt") });
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "Прочитано 27 строк и записей: 21, нет номеров у 1, найдено ошибок: 18\n");

    const auto report = lines(run.out);
    ASSERT_GT(report.size(), 10u);
    EXPECT_EQ(report[0], "Проверка реестра льготников на соответствие ФИО указанному стр.номеру");
    EXPECT_EQ(report[2], "  Строки формата \"ЕДВ-4\" типа \"О\" по схеме \"EDV4\""); // detected from line 1
    EXPECT_EQ(report.back(), "Нет номеров у 1, не найдено в БД: 1, обнаружено ошибок: 18");
    for (const char* finding : { "Расхождения в ФИО у стр.№ ", "Расхождение в д/р ", "Отмененный стр.№ ",
             " не может быть ФИО ", " неизвестны правильные ФИО", "Отсутствует в БД стр.№ ",
             "Не найден стр.№ ", "Ошибка в контр. сумме у стр.№ ", "Ошибка форматирования даты ",
             "Ошибка форматирования строки " })
        EXPECT_NE(run.out.find(finding), std::string::npos) << finding;

    // The saved report is the same text in Windows-1251 with CR LF; the data file is untouched.
    EXPECT_EQ(lines(Cp1251ToUtf8(test::readFile(home.dir.file("report.txt"))), "\r\n"), report);
    EXPECT_EQ(test::readFile(data), before);
}

TEST(CliCheck, OptionsAndSettingsTakeTheirPlaceInTheOrder)
{
    Home home;
    const std::string data = test::SourceFile("samples/sample-edv4.txt");
    // The register from venqor.ini; --format after detection; --schema after --format.
    home.dir.write("venqor.ini", "[Init]\r\nNUMS=" + Utf8ToCp1251(home.registerDir()) + "\r\n");
    auto run = home.check({ data, "--format", "ФОМС", "--quiet" });
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "Прочитано 27 строк и записей: 0, нет номеров у 0, найдено ошибок: 0\n"); // marker М

    run = home.check({ data, "--format", "ФОМС", "--schema", "EDV4", "--record-type", "О",
        "--no-status-errors", "--no-birth-errors" });
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("по схеме \"EDV4\""), std::string::npos);
    EXPECT_EQ(run.out.find("Не найден"), std::string::npos);
    EXPECT_EQ(run.out.find("Расхождение в д/р"), std::string::npos);
}

TEST(CliCheck, FailuresAndUsageErrorsHaveTheirExitStatus)
{
    Home home;
    const std::string data = test::SourceFile("samples/sample-edv4.txt");
    // NUL bytes, a lone LF and CR, a record line of 100,000 characters, Ctrl-Z before the end.
    home.dir.write("binary.dat",
        std::string("\0\x01\xFF\r\n\n\r", 7) + std::string(100000, '\x8E') + "\r\n\x1A" + "after");
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int status;
        const char* inErr;
    } cases[] = {
        { "no data file", {}, 2, "no data file given" },
        { "unknown option", { data, "--bogus" }, 2, "unknown option --bogus" },
        { "option of another command", { data, "--output", "x" }, 2, "unknown option --output" },
        { "option without value", { data, "--schema" }, 2, "needs a value" },
        { "missing data file", { home.dir.file("none.txt") }, 1, "none.txt" },
        { "missing schema", { data, "--schema", "NOSUCH" }, 1, "NOSUCH.SCH" },
        { "schema without fields", { data, "--schema", "binary.dat" }, 1, "Ошибка в схеме!" },
        { "binary data file", { home.dir.file("binary.dat"), "--register", home.registerDir() }, 0,
            "Прочитано 3 строк и записей: 1, нет номеров у 1" },
        { "register that names nothing", { data, "--register", home.dir.file("nowhere"), "--quiet" }, 3,
            "Реестр NUMS недоступен, поиск не выполнялся: " },
        { "ANKT that cannot be opened", { data, "--register", home.registerDir(), "--collect-not-found" }, 3,
            "Ошибка при открытии таблицы ANKT: " },
    };
    std::filesystem::create_directory(home.dir.path() / "ANKT.DB");
    for (const Case& c : cases) {
        const auto run = home.check(c.args);
        EXPECT_EQ(run.status, c.status) << c.name << "\n" << run.err;
        EXPECT_NE(run.err.find(c.inErr), std::string::npos) << c.name << "\n" << run.err;
    }
    const auto ankt = home.check({ data, "--register", home.registerDir(), "--collect-not-found" });
    EXPECT_NE(ankt.out.find("Ошибка при открытии таблицы ANKT"), std::string::npos);
    const auto help = home.check({ "--help" });
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: venqor-cli check DATAFILE"), std::string::npos);
}

} // namespace
} // namespace venqor
