#include "engine/dbf/DbfEngine.h"
#include "scan/CodePage.h"
#include "scan/Errors.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <sys/wait.h>

// dBASE files written by the engine are read back by an independent reader, the Python
// dbf module (Debian python3-dbf, scripts/install-deps), and files that reader writes are
// read by the engine.

namespace venqor {
namespace {

using test::TempDir;

std::string cp(std::string_view utf8)
{
    return Utf8ToCp1251(utf8);
}

// Prints a dBASE file: its language driver byte, one line per field (name, type, width,
// decimals) and one line per record (values separated by |, texts without trailing blanks).
const char* const dumpScript = R"(import sys, dbf
path = sys.argv[1]
print('language', hex(open(path, 'rb').read(32)[29]))
table = dbf.Table(path)
table.open()
for name in table.field_names:
    info = table.field_info(name)
    print('field', name, chr(info[0]), info[1], info[2])
for record in table:
    values = []
    for value in record:
        if isinstance(value, str):
            value = value.rstrip()
        elif hasattr(value, 'isoformat'):
            value = value.isoformat()
        values.append(str(value))
    print('|'.join(values))
)";

// Writes a dBASE file in code page 866 (language driver 0x26) with two records.
const char* const write866Script = R"(import sys, dbf
table = dbf.Table(sys.argv[1], 'FAM C(12); NUM N(11,0); BIRTH D', codepage='cp866')
table.open(dbf.READ_WRITE)
table.append(('Ёлкин №1 ёж', 12, dbf.Date(1950, 1, 31)))
table.append(('', None, None))
table.close()
)";

// Runs /usr/bin/python3 with a script and one argument; returns its output.
std::string python(const TempDir& dir, const char* script, const std::string& argument)
{
    const std::string scriptFile = dir.write("script.py", script);
    const std::string command = "/usr/bin/python3 '" + scriptFile + "' '" + argument + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        throw std::runtime_error("cannot run " + command);
    std::string output;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
    const int status = pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;
    return output;
}

struct WrittenRow {
    const char* name;
    const char* fam; // UTF-8
    const char* num;
    const char* summa;
    const char* birth;
    bool refused;            // setField refuses one of the texts
    const char* dumped = ""; // the Python reader's line for the record
};

const WrittenRow writtenRows[] = {
    { "cyrillic_with_yo_and_number_sign", "Ёлкин-№1 ёж", "12", "2.5", "31.01.1950", false,
        "Ёлкин-№1 ёж|12|2.5|1950-01-31|x" },
    { "empty_values_and_empty_date", "", "", "", "", false, "|None|None|None|x" },
    { "negative_numbers", "Ян", "-7", "-0.125", "01.01.2000", false, "Ян|-7|-0.125|2000-01-01|x" },
    { "text_cut_to_width", "АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦ", "1", "0", "29.02.2000", false,
        "АБВГДЕЁЖЗИЙКЛМНОПРСТ|1|0.0|2000-02-29|x" },
    { "integer_with_decimals_refused", "Нет", "1.5", "", "", true },
    { "integer_wider_than_its_field_refused", "Нет", "123456789012", "", "", true },
    { "float_wider_than_its_field_refused", "Нет", "", "1e15", "", true },
    { "impossible_date_refused", "Нет", "", "", "31.02.1950", true },
};

int todayStamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    return local.tm_year * 10000 + (local.tm_mon + 1) * 100 + local.tm_mday;
}

TEST(DbfTable, WrittenFileReadsBackInAnIndependentReader)
{
    const TempDir dir;
    const int stampBefore = todayStamp();
    const auto table = OpenDatabase(dir.path().string())->table("edv.DBF");
    table->create(
        { { "FAM", FieldType::Text, 20 }, { "NUM", FieldType::Integer, 0 }, { "SUMMA", FieldType::Float, 0 },
            { "BIRTH", FieldType::Date, 0 }, { "VERYLONGFIELDNAME", FieldType::Text, 1 } },
        "");
    table->open();
    EXPECT_EQ(table->fieldCount(), 5);
    std::string expected = "language 0xc9\n"
                           "field fam C 20 0\n"
                           "field num N 11 0\n"
                           "field summa N 19 6\n"
                           "field birth D 8 0\n"
                           "field verylongfi C 1 0\n";
    for (const WrittenRow& row : writtenRows) {
        SCOPED_TRACE(row.name);
        table->insert();
        try {
            table->setField(0, cp(row.fam));
            table->setField(1, std::string_view(row.num));
            table->setField(2, std::string_view(row.summa));
            table->setField(3, std::string_view(row.birth));
            table->setField(4, std::string_view("x"));
            EXPECT_FALSE(row.refused);
        } catch (const ConvertError& error) {
            EXPECT_TRUE(row.refused) << error.what();
            table->cancel();
            continue;
        }
        table->post();
        expected += std::string(row.dumped) + "\n";
    }
    table->insert();
    table->setField(0, cp("Отменённая"));
    table->cancel();
    table->close();

    EXPECT_EQ(python(dir, dumpScript, dir.file("edv.DBF")), expected);
    const std::string header = test::readFile(dir.file("edv.DBF")).substr(0, 4);
    const int stamp = static_cast<unsigned char>(header[1]) * 10000
        + static_cast<unsigned char>(header[2]) * 100 + static_cast<unsigned char>(header[3]);
    EXPECT_TRUE(stamp == stampBefore || stamp == todayStamp()) << stamp;
}

TEST(DbfTable, DateValuesAndCreateReplacingTheFile)
{
    const TempDir dir;
    const auto table = MakeDbfTable(dir.path().string(), "t.dbf");
    table->create({ { "A", FieldType::Text, 3 } }, "");
    table->open();
    table->insert();
    table->setField(0, std::string_view("old"));
    table->post();
    table->close();

    table->create({ { "D", FieldType::Date, 0 }, { "N", FieldType::Integer, 0 } }, "");
    table->open();
    for (const Date date : { *MakeDate(1899, 12, 31), ZeroDate }) {
        table->insert();
        table->setField(0, date);
        table->setField(1, std::int64_t { -99999999 });
        table->post();
    }
    table->close();
    EXPECT_EQ(python(dir, dumpScript, dir.file("t.dbf")),
        "language 0xc9\nfield d D 8 0\nfield n N 11 0\n1899-12-31|-99999999\nNone|-99999999\n");

    // An empty date is 8 blanks, not "00000000", which readers refuse.
    const std::string file = test::readFile(dir.file("t.dbf"));
    const auto word = [&file](std::size_t at) {
        return static_cast<unsigned char>(file[at]) | static_cast<unsigned char>(file[at + 1]) << 8;
    };
    EXPECT_EQ(file.substr(static_cast<std::size_t>(word(8) + word(10) + 1), 8), "        ");

    // The engine reads its own file back.
    table->open();
    ASSERT_EQ(table->recordCount(), 2);
    ASSERT_TRUE(table->readRecord(0));
    EXPECT_EQ(table->fieldDate("D"), *MakeDate(1899, 12, 31));
    EXPECT_EQ(table->fieldText("D"), "31.12.1899");
    EXPECT_EQ(table->fieldInt("N"), -99999999);
    ASSERT_TRUE(table->readRecord(1));
    EXPECT_EQ(table->fieldDate("D"), ZeroDate);
    EXPECT_EQ(table->fieldText("D"), "");
}

TEST(DbfTable, Cp866FilesAreReadAndAppendedInTheirCodePage)
{
    for (const char language : { '\x26', '\x65' }) {
        SCOPED_TRACE(static_cast<int>(language));
        const TempDir dir;
        python(dir, write866Script, dir.file("oem.dbf"));
        std::string bytes = test::readFile(dir.file("oem.dbf"));
        bytes[29] = language;
        dir.write("oem.dbf", bytes);

        const auto table = MakeDbfTable(dir.path().string(), "oem.dbf");
        table->open();
        ASSERT_EQ(table->recordCount(), 2);
        ASSERT_TRUE(table->readRecord(0));
        EXPECT_EQ(table->fieldText("FAM"), cp("Ёлкин №1 ёж"));
        EXPECT_EQ(table->fieldInt("NUM"), 12);
        EXPECT_EQ(table->fieldDate("BIRTH"), *MakeDate(1950, 1, 31));
        ASSERT_TRUE(table->readRecord(1));
        EXPECT_EQ(table->fieldText("FAM"), "");
        EXPECT_EQ(table->fieldInt("NUM"), 0);
        EXPECT_EQ(table->fieldDate("BIRTH"), ZeroDate);

        table->insert();
        table->setField(0, cp("Пётр Ёж №3"));
        table->post();
        table->close();
        const std::string dump = python(dir, dumpScript, dir.file("oem.dbf"));
        EXPECT_NE(dump.find("\nПётр Ёж №3|None|None\n"), std::string::npos) << dump;
    }
}

TEST(DbfTable, DamagedHeaderIsATableErrorNamingTheFile)
{
    struct Damage {
        const char* name;
        std::size_t offset; // byte changed, or the new length when `cut`
        char byte;
        bool cut;
    };
    const Damage damages[] = {
        { "shorter_than_a_header", 10, 0, true },
        { "records_beyond_the_end", 5, '\x10', false },
        { "header_length_beyond_the_end", 9, '\x7F', false },
        { "record_length_not_the_fields", 10, '\x03', false },
    };
    const TempDir dir;
    {
        const auto table = MakeDbfTable(dir.path().string(), "good.dbf");
        table->create({ { "FAM", FieldType::Text, 10 }, { "NUM", FieldType::Integer, 0 } }, "");
        table->open();
        table->insert();
        table->setField(0, std::string_view("A"));
        table->post();
    }
    const std::string good = test::readFile(dir.file("good.dbf"));
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.name);
        std::string bytes = good;
        if (damage.cut)
            bytes.resize(damage.offset);
        else
            bytes[damage.offset] = damage.byte;
        dir.write("BAD.dbf", bytes);
        const auto table = MakeDbfTable(dir.path().string(), "BAD.dbf");
        try {
            table->open();
            ADD_FAILURE() << "opened a damaged file";
        } catch (const TableError& error) {
            EXPECT_NE(std::string(error.what()).find("BAD.dbf"), std::string::npos) << error.what();
        }
        EXPECT_FALSE(table->isOpen());
    }
}

TEST(DbfTable, WhatDbaseCannotHoldIsRefused)
{
    const TempDir dir;
    const auto table = MakeDbfTable(dir.path().string(), "t.dbf");
    EXPECT_THROW(table->open(), TableError) << "no such file";
    EXPECT_THROW(
        table->create({ { "FIELDNAME_1", FieldType::Text, 5 }, { "FIELDNAME_2", FieldType::Text, 5 } }, ""),
        TableError)
        << "names equal once cut to 10 characters";
    EXPECT_THROW(table->create({ { "WIDE", FieldType::Text, 255 } }, ""), TableError);
    EXPECT_THROW(table->create({ { "NUM", FieldType::Integer, 0 } }, "NUM"), TableError) << "no indexes";
    table->create({ { "NUM", FieldType::Integer, 0 } }, "");
    table->open();
    EXPECT_THROW(table->setIndexFields(""), TableError);
    EXPECT_THROW(table->findKey(1), TableError);
}

TEST(DbfTable, NamesEndingInDbfInAnyCase)
{
    EXPECT_TRUE(IsDbfName("edv.dbf"));
    EXPECT_TRUE(IsDbfName("EDV.DBF"));
    EXPECT_TRUE(IsDbfName("a.DbF"));
    EXPECT_FALSE(IsDbfName("ANKT"));
    EXPECT_FALSE(IsDbfName("dbf"));
    EXPECT_FALSE(IsDbfName("edv.dbf.bak"));
}

} // namespace
} // namespace venqor
