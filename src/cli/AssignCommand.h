#pragma once

#include "cli/Cli.h"

namespace venqor::cli {

// venqor-cli assign: the number assignment into a corrected copy of a data file.
extern const Command AssignCommand;

} // namespace venqor::cli
