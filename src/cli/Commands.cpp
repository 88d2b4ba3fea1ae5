#include "Cli.h"

#include "CheckCommand.h"
#include "PrintReportCommand.h"
#include "RegisterCommand.h"

namespace venqor::cli {

const std::vector<Command>& Commands()
{
    static const std::vector<Command> commands = {
        CheckCommand,
        PrintReportCommand,
        RegisterCommand(),
    };
    return commands;
}

} // namespace venqor::cli
