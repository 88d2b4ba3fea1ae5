#pragma once

#include "cli/Cli.h"
#include "commands/CommandList.h"

#include <span>
#include <string_view>

namespace venqor::cli {

// A command of the main window at the command line: DATAFILE and the options that stand for
// the controls it reads (see AcceptedOptions). It runs the command over the state the
// window would hold, with the terminal as host, and exits 0 when the command ran to its
// end, 1 when it did not start, 3 when it ran without a part of its work.
// The parts of the window commands' --help: how the options get their defaults and where
// the files are, the options of the record marker, and the last two options.
inline constexpr std::string_view OptionsIntro
    = "Options (each stands for a control of the main window; defaults from venqor.ini, then the\n"
      "format detected from the first line). venqor.ini and ANKT.DB are kept in VENQOR_HOME, else\n"
      "beside the program when it holds the schema files and may be written, else in\n"
      "~/.config/venqor; a schema file is looked for in VENQOR_HOME, else in ~/.config/venqor,\n"
      "beside the program and in ../share/venqor.\n";
inline constexpr std::string_view MarkerOptions
    = "  --format TEXT         data format (ЕДВ-3, ЕДВ-4, ЕДВ-4В, ФОМС, ФСС, ОСЗН): sets schema,\n"
      "                        table name and record marker\n"
      "  --schema NAME         schema file NAME.SCH\n"
      "  --record-type TEXT    record marker: its first character starts a record line\n"
      "                        (also spelled --value)\n";
// What the commands writing a corrected copy refuse.
inline constexpr std::string_view CopyRefusals
    = "FILE and the report may not be an input of the run, a file of the program (a schema\n"
      "file, venqor.ini, ANKT.DB, NUMS.DB of the register), a write-protected file, nor the\n"
      "same file twice: such a run is refused before anything is written (exit status 1).\n";
inline constexpr std::string_view FindingsOption
    = "  --findings FILE       also save every numbered line of the report as a row of a table:\n"
      "                        FILE.jsonl as JSON Lines, any other name as CSV (UTF-8, header\n"
      "                        row); columns file, line, kind, number, given, registered, message\n";
inline constexpr std::string_view ReportOptions
    = "  --report FILE         also save the report as text (Windows-1251, CR LF)\n"
      "  --quiet               no report on standard output\n";

Command WindowCommand(const CommandInfo& command, std::string_view summary, std::string_view usage);

} // namespace venqor::cli
