#include "register/DemoRegister.h"

#include "base/CodePage.h"
#include "register/RegisterImport.h"
#include "support/RecordingProgress.h"
#include "support/SqliteQuery.h"
#include "support/TempDir.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <tuple>
#include <unordered_set>

namespace venqor {
namespace {

using test::TempDir;

constexpr char male = '\xCC';   // М
constexpr char female = '\xC6'; // Ж

// The check number by the rule, worked out independently of the import's own.
int checkNumber(std::int32_t body)
{
    const std::string digits = std::to_string(1'000'000'000 + body).substr(1);
    int sum = 0;
    for (int i = 0; i < 9; ++i)
        sum += (digits[static_cast<std::size_t>(i)] - '0') * (9 - i);
    return sum % 101 % 100;
}

std::string fullNumber(std::int32_t body)
{
    const std::string d = std::to_string(1'000'000'000 + body).substr(1);
    const int check = checkNumber(body);
    return d.substr(0, 3) + "-" + d.substr(3, 3) + "-" + d.substr(6, 3) + " " + std::to_string(check / 10)
        + std::to_string(check % 10);
}

bool endsWith(const std::string& text, const std::string& utf8)
{
    return text.ends_with(Utf8ToCp1251(utf8));
}

TEST(DemoRegister, CheckNumberOracleAgreesWithTheWorkedExamples)
{
    const std::pair<std::int32_t, int> examples[] = { { 112233445, 95 }, { 123456789, 64 }, { 987654321, 83 },
        { 100028889, 0 }, { 100028987, 0 }, { 0, 0 } };
    for (const auto& [body, check] : examples)
        EXPECT_EQ(checkNumber(body), check) << body;
}

TEST(DemoRegister, SameSeedAndIndexGiveTheSamePerson)
{
    int differing = 0;
    for (const std::int64_t i : { std::int64_t { 0 }, std::int64_t { 1 }, std::int64_t { 2 },
             std::int64_t { 999 }, std::int64_t { 123456 }, DemoPersonLimit - 1 }) {
        const DemoPerson a = DemoPersonAt(42, i);
        const DemoPerson b = DemoPersonAt(42, i);
        EXPECT_EQ(std::tie(a.num, a.fam, a.nam, a.otch, a.birth, a.cond, a.sex),
            std::tie(b.num, b.fam, b.nam, b.otch, b.birth, b.cond, b.sex))
            << i;
        const DemoPerson other = DemoPersonAt(43, i);
        differing += other.num != a.num
            && std::tie(other.fam, other.nam, other.otch, other.birth)
                != std::tie(a.fam, a.nam, a.otch, a.birth);
    }
    EXPECT_GE(differing, 5); // another seed, other people
    EXPECT_THROW(DemoPersonAt(1, -1), std::out_of_range);
    EXPECT_THROW(DemoPersonAt(1, DemoPersonLimit), std::out_of_range);
}

TEST(DemoRegister, PersonsAreDistinctAndPlausible)
{
    constexpr std::int64_t count = 200'000;
    std::unordered_set<std::int32_t> numbers;
    std::set<std::tuple<std::string, std::string, std::string, std::int32_t>> people;
    std::set<std::string> surnames;
    std::int64_t men = 0, withStatus = 0;
    const Date first = *MakeDate(1930, 1, 1), last = *MakeDate(2005, 12, 31);
    for (std::int64_t i = 0; i < count; ++i) {
        const DemoPerson p = DemoPersonAt(1, i);
        ASSERT_TRUE(numbers.insert(p.num).second) << "number repeated at index " << i;
        ASSERT_TRUE(people.emplace(p.fam, p.nam, p.otch, p.birth.days).second)
            << "person repeated at index " << i;
        ASSERT_GE(p.num, 1001);
        ASSERT_LE(p.num, 999'999'999);
        ASSERT_GE(p.birth.days, first.days);
        ASSERT_LE(p.birth.days, last.days);
        ASSERT_TRUE(p.sex == male || p.sex == female);
        // A son's patronymic ends in -ИЧ, a daughter's in -НА (ИЛЬИНИЧНА, НИКИТИЧНА too).
        ASSERT_TRUE(p.sex == male ? endsWith(p.otch, "ИЧ") : endsWith(p.otch, "НА")) << i;
        if (p.sex == female && endsWith(p.fam, "ОВ"))
            ADD_FAILURE() << "a woman with a man's surname at index " << i;
        ASSERT_TRUE(p.cond == ' ' || p.cond == 'C' || p.cond == 'E' || p.cond == 'F' || p.cond == 'G');
        for (const std::string* text : { &p.fam, &p.nam, &p.otch })
            for (const char c : *text) // capitals only: А..Я and Ё
                ASSERT_TRUE((static_cast<unsigned char>(c) >= 0xC0 && static_cast<unsigned char>(c) <= 0xDF)
                    || c == '\xA8')
                    << i;
        men += p.sex == male;
        withStatus += p.cond != ' ';
        surnames.insert(p.fam);
    }
    EXPECT_GT(men, count * 45 / 100);
    EXPECT_LT(men, count * 55 / 100);
    EXPECT_GT(withStatus, 0);
    EXPECT_LT(withStatus, count / 50); // rare
    EXPECT_GT(surnames.size(), 300u);
}

TEST(DemoRegister, NumbersAreValidInsuranceNumbers)
{
    // Whole numbers with the check number worked out here go through the import's check.
    TempDir dir;
    std::string csv = "NUM,FAM,NAM,OTCH,BIRTH\n";
    std::vector<std::string> expected;
    for (std::int64_t i = 0; i < 2000; ++i) {
        const DemoPerson p = DemoPersonAt(5, i);
        csv += fullNumber(p.num) + ",А,Б,В,\n";
        expected.push_back(std::to_string(p.num));
    }
    ImportRegister(dir.write("numbers.csv", csv), dir.path().string(), {});
    std::vector<std::string> imported;
    for (const test::SqlRow& row : test::SqliteRows(dir.file("NUMS.DB"), "SELECT NUM FROM NUMS"))
        imported.push_back(*row.at(0));
    std::sort(expected.begin(), expected.end());
    std::sort(imported.begin(), imported.end());
    EXPECT_EQ(imported, expected);
}

TEST(DemoRegister, WrittenRegisterHoldsEveryPersonAndBothIndexes)
{
    TempDir dir;
    constexpr std::int64_t rows = 3000;
    test::RecordingProgress progress;
    WriteDemoRegister(dir.file("reg"), rows, 9, &progress);
    EXPECT_EQ(progress.maximum, static_cast<std::uint64_t>(rows));
    EXPECT_TRUE(progress.ended);
    const std::string file = dir.file("reg/NUMS.DB");

    std::map<std::string, test::SqlRow> byNumber;
    for (test::SqlRow& row : test::SqliteRows(file, "SELECT * FROM NUMS"))
        byNumber.emplace(*row.at(0), std::move(row));
    ASSERT_EQ(byNumber.size(), static_cast<std::size_t>(rows));
    for (std::int64_t i = 0; i < rows; ++i) {
        const DemoPerson p = DemoPersonAt(9, i);
        const test::SqlRow expected = { std::to_string(p.num), Cp1251ToUtf8(p.fam), Cp1251ToUtf8(p.nam),
            Cp1251ToUtf8(p.otch), FormatIso(p.birth), p.cond == ' ' ? "" : std::string(1, p.cond),
            Cp1251ToUtf8(std::string(1, p.sex)), std::nullopt };
        ASSERT_EQ(byNumber[std::to_string(p.num)], expected) << i;
    }

    const auto key = test::SqliteRows(file, "SELECT name FROM pragma_table_info('NUMS') WHERE pk = 1");
    EXPECT_EQ(key, std::vector<test::SqlRow> { { "NUM" } });
    const auto index = test::SqliteRows(file,
        "SELECT group_concat(i.name, ';') FROM pragma_index_list('NUMS') l, "
        "pragma_index_info(l.name) i GROUP BY l.name");
    EXPECT_EQ(index, std::vector<test::SqlRow> { { "FAM;NAM;OTCH;BIRTH;COND;SEX;DATMOD" } });
    const auto plan = test::SqliteRows(file,
        "EXPLAIN QUERY PLAN SELECT * FROM NUMS WHERE FAM='a' AND NAM='b' "
        "AND OTCH='c' AND BIRTH='1950-01-01'");
    ASSERT_EQ(plan.size(), 1u);
    EXPECT_NE(plan[0].back()->find("USING COVERING INDEX NUMS_FAM_NAM_OTCH_BIRTH"), std::string::npos)
        << *plan[0].back();
}

} // namespace
} // namespace venqor
