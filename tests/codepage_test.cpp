#include "base/CodePage.h"

#include <gtest/gtest.h>
#include <iconv.h>

namespace venqor {
namespace {

// glibc's conversion of one byte to UTF-8, or nothing when the page leaves it undefined.
std::optional<std::string> iconvByte(const char* page, unsigned char byte)
{
    iconv_t cd = iconv_open("UTF-8", page);
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) << page;
    char in[1] = { static_cast<char>(byte) };
    char out[8];
    char* inp = in;
    char* outp = out;
    size_t inLeft = 1, outLeft = sizeof out;
    const size_t rc = iconv(cd, &inp, &inLeft, &outp, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1))
        return std::nullopt;
    return std::string(out, outp);
}

TEST(CodePage, TablesAgreeWithIconvForEveryByte)
{
    struct Page {
        const char* iconvName;
        std::string (*toUtf8)(std::string_view);
    };
    for (const Page page : { Page { "CP1251", Cp1251ToUtf8 }, Page { "CP866", Cp866ToUtf8 } }) {
        for (int b = 0; b < 256; ++b) {
            const std::string byte(1, static_cast<char>(b));
            const auto expected = iconvByte(page.iconvName, static_cast<unsigned char>(b));
            if (!expected) {
                // Windows-1251 0x98 is undefined: carried as U+0098.
                EXPECT_EQ(std::string(page.iconvName), "CP1251");
                EXPECT_EQ(b, 0x98);
                EXPECT_EQ(page.toUtf8(byte), "\xC2\x98");
                continue;
            }
            EXPECT_EQ(page.toUtf8(byte), *expected) << page.iconvName << " byte " << b;
        }
    }
}

TEST(CodePage, Cp1251RoundTripsThroughUtf8ForEveryByte)
{
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(all)), all);
}

TEST(CodePage, Utf8OutsideTheWindowsPageBecomesQuestionMark)
{
    struct Case {
        const char* name;
        std::string utf8;
        std::string cp1251;
    } cases[] = {
        { "cyrillic", "Ёжик №5",
            "\xA8\xE6\xE8\xEA \xB9"
            "5" },
        { "cjk", "\xE4\xB8\xAD", "?" },
        { "emoji", "\xF0\x9F\x98\x80", "?" },
        { "truncated sequence", "\xD0", "?" },
        { "stray continuation",
            "\x80"
            "a",
            "?a" },
        { "overlong", "\xC0\xAF", "?" },
        { "surrogate", "\xED\xA0\x80", "?" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(Utf8ToCp1251(c.utf8), c.cp1251) << c.name;
}

TEST(CodePage, Cp866ToCp1251KeepsLettersAndMarksWhatTheWindowsPageLacks)
{
    // В3.0, ё, №, then a box-drawing corner that Windows-1251 does not have.
    EXPECT_EQ(Cp866ToCp1251("\x82"
                            "3.0\xF1\xFC\xC9"),
        "\xC2"
        "3.0\xB8\xB9?");
}

} // namespace
} // namespace venqor
