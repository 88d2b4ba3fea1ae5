#include "engine/dbf/DbfEngine.h"

#include "base/Errors.h"
#include "base/FieldText.h"
#include "base/FileNames.h"
#include "base/ReplacingFile.h"
#include "engine/dbf/DbfFile.h"
#include "engine/dbf/DbfRecord.h"

#include <ctime>
#include <filesystem>
#include <optional>
#include <utility>

namespace venqor {

namespace {

namespace fs = std::filesystem;

// The file of a table name in a directory.
std::string resolve(const std::string& directory, const std::string& name)
{
    return FileInAnyLatinCase(directory, name).string();
}

// A code page file beside a table would override its language driver byte for readers
// that look for one.
void removeCodePageFile(const std::string& path)
{
    std::error_code ec;
    for (const char* extension : { ".cpg", ".CPG" })
        fs::remove(fs::path(path).replace_extension(extension), ec);
}

[[noreturn]] void noIndexes(const std::string& owner)
{
    throw TableError(owner + ": dBASE tables have no indexes");
}

class ShapelibTable final : public DbfTable {
public:
    ShapelibTable(const std::string& directory, const std::string& name, DbfClock clock)
        : name_(name)
        , path_(resolve(directory, name))
        , clock_(std::move(clock))
    {
    }

    const std::string& name() const override { return name_; }
    bool isOpen() const override { return file_ != nullptr; }
    int fieldCount() const override { return file_ ? static_cast<int>(file_->fields().size()) : 0; }

    void open() override
    {
        close();
        file_ = dbf::File::Open(path_, true);
        file_->setLastModified(clock_());
        pending_.emplace(*file_);
        current_.emplace(*file_);
    }

    void close() override
    {
        pending_.reset();
        current_.reset();
        if (file_)
            std::exchange(file_, nullptr)->close();
    }

    void setIndexFields(std::string_view) override { noIndexes(path_); }
    bool findKey(std::int64_t) override { noIndexes(path_); }
    bool findKey(std::string_view, std::string_view, std::string_view, Date) override { noIndexes(path_); }

    void create(const std::vector<FieldDef>& fields, std::string_view primaryKey) override
    {
        close();
        if (!primaryKey.empty())
            noIndexes(path_);
        const std::vector<dbf::Field> layout = dbf::Layout(fields, path_);
        removeCodePageFile(path_);
        const auto file = dbf::File::Create(path_, layout);
        file->setLastModified(clock_());
        file->close();
    }

    void insert() override { pending().insert(); }
    void setField(int index, std::string_view text) override { pending().set(index, text); }
    void setField(int index, std::int64_t value) override { pending().set(index, value); }
    void setField(int index, Date value) override { pending().set(index, value); }
    void post() override { file_->append(pending().take()); }
    void cancel() override
    {
        if (pending_)
            pending_->cancel();
    }

    std::int64_t recordCount() const override
    {
        requireOpen();
        return file_->recordCount();
    }

    bool readRecord(std::int64_t index) override
    {
        requireOpen();
        return current_->read(index);
    }

    int fieldIndex(std::string_view name) const override
    {
        requireOpen();
        const auto& fields = file_->fields();
        for (std::size_t i = 0; i < fields.size(); ++i)
            if (SameName(fields[i].def.name, name))
                return static_cast<int>(i);
        throw TableError(path_ + ": no field \"" + std::string(name) + "\"");
    }

    std::string_view fieldText(int index) override { return current().text(index); }
    Date fieldDate(int index) override { return current().date(index); }
    std::int64_t fieldInt(int index) override { return current().integer(index); }

private:
    void requireOpen() const
    {
        if (!file_)
            throw TableError(path_ + ": the table is not open");
    }
    dbf::PendingRecord& pending()
    {
        requireOpen();
        return *pending_;
    }
    dbf::CurrentRecord& current()
    {
        requireOpen();
        return *current_;
    }

    std::string name_;
    std::string path_;
    DbfClock clock_;
    std::unique_ptr<dbf::File> file_;
    std::optional<dbf::PendingRecord> pending_;
    std::optional<dbf::CurrentRecord> current_;
};

class DbfLoader final : public TableLoader {
public:
    DbfLoader(const std::string& directory, const std::string& name, const std::vector<FieldDef>& fields,
        const DbfClock& clock)
        : target_(resolve(directory, name))
    {
        const std::vector<dbf::Field> layout = dbf::Layout(fields, target_);
        replacement_ = std::make_unique<ReplacingFile>(target_);
        if (replacement_->direct())
            throw TableError(target_ + ": a table is a file, not a device");
        file_ = dbf::File::Create(replacement_->path().string(), layout, target_);
        file_->setLastModified(clock());
        pending_.emplace(*file_);
    }

    void insert() override { pending_->insert(); }
    void setField(int index, std::string_view text) override { pending_->set(index, text); }
    void setField(int index, std::int64_t value) override { pending_->set(index, value); }
    void setField(int index, Date value) override { pending_->set(index, value); }
    bool post() override
    {
        file_->append(pending_->take());
        return true;
    }
    void cancel() override { pending_->cancel(); }

    void commit() override
    {
        if (!file_)
            throw TableError(target_ + ": the table is already in place");
        pending_.reset();
        std::exchange(file_, nullptr)->close();
        removeCodePageFile(target_);
        replacement_->commit();
    }

private:
    std::string target_;
    std::unique_ptr<ReplacingFile> replacement_; // outlives the file written into it
    std::unique_ptr<dbf::File> file_;
    std::optional<dbf::PendingRecord> pending_;
};

class DbfFileReader final : public TableFileReader {
public:
    explicit DbfFileReader(const std::string& path)
        : file_(dbf::File::Open(path, false))
        , current_(*file_)
        , count_(file_->recordCount())
    {
        for (const dbf::Field& field : file_->fields())
            fields_.push_back({ field.def.name, field.nativeType });
    }

    const std::vector<StoredField>& fields() const override { return fields_; }

    bool next() override
    {
        while (position_ < count_)
            if (current_.read(position_++))
                return true;
        current_.clear();
        return false;
    }

    std::string_view storedText(int index) override { return current_.storedText(index); }
    std::int64_t position() const override { return position_; }
    std::int64_t recordCount() const override { return count_; }

private:
    std::unique_ptr<dbf::File> file_;
    dbf::CurrentRecord current_;
    std::int64_t count_;
    std::int64_t position_ = 0;
    std::vector<StoredField> fields_;
};

} // namespace

Date LocalToday()
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    return *MakeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

bool IsDbfName(std::string_view name)
{
    return name.size() >= 4 && SameName(name.substr(name.size() - 4), ".dbf");
}

std::unique_ptr<DbfTable> MakeDbfTable(const std::string& directory, const std::string& name, DbfClock clock)
{
    return std::make_unique<ShapelibTable>(directory, name, std::move(clock));
}

std::unique_ptr<TableLoader> LoadDbfTable(const std::string& directory, const std::string& name,
    const std::vector<FieldDef>& fields, DbfClock clock)
{
    return std::make_unique<DbfLoader>(directory, name, fields, clock);
}

std::unique_ptr<TableFileReader> ReadDbfFile(const std::string& path)
{
    return std::make_unique<DbfFileReader>(path);
}

} // namespace venqor
