#pragma once

#include "engine/TableEngine.h"
#include "engine/pg/PgConnection.h"

#include <memory>

namespace venqor::pg {

// A loader of table NAME in the first schema of the search path: the rows go through
// COPY into a new table under a temporary name, inside one transaction; commit() builds
// the primary key and the indexes, analyzes the table, drops the old one and renames the
// new one and its indexes, and commits. Until then readers see the old table; a loader
// destroyed before leaves the database as it was (so does a connection lost on the way).
// Duplicate primary keys are found as the rows are posted.
std::unique_ptr<TableLoader> MakeLoader(std::shared_ptr<Connection> conn, const std::string& name,
    const std::vector<FieldDef>& fields, std::string_view primaryKey, const std::vector<IndexDef>& indexes);

} // namespace venqor::pg
