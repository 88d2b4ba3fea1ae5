#include "engine/pg/PgValues.h"

#include "base/CodePage.h"
#include "base/Errors.h"
#include "base/FieldText.h"

#include <array>
#include <charconv>
#include <limits>

namespace venqor::pg {

namespace {

constexpr Oid int2Type = 21;
constexpr Oid int4Type = 23;
constexpr Oid int8Type = 20;
constexpr Oid textType = 25;
constexpr Oid varcharType = 1043;
constexpr Oid float8Type = 701;
constexpr Oid dateType = 1082;

// YYYY-MM-DD, also as the start of a timestamp.
std::optional<Date> parseIsoStart(std::string_view text)
{
    if (text.size() > 10 && text[10] != ' ' && text[10] != 'T')
        return std::nullopt;
    return ParseIso(text.substr(0, 10));
}

void appendCut(const Column& column, std::string_view text, std::string& out)
{
    if (column.width > 0 && text.size() > static_cast<std::size_t>(column.width))
        text = text.substr(0, static_cast<std::size_t>(column.width));
    AppendCp1251AsUtf8(text, out);
}

[[noreturn]] void refuse(std::string_view owner, const Column& column, std::string_view why)
{
    std::string message(owner);
    message += ": field ";
    message += column.name;
    message += ": ";
    message += why;
    throw TableError(message);
}

void checkRange(const Column& column, std::int64_t value, std::string_view owner)
{
    const bool fits = column.type == int2Type ? value >= std::numeric_limits<std::int16_t>::min()
            && value <= std::numeric_limits<std::int16_t>::max()
        : column.type == int4Type ? value >= std::numeric_limits<std::int32_t>::min()
            && value <= std::numeric_limits<std::int32_t>::max()
                                  : true;
    if (!fits)
        refuse(owner, column, "the number " + std::to_string(value) + " does not fit");
}

} // namespace

Column ColumnOf(const FieldDef& field)
{
    Column column;
    column.name = field.name;
    switch (field.type) {
    case FieldType::Text:
        column.type = field.size > 0 ? varcharType : textType;
        column.width = field.size > 0 ? field.size : 0;
        break;
    case FieldType::Integer:
        column.type = int8Type;
        break;
    case FieldType::Float:
        column.type = float8Type;
        break;
    case FieldType::Date:
        column.type = dateType;
        break;
    }
    column.kind = KindOfType(column.type);
    return column;
}

std::vector<Column> ResultColumns(const PGresult* result)
{
    std::vector<Column> columns;
    const int count = PQnfields(result);
    columns.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        Column column;
        column.name = Utf8ToCp1251(PQfname(result, i));
        column.type = PQftype(result, i);
        column.kind = KindOfType(column.type);
        const int modifier = PQfmod(result, i);
        column.width = column.kind == Kind::Text && modifier > 4 ? modifier - 4 : 0;
        columns.push_back(std::move(column));
    }
    return columns;
}

void Record::setResult(Result result)
{
    result_ = std::move(result);
    current_ = result_.get();
}

void Record::viewResult(const PGresult* result)
{
    result_.reset();
    current_ = result;
}

void Record::fail(std::string_view text) const
{
    std::string message = owner_;
    message += ": ";
    message += text;
    throw TableError(message);
}

int Record::fieldIndex(std::string_view name) const
{
    for (std::size_t i = 0; i < columns_.size(); ++i)
        if (SameName(columns_[i].name, name))
            return static_cast<int>(i);
    fail("no field " + std::string(name));
}

const char* Record::value(int index) const
{
    if (!hasRow())
        fail("no current record");
    if (index < 0 || static_cast<std::size_t>(index) >= columns_.size() || index >= PQnfields(current_))
        fail("no field number " + std::to_string(index));
    if (PQgetisnull(current_, 0, index))
        return nullptr;
    return PQgetvalue(current_, 0, index);
}

std::string_view Record::text(int index)
{
    const char* raw = value(index);
    std::string& buffer = buffers_[static_cast<std::size_t>(index)];
    buffer.clear();
    if (!raw)
        return buffer;
    if (columns_[static_cast<std::size_t>(index)].kind == Kind::Date) {
        if (const auto parsed = parseIsoStart(raw)) {
            buffer = FormatDmy(*parsed);
            return buffer;
        }
    }
    AppendUtf8AsCp1251(raw, buffer);
    return TrimTrailingBlanks(buffer);
}

Date Record::date(int index)
{
    const char* raw = value(index);
    if (!raw)
        return ZeroDate;
    const std::string_view text = TrimBlanks(raw);
    if (text.empty())
        return ZeroDate;
    if (const auto iso = parseIsoStart(text))
        return *iso;
    if (const auto dmy = ParseDmy(text))
        return *dmy;
    fail("field " + columns_[static_cast<std::size_t>(index)].name + ": not a date: " + std::string(text));
}

std::int64_t Record::integer(int index)
{
    const char* raw = value(index);
    if (!raw || IsBlank(raw))
        return 0;
    try {
        return IntegerFromText(raw);
    } catch (const ConvertError& error) {
        fail("field " + columns_[static_cast<std::size_t>(index)].name + ": " + error.what());
    }
}

bool TextCell(const Column& column, std::string_view text, std::string_view owner, std::string& out)
{
    out.clear();
    if (column.kind == Kind::Text || column.kind == Kind::Other) {
        appendCut(column, text, out);
        return true;
    }
    if (IsBlank(text))
        return false;
    try {
        switch (column.kind) {
        case Kind::Integer: {
            const std::int64_t value = IntegerFromText(text);
            checkRange(column, value, owner);
            out = std::to_string(value);
            return true;
        }
        case Kind::Float: {
            std::array<char, 32> digits {};
            const auto end
                = std::to_chars(digits.data(), digits.data() + digits.size(), FloatFromText(text)).ptr;
            out.assign(digits.data(), end);
            return true;
        }
        default:
            out = FormatIso(DateFromText(text));
            return true;
        }
    } catch (const ConvertError& error) {
        refuse(owner, column, error.what());
    }
}

bool IntCell(const Column& column, std::int64_t value, std::string_view owner, std::string& out)
{
    out.clear();
    switch (column.kind) {
    case Kind::Integer:
        checkRange(column, value, owner);
        out = std::to_string(value);
        return true;
    case Kind::Date:
        refuse(owner, column, "a date field takes no number");
    case Kind::Text:
        appendCut(column, std::to_string(value), out);
        return true;
    default:
        out = std::to_string(value);
        return true;
    }
}

bool DateCell(const Column& column, Date value, std::string_view owner, std::string& out)
{
    out.clear();
    switch (column.kind) {
    case Kind::Date:
        if (value.isZero())
            return false;
        out = FormatIso(value);
        return true;
    case Kind::Text:
    case Kind::Other:
        appendCut(column, value.isZero() ? std::string() : FormatDmy(value), out);
        return true;
    default:
        refuse(owner, column, "a number field takes no date");
    }
}

namespace {

template <typename Value, typename Setter>
std::optional<std::string> cellOf(const Column& column, Value value, std::string_view owner, Setter set)
{
    std::string out;
    if (!set(column, value, owner, out))
        return std::nullopt;
    return out;
}

} // namespace

std::optional<std::string> CellFromText(const Column& column, std::string_view text, std::string_view owner)
{
    return cellOf(column, text, owner, TextCell);
}

std::optional<std::string> CellFromInt(const Column& column, std::int64_t value, std::string_view owner)
{
    return cellOf(column, value, owner, IntCell);
}

std::optional<std::string> CellFromDate(const Column& column, Date value, std::string_view owner)
{
    return cellOf(column, value, owner, DateCell);
}

} // namespace venqor::pg
