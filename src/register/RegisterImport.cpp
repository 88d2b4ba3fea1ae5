#include "register/RegisterImport.h"

#include "base/CodePage.h"
#include "base/Errors.h"
#include "base/FieldText.h"
#include "register/NumsLoader.h"
#include "register/RegisterSource.h"
#include "register/StrNum.h"

#include <algorithm>
#include <array>
#include <optional>

namespace venqor {

namespace {

enum Column { Num, Fam, Nam, Otch, Birth, Cond, Sex, Datmod, ColumnCount };
constexpr std::array<std::string_view, ColumnCount> columnNames
    = { "NUM", "FAM", "NAM", "OTCH", "BIRTH", "COND", "SEX", "DATMOD" };
constexpr int requiredColumns = Birth + 1; // NUM to BIRTH; the others may be missing

constexpr std::int64_t progressEvery = 4096; // rows

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A value of the row for a message, which speaks UTF-8 like the file names in it.
std::string quoted(std::string_view text)
{
    return "\"" + Cp1251ToUtf8(text) + "\"";
}

// A body of up to nine digits (a dBASE number field may add a fraction of zeros), or the
// whole number: three groups of three digits and the two check digits, each group joined
// to the next by a hyphen, a blank or nothing.
std::int32_t parseNum(std::string_view field, const std::string& where)
{
    const std::string_view text = TrimBlanks(field);
    const std::string_view body = text.substr(0, text.find('.'));
    const std::string_view fraction = text.substr(body.size());
    const bool plainBody = !body.empty() && body.size() <= 9 && std::all_of(body.begin(), body.end(), isDigit)
        && (fraction.empty() || fraction.find_first_not_of('0', 1) == std::string_view::npos);

    std::string digits;
    if (plainBody) {
        digits = body;
    } else {
        std::size_t i = 0;
        for (const std::size_t group : { 3, 3, 3, 2 }) {
            if (!digits.empty() && i < text.size() && (text[i] == '-' || text[i] == ' '))
                ++i;
            for (std::size_t k = 0; k < group; ++k, ++i) {
                if (i >= text.size() || !isDigit(text[i]))
                    throw ConvertError(where + ": bad number " + quoted(field) + " in NUM");
                digits += text[i];
            }
        }
        if (i != text.size())
            throw ConvertError(where + ": bad number " + quoted(field) + " in NUM");
    }
    const std::int32_t value = std::stoi(digits.substr(0, 9));
    if (value == 0)
        throw ConvertError(
            where + ": bad number " + quoted(field) + " in NUM (a body of zeros is no number)");
    if (!plainBody) {
        const int given = std::stoi(digits.substr(9));
        const int expected = StrNumCheckSum(value);
        if (given != expected)
            throw ConvertError(where + ": wrong check number in NUM " + quoted(field) + " (the body "
                + digits.substr(0, 9) + " has " + (expected < 10 ? "0" : "") + std::to_string(expected)
                + ")");
    }
    return value;
}

std::optional<Date> readDate(std::string_view text)
{
    if (text.empty() || text == "00000000") // dBASE writers mark an empty date either way
        return ZeroDate;
    if (text.size() == 8 && std::all_of(text.begin(), text.end(), isDigit))
        return MakeDate(std::stoi(std::string(text.substr(0, 4))), std::stoi(std::string(text.substr(4, 2))),
            std::stoi(std::string(text.substr(6, 2))));
    if (text.find('-') != std::string_view::npos)
        return ParseIso(text);
    // dd.mm.yyyy; a two-digit year would be a guess at the century
    const auto lastDot = text.rfind('.');
    if (lastDot == std::string_view::npos || text.size() - lastDot - 1 != 4)
        return std::nullopt;
    return ParseDmy(text);
}

Date parseDate(std::string_view field, Column column, const std::string& where)
{
    const std::optional<Date> date = readDate(TrimBlanks(field));
    if (!date)
        throw ConvertError(where + ": bad date " + quoted(field) + " in " + std::string(columnNames[column]));
    return *date;
}

bool isDbf(const std::string& name)
{
    return name.size() >= 4 && SameName(std::string_view(name).substr(name.size() - 4), ".dbf");
}

} // namespace

std::int64_t ImportRegister(
    const std::string& source, const std::string& location, ProgressSink* progress, bool allowEmpty)
{
    const std::unique_ptr<RegisterSource> input
        = isDbf(source) ? OpenDbfRegister(source) : OpenCsvRegister(source);

    std::array<int, ColumnCount> at;
    at.fill(-1);
    const std::vector<std::string>& names = input->columns();
    for (std::size_t i = 0; i < names.size(); ++i) {
        for (int c = 0; c < ColumnCount; ++c) {
            if (!SameName(names[i], columnNames[c]))
                continue;
            if (at[c] >= 0)
                throw ConvertError(
                    input->where() + ": column " + std::string(columnNames[c]) + " is named twice");
            at[c] = static_cast<int>(i);
            input->requireColumn(i);
        }
    }
    for (int c = 0; c < requiredColumns; ++c)
        if (at[c] < 0)
            throw ConvertError(input->where() + ": no column " + std::string(columnNames[c]));

    NumsLoader loader(location);
    if (progress)
        progress->ProgressStart(static_cast<std::uint64_t>(input->total()));
    std::vector<std::string> fields;
    const auto field
        = [&](Column c) { return at[c] < 0 ? std::string_view() : std::string_view(fields[at[c]]); };
    std::int64_t rows = 0;
    while (input->next(fields)) {
        const std::string where = input->where();
        NumsRow row;
        row.num = parseNum(field(Num), where);
        row.fam = field(Fam);
        row.nam = field(Nam);
        row.otch = field(Otch);
        row.birth = parseDate(field(Birth), Birth, where);
        row.cond = field(Cond);
        row.sex = field(Sex);
        row.datmod = parseDate(field(Datmod), Datmod, where);
        if (!loader.add(row))
            throw ConvertError(where + ": NUM " + quoted(field(Num)) + " is already in the register");
        if (++rows % progressEvery == 0 && progress)
            progress->Progress(static_cast<std::uint64_t>(input->done()));
    }
    if (rows == 0 && !allowEmpty)
        throw ConvertError(input->where()
            + ": no rows to import; an empty register replaces the register only when asked for "
              "(--allow-empty)");
    loader.commit();
    if (progress)
        progress->ProgressEnd();
    return rows;
}

} // namespace venqor
