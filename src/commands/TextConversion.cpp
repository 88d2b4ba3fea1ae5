#include "commands/TextConversion.h"

#include "base/CodePage.h"
#include "base/Cp1251Literal.h"
#include "base/Errors.h"
#include "base/FieldText.h"
#include "commands/TextToDate.h"
#include "report/ReportDocument.h"
#include "run/OutputFile.h"
#include "scan/TextFile.h"

#include <algorithm>
#include <array>
#include <system_error>

namespace venqor {

namespace {

namespace fs = std::filesystem;

constexpr std::int64_t ProgressEvery = 50; // lines
constexpr std::int64_t RefusalLinesWritten = 99;
// Literals of their own: clang 14 crashes on them written inside the functions.
constexpr std::string_view TableInDatabase = "Таблица записывается в файл, а не в базу данных: "_w;
constexpr std::string_view LineNotStored = "Строка не записана в таблицу: "_w;
constexpr std::string_view LinesNotStored = "Строк, не записанных в таблицу: "_w;
constexpr std::string_view FirstLine = "; первая - строка "_w;
// In UTF-8, as the message of every failure.
constexpr std::string_view TableNotWritten = "Файл результата не записан: ";
constexpr std::uint64_t UnknownLineCount = 2;

enum CopyModes : std::uint8_t { CopyExcept = 0, CopyOnly = 1, CopyAll = 2 };
enum CopyMatches : std::uint8_t { MatchNone = 0, MatchStart = 1, MatchContains = 2, MatchLacks = 3 };

// Characters of code 32 or less removed from both ends.
std::string_view trimControls(std::string_view text)
{
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32)
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32)
        text.remove_suffix(1);
    return text;
}

// Code page 866 to Windows-1251, byte by byte.
void recodeCp866(std::string& line)
{
    static const std::array<char, 256> table = [] {
        std::array<char, 256> result {};
        for (std::size_t b = 0; b < result.size(); ++b)
            result[b] = Cp866ToCp1251(std::string(1, static_cast<char>(b)))[0];
        return result;
    }();
    for (char& c : line)
        c = table[static_cast<unsigned char>(c)];
}

// The next whole line, of any length, by the text-file rules of InTextFile.
void readWholeLine(InTextFile& file, std::string& line)
{
    line.clear();
    while (!file.Eoln()) {
        std::string_view block = file.buffered();
        block = block.substr(0, block.find('\r'));
        const std::size_t taken = std::min(block.find(InTextFile::CtrlZ), block.size());
        line.append(block.substr(0, taken));
        file.consume(taken);
    }
    file.SkipLineEnd();
}

// The estimate of the line count for the progress bar: the file's size over the length of
// a record line and its line end.
std::uint64_t lineEstimate(const TMainState& state)
{
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(state.dataFile, ec);
    const TFieldList& fields = state.Fields;
    const std::int64_t divisor = fields.Count > 0 ? fields.Items[fields.Count - 1].Stop + 2 : 0;
    if (ec || size == 0 || divisor <= 0)
        return UnknownLineCount;
    return size / static_cast<std::uint64_t>(divisor);
}

// A failed write of the table ends the run, said as every output that could not be written.
[[noreturn]] void tableNotWritten(const Error& failure)
{
    throw IoError(std::string(TableNotWritten) + failure.what());
}

// Hides the progress bar however the copying ends.
class ProgressShown {
public:
    ProgressShown(RunHost& host, std::uint64_t maximum)
        : host_(host)
    {
        host_.ProgressStart(maximum);
    }
    ~ProgressShown() { host_.ProgressEnd(); }
    ProgressShown(const ProgressShown&) = delete;
    ProgressShown& operator=(const ProgressShown&) = delete;

private:
    RunHost& host_;
};

} // namespace

void SetCopySelection(TMainState& state)
{
    const std::string& condition = state.copyCondition;
    state.CopyMode = condition == "Только"_w ? CopyOnly : condition == "Кроме"_w ? CopyExcept : CopyAll;
    const std::string& kind = state.copyMatchKind;
    state.CopyMatch = kind == "начинаюшиеся с"_w ? MatchStart
        : kind == "содержащие"_w                 ? MatchContains
        : kind == "не содержащие"_w              ? MatchLacks
                                                 : MatchNone;
    state.CopyValue = state.recordType;
}

bool LineSelected(const TMainState& state, std::string_view line)
{
    if (state.CopyMode == CopyAll)
        return true;
    const std::size_t found = state.CopyValue.empty() ? std::string_view::npos : line.find(state.CopyValue);
    const std::size_t position = found == std::string_view::npos ? 0 : found + 1;
    const bool matches = (state.CopyMatch == MatchStart && position == 1)
        || (state.CopyMatch == MatchContains && position > 0)
        || (state.CopyMatch == MatchLacks && position == 0);
    return state.CopyMode == CopyOnly ? matches : !matches;
}

fs::path TableFile(const TMainState& state)
{
    if (state.tableName.empty())
        return {};
    const fs::path named
        = state.tableName.has_parent_path() ? state.tableName : state.ProgramDir / state.tableName;
    return TableFilePath(named.parent_path(), named.filename().string());
}

TableLayout PrepareTable(const TFieldList& fields, std::string_view tableName)
{
    const std::size_t limit = MaxFieldNameLength(tableName);
    TableLayout layout;
    const auto taken = [&layout](std::string_view name) {
        return std::any_of(layout.fields.begin(), layout.fields.end(),
            [name](const FieldDef& field) { return SameName(field.name, name); });
    };
    for (int i = 0; i < fields.Count; ++i) {
        const TFieldItem& item = fields.Items[i];
        FieldDef field;
        const std::string name(item.name());
        field.name = limit > 0 ? name.substr(0, limit) : name;
        for (int n = 1; taken(field.name); ++n) {
            const std::string suffix = "_" + std::to_string(n);
            const std::size_t room = limit > 0 ? limit - std::min(limit, suffix.size()) : name.size();
            field.name = name.substr(0, room) + suffix;
        }
        if (field.name != name)
            layout.renamed.push_back(name + " -> " + field.name);
        switch (item.Kind) {
        case fkInteger:
            field.type = FieldType::Integer;
            break;
        case fkFloat:
            field.type = FieldType::Float;
            field.size = item.Stop - item.Start; // the longest text the data file gives it
            break;
        case fkDate:
            field.type = FieldType::Date;
            break;
        default:
            field.type = FieldType::Text;
            field.size = item.Stop - item.Start;
            break;
        }
        layout.fields.push_back(std::move(field));
    }
    return layout;
}

RefusedLines CopyLinesToTable(ProcessingRun& run, TableLoader& table)
{
    const TMainState& state = run.State();
    RunHost& host = run.Host();
    const std::uint64_t maximum = lineEstimate(state);
    InTextFile file(state.dataFile);
    const TFieldList& fields = state.Fields;
    const ProgressShown progress(host, maximum);
    RunCounters& counters = run.Counters();
    RefusedLines refused;
    // A value that a field cannot take, or a record the table refuses, drops this line's
    // record alone; any other failure is one of the table and ends the run.
    const auto refuse = [&](const Error& reason) {
        table.cancel();
        if (refused.count++ == 0) {
            refused.firstLine = counters.LinesRead;
            refused.firstReason = Utf8ToCp1251(reason.what());
        }
        if (refused.count <= RefusalLinesWritten)
            run.Report().AddErrorLine(
                { FindingKinds::LineNotStored }, std::string(LineNotStored) + Utf8ToCp1251(reason.what()));
    };
    std::string line;
    while (!file.Eof()) {
        readWholeLine(file, line);
        if (++counters.LinesRead % ProgressEvery == 0)
            host.Progress(static_cast<std::uint64_t>(counters.LinesRead));
        if (fields.Cyrillic)
            recodeCp866(line);
        if (!LineSelected(state, line))
            continue;
        const std::string_view whole(line);
        try {
            table.insert();
            for (int i = 0; i < fields.Count; ++i) {
                const TFieldItem& item = fields.Items[i];
                const auto start = static_cast<std::size_t>(std::max(item.Start, 0));
                const auto count = static_cast<std::size_t>(std::max(item.Stop - item.Start, 0));
                const std::string_view text
                    = trimControls(start < whole.size() ? whole.substr(start, count) : std::string_view());
                if (item.Kind == fkDate && !text.empty()) {
                    // A text that gives no date leaves the field empty rather than 30.12.1899.
                    const Date date = TextToDate(text);
                    if (!date.isZero())
                        table.setField(i, date);
                } else {
                    table.setField(i, text);
                }
            }
            table.post();
        } catch (const ConvertError& error) {
            refuse(error);
        } catch (const TableError& error) {
            refuse(error);
        } catch (const IoError& error) {
            tableNotWritten(error);
        }
    }
    return refused;
}

RunResult ConvertText(TMainState& state, RunHost& host)
{
    ProcessingRun run(state, host);
    if (!run.Started() || !run.Ask("Преобразовать файл в таблицу?"_w))
        return {};

    host.Report().Clear();
    run.Report().AppendLine(std::string("Преобразование текстового файла "_w)
        + InQuotes(PathToCp1251(state.dataFile)) + std::string(" по схеме "_w) + InQuotes(state.schema));
    run.Report().AppendLine(std::string(" в таблицу "_w) + PathToCp1251(state.tableName));

    if (!run.LoadSchema())
        return {};
    // The conversion writes files, never into a database.
    if (KindOfLocation(state.tableName.string()) != LocationKind::Directory) {
        host.Message(std::string(TableInDatabase) + InQuotes(PathToCp1251(state.tableName)));
        return {};
    }
    const fs::path tablePath = TableFile(state);
    if (const auto problem = OutputProblem(tablePath, state)) {
        host.Message(*problem);
        return {};
    }
    SetCopySelection(state);

    const std::string tableName = state.tableName.filename().string();
    const TableLayout layout = PrepareTable(state.Fields, tableName);
    const auto database = OpenDatabase(tablePath.parent_path().string());
    const auto table = database->load(tableName, layout.fields, "", {});
    const RefusedLines refused = CopyLinesToTable(run, *table);
    try {
        table->commit();
    } catch (const IoError& error) {
        tableNotWritten(error);
    } catch (const TableError& error) {
        tableNotWritten(error);
    }

    RunResult result;
    result.started = true;
    if (refused.count > 0)
        result.shortfalls.push_back(std::string(LinesNotStored) + std::to_string(refused.count)
            + std::string(FirstLine) + std::to_string(refused.firstLine) + ": " + refused.firstReason);
    std::string message;
    if (!layout.renamed.empty()) {
        message.assign("Имена полей сокращены для формата таблицы: "_w);
        for (std::size_t i = 0; i < layout.renamed.size(); ++i)
            message += (i > 0 ? ", " : "") + layout.renamed[i];
    }
    for (const std::string& shortfall : result.shortfalls)
        message += (message.empty() ? "" : "\r\n") + shortfall;
    if (!message.empty())
        host.Message(message);
    host.ShowReport();
    return result;
}

} // namespace venqor
