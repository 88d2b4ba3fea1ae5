#pragma once

#include "engine/TableEngine.h"
#include "engine/sqlite/SqliteConnection.h"

#include <memory>

namespace venqor::sqlite {

// The table NAME of a connection (for a directory: the file NAME.DB), not yet opened.
std::unique_ptr<Table> MakeTable(std::shared_ptr<Connection> connection, std::string name);
std::unique_ptr<Query> MakeQuery(std::shared_ptr<Connection> connection);

} // namespace venqor::sqlite
