#include "base/CodePage.h"
#include "scan/RecodeTables.h"
#include "scan/ScanCSV.h"
#include "support/ScanFixtures.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace venqor {
namespace {

using test::ChunkedSource;
using test::StringSink;

class LineBufTest : public ::testing::Test {
protected:
    void SetUp() override { Scan.Reset(); }
    void TearDown() override { Scan.Reset(); }
};

std::string lineBuf()
{
    return std::string(Scan.LineBuf, Scan.LineLen);
}

// Every line of `bytes` as the reader gives it, checking the buffer's shape on the way.
std::vector<std::string> readLines(const std::string& bytes, std::size_t chunk)
{
    InTextFile file(std::make_unique<ChunkedSource>(bytes, chunk), "data.txt");
    std::vector<std::string> lines;
    while (!file.Eof()) {
        ReadLineBuf(file);
        EXPECT_GE(Scan.LineLen, 0);
        EXPECT_LE(Scan.LineLen, MaxLineLen);
        EXPECT_EQ(Scan.LineBuf[Scan.LineLen], 0);
        lines.push_back(lineBuf());
    }
    return lines;
}

using Lines = std::vector<std::string>;

TEST_F(LineBufTest, LineEndAndFileEndRules)
{
    struct Case {
        const char* name;
        std::string bytes;
        bool lfEndsLine;
        Lines lines;
    } cases[] = {
        { "crlf lines", "ab\r\ncd\r\n", false, { "ab", "cd" } },
        { "last line without its end", "ab\r\ncd", false, { "ab", "cd" } },
        { "empty file", "", false, {} },
        { "empty lines", "\r\n\r\n", false, { "", "" } },
        { "lone cr ends a line", "ab\rcd", false, { "ab", "cd" } },
        { "cr cr lf is an empty line between", "ab\r\r\ncd", false, { "ab", "", "cd" } },
        { "only one lf after cr is skipped", "ab\r\n\ncd", false, { "ab", "\ncd" } },
        { "lone lf is stored", "ab\ncd\n", false, { "ab\ncd\n" } },
        { "lf ends the line when asked", "ab\ncd\n", true, { "ab", "cd" } },
        { "crlf still ends the line with lf on", "ab\r\ncd", true, { "ab", "cd" } },
        { "lf then crlf is one line end", "ab\n\r\ncd", true, { "ab", "cd" } },
        { "lf lf is an empty line with lf on", "ab\n\ncd", true, { "ab", "", "cd" } },
        { "ctrl-z after the third character",
            "abc\x1A"
            "def\r\nghi\r\n",
            false, { "abc" } },
        { "ctrl-z at a line start",
            "ab\r\n\x1A"
            "cd\r\n",
            false, { "ab" } },
        { "ctrl-z right after cr", "ab\r\x1A\ncd", false, { "ab" } },
        { "nul bytes are characters", std::string("a\0b\r\n\0\r\n", 8), false,
            { std::string("a\0b", 3), std::string(1, '\0') } },
        { "control characters are stored", "\t\x01\x1F\r\n", false, { "\t\x01\x1F" } },
    };
    for (const Case& c : cases) {
        for (const std::size_t chunk : { std::size_t { 1 }, std::size_t { 2 }, std::size_t { 1 } << 20 }) {
            Scan.Options.LfEndsLine = c.lfEndsLine;
            EXPECT_EQ(readLines(c.bytes, chunk), c.lines) << c.name << ", chunks of " << chunk;
        }
    }
}

TEST_F(LineBufTest, OverlongLinesKeepTheirFirst2047Characters)
{
    std::string pattern;
    for (int i = 0; i < 100000; ++i)
        pattern += static_cast<char>('a' + i % 26);
    for (const int length : { 2046, 2047, 2048, 3000, 100000 }) {
        const std::string line = pattern.substr(0, length);
        for (const std::size_t chunk : { std::size_t { 7 }, std::size_t { 1 } << 20 }) {
            const Lines lines = readLines(line + "\r\nnext\r\n", chunk);
            ASSERT_EQ(lines.size(), 2u) << length;
            EXPECT_EQ(lines[0], line.substr(0, MaxLineLen)) << length;
            EXPECT_EQ(lines[1], "next") << length;
        }
    }
}

TEST_F(LineBufTest, ReadingAtTheEndGivesAnEmptyLine)
{
    InTextFile file(MemorySource("ab\x1A"), "data.txt");
    ReadLineBuf(file);
    ASSERT_TRUE(file.Eof());
    ReadLineBuf(file);
    EXPECT_EQ(Scan.LineLen, 0);
    EXPECT_EQ(Scan.LineBuf[0], 0);
}

TEST_F(LineBufTest, RecodingFromCodePage866)
{
    struct Case {
        const char* name;
        std::string oem;
        bool recode;
        std::string line;
    } cases[] = {
        { "header marker",
            "\x82"
            "3.0",
            true,
            "\xC2"
            "3.0" },
        { "not recoded when off",
            "\x82"
            "3.0",
            false,
            "\x82"
            "3.0" },
        { "box drawing becomes a minus", "\xC4", true, "-" },
        { "numero sign", "\xFC", true, "\xB9" },
        { "yo", "\xF0\xF1", true, "\xA8\xB8" },
        { "ascii unchanged", "Abc 123", true, "Abc 123" },
    };
    for (const Case& c : cases) {
        Scan.Options.RecodeOem = c.recode;
        EXPECT_EQ(readLines(c.oem + "\r\n", 1 << 20), Lines { c.line }) << c.name;
    }

    // Every high byte goes through the table.
    std::string all;
    for (int b = 0x80; b < 0x100; ++b)
        all += static_cast<char>(b);
    Scan.Options.RecodeOem = true;
    const Lines lines = readLines(all, 1 << 20);
    ASSERT_EQ(lines.size(), 1u);
    for (int b = 0x80; b < 0x100; ++b)
        EXPECT_EQ(static_cast<unsigned char>(lines[0][b - 0x80]), OemToAnsiTable[b - 0x80]) << b;
}

// The two tables, row by row as the line layer defines them.
TEST(RecodeTables, EveryRow)
{
    struct Range {
        int first, last, offset;
    };
    const Range oemRanges[] = { { 0x80, 0xAF, 0x40 }, { 0xB0, 0xBF, 0 }, { 0xE0, 0xEF, 0x10 } };
    for (const Range& r : oemRanges)
        for (int b = r.first; b <= r.last; ++b)
            EXPECT_EQ(OemToAnsiTable[b - 0x80], b + r.offset) << std::hex << b;
    const std::uint8_t boxes[32] = { 0x2D, 0x2D, 0x2D, 0x7C, 0x2D, 0x7C, 0x7C, 0x7C, 0x3D, 0x3D, 0x3D, 0x3D,
        0x7C, 0x3D, 0x7C, 0x3D, 0x2D, 0x3D, 0x2D, 0x2D, 0x3D, 0x3D, 0x2D, 0x7C, 0x7C, 0x2D, 0x2D, 0x58, 0x78,
        0x7C, 0x7C, 0x5E };
    for (int b = 0xC0; b <= 0xDF; ++b)
        EXPECT_EQ(OemToAnsiTable[b - 0x80], boxes[b - 0xC0]) << std::hex << b;
    const std::uint8_t tail[16]
        = { 0xA8, 0xB8, 0x2F, 0x5C, 0x2F, 0x5C, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA, 0xBB, 0xB9, 0x24, 0xBE, 0xFF };
    for (int b = 0xF0; b <= 0xFF; ++b)
        EXPECT_EQ(OemToAnsiTable[b - 0x80], tail[b - 0xF0]) << std::hex << b;

    const Range ansiRanges[] = { { 0x80, 0x9F, 0x40 }, { 0xA0, 0xA7, 0x10 }, { 0xA9, 0xAF, 0x10 },
        { 0xB0, 0xB7, 0x40 }, { 0xBA, 0xBF, 0x40 }, { 0xC0, 0xEF, -0x40 }, { 0xF0, 0xFF, -0x10 } };
    for (const Range& r : ansiRanges)
        for (int b = r.first; b <= r.last; ++b)
            EXPECT_EQ(AnsiToOemTable[b - 0x80], b + r.offset) << std::hex << b;
    EXPECT_EQ(AnsiToOemTable[0xA8 - 0x80], 0xF0);
    EXPECT_EQ(AnsiToOemTable[0xB8 - 0x80], 0xF1);
    EXPECT_EQ(AnsiToOemTable[0xB9 - 0x80], 0xFC);
}

TEST(RecodeTables, LettersMatchTheSystemMapping)
{
    // А..я, Ё, ё and № in Windows-1251 go to code page 866 and back as the system maps them.
    std::string ansi;
    for (int b = 0xC0; b < 0x100; ++b)
        ansi += static_cast<char>(b);
    ansi += "\xA8\xB8\xB9";
    std::string oem;
    for (const char c : ansi)
        oem += AnsiToOem(c);
    EXPECT_EQ(Cp866ToUtf8(oem), Cp1251ToUtf8(ansi));
    std::string back;
    for (const char c : oem)
        back += OemToAnsi(c);
    EXPECT_EQ(back, ansi);
}

TEST_F(LineBufTest, SetLineBufCutsAt2046AndRewinds)
{
    Scan.ScanPos = 5;
    Scan.AtLineEnd = true;
    SetLineBuf(std::string(3000, 'x'));
    EXPECT_EQ(Scan.LineLen, MaxLineLen - 1);
    EXPECT_EQ(Scan.LineBuf[MaxLineLen - 1], 0);
    EXPECT_EQ(Scan.ScanPos, -1);
    EXPECT_EQ(Scan.ScanChar, ' ');
    EXPECT_FALSE(Scan.AtLineEnd);

    SetLineBuf("abc");
    EXPECT_EQ(lineBuf(), "abc");
    EXPECT_EQ(Scan.LineBuf[3], 0);
}

TEST_F(LineBufTest, CopyLineBuf)
{
    struct Case {
        const char* name;
        int start, count;
        std::string result;
    } cases[] = {
        { "from the start", 1, 3, "abc" },
        { "to the end of the line", 4, 10, "def" },
        { "just past the end", 7, 1, "" },
        { "far past the end", INT_MAX, INT_MAX, "" },
        { "count zero", 2, 0, "" },
        { "negative count", 2, -5, "" },
        { "start before the line takes what lies inside", -1, 4, "ab" },
        { "wholly before the line", INT_MIN, 5, "" },
    };
    SetLineBuf("abcdef");
    for (const Case& c : cases)
        EXPECT_EQ(CopyLineBuf(c.start, c.count), c.result) << c.name;

    // A count above 2047 counts as 2047.
    InTextFile file(MemorySource(std::string(3000, 'y')), "data.txt");
    ReadLineBuf(file);
    EXPECT_EQ(CopyLineBuf(1, INT_MAX).size(), static_cast<std::size_t>(MaxLineLen));
    EXPECT_EQ(CopyLineBuf(2, 3000).size(), static_cast<std::size_t>(MaxLineLen - 1));
    EXPECT_EQ(CopyLineBuf(MaxLineLen, 1), "y");
}

TEST(UpperCyr, Bytes)
{
    struct Case {
        const char* name;
        unsigned char in, out;
    } cases[] = {
        { "a", 'a', 'A' },
        { "z", 'z', 'Z' },
        { "capital stays", 'Q', 'Q' },
        { "backquote", '`', '`' },
        { "brace", '{', '{' },
        { "digit", '5', '5' },
        { "a cyrillic", 0xE0, 0xC0 },
        { "ya", 0xFF, 0xDF },
        { "capital ya stays", 0xDF, 0xDF },
        { "yo", 0xB8, 0xA8 },
        { "capital yo stays", 0xA8, 0xA8 },
        { "numero", 0xB9, 0xB9 },
        { "nul", 0, 0 },
    };
    for (const Case& c : cases)
        EXPECT_EQ(static_cast<unsigned char>(UpperCyr(static_cast<char>(c.in))), c.out) << c.name;
}

TEST_F(LineBufTest, UpperLineBufKeepsTheTerminator)
{
    SetLineBuf(Utf8ToCp1251("ёлка abc №5"));
    UpperLineBuf();
    EXPECT_EQ(Cp1251ToUtf8(lineBuf()), "ЁЛКА ABC №5");
    EXPECT_EQ(Scan.LineBuf[Scan.LineLen], 0);
}

TEST_F(LineBufTest, WriteLineBufOem)
{
    struct Case {
        const char* name;
        std::string line;
        std::string written;
    } cases[] = {
        { "recoded, tab as blank", "\xA8\xE6\x09\x31", "\xF0\xA6\x20\x31\r\n" },
        { "empty line", "", "\r\n" },
        { "stops at an inner nul", std::string("ab\0cd", 5), "ab\r\n" },
        { "control characters as blanks", "\x01\x1F\x7F", "  \x7F\r\n" },
    };
    for (const Case& c : cases) {
        // Written in code page 866 whatever RecodeOem says.
        for (const bool recode : { true, false }) {
            Scan.Options.RecodeOem = recode;
            std::string out;
            {
                OutTextFile file(std::make_unique<StringSink>(out), "out.txt");
                SetLineBuf(c.line);
                WriteLineBufOem(file);
                file.Commit();
            }
            EXPECT_EQ(out, c.written) << c.name;
        }
    }
}

TEST_F(LineBufTest, ReadAndWriteRoundTripLetters)
{
    // A record line in code page 866 comes back byte for byte.
    const std::string oem = "\x8E\x88\xA2\xA0\xAD\xAE\xA2 \x88\xA2\xA0\xAD \xF0\xF1 123-456-789 64";
    InTextFile in(MemorySource(oem + "\r\n"), "in.txt");
    ReadLineBuf(in);
    EXPECT_EQ(Cp1251ToUtf8(lineBuf()), "ОИванов Иван Ёё 123-456-789 64");
    std::string out;
    OutTextFile file(std::make_unique<StringSink>(out), "out.txt");
    WriteLineBufOem(file);
    file.Commit();
    EXPECT_EQ(out, oem + "\r\n");
}

} // namespace
} // namespace venqor
