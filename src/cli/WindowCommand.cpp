#include "cli/WindowCommand.h"

#include "cli/StopSignals.h"
#include "cli/TerminalHost.h"
#include "cli/WindowOptions.h"

#include "base/CodePage.h"
#include "commands/TextConversion.h"
#include "run/OutputFile.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <vector>

namespace venqor::cli {

namespace {

// Why the report or the findings of the command line may not be written (UTF-8), or nothing:
// they are outputs of the run like the corrected copy and the table, which the command
// checks itself, and no output may be named twice.
std::optional<std::string> refusedOutput(
    const CommandInfo& command, const WindowOptions& options, const TMainState& state)
{
    struct Output {
        std::optional<std::filesystem::path> file;
        std::string_view option;
    };
    const bool table = std::ranges::find(command.controls, "edtTblName") != command.controls.end();
    const Output outputs[] = { { options.output, "--output" }, { options.report, "--report" },
        { options.findings, "--findings" },
        { table ? std::optional(TableFile(state)) : std::nullopt, "--table" } };
    for (const Output& output : outputs) {
        if (!output.file || (output.option != "--report" && output.option != "--findings"))
            continue;
        std::vector<std::filesystem::path> others;
        for (const Output& other : outputs)
            if (&other != &output && other.file)
                others.push_back(*other.file);
        if (const auto problem = OutputProblem(*output.file, state, others))
            return Cp1251ToUtf8(*problem) + " (" + std::string(output.option) + ")";
    }
    return std::nullopt;
}

} // namespace

Command WindowCommand(const CommandInfo& command, std::string_view summary, std::string_view usage)
{
    return { command.name, summary, usage, [&command](Args& args, Io& io) {
                const WindowOptions options = ParseWindowOptions(args, AcceptedOptions(command));
                if (command.writesOutput && !options.output)
                    throw UsageError("--output FILE is required");
                TMainState state = StateFor(options);
                if (const auto refusal = refusedOutput(command, options, state)) {
                    io.err << *refusal << '\n';
                    return int(ExitFailed);
                }
                TerminalHost host(io, { options.output, options.report, options.findings, options.quiet });
                CatchStopSignals();
                const RunResult result = command.run(state, host);
                if (!result.started)
                    return int(ExitFailed);
                return result.shortfalls.empty() ? int(ExitDone) : int(ExitPartial);
            } };
}

} // namespace venqor::cli
