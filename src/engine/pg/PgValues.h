#pragma once

#include "engine/TableEngine.h"
#include "engine/pg/PgConnection.h"
#include "base/Dates.h"

#include <cstdint>

namespace venqor::pg {

// A column of a table or of a statement's result.
struct Column {
    std::string name; // Windows-1251
    Oid type = 0;
    Kind kind = Kind::Other;
    int width = 0; // characters of a varchar/char column; 0 for no limit
};

// The column a table created from a field definition has (see SqlType).
Column ColumnOf(const FieldDef& field);

// The columns of a result (a described statement or a lookup).
std::vector<Column> ResultColumns(const PGresult* result);

// The current row of a result, read as tables and queries are read: texts in Windows-1251
// without trailing blanks, a NULL date as the zero date, a NULL number as 0. Messages of
// its errors start with `owner` (the location and the table or statement).
class Record {
public:
    explicit Record(std::string owner)
        : owner_(std::move(owner))
    {
    }

    const std::string& owner() const { return owner_; }
    void setColumns(std::vector<Column> columns)
    {
        columns_ = std::move(columns);
        buffers_.assign(columns_.size(), std::string());
    }
    const std::vector<Column>& columns() const { return columns_; }

    // The first row of `result` becomes current (none when it is empty).
    void setResult(Result result);
    // The same for a result kept elsewhere, which must outlive its reading.
    void viewResult(const PGresult* result);
    void clear() { setResult(nullptr); }
    bool hasRow() const { return current_ && PQntuples(current_) > 0; }

    int fieldIndex(std::string_view name) const;
    std::string_view text(int index);
    Date date(int index);
    std::int64_t integer(int index);

    [[noreturn]] void fail(std::string_view text) const;

private:
    // The value of the current row, or nullptr for NULL.
    const char* value(int index) const;

    std::string owner_;
    std::vector<Column> columns_;
    Result result_;
    const PGresult* current_ = nullptr; // result_, or a result viewed
    std::vector<std::string>
        buffers_; // one per field: a text read stays valid until that field is read again
};

// Values in PostgreSQL's text form for a column, set from the program's values; nothing is
// NULL. A value the column cannot take raises a TableError starting with `owner`.
// Texts are cut to the column's width; numbers are read with the decimal point "."; dates
// from dd.mm.yyyy; an empty text leaves a number or date empty.
std::optional<std::string> CellFromText(const Column& column, std::string_view text, std::string_view owner);
// The same into `out` (emptied first, keeping its buffer), for loading many rows; false
// for NULL.
bool TextCell(const Column& column, std::string_view text, std::string_view owner, std::string& out);
bool IntCell(const Column& column, std::int64_t value, std::string_view owner, std::string& out);
bool DateCell(const Column& column, Date value, std::string_view owner, std::string& out);
std::optional<std::string> CellFromInt(const Column& column, std::int64_t value, std::string_view owner);
std::optional<std::string> CellFromDate(const Column& column, Date value, std::string_view owner);

} // namespace venqor::pg
