#include "commands/NameCheck.h"

#include "base/CodePage.h"
#include "base/Cp1251Literal.h"
#include "base/Dates.h"
#include "register/NotFoundTable.h"
#include "register/StrNum.h"
#include "scan/ScanCSV.h"
#include "scan/Schema.h"

#include <algorithm>

namespace venqor {

namespace {

constexpr std::string_view NameCheckFields[] = { "STRNUM", "FAM", "NAM", "OTCH", "BIRTH", "SEX" };
constexpr std::size_t NameLength = 40;
constexpr std::int32_t FormatMessageLimit = 100; // messages 1..99 are written

// Position (from 1) of the first character in which two names differ; the length of the
// shorter plus one when one begins the other.
int firstDifference(std::string_view a, std::string_view b)
{
    const std::size_t n = std::min(a.size(), b.size());
    std::size_t i = 0;
    while (i < n && a[i] == b[i])
        ++i;
    return static_cast<int>(i + 1);
}

// Position in `b` of its last character that differs from `a`: b's length minus the longest
// common ending of the two.
int lastDifference(std::string_view a, std::string_view b)
{
    const std::size_t n = std::min(a.size(), b.size());
    std::size_t k = 0;
    while (k < n && a[a.size() - 1 - k] == b[b.size() - 1 - k])
        ++k;
    return static_cast<int>(b.size() - k);
}

void lowerLatin(std::string& s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
}

// The record step of the name check, with the counters of the command. The values of the
// current record are reused from line to line; every one of them is set anew for each.
class NameChecker {
public:
    NameChecker(
        ProcessingRun& run, const std::vector<int>& fields, Register& numbers, NotFoundTable* notFound)
        : run_(run)
        , report_(run.Report())
        , state_(run.State())
        , register_(numbers)
        , notFound_(notFound)
        , iNum_(fields[0])
        , iFam_(fields[1])
        , iNam_(fields[2])
        , iOtch_(fields[3])
        , iBirth_(fields[4])
        , iSex_(fields[5])
    {
    }

    void CheckRecord();
    // The key of the record's lookup by number, gathered ahead of CheckRecord.
    bool LookupKeyOf(LookupKey& key) const
    {
        key.number = TextToStrNum(numberText());
        return key.number > 0;
    }

    std::int64_t NoNumberCount = 0;
    std::int64_t NotFoundCount = 0;

private:
    std::string_view numberText() const { return FieldValue(state_.Fields, iNum_).substr(0, NameLength); }
    void formatError(std::string_view kind, std::string_view what, std::string_view text);
    void checkFound(std::int32_t number);
    void notFound(std::int32_t number);
    // The index of a register field, resolved when it is first read, so that a register
    // lacking a field fails only where that field is read.
    int registerField(int& index, std::string_view name);
    std::string_view registerText(int& index, std::string_view name)
    {
        return register_.record().fieldText(registerField(index, name));
    }

    ProcessingRun& run_;
    RunReport& report_;
    const TMainState& state_;
    Register& register_;
    NotFoundTable* notFound_;
    const int iNum_, iFam_, iNam_, iOtch_, iBirth_, iSex_;
    int regFam_ = -1, regNam_ = -1, regOtch_ = -1, regBirth_ = -1, regCond_ = -1;
    std::int64_t formatMsgCount_ = 0;

    std::string numText_, fam_, nam_, otch_, birthText_, sex_;
    Date birth_;
    std::string lineName_, shownName_, registerName_, message_;
};

void NameChecker::CheckRecord()
{
    const TFieldList& fields = state_.Fields;
    UpperLineBuf();
    numText_.assign(numberText());
    TakeFieldValue(fam_, fields, iFam_, NameLength);
    TakeFieldValue(nam_, fields, iNam_, NameLength);
    TakeFieldValue(otch_, fields, iOtch_, NameLength);
    TakeFieldValue(birthText_, fields, iBirth_, 10);
    TakeFieldValue(sex_, fields, iSex_, 1);
    const std::int32_t number = TextToStrNum(numText_);

    if (!nam_.empty() && nam_.front() == ' ')
        formatError(FindingKinds::LineFormatError, "Ошибка форматирования строки \""_w, nam_);

    birth_ = ZeroDate;
    if (!birthText_.empty()) {
        birthText_ = YmdToDmy(birthText_);
        const auto date = ParseDmy(birthText_);
        if (!birthText_.empty() && date)
            birth_ = *date;
        else
            formatError(FindingKinds::DateFormatError, "Ошибка форматирования даты \""_w, birthText_);
    }

    if (number == 0 && !numText_.empty())
        numText_.clear();

    // Blanks or other characters where the separators belong: an error without a message.
    if (numText_.size() > 11 && (numText_[3] != '-' || numText_[7] != '-' || numText_[11] != ' ')) {
        ++run_.Counters().ErrorCount;
        numText_[3] = '-';
        numText_[7] = '-';
        numText_[11] = ' ';
    }

    if (number == 0)
        ++NoNumberCount;

    if (number > 0 && register_.available()) {
        if (register_.FindByStrNum(number))
            checkFound(number);
        else
            notFound(number);
    }

    if (number < 0) {
        message_.assign("Ошибка в контр. сумме у стр.№ "_w);
        message_ += numText_;
        report_.AddErrorLine({ FindingKinds::ChecksumError, numText_ }, message_);
    }
}

// Line and date format problems: the first 99 of a run are written and counted.
void NameChecker::formatError(std::string_view kind, std::string_view what, std::string_view text)
{
    if (++formatMsgCount_ >= FormatMessageLimit)
        return;
    message_.assign(what);
    message_ += text;
    message_ += '"';
    report_.AddErrorLine({ kind }, message_);
}

int NameChecker::registerField(int& index, std::string_view name)
{
    if (index < 0)
        index = register_.record().fieldIndex(name);
    return index;
}

void NameChecker::checkFound(std::int32_t number)
{
    const std::string strNum = StrNumToText(number);

    lineName_.assign(fam_).append(1, ' ').append(nam_).append(1, ' ').append(otch_);
    const std::string_view regFam = registerText(regFam_, "FAM");
    const bool famEqual = fam_ == regFam;
    registerName_.assign(regFam).append(1, ' ');
    const std::string_view regNam = registerText(regNam_, "NAM");
    const bool namEqual = famEqual && nam_ == regNam;
    registerName_.append(regNam).append(1, ' ');
    const std::string_view regOtch = registerText(regOtch_, "OTCH");
    const bool otchEqual = namEqual && otch_ == regOtch;
    registerName_.append(regOtch);

    if (!otchEqual) {
        shownName_ = lineName_;
        lowerLatin(shownName_);
        message_.assign("Расхождения в ФИО у стр.№ "_w);
        message_ += strNum;
        report_.AddErrorLine({ FindingKinds::NameMismatch, strNum, shownName_, registerName_ }, message_);

        message_.assign("   -  Указано  "_w);
        message_ += shownName_;
        report_.AppendLine(message_);

        const int first = firstDifference(lineName_, registerName_);
        const int last = lastDifference(lineName_, registerName_);
        message_.assign("   -  Числится "_w);
        message_ += registerName_;
        report_.AddMarkedLine(first + 15, last + 15, message_);
    }

    if (!state_.noBirthErrors) {
        if (register_.record().fieldDate(registerField(regBirth_, "BIRTH")) != birth_) {
            const std::string given = FormatDmy(birth_);
            const std::string_view registered = registerText(regBirth_, "BIRTH"); // "" when empty
            message_.assign("Расхождение в д/р "_w);
            message_ += given;
            message_ += " у стр.№ "_w;
            message_ += strNum;
            message_ += " вместо "_w;
            message_ += registered;
            report_.AddErrorLine({ FindingKinds::BirthMismatch, strNum, given, registered }, message_);
        }
    }

    if (!state_.noStatusErrors) {
        const std::string_view cond = registerText(regCond_, "COND");
        const char status = cond.empty() ? ' ' : cond.front();
        message_.clear();
        std::string_view kind;
        if (status == 'C' || status == 'E') {
            kind = FindingKinds::CancelledNumber;
            message_.assign("Отмененный стр.№ "_w).append(strNum).append(1, ' ').append(lineName_);
        } else if (status == 'F' && lineName_ == registerName_) {
            kind = FindingKinds::NamesNotAllowed;
            message_.assign("У стр.№ "_w).append(strNum).append(" не может быть ФИО "_w).append(lineName_);
        } else if (status == 'F') {
            kind = FindingKinds::NamesUnknown;
            message_.assign("У стр.№ "_w)
                .append(strNum)
                .append(1, ' ')
                .append(lineName_)
                .append(" неизвестны правильные ФИО"_w);
        } else if (status == 'G') {
            kind = FindingKinds::AbsentFromRegister;
            message_.assign("Отсутствует в БД стр.№ "_w).append(strNum).append(1, ' ').append(lineName_);
        }
        if (!message_.empty())
            report_.AddErrorLine({ kind, strNum }, message_);
    }
}

void NameChecker::notFound(std::int32_t number)
{
    ++NotFoundCount;
    if (!state_.noStatusErrors) {
        const std::string strNum = StrNumToText(number);
        message_.assign("Не найден стр.№ "_w);
        message_ += strNum;
        message_.append(1, ' ').append(fam_).append(1, ' ').append(nam_).append(1, ' ').append(otch_);
        report_.AddNoteLine({ FindingKinds::NotFound, strNum }, message_);
    }
    if (notFound_)
        notFound_->Add(number, fam_, nam_, otch_, birthText_, sex_);
}

// A literal of its own: clang 14 crashes on this one written inside the function.
constexpr std::string_view AnktNotWritten = "Ошибка при записи таблицы ANKT: "_w;

// Writes the people collected into ANKT; what it could not store is work not done.
void storeNotFound(ProcessingRun& run, NotFoundTable& table)
{
    try {
        const NotFoundTable::Outcome outcome = table.Commit();
        if (outcome.refused > 0)
            run.Shortfall(std::string("Таблица ANKT не приняла записей: "_w) + std::to_string(outcome.refused)
                + std::string(", первая: "_w) + Utf8ToCp1251(outcome.firstRefusal));
    } catch (const std::exception& e) {
        // The rows of this run are lost: say so rather than let the report look complete.
        std::string line(AnktNotWritten);
        line += Utf8ToCp1251(e.what());
        run.Report().AppendLine(line);
        run.Shortfall(line);
    }
}

} // namespace

RunResult CheckNames(TMainState& state, RunHost& host)
{
    ProcessingRun run(state, host);
    if (!run.Started())
        return {};
    state.UseQuery = state.byQuery;
    state.CollectNotFound = state.collectNotFound;
    if (!run.LoadSchema())
        return {};
    const auto fields = run.RequireFields(NameCheckFields);
    if (!fields || !run.Ask("Начать обработку?"_w))
        return {};

    run.StartReport({ "Проверка реестра льготников на соответствие ФИО указанному стр.номеру"_w });
    if (state.CollectNotFound)
        run.Report().AppendLine("   со сбором ненайденных ФИО"_w);
    run.OpenDataFile();
    Register& numbers = run.OpenRegister(LookupKind::ByNumber);
    std::unique_ptr<NotFoundTable> notFound;
    if (state.CollectNotFound) {
        try {
            notFound = std::make_unique<NotFoundTable>(state.ProgramDir);
        } catch (const std::exception& e) {
            run.Report().AppendLine("Ошибка при открытии таблицы ANKT"_w);
            run.Shortfall(std::string("Ошибка при открытии таблицы ANKT: "_w) + Utf8ToCp1251(e.what()));
            state.CollectNotFound = false;
        }
    }
    run.TimeLine(" Начало  "_w);

    NameChecker checker(run, *fields, numbers, notFound.get());
    run.ReadLines([&] { checker.CheckRecord(); },
        [&] { run.Report().AddErrorLine({ FindingKinds::LineFailed }, "Неизвестно что"_w); },
        [&](LookupKey& key) { return checker.LookupKeyOf(key); });

    run.TimeLine(" Конец   "_w);
    run.CloseDataFile();
    run.CloseRegister();
    const RunCounters& counters = run.Counters();
    run.SummaryLine();
    run.Report().AppendLine(std::string("Нет номеров у "_w) + std::to_string(checker.NoNumberCount)
        + std::string(", не найдено в БД: "_w) + std::to_string(checker.NotFoundCount)
        + std::string(", обнаружено ошибок: "_w) + std::to_string(counters.ErrorCount));
    if (notFound && !run.Stopped())
        storeNotFound(run, *notFound);
    return run.Finish(std::string("Прочитано "_w) + std::to_string(counters.LinesRead)
        + std::string(" строк и записей: "_w) + std::to_string(counters.RecordCount)
        + std::string(", нет номеров у "_w) + std::to_string(checker.NoNumberCount)
        + std::string(", найдено ошибок: "_w) + std::to_string(counters.ErrorCount));
}

} // namespace venqor
