#include "commands/TextConversion.h"
#include "commands/TextToDate.h"

#include "base/CodePage.h"
#include "base/Cp1251Literal.h"
#include "base/Errors.h"
#include "support/FileSizeLimit.h"
#include "support/PythonReaders.h"
#include "support/ScriptedHost.h"
#include "support/SqliteQuery.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <sstream>

namespace venqor {
namespace {

namespace fs = std::filesystem;
using test::ScriptedHost;
using test::TempDir;

// Lines in code page 866: TYPE, FAM, KOLVO, SUMMA, BIRTH and two address fields whose names
// are the same in their first 10 characters.
constexpr std::string_view Cp866Schema = "[CONV]\r\n"
                                         "FILETYPE = FIXED\r\n"
                                         "CHARSET = CYRR\r\n"
                                         "Field1 = TYPE,CHAR,1,00,00\r\n"
                                         "Field2 = FAM,CHAR,12,00,01\r\n"
                                         "Field3 = KOLVO,NUMBER,6,00,13\r\n"
                                         "Field4 = SUMMA,FLOAT,9,00,19\r\n"
                                         "Field5 = BIRTH,DATE,10,00,28\r\n"
                                         "Field6 = ADDRESS_REGISTERED,CHAR,8,00,38\r\n"
                                         "Field7 = ADDRESS_RESIDENCE,CHAR,8,00,46\r\n";

// Windows-1251 lines: a marker and one text field.
constexpr std::string_view PlainSchema = "[PLAIN]\r\n"
                                         "FILETYPE = FIXED\r\n"
                                         "Field1 = TYPE,CHAR,1,00,00\r\n"
                                         "Field2 = NAME,CHAR,10,00,01\r\n";

// UTF-8 to code page 866 (through Windows-1251 and Unicode).
std::string cp866(std::string_view utf8)
{
    std::string out;
    for (const char c : Utf8ToCp1251(utf8)) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
            continue;
        }
        const auto* at = std::find(
            Cp866ToUnicodeTable.begin(), Cp866ToUnicodeTable.end(), Cp1251ToUnicodeTable[b - 0x80]);
        if (at == Cp866ToUnicodeTable.end())
            throw std::runtime_error("no such character in code page 866");
        out += static_cast<char>(0x80 + (at - Cp866ToUnicodeTable.begin()));
    }
    return out;
}

// A program directory with a schema, and the window's state for a conversion in it.
struct Conversion {
    explicit Conversion(std::string_view schema, std::string_view schemaName = "CONV")
        : state(DefaultMainState(home.path()))
    {
        home.write(std::string(schemaName) + ".SCH", schema);
        state.schema = schemaName;
    }

    // Writes the data file (bytes as given) and runs the conversion.
    RunResult run(const std::string& data)
    {
        state.dataFile = home.write("data.txt", data);
        return ConvertText(state, host);
    }

    std::vector<std::string> files() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(home.path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir home;
    TMainState state;
    ScriptedHost host;
};

// A line of the code page 866 schema: each value (UTF-8) padded to its field's width.
std::string line(std::string_view type, std::string_view fam, std::string_view kolvo = "",
    std::string_view summa = "", std::string_view birth = "", std::string_view address1 = "",
    std::string_view address2 = "")
{
    std::string out;
    const std::pair<std::string_view, std::size_t> values[] = { { type, 1 }, { fam, 12 }, { kolvo, 6 },
        { summa, 9 }, { birth, 10 }, { address1, 8 }, { address2, 8 } };
    for (const auto& [value, width] : values) {
        std::string field = cp866(value);
        field.resize(width, ' ');
        out += field;
    }
    return out;
}

std::string crlf(const std::vector<std::string>& lines)
{
    std::string out;
    for (const std::string& line : lines)
        out += line + "\r\n";
    return out;
}

TEST(TextToDate, FormsOfTheDataFiles)
{
    struct Case {
        const char* edge;
        const char* text;
        int year, month, day; // 0: no date
    };
    const Case cases[] = {
        { "eight digits year first", "19500131", 1950, 1, 31 },
        { "eight digits day first when the month would be above 12", "31011950", 1950, 1, 31 },
        { "eight digits day first when the day would be above 31", "01121950", 1950, 12, 1 },
        { "eight digits day first when the day alone would be above 31", "01022024", 2024, 2, 1 },
        { "eight digits giving a month of 0", "19500031", 0, 0, 0 },
        { "day first, one-digit parts, two-digit year in the 1900s", "1.2.50", 1950, 2, 1 },
        { "day first, any separator, year below 10 in the 2000s", "5/3/07", 2007, 3, 5 },
        { "day first, four-digit year", "31.12.1999", 1999, 12, 31 },
        { "year 10 widened to 1910", "01.01.10", 1910, 1, 1 },
        { "year 9 widened to 2009", "01.01.09", 2009, 1, 1 },
        { "year first with hyphens", "1950-01-31", 1950, 1, 31 },
        { "leading blanks skipped", "   1950-01-31", 1950, 1, 31 },
        { "only the first 15 characters count", "      1950.01.31", 1950, 1, 3 },
        { "no calendar date", "31.02.1950", 0, 0, 0 },
        { "29 February of a leap year", "29.02.2000", 2000, 2, 29 },
        { "29 February of a common year", "29.02.1900", 0, 0, 0 },
        { "four characters are too few", "1950", 0, 0, 0 },
        { "four characters are too few even for a day and a month", "1.12", 0, 0, 0 },
        { "a year alone", "1950 ", 0, 0, 0 },
        { "missing day reads as 0", "1950.01", 0, 0, 0 },
        { "three digits first", "195.01.31", 0, 0, 0 },
        { "separator of two characters", "01..02.1950", 0, 0, 0 },
        { "letters", "abcdefgh", 0, 0, 0 },
        { "month above 12", "01.13.1950", 0, 0, 0 },
        { "six digits", "310150", 0, 0, 0 },
        { "empty", "", 0, 0, 0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.edge);
        const Date expected = c.year ? *MakeDate(c.year, c.month, c.day) : ZeroDate;
        EXPECT_EQ(FormatDmy(TextToDate(c.text)), FormatDmy(expected)) << c.text;
    }
}

TEST(TextConversion, SelectionByConditionMatchKindAndText)
{
    struct Case {
        const char* edge;
        const char* condition;
        const char* match;
        const char* text;
        const char* taken; // which of the lines "ОА", "АО", "АБ", "" are taken, as 1 and 0
    };
    const Case cases[] = {
        { "all lines, whatever the match", "Все", "содержащие", "Щ", "1111" },
        { "a typed condition counts as all", "все", "начинаюшиеся с", "О", "1111" },
        { "only lines starting with", "Только", "начинаюшиеся с", "О", "1000" },
        { "only lines containing", "Только", "содержащие", "О", "1100" },
        { "only lines lacking", "Только", "не содержащие", "О", "0011" },
        { "all but lines starting with", "Кроме", "начинаюшиеся с", "О", "0111" },
        { "all but lines containing", "Кроме", "содержащие", "О", "0011" },
        { "all but lines lacking", "Кроме", "не содержащие", "О", "1100" },
        { "case counts", "Только", "содержащие", "о", "0000" },
        { "empty text starts no line", "Только", "начинаюшиеся с", "", "0000" },
        { "empty text is in no line", "Только", "содержащие", "", "0000" },
        { "empty text is lacking in every line", "Только", "не содержащие", "", "1111" },
        { "all but: empty text inverted", "Кроме", "содержащие", "", "1111" },
        { "a typed match kind matches nothing", "Только", "начинающиеся с", "О", "0000" },
        { "all but a typed match kind takes all", "Кроме", "с", "О", "1111" },
        { "a text of two characters", "Только", "содержащие", "АБ", "0010" },
    };
    const std::string lines[] = { std::string("ОА"_w), std::string("АО"_w), std::string("АБ"_w), "" };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.edge);
        TMainState state = DefaultMainState(std::filesystem::path("."));
        state.copyCondition = Utf8ToCp1251(c.condition);
        state.copyMatchKind = Utf8ToCp1251(c.match);
        state.recordType = Utf8ToCp1251(c.text);
        SetCopySelection(state);
        std::string taken;
        for (const std::string& line : lines)
            taken += LineSelected(state, line) ? '1' : '0';
        EXPECT_EQ(taken, c.taken);
    }
}

TEST(TextConversion, DbaseTableReadBackByAnIndependentReader)
{
    Conversion conversion(Cp866Schema);
    conversion.state.recordType = "О"_w;
    const std::string data = crlf({
        cp866("ВЗаголовок файла"), line("О", "Ёлкин №1", "42", "1200.5", "19500131", "ул.Мира", "д.5"),
        line("О", "Пётр", "abc", "1.5", "01.02.1950", "нет"),          // integer holding text
        line("О", "Иван", "7", "1,5", "01.02.1950", "нет"),            // float with a comma
        line("О", "Ян", "-3", "-0.25", "31.02.1950", "дата", "пуста"), // no calendar date: empty
        line("О", "  Ли \t", "  0", "", "  1.2.50"),                   // trimmed on both sides
        cp866("ЛЛьгота"),
        std::string("\x8E\xC4\xC4\x80\x8B", 5), // О──АЛ: box drawing has no place in Windows-1251
        cp866("ОЯ") + "\r\n",                   // a short line, then an empty line
    });
    const RunResult result = conversion.run(data);
    ASSERT_TRUE(result.started);

    EXPECT_EQ(test::dumpDbf(conversion.home.file("edv.dbf")),
        "language 0xc9\n"
        "field type C 1 0\n"
        "field fam C 12 0\n"
        "field kolvo N 11 0\n"
        "field summa N 18 8\n"
        "field birth D 8 0\n"
        "field address_re C 8 0\n"
        "field address__1 C 8 0\n"
        "О|Ёлкин №1|42|1200.5|1950-01-31|ул.Мира|д.5\n"
        "О|Ян|-3|-0.25|None|дата|пуста\n"
        "О|Ли|0|None|1950-02-01||\n"
        "О|??АЛ|None|None|None||\n"
        "О|Я|None|None|None||\n");
    EXPECT_EQ(conversion.host.questions,
        std::vector<std::string> { std::string("Преобразовать файл в таблицу?"_w) });
    const std::string table = conversion.home.file("edv.dbf");
    const std::string kolvo = table + ", field \"KOLVO\": \"abc\" is not a whole number";
    EXPECT_EQ(conversion.host.messages,
        std::vector<std::string> {
            Utf8ToCp1251("Имена полей сокращены для формата таблицы: ADDRESS_REGISTERED "
                         "-> ADDRESS_RE, ADDRESS_RESIDENCE -> ADDRESS__1\r\n"
                         "Строк, не записанных в таблицу: 2; первая - строка 3: ")
            + kolvo });
    EXPECT_EQ(result.shortfalls.size(), 1u);
    EXPECT_EQ(conversion.host.reportLines(),
        (std::vector<std::string> { "Преобразование текстового файла \"" + conversion.state.dataFile.string()
                + "\" по схеме \"CONV\"",
            " в таблицу edv.dbf", "N строки Сообщение", "    3 E: Строка не записана в таблицу: " + kolvo,
            "    4 E: Строка не записана в таблицу: " + table
                + ", field \"SUMMA\": \"1,5\" is not a number" }));
    EXPECT_EQ(conversion.host.reportsShown, 1);
    EXPECT_EQ(conversion.files(), (std::vector<std::string> { "CONV.SCH", "data.txt", "edv.dbf" }));
    EXPECT_EQ(test::readFile(conversion.state.dataFile), data) << "the data file is only read";
    EXPECT_EQ(conversion.state.CopyMode, 1);
    EXPECT_EQ(conversion.state.CopyMatch, 1);
    EXPECT_EQ(conversion.state.CopyValue, "О"_w);
}

TEST(TextConversion, CsvTableWithQuotingAndDates)
{
    Conversion conversion(Cp866Schema);
    conversion.state.tableName = "out.CSV";
    conversion.state.copyCondition = "Все"_w;
    const RunResult result = conversion.run(crlf({
        line("О", "Ёлкин, \"Ё\"", "42", "1200.5", "19500131", "ул.Мира", "д.5"),
        line("О", "", "abc"),
        line("О", "два\nряда"), // a lone line feed belongs to the line
        cp866("О"),
    }));
    ASSERT_TRUE(result.started);
    EXPECT_EQ(test::readFile(conversion.home.file("out.CSV")),
        "\xEF\xBB\xBF"
        "TYPE,FAM,KOLVO,SUMMA,BIRTH,ADDRESS_REGISTERED,ADDRESS_RESIDENCE\r\n"
        "О,\"Ёлкин, \"\"Ё\"\"\",42,1200.5,31.01.1950,ул.Мира,д.5\r\n"
        "О,\"два\nряда\",,,,,\r\n"
        "О,,,,,,\r\n");
    ASSERT_EQ(conversion.host.messages.size(), 1u);
    EXPECT_TRUE(conversion.host.messages[0].starts_with(
        Utf8ToCp1251("Строк, не записанных в таблицу: 1; первая - строка 2: ")))
        << "CSV keeps long names, and says the line whose integer is a text: "
        << Cp1251ToUtf8(conversion.host.messages[0]);
}

// Two lines into each format of table, the second with a date that is no calendar date:
// nothing of the first record is left in the second, and a text with quotes comes back whole.
TEST(TextConversion, EachFormatTakesTwoRecordsWithoutCarryingAValueOver)
{
    const std::string schema = "[TWO]\r\nField1 = TYPE,CHAR,1,00,00\r\nField2 = NAME,CHAR,20,00,01\r\n"
                               "Field3 = BIRTH,DATE,10,00,21\r\n";
    const auto text = [](std::string_view utf8, std::size_t width) {
        std::string s = Utf8ToCp1251(utf8);
        s.resize(width, ' ');
        return s;
    };
    const std::string data = crlf({ text("О", 1) + text("ООО \"Ромашка\"", 20) + text("01.02.1950", 10),
        text("О", 1) + text("Иванов", 20) + text("31.02.1950", 10) });
    using Rows = std::vector<std::vector<std::optional<std::string>>>;
    const Rows expected = { { "ООО \"Ромашка\"", "1950-02-01" }, { "Иванов", std::nullopt } };
    for (const char* table : { "X.DB", "x.dbf", "x.csv" }) {
        SCOPED_TRACE(table);
        Conversion conversion(schema, "TWO");
        conversion.state.tableName = table == std::string_view("X.DB") ? "X" : table;
        ASSERT_TRUE(conversion.run(data).started);
        const std::string file = conversion.home.file(table);
        Rows rows;
        if (table == std::string_view("X.DB")) {
            for (const test::SqlRow& row : test::SqliteRows(file, "SELECT NAME, BIRTH FROM X"))
                rows.push_back({ row[0], row[1] });
        } else if (table == std::string_view("x.dbf")) {
            std::istringstream dump(test::dumpDbf(file));
            for (std::string l; std::getline(dump, l);) {
                if (!l.starts_with("О|"))
                    continue; // the header lines
                const std::size_t bar = l.rfind('|');
                const std::string birth = l.substr(bar + 1);
                rows.push_back({ l.substr(l.find('|') + 1, bar - l.find('|') - 1),
                    birth == "None" ? std::nullopt : std::optional<std::string>(birth) });
            }
        } else {
            EXPECT_NE(
                test::readFile(file).find("О,\"ООО \"\"Ромашка\"\"\",01.02.1950\r\n"), std::string::npos);
            const auto csv = test::readCsv(file);
            ASSERT_EQ(csv.size(), 3u);
            for (std::size_t i = 1; i < csv.size(); ++i) {
                const std::string& birth = csv[i][2];
                rows.push_back({ csv[i][1],
                    birth.empty() ? std::nullopt
                                  : std::optional<std::string>(birth.substr(6) + "-" + birth.substr(3, 2)
                                      + "-" + birth.substr(0, 2)) });
            }
        }
        EXPECT_EQ(rows, expected);
    }
}

// The three kinds of table, as edtTblName names them and as their file is called.
struct TableKind {
    const char* name;
    const char* file;
};
constexpr TableKind TableKinds[] = { { "t.dbf", "t.dbf" }, { "t.csv", "t.csv" }, { "t", "t.DB" } };

// The records of a converted table as an independent reader gives them, each value as text,
// an empty one as "": dBASE through python3-dbf, CSV through Python's csv module, SQLite
// through its C API with `columns` (a real as quote() writes it, which reads back whole).
std::vector<std::vector<std::string>> readBack(const std::string& file, const std::string& columns)
{
    std::vector<std::vector<std::string>> rows;
    if (file.ends_with(".dbf")) {
        std::istringstream dump(test::dumpDbf(file));
        for (std::string l; std::getline(dump, l);) {
            if (l.starts_with("language ") || l.starts_with("field "))
                continue;
            std::vector<std::string>& row = rows.emplace_back();
            std::istringstream values(l);
            for (std::string value; std::getline(values, value, '|');)
                row.push_back(value == "None" ? "" : value);
        }
    } else if (file.ends_with(".csv")) {
        rows = test::readCsv(file);
        rows.erase(rows.begin()); // the field names
    } else {
        for (const test::SqlRow& sqlRow : test::SqliteRows(file, "SELECT " + columns + " FROM t")) {
            std::vector<std::string>& row = rows.emplace_back();
            for (const auto& value : sqlRow)
                row.push_back(value && *value != "NULL" ? *value : "");
        }
    }
    return rows;
}

// A number as a reader gives it, compared as a number; nothing for an empty value.
std::optional<double> number(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    std::size_t used = 0;
    const double value = std::stod(text, &used);
    EXPECT_EQ(used, text.size()) << text;
    return value;
}

// Integers and floats come back as the data file writes them, in every kind of table; what a
// dBASE number field cannot hold is said as a line not stored.
TEST(TextConversion, NumbersReadBackAsTheDataFileWritesThem)
{
    const std::string schema = "[NUMS]\r\nField1 = TYPE,CHAR,1,00,00\r\nField2 = KOLVO,INTEGER,12,00,01\r\n"
                               "Field3 = SUMMA,FLOAT,20,00,13\r\n";
    struct Case {
        const char* edge;
        const char* kolvo;
        const char* summa;
        const char* dbaseRefusal; // the reason when dBASE cannot hold the line's numbers
    };
    const Case cases[] = {
        { "seven decimals", "1", "0.1234567", nullptr },
        { "a value below the sixth decimal", "2", "0.000000125", nullptr },
        { "fifteen digits across the point", "3", "123456789.123456", nullptr },
        { "fourteen digits before the point", "4", "12345678901234.5", nullptr },
        { "the most decimals the text holds", "5", ".0000000000000000001", nullptr },
        { "negative in exponent form", "6", "-2.5E-3", nullptr },
        { "beyond any dBASE number field", "7", "1e300", "1e+300 does not fit the field N(40,19)" },
        { "more decimals than the field has", "8", "1e-25", "1e-25 does not fit the field N(40,19)" },
        { "an integer beyond 32 bits", "2147483648", "", nullptr },
        { "the widest integer of dBASE", "99999999999", "", nullptr },
        { "the most negative integer of dBASE", "-9999999999", "", nullptr },
        { "an integer of 12 digits", "123456789012", "", "\"123456789012\" is wider than the field (11)" },
    };
    std::string data;
    for (const Case& c : cases) {
        std::string kolvo = c.kolvo;
        std::string summa = c.summa;
        kolvo.resize(12, ' ');
        summa.resize(20, ' ');
        data += "O" + kolvo + summa + "\r\n";
    }
    for (const TableKind& kind : TableKinds) {
        SCOPED_TRACE(kind.name);
        Conversion conversion(schema, "NUMS");
        conversion.state.tableName = kind.name;
        conversion.state.copyCondition = "Все"_w;
        const RunResult result = conversion.run(data);
        ASSERT_TRUE(result.started);
        const std::string file = conversion.home.file(kind.file);
        const bool dbase = file.ends_with(".dbf");
        if (dbase) {
            EXPECT_NE(
                test::dumpDbf(file).find("\nfield kolvo N 11 0\nfield summa N 40 19\n"), std::string::npos);
        } else if (!file.ends_with(".csv")) {
            EXPECT_EQ(test::SqliteRows(file, "SELECT DISTINCT typeof(SUMMA) FROM t WHERE SUMMA IS NOT NULL"),
                std::vector<test::SqlRow> { { "real" } });
        }
        const auto rows = readBack(file, "TYPE, KOLVO, quote(SUMMA)");
        std::vector<std::string> said;
        std::size_t row = 0;
        for (std::size_t i = 0; i < std::size(cases); ++i) {
            const Case& c = cases[i];
            SCOPED_TRACE(c.edge);
            if (dbase && c.dbaseRefusal) {
                said.push_back(std::to_string(i + 1) + " E: Строка не записана в таблицу: " + file
                    + ", field \"" + (c.summa[0] ? "SUMMA" : "KOLVO") + "\": " + c.dbaseRefusal);
                continue;
            }
            ASSERT_LT(row, rows.size());
            EXPECT_EQ(number(rows[row][1]), number(c.kolvo));
            EXPECT_EQ(number(rows[row][2]), number(c.summa));
            if (file.ends_with(".csv")) {
                EXPECT_EQ(rows[row][2], c.summa) << "the text as written";
            }
            ++row;
        }
        EXPECT_EQ(row, rows.size());
        std::vector<std::string> errorLines;
        for (const std::string& l : conversion.host.reportLines())
            if (l.find(" E: ") != std::string::npos)
                errorLines.push_back(l.substr(l.find_first_not_of(' ')));
        EXPECT_EQ(errorLines, said);
        EXPECT_EQ(result.shortfalls.size(), said.empty() ? 0u : 1u);
    }
}

// Two good lines around 101 lines whose integer is a text, after a line not taken: the first
// 99 of those are said with their number in the data file, all of them are counted, and the
// good records are the table.
TEST(TextConversion, LinesTheTableCannotTakeAreSaidWithTheirNumbers)
{
    const std::string schema = "[INT]\r\nField1 = TYPE,CHAR,1,00,00\r\nField2 = KOLVO,INTEGER,5,00,01\r\n";
    std::vector<std::string> lines = { Utf8ToCp1251("ВЗаголовок"), Utf8ToCp1251("О1") };
    lines.insert(lines.end(), 101, Utf8ToCp1251("Оабв"));
    lines.push_back(Utf8ToCp1251("О2"));
    const std::string data = crlf(lines);
    for (const TableKind& kind : TableKinds) {
        SCOPED_TRACE(kind.name);
        Conversion conversion(schema, "INT");
        conversion.state.tableName = kind.name;
        const RunResult result = conversion.run(data);
        ASSERT_TRUE(result.started);
        EXPECT_EQ(readBack(conversion.home.file(kind.file), "TYPE, KOLVO"),
            (std::vector<std::vector<std::string>> { { "О", "1" }, { "О", "2" } }));

        const std::vector<std::string> report = conversion.host.reportLines();
        ASSERT_EQ(report.size(), 2u + 1 + 99);
        EXPECT_EQ(report[2], "N строки Сообщение");
        const std::string reason = "field \"KOLVO\": \"абв\" is not a whole number";
        EXPECT_TRUE(report[3].starts_with("    3 E: Строка не записана в таблицу: ")) << report[3];
        EXPECT_TRUE(report[3].ends_with(reason)) << report[3];
        EXPECT_TRUE(report.back().starts_with("  101 E: ")) << report.back();
        ASSERT_EQ(result.shortfalls.size(), 1u);
        const std::string shortfall = Cp1251ToUtf8(result.shortfalls[0]);
        EXPECT_TRUE(shortfall.starts_with("Строк, не записанных в таблицу: 101; первая - строка 3: "))
            << shortfall;
        EXPECT_TRUE(shortfall.ends_with(reason)) << shortfall;
        EXPECT_EQ(conversion.host.messages, result.shortfalls);
        EXPECT_EQ(conversion.host.reportsShown, 1);
    }
}

// A table that cannot be written whole (a full disk, here a limit on the size of files) ends
// the run at its first failed write, as a failure naming the table: no line is taken for a
// bad one, no temporary file is left and an earlier table stays as it was.
TEST(TextConversion, AFailedWriteOfTheTableEndsTheRunAndKeepsTheEarlierTable)
{
    const std::string schema = "[BIG]\r\nField1 = TYPE,CHAR,1,00,00\r\nField2 = TEXT,CHAR,250,00,01\r\n";
    // More than the write buffers and SQLite's cache hold, so that a record's write fails.
    const std::string data = crlf(std::vector<std::string>(12000, Utf8ToCp1251("О") + std::string(250, 'x')));
    for (const TableKind& kind : TableKinds) {
        SCOPED_TRACE(kind.name);
        Conversion conversion(schema, "BIG");
        conversion.state.tableName = kind.name;
        const std::string earlier = conversion.home.write(kind.file, "an earlier table");
        conversion.state.dataFile = conversion.home.write("data.txt", data);
        const std::vector<std::string> before = conversion.files();
        const std::string table = conversion.home.file(kind.file);
        const std::string failed = kind.file == std::string_view("t.dbf") ? table + ", record "
            : kind.file == std::string_view("t.csv")
            ? "cannot write \"" + table + "\": "
            : "table \"t\" of \"" + conversion.home.path().string() + "\": cannot write the record (";
        try {
            const test::FileSizeLimit limit(256 * 1024);
            ConvertText(conversion.state, conversion.host);
            ADD_FAILURE() << "the run ended without a failure";
        } catch (const IoError& error) {
            const std::string message = error.what();
            EXPECT_TRUE(message.starts_with("Файл результата не записан: " + failed)) << message;
        }
        EXPECT_EQ(conversion.host.reportLines().size(), 2u) << "no line taken for a bad one";
        EXPECT_EQ(conversion.host.reportsShown, 0);
        EXPECT_FALSE(conversion.host.progressVisible);
        EXPECT_EQ(conversion.files(), before);
        EXPECT_EQ(test::readFile(earlier), "an earlier table");
    }
}

TEST(TextConversion, NameWithoutExtensionGivesTheDefaultFormat)
{
    Conversion conversion(PlainSchema, "PLAIN");
    conversion.state.tableName = "EDVTAB";
    conversion.run(crlf({ Utf8ToCp1251("ОИванов"), Utf8ToCp1251("ВЗаголовок"), Utf8ToCp1251("ОЁж") }));
    EXPECT_EQ(test::SqliteRows(conversion.home.file("EDVTAB.DB"), "SELECT TYPE, NAME FROM EDVTAB"),
        (std::vector<test::SqlRow> { { "О", "Иванов" }, { "О", "Ёж" } }));
}

TEST(TextConversion, ProgressEveryFiftyLinesLongLinesAndASecondRunReplacingTheFirst)
{
    const std::string schema = "[LONG]\r\nField1 = TYPE,CHAR,1,00,00\r\nField2 = FAR,CHAR,5,00,3000\r\n";
    Conversion conversion(schema, "LONG");
    std::string line = std::string("О"_w) + std::string(2999, 'x') + "FAR  ";
    std::vector<std::string> lines(120, line);
    lines[7] = std::string("В"_w); // not taken
    std::string data;
    for (const std::string& l : lines)
        data += l + "\r\n";
    ASSERT_TRUE(conversion.run(data).started);
    EXPECT_EQ(conversion.host.progressMaximum, data.size() / (3005 + 2));
    EXPECT_EQ(conversion.host.progress, (std::vector<std::uint64_t> { 50, 100 }));
    EXPECT_FALSE(conversion.host.progressVisible);
    const std::string first = test::dumpDbf(conversion.home.file("edv.dbf"));
    EXPECT_EQ(std::count(first.begin(), first.end(), '\n'), 3 + 119) << first;
    EXPECT_NE(first.find("\nО|FAR\n"), std::string::npos) << "a field beyond 2047 characters";

    ASSERT_TRUE(conversion.run(crlf({ Utf8ToCp1251("ОA"), Utf8ToCp1251("ОB") })).started);
    EXPECT_EQ(test::dumpDbf(conversion.home.file("edv.dbf")),
        "language 0xc9\nfield type C 1 0\nfield far C 5 0\nО|\nО|\n");
    EXPECT_EQ(conversion.files(), (std::vector<std::string> { "LONG.SCH", "data.txt", "edv.dbf" }));
}

TEST(TextConversion, RefusalsAndFailuresLeaveAnEarlierTableAsItWas)
{
    struct Case {
        const char* edge;
        std::string schema;
        std::string table;   // edtTblName; "@dir/" stands for the program directory
        bool removeData;     // the data file is missing
        const char* message; // shown before anything is written, or "" when the run fails
        const char* failure; // in the message of the failure that ends the run
        const char* dataName = "data.txt";
    };
    const Case cases[] = {
        { "schema without fields", "[EMPTY]\r\nFILETYPE = FIXED\r\n", "edv.dbf", false, "Ошибка в схеме!",
            "" },
        { "a table named like the data file, as the engine names its file", std::string(PlainSchema), "LIST",
            false, "Файл результата совпадает с исходным файлом", "", "list.DB" },
        { "a dBASE data file named in another case", std::string(PlainSchema), "DATA.DBF", false,
            "Файл результата совпадает с исходным файлом", "", "data.dbf" },
        { "the table ANKT", std::string(PlainSchema), "ankt", false,
            "Файл результата совпадает с таблицей ANKT", "" },
        { "a database location", std::string(PlainSchema), "sqlite:@dir/x.DB", false,
            "Таблица записывается в файл, а не в базу данных", "" },
        { "no name", std::string(PlainSchema), "", false, "Не задан файл результата", "" },
        { "missing data file", std::string(PlainSchema), "edv.dbf", true, "", "data.txt" },
        { "missing directory of the table", std::string(PlainSchema), "@dir/none/t.dbf", false,
            "Нет папки для файла результата", "" },
        { "text field wider than dBASE allows",
            "[WIDE]\r\nField1 = TYPE,CHAR,1,00,00\r\nField2 = WIDE,CHAR,300,00,1\r\n", "edv.dbf", false, "",
            "WIDE" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.edge);
        Conversion conversion(c.schema);
        const std::string earlier = conversion.home.write("edv.dbf", "an earlier table");
        const std::string data = crlf({ Utf8ToCp1251("ОИванов") });
        conversion.state.dataFile = conversion.home.write(c.dataName, data);
        std::string table = c.table;
        if (const std::size_t at = table.find("@dir/"); at != std::string::npos)
            table.replace(at, 5, conversion.home.path().string() + "/");
        conversion.state.tableName = table;
        if (c.removeData)
            fs::remove(conversion.state.dataFile);
        const std::vector<std::string> before = conversion.files();
        try {
            const RunResult result = ConvertText(conversion.state, conversion.host);
            EXPECT_FALSE(result.started);
            ASSERT_EQ(conversion.host.messages.size(), 1u);
            EXPECT_TRUE(conversion.host.messages[0].starts_with(Utf8ToCp1251(c.message)))
                << Cp1251ToUtf8(conversion.host.messages[0]);
            EXPECT_STREQ(c.failure, "");
        } catch (const Error& error) {
            EXPECT_NE(std::string(error.what()).find(c.failure), std::string::npos) << error.what();
            EXPECT_STREQ(c.message, "");
            EXPECT_FALSE(conversion.host.progressVisible);
        }
        EXPECT_EQ(conversion.host.reportsShown, 0);
        EXPECT_EQ(conversion.files(), before);
        EXPECT_EQ(test::readFile(earlier), "an earlier table");
        if (!c.removeData) {
            EXPECT_EQ(test::readFile(conversion.state.dataFile.string()), data);
        }
    }
}

TEST(TextConversion, DeclinedQuestionChangesNothing)
{
    Conversion conversion(PlainSchema, "PLAIN");
    conversion.host.answer = false;
    conversion.host.report.AppendLine("earlier report");
    EXPECT_FALSE(conversion.run(crlf({ Utf8ToCp1251("ОИванов") })).started);
    EXPECT_EQ(conversion.host.reportLines(), std::vector<std::string> { "earlier report" });
    EXPECT_EQ(conversion.files(), (std::vector<std::string> { "PLAIN.SCH", "data.txt" }));
}

} // namespace
} // namespace venqor
