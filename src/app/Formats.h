#pragma once

#include "app/MainState.h"

#include <span>
#include <string_view>

namespace venqor {

// One row of the format table: the format name and what it sets.
struct FormatRow {
    std::string_view format;     // cbxFrmtList
    std::string_view schema;     // cbxSchList
    std::string_view tableName;  // edtTblName
    std::string_view recordType; // edtCopyValue
};

// The six exchange formats, in table order (Windows-1251).
std::span<const FormatRow> FormatTable();

// Sets schema, table name and record marker from the row whose name equals the format
// exactly; a format outside the table changes nothing. True when a row was applied.
bool ApplyFormat(TMainState& state);

// Reads the data file's first line (recoded from code page 866), shows its first six
// characters in the format label and, for a line beginning with В3.0 or В4.0, sets the
// format ЕДВ-3 or ЕДВ-4 and applies it. A name that names no file, or a file that cannot
// be read, changes nothing; so does a command under way, which owns the line buffer.
void DetectFormat(TMainState& state);

} // namespace venqor
