#include "register/StrNum.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>

namespace venqor {
namespace {

// The worked examples of the three operations, each computed and written as text.
TEST(StrNum, WorkedExamples)
{
    const auto check = [](std::int32_t body) { return std::to_string(StrNumCheckSum(body)); };
    const auto read = [](std::string_view text) { return std::to_string(TextToStrNum(text)); };
    const struct Case {
        const char* name;
        std::string actual, expected;
    } cases[] = {
        { "check of 112233445", check(112233445), "95" },
        { "check of 123456789", check(123456789), "64" },
        { "check of 987654321", check(987654321), "83" },
        { "check of a sum of 100", check(100028889), "0" },
        { "check of a sum of 101", check(100028987), "0" },
        { "text of 123456789", StrNumToText(123456789), "123-456-789 64" },
        { "text of 5", StrNumToText(5), "000-000-005 05" },
        { "text of -123456789", StrNumToText(-123456789), "123-456-789   " },
        { "read canonical", read("123-456-789 64"), "123456789" },
        { "read digits only", read("12345678964"), "123456789" },
        { "read wrong check", read("123-456-789 65"), "-123456789" },
        { "read nine digits", read("123-456-789"), "-123456789" },
        { "read empty", read(""), "0" },
        { "read three hyphens", read("---"), "0" },
        { "read after three blanks", read("   123-456-789 64"), "-123456" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.actual, c.expected) << c.name;
}

TEST(StrNum, CheckSumEdges)
{
    const struct Case {
        const char* name;
        std::int32_t body;
        int check;
    } cases[] = {
        { "zero body", 0, 0 },
        { "units digit weighs 1", 1, 1 },
        { "hundred-millions digit weighs 9", 100000000, 9 },
        { "largest body (sum 405)", 999999999, 1 },
    };
    for (const Case& c : cases)
        EXPECT_EQ(StrNumCheckSum(c.body), c.check) << c.name;
}

TEST(StrNum, ToTextEdges)
{
    const struct Case {
        const char* name;
        std::int32_t value;
        std::string text;
    } cases[] = {
        { "zero", 0, "000-000-000 00" },
        { "largest (sum 405)", 999999999, "999-999-999 01" },
        { "beyond nine digits", 1000000000, "***-***-***   " },
        { "negative beyond nine digits", -1000000000, "***-***-***   " },
        { "largest int", INT_MAX, "***-***-***   " },
        { "smallest int", INT_MIN, "***-***-***   " },
    };
    for (const Case& c : cases) {
        const std::string text = StrNumToText(c.value);
        EXPECT_EQ(text, c.text) << c.name;
        EXPECT_EQ(text.size(), 14u) << c.name;
    }
}

TEST(StrNum, FromTextEdges)
{
    const struct Case {
        const char* name;
        std::string text;
        std::int32_t result;
    } cases[] = {
        { "blanks as separators", "123 456 789 64", 123456789 },
        { "separators not examined", "123.456.789-64", 123456789 },
        { "two leading blanks", "  123-456-789 64", -1234567 },
        { "twelve digits", "123456789640", -123456789 },
        { "twelve digits in 14 characters", "123-456-789640", -123456789 },
        { "digit after the 14th character", "123-456-789 640", 123456789 },
        { "after the 14th character ignored", "123-456-789 64xyz99", 123456789 },
        { "zero body", "000-000-000 00", 0 },
        { "zero body with any check", "000-000-000 17", 0 },
        { "one check digit", "123-456-789 6", -123456789 },
        { "letters between digits", "1a2b3c4d5e6f7g8h9", -123456 },
        { "check sum 00", "100-028-889 00", 100028889 },
        { "high bytes skipped", "\xB9 123456789 64", 123456789 },
    };
    for (const Case& c : cases)
        EXPECT_EQ(TextToStrNum(c.text), c.result) << c.name;
}

TEST(StrNum, TextRoundTrip)
{
    std::mt19937 random(20240601);
    std::uniform_int_distribution<std::int32_t> bodies(1, 999999999);
    for (int i = 0; i < 20000; ++i) {
        const std::int32_t body = bodies(random);
        EXPECT_EQ(TextToStrNum(StrNumToText(body)), body) << body;
        EXPECT_EQ(TextToStrNum(StrNumToText(-body)), -body) << body;
    }
}

} // namespace
} // namespace venqor
