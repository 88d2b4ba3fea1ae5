#include "engine/dbf/DbfRecord.h"

#include "engine/dbf/DbfEngine.h"

#include "base/CodePage.h"
#include "base/Errors.h"
#include "base/FieldText.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace venqor::dbf {

namespace {

constexpr int maxTextWidth = 254;
constexpr int maxFieldWidth = 255; // a field's width is one byte of its descriptor
constexpr int integerWidth = 11;
// A float field given no width is sized for a text of 10 characters: N(20,9), the widest
// number dBASE III readers take.
constexpr int defaultFloatText = 10;

// Windows-1251 to code page 866 through Unicode, for appending to a file kept in 866.
char toCp866(char c)
{
    static const std::array<char, 128> table = [] {
        std::array<char, 128> result {};
        result.fill(UnmappableCp1251);
        for (std::size_t b1251 = 0; b1251 < 128; ++b1251)
            for (std::size_t b866 = 0; b866 < 128; ++b866)
                if (Cp1251ToUnicodeTable[b1251] == Cp866ToUnicodeTable[b866])
                    result[b1251] = static_cast<char>(0x80 + b866);
        return result;
    }();
    const auto b = static_cast<unsigned char>(c);
    return b < 0x80 ? c : table[b - 0x80];
}

// YYYYMMDD.
void putDate(std::string& bytes, Date date)
{
    const Ymd ymd = DateToYmd(date);
    int value = ymd.year * 10000 + ymd.month * 100 + ymd.day;
    bytes.assign(8, '0');
    for (int i = 7; i >= 0; --i, value /= 10)
        bytes[static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
}

} // namespace

std::vector<Field> Layout(const std::vector<FieldDef>& defs, const std::string& owner)
{
    if (defs.empty())
        throw TableError(owner + ": a table needs at least one field");
    std::vector<Field> fields;
    for (const FieldDef& def : defs) {
        Field field;
        field.def = def;
        field.def.name = def.name.substr(0, DbfFieldNameLength);
        for (const Field& earlier : fields)
            if (SameName(earlier.def.name, field.def.name))
                throw TableError(owner + ": field \"" + def.name + "\" is \"" + field.def.name
                    + "\" in dBASE, like an earlier field");
        switch (def.type) {
        case FieldType::Text:
            if (def.size < 1 || def.size > maxTextWidth)
                throw TableError(owner + ": text field \"" + def.name + "\" of width "
                    + std::to_string(def.size) + " (dBASE takes 1 to 254)");
            field.width = def.size;
            break;
        case FieldType::Integer:
            field.nativeType = 'N';
            field.width = integerWidth;
            break;
        case FieldType::Float: {
            // Every number written in at most `text` characters without an exponent keeps all
            // its digits: up to `text` before the point, up to `text` - 1 after it (as far as
            // a field's width allows, half of it each side of the point).
            const int text = def.size > 0 ? def.size : defaultFloatText;
            field.nativeType = 'N';
            field.decimals = std::clamp(text - 1, 1, (maxFieldWidth - 1) / 2);
            field.width = std::min(text + 1 + field.decimals, maxFieldWidth);
            break;
        }
        case FieldType::Date:
            field.nativeType = 'D';
            field.width = 8;
            break;
        }
        field.def.size = field.width;
        fields.push_back(field);
    }
    return fields;
}

PendingRecord::PendingRecord(const File& file)
    : file_(file)
{
}

void PendingRecord::insert()
{
    values_.resize(file_.fields().size());
    for (std::string& value : values_)
        value.clear(); // keeps its room for the next record
    active_ = true;
}

const Field& PendingRecord::field(int index) const
{
    if (!active_)
        throw TableError(file_.owner() + ": no record inserted");
    if (index < 0 || index >= static_cast<int>(file_.fields().size()))
        throw TableError(file_.owner() + ": no field number " + std::to_string(index + 1));
    return file_.fields()[static_cast<std::size_t>(index)];
}

void PendingRecord::set(int index, std::string_view text)
{
    const Field& f = field(index);
    std::string& bytes = values_[static_cast<std::size_t>(index)];
    try {
        switch (f.def.type) {
        case FieldType::Text:
            bytes.assign(text.substr(0, static_cast<std::size_t>(f.width)));
            for (char& c : bytes)
                c = c == '\0' ? ' ' : file_.cp866() ? toCp866(c) : c;
            return;
        case FieldType::Integer:
            bytes = IsBlank(text) ? std::string() : number(f, IntegerFromText(text));
            return;
        case FieldType::Float:
            bytes = IsBlank(text) ? std::string() : number(f, FloatFromText(text));
            return;
        case FieldType::Date:
            if (IsBlank(text))
                bytes.clear();
            else
                putDate(bytes, DateFromText(text));
            return;
        }
    } catch (const ConvertError& error) {
        throw ConvertError(file_.owner() + ", field \"" + f.def.name + "\": " + error.what());
    }
}

void PendingRecord::set(int index, std::int64_t value)
{
    const Field& f = field(index);
    std::string& bytes = values_[static_cast<std::size_t>(index)];
    try {
        switch (f.def.type) {
        case FieldType::Text:
            set(index, std::to_string(value));
            return;
        case FieldType::Integer:
            bytes = number(f, value);
            return;
        case FieldType::Float:
            bytes = number(f, static_cast<double>(value));
            return;
        case FieldType::Date:
            break;
        }
    } catch (const ConvertError& error) {
        throw ConvertError(file_.owner() + ", field \"" + f.def.name + "\": " + error.what());
    }
    throw ConvertError(file_.owner() + ", field \"" + f.def.name + "\": a number is not a date");
}

void PendingRecord::set(int index, Date value)
{
    const Field& f = field(index);
    std::string& bytes = values_[static_cast<std::size_t>(index)];
    if (f.def.type == FieldType::Date && value.isZero())
        bytes.clear();
    else if (f.def.type == FieldType::Date)
        putDate(bytes, value);
    else if (f.def.type == FieldType::Text)
        set(index, value.isZero() ? std::string() : FormatDmy(value));
    else
        throw ConvertError(file_.owner() + ", field \"" + f.def.name + "\": a date is not a number");
}

const std::vector<std::string>& PendingRecord::take()
{
    if (!active_)
        throw TableError(file_.owner() + ": no record to post");
    active_ = false;
    return values_;
}

std::string PendingRecord::number(const Field& field, std::int64_t value) const
{
    if (field.decimals > 0)
        return number(field, static_cast<double>(value));
    return fitted(field, std::to_string(value));
}

std::string PendingRecord::number(const Field& field, double value) const
{
    // The shortest text that reads back as the value, padded to the field's decimals: the
    // digits the data file wrote, not those of the binary fraction nearest to them. Digits
    // beyond the field's decimals or width would be lost: such a value is refused.
    char text[400]; // the widest double, the smallest one, has 326 characters in fixed form
    const auto fixed = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    std::string digits(text, fixed.ptr);
    const std::size_t point = digits.find('.');
    const auto decimals = static_cast<int>(point == std::string::npos ? 0 : digits.size() - point - 1);
    if (fixed.ec == std::errc() && decimals <= field.decimals) {
        if (point == std::string::npos && field.decimals > 0)
            digits += '.';
        digits.append(static_cast<std::size_t>(field.decimals - decimals), '0');
        if (digits.size() <= static_cast<std::size_t>(field.width))
            return fitted(field, digits);
    }
    const auto shortest = std::to_chars(text, text + sizeof text, value);
    throw ConvertError(std::string(text, shortest.ptr) + " does not fit the field N("
        + std::to_string(field.width) + "," + std::to_string(field.decimals) + ")");
}

std::string PendingRecord::fitted(const Field& field, const std::string& text) const
{
    const auto width = static_cast<std::size_t>(field.width);
    if (text.size() > width)
        throw ConvertError("\"" + text + "\" is wider than the field (" + std::to_string(field.width) + ")");
    return std::string(width - text.size(), ' ') + text;
}

CurrentRecord::CurrentRecord(File& file)
    : file_(file)
    , texts_(file.fields().size())
{
}

bool CurrentRecord::read(std::int64_t index)
{
    bytes_ = {};
    const std::string_view bytes = file_.record(index);
    bytes_ = bytes;
    return bytes.front() != '*';
}

const Field& CurrentRecord::field(int index) const
{
    if (!active())
        throw TableError(file_.owner() + ": no current record");
    if (index < 0 || index >= static_cast<int>(file_.fields().size()))
        throw TableError(file_.owner() + ": no field number " + std::to_string(index + 1));
    return file_.fields()[static_cast<std::size_t>(index)];
}

std::string_view CurrentRecord::raw(const Field& field) const
{
    return bytes_.substr(field.offset, static_cast<std::size_t>(field.width));
}

std::string_view CurrentRecord::storedText(int index)
{
    const Field& f = field(index);
    std::string& text = texts_[static_cast<std::size_t>(index)];
    std::string_view bytes = raw(f);
    while (!bytes.empty() && (bytes.back() == ' ' || bytes.back() == '\0'))
        bytes.remove_suffix(1);
    if (f.nativeType != 'C')
        bytes = TrimBlanks(bytes);
    text.assign(bytes);
    std::replace(text.begin(), text.end(), '\0', ' ');
    if (!file_.cp866())
        return text;
    const std::string converted = Cp866ToCp1251(text);
    if (std::count(converted.begin(), converted.end(), UnmappableCp1251)
        != std::count(text.begin(), text.end(), UnmappableCp1251))
        throw ConvertError(
            file_.owner() + ", field " + f.def.name + ": a character that has no place in Windows-1251");
    text = converted;
    return text;
}

std::string_view CurrentRecord::text(int index)
{
    const Field& f = field(index);
    if (f.def.type == FieldType::Date) {
        const Date value = date(index);
        std::string& text = texts_[static_cast<std::size_t>(index)];
        text = value.isZero() ? std::string() : FormatDmy(value);
        return text;
    }
    return storedText(index);
}

Date CurrentRecord::date(int index)
{
    const Field& f = field(index);
    const std::string_view bytes = TrimBlanks(raw(f));
    if (bytes.empty() || bytes == "00000000")
        return ZeroDate;
    if (bytes.size() == 8
        && std::all_of(bytes.begin(), bytes.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        const auto ymd = IntegerFromText(bytes);
        if (const auto value = MakeDate(static_cast<int>(ymd / 10000), static_cast<int>(ymd / 100 % 100),
                static_cast<int>(ymd % 100)))
            return *value;
    }
    throw ConvertError(
        file_.owner() + ", field \"" + f.def.name + "\": \"" + std::string(bytes) + "\" is not a date");
}

std::int64_t CurrentRecord::integer(int index)
{
    const Field& f = field(index);
    const std::string_view bytes = raw(f);
    if (IsBlank(bytes))
        return 0;
    try {
        return IntegerFromText(bytes);
    } catch (const ConvertError& error) {
        throw ConvertError(file_.owner() + ", field \"" + f.def.name + "\": " + error.what());
    }
}

} // namespace venqor::dbf
