#include "cli/FixAddressesCommand.h"

#include "cli/WindowCommand.h"

namespace venqor::cli {

namespace {

const std::string_view Usage
    = "Usage: venqor-cli fix-addresses DATAFILE --output FILE [options]\n"
      "\n"
      "The address correction: in the addresses ADRREG and ADRFACT of every record line of\n"
      "DATAFILE a leading comma is removed, a doubled comma made single, and a leading postal\n"
      "number outside 600000..602359 replaced by 600000. The corrected copy is written to FILE\n"
      "(code page 866, CR LF), replacing an earlier FILE only when complete. The report goes to\n"
      "standard output (UTF-8), the summary to standard error. DATAFILE is only read.\n"
      "\n"
      "FILE and the report may not be an input of the run, a file of the program (a schema\n"
      "file, venqor.ini, ANKT.DB, NUMS.DB of the register), a write-protected file, nor the\n"
      "same file twice: such a run is refused before anything is written (exit status 1).\n"
      "\n"
      "Options (each stands for a control of the main window; defaults from venqor.ini, then the\n"
      "format detected from the first line). venqor.ini and ANKT.DB are kept in VENQOR_HOME, else\n"
      "beside the program when it holds the schema files and may be written, else in\n"
      "~/.config/venqor; a schema file is looked for in VENQOR_HOME, else in ~/.config/venqor,\n"
      "beside the program and in ../share/venqor.\n"
      "  --output FILE         the corrected copy (required)\n"
      "  --format TEXT         data format (ЕДВ-3, ЕДВ-4, ЕДВ-4В, ФОМС, ФСС, ОСЗН): sets schema,\n"
      "                        table name and record marker\n"
      "  --schema NAME         schema file NAME.SCH\n"
      "  --record-type TEXT    record marker: its first character starts a record line\n"
      "                        (also spelled --value)\n"
      "  --report FILE         also save the report as text (Windows-1251, CR LF)\n"
      "  --quiet               no report on standard output\n"
      "\n"
      "Exit status: 0 the correction ran to its end, 1 it could not run, 2 a usage error,\n"
      "3 it ran to its end but FILE could not be written (the reason on standard error).\n";

} // namespace

const Command FixAddressesCommand = WindowCommand(
    *FindCommand("fix-addresses"), "the address correction into a corrected copy of a data file", Usage);

} // namespace venqor::cli
