#pragma once

#include "engine/dbf/DbfFile.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace venqor::dbf {

// The fields this engine writes for a table's definitions: text C of the field's width
// (1..254), integer N(11,0), float N(2w,w-1) for a float whose texts have at most w
// characters (FieldDef::size; 10 when not given), date D. Names are cut to the 10 characters
// dBASE allows; TableError (naming `owner`) when two become equal or a width is out of range.
std::vector<Field> Layout(const std::vector<FieldDef>& defs, const std::string& owner);

// A record being built: each value formatted to its field's width as it is set, in the
// file's code page. A value the field cannot take is a ConvertError naming the field.
class PendingRecord {
public:
    explicit PendingRecord(const File& file);

    bool active() const { return active_; }
    void insert();
    void set(int index, std::string_view text);
    void set(int index, std::int64_t value);
    void set(int index, Date value);
    // The values, to be appended; the record is no longer pending.
    const std::vector<std::string>& take();
    void cancel() { active_ = false; }

private:
    const Field& field(int index) const;
    std::string number(const Field& field, std::int64_t value) const;
    std::string number(const Field& field, double value) const;
    std::string fitted(const Field& field, const std::string& text) const;

    const File& file_;
    std::vector<std::string> values_;
    bool active_ = false;
};

// The values of the record last read from a file.
class CurrentRecord {
public:
    explicit CurrentRecord(File& file);

    // Makes record `index` current; false when it is marked deleted.
    bool read(std::int64_t index);
    bool active() const { return !bytes_.empty(); }
    void clear() { bytes_ = {}; }

    // The bytes as stored, in Windows-1251: texts without trailing blanks, the other fields
    // without blanks around them. ConvertError when a text of a code page 866 file holds a
    // character that Windows-1251 lacks.
    std::string_view storedText(int index);
    // Text as the engine reads it: dates as dd.mm.yyyy ("" when empty).
    std::string_view text(int index);
    // An empty date (blanks or zeros) is the zero date; ConvertError for any other non-date.
    Date date(int index);
    std::int64_t integer(int index);

private:
    const Field& field(int index) const;
    std::string_view raw(const Field& field) const;

    File& file_;
    std::string_view bytes_;
    std::vector<std::string> texts_;
};

} // namespace venqor::dbf
