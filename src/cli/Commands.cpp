#include "Cli.h"

namespace venqor::cli {

const std::vector<Command>& Commands()
{
    static const std::vector<Command> commands = {
    };
    return commands;
}

} // namespace venqor::cli
