#include "run/ProcessingRun.h"

#include "base/CodePage.h"
#include "base/Cp1251Literal.h"
#include "base/Errors.h"
#include "report/ReportDocument.h"
#include "run/OutputFile.h"
#include "scan/ScanCSV.h"
#include "scan/Schema.h"
#include "scan/TextFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

namespace venqor {

namespace {

constexpr std::size_t LinesWithoutLookups = 256;
constexpr char HeaderMark = '\xC2';  // В
constexpr char BenefitMark = '\xCB'; // Л
// Literals of their own: clang 14 crashes on these written inside the functions.
constexpr std::string_view UnavailableRegister = "Реестр NUMS недоступен, поиск не выполнялся: "_w;
constexpr std::string_view RegisterLostAtLine = "Реестр NUMS недоступен со строки "_w;
constexpr std::string_view NoSearchFromThen = ", дальше поиск не выполнялся: "_w;
constexpr std::string_view OutputNotWritten = "Файл результата не записан: "_w;

// Sets a reader option for a scope and puts back the value it had.
class OptionScope {
public:
    OptionScope(bool& option, bool value)
        : option_(option)
        , saved_(option)
    {
        option_ = value;
    }
    ~OptionScope() { option_ = saved_; }
    OptionScope(const OptionScope&) = delete;
    OptionScope& operator=(const OptionScope&) = delete;

private:
    bool& option_;
    bool saved_;
};

} // namespace

std::filesystem::path SchemaPath(TMainState& state)
{
    state.SchemaName = state.schema;
    if (state.SchemaName.find('.') == std::string::npos)
        state.SchemaName += ".SCH";
    return FindSchemaFile(state.SchemaDirs, Cp1251ToPath(state.SchemaName));
}

std::string InQuotes(std::string_view text)
{
    std::string s;
    s.reserve(text.size() + 2);
    s += '"';
    s += text;
    s += '"';
    return s;
}

ProcessingRun::ProcessingRun(TMainState& state, RunHost& host)
    : state_(state)
    , host_(host)
    , report_(host.Report(), counters_)
{
    if (state_.Running) {
        host_.Message("Обработка уже идёт: дождитесь её окончания"_w);
        return;
    }
    state_.Running = true;
    holdsRunFlag_ = true;
}

ProcessingRun::~ProcessingRun()
{
    output_.reset(); // an output never closed leaves an earlier file as it was
    data_.reset();
    register_.Close();
    if (progressShown_)
        host_.ProgressEnd();
    if (holdsRunFlag_)
        state_.Running = false;
}

bool ProcessingRun::LoadSchema()
{
    state_.recordCountLabel = "000";
    host_.ShowRecordCount(state_.recordCountLabel);
    venqor::LoadSchema(SchemaPath(state_), state_.Fields);
    if (state_.Fields.Count >= 1)
        return true;
    host_.Message("Ошибка в схеме!"_w);
    return false;
}

std::optional<std::vector<int>> ProcessingRun::RequireFields(std::span<const std::string_view> names)
{
    std::vector<int> indexes;
    std::string missing;
    for (const std::string_view name : names) {
        indexes.push_back(FindField(state_.Fields, name));
        if (indexes.back() < 0)
            missing += (missing.empty() ? "" : ", ") + std::string(name);
    }
    if (!missing.empty()) {
        host_.Message(std::string("В заданной схеме нет полей "_w) + missing);
        return std::nullopt;
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (state_.Fields.Items[indexes[i]].Stop > MaxLineLen) {
            host_.Message(
                std::string("Поле "_w) + std::string(names[i]) + std::string(" выходит за границу строки"_w));
            return std::nullopt;
        }
    }
    return indexes;
}

bool ProcessingRun::Ask(std::string_view question)
{
    return host_.Ask(question);
}

std::optional<std::filesystem::path> ProcessingRun::ChooseOutput(const std::filesystem::path& proposed)
{
    std::optional<std::filesystem::path> chosen = host_.ChooseSaveFile(proposed);
    if (chosen) {
        if (const auto problem = OutputProblem(*chosen, state_)) {
            host_.Message(*problem);
            return std::nullopt;
        }
    }
    return chosen;
}

void ProcessingRun::StartReport(std::initializer_list<std::string_view> titles)
{
    host_.Report().Clear();
    host_.Report().SetDataFile(state_.dataFile);
    for (const std::string_view title : titles)
        report_.AppendLine(title);
    report_.AppendLine(std::string(" Обрабатывается файл "_w) + InQuotes(PathToCp1251(state_.dataFile)));
    report_.AppendLine(std::string("  Строки формата "_w) + InQuotes(state_.format) + std::string(" типа "_w)
        + InQuotes(state_.recordType) + std::string(" по схеме "_w) + InQuotes(state_.schema));
}

void ProcessingRun::TimeLine(std::string_view words)
{
    const TimeOfDay t = host_.Now();
    char clock[32];
    std::snprintf(clock, sizeof clock, "%02d.%02d.%02d %d", t.hour, t.minute, t.second, t.millisecond);
    report_.AppendLine(std::string(words) + clock);
}

void ProcessingRun::OpenDataFile()
{
    const std::uint64_t size = FileSize(state_.dataFile);
    data_ = std::make_unique<InTextFile>(state_.dataFile);
    data_->fill();
    const std::string_view head = data_->buffered();
    if (head.find('\n') != std::string_view::npos && head.find('\r') == std::string_view::npos) {
        lfEndsLine_ = true;
        result_.notices.emplace_back(
            "Строки файла кончаются символом LF без CR: он прочитан с LF как концом строки"_w);
    }
    host_.ProgressStart(size);
    progressShown_ = true;
}

void ProcessingRun::CloseDataFile()
{
    data_.reset();
}

Register& ProcessingRun::OpenRegister(LookupKind kind)
{
    register_.OpenRegister(
        { state_.registerLocation, state_.UseQuery, state_.Sql1Text, state_.Sql2Text }, kind);
    if (!register_.available()) {
        std::string line(UnavailableRegister);
        line += Utf8ToCp1251(register_.unavailableReason());
        report_.AppendLine(line);
        Shortfall(line);
    }
    return register_;
}

void ProcessingRun::CloseRegister()
{
    register_.Close();
}

void ProcessingRun::CreateOutput(const std::filesystem::path& path)
{
    output_ = std::make_unique<OutTextFile>(path);
}

void ProcessingRun::CloseOutput()
{
    if (!output_)
        return;
    if (loopFailure_) {
        try {
            std::rethrow_exception(loopFailure_);
        } catch (const std::exception& e) {
            abandonOutput(e.what());
        }
        return;
    }
    try {
        output_->Commit();
        output_.reset();
    } catch (const std::exception& e) {
        abandonOutput(e.what());
    }
}

void ProcessingRun::writeOutputLine()
{
    try {
        WriteLineBufOem(*output_);
    } catch (const std::exception& e) {
        abandonOutput(e.what());
    }
}

// Removes the temporary file (an earlier output stays as it was) and says why in the report
// and the summary; the run goes on without an output.
void ProcessingRun::abandonOutput(std::string_view reason)
{
    output_.reset();
    std::string text(OutputNotWritten);
    text += Utf8ToCp1251(reason);
    report_.AppendLine(text);
    Shortfall(text);
}

bool ProcessingRun::Stopped() const
{
    if (!loopFailure_)
        return false;
    try {
        std::rethrow_exception(loopFailure_);
    } catch (const Interrupted&) {
        return true;
    } catch (...) {
        return false;
    }
}

void ProcessingRun::ReadLines(
    const std::function<void()>& recordStep, const std::function<void()>& lineFailed, const RecordKey& keyOf)
{
    const char recordType = state_.recordType.empty() ? ' ' : state_.recordType.front();
    const OptionScope recode(Scan.Options.RecodeOem, state_.Fields.Cyrillic);
    const OptionScope lineFeeds(Scan.Options.LfEndsLine, lfEndsLine_);
    const bool blockLookups = keyOf && register_.available() && register_.takesBlocks();
    // Without lookups to gather, a short block is enough.
    std::size_t blockLines = static_cast<std::size_t>(std::max(state_.LinesPerBlock, 1));
    blockLines = std::min(blockLines, blockLookups ? register_.maxBlockKeys() : LinesWithoutLookups);
    const RecordKey noKeys;
    const RecordKey& gather = blockLookups ? keyOf : noKeys;
    InTextFile& file = *data_;
    // While the lines of one block are treated, the next one is read and its keys looked up.
    LineBlock blocks[2];
    try {
        blocks[0].Read(file, blockLines, recordType, gather);
        if (blockLookups)
            register_.lookUpBlock(blocks[0].keys());
        for (int current = 0;; current ^= 1) {
            LineBlock& block = blocks[current];
            LineBlock& next = blocks[current ^ 1];
            const bool more = !block.failure() && block.lines().size() == blockLines;
            if (more)
                next.Read(file, blockLines, recordType, gather);
            if (blockLookups) {
                register_.useBlock();
                if (more)
                    register_.lookUpBlock(next.keys());
            }
            for (const LineBlock::Line& line : block.lines())
                treatLine(block, line, recordType, recordStep, lineFailed);
            if (block.failure())
                std::rethrow_exception(block.failure());
            if (!more)
                break;
        }
    } catch (...) {
        loopFailure_ = std::current_exception();
    }
}

void ProcessingRun::treatLine(const LineBlock& block, const LineBlock::Line& line, char recordType,
    const std::function<void()>& recordStep, const std::function<void()>& lineFailed)
{
    ++counters_.LinesRead;
    try {
        if (line.failure)
            std::rethrow_exception(line.failure);
        block.Restore(line);
        counters_.BytesRead += Scan.LineLen + 2;
        register_.answerFromBlock(line.key);
        const char first = Scan.LineBuf[0];
        if (first == recordType) {
            if (++counters_.RecordCount % 10 == 0) {
                host_.ShowRecordCount(std::to_string(counters_.RecordCount));
                host_.Progress(static_cast<std::uint64_t>(counters_.BytesRead));
            }
            recordStep();
        } else if (first == BenefitMark) {
            ++counters_.BenefitCount;
        } else if (first == HeaderMark) {
            ++counters_.HeaderCount;
            std::string text(CopyLineBuf(12, 14));
            text += " \"";
            text += CopyLineBuf(26, 50);
            text += '"';
            report_.AppendLine(text);
        }
        if (output_ && Scan.LineLen > 0)
            writeOutputLine();
    } catch (const Interrupted&) {
        throw;
    } catch (...) {
        noteFailedLine(std::current_exception());
        lineFailed();
        if (output_ && line.length > 0) {
            block.Restore(line);
            writeOutputLine();
        }
    }
    if (!registerLossNoted_ && !register_.lossReason().empty())
        noteRegisterLoss();
}

// A register lost part way is work not done, as one that could not be opened: said in the
// report where it happened, and in the summary.
void ProcessingRun::noteRegisterLoss()
{
    registerLossNoted_ = true;
    std::string line(RegisterLostAtLine);
    line += std::to_string(counters_.LinesRead);
    line += NoSearchFromThen;
    line += Utf8ToCp1251(register_.lossReason());
    report_.AppendLine(line);
    Shortfall(line);
}

void ProcessingRun::noteFailedLine(const std::exception_ptr& failure)
{
    if (failedLines_++ > 0)
        return;
    firstFailedLine_ = counters_.LinesRead;
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        firstLineFailure_ = Utf8ToCp1251(e.what());
    } catch (...) {
        firstLineFailure_ = "?";
    }
}

void ProcessingRun::SummaryLine()
{
    const auto n = [](std::int64_t v) { return std::to_string(v); };
    report_.AppendLine(std::string("Прочитано "_w) + n(counters_.LinesRead)
        + std::string(" строк, найдено заголовков: "_w) + n(counters_.HeaderCount)
        + std::string(", записей: "_w) + n(counters_.RecordCount) + std::string(", льгот: "_w)
        + n(counters_.BenefitCount));
}

void ProcessingRun::Shortfall(std::string text)
{
    result_.shortfalls.push_back(std::move(text));
}

RunResult ProcessingRun::Finish(std::string message)
{
    if (failedLines_ > 0)
        result_.notices.push_back(std::string("Строк, обработка которых не удалась: "_w)
            + std::to_string(failedLines_) + std::string("; первая - строка "_w)
            + std::to_string(firstFailedLine_) + ": " + firstLineFailure_);
    for (const std::string& shortfall : result_.shortfalls)
        message += "\r\n" + shortfall;
    for (const std::string& notice : result_.notices)
        message += "\r\n" + notice;
    host_.Message(message);
    state_.RecordCount = counters_.RecordCount;
    state_.ErrorCount = counters_.ErrorCount;
    state_.recordCountLabel = std::to_string(counters_.RecordCount);
    host_.ShowRecordCount(state_.recordCountLabel);
    host_.ShowReport();
    host_.ProgressEnd();
    progressShown_ = false;
    if (loopFailure_)
        std::rethrow_exception(std::exchange(loopFailure_, nullptr));
    result_.started = true;
    return result_;
}

} // namespace venqor
