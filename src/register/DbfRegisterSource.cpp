#include "register/RegisterSource.h"

#include "engine/TableEngine.h"
#include "base/Errors.h"

namespace venqor {

namespace {

// A dBASE register read through the table engine, record by record in file order.
class DbfRegisterSource final : public RegisterSource {
public:
    explicit DbfRegisterSource(const std::string& path)
        : path_(path)
        , file_(ReadTableFile(path))
    {
        for (const StoredField& field : file_->fields())
            columns_.push_back(field.name);
    }

    const std::vector<std::string>& columns() const override { return columns_; }

    void requireColumn(std::size_t index) const override
    {
        const char type = file_->fields()[index].type;
        if (type != 'C' && type != 'N' && type != 'F' && type != 'D')
            throw ConvertError(path_ + ": field " + columns_[index] + " is of type " + std::string(1, type)
                + "; the import takes C, N and D fields");
    }

    bool next(std::vector<std::string>& values) override
    {
        if (!file_->next())
            return false;
        values.resize(columns_.size());
        for (std::size_t i = 0; i < columns_.size(); ++i)
            values[i] = file_->storedText(static_cast<int>(i));
        return true;
    }

    std::string where() const override
    {
        const std::int64_t record = file_->position();
        return record == 0 ? path_ + ", header" : path_ + ", record " + std::to_string(record);
    }
    std::int64_t done() const override { return file_->position(); }
    std::int64_t total() const override { return file_->recordCount(); }

private:
    std::string path_;
    std::unique_ptr<TableFileReader> file_;
    std::vector<std::string> columns_;
};

} // namespace

std::unique_ptr<RegisterSource> OpenDbfRegister(const std::string& path)
{
    return std::make_unique<DbfRegisterSource>(path);
}

} // namespace venqor
