#pragma once

#include "engine/TableEngine.h"

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace venqor::sqlite {

// A value on its way into a column: NULL, an integer, a real or UTF-8 text (also a date
// as YYYY-MM-DD).
using Value = std::variant<std::monostate, std::int64_t, double, std::string>;

// The column type a table of these definitions declares: VARCHAR(n) or TEXT, INTEGER,
// REAL, DATE.
std::string DeclaredType(const FieldDef& field);

// The column list of CREATE TABLE for the definitions, with PRIMARY KEY after the field
// `primaryKey` (none when empty). TableError starting with `owner` for no fields, a field
// defined twice or a primary key that is none of them.
std::string ColumnDefinitions(
    const std::vector<FieldDef>& fields, std::string_view primaryKey, const std::string& owner);

// Sets a value for a field from the program's values, as Table::setField and
// TableLoader::setField take them: a text is cut to the field's width; a blank text leaves
// a number or date empty; a zero date is empty. A value the field cannot take is a
// ConvertError starting with `owner`. A text reuses the value's buffer.
void SetValue(Value& value, const FieldDef& field, std::string_view text, const std::string& owner);
void SetValue(Value& value, const FieldDef& field, std::int64_t number, const std::string& owner);
void SetValue(Value& value, const FieldDef& field, Date date, const std::string& owner);

// Binds a value to parameter `n`; a text stays owned by the value until the statement ran.
void BindValue(sqlite3_stmt* statement, int n, const Value& value);

} // namespace venqor::sqlite
