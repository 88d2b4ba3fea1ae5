#include "cli/WindowCommand.h"

#include "cli/StopSignals.h"
#include "cli/TerminalHost.h"
#include "cli/WindowOptions.h"

namespace venqor::cli {

Command WindowCommand(const CommandInfo& command, std::string_view summary,
    std::span<const std::string_view> accepted, std::string_view usage)
{
    return { command.name, summary, usage, [&command, accepted](Args& args, Io& io) {
                const WindowOptions options = ParseWindowOptions(args, accepted);
                TMainState state = StateFor(options);
                TerminalHost host(io, { options.output, options.report, options.quiet });
                CatchStopSignals();
                const RunResult result = command.run(state, host);
                if (!result.started)
                    return int(ExitFailed);
                return result.shortfalls.empty() ? int(ExitDone) : int(ExitPartial);
            } };
}

} // namespace venqor::cli
