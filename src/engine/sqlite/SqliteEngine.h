#pragma once

#include "engine/TableEngine.h"

namespace venqor {

// A directory of NAME.DB files (each holding one table NAME), or,
// with `singleFile`, one SQLite file whose tables are reached by their names.
std::unique_ptr<Database> OpenSqliteDatabase(const std::string& path, bool singleFile);

} // namespace venqor
