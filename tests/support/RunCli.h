#pragma once

#include "TempDir.h"

#include <string>
#include <vector>

namespace venqor::test {

struct CliOutcome {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the built venqor-cli (in VENQOR_BIN) with its standard output and error captured in
// files of `dir` and no standard input; `env` adds NAME=VALUE entries to the environment.
CliOutcome runCli(
    const TempDir& dir, const std::vector<std::string>& args, const std::vector<std::string>& env = {});

} // namespace venqor::test
