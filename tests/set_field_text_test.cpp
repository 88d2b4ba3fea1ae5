#include "commands/SetFieldText.h"

#include "scan/ScanCSV.h"

#include <gtest/gtest.h>

#include <string>

namespace venqor {
namespace {

TEST(SetFieldText, WritesLeftAlignedBlankPaddedAndCutToTheField)
{
    TFieldList fields;
    AddField(fields, "A", fkText, 2, 4);
    AddField(fields, "EDGE", fkText, MaxLineLen - 2, 10); // reaches beyond the line buffer
    struct Case {
        const char* name;
        int field;
        std::string text;
        std::string line; // LineBuf up to LineLen afterwards
    } cases[] = {
        { "shorter text is padded", 0, "xy", "01xy  6789" },
        { "longer text is cut", 0, "abcdefg", "01abcd6789" },
        { "empty text blanks the field", 0, "", "01    6789" },
        { "exact width", 0, "wxyz", "01wxyz6789" },
    };
    for (const Case& c : cases) {
        SetLineBuf("0123456789");
        SetFieldText(fields, c.field, c.text);
        EXPECT_EQ(std::string(Scan.LineBuf, Scan.LineLen), c.line) << c.name;
        EXPECT_EQ(Scan.LineBuf[Scan.LineLen], 0) << c.name;
    }

    SetLineBuf("0123456789");
    PadLineBuf(MaxLineLen + 100);
    EXPECT_EQ(Scan.LineLen, MaxLineLen);
    SetFieldText(fields, 1, "abcdefghij");
    EXPECT_EQ(std::string(Scan.LineBuf + MaxLineLen - 2, 2), "ab");
    EXPECT_EQ(Scan.LineBuf[MaxLineLen], 0); // the terminating byte stays
}

TEST(SetFieldText, PadLineBufFillsWithBlanksOnlyWhenShorter)
{
    SetLineBuf("abc");
    PadLineBuf(6);
    EXPECT_EQ(std::string(Scan.LineBuf, Scan.LineLen), "abc   ");
    EXPECT_EQ(Scan.LineBuf[6], 0);
    PadLineBuf(4);
    EXPECT_EQ(Scan.LineLen, 6);

    TFieldList fields;
    EXPECT_EQ(RecordLength(fields), 0);
    AddField(fields, "A", fkText, 0, 5);
    AddField(fields, "B", fkText, 10, 3);
    EXPECT_EQ(RecordLength(fields), 13);
}

} // namespace
} // namespace venqor
