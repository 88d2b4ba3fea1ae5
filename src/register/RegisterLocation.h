#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace venqor {

// The SQLite file that holds the register NUMS at a location: NUMS.DB of a directory, the
// file of "sqlite:FILE"; nothing for a database server or an empty location.
std::optional<std::filesystem::path> RegisterFile(const std::string& location);

} // namespace venqor
