#pragma once

#include "cli/Cli.h"

namespace venqor::cli {

// venqor-cli fix-addresses: the address correction into a corrected copy of a data file.
extern const Command FixAddressesCommand;

} // namespace venqor::cli
