#include "cli/CheckCommand.h"

#include "cli/WindowCommand.h"

namespace venqor::cli {

namespace {

const std::string Usage
    = std::string("Usage: venqor-cli check DATAFILE [options]\n"
                  "\n"
                  "The name check: every insurance number of DATAFILE is checked for its form and check\n"
                  "number, looked up in the register NUMS, and the names, birth date and status held there\n"
                  "are compared with the line. The report goes to standard output (UTF-8), the summary to\n"
                  "standard error. DATAFILE is only read.\n"
                  "\n")
    + std::string(OptionsIntro) + std::string(MarkerOptions)
    + std::string("  --register LOCATION   directory holding NUMS.DB, sqlite:FILE or postgresql://...\n"
                  "  --query               look numbers up through the SQL text SQL1 of venqor.ini\n"
                  "  --collect-not-found   add the people not found to the table ANKT (ANKT.DB)\n"
                  "  --no-birth-errors     do not compare birth dates\n"
                  "  --no-status-errors    no status messages and no \"not found\" notes\n")
    + std::string(ReportOptions) + std::string(FindingsOption)
    + std::string("  --block-lines N       no window control: lines read ahead whose register lookups are\n"
                  "                        made together (default 65536; 1 looks each record up on its own)\n"
                  "\n"
                  "Exit status: 0 the check ran to its end (whatever it found), 1 it could not run,\n"
                  "2 a usage error, 3 it ran to its end without a part of its work (the register or ANKT\n"
                  "could not be used; the reason on standard error). The report may not be an input of the\n"
                  "run nor a file of the program (a schema file, venqor.ini, ANKT.DB, NUMS.DB of the\n"
                  "register): such a run is refused before it starts.\n");

} // namespace

const Command CheckCommand
    = WindowCommand(*FindCommand("check"), "the name check of a data file against the register", Usage);

} // namespace venqor::cli
