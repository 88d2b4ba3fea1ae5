#pragma once

#include "base/Dates.h"

#include <cstdint>
#include <string_view>

namespace venqor {

// The texts that fill numeric and date fields, and field-name matching, shared by the
// table engines. Every reader throws ConvertError naming the text it could not take (in
// UTF-8, as every message).

// A whole number, blanks around it allowed ("-12", " 7 ").
std::int64_t IntegerFromText(std::string_view text);
// A finite number with the decimal point "." ("1.5", "-2", "3e2"), blanks around it allowed.
double FloatFromText(std::string_view text);
// A dd.mm.yyyy date (see ParseDmy).
Date DateFromText(std::string_view text);

// Whether a text holds nothing but blanks.
bool IsBlank(std::string_view text);
std::string_view TrimBlanks(std::string_view text);
std::string_view TrimTrailingBlanks(std::string_view text);

// Field and table names are matched without regard to Latin case.
bool SameName(std::string_view a, std::string_view b);

} // namespace venqor
