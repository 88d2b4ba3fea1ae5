#pragma once

#include "scan/Dates.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace venqor {

// One register record; texts in Windows-1251 without trailing blanks, a zero date for none.
struct NumsRow {
    std::int32_t num = 0;
    std::string_view fam, nam, otch;
    Date birth;
    std::string_view cond, sex;
    Date datmod;
};

// Builds the register file DIR/NUMS.DB from scratch:
//   NUMS(NUM INTEGER PRIMARY KEY, FAM TEXT, NAM TEXT, OTCH TEXT, BIRTH DATE, COND TEXT,
//        SEX TEXT, DATMOD DATE) with an index on (FAM, NAM, OTCH, BIRTH);
// texts UTF-8, dates YYYY-MM-DD, a zero date NULL.
//
// The rows go into a temporary file beside the target, inside one transaction; commit()
// renames it over DIR/NUMS.DB. A writer destroyed before commit() removes its temporary
// file, so any earlier NUMS.DB stays as it was. DIR is created when missing.
class NumsFileWriter {
public:
    explicit NumsFileWriter(const std::string& dir);
    ~NumsFileWriter();
    NumsFileWriter(const NumsFileWriter&) = delete;
    NumsFileWriter& operator=(const NumsFileWriter&) = delete;

    // DIR/NUMS.DB.
    const std::string& target() const { return target_; }

    // False when the register already holds the number; TableError on any other failure.
    bool add(const NumsRow& row);
    // Builds the index, commits, and puts the file in place of the target.
    void commit();

private:
    void open();
    void exec(const char* sql);
    [[noreturn]] void fail(std::string_view what);
    void discard();

    std::string target_;
    std::string temp_;
    sqlite3* db_ = nullptr;
    sqlite3_stmt* insert_ = nullptr;
    std::array<std::string, 5> utf8_; // the texts of the row being added, converted
    bool committed_ = false;
};

} // namespace venqor
