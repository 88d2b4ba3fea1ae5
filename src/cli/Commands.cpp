#include "Cli.h"
#include "PrintReportCommand.h"

namespace venqor::cli {

const std::vector<Command>& Commands()
{
    static const std::vector<Command> commands = {
        PrintReportCommand,
    };
    return commands;
}

} // namespace venqor::cli
