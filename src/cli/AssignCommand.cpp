#include "cli/AssignCommand.h"

#include "cli/WindowCommand.h"

namespace venqor::cli {

namespace {

const std::string Usage
    = std::string("Usage: venqor-cli assign DATAFILE --output FILE [options]\n"
                  "\n"
                  "The number assignment: the person of every record line of DATAFILE is looked up in the\n"
                  "register NUMS by surname, first name, patronymic and birth date; a missing or broken\n"
                  "insurance number is replaced by the one found, and every number is brought into the form\n"
                  "XXX-XXX-XXX YY. The corrected copy is written to FILE (code page 866, CR LF), replacing\n"
                  "an earlier FILE only when complete. The report goes to standard output (UTF-8), the\n"
                  "summary to standard error. DATAFILE is only read.\n"
                  "\n")
    + std::string(CopyRefusals) + "\n" + std::string(OptionsIntro)
    + "  --output FILE         the corrected copy (required)\n" + std::string(MarkerOptions)
    + std::string("  --register LOCATION   directory holding NUMS.DB, sqlite:FILE or postgresql://...\n"
                  "  --query               look people up through the SQL text SQL2 of venqor.ini\n"
                  "  --search-only         report the numbers found, but do not put them into FILE\n")
    + std::string(ReportOptions) + std::string(FindingsOption)
    + std::string("  --block-lines N       no window control: lines read ahead whose register lookups are\n"
                  "                        made together (default 65536; 1 looks each record up on its own)\n"
                  "\n"
                  "Exit status: 0 the assignment ran to its end, 1 it could not run, 2 a usage error,\n"
                  "3 it ran to its end without a part of its work (the register could not be opened, or\n"
                  "FILE could not be written; the reason on standard error).\n");

} // namespace

const Command AssignCommand = WindowCommand(
    *FindCommand("assign"), "the number assignment into a corrected copy of a data file", Usage);

} // namespace venqor::cli
