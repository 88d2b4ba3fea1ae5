#pragma once

#include "engine/TableEngine.h"
#include "engine/sqlite/SqliteColumns.h"

#include <functional>
#include <memory>

namespace venqor::sqlite {

// One lookup of a table or a query: the statement standing on the row found, or nullptr.
using SingleLookup = std::function<sqlite3_stmt*(const LookupKey&)>;

// Block lookups made one key at a time in the order of the keys, so that neighbouring
// lookups walk the same pages of the index; every row found is copied, to be read with
// `columns` after the lookups that follow.
std::unique_ptr<BlockLookup> MakeBlockLookup(Columns columns, LookupKind kind, SingleLookup lookUp);

} // namespace venqor::sqlite
