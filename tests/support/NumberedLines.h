#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace venqor::test {

class CommandRun;

// The numbered lines of a report as it reads (a data-file line number right-aligned in at
// least five places, one blank, the message): each line's number and its message.
std::vector<std::pair<std::int64_t, std::string>> NumberedLines(const std::vector<std::string>& report);

// Expects the findings of the run's report to be its numbered lines, one for one: each
// finding's line and message those of the numbered line, the data file the run's.
void ExpectFindingsAreTheNumberedLines(const CommandRun& run);

} // namespace venqor::test
