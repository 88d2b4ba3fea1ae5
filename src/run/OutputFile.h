#pragma once

#include "app/MainState.h"

#include <filesystem>
#include <optional>
#include <string>

namespace venqor {

// Why a run over `state` must not write `output`, as a message (Windows-1251), or nothing
// when it may: the output is one of the run's inputs (the data file, the schema file,
// venqor.ini, the register file NUMS.DB, ANKT.DB), compared as files so that links and
// other spellings of a name count; it names a directory; its directory is missing or
// cannot be written; or it is a read-only file.
std::optional<std::string> OutputProblem(const std::filesystem::path& output, const TMainState& state);

} // namespace venqor
