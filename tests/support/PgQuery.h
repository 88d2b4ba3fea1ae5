#pragma once

#include "SqliteQuery.h"

#include <string>
#include <vector>

namespace venqor::test {

// Runs statements on a PostgreSQL database (a libpq connection URI) straight through
// libpq and returns the rows of the last one, every column as text (UTF-8); throws
// std::runtime_error with the server's message on a failure.
std::vector<SqlRow> PgRows(const std::string& uri, const std::string& sql);

} // namespace venqor::test
