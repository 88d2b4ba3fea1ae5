#include "commands/NumberAssignment.h"

#include "base/CodePage.h"
#include "register/RegisterImport.h"
#include "register/StrNum.h"
#include "report/ReportDocument.h"
#include "scan/RecodeTables.h"
#include "support/CommandRun.h"
#include "support/NumberedLines.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace venqor {
namespace {

using test::TempDir;

// Fields of a record line; the record length is 80. Data files are in code page 866.
constexpr std::string_view Schema = "[TEST]\r\n"
                                    "FILETYPE = FIXED\r\n"
                                    "CHARSET = CYRR\r\n"
                                    "Field1 = TYPE,CHAR,1,00,00\r\n"
                                    "Field2 = STRNUM,CHAR,14,00,01\r\n"
                                    "Field3 = FAM,CHAR,15,00,15\r\n"
                                    "Field4 = NAM,CHAR,15,00,30\r\n"
                                    "Field5 = OTCH,CHAR,15,00,45\r\n"
                                    "Field6 = BIRTH,DATE,10,00,60\r\n"
                                    "Field7 = SEX,CHAR,1,00,70\r\n"
                                    "Field8 = REST,CHAR,9,00,71\r\n";

constexpr std::string_view Register = "NUM,FAM,NAM,OTCH,BIRTH\n"
                                      "112233445,ИВАНОВ,ИВАН,ИВАНОВИЧ,1950-03-15\n"
                                      "123456789,СИДОРОВА,АННА,ПЕТРОВНА,1948-07-01\n"
                                      "234567891,СМИРНОВ,ПЁТР,СЕРГЕЕВИЧ,1939-11-20\n"
                                      "345678912,БЕЗДАТОВ,ИЛЬЯ,ИЛЬИЧ,\n";

const std::string Ivanov = "112-233-445 95";

std::string pad(std::string_view utf8, std::size_t width)
{
    std::string s = Utf8ToCp1251(utf8);
    s.resize(width, ' ');
    return s;
}

// A record line of 80 characters (Windows-1251) with the number text `num`.
std::string record(std::string_view num, std::string_view fam = "ИВАНОВ", std::string_view nam = "ИВАН",
    std::string_view otch = "ИВАНОВИЧ", std::string_view birth = "1950-03-15")
{
    return pad("О", 1) + pad(num, 14) + pad(fam, 15) + pad(nam, 15) + pad(otch, 15) + pad(birth, 10)
        + pad("М", 1) + pad("ЛЬГОТА", 9);
}

std::string oem(std::string_view cp1251)
{
    std::string s(cp1251);
    for (char& c : s)
        c = AnsiToOem(c);
    return s;
}

// The lines as a file: code page 866, CR LF after each.
std::string oemFile(const std::vector<std::string>& lines)
{
    std::string data;
    for (const std::string& l : lines)
        data += oem(l) + "\r\n";
    return data;
}

// A program directory with the test schema and a register (table or query mode).
class AssignRun : public test::CommandRun {
public:
    explicit AssignRun(bool query = false)
        : CommandRun(Schema)
    {
        ImportRegister(dir.write("register.csv", Register), registerDir());
        state.byQuery = query;
        state.Sql2Text = "SELECT * FROM NUMS WHERE FAM=:FAM AND NAM=:NAM AND OTCH=:OTCH AND BIRTH=:BIRTH";
    }

    // Runs the assignment over the lines (Windows-1251) and returns the report.
    std::vector<std::string> run(const std::vector<std::string>& lines)
    {
        return CommandRun::run(AssignNumbers, oemFile(lines));
    }
    // The report lines between the start and the end line.
    std::vector<std::string> findings(const std::vector<std::string>& lines)
    {
        run(lines);
        return CommandRun::findings();
    }
};

const std::string Header = "N строки Сообщение";

struct AssignCase {
    const char* name;
    std::vector<std::string> in, out; // lines of the data file and of the output (Windows-1251)
    std::vector<std::string> findings;
    const char* summary;
};

std::vector<AssignCase> assignCases()
{
    const std::string checkSumError = "Ошибка в контр. сумме у стр.№ ";
    return {
        { "empty number, person found", { record("") }, { record(Ivanov) },
            { "    1 Найден стр.№ " + Ivanov + " для ИВАНОВ ИВАН" }, "Проставлено 1 номеров, исправлено: 0" },
        { "empty number, person not found", { record("", "ИВАНОВ", "ИВАН", "ИВАНОВИЧ", "1950-03-16") },
            { record("", "ИВАНОВ", "ИВАН", "ИВАНОВИЧ", "1950-03-16") }, {},
            "Проставлено 0 номеров, исправлено: 0" },
        // A namesake without a birth date is no proof of identity, in either mode.
        { "empty birth date finds no namesake without one", { record("", "БЕЗДАТОВ", "ИЛЬЯ", "ИЛЬИЧ", "") },
            { record("", "БЕЗДАТОВ", "ИЛЬЯ", "ИЛЬИЧ", "") }, {}, "Проставлено 0 номеров, исправлено: 0" },
        { "unreadable birth date finds no namesake without one",
            { record("", "БЕЗДАТОВ", "ИЛЬЯ", "ИЛЬИЧ", "1950-02-30") },
            { record("", "БЕЗДАТОВ", "ИЛЬЯ", "ИЛЬИЧ", "1950-02-30") }, {},
            "Проставлено 0 номеров, исправлено: 0" },
        { "nine zeros are cleared without a correction", { record("000-000-000 00", "ПЕТРОВ") },
            { record("", "ПЕТРОВ") }, {}, "Проставлено 0 номеров, исправлено: 0" },
        { "dashes and blanks are cleared", { record("--- - -", "ПЕТРОВ") }, { record("", "ПЕТРОВ") }, {},
            "Проставлено 0 номеров, исправлено: 0" },
        { "cleared field gets the number found", { record("-") }, { record(Ivanov) },
            { "    1 Найден стр.№ " + Ivanov + " для ИВАНОВ ИВАН" }, "Проставлено 1 номеров, исправлено: 0" },
        { "eleven digits take the canonical form", { record("11223344595", "ПЕТРОВ") },
            { record(Ivanov, "ПЕТРОВ") }, {}, "Проставлено 0 номеров, исправлено: 1" },
        { "blanks for separators are repaired and counted once", { record("112 233 445 95") },
            { record(Ivanov) }, {}, "Проставлено 0 номеров, исправлено: 1" },
        { "check sum error, person found", { record("112-233-445 00") }, { record(Ivanov) },
            { Header, "    1 " + checkSumError + "112-233-445 00",
                "    1 Для стр.№ 112-233-445    \"ИВАНОВ ИВАН\" найден двойник со стр.№ " + Ivanov,
                "    1 Найден стр.№ " + Ivanov + " для ИВАНОВ ИВАН" },
            "Проставлено 1 номеров, исправлено: 0" },
        { "check sum error, person not found", { record("112-233-445 00", "ПЕТРОВ") },
            { record("112-233-445   ", "ПЕТРОВ") }, { Header, "    1 " + checkSumError + "112-233-445 00" },
            "Проставлено 0 номеров, исправлено: 1" },
        { "check sum error with its separators repaired", { record("112 233 445 00", "ПЕТРОВ") },
            { record("112-233-445 00", "ПЕТРОВ") }, { Header, "    1 " + checkSumError + "112-233-445 00" },
            "Проставлено 0 номеров, исправлено: 1" },
        { "valid number of 1000 or more is kept", { record("123-456-789 64") }, { record("123-456-789 64") },
            { "    1 Для стр.№ 123-456-789 64 \"ИВАНОВ ИВАН\" найден двойник со стр.№ " + Ivanov },
            "Проставлено 0 номеров, исправлено: 0" },
        { "valid number of exactly 1000 is kept", { record(StrNumToText(1000)) },
            { record(StrNumToText(1000)) },
            { "    1 Для стр.№ " + StrNumToText(1000) + " \"ИВАНОВ ИВАН\" найден двойник со стр.№ "
                + Ivanov },
            "Проставлено 0 номеров, исправлено: 0" },
        { "valid number below 1000 is replaced", { record(StrNumToText(500)) }, { record(Ivanov) },
            { "    1 Для стр.№ " + StrNumToText(500) + " \"ИВАНОВ ИВАН\" найден двойник со стр.№ " + Ivanov,
                "    1 Найден стр.№ " + Ivanov + " для ИВАНОВ ИВАН" },
            "Проставлено 1 номеров, исправлено: 0" },
        { "the register's own number", { record(Ivanov) }, { record(Ivanov) }, {},
            "Проставлено 0 номеров, исправлено: 0" },
        { "short record line is padded", { record("").substr(0, 60) },
            { record("").substr(0, 60) + std::string(20, ' ') }, {}, "Проставлено 0 номеров, исправлено: 0" },
        { "long record line keeps its length", { record("") + pad("ДАЛЬШЕ", 6) },
            { record(Ivanov) + pad("ДАЛЬШЕ", 6) }, { "    1 Найден стр.№ " + Ivanov + " для ИВАНОВ ИВАН" },
            "Проставлено 1 номеров, исправлено: 0" },
        { "nothing of one record passes to the next",
            { record(""), record("", "ПЕТРОВ"), record("000-000-000 00", "ПЕТРОВ"),
                record("123-456-789 64", "ПЕТРОВ") },
            { record(Ivanov), record("", "ПЕТРОВ"), record("", "ПЕТРОВ"),
                record("123-456-789 64", "ПЕТРОВ") },
            { "    1 Найден стр.№ " + Ivanov + " для ИВАНОВ ИВАН" }, "Проставлено 1 номеров, исправлено: 0" },
    };
}

TEST(NumberAssignment, WriteBackInTableAndQueryMode)
{
    for (const bool query : { false, true }) {
        for (const AssignCase& c : assignCases()) {
            AssignRun run(query);
            const std::string label = std::string(c.name) + (query ? " (query)" : " (table)");
            EXPECT_EQ(run.findings(c.in), c.findings) << label;
            EXPECT_EQ(run.lastSummary(), c.summary) << label;
            EXPECT_EQ(run.output(), oemFile(c.out)) << label;
            EXPECT_TRUE(run.result.started) << label;
            EXPECT_TRUE(run.result.shortfalls.empty()) << label;
        }
    }
}

TEST(NumberAssignment, EveryNumberedLineIsAFindingOfItsKind)
{
    AssignRun run;
    run.run(
        { record("112-233-445 00"), record("123-456-789 64"), record(""), record("11223344595", "ПЕТРОВ") });
    test::ExpectFindingsAreTheNumberedLines(run);
    const std::vector<std::tuple<std::int64_t, std::string_view, std::string>> expected = {
        { 1, FindingKinds::ChecksumError, "112-233-445 00" },
        { 1, FindingKinds::TwinFound, "112-233-445   " },
        { 1, FindingKinds::NumberFound, Ivanov },
        { 2, FindingKinds::TwinFound, "123-456-789 64" },
        { 3, FindingKinds::NumberFound, Ivanov },
    };
    std::vector<std::tuple<std::int64_t, std::string_view, std::string>> found;
    for (const Finding& f : run.host.report.findings())
        found.emplace_back(f.line, f.kind, Cp1251ToUtf8(f.number));
    EXPECT_EQ(found, expected);

    AssignRun failing(/*query=*/true);
    failing.state.Sql2Text
        = "SELECT FAM FROM NUMS WHERE FAM=:FAM AND NAM=:NAM AND OTCH=:OTCH AND BIRTH=:BIRTH";
    failing.run({ record("") });
    test::ExpectFindingsAreTheNumberedLines(failing);
    ASSERT_EQ(failing.host.report.findings().size(), 1u);
    EXPECT_EQ(failing.host.report.findings()[0].kind, FindingKinds::LineFailed);
}

TEST(NumberAssignment, SearchOnlyReportsAndCountsButWritesNoFoundNumber)
{
    AssignRun run;
    run.state.foundOnly = true;
    const auto report = run.run({ record(""), record("11223344595", "ПЕТРОВ"), record("112-233-445 00") });
    EXPECT_EQ(report[2], " Только поиск");
    EXPECT_EQ(run.output(), oemFile({ record(""), record(Ivanov, "ПЕТРОВ"), record("112-233-445   ") }));
    EXPECT_EQ(run.lastSummary(), "Проставлено 2 номеров, исправлено: 2");
    EXPECT_EQ(
        Cp1251ToUtf8(run.host.messages.back()), "Прочитано 3 строк, проставлено 2 номеров, исправлено: 2");
}

TEST(NumberAssignment, WholeReportAndOutputOfARun)
{
    AssignRun run;
    run.state.format = Utf8ToCp1251("ЕДВ-4");
    const std::vector<std::string> in = {
        Utf8ToCp1251("В4.0       01.12.2026    Управление соцзащиты"),
        record(""),
        Utf8ToCp1251("Л001 выплата"),
        "",
        record("112-233-445 00", "ПЕТРОВ"),
        record("", "СМИРНОВ", "ПЁТР", "СЕРГЕЕВИЧ", "1939-11-20"),
    };
    const auto report = run.run(in);
    const std::vector<std::string> expected = {
        "Простановка отcутствующих стр. номеров льготников по БД Dalmeth",
        " с исправлением ошибок в формате стр. номера",
        " Обрабатывается файл \"" + run.state.dataFile.string() + "\"",
        "  Строки формата \"ЕДВ-4\" типа \"О\" по схеме \"TEST\"",
        " Результат обработки в Файле \"" + run.dir.file("OUT.TXT") + "\"",
        " Начало  10.20.30 45",
        "01.12.2026     \"Управление соцзащиты\"",
        "    2 Найден стр.№ " + Ivanov + " для ИВАНОВ ИВАН",
        Header,
        "    5 Ошибка в контр. сумме у стр.№ 112-233-445 00",
        "    6 Найден стр.№ 234-567-891 00 для СМИРНОВ ПЁТР",
        " Конец   10.20.30 45",
        "Прочитано 6 строк, найдено заголовков: 1, записей: 3, льгот: 1",
        "Проставлено 2 номеров, исправлено: 1",
    };
    EXPECT_EQ(report, expected);
    // The header is bold; the error line red and the notes plain, all in the report's font.
    const auto& lines = run.host.report.lines();
    EXPECT_TRUE(lines[8].runs.at(0).bold);
    EXPECT_EQ(lines[9].runs.at(0).color, ReportColor::Red);
    EXPECT_FALSE(lines[9].runs.at(0).bold);
    EXPECT_EQ(lines[10].runs.at(0).color, ReportColor::WindowText);
    EXPECT_EQ(lines[7].runs.at(0).color, ReportColor::WindowText);

    EXPECT_EQ(run.output(),
        oemFile({ in[0], record(Ivanov), in[2], record("112-233-445   ", "ПЕТРОВ"),
            record("234-567-891 00", "СМИРНОВ", "ПЁТР", "СЕРГЕЕВИЧ", "1939-11-20") }));
    EXPECT_EQ(run.host.questions, std::vector<std::string> { Utf8ToCp1251("Начать простановку?") });
    EXPECT_EQ(run.host.proposedSaveFile, run.dir.path() / "DATA.TXTnew");
    EXPECT_EQ(run.host.messages,
        std::vector<std::string> { Utf8ToCp1251("Прочитано 6 строк, проставлено 2 номеров, исправлено: 1") });
    EXPECT_EQ(run.host.reportsShown, 1);
    EXPECT_EQ(run.state.RecordCount, 3);
    EXPECT_FALSE(run.state.Running);
    EXPECT_FALSE(run.host.progressVisible);
}

TEST(NumberAssignment, AWindows1251DataFileComesOutInCodePage866)
{
    AssignRun run;
    std::string schema(Schema);
    schema.erase(schema.find("CHARSET = CYRR\r\n"), 16);
    run.dir.write("TEST.SCH", schema);
    run.state.dataFile
        = run.dir.write("DATA.TXT", record("") + "\r\n" + Utf8ToCp1251("Лёгкая строка") + "\r\n");
    AssignNumbers(run.state, run.host);
    EXPECT_EQ(run.output(), oemFile({ record(Ivanov), Utf8ToCp1251("Лёгкая строка") }));
}

TEST(NumberAssignment, UnavailableRegisterIsReportedAndCountedAsWorkNotDone)
{
    AssignRun run;
    run.state.registerLocation = run.dir.file("nowhere");
    const auto report = run.run({ record(""), record("11223344595", "ПЕТРОВ") });
    ASSERT_GE(report.size(), 7u);
    EXPECT_TRUE(report[5].starts_with("Реестр NUMS недоступен, поиск не выполнялся: ")) << report[5];
    EXPECT_EQ(report[6], " Начало  10.20.30 45");
    EXPECT_EQ(run.output(), oemFile({ record(""), record(Ivanov, "ПЕТРОВ") }));
    EXPECT_EQ(run.lastSummary(), "Проставлено 0 номеров, исправлено: 1");
    ASSERT_EQ(run.result.shortfalls.size(), 1u);
    EXPECT_TRUE(Cp1251ToUtf8(run.result.shortfalls[0]).starts_with("Реестр NUMS недоступен"));
    EXPECT_NE(Cp1251ToUtf8(run.host.messages.back()).find("Реестр NUMS недоступен"), std::string::npos);
}

TEST(NumberAssignment, AFailedLineIsReportedAndCopiedAsRead)
{
    AssignRun run(/*query=*/true);
    run.state.Sql2Text = "SELECT FAM FROM NUMS WHERE FAM=:FAM AND NAM=:NAM AND OTCH=:OTCH AND BIRTH=:BIRTH";
    const std::string shortLine = record("").substr(0, 70);
    EXPECT_EQ(run.findings({ shortLine, record("11223344595", "ПЕТРОВ") }),
        (std::vector<std::string> { Header, "    1 Неизвестно что" }));
    EXPECT_EQ(run.output(), oemFile({ shortLine, record(Ivanov, "ПЕТРОВ") }));
}

} // namespace
} // namespace venqor
