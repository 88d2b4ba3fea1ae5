#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace venqor {

// Conversions at the edges of the program: inside, every text is Windows-1251 bytes;
// widgets, databases, the terminal and the command line speak UTF-8.
//
// Windows-1251 leaves the byte 0x98 undefined; it is carried as U+0098 so that a text
// makes the round trip through UTF-8 unchanged. Code page 866 defines every byte.

// Unicode code points of the bytes 0x80..0xFF, indexed by byte - 0x80.
// clang-format off
inline constexpr std::array<char16_t, 128> Cp1251ToUnicodeTable = {
    /* 80 */ 0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    /* 88 */ 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    /* 90 */ 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    /* 98 */ 0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    /* A0 */ 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    /* A8 */ 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    /* B0 */ 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    /* B8 */ 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    /* C0 */ 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    /* C8 */ 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    /* D0 */ 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    /* D8 */ 0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    /* E0 */ 0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    /* E8 */ 0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    /* F0 */ 0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    /* F8 */ 0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};
// clang-format on
extern const std::array<char16_t, 128> Cp866ToUnicodeTable;

// The character that stands for a code point the target page cannot show.
inline constexpr char UnmappableCp1251 = '?';

std::string Cp1251ToUtf8(std::string_view text);
std::string Cp866ToUtf8(std::string_view text);

// Invalid UTF-8 sequences and characters outside Windows-1251 become '?'.
std::string Utf8ToCp1251(std::string_view text);
// Appends the conversion to `out` (for hot paths that reuse one buffer).
void AppendUtf8AsCp1251(std::string_view text, std::string& out);
void AppendCp1251AsUtf8(std::string_view text, std::string& out);

// File names stay as the system spells them (UTF-8 here) from the argument or the dialog to
// the system call; they become Windows-1251 only where a report or a message shows them
// (a character outside the page shows as '?'), or where the settings file keeps them.
std::string PathToCp1251(const std::filesystem::path& path);
std::filesystem::path Cp1251ToPath(std::string_view text);

// Code page 866 to Windows-1251 through Unicode: the system's own mapping between the two
// pages (characters Windows-1251 lacks, such as box drawing, become '?').
std::string Cp866ToCp1251(std::string_view text);

} // namespace venqor
