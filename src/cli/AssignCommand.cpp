#include "cli/AssignCommand.h"

#include "cli/WindowCommand.h"

namespace venqor::cli {

namespace {

const std::string_view Usage
    = "Usage: venqor-cli assign DATAFILE --output FILE [options]\n"
      "\n"
      "The number assignment: the person of every record line of DATAFILE is looked up in the\n"
      "register NUMS by surname, first name, patronymic and birth date; a missing or broken\n"
      "insurance number is replaced by the one found, and every number is brought into the form\n"
      "XXX-XXX-XXX YY. The corrected copy is written to FILE (code page 866, CR LF), replacing\n"
      "an earlier FILE only when complete. The report goes to standard output (UTF-8), the\n"
      "summary to standard error. DATAFILE is only read.\n"
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
      "  --register LOCATION   directory holding NUMS.DB, sqlite:FILE or postgresql://...\n"
      "  --query               look people up through the SQL text SQL2 of venqor.ini\n"
      "  --search-only         report the numbers found, but do not put them into FILE\n"
      "  --report FILE         also save the report as text (Windows-1251, CR LF)\n"
      "  --quiet               no report on standard output\n"
      "  --block-lines N       no window control: lines read ahead whose register lookups are\n"
      "                        made together (default 65536; 1 looks each record up on its own)\n"
      "\n"
      "Exit status: 0 the assignment ran to its end, 1 it could not run, 2 a usage error,\n"
      "3 it ran to its end without a part of its work (the register could not be opened, or\n"
      "FILE could not be written; the reason on standard error).\n";

} // namespace

const Command AssignCommand = WindowCommand(
    *FindCommand("assign"), "the number assignment into a corrected copy of a data file", Usage);

} // namespace venqor::cli
