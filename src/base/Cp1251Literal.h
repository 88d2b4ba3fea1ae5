#pragma once

#include "base/CodePage.h"

#include <array>
#include <cstddef>
#include <string_view>

namespace venqor {

// The program's own texts are written in the sources as UTF-8 literals and used inside as
// Windows-1251: "Проверка ФИО"_w is a std::string_view of the Windows-1251 bytes, converted
// at compile time. A character that Windows-1251 lacks does not compile.

namespace literal_detail {

template <std::size_t N> struct Utf8Text {
    char bytes[N] {};
    consteval Utf8Text(const char (&text)[N])
    {
        for (std::size_t i = 0; i < N; ++i)
            bytes[i] = text[i];
    }
};

constexpr char cp1251Of(char32_t cp)
{
    if (cp < 0x80)
        return static_cast<char>(cp);
    for (std::size_t i = 0; i < 128; ++i)
        if (Cp1251ToUnicodeTable[i] == cp)
            return static_cast<char>(0x80 + i);
    throw "character outside Windows-1251";
}

template <Utf8Text S> struct Converted {
    static constexpr auto convert()
    {
        struct Result {
            std::array<char, sizeof(S.bytes)> bytes {};
            std::size_t size = 0;
        } r;
        for (std::size_t i = 0; i + 1 < sizeof(S.bytes);) {
            const auto lead = static_cast<unsigned char>(S.bytes[i]);
            char32_t cp = lead;
            std::size_t extra = 0;
            if (lead >= 0xF0) {
                cp = lead & 0x07;
                extra = 3;
            } else if (lead >= 0xE0) {
                cp = lead & 0x0F;
                extra = 2;
            } else if (lead >= 0xC0) {
                cp = lead & 0x1F;
                extra = 1;
            }
            for (std::size_t k = 1; k <= extra; ++k)
                cp = (cp << 6) | (static_cast<unsigned char>(S.bytes[i + k]) & 0x3F);
            i += extra + 1;
            r.bytes[r.size++] = cp1251Of(cp);
        }
        return r;
    }
    static constexpr auto value = convert();
};

} // namespace literal_detail

template <literal_detail::Utf8Text S> constexpr std::string_view operator""_w()
{
    return { literal_detail::Converted<S>::value.bytes.data(), literal_detail::Converted<S>::value.size };
}

} // namespace venqor
