#include "commands/NumberAssignment.h"

#include "base/CodePage.h"
#include "base/Cp1251Literal.h"
#include "base/Dates.h"
#include "commands/AssignmentReport.h"
#include "commands/SetFieldText.h"
#include "register/StrNum.h"
#include "scan/Schema.h"

#include <algorithm>
#include <limits>

namespace venqor {

namespace {

constexpr std::size_t NameLength = 40;
// A valid number from this value on is the person's own and is never replaced.
constexpr std::int32_t FirstKeptNumber = 1000;

// The record step of the number assignment, with the counters of the command. The values
// of the current record are reused from line to line; every one of them is set anew.
class NumberAssigner {
public:
    NumberAssigner(ProcessingRun& run, const std::vector<int>& fields, Register& numbers, bool foundOnly)
        : report_(run.Host().Report(), run.Counters())
        , fields_(run.State().Fields)
        , register_(numbers)
        , foundOnly_(foundOnly)
        , recordLength_(RecordLength(fields_))
        , iNum_(fields[0])
        , iFam_(fields[1])
        , iNam_(fields[2])
        , iOtch_(fields[3])
        , iBirth_(fields[4])
    {
    }

    void TreatRecord();
    // The key of the record's lookup by names and birth date, gathered ahead of TreatRecord
    // by the same extraction (a field beyond the end of a short line reads as empty, as in
    // the padded line).
    bool LookupKeyOf(LookupKey& key) const
    {
        takeNameBirth(key.fam, key.nam, key.otch, key.birth);
        return true;
    }

    AssignmentReport& Report() { return report_; }

    std::int64_t AssignedCount = 0;
    std::int64_t FixedCount = 0;

private:
    void takeNameBirth(std::string& fam, std::string& nam, std::string& otch, Date& birth) const;

    AssignmentReport report_;
    const TFieldList& fields_;
    Register& register_;
    const bool foundOnly_;
    const int recordLength_;
    const int iNum_, iFam_, iNam_, iOtch_, iBirth_;
    int regNum_ = -1;

    std::string ownText_, canonical_, foundText_, fam_, nam_, otch_, message_;
};

// The names and the birth date of the record in LineBuf, as the lookup takes them.
void NumberAssigner::takeNameBirth(std::string& fam, std::string& nam, std::string& otch, Date& birth) const
{
    TakeFieldValue(fam, fields_, iFam_, NameLength);
    TakeFieldValue(nam, fields_, iNam_, NameLength);
    TakeFieldValue(otch, fields_, iOtch_, NameLength);
    const std::string_view birthText = FieldValue(fields_, iBirth_).substr(0, 10);
    birth = ZeroDate;
    if (!birthText.empty()) {
        const std::string dmy = YmdToDmy(birthText);
        if (const auto date = ParseDmy(dmy); !dmy.empty() && date)
            birth = *date;
    }
}

void NumberAssigner::TreatRecord()
{
    PadLineBuf(recordLength_);

    TakeFieldValue(ownText_, fields_, iNum_, 15);
    const std::int32_t number = TextToStrNum(ownText_);
    canonical_ = StrNumToText(number);
    Date birth;
    takeNameBirth(fam_, nam_, otch_, birth);
    bool rewrite = false;
    bool putIn = false;

    // A field that holds text but no number is cleared.
    if (number == 0 && !ownText_.empty()) {
        ownText_.clear();
        rewrite = true;
    }

    if (ownText_.size() > 11 && (ownText_[3] != '-' || ownText_[7] != '-' || ownText_[11] != ' ')) {
        ownText_[3] = '-';
        ownText_[7] = '-';
        ownText_[11] = ' ';
        rewrite = true;
        ++FixedCount;
    }

    if (number < 0)
        report_.AddErrorLine({ FindingKinds::ChecksumError, ownText_ },
            std::string("Ошибка в контр. сумме у стр.№ "_w) + ownText_);

    if (register_.available() && register_.FindByNameBirth(fam_, nam_, otch_, birth)) {
        if (regNum_ < 0)
            regNum_ = register_.record().fieldIndex("NUM");
        // A number beyond 32 bits is not cut to a wrong one: it is written as too large.
        const auto found
            = static_cast<std::int32_t>(std::clamp<std::int64_t>(register_.record().fieldInt(regNum_),
                std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
        foundText_ = StrNumToText(found);
        if (number != 0 && number != found) {
            message_.assign("Для стр.№ "_w).append(canonical_).append(" \"").append(fam_).append(1, ' ');
            message_.append(nam_).append("\"").append(" найден двойник со стр.№ "_w).append(foundText_);
            report_.AddNoteLine({ FindingKinds::TwinFound, canonical_ }, message_);
        }
        if (number < FirstKeptNumber) {
            message_.assign("Найден стр.№ "_w).append(foundText_).append(" для "_w).append(fam_);
            message_.append(1, ' ').append(nam_);
            report_.AddNoteLine({ FindingKinds::NumberFound, foundText_ }, message_);
            ++AssignedCount;
            putIn = !foundOnly_;
        }
    }

    if (putIn) {
        SetFieldText(fields_, iNum_, foundText_);
    } else if (rewrite) {
        SetFieldText(fields_, iNum_, ownText_);
    } else if (!ownText_.empty() && ownText_ != canonical_) {
        ++FixedCount;
        SetFieldText(fields_, iNum_, canonical_);
    }
}

} // namespace

RunResult AssignNumbers(TMainState& state, RunHost& host)
{
    ProcessingRun run(state, host);
    if (!run.Started())
        return {};
    const bool foundOnly = state.foundOnly;
    state.UseQuery = state.byQuery;
    if (!run.LoadSchema())
        return {};
    // The record is padded to its length, so the last field must lie inside the line too.
    const std::string_view required[] = { "STRNUM", "FAM", "NAM", "OTCH", "BIRTH", "SEX",
        state.Fields.Items[state.Fields.Count - 1].name() };
    const auto fields = run.RequireFields(required);
    if (!fields || !run.Ask("Начать простановку?"_w))
        return {};
    std::filesystem::path proposed = state.dataFile;
    proposed += "new";
    const auto output = run.ChooseOutput(proposed);
    if (!output)
        return {};

    const std::string_view title = "Простановка отcутствующих стр. номеров льготников по БД Dalmeth"_w;
    const std::string_view subtitle = " с исправлением ошибок в формате стр. номера"_w;
    if (foundOnly)
        run.StartReport({ title, subtitle, " Только поиск"_w });
    else
        run.StartReport({ title, subtitle });
    run.OpenDataFile();
    run.Report().AppendLine(std::string(" Результат обработки в Файле "_w) + InQuotes(PathToCp1251(*output)));
    Register& numbers = run.OpenRegister(LookupKind::ByNameBirth);
    run.TimeLine(" Начало  "_w);
    run.CreateOutput(*output);

    NumberAssigner assigner(run, *fields, numbers, foundOnly);
    run.ReadLines([&] { assigner.TreatRecord(); },
        [&] { assigner.Report().AddErrorLine({ FindingKinds::LineFailed }, "Неизвестно что"_w); },
        [&](LookupKey& key) { return assigner.LookupKeyOf(key); });

    run.CloseOutput();
    run.CloseDataFile();
    run.TimeLine(" Конец   "_w);
    run.CloseRegister();
    run.SummaryLine();
    run.Report().AppendLine(std::string("Проставлено "_w) + std::to_string(assigner.AssignedCount)
        + std::string(" номеров, исправлено: "_w) + std::to_string(assigner.FixedCount));
    return run.Finish(std::string("Прочитано "_w) + std::to_string(run.Counters().LinesRead)
        + std::string(" строк, проставлено "_w) + std::to_string(assigner.AssignedCount)
        + std::string(" номеров, исправлено: "_w) + std::to_string(assigner.FixedCount));
}

} // namespace venqor
