#pragma once

#include "engine/TableEngine.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace venqor {

// dBASE III tables (NAME.dbf) through shapelib. Files this engine creates hold their texts in
// Windows-1251 (language driver byte 0xC9); files marked for code page 866 (0x65, 0x26) are
// read and appended in that page. Fields: text C of the field's width (1..254), integer
// N(11,0), float N(2w,w-1) for texts of at most w characters (see dbf::Layout), date D
// (YYYYMMDD, an empty date as blanks). Names are cut to the 10 characters dBASE allows.
// dBASE files have no indexes: setIndexFields and findKey raise TableError. A failed write
// of the file is an IoError.
class DbfTable : public Table {
public:
    // Records are read one by one in file order.
    virtual std::int64_t recordCount() const = 0;
    // Makes record `index` (from 0) current; false when it is marked deleted.
    virtual bool readRecord(std::int64_t index) = 0;
};

// The date a file records as its last change when it is created or written.
using DbfClock = std::function<Date()>;
// Today by the local clock.
Date LocalToday();

// The longest field name dBASE allows; longer names are cut.
inline constexpr std::size_t DbfFieldNameLength = 10;

// Whether a table name names a dBASE file: it ends in .dbf, in any case.
bool IsDbfName(std::string_view name);

// The table object of the file `name` in `directory`, not yet opened.
std::unique_ptr<DbfTable> MakeDbfTable(
    const std::string& directory, const std::string& name, DbfClock clock = LocalToday);

// A new file `name` in `directory`, written under a temporary name beside it and put in
// its place by commit(). dBASE files have no indexes: a primary key or an index is refused.
std::unique_ptr<TableLoader> LoadDbfTable(const std::string& directory, const std::string& name,
    const std::vector<FieldDef>& fields, DbfClock clock = LocalToday);

// The file at `path`, only read, record by record.
std::unique_ptr<TableFileReader> ReadDbfFile(const std::string& path);

} // namespace venqor
