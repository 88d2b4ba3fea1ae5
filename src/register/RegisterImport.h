#pragma once

#include "base/Progress.h"

#include <cstdint>
#include <string>

namespace venqor {

// Builds the register NUMS in a location (a directory, sqlite:FILE or a postgresql:// URI;
// see NumsLoader) from a register in a dBASE file (name ending in .dbf, any case) or a
// CSV file in UTF-8 (any other name).
//
// The source names its columns: NUM, FAM, NAM, OTCH and BIRTH must be there, COND, SEX
// and DATMOD may be (they stay empty otherwise), others are ignored; names are matched
// without regard to Latin case. NUM is a body of up to nine digits or a whole number with
// its check number (123-456-789 64, 12345678964), whose check number must be right.
// Dates are YYYYMMDD, YYYY-MM-DD or dd.mm.yyyy, or empty.
//
// Every row is taken or the import fails: ConvertError (IoError for the files) naming the
// file, the line or record and the reason, and the earlier register stays as it was.
// TableError when the location cannot take the register.
// A source without rows is refused the same way (an empty register is never what an office
// means) unless `allowEmpty` is set; it then makes an empty register.
// Returns the number of rows imported. Progress, when asked for, is told in the source's
// own units (bytes of a CSV file, records of a dBASE file).
std::int64_t ImportRegister(const std::string& source, const std::string& location,
    ProgressSink* progress = nullptr, bool allowEmpty = false);

} // namespace venqor
