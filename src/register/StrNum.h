#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace venqor {

// Insurance numbers: a nine-digit body and a two-digit check number, written
// XXX-XXX-XXX YY.

inline constexpr int StrNumTextLen = 14;

// The check number (0..99) of a body: the digits weighted 9..1 from the left, summed,
// modulo 101, with 100 counted as 0. Takes the lowest nine digits of the magnitude.
int StrNumCheckSum(std::int32_t body);

// The canonical 14-character text of |value|; a negative value has blanks in place of the
// check digits. A magnitude above 999 999 999 has no such text and is written with
// asterisks in place of the digits ("***-***-***   "), which reads back as no number.
std::string StrNumToText(std::int32_t value);

// Reads a number out of the first 14 characters of a field: the body when there were
// exactly eleven digits and the check number is right, the body negated otherwise, 0 when
// there were no digits (or the body is zero).
std::int32_t TextToStrNum(std::string_view text);

} // namespace venqor
