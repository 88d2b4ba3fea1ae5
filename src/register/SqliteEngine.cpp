#include "SqliteEngine.h"

#include "scan/Errors.h"

namespace venqor {

// Stands in until the SQLite engine is merged.
std::unique_ptr<Database> OpenSqliteDatabase(const std::string& path, bool)
{
    throw TableError(path + ": not built");
}

} // namespace venqor
