#pragma once

#include "cli/Cli.h"

namespace venqor::cli {

// `register import SOURCE LOCATION` and `register demo LOCATION [--rows N] [--seed S]`.
Command RegisterCommand();

} // namespace venqor::cli
