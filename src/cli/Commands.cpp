#include "cli/Cli.h"

#include "cli/AssignCommand.h"
#include "cli/CheckCommand.h"
#include "cli/ConvertCommand.h"
#include "cli/FixAddressesCommand.h"
#include "cli/PrintReportCommand.h"
#include "cli/RegisterCommand.h"

namespace venqor::cli {

const std::vector<Command>& Commands()
{
    static const std::vector<Command> commands = {
        CheckCommand,
        AssignCommand,
        FixAddressesCommand,
        ConvertCommand,
        PrintReportCommand,
        RegisterCommand(),
    };
    return commands;
}

} // namespace venqor::cli
