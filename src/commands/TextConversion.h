#pragma once

#include "app/MainState.h"
#include "engine/TableEngine.h"
#include "run/ProcessingRun.h"
#include "run/RunHost.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace venqor {

// The conversion ("Преобразовать"): the selected lines of the data file become records of
// a new table edtTblName in ProgramDir (or where a name with a directory points), one field
// per schema field. The table is built aside and takes the place of an earlier one only
// when every line has been read. Lines the table did not take are work not done (a
// shortfall of the result); a failed write of the table ends the run with an IoError,
// leaving an earlier table as it was.
RunResult ConvertText(TMainState& state, RunHost& host);

// Sets CopyMode, CopyMatch and CopyValue from the selection controls (exact item texts).
void SetCopySelection(TMainState& state);
// Whether a line is taken by the selection of CopyMode, CopyMatch and CopyValue.
bool LineSelected(const TMainState& state, std::string_view line);

// The file the table edtTblName is written to: in ProgramDir unless the name has a directory,
// NAME.dbf and NAME.csv as named, any other name NAME.DB; empty for an empty name.
std::filesystem::path TableFile(const TMainState& state);

// The table's fields, one per schema field, and the names that had to change to fit the
// table's format (cut to its length and made unique), as "LONG -> SHORT".
struct TableLayout {
    std::vector<FieldDef> fields;
    std::vector<std::string> renamed;
};
TableLayout PrepareTable(const TFieldList& fields, std::string_view tableName);

// The lines whose record the table did not take: how many, and the first one's number in
// the data file and the reason.
struct RefusedLines {
    std::int64_t count = 0;
    std::int64_t firstLine = 0;
    std::string firstReason;
};

// Reads the data file line by line and adds a record to `table` for every selected line,
// counting the lines in the run's LinesRead. A record the table refuses (a value a field
// cannot take) is cancelled alone and said by an error line of the run's report, for the
// first 99 of them. A failed write of the table ends the copying with an IoError
// "Файл результата не записан: ..." (UTF-8, as every failure's message).
RefusedLines CopyLinesToTable(ProcessingRun& run, TableLoader& table);

} // namespace venqor
