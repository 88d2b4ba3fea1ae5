#include "cli/Cli.h"

#include "cli/CheckCommand.h"
#include "cli/ConvertCommand.h"
#include "cli/PrintReportCommand.h"
#include "cli/RegisterCommand.h"

namespace venqor::cli {

const std::vector<Command>& Commands()
{
    static const std::vector<Command> commands = {
        CheckCommand,
        ConvertCommand,
        PrintReportCommand,
        RegisterCommand(),
    };
    return commands;
}

} // namespace venqor::cli
