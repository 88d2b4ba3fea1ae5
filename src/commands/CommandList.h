#pragma once

#include "app/MainState.h"
#include "run/ProcessingRun.h"
#include "run/RunHost.h"

#include <span>
#include <string_view>

namespace venqor {

// A command of the main window, as both front ends know it.
struct CommandInfo {
    std::string_view name;    // on the command line: venqor-cli NAME
    std::string_view button;  // the main window's button (its object name)
    std::string_view caption; // the button's caption, Windows-1251
    std::string_view hint;    // the button's hint, Windows-1251
    bool writesOutput;        // asks for an output file (the save dialog, --output)
    bool reportsFindings;     // its report's numbered lines are findings (--findings)
    // The controls of the main window it reads besides the data file (their object names).
    std::span<const std::string_view> controls;
    RunResult (*run)(TMainState& state, RunHost& host);
};

// The commands, in the order of the window's button column.
std::span<const CommandInfo> CommandList();

// The command of a command-line name, or nullptr.
const CommandInfo* FindCommand(std::string_view name);

} // namespace venqor
