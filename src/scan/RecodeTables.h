#pragma once

#include <array>
#include <cstdint>

namespace venqor {

// The line layer's own recoding between code page 866 (OEM) and Windows-1251 (ANSI),
// indexed by byte - 0x80. Equal to the published mapping for the letters, Ё, ё and №;
// elsewhere they follow their own rows and are not inverse to each other.
extern const std::array<std::uint8_t, 128> OemToAnsiTable;
extern const std::array<std::uint8_t, 128> AnsiToOemTable;

inline char OemToAnsi(char c)
{
    const auto b = static_cast<std::uint8_t>(c);
    return b < 0x80 ? c : static_cast<char>(OemToAnsiTable[b - 0x80]);
}

inline char AnsiToOem(char c)
{
    const auto b = static_cast<std::uint8_t>(c);
    return b < 0x80 ? c : static_cast<char>(AnsiToOemTable[b - 0x80]);
}

} // namespace venqor
