#include "run/ProcessingRun.h"

#include "report/ReportDocument.h"
#include "scan/Cp1251Literal.h"
#include "scan/Errors.h"
#include "scan/ScanCSV.h"
#include "scan/Schema.h"
#include "scan/TextFile.h"

#include <cstdio>
#include <filesystem>
#include <optional>

namespace venqor {

namespace {

constexpr char HeaderMark = '\xC2';  // В
constexpr char BenefitMark = '\xCB'; // Л

// Holds the run flag for the duration of a command.
class RunFlag {
public:
    explicit RunFlag(bool& flag)
        : flag_(flag)
    {
        flag_ = true;
    }
    ~RunFlag() { flag_ = false; }
    RunFlag(const RunFlag&) = delete;
    RunFlag& operator=(const RunFlag&) = delete;

private:
    bool& flag_;
};

std::string inQuotes(std::string_view text)
{
    std::string s;
    s.reserve(text.size() + 2);
    s += '"';
    s += text;
    s += '"';
    return s;
}

} // namespace

std::string SchemaPath(TMainState& state)
{
    state.SchemaName = state.schema;
    if (state.SchemaName.find('.') == std::string::npos)
        state.SchemaName += ".SCH";
    return (std::filesystem::path(NativePath(state.ProgramDir)) / NativePath(state.SchemaName)).string();
}

ProcessingRun::ProcessingRun(TMainState& state, RunHost& host)
    : state_(state)
    , host_(host)
    , report_(host.Report(), state.ErrorCount, LinesRead)
{
}

int ProcessingRun::field(std::string_view name) const
{
    for (std::size_t i = 0; i < required_.size(); ++i)
        if (required_[i] == name)
            return fieldIndexes_[i];
    throw Error("field " + std::string(name) + " is not among the command's fields");
}

bool ProcessingRun::prepare(RunSteps& steps)
{
    steps.TakeOptions(state_);
    state_.recordCountLabel = "000";
    host_.ShowRecordCount(state_.recordCountLabel);

    LoadSchema(SchemaPath(state_), state_.Fields);
    if (state_.Fields.Count < 1) {
        host_.Message("Ошибка в схеме!"_w);
        return false;
    }

    required_ = steps.RequiredFields();
    std::string missing;
    for (std::size_t i = 0; i < required_.size(); ++i) {
        fieldIndexes_[i] = FindField(state_.Fields, required_[i]);
        if (fieldIndexes_[i] < 0)
            missing += (missing.empty() ? "" : ", ") + std::string(required_[i]);
    }
    if (!missing.empty()) {
        host_.Message(std::string("В заданной схеме нет полей "_w) + missing);
        return false;
    }
    for (std::size_t i = 0; i < required_.size(); ++i) {
        if (state_.Fields.Items[fieldIndexes_[i]].Stop > MaxLineLen) {
            host_.Message(std::string("Поле "_w) + std::string(required_[i])
                + std::string(" выходит за границу строки"_w));
            return false;
        }
    }
    return host_.Ask(steps.Question());
}

void ProcessingRun::startReport(RunSteps& steps)
{
    host_.Report().Clear();
    steps.TitleLines(*this);
    report_.AppendLine(std::string(" Обрабатывается файл "_w) + inQuotes(state_.dataFile));
    report_.AppendLine(std::string("  Строки формата "_w) + inQuotes(state_.format) + std::string(" типа "_w)
        + inQuotes(state_.recordType) + std::string(" по схеме "_w) + inQuotes(state_.schema));
    steps.HeaderLines(*this);
}

void ProcessingRun::timeLine(std::string_view words)
{
    const TimeOfDay t = host_.Now();
    char clock[32];
    std::snprintf(clock, sizeof clock, "%02d.%02d.%02d %d", t.hour, t.minute, t.second, t.millisecond);
    report_.AppendLine(std::string(words) + clock);
}

bool ProcessingRun::Execute(RunSteps& steps)
{
    if (state_.Running) {
        host_.Message("Обработка уже идёт: дождитесь её окончания"_w);
        return false;
    }
    RunFlag running(state_.Running);
    if (!prepare(steps))
        return false;
    startReport(steps);

    const char recordType = state_.recordType.empty() ? ' ' : state_.recordType.front();
    const std::string dataFile = NativePath(state_.dataFile);
    const std::uint64_t size = FileSize(dataFile);
    std::optional<InTextFile> file(std::in_place, dataFile);

    host_.ProgressStart(size);
    state_.RecordCount = 0;
    state_.ErrorCount = 0;
    LinesRead = 0;
    BytesRead = 0;

    steps.Open(*this);
    timeLine(" Начало  "_w);
    Scan.Options.RecodeOem = state_.Fields.Cyrillic;

    std::exception_ptr failure;
    try {
        loop(steps, *file, recordType);
    } catch (...) {
        failure = std::current_exception();
    }

    steps.AfterLoop(*this);
    timeLine(" Конец   "_w);
    file.reset();
    steps.CloseRegister(*this);
    const std::string message = steps.Summary(*this);
    steps.Close(*this);
    host_.Message(message);
    state_.recordCountLabel = std::to_string(state_.RecordCount);
    host_.ShowRecordCount(state_.recordCountLabel);
    host_.ShowReport();
    host_.ProgressEnd();
    if (failure)
        std::rethrow_exception(failure);
    return true;
}

void ProcessingRun::loop(RunSteps& steps, InTextFile& file, char recordType)
{
    while (!file.Eof()) {
        ++LinesRead;
        try {
            ReadLineBuf(file);
            BytesRead += Scan.LineLen + 2;
            const char first = Scan.LineBuf[0];
            if (first == recordType) {
                if (++state_.RecordCount % 10 == 0)
                    host_.Progress(static_cast<std::uint64_t>(BytesRead), state_.RecordCount);
                steps.RecordStep(*this);
            } else if (first == BenefitMark) {
                ++BenefitCount;
            } else if (first == HeaderMark) {
                ++HeaderCount;
                std::string line(CopyLineBuf(12, 14));
                line += " \"";
                line += CopyLineBuf(26, 50);
                line += '"';
                report_.AppendLine(line);
            }
        } catch (...) {
            steps.LineFailed(*this);
        }
    }
}

} // namespace venqor
