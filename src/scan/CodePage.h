#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace venqor {

// Conversions at the edges of the program: inside, every text is Windows-1251 bytes;
// widgets, databases, the terminal and the command line speak UTF-8.
//
// Windows-1251 leaves the byte 0x98 undefined; it is carried as U+0098 so that a text
// makes the round trip through UTF-8 unchanged. Code page 866 defines every byte.

// Unicode code points of the bytes 0x80..0xFF, indexed by byte - 0x80.
extern const std::array<char16_t, 128> Cp1251ToUnicodeTable;
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

// Code page 866 to Windows-1251 through Unicode: the system's own mapping between the two
// pages (characters Windows-1251 lacks, such as box drawing, become '?').
std::string Cp866ToCp1251(std::string_view text);

} // namespace venqor
