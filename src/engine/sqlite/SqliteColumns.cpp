#include "engine/sqlite/SqliteColumns.h"

#include "base/CodePage.h"
#include "base/Errors.h"
#include "base/FieldText.h"

#include <cmath>

namespace venqor::sqlite {

std::string_view StatementRow::text(int index) const
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, index));
    return text ? std::string_view(text, static_cast<std::size_t>(sqlite3_column_bytes(statement_, index)))
                : std::string_view();
}

bool IsDateType(std::string_view declaredType)
{
    for (std::size_t i = 0; i + 4 <= declaredType.size(); ++i)
        if (SameName(declaredType.substr(i, 4), "DATE"))
            return true;
    return false;
}

void Columns::reset(std::vector<Column> columns, std::string owner)
{
    columns_ = std::move(columns);
    buffers_.assign(columns_.size(), {});
    owner_ = std::move(owner);
}

void Columns::resetFromStatement(sqlite3_stmt* statement, std::string owner)
{
    std::vector<Column> columns;
    const int count = sqlite3_column_count(statement);
    for (int i = 0; i < count; ++i) {
        const char* name = sqlite3_column_name(statement, i);
        const char* type = sqlite3_column_decltype(statement, i);
        columns.push_back({ Utf8ToCp1251(name ? name : ""), type && IsDateType(type) });
    }
    reset(std::move(columns), std::move(owner));
}

int Columns::indexOf(std::string_view name) const
{
    for (std::size_t i = 0; i < columns_.size(); ++i)
        if (SameName(columns_[i].name, name))
            return static_cast<int>(i);
    throw TableError(owner_ + ": no field \"" + std::string(name) + "\"");
}

void Columns::check(int index) const
{
    if (index < 0 || index >= size())
        throw TableError(owner_ + ": no field number " + std::to_string(index + 1));
}

std::string Columns::fieldName(int index) const
{
    return owner_ + ", field \"" + columns_[static_cast<std::size_t>(index)].name + "\"";
}

std::string_view Columns::text(const Row& row, int index)
{
    check(index);
    std::string& buffer = buffers_[static_cast<std::size_t>(index)];
    buffer.clear();
    const std::string_view utf8 = row.text(index);
    if (columns_[static_cast<std::size_t>(index)].isDate) {
        if (const auto date = ParseIso(utf8)) {
            buffer = FormatDmy(*date);
            return buffer;
        }
    }
    AppendUtf8AsCp1251(utf8, buffer);
    return TrimTrailingBlanks(buffer);
}

Date Columns::date(const Row& row, int index) const
{
    check(index);
    const std::string_view text = row.text(index);
    if (text.empty())
        return ZeroDate;
    if (const auto date = ParseIso(text))
        return *date;
    throw ConvertError(fieldName(index) + ": \"" + std::string(text) + "\" is not a date");
}

std::int64_t Columns::integer(const Row& row, int index) const
{
    check(index);
    switch (row.type(index)) {
    case SQLITE_NULL:
        return 0;
    case SQLITE_INTEGER:
        return row.integer(index);
    case SQLITE_FLOAT: {
        const double value = row.real(index);
        if (value == std::trunc(value) && std::fabs(value) < 9.2e18)
            return static_cast<std::int64_t>(value);
        break;
    }
    default:
        try {
            return IntegerFromText(row.text(index));
        } catch (const ConvertError&) {
        }
    }
    throw ConvertError(
        fieldName(index) + ": \"" + Utf8ToCp1251(row.text(index)) + "\" is not a whole number");
}

} // namespace venqor::sqlite
