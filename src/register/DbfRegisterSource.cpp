#include "register/RegisterSource.h"

#include "scan/CodePage.h"
#include "scan/Errors.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <shapefil.h>

namespace venqor {

namespace {

// shapelib reaches the file system and reports through hooks without context; one
// dBASE file is opened at a time per thread.
thread_local std::string shapelibError;
thread_local const std::string* openingPath = nullptr;

void keepShapelibError(const char* message)
{
    shapelibError = message;
}

// shapelib looks for NAME.dbf and NAME.DBF only, and for a NAME.cpg beside it: open the
// file as named, whatever the case of its extension, and take its code page from its
// language driver byte alone.
SAFile openAsNamed(const char* name, const char* access)
{
    const std::string_view asked(name);
    if (asked.size() >= 4 && (asked.ends_with(".cpg") || asked.ends_with(".CPG")))
        return nullptr;
    return reinterpret_cast<SAFile>(std::fopen(openingPath->c_str(), access));
}

unsigned readLe(const unsigned char* p, int bytes)
{
    unsigned v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | p[i];
    return v;
}

// The facts of the fixed file header, checked against the file's size.
struct DbfHeader {
    std::int64_t records = 0;
    unsigned headerLength = 0;
    unsigned recordLength = 0;
    unsigned char languageDriver = 0;
};

DbfHeader readHeader(const std::string& path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        throw IoError(path + ": cannot open the file (" + std::strerror(errno) + ")");
    const auto size = static_cast<std::int64_t>(in.tellg());
    unsigned char h[32] = {};
    in.seekg(0);
    in.read(reinterpret_cast<char*>(h), sizeof h);
    const auto damaged
        = [&](const std::string& why) { return IoError(path + ": damaged dBASE header (" + why + ")"); };
    if (in.gcount() < static_cast<std::streamsize>(sizeof h))
        throw damaged("the file is shorter than a header");
    const unsigned version = h[0];
    if ((version & 0x07) != 3 && version != 0x30 && version != 0x31 && version != 0x32 && version != 0xF5)
        throw damaged("unknown version byte " + std::to_string(version));
    DbfHeader header { readLe(h + 4, 4), readLe(h + 8, 2), readLe(h + 10, 2), h[29] };
    if (header.headerLength < 33 || header.headerLength > size)
        throw damaged("header length " + std::to_string(header.headerLength));
    if (header.recordLength < 1)
        throw damaged("record length 0");
    if (header.headerLength + header.records * header.recordLength > size)
        throw damaged(std::to_string(header.records) + " records of " + std::to_string(header.recordLength)
            + " bytes do not fit in a file of " + std::to_string(size) + " bytes");
    return header;
}

struct DbfField {
    std::string name;
    char type;
    int offset;
    int width;
};

class DbfRegisterSource final : public RegisterSource {
public:
    explicit DbfRegisterSource(const std::string& path)
        : path_(path)
        , header_(readHeader(path))
    {
        SAHooks hooks;
        SASetupDefaultHooks(&hooks);
        hooks.Error = keepShapelibError;
        hooks.FOpen = openAsNamed;
        shapelibError.clear();
        openingPath = &path_;
        handle_ = DBFOpenLL(path.c_str(), "rb", &hooks);
        openingPath = nullptr;
        if (!handle_)
            throw IoError(path + ": damaged dBASE header ("
                + (shapelibError.empty() ? "shapelib refuses it" : shapelibError) + ")");
        int offset = 1; // after the deletion flag
        for (int i = 0; i < DBFGetFieldCount(handle_); ++i) {
            char name[XBASE_FLDNAME_LEN_READ + 1] = {};
            int width = 0;
            DBFGetFieldInfo(handle_, i, name, &width, nullptr);
            fields_.push_back({ name, DBFGetNativeFieldType(handle_, i), offset, width });
            columns_.push_back(name);
            offset += width;
        }
        if (static_cast<unsigned>(offset) != header_.recordLength) {
            DBFClose(handle_);
            throw IoError(path + ": damaged dBASE header (fields of " + std::to_string(offset)
                + " bytes in records of " + std::to_string(header_.recordLength) + ")");
        }
        // 101 and 38 are the language drivers of code page 866; 201 (and anything else,
        // including none) is taken as Windows-1251, the page of this office's tables.
        cp866_ = header_.languageDriver == 0x65 || header_.languageDriver == 0x26;
    }
    ~DbfRegisterSource() override { DBFClose(handle_); }

    const std::vector<std::string>& columns() const override { return columns_; }

    void requireColumn(std::size_t index) const override
    {
        const char type = fields_[index].type;
        if (type != 'C' && type != 'N' && type != 'F' && type != 'D')
            throw ConvertError(path_ + ": field " + columns_[index] + " is of type " + std::string(1, type)
                + "; the import takes C, N and D fields");
    }

    bool next(std::vector<std::string>& values) override
    {
        for (;;) {
            if (record_ >= header_.records)
                return false;
            shapelibError.clear();
            const char* tuple = DBFReadTuple(handle_, static_cast<int>(record_++));
            if (!tuple)
                throw IoError(where() + ": cannot read the record (" + shapelibError + ")");
            if (tuple[0] == '*')
                continue; // a deleted record is no longer part of the table
            values.resize(fields_.size());
            for (std::size_t i = 0; i < fields_.size(); ++i)
                values[i] = fieldText(fields_[i], tuple);
            return true;
        }
    }

    std::string where() const override
    {
        return record_ == 0 ? path_ + ", header" : path_ + ", record " + std::to_string(record_);
    }
    std::int64_t done() const override { return record_; }
    std::int64_t total() const override { return header_.records; }

private:
    std::string fieldText(const DbfField& field, const char* tuple) const
    {
        std::string_view text(tuple + field.offset, static_cast<std::size_t>(field.width));
        while (!text.empty() && (text.back() == ' ' || text.back() == '\0'))
            text.remove_suffix(1);
        if (field.type != 'C') {
            while (!text.empty() && text.front() == ' ')
                text.remove_prefix(1);
            return std::string(text);
        }
        if (!cp866_)
            return std::string(text);
        std::string converted = Cp866ToCp1251(text);
        if (std::count(converted.begin(), converted.end(), UnmappableCp1251)
            != std::count(text.begin(), text.end(), UnmappableCp1251))
            throw ConvertError(
                where() + ": field " + field.name + " holds a character that has no place in Windows-1251");
        return converted;
    }

    std::string path_;
    DbfHeader header_;
    DBFHandle handle_ = nullptr;
    std::vector<DbfField> fields_;
    std::vector<std::string> columns_;
    bool cp866_ = false;
    std::int64_t record_ = 0; // records read so far; the last one read is number record_
};

} // namespace

std::unique_ptr<RegisterSource> OpenDbfRegister(const std::string& path)
{
    return std::make_unique<DbfRegisterSource>(path);
}

} // namespace venqor
