#pragma once

#include "engine/TableEngine.h"
#include "engine/sqlite/SqliteConnection.h"

#include <memory>

namespace venqor::sqlite {

// The table NAME of a connection (for a directory: the file NAME.DB), not yet opened.
std::unique_ptr<Table> MakeTable(std::shared_ptr<Connection> connection, std::string name);
std::unique_ptr<Query> MakeQuery(std::shared_ptr<Connection> connection);

// A loader of table NAME of a directory: the file DIR/NAME.DB, built beside it and renamed
// over it (DIR is made when missing; IoError while a journal lies beside the old file).
std::unique_ptr<TableLoader> MakeFileLoader(const std::string& directory, const std::string& name,
    const std::vector<FieldDef>& fields, std::string_view primaryKey, const std::vector<IndexDef>& indexes);
// A loader of table NAME of a single SQLite file, swapped in by one transaction.
std::unique_ptr<TableLoader> MakeInPlaceLoader(std::shared_ptr<Connection> connection,
    const std::string& name, const std::vector<FieldDef>& fields, std::string_view primaryKey,
    const std::vector<IndexDef>& indexes);

} // namespace venqor::sqlite
