#include "register/DemoRegister.h"

#include "register/NumsLoader.h"
#include "base/CodePage.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace venqor {

namespace {

// Surnames in their male form; the female form follows from the ending.
// clang-format off
constexpr const char* surnameList[] = {
    "ИВАНОВ", "СМИРНОВ", "КУЗНЕЦОВ", "ПОПОВ", "ВАСИЛЬЕВ", "ПЕТРОВ", "СОКОЛОВ", "МИХАЙЛОВ", "НОВИКОВ",
    "ФЁДОРОВ", "МОРОЗОВ", "ВОЛКОВ", "АЛЕКСЕЕВ", "ЛЕБЕДЕВ", "СЕМЁНОВ", "ЕГОРОВ", "ПАВЛОВ", "КОЗЛОВ",
    "СТЕПАНОВ", "НИКОЛАЕВ", "ОРЛОВ", "АНДРЕЕВ", "МАКАРОВ", "НИКИТИН", "ЗАХАРОВ", "ЗАЙЦЕВ", "СОЛОВЬЁВ",
    "БОРИСОВ", "ЯКОВЛЕВ", "ГРИГОРЬЕВ", "РОМАНОВ", "ВОРОБЬЁВ", "СЕРГЕЕВ", "КУЗЬМИН", "ФРОЛОВ", "АЛЕКСАНДРОВ",
    "ДМИТРИЕВ", "КОРОЛЁВ", "ГУСЕВ", "КИСЕЛЁВ", "ИЛЬИН", "МАКСИМОВ", "ПОЛЯКОВ", "СОРОКИН", "ВИНОГРАДОВ",
    "КОВАЛЁВ", "БЕЛОВ", "МЕДВЕДЕВ", "АНТОНОВ", "ТАРАСОВ", "ЖУКОВ", "БАРАНОВ", "ФИЛИППОВ", "КОМАРОВ",
    "ДАВЫДОВ", "БЕЛЯЕВ", "ГЕРАСИМОВ", "БОГДАНОВ", "ОСИПОВ", "СИДОРОВ", "МАТВЕЕВ", "ТИТОВ", "МАРКОВ",
    "МИРОНОВ", "КРЫЛОВ", "КУЛИКОВ", "КАРПОВ", "ВЛАСОВ", "МЕЛЬНИКОВ", "ДЕНИСОВ", "ГАВРИЛОВ", "ТИХОНОВ",
    "КАЗАКОВ", "АФАНАСЬЕВ", "ДАНИЛОВ", "САВЕЛЬЕВ", "ТИМОФЕЕВ", "ФОМИН", "ЧЕРНОВ", "АБРАМОВ", "МАРТЫНОВ",
    "ЕФИМОВ", "ФЕДОТОВ", "ЩЕРБАКОВ", "НАЗАРОВ", "КАЛИНИН", "ИСАЕВ", "ЧЕРНЫШЁВ", "БЫКОВ", "МАСЛОВ",
    "РОДИОНОВ", "КОНОВАЛОВ", "ЛАЗАРЕВ", "ВОРОНИН", "КЛИМОВ", "ФИЛАТОВ", "ПОНОМАРЁВ", "ГОЛУБЕВ", "КУДРЯВЦЕВ",
    "ПРОХОРОВ", "НАУМОВ", "ПОТАПОВ", "ЖУРАВЛЁВ", "ОВЧИННИКОВ", "ТРОФИМОВ", "ЛЕОНОВ", "СОБОЛЕВ", "ЕРМАКОВ",
    "КОЛЕСНИКОВ", "ГОНЧАРОВ", "ЕМЕЛЬЯНОВ", "НИКИФОРОВ", "ГРАЧЁВ", "КОТОВ", "ГРИШИН", "ЕФРЕМОВ", "АРХИПОВ",
    "ГРОМОВ", "КИРИЛЛОВ", "МАЛЫШЕВ", "ПАНОВ", "МОИСЕЕВ", "РУМЯНЦЕВ", "АКИМОВ", "КОНДРАТЬЕВ", "БИРЮКОВ",
    "ГОРБУНОВ", "АНИСИМОВ", "ЕРЁМИН", "ТИХОМИРОВ", "ГАЛКИН", "ЛУКЬЯНОВ", "МИХЕЕВ", "СКВОРЦОВ", "ЮДИН",
    "БЕЛОУСОВ", "НЕСТЕРОВ", "СИМОНОВ", "ПРОКОФЬЕВ", "ХАРИТОНОВ", "КНЯЗЕВ", "ЦВЕТКОВ", "ЛЕВИН", "МИТРОФАНОВ",
    "ВОРОНОВ", "АКСЁНОВ", "СОФРОНОВ", "МАЛЬЦЕВ", "ЛОГИНОВ", "ГОРШКОВ", "САВИН", "КРАСНОВ", "МАЙОРОВ",
    "ДЕМИДОВ", "ЕЛИСЕЕВ", "РЫБАКОВ", "САФОНОВ", "ПЛОТНИКОВ", "ДЁМИН", "ХОХЛОВ", "ФАДЕЕВ", "МОЛЧАНОВ",
    "ИГНАТОВ", "ЛИТВИНОВ", "ЕРШОВ", "УШАКОВ", "ДЬЯЧКОВ", "ГОРЯЧЕВ", "ЛАПИН", "ПУШКИН", "ЗИМИН", "ЗОТОВ",
    "ЛЫСЕНКОВ", "ГУРЬЕВ", "БОБРОВ", "СУВОРОВ", "ЗУЕВ", "ШИШКИН", "КОВАЛЕВСКИЙ", "ЖУКОВСКИЙ", "ВЫСОЦКИЙ",
    "ПОКРОВСКИЙ", "ВОЗНЕСЕНСКИЙ", "УСПЕНСКИЙ", "БЕРЕЗОВСКИЙ", "ЯНКОВСКИЙ", "СЛУЦКИЙ", "ЗАВАДСКИЙ",
    "ТРУБЕЦКОЙ", "ТОЛСТОЙ", "ЛАНСКОЙ", "ШЕВЧЕНКО", "КОВАЛЕНКО", "БОНДАРЕНКО", "ТКАЧЕНКО", "КРАВЧЕНКО",
    "ЛИТВИНЕНКО", "ЧЕРНЫХ", "СЕДЫХ", "ДОЛГИХ", "БЕЛЫХ", "КРУГЛЫХ",
};
// clang-format on

// clang-format off
constexpr const char* maleNameList[] = {
    "АЛЕКСАНДР", "АЛЕКСЕЙ", "АНАТОЛИЙ", "АНДРЕЙ", "АНТОН", "АРКАДИЙ", "АРТЁМ", "БОРИС", "ВАДИМ", "ВАЛЕНТИН",
    "ВАЛЕРИЙ", "ВАСИЛИЙ", "ВИКТОР", "ВИТАЛИЙ", "ВЛАДИМИР", "ВЛАДИСЛАВ", "ВЯЧЕСЛАВ", "ГЕННАДИЙ", "ГЕОРГИЙ",
    "ГРИГОРИЙ", "ДАНИИЛ", "ДЕНИС", "ДМИТРИЙ", "ЕВГЕНИЙ", "ЕГОР", "ИВАН", "ИГОРЬ", "ИЛЬЯ", "КИРИЛЛ",
    "КОНСТАНТИН", "ЛЕОНИД", "МАКСИМ", "МИХАИЛ", "НИКИТА", "НИКОЛАЙ", "ОЛЕГ", "ПАВЕЛ", "ПЁТР", "РОМАН",
    "РУСЛАН", "СЕМЁН", "СЕРГЕЙ", "СТАНИСЛАВ", "СТЕПАН", "ТИМОФЕЙ", "ФЁДОР", "ЭДУАРД", "ЮРИЙ", "ЯКОВ", "ЛЕВ",
    "АРСЕНИЙ", "ГЛЕБ", "ЕФИМ", "МАТВЕЙ", "ФИЛИПП", "ЗАХАР", "ТИХОН", "ЕМЕЛЬЯН",
};
// clang-format on

// clang-format off
constexpr const char* femaleNameList[] = {
    "АЛЕКСАНДРА", "АЛЛА", "АЛЁНА", "АЛИНА", "АННА", "АНТОНИНА", "ВАЛЕНТИНА", "ВАЛЕРИЯ", "ВАРВАРА", "ВЕРА",
    "ВЕРОНИКА", "ВИКТОРИЯ", "ГАЛИНА", "ДАРЬЯ", "ЕВГЕНИЯ", "ЕКАТЕРИНА", "ЕЛЕНА", "ЕЛИЗАВЕТА", "ЖАННА",
    "ЗИНАИДА", "ЗОЯ", "ИННА", "ИРИНА", "КЛАВДИЯ", "КРИСТИНА", "КСЕНИЯ", "ЛАРИСА", "ЛИДИЯ", "ЛЮБОВЬ",
    "ЛЮДМИЛА", "МАРГАРИТА", "МАРИНА", "МАРИЯ", "НАДЕЖДА", "НАТАЛЬЯ", "НИНА", "ОКСАНА", "ОЛЬГА", "ПОЛИНА",
    "РАИСА", "СВЕТЛАНА", "СОФЬЯ", "ТАМАРА", "ТАТЬЯНА", "УЛЬЯНА", "ЮЛИЯ", "ЯНА", "ФАИНА", "ЭЛЬВИРА", "НОННА",
    "ЕВДОКИЯ", "АГАФЬЯ", "ФЁКЛА",
};
// clang-format on

// Patronymics, for a son and for a daughter.
// clang-format off
constexpr const char* patronymicList[][2] = {
    {"АЛЕКСАНДРОВИЧ", "АЛЕКСАНДРОВНА"}, {"АЛЕКСЕЕВИЧ", "АЛЕКСЕЕВНА"}, {"АНАТОЛЬЕВИЧ", "АНАТОЛЬЕВНА"},
    {"АНДРЕЕВИЧ", "АНДРЕЕВНА"}, {"АНТОНОВИЧ", "АНТОНОВНА"}, {"АРКАДЬЕВИЧ", "АРКАДЬЕВНА"},
    {"АРТЁМОВИЧ", "АРТЁМОВНА"}, {"БОРИСОВИЧ", "БОРИСОВНА"}, {"ВАДИМОВИЧ", "ВАДИМОВНА"},
    {"ВАЛЕНТИНОВИЧ", "ВАЛЕНТИНОВНА"}, {"ВАЛЕРЬЕВИЧ", "ВАЛЕРЬЕВНА"}, {"ВАСИЛЬЕВИЧ", "ВАСИЛЬЕВНА"},
    {"ВИКТОРОВИЧ", "ВИКТОРОВНА"}, {"ВИТАЛЬЕВИЧ", "ВИТАЛЬЕВНА"}, {"ВЛАДИМИРОВИЧ", "ВЛАДИМИРОВНА"},
    {"ВЛАДИСЛАВОВИЧ", "ВЛАДИСЛАВОВНА"}, {"ВЯЧЕСЛАВОВИЧ", "ВЯЧЕСЛАВОВНА"}, {"ГЕННАДЬЕВИЧ", "ГЕННАДЬЕВНА"},
    {"ГЕОРГИЕВИЧ", "ГЕОРГИЕВНА"}, {"ГРИГОРЬЕВИЧ", "ГРИГОРЬЕВНА"}, {"ДАНИЛОВИЧ", "ДАНИЛОВНА"},
    {"ДЕНИСОВИЧ", "ДЕНИСОВНА"}, {"ДМИТРИЕВИЧ", "ДМИТРИЕВНА"}, {"ЕВГЕНЬЕВИЧ", "ЕВГЕНЬЕВНА"},
    {"ЕГОРОВИЧ", "ЕГОРОВНА"}, {"ИВАНОВИЧ", "ИВАНОВНА"}, {"ИГОРЕВИЧ", "ИГОРЕВНА"}, {"ИЛЬИЧ", "ИЛЬИНИЧНА"},
    {"КИРИЛЛОВИЧ", "КИРИЛЛОВНА"}, {"КОНСТАНТИНОВИЧ", "КОНСТАНТИНОВНА"}, {"ЛЕОНИДОВИЧ", "ЛЕОНИДОВНА"},
    {"МАКСИМОВИЧ", "МАКСИМОВНА"}, {"МИХАЙЛОВИЧ", "МИХАЙЛОВНА"}, {"НИКИТИЧ", "НИКИТИЧНА"},
    {"НИКОЛАЕВИЧ", "НИКОЛАЕВНА"}, {"ОЛЕГОВИЧ", "ОЛЕГОВНА"}, {"ПАВЛОВИЧ", "ПАВЛОВНА"},
    {"ПЕТРОВИЧ", "ПЕТРОВНА"}, {"РОМАНОВИЧ", "РОМАНОВНА"}, {"РУСЛАНОВИЧ", "РУСЛАНОВНА"},
    {"СЕМЁНОВИЧ", "СЕМЁНОВНА"}, {"СЕРГЕЕВИЧ", "СЕРГЕЕВНА"}, {"СТАНИСЛАВОВИЧ", "СТАНИСЛАВОВНА"},
    {"СТЕПАНОВИЧ", "СТЕПАНОВНА"}, {"ТИМОФЕЕВИЧ", "ТИМОФЕЕВНА"}, {"ФЁДОРОВИЧ", "ФЁДОРОВНА"},
    {"ЮРЬЕВИЧ", "ЮРЬЕВНА"}, {"ЯКОВЛЕВИЧ", "ЯКОВЛЕВНА"}, {"ЛЬВОВИЧ", "ЛЬВОВНА"}, {"МАТВЕЕВИЧ", "МАТВЕЕВНА"},
    {"ФИЛИППОВИЧ", "ФИЛИППОВНА"}, {"ЗАХАРОВИЧ", "ЗАХАРОВНА"}, {"ТИХОНОВИЧ", "ТИХОНОВНА"},
    {"ЕФИМОВИЧ", "ЕФИМОВНА"}, {"ЭДУАРДОВИЧ", "ЭДУАРДОВНА"},
};
// clang-format on

constexpr char statuses[] = { 'C', 'E', 'F', 'G' };
constexpr std::uint64_t statusPerMille = 8; // persons in a thousand whose number has a status

std::string femaleSurname(std::string_view male)
{
    for (const std::string_view ending : { "ОВ", "ЕВ", "ЁВ", "ИН", "ЫН" })
        if (male.ends_with(ending))
            return std::string(male) + "А";
    for (const std::string_view ending : { "ИЙ", "ОЙ" })
        if (male.ends_with(ending))
            return std::string(male.substr(0, male.size() - ending.size())) + "АЯ";
    return std::string(male); // ШЕВЧЕНКО, ЧЕРНЫХ: the same for both
}

// The name lists in Windows-1251, and the sizes of the space of (sex, surname, name,
// patronymic, birth day) tuples that persons are drawn from without repetition.
struct NameTables {
    std::vector<std::string> surnames[2]; // [0] male, [1] female
    std::vector<std::string> names[2];
    std::vector<std::string> patronymics[2];
    std::int32_t firstDay;
    std::uint64_t days;
    std::uint64_t maleTuples;
    std::uint64_t tuples;
    unsigned tupleHalfBits;

    NameTables()
    {
        for (const char* s : surnameList) {
            surnames[0].push_back(Utf8ToCp1251(s));
            surnames[1].push_back(Utf8ToCp1251(femaleSurname(s)));
        }
        for (const char* s : maleNameList)
            names[0].push_back(Utf8ToCp1251(s));
        for (const char* s : femaleNameList)
            names[1].push_back(Utf8ToCp1251(s));
        for (const auto& forms : patronymicList)
            for (int sex = 0; sex < 2; ++sex)
                patronymics[sex].push_back(Utf8ToCp1251(forms[sex]));
        firstDay = MakeDate(1930, 1, 1)->days;
        days = static_cast<std::uint64_t>(MakeDate(2005, 12, 31)->days - firstDay + 1);
        const auto tuplesOf = [&](int sex) {
            return surnames[sex].size() * names[sex].size() * patronymics[sex].size() * days;
        };
        maleTuples = tuplesOf(0);
        tuples = maleTuples + tuplesOf(1);
        tupleHalfBits = 1;
        while ((std::uint64_t { 1 } << (2 * tupleHalfBits)) < tuples)
            ++tupleHalfBits;
    }
};

const NameTables& tables()
{
    static const NameTables t;
    return t;
}

// splitmix64's finaliser: a cheap, well-mixing hash of 64 bits.
std::uint64_t mix(std::uint64_t z)
{
    z += 0x9E3779B97F4A7C15;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EB;
    return z ^ (z >> 31);
}

// A keyed bijection of [0, size), size <= 4^halfBits: a four-round Feistel network over
// 2 * halfBits bits, applied again while the value lies outside the range (cycle walking
// keeps it a bijection of the range).
std::uint64_t permute(std::uint64_t x, std::uint64_t size, unsigned halfBits, std::uint64_t key)
{
    const std::uint64_t mask = (std::uint64_t { 1 } << halfBits) - 1;
    do {
        std::uint64_t left = x >> halfBits;
        std::uint64_t right = x & mask;
        for (std::uint64_t round = 0; round < 4; ++round) {
            const std::uint64_t next = left ^ (mix(right ^ mix(key + round)) & mask);
            left = right;
            right = next;
        }
        x = left << halfBits | right;
    } while (x >= size);
    return x;
}

constexpr std::int32_t firstNum = 1001;
constexpr unsigned numHalfBits = 15; // 4^15 > DemoPersonLimit

} // namespace

DemoPerson DemoPersonAt(std::uint64_t seed, std::int64_t index)
{
    if (index < 0 || index >= DemoPersonLimit)
        throw std::out_of_range("demo person index " + std::to_string(index) + " out of range");
    const NameTables& t = tables();
    const auto i = static_cast<std::uint64_t>(index);

    DemoPerson p;
    p.num = firstNum
        + static_cast<std::int32_t>(permute(i, DemoPersonLimit, numHalfBits, mix(seed ^ 0x6E756D73)));

    std::uint64_t tuple = permute(i, t.tuples, t.tupleHalfBits, mix(seed ^ 0x66696F62));
    const int sex = tuple < t.maleTuples ? 0 : 1;
    if (sex == 1)
        tuple -= t.maleTuples;
    p.birth = Date { t.firstDay + static_cast<std::int32_t>(tuple % t.days) };
    tuple /= t.days;
    p.otch = t.patronymics[sex][tuple % t.patronymics[sex].size()];
    tuple /= t.patronymics[sex].size();
    p.nam = t.names[sex][tuple % t.names[sex].size()];
    tuple /= t.names[sex].size();
    p.fam = t.surnames[sex][tuple];
    p.sex = sex == 0 ? '\xCC' : '\xC6';

    const std::uint64_t h = mix(mix(seed ^ 0x636F6E64) + i);
    p.cond = h % 1000 < statusPerMille ? statuses[(h >> 32) % std::size(statuses)] : ' ';
    return p;
}

void WriteDemoRegister(
    const std::string& location, std::int64_t rows, std::uint64_t seed, ProgressSink* progress)
{
    if (rows < 0 || rows > DemoPersonLimit)
        throw std::out_of_range("a demo register holds 0 to " + std::to_string(DemoPersonLimit) + " rows");
    // Rows in the order of their numbers append to an SQLite table's tree instead of
    // splitting its pages all over: nearly twice as fast as in the order of the indexes.
    std::vector<std::pair<std::int32_t, std::int32_t>> order; // number, index
    order.reserve(static_cast<std::size_t>(rows));
    for (std::int64_t i = 0; i < rows; ++i)
        order.emplace_back(DemoPersonAt(seed, i).num, static_cast<std::int32_t>(i));
    std::sort(order.begin(), order.end());

    NumsLoader loader(location);
    if (progress)
        progress->ProgressStart(static_cast<std::uint64_t>(rows));
    for (std::int64_t i = 0; i < rows; ++i) {
        const DemoPerson p = DemoPersonAt(seed, order[static_cast<std::size_t>(i)].second);
        const std::string_view cond = p.cond == ' ' ? std::string_view() : std::string_view(&p.cond, 1);
        if (!loader.add(
                { p.num, p.fam, p.nam, p.otch, p.birth, cond, std::string_view(&p.sex, 1), ZeroDate }))
            throw std::logic_error("demo person " + std::to_string(i) + " repeats a number");
        if (progress && (i + 1) % 4096 == 0)
            progress->Progress(static_cast<std::uint64_t>(i + 1));
    }
    loader.commit();
    if (progress)
        progress->ProgressEnd();
}

} // namespace venqor
