#pragma once

#include "cli/Cli.h"

namespace venqor::cli {

// venqor-cli check: the name check of a data file against the register.
extern const Command CheckCommand;

} // namespace venqor::cli
