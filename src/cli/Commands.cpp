#include "Cli.h"
#include "RegisterCommand.h"

namespace venqor::cli {

const std::vector<Command>& Commands()
{
    static const std::vector<Command> commands = {
        RegisterCommand(),
    };
    return commands;
}

} // namespace venqor::cli
