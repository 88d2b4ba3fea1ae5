#include "Cli.h"

#include "CheckCommand.h"
#include "PrintReportCommand.h"

namespace venqor::cli {

const std::vector<Command>& Commands()
{
    static const std::vector<Command> commands = {
        CheckCommand,
        PrintReportCommand,
    };
    return commands;
}

} // namespace venqor::cli
