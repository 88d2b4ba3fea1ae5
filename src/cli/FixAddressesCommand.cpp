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
      "Options (each stands for a control of the main window; defaults from venqor.ini in the\n"
      "program directory or VENQOR_HOME, then the format detected from the first line):\n"
      "  --output FILE         the corrected copy (required; not one of the inputs)\n"
      "  --format TEXT         data format (ЕДВ-3, ЕДВ-4, ЕДВ-4В, ФОМС, ФСС, ОСЗН): sets schema,\n"
      "                        table name and record marker\n"
      "  --schema NAME         schema file (NAME.SCH in the program directory)\n"
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
