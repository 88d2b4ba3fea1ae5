#pragma once

#include "engine/TableEngine.h"
#include "engine/pg/PgConnection.h"

#include <string>
#include <string_view>

namespace venqor::pg {

// A table or field name as an SQL identifier: the unquoted name folded to lower case
// (NUMS is nums), written quoted so that a field named like a keyword works too. A name
// that is not one of Latin letters, digits and _ is a TableError naming `what`.
std::string Identifier(std::string_view name, const Connection& conn, std::string_view what);

// A name from the catalog (UTF-8) as an SQL identifier, exactly as spelled.
std::string CatalogIdentifier(std::string_view name);

// The column type of a field: varchar(n) or text, bigint (64-bit like the values of the
// interface, and the register's NUM), double precision, date.
std::string SqlType(const FieldDef& field);

} // namespace venqor::pg
