#include "commands/NameCheck.h"

#include "base/CodePage.h"
#include "base/Errors.h"
#include "engine/TableEngine.h"
#include "register/StrNum.h"
#include "report/ReportDocument.h"
#include "support/CommandRun.h"
#include "support/NumberedLines.h"
#include "support/TempDir.h"
#include "support/TestRegister.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace venqor {
namespace {

using test::TempDir;

// Lines of Windows-1251 text without recoding: TYPE, STRNUM, FAM, NAM, OTCH, BIRTH, SEX.
constexpr std::string_view Schema = "[TEST]\r\n"
                                    "FILETYPE = FIXED\r\n"
                                    "Field1 = TYPE,CHAR,1,00,00\r\n"
                                    "Field2 = STRNUM,CHAR,14,00,01\r\n"
                                    "Field3 = FAM,CHAR,15,00,15\r\n"
                                    "Field4 = NAM,CHAR,15,00,30\r\n"
                                    "Field5 = OTCH,CHAR,15,00,45\r\n"
                                    "Field6 = BIRTH,DATE,10,00,60\r\n"
                                    "Field7 = SEX,CHAR,1,00,70\r\n";

std::string pad(std::string_view utf8, std::size_t width)
{
    std::string s = Utf8ToCp1251(utf8);
    s.resize(width, ' ');
    return s;
}

// A record line (given in UTF-8) as the data file holds it.
std::string record(std::string_view num, std::string_view fam, std::string_view nam, std::string_view otch,
    std::string_view birth, std::string_view sex = "М")
{
    return pad("О", 1) + pad(num, 14) + pad(fam, 15) + pad(nam, 15) + pad(otch, 15) + pad(birth, 10)
        + pad(sex, 1);
}

const test::RegisterPerson People[] = {
    { 112233445, "ИВАНОВ", "ИВАН", "ИВАНОВИЧ", "15.03.1950", "" },
    { 123456789, "СИДОРОВА", "АННА", "ПЕТРОВНА", "01.07.1948", "" },
    { 234567891, "СМИРНОВ", "ПЁТР", "СЕРГЕЕВИЧ", "20.11.1939", "" },
    { 345678912, "КУЗНЕЦОВА", "МАРИЯ", "ИВАНОВНА", "28.02.1955", "" },
    { 456789123, "ПОПОВ", "АЛЕКСЕЙ", "НИКОЛАЕВИЧ", "09.05.1944", "" },
    { 567891234, "ВАСИЛЬЕВ", "ОЛЕГ", "ПЕТРОВИЧ", "30.09.1951", "C" },
    { 678912345, "ПЕТРОВА", "ЕЛЕНА", "ЮРЬЕВНА", "31.12.1960", "E" },
    { 789123456, "СОКОЛОВ", "ИГОРЬ", "ВИКТОРОВИЧ", "12.04.1947", "F" },
    { 912345678, "НОВИКОВ", "СЕМЁН", "ФЁДОРОВИЧ", "07.01.1936", "G" },
    { 102030405, "ОРЛОВ", "ЮРИЙ", "", "03.03.1953", "" },
    { 111222333, "БЕЗДАТОВ", "ИЛЬЯ", "ИЛЬИЧ", "", "" },
    { 468024680, "ЛЕБЕДЕВ", "ПАВЕЛ", "ОЛЕГОВИЧ", "17.07.1957", "" },
};

std::string num(std::int32_t body)
{
    return StrNumToText(body);
}

// A program directory with the test schema and a register.
class NameCheckRun : public test::CommandRun {
public:
    explicit NameCheckRun(bool registerWithCond = true)
        : CommandRun(Schema)
    {
        std::filesystem::create_directory(dir.path() / "reg");
        test::WriteNums(registerDir(), People, { .withCond = registerWithCond });
        state.Sql1Text = "SELECT * FROM NUMS WHERE NUM=:NUM";
    }

    // Runs the check over the lines (Windows-1251, CR LF added) and returns the report.
    std::vector<std::string> run(const std::vector<std::string>& lines)
    {
        std::string data;
        for (const std::string& l : lines)
            data += l + "\r\n";
        return CommandRun::run(CheckNames, data);
    }
    // The lines between the start and the end line.
    std::vector<std::string> findings(const std::vector<std::string>& lines)
    {
        run(lines);
        return CommandRun::findings();
    }
};

const std::string Header = "N строки Сообщение";

struct FindingCase {
    const char* name;
    std::vector<std::string> lines; // one record, or several where state could leak between them
    std::vector<std::string> findings;
    const char* summary; // last summary line
};

std::vector<FindingCase> findingCases()
{
    return {
        { "clean match in mixed case", { record(num(112233445), "Иванов", "иван", "Иванович", "1950-03-15") },
            {}, "Нет номеров у 0, не найдено в БД: 0, обнаружено ошибок: 0" },
        { "surname differs", { record(num(123456789), "Сидорава", "Анна", "Петровна", "1948-07-01", "Ж") },
            { Header, "    1 E: Расхождения в ФИО у стр.№ 123-456-789 64",
                "   -  Указано  СИДОРАВА АННА ПЕТРОВНА", "   -  Числится СИДОРОВА АННА ПЕТРОВНА" },
            "Нет номеров у 0, не найдено в БД: 0, обнаружено ошибок: 1" },
        { "latin C in the surname shows small",
            { record(num(234567891), "Cмирнов", "Пётр", "Сергеевич", "1939-11-20") },
            { Header, "    1 E: Расхождения в ФИО у стр.№ " + num(234567891),
                "   -  Указано  cМИРНОВ ПЁТР СЕРГЕЕВИЧ", "   -  Числится СМИРНОВ ПЁТР СЕРГЕЕВИЧ" },
            "Нет номеров у 0, не найдено в БД: 0, обнаружено ошибок: 1" },
        { "birth date differs", { record(num(456789123), "Попов", "Алексей", "Николаевич", "1944-05-19") },
            { Header,
                "    1 E: Расхождение в д/р 19.05.1944 у стр.№ " + num(456789123) + " вместо 09.05.1944" },
            "Нет номеров у 0, не найдено в БД: 0, обнаружено ошибок: 1" },
        { "empty birth date is the zero date", { record(num(112233445), "Иванов", "Иван", "Иванович", "") },
            { Header, "    1 E: Расхождение в д/р 30.12.1899 у стр.№ 112-233-445 95 вместо 15.03.1950" },
            "Нет номеров у 0, не найдено в БД: 0, обнаружено ошибок: 1" },
        { "register without birth date",
            { record(num(111222333), "Бездатов", "Илья", "Ильич", "1950-01-01") },
            { Header, "    1 E: Расхождение в д/р 01.01.1950 у стр.№ " + num(111222333) + " вместо " },
            "Нет номеров у 0, не найдено в БД: 0, обнаружено ошибок: 1" },
        { "status C", { record(num(567891234), "Васильев", "Олег", "Петрович", "1951-09-30") },
            { Header, "    1 E: Отмененный стр.№ " + num(567891234) + " ВАСИЛЬЕВ ОЛЕГ ПЕТРОВИЧ" },
            "Нет номеров у 0, не найдено в БД: 0, обнаружено ошибок: 1" },
        { "status E", { record(num(678912345), "Петрова", "Елена", "Юрьевна", "1960-12-31", "Ж") },
            { Header, "    1 E: Отмененный стр.№ " + num(678912345) + " ПЕТРОВА ЕЛЕНА ЮРЬЕВНА" },
            "Нет номеров у 0, не найдено в БД: 0, обнаружено ошибок: 1" },
        { "status F with equal names",
            { record(num(789123456), "Соколов", "Игорь", "Викторович", "1947-04-12") },
            { Header, "    1 E: У стр.№ " + num(789123456) + " не может быть ФИО СОКОЛОВ ИГОРЬ ВИКТОРОВИЧ" },
            "Нет номеров у 0, не найдено в БД: 0, обнаружено ошибок: 1" },
        { "status F with other names",
            { record(num(789123456), "Соколов", "Игорь", "Викторовна", "1947-04-12") },
            { Header, "    1 E: Расхождения в ФИО у стр.№ " + num(789123456),
                "   -  Указано  СОКОЛОВ ИГОРЬ ВИКТОРОВНА", "   -  Числится СОКОЛОВ ИГОРЬ ВИКТОРОВИЧ",
                "    1 E: У стр.№ " + num(789123456)
                    + " СОКОЛОВ ИГОРЬ ВИКТОРОВНА неизвестны правильные ФИО" },
            "Нет номеров у 0, не найдено в БД: 0, обнаружено ошибок: 2" },
        { "status G", { record(num(912345678), "Новиков", "Семён", "Фёдорович", "1936-01-07") },
            { Header, "    1 E: Отсутствует в БД стр.№ " + num(912345678) + " НОВИКОВ СЕМЁН ФЁДОРОВИЧ" },
            "Нет номеров у 0, не найдено в БД: 0, обнаружено ошибок: 1" },
        { "number not in the register",
            { record(num(246813579), "Волков", "Андрей", "Михайлович", "1961-03-03") },
            { "", Header, "    1 Не найден стр.№ " + num(246813579) + " ВОЛКОВ АНДРЕЙ МИХАЙЛОВИЧ" },
            "Нет номеров у 0, не найдено в БД: 1, обнаружено ошибок: 0" },
        { "check sum error", { record("135-792-468 00", "Фёдоров", "Николай", "Андреевич", "1949-10-10") },
            { Header, "    1 E: Ошибка в контр. сумме у стр.№ 135-792-468 00" },
            "Нет номеров у 0, не найдено в БД: 0, обнаружено ошибок: 1" },
        { "check sum error gets its separators",
            { record("135 792 468 00", "Фёдоров", "Николай", "Андреевич", "") },
            { Header, "    1 E: Ошибка в контр. сумме у стр.№ 135-792-468 00" },
            "Нет номеров у 0, не найдено в БД: 0, обнаружено ошибок: 2" },
        { "blanks for hyphens count silently",
            { record("112 233 445 95", "Иванов", "Иван", "Иванович", "1950-03-15") }, {},
            "Нет номеров у 0, не найдено в БД: 0, обнаружено ошибок: 1" },
        { "only nine digits is a check sum error",
            { record("112-233-445", "Иванов", "Иван", "Иванович", "1950-03-15") },
            { Header, "    1 E: Ошибка в контр. сумме у стр.№ 112-233-445" },
            "Нет номеров у 0, не найдено в БД: 0, обнаружено ошибок: 1" },
        { "empty number", { record("", "Морозова", "Татьяна", "Васильевна", "1952-06-06", "Ж") }, {},
            "Нет номеров у 1, не найдено в БД: 0, обнаружено ошибок: 0" },
        { "nine zeros is no number",
            { record("000-000-000 00", "Морозова", "Татьяна", "Васильевна", "1952-06-06") }, {},
            "Нет номеров у 1, не найдено в БД: 0, обнаружено ошибок: 0" },
        { "dashes only is no number", { record("---", "Морозова", "Татьяна", "Васильевна", "1952-06-06") },
            {}, "Нет номеров у 1, не найдено в БД: 0, обнаружено ошибок: 0" },
        { "shifted first name", { record(num(468024680), "Лебедев", " Павел", "Олегович", "1957-07-17") },
            { Header, "    1 E: Ошибка форматирования строки \" ПАВЕЛ\"",
                "    1 E: Расхождения в ФИО у стр.№ " + num(468024680),
                "   -  Указано  ЛЕБЕДЕВ  ПАВЕЛ ОЛЕГОВИЧ", "   -  Числится ЛЕБЕДЕВ ПАВЕЛ ОЛЕГОВИЧ" },
            "Нет номеров у 0, не найдено в БД: 0, обнаружено ошибок: 2" },
        { "impossible birth date", { record(num(112233445), "Иванов", "Иван", "Иванович", "1950-02-30") },
            { Header, "    1 E: Ошибка форматирования даты \"30.02.1950\"",
                "    1 E: Расхождение в д/р 30.12.1899 у стр.№ 112-233-445 95 вместо 15.03.1950" },
            "Нет номеров у 0, не найдено в БД: 0, обнаружено ошибок: 2" },
        { "birth date of one record does not pass to the next",
            { record(num(112233445), "Иванов", "Иван", "Иванович", "1950-03-15"),
                record(num(111222333), "Бездатов", "Илья", "Ильич", "") },
            {}, "Нет номеров у 0, не найдено в БД: 0, обнаружено ошибок: 0" },
        { "hyphen where the blank belongs counts silently",
            { record("112-233-445-95", "Иванов", "Иван", "Иванович", "1950-03-15") }, {},
            "Нет номеров у 0, не найдено в БД: 0, обнаружено ошибок: 1" },
        { "birth date without separators",
            { record(num(112233445), "Иванов", "Иван", "Иванович", "19500315") },
            { Header, "    1 E: Ошибка форматирования даты \".31.1950\"",
                "    1 E: Расхождение в д/р 30.12.1899 у стр.№ 112-233-445 95 вместо 15.03.1950" },
            "Нет номеров у 0, не найдено в БД: 0, обнаружено ошибок: 2" },
    };
}

TEST(NameCheck, FindingsInTableAndQueryMode)
{
    for (const bool query : { false, true }) {
        for (const FindingCase& c : findingCases()) {
            NameCheckRun run;
            run.state.byQuery = query;
            EXPECT_EQ(run.findings(c.lines), c.findings) << c.name << (query ? " (query)" : "");
            EXPECT_EQ(run.lastSummary(), c.summary) << c.name;
            EXPECT_TRUE(run.result.started);
        }
    }
}

TEST(NameCheck, EveryNumberedLineIsAFindingOfItsKind)
{
    NameCheckRun run;
    run.run({ record("135-792-468 00", "Фёдоров", "Николай", "Андреевич", "1949-10-10"),
        record(num(468024680), "Лебедев", " Павел", "Олегович", "1957-07-17"),
        record(num(112233445), "Иванов", "Иван", "Иванович", "1950-02-30"),
        record(num(123456789), "Сидорава", "Анна", "Петровна", "1948-07-01", "Ж"),
        record(num(112233445), "Иванов", "Иван", "Иванович", "1950-03-16"),
        record(num(567891234), "Васильев", "Олег", "Петрович", "1951-09-30"),
        record(num(789123456), "Соколов", "Игорь", "Викторович", "1947-04-12"),
        record(num(789123456), "Соколов", "Игорь", "Викторовна", "1947-04-12"),
        record(num(912345678), "Новиков", "Семён", "Фёдорович", "1936-01-07"),
        record(num(246813579), "Волков", "Андрей", "Михайлович", "1961-03-03") });
    test::ExpectFindingsAreTheNumberedLines(run);
    struct Expected {
        std::int64_t line;
        std::string_view kind;
        std::string number, given, registered;
    };
    const std::vector<Expected> expected = {
        { 1, FindingKinds::ChecksumError, "135-792-468 00", "", "" },
        { 2, FindingKinds::LineFormatError, "", "", "" },
        { 2, FindingKinds::NameMismatch, num(468024680), "ЛЕБЕДЕВ  ПАВЕЛ ОЛЕГОВИЧ",
            "ЛЕБЕДЕВ ПАВЕЛ ОЛЕГОВИЧ" },
        { 3, FindingKinds::DateFormatError, "", "", "" },
        { 3, FindingKinds::BirthMismatch, num(112233445), "30.12.1899", "15.03.1950" },
        { 4, FindingKinds::NameMismatch, num(123456789), "СИДОРАВА АННА ПЕТРОВНА", "СИДОРОВА АННА ПЕТРОВНА" },
        { 5, FindingKinds::BirthMismatch, num(112233445), "16.03.1950", "15.03.1950" },
        { 6, FindingKinds::CancelledNumber, num(567891234), "", "" },
        { 7, FindingKinds::NamesNotAllowed, num(789123456), "", "" },
        { 8, FindingKinds::NameMismatch, num(789123456), "СОКОЛОВ ИГОРЬ ВИКТОРОВНА",
            "СОКОЛОВ ИГОРЬ ВИКТОРОВИЧ" },
        { 8, FindingKinds::NamesUnknown, num(789123456), "", "" },
        { 9, FindingKinds::AbsentFromRegister, num(912345678), "", "" },
        { 10, FindingKinds::NotFound, num(246813579), "", "" },
    };
    const std::vector<Finding>& findings = run.host.report.findings();
    ASSERT_EQ(findings.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(findings[i].line, expected[i].line);
        EXPECT_EQ(findings[i].kind, expected[i].kind);
        EXPECT_EQ(Cp1251ToUtf8(findings[i].number), expected[i].number);
        EXPECT_EQ(Cp1251ToUtf8(findings[i].given), expected[i].given);
        EXPECT_EQ(Cp1251ToUtf8(findings[i].registered), expected[i].registered);
    }

    // A line that fails, in a register without status.
    NameCheckRun failing(/*registerWithCond=*/false);
    failing.run({ record(num(112233445), "Иванов", "Иван", "Иванович", "1950-03-15") });
    test::ExpectFindingsAreTheNumberedLines(failing);
    ASSERT_EQ(failing.host.report.findings().size(), 1u);
    EXPECT_EQ(failing.host.report.findings()[0].kind, FindingKinds::LineFailed);
}

TEST(NameCheck, MarkedStretchIsTheDifferingPartOfTheRegisterName)
{
    struct Case {
        const char* name;
        std::string line;
        std::string before, red, after; // the "Числится" line's runs, UTF-8
    } cases[] = {
        { "one letter", record(num(123456789), "Сидорава", "Анна", "Петровна", "1948-07-01"),
            "   -  Числится СИДОР", "О", "ВА АННА ПЕТРОВНА" },
        { "line without patronymic", record(num(345678912), "Кузнецова", "Мария", "", "1955-02-28"),
            "   -  Числится КУЗНЕЦОВА МАРИЯ ", "ИВАНОВНА", "" },
        { "register without patronymic", record(num(102030405), "Орлов", "Юрий", "Юрьевич", "1953-03-03"),
            "   -  Числится ОРЛОВ ЮРИЙ ", "", "" },
    };
    for (const Case& c : cases) {
        NameCheckRun run;
        run.run({ c.line });
        const auto& lines = run.host.report.lines();
        const auto marked = std::find_if(lines.begin(), lines.end(),
            [](const ReportLine& l) { return Cp1251ToUtf8(l.text()).starts_with("   -  Числится "); });
        ASSERT_NE(marked, lines.end()) << c.name;
        std::string before, red, after;
        bool seenRed = false;
        for (const ReportRun& r : marked->runs) {
            if (r.color == ReportColor::Red) {
                red += Cp1251ToUtf8(r.text);
                seenRed = true;
            } else {
                (seenRed ? after : before) += Cp1251ToUtf8(r.text);
            }
        }
        EXPECT_EQ(before, c.before) << c.name;
        EXPECT_EQ(red, c.red) << c.name;
        EXPECT_EQ(after, c.after) << c.name;
    }
}

TEST(NameCheck, WholeReportOfARunWithHeadersBenefitsAndAnError)
{
    NameCheckRun run;
    run.state.format = Utf8ToCp1251("ЕДВ-4");
    const auto report = run.run({
        Utf8ToCp1251("В4.0       01.12.2026    Управление соцзащиты"),
        Utf8ToCp1251("В4.0       ОТДЕЛ"),
        record(num(112233445), "Иванов", "Иван", "Иванович", "1950-03-15"),
        Utf8ToCp1251("Л001 выплата"),
        "",
        record("", "Морозова", "Татьяна", "Васильевна", "1952-06-06"),
        Utf8ToCp1251("X other line"),
        record("135-792-468 00", "Фёдоров", "Николай", "Андреевич", "1949-10-10"),
    });
    const std::vector<std::string> expected = {
        "Проверка реестра льготников на соответствие ФИО указанному стр.номеру",
        " Обрабатывается файл \"" + run.state.dataFile.string() + "\"",
        "  Строки формата \"ЕДВ-4\" типа \"О\" по схеме \"TEST\"",
        " Начало  10.20.30 45",
        "01.12.2026     \"Управление соцзащиты\"",
        "ОТДЕЛ \"\"",
        Header,
        "    8 E: Ошибка в контр. сумме у стр.№ 135-792-468 00",
        " Конец   10.20.30 45",
        "Прочитано 8 строк, найдено заголовков: 2, записей: 3, льгот: 1",
        "Нет номеров у 1, не найдено в БД: 0, обнаружено ошибок: 1",
    };
    EXPECT_EQ(report, expected);
    // The column header is bold; the error line is blue, in Courier New.
    const auto& lines = run.host.report.lines();
    ASSERT_EQ(lines[6].runs.size(), 1u);
    EXPECT_TRUE(lines[6].runs[0].bold);
    ASSERT_EQ(lines[7].runs.size(), 1u);
    EXPECT_EQ(lines[7].runs[0].color, ReportColor::Blue);
    EXPECT_FALSE(lines[7].runs[0].bold);
    EXPECT_EQ(run.host.report.fonts()[lines[7].runs[0].font], "Courier New");
    EXPECT_EQ(lines[8].runs[0].color, ReportColor::WindowText);
    ASSERT_EQ(run.host.messages.size(), 1u);
    EXPECT_EQ(Cp1251ToUtf8(run.host.messages[0]),
        "Прочитано 8 строк и записей: 3, нет номеров у 1, найдено ошибок: 1");
    EXPECT_EQ(run.host.questions, std::vector<std::string> { Utf8ToCp1251("Начать обработку?") });
    EXPECT_EQ(run.host.reportsShown, 1);
    EXPECT_FALSE(run.host.progressVisible);
    EXPECT_EQ(run.host.recordCount, "3");
    EXPECT_EQ(run.state.RecordCount, 3);
    EXPECT_FALSE(run.state.Running);
}

TEST(NameCheck, OptionsSilenceBirthAndStatusFindings)
{
    NameCheckRun run;
    run.state.noBirthErrors = true;
    run.state.noStatusErrors = true;
    EXPECT_EQ(run.findings({
                  record(num(456789123), "Попов", "Алексей", "Николаевич", "1944-05-19"),
                  record(num(567891234), "Васильев", "Олег", "Петрович", "1951-09-30"),
                  record(num(246813579), "Волков", "Андрей", "Михайлович", "1961-03-03"),
              }),
        std::vector<std::string> {});
    EXPECT_EQ(run.lastSummary(), "Нет номеров у 0, не найдено в БД: 1, обнаружено ошибок: 0");
}

TEST(NameCheck, AtMostNinetyNineFormatMessagesAndThoseBeyondAreNotCounted)
{
    NameCheckRun run;
    std::vector<std::string> lines;
    for (int i = 0; i < 60; ++i) {
        lines.push_back(record("", "Фамилия", " Имя", "Отчество", "1950-01-01"));
        lines.push_back(record("", "Фамилия", "Имя", "Отчество", "1950-99-01"));
    }
    const auto findings = run.findings(lines);
    EXPECT_EQ(std::count_if(findings.begin(), findings.end(),
                  [](const std::string& l) { return l.find("Ошибка форматирования") != std::string::npos; }),
        99);
    EXPECT_EQ(run.lastSummary(), "Нет номеров у 120, не найдено в БД: 0, обнаружено ошибок: 99");
}

TEST(NameCheck, UnavailableRegisterIsReportedAndNoLookupIsMade)
{
    NameCheckRun run;
    run.state.registerLocation = run.dir.file("nowhere");
    const auto report = run.run({ record(num(246813579), "Волков", "Андрей", "Михайлович", "1961-03-03"),
        record("135-792-468 00", "Фёдоров", "Николай", "Андреевич", "1949-10-10") });
    ASSERT_GE(report.size(), 4u);
    EXPECT_TRUE(report[3].starts_with("Реестр NUMS недоступен, поиск не выполнялся: ")) << report[3];
    EXPECT_GT(report[3].size(), std::string("Реестр NUMS недоступен, поиск не выполнялся: ").size());
    EXPECT_EQ(report[4], " Начало  10.20.30 45");
    EXPECT_EQ(report[6], "    2 E: Ошибка в контр. сумме у стр.№ 135-792-468 00");
    EXPECT_EQ(run.lastSummary(), "Нет номеров у 0, не найдено в БД: 0, обнаружено ошибок: 1");
}

TEST(NameCheck, AFailingLineIsReportedAndTheRunGoesOn)
{
    NameCheckRun run(/*registerWithCond=*/false);
    EXPECT_EQ(run.findings({ record(num(112233445), "Иванов", "Иван", "Иванович", "1950-03-15"),
                  record(num(246813579), "Волков", "Андрей", "Михайлович", "1961-03-03") }),
        (std::vector<std::string> { Header, "    1 E: Неизвестно что", "", Header,
            "    2 Не найден стр.№ " + num(246813579) + " ВОЛКОВ АНДРЕЙ МИХАЙЛОВИЧ" }));
    EXPECT_EQ(run.lastSummary(), "Нет номеров у 0, не найдено в БД: 1, обнаружено ошибок: 1");
}

TEST(NameCheck, ARegisterWithoutStatusFailsOnlyWhereTheStatusIsRead)
{
    const std::string line = record(num(123456789), "Сидорава", "Анна", "Петровна", "1948-07-02", "Ж");
    const std::vector<std::string> findings = { Header, "    1 E: Расхождения в ФИО у стр.№ 123-456-789 64",
        "   -  Указано  СИДОРАВА АННА ПЕТРОВНА", "   -  Числится СИДОРОВА АННА ПЕТРОВНА",
        "    1 E: Расхождение в д/р 02.07.1948 у стр.№ 123-456-789 64 вместо 01.07.1948" };
    for (const bool query : { false, true }) {
        NameCheckRun run(/*registerWithCond=*/false);
        run.state.byQuery = query;
        std::vector<std::string> withFailure = findings;
        withFailure.push_back("    1 E: Неизвестно что");
        EXPECT_EQ(run.findings({ line }), withFailure) << (query ? "query" : "table");

        run.state.noStatusErrors = true;
        EXPECT_EQ(run.findings({ line }), findings) << (query ? "query" : "table");
    }
}

// The rows of ANKT in `dir` as "NUM|FAM|NAM|OTCH|BIRTH|SEX" for the given numbers, and its row count.
std::vector<std::string> anktRows(const std::string& dir, std::initializer_list<std::int32_t> numbers)
{
    auto db = OpenDatabase(dir);
    auto count = db->query();
    count->setSql("SELECT COUNT(*) AS N FROM ANKT");
    count->prepare();
    count->open();
    std::vector<std::string> rows { "rows: " + std::to_string(count->fieldInt("N")) };
    auto query = db->query();
    query->setSql("SELECT * FROM ANKT WHERE NUM=:NUM");
    query->prepare();
    for (const std::int32_t n : numbers) {
        query->setParam("NUM", static_cast<std::int64_t>(n));
        query->open();
        if (query->eof())
            continue;
        const Date birth = query->fieldDate("BIRTH");
        rows.push_back(std::to_string(query->fieldInt("NUM")) + "|" + Cp1251ToUtf8(query->fieldText("FAM"))
            + "|" + Cp1251ToUtf8(query->fieldText("NAM")) + "|" + Cp1251ToUtf8(query->fieldText("OTCH")) + "|"
            + (birth.isZero() ? "" : FormatDmy(birth)) + "|" + Cp1251ToUtf8(query->fieldText("SEX")));
    }
    return rows;
}

TEST(NameCheck, NotFoundPeopleAreCollectedIntoAnktOnceAcrossRuns)
{
    NameCheckRun run;
    run.state.collectNotFound = true;
    run.state.noStatusErrors = true; // still collected
    const auto report = run.run({
        record(num(246813579), "Волков", "Андрей", "Михайлович", "1961-03-03"),
        record(num(246813579), "Волков", "Андрей", "Михайлович", "1961-03-03"),  // twice: dropped alone
        record(num(135792468), "Фёдоров", "Николай", "Андреевич", "1950-02-30"), // no date: dropped
        record(num(112233445), "Иванов", "Иван", "Иванович", "1950-03-15"),
    });
    EXPECT_EQ(report[3], "   со сбором ненайденных ФИО");
    EXPECT_EQ(run.lastSummary(), "Нет номеров у 0, не найдено в БД: 3, обнаружено ошибок: 1");
    EXPECT_EQ(anktRows(run.dir.path().string(), { 246813579, 135792468 }),
        (std::vector<std::string> {
            "rows: 1", std::to_string(246813579) + "|ВОЛКОВ|АНДРЕЙ|МИХАЙЛОВИЧ|03.03.1961|М" }));

    ASSERT_EQ(run.result.shortfalls.size(), 1u);
    EXPECT_TRUE(
        Cp1251ToUtf8(run.result.shortfalls[0]).starts_with("Таблица ANKT не приняла записей: 1, первая: "))
        << Cp1251ToUtf8(run.result.shortfalls[0]);

    // A number ANKT holds already is left out, not refused.
    run.run({ record(num(246813579), "Волков", "Андрей", "Михайлович", "1961-03-03"),
        record(num(975318642), "Зайцева", "Вера", "", "", "Ж") });
    EXPECT_TRUE(run.result.shortfalls.empty()) << Cp1251ToUtf8(run.result.shortfalls.front());
    EXPECT_EQ(Cp1251ToUtf8(run.host.messages.back()).find("ANKT"), std::string::npos)
        << Cp1251ToUtf8(run.host.messages.back());
    EXPECT_EQ(anktRows(run.dir.path().string(), { 246813579, 975318642 }),
        (std::vector<std::string> { "rows: 2",
            std::to_string(246813579) + "|ВОЛКОВ|АНДРЕЙ|МИХАЙЛОВИЧ|03.03.1961|М",
            std::to_string(975318642) + "|ЗАЙЦЕВА|ВЕРА|||Ж" }));
}

TEST(NameCheck, AnAnktFileNamedInOtherLettersKeepsItsRows)
{
    NameCheckRun run;
    run.state.collectNotFound = true;
    run.run({ record(num(246813579), "Волков", "Андрей", "Михайлович", "1961-03-03") });
    std::filesystem::rename(run.dir.path() / "ANKT.DB", run.dir.path() / "ankt.db");
    run.run({ record(num(975318642), "Зайцева", "Вера", "", "", "Ж") });
    EXPECT_TRUE(run.result.shortfalls.empty());
    EXPECT_FALSE(std::filesystem::exists(run.dir.path() / "ANKT.DB"));
    EXPECT_EQ(anktRows(run.dir.path().string(), { 246813579, 975318642 }),
        (std::vector<std::string> { "rows: 2",
            std::to_string(246813579) + "|ВОЛКОВ|АНДРЕЙ|МИХАЙЛОВИЧ|03.03.1961|М",
            std::to_string(975318642) + "|ЗАЙЦЕВА|ВЕРА|||Ж" }));
}

TEST(NameCheck, AnAnktThatIsNoDatabaseIsReportedAndTheRunGoesOn)
{
    NameCheckRun run;
    run.dir.write("ANKT.DB", "this is not a database");
    run.state.collectNotFound = true;
    const auto report = run.run({ record(num(246813579), "Волков", "Андрей", "Михайлович", "1961-03-03") });
    EXPECT_NE(std::find(report.begin(), report.end(), "Ошибка при открытии таблицы ANKT"), report.end());
    EXPECT_FALSE(run.state.CollectNotFound);
    EXPECT_EQ(run.lastSummary(), "Нет номеров у 0, не найдено в БД: 1, обнаружено ошибок: 0");
    EXPECT_EQ(test::readFile(run.dir.file("ANKT.DB")), "this is not a database");
}

TEST(NameCheck, AMissingDataFileOrSchemaEndsTheCommandWithAnErrorNamingIt)
{
    NameCheckRun run;
    run.state.dataFile = run.dir.file("missing.txt");
    EXPECT_THROW(
        {
            try {
                CheckNames(run.state, run.host);
            } catch (const IoError& e) {
                EXPECT_NE(std::string(e.what()).find("missing.txt"), std::string::npos);
                throw;
            }
        },
        IoError);
    EXPECT_FALSE(run.state.Running);

    run.state.schema = "NOSUCH";
    EXPECT_THROW(CheckNames(run.state, run.host), IoError);
}

TEST(NameCheck, ProgressMovesEveryTenthRecordByBytesRead)
{
    NameCheckRun run;
    std::vector<std::string> lines(25, record("", "Фамилия", "Имя", "Отчество", "1950-01-01"));
    run.run(lines);
    const std::uint64_t lineBytes = lines[0].size() + 2;
    EXPECT_EQ(run.host.progress, (std::vector<std::uint64_t> { 10 * lineBytes, 20 * lineBytes }));
    EXPECT_EQ(run.host.progressMaximum, 25 * lineBytes);
}

} // namespace
} // namespace venqor
