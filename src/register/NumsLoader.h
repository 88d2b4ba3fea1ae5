#pragma once

#include "engine/TableEngine.h"
#include "base/Dates.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace venqor {

// One register record; texts in Windows-1251 without trailing blanks, a zero date for none.
struct NumsRow {
    std::int32_t num = 0;
    std::string_view fam, nam, otch;
    Date birth;
    std::string_view cond, sex;
    Date datmod;
};

// Builds the register table NUMS anew in a location (a directory, sqlite:FILE or a
// postgresql:// URI):
//   NUMS(NUM integer primary key, FAM, NAM, OTCH text, BIRTH date, COND, SEX text,
//        DATMOD date) with an index on (FAM, NAM, OTCH, BIRTH) that carries COND, SEX
// and DATMOD too, so that a lookup by name and birth date is one descent.
// The new table takes the place of the old one only by commit(); a loader destroyed
// before leaves the old register as it was. TableError (IoError for files) when the
// location cannot take the table.
class NumsLoader {
public:
    explicit NumsLoader(const std::string& location);

    // False when the register already holds the number.
    bool add(const NumsRow& row);
    void commit();

private:
    std::unique_ptr<Database> database_;
    std::unique_ptr<TableLoader> loader_;
};

} // namespace venqor
