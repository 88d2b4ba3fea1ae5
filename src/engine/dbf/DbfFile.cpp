#include "engine/dbf/DbfFile.h"

#include "engine/dbf/BufferedFile.h"

#include "base/Errors.h"
#include "base/FieldText.h"

#include <shapefil.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace venqor::dbf {

namespace {

namespace fs = std::filesystem;

// shapelib reaches files and reports through hooks without context: the message of the
// last failure on this thread, and the exact file name for the duration of one open or
// create call. Files go through BufferedFile.
thread_local std::string shapelibError;
thread_local const std::string* exactPath = nullptr;

void keepError(const char* message)
{
    shapelibError = message;
}

bool endsWith(std::string_view name, std::string_view extension)
{
    return name.size() >= extension.size()
        && SameName(name.substr(name.size() - extension.size()), extension);
}

BufferedFile* file(SAFile handle)
{
    return reinterpret_cast<BufferedFile*>(handle);
}

SAFile openExact(const char* name, const char* access)
{
    if (endsWith(name, ".cpg"))
        return nullptr; // the language driver byte alone tells the code page
    return reinterpret_cast<SAFile>(
        BufferedFile::Open(exactPath && endsWith(name, ".dbf") ? *exactPath : name, access));
}

SAOffset readFile(void* data, SAOffset size, SAOffset count, SAFile handle)
{
    return file(handle)->read(data, size, count);
}

SAOffset writeFile(void* data, SAOffset size, SAOffset count, SAFile handle)
{
    return file(handle)->write(data, size, count);
}

SAOffset seekFile(SAFile handle, SAOffset offset, int whence)
{
    return static_cast<SAOffset>(file(handle)->seek(offset, whence));
}

SAOffset tellFile(SAFile handle)
{
    return file(handle)->tell();
}

int flushFile(SAFile handle)
{
    return file(handle)->flush();
}

// shapelib does not look at the result of a close, which writes out what is buffered: a
// failure is kept for File::close to report.
int closeFile(SAFile handle)
{
    const int result = file(handle)->close();
    if (result != 0 && shapelibError.empty())
        shapelibError = std::strerror(errno);
    return result;
}

// The hooks for one call, with the exact path set while it runs.
class ExactHooks {
public:
    explicit ExactHooks(const std::string& path)
    {
        SASetupDefaultHooks(&hooks_);
        hooks_.FOpen = openExact;
        hooks_.FRead = readFile;
        hooks_.FWrite = writeFile;
        hooks_.FSeek = seekFile;
        hooks_.FTell = tellFile;
        hooks_.FFlush = flushFile;
        hooks_.FClose = closeFile;
        hooks_.Error = keepError;
        shapelibError.clear();
        exactPath = &path;
    }
    ~ExactHooks() { exactPath = nullptr; }
    ExactHooks(const ExactHooks&) = delete;
    ExactHooks& operator=(const ExactHooks&) = delete;
    SAHooks* get() { return &hooks_; }

private:
    SAHooks hooks_;
};

std::string reason()
{
    if (!shapelibError.empty())
        return shapelibError;
    return errno ? std::strerror(errno) : "shapelib refuses it";
}

std::uint32_t littleEndian(const unsigned char* bytes, int count)
{
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = value << 8 | bytes[i];
    return value;
}

// The facts of the fixed file header, checked against the file's size.
struct Header {
    std::int64_t records = 0;
    std::uint32_t headerLength = 0;
    std::uint32_t recordLength = 0;
    unsigned char languageDriver = 0;
};

Header readHeader(const std::string& path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        throw TableError(path + ": cannot open the file (" + std::strerror(errno) + ")");
    const auto size = static_cast<std::int64_t>(in.tellg());
    unsigned char h[32] = {};
    in.seekg(0);
    in.read(reinterpret_cast<char*>(h), sizeof h);
    const auto damaged
        = [&](const std::string& why) { return TableError(path + ": damaged dBASE header (" + why + ")"); };
    if (in.gcount() < static_cast<std::streamsize>(sizeof h))
        throw damaged("the file is shorter than a header");
    const unsigned version = h[0];
    if ((version & 0x07) != 3 && version != 0x30 && version != 0x31 && version != 0x32 && version != 0xF5)
        throw damaged("unknown version byte " + std::to_string(version));
    const Header header { littleEndian(h + 4, 4), littleEndian(h + 8, 2), littleEndian(h + 10, 2), h[29] };
    if (header.headerLength < 33 || header.headerLength > size)
        throw damaged("header length " + std::to_string(header.headerLength));
    if (header.recordLength < 1)
        throw damaged("record length 0");
    if (header.headerLength + header.records * header.recordLength > size)
        throw damaged(std::to_string(header.records) + " records of " + std::to_string(header.recordLength)
            + " bytes do not fit in a file of " + std::to_string(size) + " bytes");
    return header;
}

struct CloseDbf {
    void operator()(DBFHandle handle) const { DBFClose(handle); }
};

} // namespace

struct File::Handle {
    std::unique_ptr<DBFInfo, CloseDbf> dbf;
};

File::File(const std::string& path, const std::string& owner)
    : path_(path)
    , owner_(owner)
    , handle_(std::make_unique<Handle>())
{
}

File::~File() = default;

std::unique_ptr<File> File::Open(const std::string& path, bool writable)
{
    std::unique_ptr<File> file(new File(path, path));
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        throw TableError(path + ": no such file");
    const Header header = readHeader(path);
    for (const char* access : { "rb+", "rb" }) {
        if (file->handle_->dbf || (!writable && access[2] == '+'))
            continue;
        errno = 0;
        ExactHooks hooks(path);
        file->handle_->dbf.reset(DBFOpenLL(path.c_str(), access, hooks.get()));
    }
    if (!file->handle_->dbf)
        throw TableError(path + ": damaged dBASE header (" + reason() + ")");
    file->readFields();
    if (file->fields_.empty())
        throw TableError(path + ": the table has no fields");
    if (file->recordLength_ != header.recordLength)
        throw TableError(path + ": damaged dBASE header (fields of " + std::to_string(file->recordLength_)
            + " bytes in records of " + std::to_string(header.recordLength) + ")");
    // 101 and 38 are the language drivers of code page 866; 201 (and anything else,
    // including none) is taken as Windows-1251, the page of this office's tables.
    file->cp866_ = header.languageDriver == 0x65 || header.languageDriver == 0x26;
    return file;
}

std::unique_ptr<File> File::Create(
    const std::string& path, const std::vector<Field>& fields, const std::string& shownAs)
{
    std::unique_ptr<File> file(new File(path, shownAs.empty() ? path : shownAs));
    {
        errno = 0;
        ExactHooks hooks(path);
        file->handle_->dbf.reset(DBFCreateLL(path.c_str(), "LDID/201", hooks.get()));
    }
    if (!file->handle_->dbf)
        throw TableError(file->owner_ + ": cannot create (" + reason() + ")");
    for (const Field& field : fields)
        if (DBFAddNativeFieldType(file->handle_->dbf.get(), field.def.name.c_str(), field.nativeType,
                field.width, field.decimals)
            < 0)
            throw TableError(
                file->owner_ + ": cannot add the field \"" + field.def.name + "\" (" + reason() + ")");
    file->readFields();
    return file;
}

void File::readFields()
{
    DBFHandle dbf = handle_->dbf.get();
    fields_.clear();
    std::size_t offset = 1;
    const int count = DBFGetFieldCount(dbf);
    for (int i = 0; i < count; ++i) {
        char name[XBASE_FLDNAME_LEN_READ + 1] = {};
        int width = 0;
        int decimals = 0;
        DBFGetFieldInfo(dbf, i, name, &width, &decimals);
        Field field;
        field.nativeType = DBFGetNativeFieldType(dbf, i);
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
    recordLength_ = offset;
}

std::int64_t File::recordCount() const
{
    return DBFGetRecordCount(handle_->dbf.get());
}

std::string_view File::record(std::int64_t index)
{
    if (index < 0 || index >= recordCount())
        throw TableError(owner_ + ": no record " + std::to_string(index + 1));
    shapelibError.clear();
    const char* bytes = DBFReadTuple(handle_->dbf.get(), static_cast<int>(index));
    if (!bytes)
        throw TableError(
            owner_ + ", record " + std::to_string(index + 1) + ": cannot read it (" + reason() + ")");
    return { bytes, recordLength_ };
}

void File::append(const std::vector<std::string>& values)
{
    tuple_.assign(recordLength_, ' ');
    for (std::size_t i = 0; i < fields_.size() && i < values.size(); ++i)
        tuple_.replace(fields_[i].offset, values[i].size(), values[i]);
    const int index = DBFGetRecordCount(handle_->dbf.get());
    shapelibError.clear();
    errno = 0;
    // Records reach the file through a buffer: the bytes that failed may be earlier ones.
    if (!DBFWriteTuple(handle_->dbf.get(), index, tuple_.data()))
        throw IoError(owner_ + ", record " + std::to_string(index + 1) + ": cannot write the file ("
            + (errno ? std::strerror(errno) : reason()) + ")");
}

void File::setLastModified(Date date)
{
    const Ymd ymd = DateToYmd(date);
    DBFSetLastModifiedDate(handle_->dbf.get(), ymd.year - 1900, ymd.month, ymd.day);
}

void File::close()
{
    shapelibError.clear();
    errno = 0;
    handle_->dbf.reset();
    if (!shapelibError.empty())
        throw IoError(owner_ + ": cannot write the file (" + shapelibError + ")");
}

} // namespace venqor::dbf
