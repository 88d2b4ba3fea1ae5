#pragma once

#include "cli/Cli.h"

namespace venqor::cli {

// `register import SOURCE DIR` and `register demo DIR [--rows N] [--seed S]`.
Command RegisterCommand();

} // namespace venqor::cli
