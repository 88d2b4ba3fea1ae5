#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace venqor {
class Database;
}

namespace venqor::test {

// A person of a test register; texts in UTF-8 (Windows-1251 in the register).
struct RegisterPerson {
    std::int64_t num;
    const char* fam;
    const char* nam;
    const char* otch;
    const char* birth; // dd.mm.yyyy, "" for none
    const char* cond;
};

// What a test register looks like besides its people.
struct RegisterLayout {
    bool withCond = true;   // the field COND
    bool primaryKey = true; // NUM as its unique primary key
};

// Writes the table NUMS with these people into a database through the table engine:
// NUM integer, FAM, NAM, OTCH text 40, BIRTH date, COND text 1, SEX text 1, DATMOD date.
// No index besides the primary key: a test adds the ones it needs.
void WriteNums(Database& database, std::span<const RegisterPerson> people, RegisterLayout layout = {});

// The same into the directory `dir` (NUMS.DB).
void WriteNums(const std::string& dir, std::span<const RegisterPerson> people, RegisterLayout layout = {});

} // namespace venqor::test
