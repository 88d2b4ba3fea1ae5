#include "cli/CheckCommand.h"

#include "cli/WindowCommand.h"

namespace venqor::cli {

namespace {

const std::string_view Usage
    = "Usage: venqor-cli check DATAFILE [options]\n"
      "\n"
      "The name check: every insurance number of DATAFILE is checked for its form and check\n"
      "number, looked up in the register NUMS, and the names, birth date and status held there\n"
      "are compared with the line. The report goes to standard output (UTF-8), the summary to\n"
      "standard error. DATAFILE is only read.\n"
      "\n"
      "Options (each stands for a control of the main window; defaults from venqor.ini, then the\n"
      "format detected from the first line). venqor.ini and ANKT.DB are kept in VENQOR_HOME, else\n"
      "beside the program when it holds the schema files and may be written, else in\n"
      "~/.config/venqor; a schema file is looked for in VENQOR_HOME, else in ~/.config/venqor,\n"
      "beside the program and in ../share/venqor.\n"
      "  --format TEXT         data format (ЕДВ-3, ЕДВ-4, ЕДВ-4В, ФОМС, ФСС, ОСЗН): sets schema,\n"
      "                        table name and record marker\n"
      "  --schema NAME         schema file NAME.SCH\n"
      "  --record-type TEXT    record marker: its first character starts a record line\n"
      "                        (also spelled --value)\n"
      "  --register LOCATION   directory holding NUMS.DB, sqlite:FILE or postgresql://...\n"
      "  --query               look numbers up through the SQL text SQL1 of venqor.ini\n"
      "  --collect-not-found   add the people not found to the table ANKT (ANKT.DB)\n"
      "  --no-birth-errors     do not compare birth dates\n"
      "  --no-status-errors    no status messages and no \"not found\" notes\n"
      "  --report FILE         also save the report as text (Windows-1251, CR LF); the report\n"
      "                        may not be an input of the run nor a file of the program\n"
      "  --quiet               no report on standard output\n"
      "  --block-lines N       no window control: lines read ahead whose register lookups are\n"
      "                        made together (default 65536; 1 looks each record up on its own)\n"
      "\n"
      "Exit status: 0 the check ran to its end (whatever it found), 1 it could not run,\n"
      "2 a usage error, 3 it ran to its end without a part of its work (the register or ANKT\n"
      "could not be used; the reason on standard error).\n";

} // namespace

const Command CheckCommand
    = WindowCommand(*FindCommand("check"), "the name check of a data file against the register", Usage);

} // namespace venqor::cli
