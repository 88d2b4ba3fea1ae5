#pragma once

#include "cli/Cli.h"

namespace venqor::cli {

// venqor-cli convert: the selected lines of a data file as records of a new table.
extern const Command ConvertCommand;

} // namespace venqor::cli
