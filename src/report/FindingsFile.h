#pragma once

#include "report/ReportDocument.h"

#include <filesystem>

namespace venqor {

// Writes the findings of a report as a table, one row per finding in report order, with the
// columns file, line, kind, number, given, registered, message; texts in UTF-8. A name
// ending in .jsonl gives JSON Lines (one object per row with those keys, line a number);
// any other name a CSV file (a byte order mark, a header row, RFC 4180 quoting, CR LF),
// which spreadsheets open with the Cyrillic intact. The file is replaced only by a complete
// new one. Throws IoError naming it.
void SaveFindings(const ReportDocument& report, const std::filesystem::path& file);

// Whether a findings file of this name is written as JSON Lines.
bool IsJsonLinesName(const std::filesystem::path& file);

} // namespace venqor
