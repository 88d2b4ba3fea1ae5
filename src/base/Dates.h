#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace venqor {

// A calendar date as a day number: 0 is the zero date value 30.12.1899, which stands
// for a missing date.
struct Date {
    std::int32_t days = 0;

    bool isZero() const { return days == 0; }
    friend auto operator<=>(Date, Date) = default;
};

inline constexpr Date ZeroDate {};

// The date of a calendar day, or nothing when year, month and day make no date
// (years 1..9999).
std::optional<Date> MakeDate(int year, int month, int day);

struct Ymd {
    int year;
    int month;
    int day;
};
Ymd DateToYmd(Date date);

// Reads dd.mm.yyyy: day and month of one or two digits, a year of four digits or of
// two (00..49 in the 2000s, 50..99 in the 1900s), dots as separators, blanks around the
// text allowed. Nothing when the text is no such date.
std::optional<Date> ParseDmy(std::string_view text);

// dd.mm.yyyy; the zero date too is written (30.12.1899).
std::string FormatDmy(Date date);

// YYYY-MM-DD, the storage form of the databases; and its reader (nothing when it is not one).
std::string FormatIso(Date date);
std::optional<Date> ParseIso(std::string_view text);

} // namespace venqor
