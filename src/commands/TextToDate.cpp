#include "commands/TextToDate.h"

#include <cstdint>

namespace venqor {

namespace {

constexpr std::size_t SignificantLength = 15;
constexpr int RunDigitsKept = 9;

// Reads the run of digits at `pos`: its value from its first 9 digits, and its length.
struct DigitRun {
    std::int64_t value = 0;
    int digits = 0;
};

DigitRun readRun(std::string_view text, std::size_t& pos)
{
    DigitRun run;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        if (run.digits < RunDigitsKept)
            run.value = run.value * 10 + (text[pos] - '0');
        ++run.digits;
        ++pos;
    }
    return run;
}

} // namespace

Date TextToDate(std::string_view text)
{
    text = text.substr(0, SignificantLength);
    if (text.size() <= 4)
        return ZeroDate;
    std::size_t pos = 0;
    while (pos < text.size() && static_cast<unsigned char>(text[pos]) <= 32)
        ++pos;
    const DigitRun first = readRun(text, pos);
    const auto next = [&] {
        ++pos; // the separator, whatever it is
        return readRun(text, pos).value;
    };

    std::int64_t year = 0, month = 0, day = 0;
    switch (first.digits) {
    case 8:
        year = first.value / 10000;
        month = first.value % 10000 / 100;
        day = first.value % 100;
        if (day > 31 || month > 12) {
            day = first.value / 1000000;
            month = first.value / 10000 % 100;
            year = first.value % 10000;
        }
        break;
    case 1:
    case 2:
        day = first.value;
        month = next();
        year = next();
        break;
    case 4:
        year = first.value;
        month = next();
        day = next();
        break;
    default:
        return ZeroDate;
    }
    if (day <= 0 || month <= 0)
        return ZeroDate;
    if (year < 10)
        year += 2000;
    else if (year < 100)
        year += 1900;
    if (year > 9999 || month > 12 || day > 31)
        return ZeroDate;
    return MakeDate(static_cast<int>(year), static_cast<int>(month), static_cast<int>(day))
        .value_or(ZeroDate);
}

} // namespace venqor
