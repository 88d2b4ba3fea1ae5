#include "base/FieldText.h"

#include "base/CodePage.h"
#include "base/Errors.h"

#include <charconv>
#include <cmath>

namespace venqor {

namespace {

// A value (Windows-1251) quoted for a message, which speaks UTF-8 like the names in it.
std::string quoted(std::string_view text)
{
    return "\"" + Cp1251ToUtf8(text) + "\"";
}

char latinUpper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

} // namespace

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    return TrimTrailingBlanks(text);
}

std::string_view TrimTrailingBlanks(std::string_view text)
{
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

bool IsBlank(std::string_view text)
{
    return TrimBlanks(text).empty();
}

std::int64_t IntegerFromText(std::string_view text)
{
    std::string_view digits = TrimBlanks(text);
    if (!digits.empty() && digits.front() == '+')
        digits.remove_prefix(1);
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size())
        throw ConvertError(quoted(text) + " is not a whole number");
    return value;
}

double FloatFromText(std::string_view text)
{
    std::string_view digits = TrimBlanks(text);
    if (!digits.empty() && digits.front() == '+')
        digits.remove_prefix(1);
    double value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || !std::isfinite(value))
        throw ConvertError(quoted(text) + " is not a number");
    return value;
}

Date DateFromText(std::string_view text)
{
    const auto date = ParseDmy(text);
    if (!date)
        throw ConvertError(quoted(text) + " is not a date dd.mm.yyyy");
    return *date;
}

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (latinUpper(a[i]) != latinUpper(b[i]))
            return false;
    return true;
}

} // namespace venqor
