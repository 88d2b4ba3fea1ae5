#include "cli/ConvertCommand.h"

#include "cli/WindowCommand.h"

namespace venqor::cli {

namespace {

const std::string Usage
    = std::string("Usage: venqor-cli convert DATAFILE [options]\n"
                  "\n"
                  "The conversion: every selected line of DATAFILE becomes a record of a new table, one\n"
                  "field per schema field, cut out by position and trimmed. A table name ending in .dbf\n"
                  "gives a dBASE file, .csv a CSV file (UTF-8), any other name the SQLite file NAME.DB.\n"
                  "The table replaces an earlier one of that name only when every line has been read.\n"
                  "Numbers keep the digits the data file writes: in a dBASE file an integer of up to 11\n"
                  "characters, a float of a field w characters wide as N(2w,w-1). A line whose record the\n"
                  "table cannot take is left out and named in the report (its number first).\n"
                  "DATAFILE is only read. The conversion writes files, never into a database: a table\n"
                  "named sqlite:... or postgresql://... is refused, and so is a table (or a report) that\n"
                  "is an input of the run, a file of the program (a schema file, venqor.ini, ANKT.DB,\n"
                  "NUMS.DB of the register), a write-protected file or the report's own file (exit\n"
                  "status 1).\n"
                  "\n")
    + std::string(OptionsIntro)
    + std::string(
        "  --format TEXT         data format (ЕДВ-3, ЕДВ-4, ЕДВ-4В, ФОМС, ФСС, ОСЗН): sets schema,\n"
        "                        table name and selection text\n"
        "  --schema NAME         schema file NAME.SCH\n"
        "  --table NAME          the table, beside venqor.ini (the format gives EDV4.DBF and the\n"
        "                        like, else edv.dbf); a name with a directory is written there\n"
        "  --condition TEXT      which lines: Все (all), Только (only), Кроме (all but)\n"
        "  --match TEXT          how the text is looked for: \"начинаюшиеся с\" (lines starting\n"
        "                        with it), содержащие (containing it), \"не содержащие\" (lacking it)\n"
        "  --record-type TEXT    the text looked for in each line (also spelled --value)\n")
    + std::string(ReportOptions)
    + std::string("\n"
                  "Exit status: 0 the table was written, 1 the conversion could not run or its table\n"
                  "could not be written (the earlier table stays), 2 a usage error, 3 the table was\n"
                  "written without the lines it could not take (their count on standard error).\n");

} // namespace

const Command ConvertCommand = WindowCommand(
    *FindCommand("convert"), "the selected lines of a data file as records of a table", Usage);

} // namespace venqor::cli
