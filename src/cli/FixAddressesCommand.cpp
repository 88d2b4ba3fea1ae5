#include "cli/FixAddressesCommand.h"

#include "cli/WindowCommand.h"

namespace venqor::cli {

namespace {

const std::string Usage
    = std::string("Usage: venqor-cli fix-addresses DATAFILE --output FILE [options]\n"
                  "\n"
                  "The address correction: in the addresses ADRREG and ADRFACT of every record line of\n"
                  "DATAFILE a leading comma is removed, a doubled comma made single, and a leading postal\n"
                  "number outside 600000..602359 replaced by 600000. The corrected copy is written to FILE\n"
                  "(code page 866, CR LF), replacing an earlier FILE only when complete. The report goes to\n"
                  "standard output (UTF-8), the summary to standard error. DATAFILE is only read.\n"
                  "\n")
    + std::string(CopyRefusals) + "\n" + std::string(OptionsIntro)
    + "  --output FILE         the corrected copy (required)\n" + std::string(MarkerOptions) + std::string()
    + std::string(ReportOptions) + std::string(FindingsOption)
    + std::string("\n"
                  "Exit status: 0 the correction ran to its end, 1 it could not run, 2 a usage error,\n"
                  "3 it ran to its end but FILE could not be written (the reason on standard error).\n");

} // namespace

const Command FixAddressesCommand = WindowCommand(
    *FindCommand("fix-addresses"), "the address correction into a corrected copy of a data file", Usage);

} // namespace venqor::cli
