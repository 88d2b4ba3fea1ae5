#pragma once

#include "cli/Cli.h"

#include "app/MainState.h"
#include "commands/CommandList.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace venqor::cli {

// The options that stand for controls of the main window, as one command line gives them.
// Texts are still UTF-8 here; file names are as the system spells them.
struct WindowOptions {
    std::string dataFile;
    std::optional<std::string> format, schema, recordType, registerLocation, tableName, condition, match;
    std::optional<std::string> output, report, findings;
    std::optional<int> blockLines;
    bool query = false, collectNotFound = false, noBirthErrors = false, noStatusErrors = false,
         searchOnly = false, quiet = false;
};

// The options of a command: those whose controls it reads, --output when it writes an
// output file, --findings when its report has findings, --report and --quiet.
std::vector<std::string_view> AcceptedOptions(const CommandInfo& command);

// Reads DATAFILE and the options a command accepts (`accepted` lists their spellings,
// e.g. "--register"); UsageError for anything else.
WindowOptions ParseWindowOptions(Args& args, std::span<const std::string_view> accepted);

// The state the window would hold for these options: design defaults and venqor.ini, then
// the format detected from the data file's first line, then --format, then --schema,
// --table and --record-type; the other options set their controls.
TMainState StateFor(const WindowOptions& options);

} // namespace venqor::cli
