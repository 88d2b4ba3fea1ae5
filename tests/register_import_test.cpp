#include "register/RegisterImport.h"

#include "base/CodePage.h"
#include "base/Errors.h"
#include "support/DbfFixtures.h"
#include "support/RecordingProgress.h"
#include "support/SqliteQuery.h"
#include "support/TempDir.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <shapefil.h>

namespace venqor {
namespace {

namespace fs = std::filesystem;
using test::DbfRecord;
using test::TempDir;
using test::WriteDbf;

// Every Cyrillic letter of Windows-1251 with Ё, ё and №, as UTF-8.
constexpr const char* alphabet = "АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдеёжзийклмнопрстуфхцчшщъыьэюя№";

// The rows of a NUMS.DB in the order of their numbers, as "NUM|FAM|...|DATMOD" with
// NULL written as NULL.
std::vector<std::string> numsRows(const std::string& file)
{
    std::vector<std::string> lines;
    for (const test::SqlRow& row : test::SqliteRows(file, "SELECT * FROM NUMS ORDER BY NUM")) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i)
            line += (i ? "|" : "") + row[i].value_or("NULL");
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> filesIn(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(RegisterImport, CsvTakesEveryNumberAndDateFormQuotedFieldsAndColumnsInAnyOrder)
{
    TempDir dir;
    // The columns in another order and case, an unknown column, COND, SEX and DATMOD
    // given; a quoted field with a comma and doubled quotes, one with a line break;
    // blanks after a value; 100-028-889 has the check number 00 (its sum is 100).
    const std::string csv
        = "fam,Nam,OTCH,num,Birth,note,COND,SEX,DATMOD\n"
          "ИВАНОВ  ,ИВАН,ИВАНОВИЧ,123456789,19500115,x,,М,\n"
          "\"ОБРАЗЦОВ, \"\"МЛАДШИЙ\"\"\",\"ПЁТР\",ПЕТРОВИЧ,112-233-445 95,1961-02-03,\"two\nlines\","
          "C,М,2020-01-31\n"
          "ПЕТРОВА,АННА,СЕРГЕЕВНА,98765432183,04.05.1972,,G,Ж,20210101\n"
          "СИДОРОВ,ОЛЕГ,,1001,,,,,\n"
          "НУЛЕВ,ИГОРЬ,ИГОРЕВИЧ,100-028-889 00,1.2.1933,,,М,\n";
    const std::string source = dir.write("register.csv", csv);
    test::RecordingProgress progress;
    const std::int64_t rows = ImportRegister(source, dir.file("reg"), &progress);

    EXPECT_EQ(rows, 5);
    const std::vector<std::string> expected = {
        "1001|СИДОРОВ|ОЛЕГ||NULL|||NULL",
        "100028889|НУЛЕВ|ИГОРЬ|ИГОРЕВИЧ|1933-02-01||М|NULL",
        "112233445|ОБРАЗЦОВ, \"МЛАДШИЙ\"|ПЁТР|ПЕТРОВИЧ|1961-02-03|C|М|2020-01-31",
        "123456789|ИВАНОВ|ИВАН|ИВАНОВИЧ|1950-01-15||М|NULL",
        "987654321|ПЕТРОВА|АННА|СЕРГЕЕВНА|1972-05-04|G|Ж|2021-01-01",
    };
    EXPECT_EQ(numsRows(dir.file("reg/NUMS.DB")), expected);
    EXPECT_EQ(filesIn(dir.file("reg")), std::vector<std::string> { "NUMS.DB" });
    EXPECT_EQ(progress.maximum, csv.size());
    EXPECT_TRUE(progress.ended);
}

TEST(RegisterImport, CsvDialectsGiveTheSameRegister)
{
    struct Case {
        const char* edge;
        std::string csv;
    };
    const std::string header = "NUM,FAM,NAM,OTCH,BIRTH";
    const std::string row1 = "123456789,ИВАНОВ,ИВАН,ИВАНОВИЧ,19500115";
    const std::string row2 = "\"112233445\",\"ПЕТРОВ\",ПЁТР,\"\",\"\"";
    const auto semi = [](std::string s) {
        std::replace(s.begin(), s.end(), ',', ';');
        return s;
    };
    const Case cases[] = {
        { "lf line ends", header + "\n" + row1 + "\n" + row2 + "\n" },
        { "crlf line ends and byte order mark",
            "\xEF\xBB\xBF" + header + "\r\n" + row1 + "\r\n" + row2 + "\r\n" },
        { "cr line ends", header + "\r" + row1 + "\r" + row2 },
        { "no line end after the last row", header + "\n" + row1 + "\n" + row2 },
        { "empty lines between rows", header + "\n\n" + row1 + "\n\r\n\n" + row2 + "\n\n" },
        { "semicolons", semi(header) + "\n" + semi(row1) + "\n" + semi(row2) + "\n" },
    };
    const std::vector<std::string> expected = {
        "112233445|ПЕТРОВ|ПЁТР||NULL|||NULL",
        "123456789|ИВАНОВ|ИВАН|ИВАНОВИЧ|1950-01-15|||NULL",
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.edge);
        TempDir dir;
        EXPECT_EQ(ImportRegister(dir.write("r.csv", c.csv), dir.file("reg"), {}), 2);
        EXPECT_EQ(numsRows(dir.file("reg/NUMS.DB")), expected);
    }
}

TEST(RegisterImport, CyrillicTextsKeepEveryLetter)
{
    TempDir dir;
    const std::string csv
        = std::string("NUM,FAM,NAM,OTCH,BIRTH,SEX\n123456789,") + alphabet + ",Ёлка,ёж №7,,Ж\n";
    ImportRegister(dir.write("r.csv", csv), dir.path().string(), {});
    EXPECT_EQ(numsRows(dir.file("NUMS.DB")),
        std::vector<std::string> { std::string("123456789|") + alphabet + "|Ёлка|ёж №7|NULL||Ж|NULL" });
}

TEST(RegisterImport, ReplacesAnEarlierRegisterWhole)
{
    TempDir dir;
    ImportRegister(
        dir.write("a.csv", "NUM,FAM,NAM,OTCH,BIRTH\n1001,А,Б,В,\n1002,Г,Д,Е,\n"), dir.file("reg"), {});
    ImportRegister(dir.write("b.csv", "NUM,FAM,NAM,OTCH,BIRTH\n1003,Ж,З,И,\n"), dir.file("reg"), {});
    EXPECT_EQ(numsRows(dir.file("reg/NUMS.DB")), std::vector<std::string> { "1003|Ж|З|И|NULL|||NULL" });
    EXPECT_EQ(filesIn(dir.file("reg")), std::vector<std::string> { "NUMS.DB" });
}

TEST(RegisterImport, BuildsTheKeyAndTheNameIndex)
{
    TempDir dir;
    ImportRegister(dir.write("r.csv", "NUM,FAM,NAM,OTCH,BIRTH\n1001,А,Б,В,\n"), dir.path().string(), {});
    const auto info
        = test::SqliteRows(dir.file("NUMS.DB"), "SELECT name, type, pk FROM pragma_table_info('NUMS')");
    ASSERT_EQ(info.size(), 8u);
    EXPECT_EQ(info[0], (test::SqlRow { "NUM", "INTEGER", "1" }));
    const auto columns = test::SqliteRows(dir.file("NUMS.DB"),
        "SELECT group_concat(i.name, ';') FROM pragma_index_list('NUMS') l, "
        "pragma_index_info(l.name) i GROUP BY l.name");
    EXPECT_EQ(columns, std::vector<test::SqlRow> { { "FAM;NAM;OTCH;BIRTH;COND;SEX;DATMOD" } });
}

// --- dBASE sources, written with shapelib the way old register programs wrote them ---

TEST(RegisterImport, DbaseSourcesInEitherCodePage)
{
    struct Case {
        const char* edge;
        const char* codePage; // as given to DBFCreateEx; nullptr: DBFCreate
        unsigned char languageByte;
        bool cp866;
    };
    const Case cases[] = {
        { "code page 866 (language driver 101)", "LDID/101", 0x65, true },
        { "code page 866 (language driver 38)", "LDID/38", 0x26, true },
        { "Windows-1251 (language driver 201)", "LDID/201", 0xC9, false },
        { "unknown language driver taken as Windows-1251", "LDID/87", 0x57, false },
        { "no language driver taken as Windows-1251", "LDID/0", 0x00, false },
    };
    const std::vector<DbfRecord> records = {
        { 123456789, alphabet, "Ёлка", "ёж №7", "19500115", "", "Ж" },
        { 5, "УДАЛЁН", "Б", "В", "19500115", "", "М", true },
        { 112233445, "ПЕТРОВ", "ПЁТР", "ПЕТРОВИЧ", "        ", "F", "М" },
        { 1001, "СИДОРОВ", "ОЛЕГ", "", "00000000", "", "М" },
    };
    const std::vector<std::string> expected = {
        "1001|СИДОРОВ|ОЛЕГ||NULL||М|NULL",
        "112233445|ПЕТРОВ|ПЁТР|ПЕТРОВИЧ|NULL|F|М|NULL",
        std::string("123456789|") + alphabet + "|Ёлка|ёж №7|1950-01-15||Ж|NULL",
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.edge);
        TempDir dir;
        WriteDbf(dir.file("register.dbf"), c.codePage, c.cp866, records);
        const std::string source = dir.file("Register.Dbf"); // the extension in any case
        fs::rename(dir.file("register.dbf"), source);
        ASSERT_EQ(static_cast<unsigned char>(test::readFile(source).at(29)), c.languageByte);
        EXPECT_EQ(ImportRegister(source, dir.file("reg"), {}), 3);
        EXPECT_EQ(numsRows(dir.file("reg/NUMS.DB")), expected);
    }
}

// --- failures: the message names the file and the place; no register is left half built ---

// A dBASE file that claims more records than it holds.
std::string truncatedDbf()
{
    TempDir scratch;
    const std::string path = scratch.file("t.dbf");
    WriteDbf(path, "LDID/201", false,
        { { 1001, "А", "Б", "В", "19500115", "", "М" }, { 1002, "Г", "Д", "Е", "19500115", "", "М" } });
    const std::string bytes = test::readFile(path);
    return bytes.substr(0, bytes.size() - 60);
}

std::string dbfWithRecord(const DbfRecord& record)
{
    TempDir scratch;
    const std::string path = scratch.file("t.dbf");
    WriteDbf(path, "LDID/201", false, { { 1001, "А", "Б", "В", "19500115", "", "М" }, record });
    return test::readFile(path);
}

std::string dbfWithoutRecords()
{
    TempDir scratch;
    const std::string path = scratch.file("t.dbf");
    WriteDbf(path, "LDID/201", false, {});
    return test::readFile(path);
}

std::string dbfWithLogicalNum()
{
    TempDir scratch;
    const std::string path = scratch.file("t.dbf");
    DBFHandle h = DBFCreateEx(path.c_str(), "LDID/201");
    for (const char* name : { "FAM", "NAM", "OTCH", "BIRTH" })
        DBFAddField(h, name, FTString, 10, 0);
    DBFAddField(h, "NUM", FTLogical, 1, 0);
    DBFClose(h);
    return test::readFile(path);
}

TEST(RegisterImport, RefusesWhatItCannotTakeWholly)
{
    struct Case {
        const char* edge;
        const char* fileName;
        std::string bytes;  // nothing written when empty: the source is missing
        std::string where;  // what follows the file name in the message: the place,
        std::string reason; // then the reason
    };
    const std::string header = "NUM,FAM,NAM,OTCH,BIRTH\n";
    const std::string good = "123456789,ИВАНОВ,ИВАН,ИВАНОВИЧ,19500115\n";
    const Case cases[] = {
        { "missing column", "r.csv", "NUM,FAM,OTCH,BIRTH\n1,А,В,\n", ", line 1", ": no column NAM" },
        { "no birth date column", "r.csv", "NUM,FAM,NAM,OTCH\n1001,А,Б,В\n", ", line 1",
            ": no column BIRTH" },
        { "header without rows", "r.csv", header, ", line 1", ": no rows to import" },
        { "dBASE file without records", "r.dbf", dbfWithoutRecords(), ", header", ": no rows to import" },
        { "column named twice", "r.csv", "NUM,FAM,NAM,OTCH,BIRTH,fam\n", ", line 1",
            ": column FAM is named twice" },
        { "empty file", "r.csv", "\n", ", line 1", ": the file is empty" },
        { "impossible date", "r.csv", header + good + "112233445,А,Б,В,31.02.1950\n", ", line 3",
            ": bad date \"31.02.1950\" in BIRTH" },
        { "two-digit year", "r.csv", header + "112233445,А,Б,В,01.02.50\n", ", line 2",
            ": bad date \"01.02.50\" in BIRTH" },
        { "date in no known form", "r.csv", "NUM,FAM,NAM,OTCH,BIRTH,DATMOD\n112233445,А,Б,В,,2020/01/02\n",
            ", line 2", ": bad date \"2020/01/02\" in DATMOD" },
        { "letter in the number", "r.csv", header + "12345X789,А,Б,В,\n", ", line 2",
            ": bad number \"12345X789\" in NUM" },
        { "ten digits", "r.csv", header + "1234567890,А,Б,В,\n", ", line 2", ": bad number \"1234567890\"" },
        { "empty number", "r.csv", header + good + ",А,Б,В,\n", ", line 3", ": bad number \"\"" },
        { "body of zeros", "r.csv", header + "000-000-000 00,А,Б,В,\n", ", line 2",
            ": bad number \"000-000-000 00\"" },
        { "wrong check number", "r.csv", header + "123-456-789 65,А,Б,В,\n", ", line 2",
            ": wrong check number in NUM \"123-456-789 65\" (the body 123456789 has 64)" },
        { "duplicate number", "r.csv", header + good + "112233445,А,Б,В,\n123-456-789 64,Г,Д,Е,\n",
            ", line 4", ": NUM \"123-456-789 64\" is already in the register" },
        { "too few fields", "r.csv", header + good + "112233445,А,Б\n", ", line 3",
            ": 3 fields where the header names 5 columns" },
        { "quote never closed", "r.csv", header + good + "112233445,\"А,Б,В,\n\n", ", line 3",
            ": a quoted field is not closed" },
        { "text after a closing quote", "r.csv", header + "112233445,\"А\"x,Б,В,\n", ", line 2",
            ": text after the closing quote of a field" },
        { "line number after a quoted line break", "r.csv",
            header + "112233445,\"А\nА\",Б,В,\n1,А,Б,В,1.1.1\n", ", line 4", ": bad date \"1.1.1\"" },
        { "Windows-1251 bytes in a UTF-8 file", "r.csv", header + "112233445,\xC8\xC2\xC0\xCD,Б,В,\n",
            ", line 2", ": column FAM holds a character that is not UTF-8 or has no place in Windows-1251" },
        { "character outside Windows-1251", "r.csv", header + "112233445,Ĳ,Б,В,\n", ", line 2",
            ": column FAM holds a character" },
        { "missing source", "none.csv", "", "\"", ": No such file or directory" },
        { "dBASE file shorter than a header", "r.dbf", "\x03\x7C\x01\x01", "", ": damaged dBASE header" },
        { "dBASE file with a wrong version byte", "r.dbf", std::string(64, 'x'), "",
            ": damaged dBASE header" },
        { "dBASE file cut short", "r.dbf", truncatedDbf(), "", ": damaged dBASE header" },
        { "dBASE record with a bad date", "r.dbf",
            dbfWithRecord({ 1002, "А", "Б", "В", "19501350", "", "М" }), ", record 2",
            ": bad date \"19501350\" in BIRTH" },
        { "dBASE number field of the wrong type", "r.dbf", dbfWithLogicalNum(), "",
            ": field NUM is of type L; the import takes C, N and D fields" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.edge);
        for (const bool earlier : { false, true }) {
            TempDir dir;
            const std::string source
                = c.bytes.empty() ? dir.file(c.fileName) : dir.write(c.fileName, c.bytes);
            const std::string reg = dir.file("reg");
            std::string before;
            if (earlier) {
                ImportRegister(dir.write("earlier.csv", header + good), reg, {});
                before = test::readFile(reg + "/NUMS.DB");
            }
            try {
                ImportRegister(source, reg, {});
                ADD_FAILURE() << "imported";
            } catch (const Error& e) {
                const std::string message = e.what();
                EXPECT_NE(message.find(source + c.where + c.reason), std::string::npos) << message;
            }
            if (earlier) {
                EXPECT_EQ(test::readFile(reg + "/NUMS.DB"), before);
                EXPECT_EQ(filesIn(reg), std::vector<std::string> { "NUMS.DB" });
            } else {
                EXPECT_TRUE(!fs::exists(reg) || filesIn(reg).empty());
            }
        }
    }
}

TEST(RegisterImport, RefusesWhileAJournalLiesBesideTheRegister)
{
    // SQLite would play a journal left by a crash into the new file, corrupting it.
    TempDir dir;
    const std::string source = dir.write("r.csv", "NUM,FAM,NAM,OTCH,BIRTH\n1001,А,Б,В,\n");
    ImportRegister(source, dir.path().string(), {});
    const std::string before = test::readFile(dir.file("NUMS.DB"));
    dir.write("NUMS.DB-journal", "journal");
    EXPECT_THROW(ImportRegister(source, dir.path().string(), {}), IoError);
    EXPECT_EQ(test::readFile(dir.file("NUMS.DB")), before);
}

} // namespace
} // namespace venqor
