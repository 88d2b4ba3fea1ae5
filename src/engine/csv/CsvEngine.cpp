#include "engine/csv/CsvEngine.h"

#include "base/CodePage.h"
#include "base/CsvField.h"
#include "base/Errors.h"
#include "base/FieldText.h"
#include "scan/TextFile.h"

#include <filesystem>

namespace venqor {

namespace {

class CsvLoader final : public TableLoader {
public:
    CsvLoader(const std::string& directory, const std::string& name, const std::vector<FieldDef>& fields)
        : path_((std::filesystem::path(directory) / name).string())
        , fields_(fields)
    {
        if (fields_.empty())
            throw TableError(path_ + ": a table needs at least one field");
        try {
            file_ = std::make_unique<OutTextFile>(path_);
        } catch (const IoError& error) {
            throw TableError(error.what());
        }
        std::string header = "\xEF\xBB\xBF";
        for (std::size_t i = 0; i < fields_.size(); ++i) {
            if (i > 0)
                header += ',';
            AppendCsvField(header, Cp1251ToUtf8(fields_[i].name));
        }
        write(header);
    }

    void insert() override
    {
        values_.assign(fields_.size(), std::string());
        pending_ = true;
    }

    void setField(int index, std::string_view text) override
    {
        const FieldDef& def = field(index);
        std::string& value = values_[static_cast<std::size_t>(index)];
        try {
            switch (def.type) {
            case FieldType::Text:
                value
                    = Cp1251ToUtf8(def.size > 0 ? text.substr(0, static_cast<std::size_t>(def.size)) : text);
                return;
            case FieldType::Integer:
                value = IsBlank(text) ? std::string() : std::to_string(IntegerFromText(text));
                return;
            case FieldType::Float:
                // Checked, then kept as written, with every digit it has.
                if (!IsBlank(text))
                    static_cast<void>(FloatFromText(text));
                value = TrimBlanks(text);
                return;
            case FieldType::Date:
                value = IsBlank(text) ? std::string() : FormatDmy(DateFromText(text));
                return;
            }
        } catch (const ConvertError& error) {
            throw ConvertError(path_ + ", field \"" + def.name + "\": " + error.what());
        }
    }

    void setField(int index, std::int64_t value) override
    {
        const FieldDef& def = field(index);
        if (def.type == FieldType::Date)
            throw ConvertError(path_ + ", field \"" + def.name + "\": a number is not a date");
        setField(index, std::string_view(std::to_string(value)));
    }

    void setField(int index, Date value) override
    {
        const FieldDef& def = field(index);
        if (def.type != FieldType::Date && def.type != FieldType::Text)
            throw ConvertError(path_ + ", field \"" + def.name + "\": a date is not a number");
        values_[static_cast<std::size_t>(index)] = value.isZero() ? std::string() : FormatDmy(value);
    }

    bool post() override
    {
        if (!pending_)
            throw TableError(path_ + ": no record to post");
        pending_ = false;
        line_.clear();
        for (std::size_t i = 0; i < values_.size(); ++i) {
            if (i > 0)
                line_ += ',';
            AppendCsvField(line_, values_[i]);
        }
        write(line_);
        return true;
    }

    void cancel() override { pending_ = false; }

    void commit() override { file_->Commit(); }

private:
    const FieldDef& field(int index) const
    {
        if (!pending_)
            throw TableError(path_ + ": no record inserted");
        if (index < 0 || index >= static_cast<int>(fields_.size()))
            throw TableError(path_ + ": no field number " + std::to_string(index + 1));
        return fields_[static_cast<std::size_t>(index)];
    }

    void write(const std::string& line)
    {
        file_->Write(line);
        file_->WriteLineEnd();
    }

    std::string path_;
    std::vector<FieldDef> fields_;
    std::unique_ptr<OutTextFile> file_;
    std::vector<std::string> values_;
    std::string line_;
    bool pending_ = false;
};

} // namespace

bool IsCsvName(std::string_view name)
{
    return name.size() >= 4 && SameName(name.substr(name.size() - 4), ".csv");
}

std::unique_ptr<TableLoader> LoadCsvTable(
    const std::string& directory, const std::string& name, const std::vector<FieldDef>& fields)
{
    return std::make_unique<CsvLoader>(directory, name, fields);
}

} // namespace venqor
