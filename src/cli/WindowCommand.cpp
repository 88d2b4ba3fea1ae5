#include "cli/WindowCommand.h"

#include "cli/StopSignals.h"
#include "cli/TerminalHost.h"
#include "cli/WindowOptions.h"

#include "base/CodePage.h"
#include "commands/TextConversion.h"
#include "run/OutputFile.h"

#include <algorithm>
#include <filesystem>
#include <vector>

namespace venqor::cli {

Command WindowCommand(const CommandInfo& command, std::string_view summary, std::string_view usage)
{
    return { command.name, summary, usage, [&command](Args& args, Io& io) {
                const WindowOptions options = ParseWindowOptions(args, AcceptedOptions(command));
                if (command.writesOutput && !options.output)
                    throw UsageError("--output FILE is required");
                TMainState state = StateFor(options);
                if (options.report) {
                    // The report is one more output of the run: never one of the others.
                    std::vector<std::filesystem::path> others;
                    if (options.output)
                        others.emplace_back(*options.output);
                    if (std::ranges::find(command.controls, "edtTblName") != command.controls.end())
                        others.push_back(TableFile(state));
                    if (const auto problem = OutputProblem(*options.report, state, others)) {
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
