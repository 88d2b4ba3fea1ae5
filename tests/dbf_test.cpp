#include "base/CodePage.h"
#include "base/Errors.h"
#include "engine/dbf/DbfEngine.h"
#include "support/PythonReaders.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include <ctime>

// dBASE files written by the engine are read back by an independent reader (the Python dbf
// module, support/PythonReaders.h), and files that reader writes are read by the engine.

namespace venqor {
namespace {

using test::TempDir;

std::string cp(std::string_view utf8)
{
    return Utf8ToCp1251(utf8);
}

// Writes a dBASE file in code page 866 (language driver 0x26) with two records.
const char* const write866Script = R"(import sys, dbf
table = dbf.Table(sys.argv[1], 'FAM C(12); NUM N(11,0); BIRTH D', codepage='cp866')
table.open(dbf.READ_WRITE)
table.append(('Ёлкин №1 ёж', 12, dbf.Date(1950, 1, 31)))
table.append(('', None, None))
table.close()
)";

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
                           "field summa N 20 9\n"
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

    EXPECT_EQ(test::dumpDbf(dir.file("edv.DBF")), expected);
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
    EXPECT_EQ(test::dumpDbf(dir.file("t.dbf")),
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
        test::runPython(write866Script, dir.file("oem.dbf"));
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
        const std::string dump = test::dumpDbf(dir.file("oem.dbf"));
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

TEST(DbfLoader, ReplacesTheFileOnlyOnCommitWithTheDateOfItsClock)
{
    const TempDir dir;
    const std::string earlier = dir.write("Edv.dbf", "an earlier table");
    dir.write("Edv.cpg", "866");
    const auto files = [&dir] {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    const std::vector<FieldDef> fields = { { "FAM", FieldType::Text, 5 }, { "BIRTH", FieldType::Date, 0 } };
    const DbfClock clock = [] { return *MakeDate(2031, 2, 3); };
    for (const bool commit : { false, true }) {
        SCOPED_TRACE(commit ? "committed" : "abandoned");
        auto loader = LoadDbfTable(dir.path().string(), "edv.dbf", fields, clock);
        loader->insert();
        loader->setField(0, cp("Ян"));
        loader->setField(1, *MakeDate(1950, 1, 31));
        EXPECT_TRUE(loader->post());
        EXPECT_EQ(test::readFile(earlier), "an earlier table") << "until commit";
        EXPECT_EQ(files().size(), 3u) << "the new table beside the earlier one";
        if (commit)
            loader->commit();
        loader.reset();
    }
    EXPECT_EQ(files(), std::vector<std::string> { "Edv.dbf" }) << "the code page file would mislead readers";
    const std::string bytes = test::readFile(earlier);
    EXPECT_EQ(bytes.substr(1, 3), std::string("\x83\x02\x03", 3)) << "last change 2031-02-03";
    EXPECT_EQ(test::dumpDbf(earlier), "language 0xc9\nfield fam C 5 0\nfield birth D 8 0\nЯн|1950-01-31\n");
    EXPECT_THROW(OpenDatabase(dir.path().string())->load("t.dbf", fields, "FAM", {}), TableError);
}

} // namespace
} // namespace venqor
