#include "PgEngine.h"

#include "scan/Errors.h"

namespace venqor {

std::unique_ptr<Database> OpenPgDatabase(const std::string& uri)
{
    throw TableError("database \"" + uri + "\": PostgreSQL support is not built");
}

} // namespace venqor
