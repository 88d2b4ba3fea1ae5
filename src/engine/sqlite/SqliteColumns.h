#pragma once

#include "base/Dates.h"

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace venqor::sqlite {

// A row that Columns reads: a statement's current row, or a copy kept of one. Values are
// read as sqlite3_column_* reads them; text() of a NULL is empty.
class Row {
public:
    virtual int type(int index) const = 0;
    virtual std::int64_t integer(int index) const = 0;
    virtual double real(int index) const = 0;
    virtual std::string_view text(int index) const = 0;

protected:
    ~Row() = default;
};

// The current row of a statement.
class StatementRow final : public Row {
public:
    explicit StatementRow(sqlite3_stmt* statement)
        : statement_(statement)
    {
    }
    int type(int index) const override { return sqlite3_column_type(statement_, index); }
    std::int64_t integer(int index) const override { return sqlite3_column_int64(statement_, index); }
    double real(int index) const override { return sqlite3_column_double(statement_, index); }
    std::string_view text(int index) const override;

private:
    sqlite3_stmt* statement_;
};

// The columns of a statement's current row as the table engine reads them: texts in
// Windows-1251 without trailing blanks, dates from YYYY-MM-DD text (NULL or empty is the
// zero date; a date column reads as dd.mm.yyyy text), integers. Each column's text stays
// valid until the next row or the next read of that column.
class Columns {
public:
    struct Column {
        std::string name; // Windows-1251
        bool isDate = false;
    };

    // `owner` names the table or query in messages.
    void reset(std::vector<Column> columns, std::string owner);
    // The columns of a prepared statement's result.
    void resetFromStatement(sqlite3_stmt* statement, std::string owner);

    int size() const { return static_cast<int>(columns_.size()); }
    const Column& operator[](int index) const { return columns_[static_cast<std::size_t>(index)]; }
    int indexOf(std::string_view name) const;

    std::string_view text(const Row& row, int index);
    Date date(const Row& row, int index) const;
    std::int64_t integer(const Row& row, int index) const;
    std::string_view text(sqlite3_stmt* row, int index) { return text(StatementRow(row), index); }
    Date date(sqlite3_stmt* row, int index) const { return date(StatementRow(row), index); }
    std::int64_t integer(sqlite3_stmt* row, int index) const { return integer(StatementRow(row), index); }

private:
    void check(int index) const;
    std::string fieldName(int index) const;

    std::vector<Column> columns_;
    std::vector<std::string> buffers_;
    std::string owner_;
};

// Whether a declared column type is a date ("DATE", "DATETIME", ...).
bool IsDateType(std::string_view declaredType);

} // namespace venqor::sqlite
