#pragma once

#include "cli/Cli.h"
#include "commands/CommandList.h"

#include <span>
#include <string_view>

namespace venqor::cli {

// A command of the main window at the command line: DATAFILE and the options that stand for
// the controls it reads (see AcceptedOptions). It runs the command over the state the
// window would hold, with the terminal as host, and exits 0 when the command ran to its
// end, 1 when it did not start, 3 when it ran without a part of its work.
Command WindowCommand(const CommandInfo& command, std::string_view summary, std::string_view usage);

} // namespace venqor::cli
