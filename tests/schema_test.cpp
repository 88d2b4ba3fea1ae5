#include "base/Errors.h"
#include "scan/FldLists.h"
#include "scan/ScanCSV.h"
#include "scan/Schema.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <vector>

namespace venqor {
namespace {

using test::TempDir;

struct Field {
    std::string name;
    int kind;
    int start, stop;

    friend bool operator==(const Field&, const Field&) = default;
    friend std::ostream& operator<<(std::ostream& os, const Field& f)
    {
        return os << "{" << f.name << " " << f.kind << " " << f.start << ".." << f.stop << "}";
    }
};
using Fields = std::vector<Field>;

Fields fieldsOf(const TFieldList& list)
{
    Fields fields;
    for (int i = 0; i < list.Count; ++i) {
        const TFieldItem& item = list.Items[i];
        fields.push_back({ std::string(item.name()), item.Kind, item.Start, item.Stop });
    }
    return fields;
}

class SchemaTest : public ::testing::Test {
protected:
    void SetUp() override { Scan.Reset(); }
    void TearDown() override { Scan.Reset(); }

    TFieldList load(std::string_view content)
    {
        TFieldList list;
        LoadSchema(dir.write("TEST.SCH", content), list);
        return list;
    }

    TempDir dir;
};

const char* const SampleSchema = "[SAMPLE]\r\n"
                                 "FILETYPE = FIXED\r\n"
                                 "CHARSET = CYRR\r\n"
                                 "Field1 = STRNUM,CHAR,14,00,00\r\n"
                                 "Field2 = FAM,CHAR,40,00,14\r\n"
                                 "Field3 = BIRTH,DATE,10,00,54\r\n";

TEST_F(SchemaTest, SampleSchema)
{
    const TFieldList list = load(SampleSchema);
    EXPECT_EQ(fieldsOf(list),
        (Fields { { "STRNUM", fkText, 0, 14 }, { "FAM", fkText, 14, 54 }, { "BIRTH", fkDate, 54, 64 } }));
    EXPECT_TRUE(list.Fixed);
    EXPECT_TRUE(list.Cyrillic);
}

TEST_F(SchemaTest, FieldLines)
{
    const struct Case {
        const char* name;
        std::string line;
        Fields fields;
    } cases[] = {
        { "lower case", "field = birth, date, 10, 00, 54", { { "BIRTH", fkDate, 54, 64 } } },
        { "long integer", "Field1 = N,LONG INTEGER,5,0,1", { { "N", fkInteger, 1, 6 } } },
        { "long int", "Field1 = N,long int,5,0,1", { { "N", fkInteger, 1, 6 } } },
        { "number", "Field1 = N,NUMBER,5,0,1", { { "N", fkInteger, 1, 6 } } },
        { "integer", "Field1 = N,Integer,5,0,1", { { "N", fkInteger, 1, 6 } } },
        { "longint", "Field1 = N,LONGINT,5,0,1", { { "N", fkInteger, 1, 6 } } },
        { "int", "Field1 = N,INT,5,0,1", { { "N", fkInteger, 1, 6 } } },
        { "float", "Field1 = S,FLOAT,10,02,214", { { "S", fkFloat, 214, 224 } } },
        { "unlisted type is text", "Field1 = B,BOOLEAN,1,0,3", { { "B", fkText, 3, 4 } } },
        { "no equals sign", "FIELD1 STRNUM,CHAR,14,00,00", {} },
        { "keyword only has to begin the word", "FIELDS = X,CHAR,2,0,7", { { "X", fkText, 7, 9 } } },
        { "keyword must begin the word", "MYFIELD = X,CHAR,2,0,7", {} },
        { "missing offset", "Field1 = X,CHAR,5,0", { { "X", fkText, 0, 5 } } },
        { "offset not an integer", "Field1 = X,CHAR,5,0,1.5", { { "X", fkText, 0, 5 } } },
        { "missing width counts as zero", "Field1 = X,CHAR", { { "X", fkText, 0, 0 } } },
        { "width not an integer counts as zero", "Field1 = X,CHAR,W,0,9", { { "X", fkText, 9, 9 } } },
        { "punctuation before an item is skipped", "Field1 = X;CHAR;5;0;9", { { "X", fkText, 9, 14 } } },
        { "cyrillic name is not upper-cased", "Field1 = \xF4\xe0\xec,CHAR,3,0,0",
            { { "\xF4\xE0\xEC", fkText, 0, 3 } } },
        { "quoted name", "Field1 = \"a b\",CHAR,3,0,0", { { "A B", fkText, 0, 3 } } },
        { "negative width", "Field1 = X,CHAR,-5,0,9", { { "X", fkText, 9, 4 } } },
        { "huge numbers saturate", "Field1 = X,CHAR,99999999999,0,99999999999",
            { { "X", fkText, INT_MAX, INT_MAX } } },
        { "comment", "; Field1 = X,CHAR,5,0,0", {} },
    };
    for (const Case& c : cases)
        EXPECT_EQ(fieldsOf(load(c.line)), c.fields) << c.name;
}

TEST_F(SchemaTest, FileTypeAndCharset)
{
    const struct Case {
        const char* name;
        std::string content;
        bool fixed, cyrillic;
    } cases[] = {
        { "lower case values", "filetype = fixed\ncharset = cyrr\n", true, true },
        { "ascii", "CHARSET = ascii\n", true, false },
        { "no lines", "Field1 = X,CHAR,1,0,0\n", true, false },
        { "delimited", "FILETYPE = DELIMITED\n", false, false },
        { "value is the second token whatever the first", "CHARSET : CYRR\n", true, true },
        { "keyword must be the whole word", "CHARSETS = CYRR\n", true, false },
        { "last line wins", "CHARSET = CYRR\nCHARSET = ASCII\n", true, false },
    };
    for (const Case& c : cases) {
        const TFieldList list = load(c.content);
        EXPECT_EQ(list.Fixed, c.fixed) << c.name;
        EXPECT_EQ(list.Cyrillic, c.cyrillic) << c.name;
    }
}

TEST_F(SchemaTest, LineEnds)
{
    const Fields two { { "A", fkText, 0, 1 }, { "B", fkText, 1, 2 } };
    const struct Case {
        const char* name;
        std::string content;
    } cases[] = {
        { "crlf", "Field1 = A,CHAR,1,0,0\r\nField2 = B,CHAR,1,0,1\r\n" },
        { "lf", "Field1 = A,CHAR,1,0,0\nField2 = B,CHAR,1,0,1\n" },
        { "cr", "Field1 = A,CHAR,1,0,0\rField2 = B,CHAR,1,0,1\r" },
        { "mixed, empty lines, no final end", "\r\n\nField1 = A,CHAR,1,0,0\r\r\nField2 = B,CHAR,1,0,1" },
        { "ctrl-z is no end", "Field1 = A,CHAR,1,0,0\n\x1A\nField2 = B,CHAR,1,0,1\n" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(fieldsOf(load(c.content)), two) << c.name;
}

TEST_F(SchemaTest, ReadWithoutRecodingWhateverTheOption)
{
    // A code page 866 byte in a name stays as it is.
    Scan.Options.RecodeOem = true;
    EXPECT_EQ(fieldsOf(load("Field1 = \x82,CHAR,1,0,0\n")), (Fields { { "\x82", fkText, 0, 1 } }));
}

TEST_F(SchemaTest, AtMost126Fields)
{
    std::string content = "[BIG]\n";
    for (int i = 1; i <= 130; ++i)
        content += "Field" + std::to_string(i) + " = F" + std::to_string(i) + ",CHAR,1,0," + std::to_string(i)
            + "\n";
    const TFieldList list = load(content);
    ASSERT_EQ(list.Count, MaxFieldCount);
    EXPECT_EQ(list.Items[0].name(), "F1");
    EXPECT_EQ(list.Items[125].name(), "F126");
    EXPECT_EQ(FindField(list, "F127"), -1);
    EXPECT_EQ(list.Items[126].name(), ""); // the spare items stay cleared
}

TEST_F(SchemaTest, ThousandsOfLines)
{
    std::string content;
    for (int i = 0; i < 5000; ++i)
        content += "; comment line " + std::to_string(i) + " with, commas and \"quotes\r\n";
    content += std::string(5000, 'x') + "\r\n"; // longer than the line buffer
    content += "Field1 = LAST,DATE,10,0,100\r\n";
    EXPECT_EQ(fieldsOf(load(content)), (Fields { { "LAST", fkDate, 100, 110 } }));
}

TEST_F(SchemaTest, LongNamesAreCutTo31)
{
    const std::string name40 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789ABCD";
    const TFieldList list = load("Field1 = " + name40 + ",CHAR,3,0,0\n");
    ASSERT_EQ(list.Count, 1);
    EXPECT_EQ(list.Items[0].name(), name40.substr(0, 31));
    EXPECT_EQ(FindField(list, name40), 0);
    EXPECT_EQ(FindField(list, name40.substr(0, 30)), -1);
}

TEST_F(SchemaTest, MissingFileRaisesIoErrorAndLeavesTheListEmpty)
{
    for (const std::string& path : { dir.file("NONE.SCH"), dir.path().string() }) {
        TFieldList list = load(SampleSchema);
        ASSERT_EQ(list.Count, 3);
        Scan.Options.RecodeOem = false; // as the name check leaves it
        try {
            LoadSchema(path, list);
            ADD_FAILURE() << "no error for " << path;
        } catch (const IoError& e) {
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        }
        EXPECT_EQ(list.Count, 0);
        EXPECT_TRUE(list.Fixed);
        EXPECT_FALSE(list.Cyrillic);
        EXPECT_FALSE(Scan.Options.StrictIdent);
        EXPECT_TRUE(Scan.Options.RecodeOem);
    }
}

TEST_F(SchemaTest, OptionsAfterALoad)
{
    Scan.Options.RecodeOem = false;
    load(SampleSchema);
    EXPECT_FALSE(Scan.Options.StrictIdent);
    EXPECT_TRUE(Scan.Options.RecodeOem);
}

TEST_F(SchemaTest, ShippedSchemasDefineTheNumberField)
{
    const char* source = std::getenv("VENQOR_SOURCE");
    ASSERT_NE(source, nullptr);
    int seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(source) / "samples")) {
        if (entry.path().extension() != ".SCH")
            continue;
        ++seen;
        TFieldList list;
        LoadSchema(entry.path().string(), list);
        EXPECT_GE(FindField(list, "STRNUM"), 0) << entry.path();
    }
    EXPECT_GT(seen, 0);
}

TEST(FieldList, InsertAndFind)
{
    TFieldList list;
    ClearFields(list);
    AddField(list, "B", fkText, 0, 1);
    TFieldItem item {};
    item.setName("A");
    InsertField(list, item, -5); // before the start counts as 0
    item.setName("D");
    InsertField(list, item, 99); // past the end counts as Count
    item.setName("C");
    InsertField(list, item, 2);
    AppendField(list, item); // names need not be unique
    EXPECT_EQ(fieldsOf(list),
        (Fields {
            { "A", 0, 0, 0 }, { "B", fkText, 0, 1 }, { "C", 0, 0, 0 }, { "D", 0, 0, 0 }, { "C", 0, 0, 0 } }));
    EXPECT_EQ(FindField(list, "C"), 2);
    EXPECT_EQ(FindField(list, "c"), -1);
    EXPECT_EQ(FindField(list, "C "), -1);
    EXPECT_EQ(FindField(list, ""), -1);

    while (list.Count < MaxFieldCount)
        AppendField(list, item);
    item.setName("FULL");
    InsertField(list, item, 0);
    EXPECT_EQ(list.Count, MaxFieldCount);
    EXPECT_EQ(list.Items[0].name(), "A");
    EXPECT_EQ(FindField(list, "FULL"), -1);

    ClearFields(list);
    EXPECT_EQ(list.Count, 0);
    EXPECT_TRUE(list.Fixed);
    EXPECT_EQ(list.Items[0].name(), "");
}

TEST(FieldList, FindDoesNotMatchLowerCase)
{
    TFieldList list;
    AddField(list, "STRNUM", fkText, 0, 14);
    EXPECT_EQ(FindField(list, "strnum"), -1);
    EXPECT_EQ(FindField(list, "STRNUM"), 0);
}

class FieldValueTest : public ::testing::Test {
protected:
    void SetUp() override { Scan.Reset(); }
    void TearDown() override { Scan.Reset(); }
};

TEST_F(FieldValueTest, CutsByPosition)
{
    const struct Case {
        const char* name;
        std::string line;
        int start, stop;
        std::string result;
    } cases[] = {
        { "line shorter than the field", "ABCDEFGHIJKLMNOPQ   ", 14, 54, "OPQ" },
        { "leading blanks stay", "abc  de  x", 3, 9, "  de" },
        { "control bytes trimmed", std::string("ab \t\x01\0", 6), 0, 6, "ab" },
        { "wholly past the line", "abc", 5, 10, "" },
        { "empty field", "abc", 1, 1, "" },
        { "reversed field", "abcdef", 5, 2, "" },
        { "starts before the line", "ABCDEF", -3, 2, "AB" },
        { "at the 32-bit limits", "abc", INT_MAX, INT_MAX, "" },
        { "widest", "abc", INT_MIN, INT_MAX, "" },
    };
    for (const Case& c : cases) {
        SetLineBuf(c.line);
        TFieldList list;
        AddField(list, "F", fkText, c.start, 0);
        list.Items[0].Stop = c.stop;
        EXPECT_EQ(FieldValue(list, 0), c.result) << c.name;
    }
}

TEST_F(FieldValueTest, HighBytesAreNotTrimmed)
{
    SetLineBuf("ab\xA0\xFF ");
    TFieldList list;
    AddField(list, "F", fkText, 0, 10);
    EXPECT_EQ(FieldValue(list, 0), "ab\xA0\xFF");
}

TEST(YmdToDmy, Texts)
{
    const struct Case {
        const char* name;
        std::string src, dst;
    } cases[] = {
        { "iso", "1985-03-07", "07.03.1985" },
        { "points", "1985.03.07", "07.03.1985" },
        { "slashes", "1985/03/07", "07.03.1985" },
        { "more than ten characters", "1985-03-07T10:00", "07.03.1985" },
        { "empty", "", "" },
        { "single blank", " ", "" },
        { "ten blanks", "          ", "" },
        { "control character first",
            "\x01"
            "985-03-07",
            "" },
        { "no separators", "19850307", ".30.1985" },
        { "year and month only", "1985-03", ".03.1985" },
        { "blank day", "1985-03-  ", "" },
        { "one character", "1", "..1" },
        { "shifted right by a leading blank", " 1950-03-15", "-1.-0. 195" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(YmdToDmy(c.src), c.dst) << c.name;
}

} // namespace
} // namespace venqor
