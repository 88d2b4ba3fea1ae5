#pragma once

#include "support/TempDir.h"

#include <string>
#include <utility>
#include <vector>

namespace venqor::test {

struct CliOutcome {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the built venqor-cli (in VENQOR_BIN), or `program` when given, with its standard
// output and error captured in files of `dir` and no standard input; `env` sets NAME=VALUE
// entries of the environment (an empty value stands for an unset variable here).
CliOutcome runCli(const TempDir& dir, const std::vector<std::string>& args,
    const std::vector<std::string>& env = {}, const std::string& program = {});

// Starts the built venqor-cli like runCli and returns at once; waitCli() collects it.
struct CliProcess {
    int pid = -1;
    std::string outFile, errFile;
};
CliProcess startCli(const TempDir& dir, const std::string& tag, const std::vector<std::string>& args,
    const std::vector<std::string>& env = {}, const std::string& program = {});

// The built venqor-cli (VENQOR_BIN/venqor-cli).
std::string BuiltCli();
CliOutcome waitCli(const CliProcess& process);

// Runs venqor-cli's commands inside this process, with standard output and error captured;
// `env` sets variables (VENQOR_HOME) for the call and puts them back afterwards.
// `failingOut` makes every write to standard output fail, as on a full disk.
CliOutcome runCliHere(const std::vector<std::string>& args,
    const std::vector<std::pair<std::string, std::string>>& env = {}, bool failingOut = false);

} // namespace venqor::test
