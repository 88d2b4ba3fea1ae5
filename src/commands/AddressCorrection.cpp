#include "commands/AddressCorrection.h"

#include "base/CodePage.h"
#include "base/Cp1251Literal.h"
#include "commands/SetFieldText.h"
#include "scan/Schema.h"

#include <algorithm>
#include <vector>

namespace venqor {

namespace {

constexpr std::size_t AddressLength = 200;
constexpr std::int32_t FirstPostCode = 600000;
constexpr std::int32_t LastPostCode = 602359;
constexpr std::size_t CountedDigits = 8;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The record step of the address correction. A field that the schema lacks (index -1)
// gives an empty address and is never written.
class AddressCorrector {
public:
    AddressCorrector(const TFieldList& fields, int iReg, int iFact)
        : fields_(fields)
        , recordLength_(RecordLength(fields))
        , iReg_(iReg)
        , iFact_(iFact)
    {
    }

    void TreatRecord();

    std::int64_t CorrectedCount = 0;

private:
    void read(std::string& address, int index) const
    {
        if (index >= 0)
            TakeFieldValue(address, fields_, index, AddressLength);
        else
            address.clear();
    }

    const TFieldList& fields_;
    const int recordLength_;
    const int iReg_, iFact_;
    std::string first_, second_;
};

void AddressCorrector::TreatRecord()
{
    PadLineBuf(recordLength_);
    read(first_, iReg_);
    read(second_, iFact_);
    bool changed = false;
    CorrectAddress(first_, changed);
    const bool hasSecond = !second_.empty();
    if (hasSecond)
        CorrectAddress(second_, changed);
    if (!changed)
        return;
    ++CorrectedCount;
    if (iReg_ >= 0)
        SetFieldText(fields_, iReg_, first_);
    if (hasSecond)
        SetFieldText(fields_, iFact_, second_);
}

} // namespace

void CorrectAddress(std::string& address, bool& changed)
{
    if (address.empty())
        return;
    if (address.front() == ',') {
        address.erase(0, 1);
        changed = true;
    }
    if (const std::size_t pair = address.find(",,"); pair != std::string::npos) {
        address.erase(pair, 1);
        changed = true;
    }
    const std::size_t digits = std::min(address.find_first_not_of(' '), address.size());
    std::size_t end = digits;
    std::int32_t value = 0;
    for (; end < address.size() && isDigit(address[end]); ++end)
        if (end - digits < CountedDigits)
            value = value * 10 + (address[end] - '0');
    if (value >= 1 && (value < FirstPostCode || value > LastPostCode)) {
        address.replace(0, end, "600000");
        if (address.size() > AddressLength)
            address.resize(AddressLength);
        changed = true;
    }
}

RunResult CorrectAddresses(TMainState& state, RunHost& host)
{
    ProcessingRun run(state, host);
    if (!run.Started() || !run.LoadSchema())
        return {};
    const int iReg = FindField(state.Fields, "ADRREG");
    const int iFact = FindField(state.Fields, "ADRFACT");
    if (iReg < 0 && iFact < 0) {
        host.Message("В заданной схемы нет полей ADRREG/ADRFACT"_w);
        return {};
    }
    // The fields written, and the record length the lines are padded to, lie inside the line.
    std::vector<std::string_view> inside = { state.Fields.Items[state.Fields.Count - 1].name() };
    for (const int i : { iReg, iFact })
        if (i >= 0)
            inside.push_back(state.Fields.Items[i].name());
    std::filesystem::path proposed = state.dataFile;
    proposed += "new";
    if (!run.RequireFields(inside) || !run.Ask("Начать правку адресов?"_w))
        return {};
    const auto output = run.ChooseOutput(proposed);
    if (!output)
        return {};

    run.StartReport({ "Правка адресов - удаление ведущих запятых"_w });
    run.Report().AppendLine(std::string(" Результат обработки в Файле "_w) + InQuotes(PathToCp1251(*output)));
    run.OpenDataFile();
    run.CreateOutput(*output);

    AddressCorrector corrector(state.Fields, iReg, iFact);
    run.ReadLines([&] { corrector.TreatRecord(); }, [] { /* a failed line is copied as read, silently */ });

    run.CloseOutput();
    run.CloseDataFile();
    run.SummaryLine();
    run.Report().AppendLine(std::string("Исправлено адресов: "_w) + std::to_string(corrector.CorrectedCount));
    return run.Finish(std::string("Прочитано "_w) + std::to_string(run.Counters().LinesRead)
        + std::string(" строк, проставлено 0 номеров, исправлено: "_w)
        + std::to_string(corrector.CorrectedCount));
}

} // namespace venqor
