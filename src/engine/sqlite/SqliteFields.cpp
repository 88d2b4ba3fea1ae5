#include "engine/sqlite/SqliteFields.h"

#include "engine/sqlite/SqliteConnection.h"
#include "base/CodePage.h"
#include "base/Errors.h"
#include "base/FieldText.h"

namespace venqor::sqlite {

namespace {

// The value's text buffer, emptied, keeping what it had reserved.
std::string& textOf(Value& value)
{
    if (auto* text = std::get_if<std::string>(&value)) {
        text->clear();
        return *text;
    }
    return value.emplace<std::string>();
}

} // namespace

std::string DeclaredType(const FieldDef& field)
{
    switch (field.type) {
    case FieldType::Text:
        return field.size > 0 ? "VARCHAR(" + std::to_string(field.size) + ")" : "TEXT";
    case FieldType::Integer:
        return "INTEGER";
    case FieldType::Float:
        return "REAL";
    case FieldType::Date:
        return "DATE";
    }
    return "TEXT";
}

std::string ColumnDefinitions(
    const std::vector<FieldDef>& fields, std::string_view primaryKey, const std::string& owner)
{
    if (fields.empty())
        throw TableError(owner + ": a table needs at least one field");
    bool keyFound = primaryKey.empty();
    std::string columns;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j)
            if (SameName(fields[j].name, fields[i].name))
                throw TableError(owner + ": field \"" + fields[i].name + "\" defined twice");
        columns += (i ? ", " : "") + QuoteName(Cp1251ToUtf8(fields[i].name)) + " " + DeclaredType(fields[i]);
        if (!primaryKey.empty() && SameName(fields[i].name, primaryKey)) {
            columns += " PRIMARY KEY";
            keyFound = true;
        }
    }
    if (!keyFound)
        throw TableError(owner + ": no field \"" + std::string(primaryKey) + "\" for the primary key");
    return columns;
}

void SetValue(Value& value, const FieldDef& field, std::string_view text, const std::string& owner)
{
    try {
        switch (field.type) {
        case FieldType::Text:
            AppendCp1251AsUtf8(
                field.size > 0 ? text.substr(0, static_cast<std::size_t>(field.size)) : text, textOf(value));
            return;
        case FieldType::Integer:
            value = IsBlank(text) ? Value {} : Value { IntegerFromText(text) };
            return;
        case FieldType::Float:
            value = IsBlank(text) ? Value {} : Value { FloatFromText(text) };
            return;
        case FieldType::Date:
            value = IsBlank(text) ? Value {} : Value { FormatIso(DateFromText(text)) };
            return;
        }
    } catch (const ConvertError& error) {
        throw ConvertError(owner + ", field \"" + field.name + "\": " + error.what());
    }
}

void SetValue(Value& value, const FieldDef& field, std::int64_t number, const std::string& owner)
{
    switch (field.type) {
    case FieldType::Text:
        SetValue(value, field, std::to_string(number), owner);
        return;
    case FieldType::Integer:
        value = number;
        return;
    case FieldType::Float:
        value = static_cast<double>(number);
        return;
    case FieldType::Date:
        break;
    }
    throw ConvertError(owner + ", field \"" + field.name + "\": a number is not a date");
}

void SetValue(Value& value, const FieldDef& field, Date date, const std::string& owner)
{
    if (field.type == FieldType::Date) {
        if (date.isZero())
            value = Value {};
        else
            textOf(value) = FormatIso(date);
    } else if (field.type == FieldType::Text) {
        SetValue(value, field, date.isZero() ? std::string() : FormatDmy(date), owner);
    } else {
        throw ConvertError(owner + ", field \"" + field.name + "\": a date is not a number");
    }
}

void BindValue(sqlite3_stmt* statement, int n, const Value& value)
{
    if (const auto* number = std::get_if<std::int64_t>(&value))
        sqlite3_bind_int64(statement, n, *number);
    else if (const auto* real = std::get_if<double>(&value))
        sqlite3_bind_double(statement, n, *real);
    else if (const auto* text = std::get_if<std::string>(&value))
        sqlite3_bind_text(statement, n, text->data(), static_cast<int>(text->size()), SQLITE_STATIC);
    else
        sqlite3_bind_null(statement, n);
}

} // namespace venqor::sqlite
