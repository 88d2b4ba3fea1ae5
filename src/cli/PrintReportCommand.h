#pragma once

#include "cli/Cli.h"

namespace venqor::cli {

// venqor-cli print-report: a saved report printed as the report viewer prints it on the
// printer port.
extern const Command PrintReportCommand;

} // namespace venqor::cli
