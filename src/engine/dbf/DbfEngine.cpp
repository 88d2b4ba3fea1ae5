#include "engine/dbf/DbfEngine.h"

#include "scan/CodePage.h"
#include "scan/Errors.h"
#include "scan/FieldText.h"

#include <shapefil.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>

namespace venqor {

namespace {

namespace fs = std::filesystem;

constexpr int maxTextWidth = 254;
constexpr int integerWidth = 11;
constexpr int floatWidth = 19; // the widest number dBASE III readers take
constexpr int floatDecimals = 6;
constexpr std::size_t maxNameLength = XBASE_FLDNAME_LEN_WRITE;

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

std::uint32_t littleEndian(const unsigned char* bytes, int count)
{
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = value << 8 | bytes[i];
    return value;
}

// shapelib rebuilds a table's file name from its stem with ".dbf" or ".DBF"; its file hook
// opens the exact file of the table instead, for the duration of one open or create call.
thread_local const std::string* exactDbfPath = nullptr;

SAFile openExact(const char* filename, const char* access)
{
    static const SAHooks defaults = [] {
        SAHooks hooks;
        SASetupDefaultHooks(&hooks);
        return hooks;
    }();
    return defaults.FOpen(exactDbfPath && IsDbfName(filename) ? exactDbfPath->c_str() : filename, access);
}

template <class Call> DBFHandle withExactPath(const std::string& path, Call call)
{
    SAHooks hooks;
    SASetupDefaultHooks(&hooks);
    hooks.FOpen = openExact;
    exactDbfPath = &path;
    const DBFHandle handle = call(hooks);
    exactDbfPath = nullptr;
    return handle;
}

// A field of the file as this engine writes and reads it.
struct DbfField {
    FieldDef def;
    char nativeType = 'C';
    int width = 0;
    int decimals = 0;
    std::size_t offset = 0; // in the record, after its deletion flag
};

std::string rightAligned(const std::string& text, int width)
{
    return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + text;
}

class ShapelibTable final : public DbfTable {
public:
    ShapelibTable(const std::string& directory, const std::string& name)
        : name_(name)
        , path_(resolve(directory, name))
        , owner_("dBASE table \"" + path_ + "\"")
    {
    }

    ~ShapelibTable() override { close(); }

    const std::string& name() const override { return name_; }
    bool isOpen() const override { return handle_ != nullptr; }
    int fieldCount() const override { return static_cast<int>(fields_.size()); }

    void open() override
    {
        close();
        std::error_code ec;
        if (!fs::is_regular_file(path_, ec))
            throw TableError(owner_ + ": no such file");
        const std::uint32_t recordLength = checkHeader();
        for (const char* access : { "rb+", "rb" })
            if (!handle_)
                handle_ = withExactPath(
                    path_, [&](SAHooks& hooks) { return DBFOpenLL(path_.c_str(), access, &hooks); });
        if (!handle_)
            throw TableError(owner_ + ": cannot open: " + std::strerror(errno));
        readFields();
        std::size_t expected = 1;
        for (const auto& field : fields_)
            expected += static_cast<std::size_t>(field.width);
        if (fields_.empty() || expected != recordLength) {
            close();
            throw TableError(owner_ + ": damaged header (field list does not match the record length)");
        }
        const char* codePage = DBFGetCodePage(handle_);
        const std::string_view page = codePage ? codePage : "";
        cp866_ = page == "LDID/101" || page == "LDID/38" || page.find("866") != std::string_view::npos;
        stampToday();
    }

    void close() override
    {
        if (handle_)
            DBFClose(handle_);
        handle_ = nullptr;
        hasRow_ = false;
        pending_.clear();
    }

    void setIndexFields(std::string_view) override
    {
        throw TableError(owner_ + ": dBASE tables have no indexes");
    }
    bool findKey(std::int64_t) override { throw TableError(owner_ + ": dBASE tables have no indexes"); }
    bool findKey(std::string_view, std::string_view, std::string_view, Date) override
    {
        throw TableError(owner_ + ": dBASE tables have no indexes");
    }

    void create(const std::vector<FieldDef>& fields, std::string_view primaryKey) override
    {
        close();
        if (!primaryKey.empty())
            throw TableError(owner_ + ": dBASE tables have no indexes");
        if (fields.empty())
            throw TableError(owner_ + ": a table needs at least one field");
        std::vector<std::string> names;
        for (const auto& field : fields) {
            std::string cut = field.name.substr(0, maxNameLength);
            for (const auto& earlier : names)
                if (SameName(earlier, cut))
                    throw TableError(owner_ + ": field \"" + field.name + "\" is \"" + cut
                        + "\" in dBASE, like an earlier field");
            if (field.type == FieldType::Text && (field.size < 1 || field.size > maxTextWidth))
                throw TableError(owner_ + ": text field \"" + field.name + "\" of width "
                    + std::to_string(field.size) + " (dBASE takes 1 to 254)");
            names.push_back(std::move(cut));
        }

        removeCodePageFile();
        handle_ = withExactPath(
            path_, [&](SAHooks& hooks) { return DBFCreateLL(path_.c_str(), "LDID/201", &hooks); });
        if (!handle_)
            throw TableError(owner_ + ": cannot create: " + std::strerror(errno));
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const FieldDef& field = fields[i];
            int added = -1;
            switch (field.type) {
            case FieldType::Text:
                added = DBFAddField(handle_, names[i].c_str(), FTString, field.size, 0);
                break;
            case FieldType::Integer:
                added = DBFAddField(handle_, names[i].c_str(), FTInteger, integerWidth, 0);
                break;
            case FieldType::Float:
                added = DBFAddField(handle_, names[i].c_str(), FTDouble, floatWidth, floatDecimals);
                break;
            case FieldType::Date:
                added = DBFAddField(handle_, names[i].c_str(), FTDate, 8, 0);
                break;
            }
            if (added < 0) {
                close();
                throw TableError(owner_ + ": cannot add field \"" + field.name + "\"");
            }
        }
        stampToday();
        readFields();
        close();
    }

    void insert() override
    {
        requireOpen();
        pending_.assign(fields_.size(), std::string());
    }

    void setField(int index, std::string_view text) override
    {
        const DbfField& field = pendingField(index);
        std::string& bytes = pending_[static_cast<std::size_t>(index)];
        try {
            switch (field.def.type) {
            case FieldType::Text:
                bytes = text.substr(0, static_cast<std::size_t>(field.width));
                for (char& c : bytes)
                    c = c == '\0' ? ' ' : cp866_ ? toCp866(c) : c;
                return;
            case FieldType::Integer:
                bytes = IsBlank(text) ? std::string() : number(field, IntegerFromText(text));
                return;
            case FieldType::Float:
                bytes = IsBlank(text) ? std::string() : number(field, FloatFromText(text));
                return;
            case FieldType::Date:
                bytes = IsBlank(text) ? std::string() : dateBytes(DateFromText(text));
                return;
            }
        } catch (const ConvertError& error) {
            throw ConvertError(owner_ + ", field \"" + field.def.name + "\": " + error.what());
        }
    }

    void setField(int index, std::int64_t value) override
    {
        const DbfField& field = pendingField(index);
        std::string& bytes = pending_[static_cast<std::size_t>(index)];
        switch (field.def.type) {
        case FieldType::Text:
            setField(index, std::to_string(value));
            return;
        case FieldType::Integer:
            bytes = number(field, value);
            return;
        case FieldType::Float:
            bytes = number(field, static_cast<double>(value));
            return;
        case FieldType::Date:
            break;
        }
        throw ConvertError(owner_ + ", field \"" + field.def.name + "\": a number is not a date");
    }

    void setField(int index, Date value) override
    {
        const DbfField& field = pendingField(index);
        if (field.def.type == FieldType::Date)
            pending_[static_cast<std::size_t>(index)] = value.isZero() ? std::string() : dateBytes(value);
        else if (field.def.type == FieldType::Text)
            setField(index, value.isZero() ? std::string() : FormatDmy(value));
        else
            throw ConvertError(owner_ + ", field \"" + field.def.name + "\": a date is not a number");
    }

    void post() override
    {
        if (pending_.empty())
            throw TableError(owner_ + ": no record to post");
        const int record = DBFGetRecordCount(handle_);
        // Every value was formatted to its field's width by setField, so shapelib only
        // copies the bytes; an empty value is written as blanks (an empty date too).
        for (std::size_t i = 0; i < fields_.size(); ++i)
            if (!DBFWriteAttributeDirectly(handle_, record, static_cast<int>(i), pending_[i].data()))
                throw TableError(owner_ + ": cannot write field \"" + fields_[i].def.name + "\" of record "
                    + std::to_string(record + 1));
        pending_.clear();
    }

    void cancel() override { pending_.clear(); }

    std::int64_t recordCount() const override
    {
        requireOpen();
        return DBFGetRecordCount(handle_);
    }

    bool readRecord(std::int64_t index) override
    {
        requireOpen();
        hasRow_ = false;
        if (index < 0 || index >= DBFGetRecordCount(handle_))
            throw TableError(owner_ + ": no record " + std::to_string(index + 1));
        const int record = static_cast<int>(index);
        const char* bytes = DBFReadTuple(handle_, record);
        if (!bytes)
            throw TableError(owner_ + ": cannot read record " + std::to_string(index + 1));
        std::size_t length = 1;
        for (const auto& field : fields_)
            length += static_cast<std::size_t>(field.width);
        record_.assign(bytes, length);
        hasRow_ = true;
        return !DBFIsRecordDeleted(handle_, record);
    }

    int fieldIndex(std::string_view name) const override
    {
        requireOpen();
        for (std::size_t i = 0; i < fields_.size(); ++i)
            if (SameName(fields_[i].def.name, name))
                return static_cast<int>(i);
        throw TableError(owner_ + ": no field \"" + std::string(name) + "\"");
    }

    std::string_view fieldText(int index) override
    {
        const DbfField& field = currentField(index);
        std::string& text = texts_[static_cast<std::size_t>(index)];
        if (field.def.type == FieldType::Date) {
            const Date date = fieldDate(index);
            text = date.isZero() ? std::string() : FormatDmy(date);
            return text;
        }
        text = decoded(raw(field));
        const std::string_view view
            = field.def.type == FieldType::Text ? TrimTrailingBlanks(text) : TrimBlanks(text);
        return view;
    }

    Date fieldDate(int index) override
    {
        const DbfField& field = currentField(index);
        const std::string_view bytes = TrimBlanks(raw(field));
        if (bytes.empty() || bytes == "00000000")
            return ZeroDate;
        if (bytes.size() == 8) {
            try {
                const auto ymd = IntegerFromText(bytes);
                if (const auto date = MakeDate(static_cast<int>(ymd / 10000),
                        static_cast<int>(ymd / 100 % 100), static_cast<int>(ymd % 100)))
                    return *date;
            } catch (const ConvertError&) {
            }
        }
        throw ConvertError(
            owner_ + ", field \"" + field.def.name + "\": \"" + std::string(bytes) + "\" is not a date");
    }

    std::int64_t fieldInt(int index) override
    {
        const DbfField& field = currentField(index);
        const std::string_view bytes = raw(field);
        if (IsBlank(bytes))
            return 0;
        try {
            return IntegerFromText(bytes);
        } catch (const ConvertError& error) {
            throw ConvertError(owner_ + ", field \"" + field.def.name + "\": " + error.what());
        }
    }

private:
    static std::string resolve(const std::string& directory, const std::string& name)
    {
        const fs::path exact = fs::path(directory) / name;
        std::error_code ec;
        if (fs::exists(exact, ec))
            return exact.string();
        for (const auto& entry : fs::directory_iterator(exact.parent_path(), ec))
            if (SameName(entry.path().filename().string(), exact.filename().string()))
                return entry.path().string();
        return exact.string();
    }

    // Checks the sizes in the header against the file before shapelib reads it; returns
    // the record length.
    std::uint32_t checkHeader() const
    {
        unsigned char header[32];
        std::ifstream in(path_, std::ios::binary);
        if (!in.read(reinterpret_cast<char*>(header), sizeof header))
            throw TableError(owner_ + ": damaged header (the file is shorter than a header)");
        const std::uint64_t records = littleEndian(header + 4, 4);
        const std::uint32_t headerLength = littleEndian(header + 8, 2);
        const std::uint32_t recordLength = littleEndian(header + 10, 2);
        std::error_code ec;
        const std::uint64_t size = fs::file_size(path_, ec);
        if (headerLength < 65 || recordLength < 2 || size < headerLength + records * recordLength)
            throw TableError(owner_ + ": damaged header (its sizes do not match the file)");
        return recordLength;
    }

    void readFields()
    {
        fields_.clear();
        std::size_t offset = 1;
        const int count = DBFGetFieldCount(handle_);
        for (int i = 0; i < count; ++i) {
            char name[XBASE_FLDNAME_LEN_READ + 1] = {};
            int width = 0;
            int decimals = 0;
            DBFGetFieldInfo(handle_, i, name, &width, &decimals);
            DbfField field;
            field.nativeType = DBFGetNativeFieldType(handle_, i);
            field.width = width;
            field.decimals = decimals;
            field.offset = offset;
            field.def.name = name;
            field.def.size = width;
            if (field.nativeType == 'N' || field.nativeType == 'F')
                field.def.type = decimals == 0 ? FieldType::Integer : FieldType::Float;
            else if (field.nativeType == 'D')
                field.def.type = FieldType::Date;
            offset += static_cast<std::size_t>(width);
            fields_.push_back(field);
        }
        texts_.assign(fields_.size(), {});
    }

    void removeCodePageFile() const
    {
        // A code page file beside the table would override its language driver byte.
        std::error_code ec;
        for (const char* extension : { ".cpg", ".CPG" })
            fs::remove(fs::path(path_).replace_extension(extension), ec);
    }

    void stampToday()
    {
        const std::time_t now = std::time(nullptr);
        std::tm local {};
        localtime_r(&now, &local);
        DBFSetLastModifiedDate(handle_, local.tm_year, local.tm_mon + 1, local.tm_mday);
    }

    std::string number(const DbfField& field, std::int64_t value) const
    {
        if (field.decimals > 0)
            return number(field, static_cast<double>(value));
        return fitted(field, std::to_string(value));
    }

    std::string number(const DbfField& field, double value) const
    {
        char text[400];
        const auto result
            = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, field.decimals);
        if (result.ec != std::errc())
            throw ConvertError("a number too wide for the field (" + std::to_string(field.width) + ")");
        return fitted(field, std::string(text, result.ptr));
    }

    std::string fitted(const DbfField& field, const std::string& text) const
    {
        if (text.size() > static_cast<std::size_t>(field.width))
            throw ConvertError(
                "\"" + text + "\" is wider than the field (" + std::to_string(field.width) + ")");
        return rightAligned(text, field.width);
    }

    static std::string dateBytes(Date date)
    {
        const Ymd ymd = DateToYmd(date);
        char text[16];
        std::snprintf(text, sizeof text, "%04d%02d%02d", ymd.year, ymd.month, ymd.day);
        return text;
    }

    std::string_view raw(const DbfField& field) const
    {
        return std::string_view(record_).substr(field.offset, static_cast<std::size_t>(field.width));
    }

    std::string decoded(std::string_view bytes) const
    {
        std::string text(bytes);
        for (char& c : text)
            if (c == '\0')
                c = ' ';
        return cp866_ ? Cp866ToCp1251(text) : text;
    }

    void requireOpen() const
    {
        if (!handle_)
            throw TableError(owner_ + ": the table is not open");
    }

    const DbfField& pendingField(int index) const
    {
        if (pending_.empty())
            throw TableError(owner_ + ": no record inserted");
        if (index < 0 || index >= fieldCount())
            throw TableError(owner_ + ": no field number " + std::to_string(index + 1));
        return fields_[static_cast<std::size_t>(index)];
    }

    const DbfField& currentField(int index) const
    {
        if (!hasRow_)
            throw TableError(owner_ + ": no current record");
        if (index < 0 || index >= fieldCount())
            throw TableError(owner_ + ": no field number " + std::to_string(index + 1));
        return fields_[static_cast<std::size_t>(index)];
    }

    std::string name_;
    std::string path_;
    std::string owner_;
    DBFHandle handle_ = nullptr;
    bool cp866_ = false;
    std::vector<DbfField> fields_;
    std::vector<std::string> pending_;
    std::string record_;
    std::vector<std::string> texts_;
    bool hasRow_ = false;
};

} // namespace

bool IsDbfName(std::string_view name)
{
    return name.size() >= 4 && SameName(name.substr(name.size() - 4), ".dbf");
}

std::unique_ptr<DbfTable> MakeDbfTable(const std::string& directory, const std::string& name)
{
    return std::make_unique<ShapelibTable>(directory, name);
}

} // namespace venqor
