#include "scan/Schema.h"

#include "scan/ScanCSV.h"
#include "scan/TextFile.h"

#include <algorithm>
#include <cassert>
#include <climits>

namespace venqor {

namespace {

// The tokenizer options a schema is read with: identifiers in the strict sense and no
// recoding. Put back to the usual ones in every case, a failure included.
class SchemaScanOptions {
public:
    SchemaScanOptions()
    {
        Scan.Options.StrictIdent = true;
        Scan.Options.RecodeOem = false;
    }
    ~SchemaScanOptions()
    {
        Scan.Options.StrictIdent = false;
        Scan.Options.RecodeOem = true;
    }
    SchemaScanOptions(const SchemaScanOptions&) = delete;
    SchemaScanOptions& operator=(const SchemaScanOptions&) = delete;
};

std::string readWholeFile(const std::string& path)
{
    const auto source = OpenFileSource(path);
    std::string content;
    char block[1 << 16];
    while (const std::size_t n = source->read(block, sizeof block))
        content.append(block, n);
    return content;
}

// Schema keywords and names are matched without regard to Latin case only.
std::string upperLatin(std::string_view text)
{
    std::string upper(text);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

TFieldKind kindOfTypeWord(std::string_view word)
{
    if (word == "NUMBER" || word == "INTEGER" || word == "LONGINT" || word == "INT")
        return fkInteger;
    if (word == "FLOAT")
        return fkFloat;
    if (word == "DATE")
        return fkDate;
    return fkText;
}

// The next item of a field line; a lone punctuation character standing before it is
// skipped.
void nextItem()
{
    NextToken();
    if (Scan.TokenKind == tkChar)
        NextToken();
}

int integerItemOrZero()
{
    return Scan.TokenKind == tkInteger ? Scan.TokenInt : 0;
}

// FIELDn = name, type, width, decimals, offset
void parseFieldLine(TFieldList& fields)
{
    NextToken();
    if (Scan.TokenText != "=")
        return;
    NextToken();
    const std::string name = upperLatin(Scan.TokenText);
    nextItem();
    if (upperLatin(Scan.TokenText) == "LONG")
        NextToken();
    const TFieldKind kind = kindOfTypeWord(upperLatin(Scan.TokenText));
    nextItem();
    // A width that is missing or not an integer counts as 0, like the offset: the field
    // is kept (its name can be found) and its value is always empty.
    const int width = integerItemOrZero();
    nextItem(); // decimals, not used
    nextItem();
    const int offset = integerItemOrZero();
    AddField(fields, name, kind, offset, width);
}

// The value of a FILETYPE or CHARSET line: the second token after the keyword.
std::string keyValue()
{
    NextToken();
    NextToken();
    return upperLatin(Scan.TokenText);
}

void parseLine(std::string_view line, TFieldList& fields)
{
    SetLineBuf(line);
    RewindLine();
    NextToken();
    const std::string word = upperLatin(Scan.TokenText);
    if (word.starts_with("FIELD"))
        parseFieldLine(fields);
    else if (word == "FILETYPE")
        fields.Fixed = keyValue() == "FIXED";
    else if (word == "CHARSET")
        fields.Cyrillic = keyValue() == "CYRR";
}

int clampToInt(long long value)
{
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

} // namespace

void LoadSchema(const std::string& path, TFieldList& fields)
{
    ClearFields(fields);
    const SchemaScanOptions options;
    const std::string content = readWholeFile(path);

    // Lines end at CR, LF or CR LF.
    std::size_t pos = 0;
    while (pos < content.size()) {
        const std::size_t end = std::min(content.find_first_of("\r\n", pos), content.size());
        parseLine(std::string_view(content).substr(pos, end - pos), fields);
        pos = end + 1;
        if (end < content.size() && content[end] == '\r' && pos < content.size() && content[pos] == '\n')
            ++pos;
    }
}

std::string_view FieldValue(const TFieldList& fields, int i)
{
    assert(i >= 0 && i < fields.Count);
    const TFieldItem& item = fields.Items[i];
    std::string_view value = CopyLineBuf(
        clampToInt(item.Start + 1LL), clampToInt(item.Stop - static_cast<long long>(item.Start)));
    while (!value.empty() && static_cast<unsigned char>(value.back()) <= 32)
        value.remove_suffix(1);
    return value;
}

void TakeFieldValue(std::string& target, const TFieldList& fields, int i, std::size_t length)
{
    target.assign(FieldValue(fields, i).substr(0, length));
}

std::string YmdToDmy(std::string_view src)
{
    const std::string_view text = src.substr(0, 10);
    // The text compares lower than or equal to a single blank.
    if (text.empty() || text == " " || static_cast<unsigned char>(text.front()) < ' ')
        return {};
    const auto part = [text](std::size_t pos, std::size_t count) {
        return pos < text.size() ? text.substr(pos, count) : std::string_view {};
    };
    std::string dst;
    dst.append(part(8, 2)).append(".").append(part(5, 2)).append(".").append(part(0, 4));
    if (dst.front() == ' ')
        return {};
    return dst;
}

} // namespace venqor
