#include "engine/TableEngine.h"

#include "engine/pg/PgEngine.h"
#include "engine/sqlite/SqliteEngine.h"

namespace venqor {

std::unique_ptr<Database> OpenDatabase(const std::string& location)
{
    if (location.starts_with("postgresql://") || location.starts_with("postgres://"))
        return OpenPgDatabase(location);
    if (location.starts_with("sqlite:"))
        return OpenSqliteDatabase(location.substr(7), true);
    return OpenSqliteDatabase(location, false);
}

} // namespace venqor
