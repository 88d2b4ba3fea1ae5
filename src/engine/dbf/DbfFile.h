#pragma once

#include "engine/TableEngine.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace venqor::dbf {

// A field as the file declares it: the definition it reads as, and its place in a record.
struct Field {
    FieldDef def;
    char nativeType = 'C'; // the file's type letter: C, N, F, D, L, M, ...
    int width = 0;
    int decimals = 0;
    std::size_t offset = 0; // in a record, after its deletion flag
};

// One dBASE III file, opened through shapelib; this is the only code of the program that
// includes shapelib's header. The file is named exactly (shapelib itself would rebuild the
// name from its stem with ".dbf" or ".DBF"), its code page comes from its language driver
// byte alone (a .cpg file beside it is not read), and its header is checked against the
// file's size before shapelib reads it. Failures are TableErrors naming the file.
class File {
public:
    // An existing file, for writing too when `writable` and the file allows it.
    static std::unique_ptr<File> Open(const std::string& path, bool writable);
    // A new file with these fields (names already fit for dBASE), replacing any file of that
    // name; texts in Windows-1251 (language driver 201). Messages name it `shownAs` (the
    // table a temporary file is written for), `path` when that is empty.
    static std::unique_ptr<File> Create(
        const std::string& path, const std::vector<Field>& fields, const std::string& shownAs = {});

    // Closes the file; a failure to write out is only reported by close().
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    const std::string& path() const { return path_; }
    // The file as messages name it, the start of every message about it.
    const std::string& owner() const { return owner_; }
    const std::vector<Field>& fields() const { return fields_; }
    // Texts are kept in code page 866 (language drivers 101 and 38), else in Windows-1251.
    bool cp866() const { return cp866_; }

    std::int64_t recordCount() const;
    // The bytes of a record, its deletion flag ('*' for deleted) first; valid until the
    // next call.
    std::string_view record(std::int64_t index);
    // Appends a record of values already formatted to their fields' widths; an empty
    // value is written as blanks. IoError when the file cannot be written.
    void append(const std::vector<std::string>& values);

    // The date of last change written in the header when the file is closed.
    void setLastModified(Date date);
    // Writes out what is pending and closes the file; IoError when that fails.
    void close();

private:
    struct Handle;
    File(const std::string& path, const std::string& owner);
    void readFields();

    std::string path_;
    std::string owner_;
    std::unique_ptr<Handle> handle_;
    std::vector<Field> fields_;
    std::size_t recordLength_ = 0;
    bool cp866_ = false;
    std::string tuple_; // the record being appended
};

} // namespace venqor::dbf
