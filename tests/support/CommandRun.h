#pragma once

#include "app/MainState.h"
#include "run/ProcessingRun.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"

#include <string>
#include <string_view>
#include <vector>

namespace venqor::test {

// A schema of every field the name check, the number assignment and the address correction
// need: TYPE, STRNUM, FAM, NAM, OTCH, BIRTH, SEX, ADRREG, ADRFACT (record length 96), for
// Windows-1251 data without recoding.
inline constexpr std::string_view EveryFieldSchema = "[TEST]\r\n"
                                                     "Field1 = TYPE,CHAR,1,00,00\r\n"
                                                     "Field2 = STRNUM,CHAR,14,00,01\r\n"
                                                     "Field3 = FAM,CHAR,10,00,15\r\n"
                                                     "Field4 = NAM,CHAR,10,00,25\r\n"
                                                     "Field5 = OTCH,CHAR,10,00,35\r\n"
                                                     "Field6 = BIRTH,DATE,10,00,45\r\n"
                                                     "Field7 = SEX,CHAR,1,00,55\r\n"
                                                     "Field8 = ADRREG,CHAR,20,00,56\r\n"
                                                     "Field9 = ADRFACT,CHAR,20,00,76\r\n";

// A command of the main window, as the tests run it.
using CommandFunction = RunResult (*)(TMainState&, RunHost&);

// A program directory holding the schema TEST.SCH, and the window's state for running a
// command there: the schema TEST chosen, the register (which a test puts there) in reg/,
// the save dialog answered with OUT.TXT, the clock at 10.20.30 45.
class CommandRun {
public:
    explicit CommandRun(std::string_view schema);

    // Writes the data file DATA.TXT (bytes as given) and runs the command over it; returns
    // the report's lines in UTF-8.
    std::vector<std::string> run(CommandFunction command, const std::string& data);
    // The report's lines between the start and the end line of the run (the whole report
    // when they are missing, which fails the test).
    std::vector<std::string> findings() const;

    std::string data() const { return readFile(state.dataFile.string()); }
    std::string output() const { return readFile(dir.file("OUT.TXT")); }
    std::string registerDir() const { return dir.file("reg"); }
    // The last line of the report, in UTF-8.
    std::string lastSummary() const;
    // The names in the directory, sorted.
    std::vector<std::string> files() const;

    TempDir dir;
    TMainState state;
    ScriptedHost host;
    RunResult result;
};

} // namespace venqor::test
