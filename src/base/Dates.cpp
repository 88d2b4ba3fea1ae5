#include "base/Dates.h"

#include <chrono>
#include <cstdio>

namespace venqor {

namespace {

constexpr std::chrono::sys_days zeroDay { std::chrono::year { 1899 } / 12 / 30 };

bool allDigits(std::string_view s)
{
    if (s.empty())
        return false;
    for (const char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

int toInt(std::string_view s)
{
    int v = 0;
    for (const char c : s)
        v = v * 10 + (c - '0');
    return v;
}

std::string_view trimBlanks(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

} // namespace

std::optional<Date> MakeDate(int year, int month, int day)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31)
        return std::nullopt;
    const std::chrono::year_month_day ymd { std::chrono::year { year },
        std::chrono::month { static_cast<unsigned>(month) },
        std::chrono::day { static_cast<unsigned>(day) } };
    if (!ymd.ok())
        return std::nullopt;
    return Date { static_cast<std::int32_t>((std::chrono::sys_days { ymd } - zeroDay).count()) };
}

Ymd DateToYmd(Date date)
{
    const std::chrono::year_month_day ymd { zeroDay + std::chrono::days { date.days } };
    return { static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
        static_cast<int>(static_cast<unsigned>(ymd.day())) };
}

std::optional<Date> ParseDmy(std::string_view text)
{
    text = trimBlanks(text);
    const auto dot1 = text.find('.');
    if (dot1 == std::string_view::npos)
        return std::nullopt;
    const auto dot2 = text.find('.', dot1 + 1);
    if (dot2 == std::string_view::npos)
        return std::nullopt;
    const auto d = text.substr(0, dot1);
    const auto m = text.substr(dot1 + 1, dot2 - dot1 - 1);
    const auto y = text.substr(dot2 + 1);
    if (!allDigits(d) || !allDigits(m) || !allDigits(y) || d.size() > 2 || m.size() > 2
        || (y.size() != 4 && y.size() != 2))
        return std::nullopt;
    int year = toInt(y);
    if (y.size() == 2)
        year += year < 50 ? 2000 : 1900;
    return MakeDate(year, toInt(m), toInt(d));
}

std::string FormatDmy(Date date)
{
    const Ymd ymd = DateToYmd(date);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", ymd.day, ymd.month, ymd.year);
    return buf;
}

std::string FormatIso(Date date)
{
    const Ymd ymd = DateToYmd(date);
    if (ymd.year < 0 || ymd.year > 9999) { // a day count no date of the calendar gives
        char buf[32];
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", ymd.year, ymd.month, ymd.day);
        return buf;
    }
    // Written digit by digit: block lookups format a date for every key.
    std::string text = "0000-00-00";
    const auto digits = [&text](std::size_t end, int value, int count) {
        for (int i = 1; i <= count; ++i, value /= 10)
            text[end - static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
    };
    digits(4, ymd.year, 4);
    digits(7, ymd.month, 2);
    digits(10, ymd.day, 2);
    return text;
}

std::optional<Date> ParseIso(std::string_view text)
{
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return std::nullopt;
    const auto y = text.substr(0, 4), m = text.substr(5, 2), d = text.substr(8, 2);
    if (!allDigits(y) || !allDigits(m) || !allDigits(d))
        return std::nullopt;
    return MakeDate(toInt(y), toInt(m), toInt(d));
}

} // namespace venqor
