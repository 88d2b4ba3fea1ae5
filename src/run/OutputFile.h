#pragma once

#include "app/MainState.h"

#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace venqor {

// Why a run over `state` may not write `output`, as a message (Windows-1251), or nothing
// when it may. Refused, before anything is written:
// - no name at all, or the name of a directory;
// - an input of the run (the data file, its schema file), by any spelling: links, "..",
//   Latin case as the table engines fold it;
// - the program's own files, whether they exist yet or not: a schema file where schema
//   files are looked for, venqor.ini, ANKT.DB, and NUMS.DB of the run's register and of the
//   register venqor.ini names (or the file a "sqlite:" location names); and wherever it is,
//   a file named NUMS.DB, ANKT.DB or venqor.ini (another program directory's, or a
//   register's);
// - one of `others`, the files the run writes besides (the report, a table): no file is
//   named twice;
// - a file that may not be written (write-protected), or one in a directory that is
//   missing or may not be written.
// A device or a pipe is checked only against the inputs and `others`. A symbolic link is
// judged by the file it names, which is replaced while the link stays.
std::optional<std::string> OutputProblem(const std::filesystem::path& output, const TMainState& state,
    std::span<const std::filesystem::path> others = {});

} // namespace venqor
