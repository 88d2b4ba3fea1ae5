#pragma once

#include "base/Dates.h"

#include <string_view>

namespace venqor {

// The date a text of the data file gives, or the zero date when it gives none. Only the
// first 15 characters count. After leading blanks, the first run of digits decides: 8
// digits are YYYYMMDD (DDMMYYYY when that gives a day above 31 or a month above 12);
// 1 or 2 digits begin day.month.year, 4 digits year.month.day, each part separated from
// the next by exactly one character of any kind. A missing part reads as 0; a year below
// 100 is widened (0..9 to 2000..2009, 10..99 to 1910..1999); a day or month of 0, or
// parts that make no calendar date, give no date.
Date TextToDate(std::string_view text);

} // namespace venqor
