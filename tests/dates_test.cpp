#include "base/Dates.h"

#include <gtest/gtest.h>

namespace venqor {
namespace {

TEST(Dates, DayNumbers)
{
    const struct Case {
        const char* name;
        int year, month, day;
        std::int32_t days;
    } cases[] = {
        { "zero date", 1899, 12, 30, 0 },
        { "first day of 1900", 1900, 1, 1, 2 },
        { "a birth date", 1985, 3, 7, 31113 },
        { "first year", 1, 1, 1, -693593 },
        { "last day", 9999, 12, 31, 2958465 },
    };
    for (const Case& c : cases) {
        const auto date = MakeDate(c.year, c.month, c.day);
        ASSERT_TRUE(date) << c.name;
        EXPECT_EQ(date->days, c.days) << c.name;
        const Ymd ymd = DateToYmd(*date);
        EXPECT_EQ(ymd.year, c.year) << c.name;
        EXPECT_EQ(ymd.month, c.month) << c.name;
        EXPECT_EQ(ymd.day, c.day) << c.name;
    }
    EXPECT_TRUE(ZeroDate.isZero());
}

TEST(Dates, NoSuchDay)
{
    const struct Case {
        const char* name;
        int year, month, day;
    } cases[] = {
        { "february 30", 2000, 2, 30 },
        { "1900 is no leap year", 1900, 2, 29 },
        { "month 13", 1985, 13, 1 },
        { "month 0", 1985, 0, 1 },
        { "day 0", 1985, 1, 0 },
        { "day 32", 1985, 1, 32 },
        { "year 0", 0, 1, 1 },
        { "year 10000", 10000, 1, 1 },
    };
    for (const Case& c : cases)
        EXPECT_FALSE(MakeDate(c.year, c.month, c.day)) << c.name;
    EXPECT_TRUE(MakeDate(2000, 2, 29));
}

TEST(Dates, ParseDmy)
{
    const struct Case {
        const char* name;
        const char* text;
        std::optional<std::int32_t> days;
    } cases[] = {
        { "full", "07.03.1985", 31113 },
        { "one-digit day and month", "7.3.1985", 31113 },
        { "blanks around", "  07.03.1985 ", 31113 },
        { "two-digit year 49 is 2049", "01.01.49", MakeDate(2049, 1, 1)->days },
        { "two-digit year 50 is 1950", "01.01.50", MakeDate(1950, 1, 1)->days },
        { "zero date", "30.12.1899", 0 },
        { "what YmdToDmy makes of 19850307", ".30.1985", std::nullopt },
        { "empty", "", std::nullopt },
        { "no such day", "31.02.2000", std::nullopt },
        { "three-digit year", "01.01.985", std::nullopt },
        { "dashes", "07-03-1985", std::nullopt },
        { "inner blank", "07. 03.1985", std::nullopt },
        { "trailing text", "07.03.1985x", std::nullopt },
        { "three-digit day", "007.03.1985", std::nullopt },
        { "extra part", "07.03.19.85", std::nullopt },
    };
    for (const Case& c : cases) {
        const auto date = ParseDmy(c.text);
        EXPECT_EQ(date ? std::optional(date->days) : std::nullopt, c.days) << c.name;
    }
}

TEST(Dates, FormatAndIso)
{
    const Date birth = *MakeDate(1985, 3, 7);
    EXPECT_EQ(FormatDmy(birth), "07.03.1985");
    EXPECT_EQ(FormatDmy(ZeroDate), "30.12.1899");
    EXPECT_EQ(FormatDmy(*MakeDate(5, 1, 2)), "02.01.0005");
    EXPECT_EQ(FormatIso(birth), "1985-03-07");
    EXPECT_EQ(ParseIso("1985-03-07"), birth);
    EXPECT_EQ(ParseDmy(FormatDmy(birth)), birth);

    for (const char* bad : { "1985-3-07", "1985/03/07", "1985-02-30", "85-03-07", "1985-03-07 " })
        EXPECT_FALSE(ParseIso(bad)) << bad;
}

} // namespace
} // namespace venqor
