#include "base/CodePage.h"
#include "scan/ScanCSV.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <ostream>
#include <vector>

namespace venqor {
namespace {

struct Token {
    TTokenKind kind;
    std::string text;
    int value = 0;
    bool error = false;

    friend bool operator==(const Token&, const Token&) = default;
    friend std::ostream& operator<<(std::ostream& os, const Token& t)
    {
        return os << "{" << int(t.kind) << " \"" << t.text << "\" " << t.value << (t.error ? " error" : "")
                  << "}";
    }
};

using Tokens = std::vector<Token>;

// The tokens of a line up to its end; the final tkEnd is not listed. Stops after 20
// tokens, so that a tokenizer that makes no progress shows up as a long list.
Tokens tokenize(std::string_view line)
{
    SetLineBuf(line);
    RewindLine();
    Tokens tokens;
    for (int i = 0; i < 20; ++i) {
        NextToken();
        if (Scan.TokenKind == tkEnd && Scan.AtLineEnd)
            break;
        tokens.push_back({ Scan.TokenKind, Scan.TokenText, Scan.TokenInt, Scan.ScanErrorFlag });
    }
    return tokens;
}

struct Case {
    const char* name;
    std::string line;
    Tokens tokens;
};

void expectTokens(const Case& c, const ScanOptions& options)
{
    Scan.Reset();
    Scan.Options = options;
    EXPECT_EQ(tokenize(c.line), c.tokens) << c.name;
}

class TokenizerTest : public ::testing::Test {
protected:
    void SetUp() override { Scan.Reset(); }
    void TearDown() override { Scan.Reset(); }
};

TEST_F(TokenizerTest, InitialOptions)
{
    const Case cases[] = {
        { "empty value between commas", "A,,B", { { tkIdent, "A" }, { tkEnd, "" }, { tkIdent, "B" } } },
        { "mixed line", " abc  , 12 , -3.5,\"x,y\",1.2.3",
            { { tkIdent, "abc  " }, { tkInteger, "12", 12 }, { tkReal, "-3.5" }, { tkString, "x,y" },
                { tkString, "1.2.3" } } },
        { "value keeps inner blanks", "a b c,d", { { tkIdent, "a b c" }, { tkIdent, "d" } } },
        { "value keeps a trailing tab", "\tabc\t", { { tkIdent, "abc\t" } } },
        { "minus blank digit", "- 5", { { tkInteger, "-5", -5 } } },
        { "lone minus", "-", { { tkInteger, "-", 0 } } },
        { "minus then value", "-,x", { { tkInteger, "-", 0 }, { tkIdent, "x" } } },
        { "leading zeros", "007", { { tkInteger, "007", 7 } } },
        { "trailing point is real", "1.", { { tkReal, "1." } } },
        { "leading point is a value", ".5", { { tkIdent, ".5" } } },
        { "empty quoted string", "\"\",x", { { tkString, "" }, { tkIdent, "x" } } },
        { "apostrophe holds a double quote", "'a\"b'", { { tkString, "a\"b" } } },
        { "no escape for the quote", "'it''s'", { { tkString, "it", 0, true }, { tkString, "s" } } },
        { "digits run into letters", "12abc", { { tkInteger, "12", 12, true }, { tkIdent, "abc" } } },
        { "number after a value without comma", "x 12", { { tkIdent, "x 12" } } },
        { "only blanks", "   ", {} },
        { "nul ends the line", std::string("ab\0cd", 5), { { tkIdent, "ab" } } },
        { "high bytes are value characters", "\xD4\xC8\xCE", { { tkIdent, "\xD4\xC8\xCE" } } },
    };
    for (const Case& c : cases)
        expectTokens(c, ScanOptions {});
}

TEST_F(TokenizerTest, IntegerValuesSaturateBeyond32Bits)
{
    const Case cases[] = {
        { "largest", "2147483647", { { tkInteger, "2147483647", INT_MAX } } },
        { "smallest", "-2147483648", { { tkInteger, "-2147483648", INT_MIN } } },
        { "one above", "2147483648", { { tkInteger, "2147483648", INT_MAX } } },
        { "one below", "-2147483649", { { tkInteger, "-2147483649", INT_MIN } } },
        { "far above", std::string(2000, '9'), { { tkInteger, std::string(2000, '9'), INT_MAX } } },
        { "leading zeros do not overflow", std::string(30, '0') + "42",
            { { tkInteger, std::string(30, '0') + "42", 42 } } },
    };
    for (const Case& c : cases)
        expectTokens(c, ScanOptions {});
}

TEST_F(TokenizerTest, StrictIdent)
{
    ScanOptions strict;
    strict.StrictIdent = true;
    const Case cases[] = {
        { "schema field line", "Field1 = NAME,CHAR,20,00,00",
            { { tkIdent, "Field1", 0, true }, { tkChar, "=", 0, true }, { tkIdent, "NAME" },
                { tkIdent, "CHAR" }, { tkInteger, "20", 20 }, { tkInteger, "00", 0 },
                { tkInteger, "00", 0 } } },
        { "identifier characters", "a_1\xC0\xFF;", { { tkIdent, "a_1\xC0\xFF", 0, true }, { tkChar, ";" } } },
        { "comma is a character of its own", ",", { { tkChar, "," } } },
        { "yo is no letter", "\xB8x", { { tkChar, "\xB8", 0, true }, { tkIdent, "x" } } },
        { "section line", "[EDV4]",
            { { tkChar, "[", 0, true }, { tkIdent, "EDV4", 0, true }, { tkChar, "]" } } },
        { "quoted name", "\"My Name\",x", { { tkString, "My Name" }, { tkIdent, "x" } } },
    };
    for (const Case& c : cases)
        expectTokens(c, strict);
}

TEST_F(TokenizerTest, EachOption)
{
    struct OptionCase {
        const char* name;
        void (*set)(ScanOptions&);
        std::string line;
        Tokens tokens;
    } cases[] = {
        { "identifiers not allowed", [](ScanOptions& o) { o.AllowIdent = false; }, "abc,12,\"s\"",
            { { tkIdent, "abc", 0, true }, { tkInteger, "12", 12 }, { tkString, "s" } } },
        { "blank ends a value without spaces", [](ScanOptions& o) { o.AllowSpaces = false; }, "ab cd",
            { { tkIdent, "ab", 0, true }, { tkIdent, "cd" } } },
        { "blank after minus kept without spaces", [](ScanOptions& o) { o.AllowSpaces = false; }, "- 5",
            { { tkInteger, "-", 0, true }, { tkInteger, "5", 5 } } },
        { "digits are a value without numbers", [](ScanOptions& o) { o.AllowNumbers = false; }, "12,3.5",
            { { tkIdent, "12" }, { tkIdent, "3.5" } } },
        { "minus is a number without numbers", [](ScanOptions& o) { o.AllowNumbers = false; }, "-12",
            { { tkInteger, "-12", -12 } } },
        { "digits are characters without numbers in strict mode",
            [](ScanOptions& o) {
                o.AllowNumbers = false;
                o.StrictIdent = true;
            },
            "12", { { tkChar, "1", 0, true }, { tkChar, "2" } } },
        { "loose number runs over letters", [](ScanOptions& o) { o.LooseNumbers = true; }, "12ab,3,1.5x,-7",
            { { tkString, "12ab" }, { tkInteger, "3", 3 }, { tkString, "1.5x" }, { tkInteger, "-7", -7 } } },
        { "loose number stops at a blank", [](ScanOptions& o) { o.LooseNumbers = true; }, "12 ab",
            { { tkInteger, "12", 12, true }, { tkIdent, "ab" } } },
        { "loose number takes high bytes", [](ScanOptions& o) { o.LooseNumbers = true; }, "1\xC0",
            { { tkString, "1\xC0" } } },
        { "no comma separator in strict mode",
            [](ScanOptions& o) {
                o.CommaSeparated = false;
                o.StrictIdent = true;
            },
            "1,2", { { tkInteger, "1", 1, true }, { tkChar, ",", 0, true }, { tkInteger, "2", 2 } } },
        { "recoding and lf do not touch the tokenizer",
            [](ScanOptions& o) {
                o.RecodeOem = false;
                o.LfEndsLine = true;
            },
            "a\nb", { { tkIdent, "a\nb" } } },
    };
    for (const OptionCase& c : cases) {
        ScanOptions options;
        c.set(options);
        expectTokens({ c.name, c.line, c.tokens }, options);
    }
}

TEST_F(TokenizerTest, WithoutCommaSeparatorAValueStopsAtTheComma)
{
    // Without StrictIdent a comma that is not consumed starts an empty value: the token is
    // tkEnd with the line not ended, and the tokenizer stays where it is.
    Scan.Options.CommaSeparated = false;
    SetLineBuf("a,b");
    NextToken();
    EXPECT_EQ(Scan.TokenText, "a");
    EXPECT_TRUE(Scan.ScanErrorFlag);
    NextToken();
    EXPECT_EQ(Scan.TokenKind, tkEnd);
    EXPECT_FALSE(Scan.AtLineEnd);
    EXPECT_EQ(Scan.ScanPos, 1);
}

TEST_F(TokenizerTest, ErrorTexts)
{
    struct ErrorCase {
        const char* name;
        std::string line;
        bool allowIdent;
        int tokenIndex;
        const char* text; // UTF-8
    } cases[] = {
        { "missing quote at the end", "\"abc", true, 0, "Ошибка <Нет кавычки>в символе 4" },
        { "missing quote at index 17", "0123456789,\"abcde", true, 1, "Ошибка <Нет кавычки>в символе 17" },
        { "missing comma", "12 x", true, 0, "Ошибка <Нет запятой>в символе 3" },
        { "identifier not allowed", "abc", false, 0, "Ошибка <Identifires not Allowed!>в символе 0" },
    };
    for (const ErrorCase& c : cases) {
        Scan.Reset();
        Scan.Options.AllowIdent = c.allowIdent;
        SetLineBuf(c.line);
        for (int i = 0; i <= c.tokenIndex; ++i)
            NextToken();
        EXPECT_TRUE(Scan.ScanErrorFlag) << c.name;
        EXPECT_EQ(Scan.ScanErrorText, Utf8ToCp1251(c.text)) << c.name;
    }
}

TEST_F(TokenizerTest, ScanErrorsAreShownOnlyWhenAsked)
{
    std::vector<std::string> shown;
    Scan.ShowScanError = [&shown](const std::string& text) { shown.push_back(text); };
    tokenize("\"abc");
    EXPECT_TRUE(shown.empty());

    Scan.Options.ShowScanErrors = true;
    tokenize("a b,\"c");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], Utf8ToCp1251("Ошибка <Нет кавычки>в символе 6"));

    // The flag is per token; the text stays until the next error.
    NextToken();
    EXPECT_FALSE(Scan.ScanErrorFlag);
    EXPECT_EQ(Scan.ScanErrorText, shown[0]);
}

TEST_F(TokenizerTest, NextCharAndRewind)
{
    SetLineBuf("ab");
    EXPECT_EQ(Scan.ScanPos, -1);
    NextChar();
    EXPECT_EQ(Scan.ScanChar, 'a');
    NextChar();
    NextChar();
    EXPECT_EQ(Scan.ScanPos, 2);
    EXPECT_EQ(Scan.ScanChar, 0);
    EXPECT_TRUE(Scan.AtLineEnd);
    NextChar();
    EXPECT_EQ(Scan.ScanPos, 2);
    EXPECT_TRUE(Scan.AtLineEnd);
    RewindLine();
    NextToken();
    EXPECT_EQ(Scan.TokenText, "ab");
}

TEST_F(TokenizerTest, LongestTokenFillsTheLine)
{
    // A line read from a file may hold 2047 characters; the token keeps them all.
    std::string line(MaxLineLen, 'q');
    std::memcpy(Scan.LineBuf, line.data(), line.size());
    Scan.LineBuf[MaxLineLen] = 0;
    Scan.LineLen = MaxLineLen;
    RewindLine();
    NextToken();
    EXPECT_EQ(Scan.TokenText, line);
    EXPECT_TRUE(Scan.AtLineEnd);
}

} // namespace
} // namespace venqor
