#include "register/StrNum.h"

namespace venqor {

namespace {

constexpr std::uint32_t MaxBody = 999'999'999;

std::uint32_t magnitude(std::int32_t value)
{
    return value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
}

} // namespace

int StrNumCheckSum(std::int32_t body)
{
    std::uint32_t rest = magnitude(body);
    int sum = 0;
    for (int weight = 1; weight <= 9; ++weight) {
        sum += static_cast<int>(rest % 10) * weight;
        rest /= 10;
    }
    const int check = sum % 101;
    return check == 100 ? 0 : check;
}

std::string StrNumToText(std::int32_t value)
{
    const std::uint32_t body = magnitude(value);
    char text[StrNumTextLen] = { '*', '*', '*', '-', '*', '*', '*', '-', '*', '*', '*', ' ', ' ', ' ' };
    if (body <= MaxBody) {
        std::uint32_t rest = body;
        for (int i = 10; i >= 0; --i) {
            if (i == 3 || i == 7)
                continue;
            text[i] = static_cast<char>('0' + rest % 10);
            rest /= 10;
        }
        if (value >= 0) {
            const int check = StrNumCheckSum(value);
            text[12] = static_cast<char>('0' + check / 10);
            text[13] = static_cast<char>('0' + check % 10);
        }
    }
    return std::string(text, StrNumTextLen);
}

std::int32_t TextToStrNum(std::string_view text)
{
    text = text.substr(0, StrNumTextLen);
    int digits = 0;
    std::int32_t body = 0;
    int check = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            continue;
        ++digits;
        const int digit = c - '0';
        const std::size_t position = i + 1;
        if (position <= 11 && digits <= 9)
            body = body * 10 + digit;
        else if (digits <= 11)
            check = check * 10 + digit;
    }
    if (digits == 11 && StrNumCheckSum(body) == check)
        return body;
    return -body;
}

} // namespace venqor
