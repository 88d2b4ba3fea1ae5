#pragma once

#include <optional>
#include <string>
#include <vector>

namespace venqor::test {

// One row of a result: every column as text, NULL as nothing.
using SqlRow = std::vector<std::optional<std::string>>;

// Runs a statement on an SQLite file opened read-only, straight through the C API, and
// returns all rows; throws std::runtime_error with SQLite's message on a failure.
std::vector<SqlRow> SqliteRows(const std::string& file, const std::string& sql);

} // namespace venqor::test
