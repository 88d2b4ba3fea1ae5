#include "engine/pg/PgNames.h"

#include "base/CodePage.h"

namespace venqor::pg {

std::string Identifier(std::string_view name, const Connection& conn, std::string_view what)
{
    bool valid = !name.empty() && name.size() <= 63 && !(name.front() >= '0' && name.front() <= '9');
    std::string out = "\"";
    for (char c : name) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        valid = valid && ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_');
        out += c;
    }
    if (!valid)
        conn.fail(what, "not a name of Latin letters, digits and _: " + Cp1251ToUtf8(name));
    return out + '"';
}

std::string CatalogIdentifier(std::string_view name)
{
    std::string out = "\"";
    for (const char c : name)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + '"';
}

std::string SqlType(const FieldDef& field)
{
    switch (field.type) {
    case FieldType::Text:
        return field.size > 0 ? "varchar(" + std::to_string(field.size) + ")" : "text";
    case FieldType::Integer:
        return "bigint";
    case FieldType::Float:
        return "double precision";
    case FieldType::Date:
        return "date";
    }
    return "text";
}

} // namespace venqor::pg
