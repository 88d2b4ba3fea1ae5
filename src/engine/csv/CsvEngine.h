#pragma once

#include "engine/TableEngine.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace venqor {

// Tables as CSV files (NAME.csv), for people who open them in a spreadsheet: UTF-8 with a
// byte order mark (so that spreadsheet programs take it for UTF-8), a header row of the
// field names, fields separated by commas and quoted as RFC 4180 says (a field holding a
// comma, a quote or a line break is put in quotes, a quote inside doubled), lines ending
// in CR LF. Texts are cut to their field's width; integers are checked and written with
// their digits, floats checked and written as given (decimal point "."); dates as
// dd.mm.yyyy, an empty date as an empty field. A failed write of the file is an IoError.

// Whether a table name names a CSV file: it ends in .csv, in any case.
bool IsCsvName(std::string_view name);

// A new file `name` in `directory`, written under a temporary name beside it and put in
// its place by commit().
std::unique_ptr<TableLoader> LoadCsvTable(
    const std::string& directory, const std::string& name, const std::vector<FieldDef>& fields);

} // namespace venqor
