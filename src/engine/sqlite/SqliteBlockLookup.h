#pragma once

#include "engine/TableEngine.h"
#include "engine/sqlite/SqliteColumns.h"

#include <functional>
#include <memory>
#include <vector>

namespace venqor::sqlite {

// One lookup of a table or a query: the statement standing on the row found, or nullptr.
using SingleLookup = std::function<sqlite3_stmt*(const LookupKey&)>;

// Block lookups made one key at a time in the order of the keys, so that neighbouring
// lookups walk the same pages of the index. Each of `lookUps` (one or two) makes the same
// lookup through a connection of its own: a large block is looked up through both at once,
// the first in find(), the second in help() (which find() leaves the last keys to). Every
// row found is copied, to be read with `columns` after the lookups.
std::unique_ptr<BlockLookup> MakeBlockLookup(Columns columns, LookupKind kind, std::vector<SingleLookup> lookUps);

} // namespace venqor::sqlite
