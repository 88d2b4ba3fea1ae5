#pragma once

#include "engine/TableEngine.h"
#include "engine/pg/PgConnection.h"
#include "engine/pg/PgValues.h"

#include <functional>
#include <memory>

namespace venqor::pg {

// The statement that one lookup runs; throws where that lookup fails before it is sent.
using LookupCall = std::function<Call(const LookupKey&)>;

// Block lookups sent together in pipeline mode, their results read with `record` (which
// knows the columns). A lookup that failed, or that a failure aborted, is made once more
// alone, so that it fails as it would have failed without the others; after a stop or a
// lost connection the lookups left fail as the first did.
std::unique_ptr<BlockLookup> MakeBlockLookup(
    std::shared_ptr<Connection> conn, Record record, LookupCall callOf);

} // namespace venqor::pg
