#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>

namespace venqor {

class Database;
class Table;

// The table ANKT of the people whose numbers the register lacks: ANKT.DB in a directory,
// created with its layout when the file is missing:
//   NUM integer (unique primary index), FAM text 25, NAM text 20, OTCH text 20,
//   BIRTH date, COND text 1, SEX text 1, DATMOD date.
// Rows are added inside one write transaction, each under its own savepoint, and kept by
// Commit(); a table never committed keeps none of them.
class NotFoundTable {
public:
    // Opens (and when missing creates) ANKT.DB in `dir`; TableError when it cannot.
    explicit NotFoundTable(const std::filesystem::path& dir);
    ~NotFoundTable();
    NotFoundTable(const NotFoundTable&) = delete;
    NotFoundTable& operator=(const NotFoundTable&) = delete;

    // Adds a person (texts Windows-1251, cut to the field widths; the birth date as
    // dd.mm.yyyy or empty). False when the table refuses the row: a number already in it,
    // a birth date it cannot take.
    bool Add(std::int32_t num, std::string_view fam, std::string_view nam, std::string_view otch,
        std::string_view birth, std::string_view sex);
    // Keeps the rows added; TableError when they could not be written.
    void Commit();

private:
    std::unique_ptr<Database> database_;
    std::unique_ptr<Table> table_;
    int fields_[6] = {};
};

} // namespace venqor
