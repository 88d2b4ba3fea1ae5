#include "cli/Cli.h"

#include "cli/CheckCommand.h"
#include "cli/PrintReportCommand.h"
#include "cli/RegisterCommand.h"

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
