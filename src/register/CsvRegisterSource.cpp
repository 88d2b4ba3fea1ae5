#include "register/RegisterSource.h"

#include "base/FieldText.h"

#include "base/CodePage.h"
#include "base/Errors.h"
#include "scan/TextFile.h"

#include <algorithm>

namespace venqor {

namespace {

constexpr int End = -1;

class CsvRegisterSource final : public RegisterSource {
public:
    explicit CsvRegisterSource(const std::string& path)
        : path_(path)
        , source_(OpenFileSource(path))
        , total_(static_cast<std::int64_t>(FileSize(path)))
        , buffer_(1 << 18)
    {
        if (fill() && std::string_view(buffer_.data(), end_).starts_with("\xEF\xBB\xBF"))
            pos_ = 3; // byte order mark
        chooseDelimiter();
        std::vector<std::string> header;
        if (!readRecord(header))
            throw ConvertError(path_ + ", line 1: the file is empty; its first line must name the columns");
        for (std::string& name : header) {
            name = Utf8ToCp1251(TrimBlanks(name));
            columns_.push_back(name);
        }
    }

    const std::vector<std::string>& columns() const override { return columns_; }
    void requireColumn(std::size_t) const override { }

    bool next(std::vector<std::string>& fields) override
    {
        if (!readRecord(raw_))
            return false;
        if (raw_.size() != columns_.size())
            throw ConvertError(where() + ": " + std::to_string(raw_.size())
                + " fields where the header names " + std::to_string(columns_.size()) + " columns");
        fields.resize(raw_.size());
        for (std::size_t i = 0; i < raw_.size(); ++i) {
            std::string& text = fields[i];
            text.clear();
            AppendUtf8AsCp1251(raw_[i], text);
            // Invalid UTF-8 and characters outside Windows-1251 come out as the unmappable mark.
            if (std::count(text.begin(), text.end(), UnmappableCp1251)
                != std::count(raw_[i].begin(), raw_[i].end(), UnmappableCp1251))
                throw ConvertError(where() + ": column " + columns_[i]
                    + " holds a character that is not UTF-8 or has no place in Windows-1251");
            while (!text.empty() && text.back() == ' ')
                text.pop_back();
        }
        return true;
    }

    std::string where() const override { return path_ + ", line " + std::to_string(recordLine_); }
    std::int64_t done() const override { return consumed_ + static_cast<std::int64_t>(pos_); }
    std::int64_t total() const override { return total_; }

private:
    bool fill()
    {
        consumed_ += static_cast<std::int64_t>(end_);
        pos_ = 0;
        end_ = source_->read(buffer_.data(), buffer_.size());
        return end_ > 0;
    }
    int get()
    {
        if (pos_ == end_ && !fill())
            return End;
        return static_cast<unsigned char>(buffer_[pos_++]);
    }
    int peek()
    {
        if (pos_ == end_ && !fill())
            return End;
        return static_cast<unsigned char>(buffer_[pos_]);
    }

    // A semicolon separates the fields when the first line holds one and no comma.
    void chooseDelimiter()
    {
        std::string_view first(buffer_.data() + pos_, end_ - pos_);
        first = first.substr(0, first.find_first_of("\r\n"));
        if (first.find(',') == std::string_view::npos && first.find(';') != std::string_view::npos)
            delimiter_ = ';';
    }

    // One record, which may run over several lines inside quotes; empty lines are skipped.
    bool readRecord(std::vector<std::string>& fields)
    {
        int c = get();
        while (c == '\r' || c == '\n') {
            endLine(c);
            c = get();
        }
        if (c == End)
            return false;
        recordLine_ = line_;
        fields.clear();
        for (;;) {
            std::string& field = fields.emplace_back();
            if (c == '"') {
                for (;;) {
                    c = get();
                    if (c == End)
                        throw ConvertError(where() + ": a quoted field is not closed");
                    if (c == '"') {
                        if (peek() != '"') {
                            c = get();
                            break;
                        }
                        get();
                    } else if (c == '\n') {
                        ++line_;
                    }
                    field += static_cast<char>(c);
                }
                if (c != delimiter_ && c != '\r' && c != '\n' && c != End)
                    throw ConvertError(path_ + ", line " + std::to_string(line_)
                        + ": text after the closing quote of a field");
            } else {
                while (c != delimiter_ && c != '\r' && c != '\n' && c != End) {
                    field += static_cast<char>(c);
                    c = get();
                }
            }
            if (c != delimiter_)
                break;
            c = get();
        }
        endLine(c);
        return true;
    }

    // Takes a line end: CR LF, LF or a lone CR.
    void endLine(int c)
    {
        if (c == End)
            return;
        if (c == '\r' && peek() == '\n')
            get();
        ++line_;
    }

    std::string path_;
    std::unique_ptr<ByteSource> source_;
    std::int64_t total_;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    std::int64_t consumed_ = 0;
    char delimiter_ = ',';
    std::int64_t line_ = 1;
    std::int64_t recordLine_ = 1;
    std::vector<std::string> columns_;
    std::vector<std::string> raw_;
};

} // namespace

std::unique_ptr<RegisterSource> OpenCsvRegister(const std::string& path)
{
    return std::make_unique<CsvRegisterSource>(path);
}

} // namespace venqor
