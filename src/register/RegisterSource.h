#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace venqor {

// The rows of a register file as texts, in Windows-1251, for the import.
class RegisterSource {
public:
    virtual ~RegisterSource() = default;

    // Names of the columns as the file gives them.
    virtual const std::vector<std::string>& columns() const = 0;
    // ConvertError naming the file when the import cannot take the column's values.
    virtual void requireColumn(std::size_t index) const = 0;
    // The next row, one text per column without trailing blanks; false at the end.
    // ConvertError naming the file and the place when the row cannot be read.
    virtual bool next(std::vector<std::string>& fields) = 0;
    // The file and the place of the row last read ("FILE, line 7"), or of the header
    // before the first row, for messages.
    virtual std::string where() const = 0;

    // How far the reading has come, in the source's own units.
    virtual std::int64_t done() const = 0;
    virtual std::int64_t total() const = 0;
};

// A CSV file in UTF-8 whose first line names the columns; comma separated (a semicolon
// when the header holds semicolons and no comma), fields optionally in double quotes with
// "" for a quote inside. IoError when it cannot be opened.
std::unique_ptr<RegisterSource> OpenCsvRegister(const std::string& path);

// A dBASE file, in code page 866 or Windows-1251 as its language driver byte tells, read
// through the table engine. TableError when it cannot be opened or its header is damaged.
std::unique_ptr<RegisterSource> OpenDbfRegister(const std::string& path);

} // namespace venqor
