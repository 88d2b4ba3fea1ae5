#include "cli/WindowCommand.h"

#include "cli/StopSignals.h"
#include "cli/TerminalHost.h"
#include "cli/WindowOptions.h"

#include "base/CodePage.h"
#include "run/OutputFile.h"

#include <filesystem>

namespace venqor::cli {

Command WindowCommand(const CommandInfo& command, std::string_view summary, std::string_view usage)
{
    return { command.name, summary, usage, [&command](Args& args, Io& io) {
                const WindowOptions options = ParseWindowOptions(args, AcceptedOptions(command));
                if (command.writesOutput && !options.output)
                    throw UsageError("--output FILE is required");
                TMainState state = StateFor(options);
                if (options.report && options.output
                    && std::filesystem::weakly_canonical(*options.report)
                        == std::filesystem::weakly_canonical(*options.output))
                    throw UsageError("--report and --output name the same file");
                if (options.report) {
                    if (const auto problem = OutputProblem(*options.report, state)) {
                        io.err << Cp1251ToUtf8(*problem) << " (--report)\n";
                        return int(ExitFailed);
                    }
                }
                TerminalHost host(io, { options.output, options.report, options.quiet });
                CatchStopSignals();
                const RunResult result = command.run(state, host);
                if (!result.started)
                    return int(ExitFailed);
                return result.shortfalls.empty() ? int(ExitDone) : int(ExitPartial);
            } };
}

} // namespace venqor::cli
