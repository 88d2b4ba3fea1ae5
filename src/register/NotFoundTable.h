#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace venqor {

class Database;
class Table;

// The table ANKT of the people whose numbers the register lacks: ANKT.DB in a directory,
// created with its layout when it holds no such table (an existing one is never replaced):
//   NUM integer (unique primary index), FAM text 25, NAM text 20, OTCH text 20,
//   BIRTH date, COND text 1, SEX text 1, DATMOD date.
// The people of a run are kept in memory and written at its end in one short write
// transaction, so that runs collecting into the same table at once all keep their rows
// (each waits for the other's transaction), and a run that stops half way adds none.
class NotFoundTable {
public:
    // Opens (and when missing creates) ANKT.DB in `dir`; TableError when it cannot.
    explicit NotFoundTable(const std::filesystem::path& dir);
    ~NotFoundTable();
    NotFoundTable(const NotFoundTable&) = delete;
    NotFoundTable& operator=(const NotFoundTable&) = delete;

    // Keeps a person for the table (texts Windows-1251, cut to the field widths when
    // written; the birth date as dd.mm.yyyy or empty).
    void Add(std::int32_t num, std::string_view fam, std::string_view nam, std::string_view otch,
        std::string_view birth, std::string_view sex);

    struct Outcome {
        std::int64_t stored = 0;
        std::int64_t alreadyThere = 0; // numbers the table held already: left out
        std::int64_t refused = 0;      // rows the table would not take
        std::string firstRefusal;      // why the first of them was refused (UTF-8)
    };
    // Writes the people kept; TableError when the table cannot be written at all, and then
    // none of them is stored.
    Outcome Commit();

private:
    struct Person {
        std::int32_t num;
        std::string fam, nam, otch, birth, sex;
    };

    std::unique_ptr<Database> database_;
    std::unique_ptr<Table> table_;
    int fields_[6] = {};
    std::vector<Person> people_;
};

} // namespace venqor
