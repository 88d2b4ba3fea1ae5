#pragma once

#include "engine/TableEngine.h"
#include "engine/sqlite/SqliteColumns.h"
#include "engine/sqlite/SqliteConnection.h"

#include <exception>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace venqor::sqlite {

// One lookup of a table or a query: the statement standing on the row found, or nullptr.
using SingleLookup = std::function<sqlite3_stmt*(const LookupKey&)>;

// Block lookups made one key at a time in the order of the keys, so that neighbouring
// lookups walk the same pages of the index. Each of `lookUps` (one or two) makes the same
// lookup through a connection of its own: a large block is looked up through both at once,
// the first in find(), the second in help() (which find() leaves the last keys to). Every
// row found is copied, to be read with `columns` after the lookups.
std::unique_ptr<BlockLookup> MakeBlockLookup(
    Columns columns, LookupKind kind, std::vector<SingleLookup> lookUps);

// What `make` makes of a second connection to the database of `connection` (see
// Connection::twin), for block lookups shared between two threads; nullptr where the
// connection cannot be doubled, `make` fails or the second connection does not provably
// read the files of the first (Connection::readsTheSameFilesAs): lookups then go through
// the first one alone, and a run reads one register.
template <typename Make>
auto MakeTwin(const Connection& connection, Make make) -> decltype(make(connection.twin()))
{
    try {
        if (const std::shared_ptr<Connection> twin = connection.twin()) {
            auto made = make(twin);
            if (connection.readsTheSameFilesAs(*twin))
                return made;
        }
    } catch (const std::exception&) {
    }
    return nullptr;
}

} // namespace venqor::sqlite
