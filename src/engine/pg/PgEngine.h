#pragma once

#include "engine/TableEngine.h"

namespace venqor {

// A PostgreSQL database named by a libpq connection URI (postgresql://...).
std::unique_ptr<Database> OpenPgDatabase(const std::string& uri);

// Rewrites the :NAME parameters of a statement to $1, $2, ... in order of first
// appearance (a name used twice keeps its number), leaving quoted text, quoted
// identifiers and :: casts alone. `names` receives the parameter names in number order.
std::string RewriteNamedParameters(std::string_view sql, std::vector<std::string>& names);

} // namespace venqor
