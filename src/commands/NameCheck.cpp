#include "commands/NameCheck.h"

#include "engine/TableEngine.h"
#include "register/Register.h"
#include "register/StrNum.h"
#include "run/ProcessingRun.h"

#include "scan/CodePage.h"
#include "scan/Cp1251Literal.h"
#include "scan/Dates.h"
#include "scan/ScanCSV.h"
#include "scan/Schema.h"

#include <filesystem>

namespace venqor {

namespace {

constexpr std::string_view Required[] = { "STRNUM", "FAM", "NAM", "OTCH", "BIRTH", "SEX" };
constexpr std::size_t NameLength = 40;
constexpr std::int32_t FormatMessageLimit = 100; // messages 1..99 are written

// Assigns a field's text, cut to a length, without allocating once the buffer has grown.
void take(std::string& target, std::string_view value, std::size_t length)
{
    target.assign(value.substr(0, length));
}

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

class NameCheckSteps final : public RunSteps {
public:
    std::span<const std::string_view> RequiredFields() const override { return Required; }
    std::string_view Question() const override { return "Начать обработку?"_w; }

    void TakeOptions(TMainState& state) override
    {
        state.UseQuery = state.byQuery;
        state.CollectNotFound = state.collectNotFound;
    }

    void TitleLines(ProcessingRun& run) override
    {
        run.report().AppendLine("Проверка реестра льготников на соответствие ФИО указанному стр.номеру"_w);
    }

    void HeaderLines(ProcessingRun& run) override
    {
        if (run.state().CollectNotFound)
            run.report().AppendLine("   со сбором ненайденных ФИО"_w);
    }

    void Open(ProcessingRun& run) override;
    void RecordStep(ProcessingRun& run) override;
    void LineFailed(ProcessingRun& run) override { run.report().AddErrorLine("Неизвестно что"_w); }
    void AfterLoop(ProcessingRun&) override { Scan.Options.RecodeOem = false; }
    void CloseRegister(ProcessingRun&) override { register_.Close(); }
    std::string Summary(ProcessingRun& run) override;
    void Close(ProcessingRun&) override;

private:
    void openAnkt(ProcessingRun& run);
    void addToAnkt(std::int32_t number);
    void checkFound(ProcessingRun& run, std::int32_t number);
    int registerField(int& index, std::string_view name);

    Register register_;
    std::unique_ptr<Database> anktDatabase_;
    std::unique_ptr<Table> ankt_;
    int anktFields_[6] = {};

    // Register fields, each resolved when it is first read (-1 until then), so that a
    // register lacking a field fails only where that field is read.
    int regFam_ = -1, regNam_ = -1, regOtch_ = -1, regBirth_ = -1, regCond_ = -1;

    std::int32_t noNumberCount_ = 0;
    std::int32_t notFoundCount_ = 0;
    std::int32_t formatMsgCount_ = 0;

    // Values of the current record, reused from line to line.
    int iNum_ = 0, iFam_ = 0, iNam_ = 0, iOtch_ = 0, iBirth_ = 0, iSex_ = 0;
    std::string numText_, fam_, nam_, otch_, birthText_, sex_;
    Date birth_;
    std::string lineName_, registerName_, message_;
};

void NameCheckSteps::Open(ProcessingRun& run)
{
    TMainState& state = run.state();
    iNum_ = run.field("STRNUM");
    iFam_ = run.field("FAM");
    iNam_ = run.field("NAM");
    iOtch_ = run.field("OTCH");
    iBirth_ = run.field("BIRTH");
    iSex_ = run.field("SEX");

    register_.OpenRegister(
        { NativePath(state.registerLocation), state.UseQuery, state.Sql1Text, state.Sql2Text },
        LookupKind::ByNumber);
    if (!register_.available())
        run.report().AppendLine(std::string("Реестр NUMS недоступен, поиск не выполнялся: "_w)
            + Utf8ToCp1251(register_.unavailableReason()));
    if (state.CollectNotFound)
        openAnkt(run);
}

void NameCheckSteps::openAnkt(ProcessingRun& run)
{
    try {
        const std::string dir = NativePath(run.state().ProgramDir);
        anktDatabase_ = OpenDatabase(dir);
        ankt_ = anktDatabase_->table("ANKT");
        if (!std::filesystem::exists(std::filesystem::path(dir) / "ANKT.DB")) {
            try {
                ankt_->create({ { "NUM", FieldType::Integer, 0 }, { "FAM", FieldType::Text, 25 },
                                  { "NAM", FieldType::Text, 20 }, { "OTCH", FieldType::Text, 20 },
                                  { "BIRTH", FieldType::Date, 0 }, { "COND", FieldType::Text, 1 },
                                  { "SEX", FieldType::Text, 1 }, { "DATMOD", FieldType::Date, 0 } },
                    "NUM");
            } catch (const std::exception&) {
                // Opening below reports the table as unusable.
            }
        }
        ankt_->open();
        static constexpr std::string_view filled[] = { "NUM", "FAM", "NAM", "OTCH", "BIRTH", "SEX" };
        for (std::size_t i = 0; i < std::size(filled); ++i)
            anktFields_[i] = ankt_->fieldIndex(filled[i]);
        anktDatabase_->beginWrite();
    } catch (const std::exception&) {
        ankt_.reset();
        anktDatabase_.reset();
        run.report().AppendLine("Ошибка при открытии таблицы ANKT"_w);
        run.state().CollectNotFound = false;
    }
}

void NameCheckSteps::addToAnkt(std::int32_t number)
{
    try {
        ankt_->insert();
        ankt_->setField(anktFields_[0], static_cast<std::int64_t>(number));
        ankt_->setField(anktFields_[1], std::string_view(fam_));
        ankt_->setField(anktFields_[2], std::string_view(nam_));
        ankt_->setField(anktFields_[3], std::string_view(otch_));
        ankt_->setField(anktFields_[4], std::string_view(birthText_));
        ankt_->setField(anktFields_[5], std::string_view(sex_));
        ankt_->post();
    } catch (const std::exception&) {
        // A number already collected, or a birth date the table cannot take: the row is
        // dropped alone.
        ankt_->cancel();
    }
}

int NameCheckSteps::registerField(int& index, std::string_view name)
{
    if (index < 0)
        index = register_.record().fieldIndex(name);
    return index;
}

void NameCheckSteps::RecordStep(ProcessingRun& run)
{
    RunReport& report = run.report();
    const TFieldList& fields = run.state().Fields;

    UpperLineBuf();
    take(numText_, FieldValue(fields, iNum_), NameLength);
    take(fam_, FieldValue(fields, iFam_), NameLength);
    take(nam_, FieldValue(fields, iNam_), NameLength);
    take(otch_, FieldValue(fields, iOtch_), NameLength);
    take(birthText_, FieldValue(fields, iBirth_), 10);
    take(sex_, FieldValue(fields, iSex_), 1);
    const std::int32_t number = TextToStrNum(numText_);

    if (!nam_.empty() && nam_.front() == ' ' && ++formatMsgCount_ < FormatMessageLimit) {
        message_.assign("Ошибка форматирования строки \""_w);
        message_ += nam_;
        message_ += '"';
        report.AddErrorLine(message_);
    }

    birth_ = ZeroDate;
    if (!birthText_.empty()) {
        birthText_ = YmdToDmy(birthText_);
        const auto date = ParseDmy(birthText_);
        if (!birthText_.empty() && date) {
            birth_ = *date;
        } else if (++formatMsgCount_ < FormatMessageLimit) {
            message_.assign("Ошибка форматирования даты \""_w);
            message_ += birthText_;
            message_ += '"';
            report.AddErrorLine(message_);
        }
    }

    if (number == 0 && !numText_.empty())
        numText_.clear();

    if (numText_.size() > 11 && (numText_[3] != '-' || numText_[7] != '-' || numText_[11] != ' ')) {
        ++run.state().ErrorCount;
        numText_[3] = '-';
        numText_[7] = '-';
        numText_[11] = ' ';
    }

    if (number == 0)
        ++noNumberCount_;

    if (number > 0 && register_.available()) {
        if (register_.FindByStrNum(number)) {
            checkFound(run, number);
        } else {
            ++notFoundCount_;
            if (!run.state().noStatusErrors) {
                message_.assign("Не найден стр.№ "_w);
                message_ += StrNumToText(number);
                message_ += ' ';
                message_ += fam_;
                message_ += ' ';
                message_ += nam_;
                message_ += ' ';
                message_ += otch_;
                report.AddNoteLine(message_);
            }
            if (run.state().CollectNotFound)
                addToAnkt(number);
        }
    }

    if (number < 0) {
        message_.assign("Ошибка в контр. сумме у стр.№ "_w);
        message_ += numText_;
        report.AddErrorLine(message_);
    }
}

void NameCheckSteps::checkFound(ProcessingRun& run, std::int32_t number)
{
    RunReport& report = run.report();
    RecordReader& r = register_.record();
    const std::string strNum = StrNumToText(number);

    lineName_.assign(fam_).append(1, ' ').append(nam_).append(1, ' ').append(otch_);
    const std::string_view regFam = r.fieldText(registerField(regFam_, "FAM"));
    const bool famEqual = fam_ == regFam;
    registerName_.assign(regFam).append(1, ' ');
    const std::string_view regNam = r.fieldText(registerField(regNam_, "NAM"));
    const bool namEqual = famEqual && nam_ == regNam;
    registerName_.append(regNam).append(1, ' ');
    const std::string_view regOtch = r.fieldText(registerField(regOtch_, "OTCH"));
    const bool otchEqual = namEqual && otch_ == regOtch;
    registerName_.append(regOtch);

    if (!otchEqual) {
        message_.assign("Расхождения в ФИО у стр.№ "_w);
        message_ += strNum;
        report.AddErrorLine(message_);

        message_.assign("   -  Указано  "_w);
        message_ += lineName_;
        lowerLatin(message_);
        report.AppendLine(message_);

        const int first = firstDifference(lineName_, registerName_);
        const int last = lastDifference(lineName_, registerName_);
        message_.assign("   -  Числится "_w);
        message_ += registerName_;
        report.AddMarkedLine(first + 15, last + 15, message_);
    }

    if (!run.state().noBirthErrors) {
        const int field = registerField(regBirth_, "BIRTH");
        if (r.fieldDate(field) != birth_) {
            message_.assign("Расхождение в д/р "_w);
            message_ += FormatDmy(birth_);
            message_ += " у стр.№ "_w;
            message_ += strNum;
            message_ += " вместо "_w;
            message_ += r.fieldText(field); // dd.mm.yyyy, empty when the field is
            report.AddErrorLine(message_);
        }
    }

    if (!run.state().noStatusErrors) {
        const std::string_view cond = r.fieldText(registerField(regCond_, "COND"));
        const char status = cond.empty() ? ' ' : cond.front();
        message_.clear();
        if (status == 'C' || status == 'E') {
            message_.assign("Отмененный стр.№ "_w).append(strNum).append(1, ' ').append(lineName_);
        } else if (status == 'F' && lineName_ == registerName_) {
            message_.assign("У стр.№ "_w).append(strNum).append(" не может быть ФИО "_w).append(lineName_);
        } else if (status == 'F') {
            message_.assign("У стр.№ "_w)
                .append(strNum)
                .append(1, ' ')
                .append(lineName_)
                .append(" неизвестны правильные ФИО"_w);
        } else if (status == 'G') {
            message_.assign("Отсутствует в БД стр.№ "_w).append(strNum).append(1, ' ').append(lineName_);
        }
        if (!message_.empty())
            report.AddErrorLine(message_);
    }
}

std::string NameCheckSteps::Summary(ProcessingRun& run)
{
    const TMainState& state = run.state();
    const auto n = [](std::int64_t v) { return std::to_string(v); };
    run.report().AppendLine(std::string("Прочитано "_w) + n(run.LinesRead)
        + std::string(" строк, найдено заголовков: "_w) + n(run.HeaderCount) + std::string(", записей: "_w)
        + n(state.RecordCount) + std::string(", льгот: "_w) + n(run.BenefitCount));
    run.report().AppendLine(std::string("Нет номеров у "_w) + n(noNumberCount_)
        + std::string(", не найдено в БД: "_w) + n(notFoundCount_) + std::string(", обнаружено ошибок: "_w)
        + n(state.ErrorCount));
    return std::string("Прочитано "_w) + n(run.LinesRead) + std::string(" строк и записей: "_w)
        + n(state.RecordCount) + std::string(", нет номеров у "_w) + n(noNumberCount_)
        + std::string(", найдено ошибок: "_w) + n(state.ErrorCount);
}

void NameCheckSteps::Close(ProcessingRun& run)
{
    if (!ankt_)
        return;
    try {
        anktDatabase_->commit();
        ankt_->close();
    } catch (const std::exception& e) {
        // The rows of this run are lost: say so rather than let the report look complete.
        run.report().AppendLine(std::string("Ошибка при записи таблицы ANKT: "_w) + Utf8ToCp1251(e.what()));
    }
    ankt_.reset();
    anktDatabase_.reset();
}

} // namespace

bool CheckNames(TMainState& state, RunHost& host)
{
    NameCheckSteps steps;
    ProcessingRun run(state, host);
    return run.Execute(steps);
}

} // namespace venqor
