#include "Cli.h"

#include "CheckCommand.h"

namespace venqor::cli {

const std::vector<Command>& Commands()
{
    static const std::vector<Command> commands = {
        {"check", "the name check of a data file against the register", CheckUsage, RunCheck},
    };
    return commands;
}

} // namespace venqor::cli
