// The register's block lookups on SQLite, without a server: blocks of every size, looked up
// through one or two connections, answer each line as a lookup alone answers it, in table
// and query mode, with lookups that fail, keys that do not match the line's lookup, lines
// without a key, and the register reopened in the same object. A register replaced between
// the opening of the two connections is read through the first one alone. scripts/test runs
// this program once more under ThreadSanitizer.

#include "base/Errors.h"
#include "engine/TableEngine.h"
#include "register/DemoRegister.h"
#include "register/Register.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>

namespace venqor {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

constexpr std::uint64_t Seed = 11;
constexpr std::int64_t Rows = 3000;
constexpr std::int64_t FailingPerson = 17; // whose lookups fail in query mode

// Runs `body`, or ends the program with a message when it has not returned in time: a
// protocol that waits for a find that never comes must not hang the suite.
void within(const char* what, const std::function<void()>& body)
{
    auto done = std::async(std::launch::async, body);
    if (done.wait_for(std::chrono::seconds(20)) == std::future_status::timeout) {
        std::fprintf(
            stderr, "%s: not done after 20 s (a block lookup waits for a find that never comes)\n", what);
        std::abort();
    }
    done.get();
}

LookupKey keyOf(LookupKind kind, const DemoPerson& person)
{
    LookupKey key;
    if (kind == LookupKind::ByNumber)
        key.number = person.num;
    else
        key = { .fam = person.fam, .nam = person.nam, .otch = person.otch, .birth = person.birth };
    return key;
}

// A line of the loop: the key gathered for it ahead (none: its gathering failed, or it
// makes no lookup), and the key its lookup is made with.
struct Line {
    std::optional<LookupKey> gathered;
    LookupKey looked;
};

// Lines of every kind: people found, people the register lacks, the failing person, keys
// gathered that differ from the lookup made, and lines without a key.
std::vector<Line> lines(LookupKind kind)
{
    std::vector<Line> all;
    for (std::int64_t i = 0; i < 2 * Rows; ++i) {
        const DemoPerson person = DemoPersonAt(Seed, (i * 7) % (Rows + Rows / 4));
        Line line { keyOf(kind, person), keyOf(kind, person) };
        if (i % 13 == 5)
            line.gathered = keyOf(kind, DemoPersonAt(Seed, (i * 11) % Rows));
        if (i % 17 == 3)
            line.gathered.reset();
        if (i % 97 == 0) {
            line.looked = keyOf(kind, DemoPersonAt(Seed, FailingPerson));
            if (line.gathered)
                line.gathered = line.looked;
        }
        all.push_back(std::move(line));
    }
    return all;
}

// What a lookup gave: the record's number and names, "not found", or its failure.
std::string lookUp(Register& reg, LookupKind kind, const LookupKey& key)
{
    try {
        const bool found = kind == LookupKind::ByNumber
            ? reg.FindByStrNum(static_cast<std::int32_t>(key.number))
            : reg.FindByNameBirth(key.fam, key.nam, key.otch, key.birth);
        if (!found)
            return "not found";
        RecordReader& record = reg.record();
        return std::to_string(record.fieldInt("NUM")) + " " + std::string(record.fieldText("FAM")) + " "
            + std::string(record.fieldText("BIRTH"));
    } catch (const TableError& error) {
        return std::string("failed: ") + error.what();
    }
}

// The answers of the lines as the line loop gets them: each block's keys looked up while the
// block before answers its lines.
std::vector<std::string> inBlocks(
    Register& reg, LookupKind kind, const std::vector<Line>& all, std::size_t size)
{
    std::vector<LookupKey> keys;
    std::vector<std::ptrdiff_t> keyOfLine[2];
    const auto gather = [&](std::size_t first, std::vector<std::ptrdiff_t>& index) {
        keys.clear();
        index.clear();
        for (std::size_t i = first; i < std::min(first + size, all.size()); ++i) {
            index.push_back(all[i].gathered ? static_cast<std::ptrdiff_t>(keys.size()) : -1);
            if (all[i].gathered)
                keys.push_back(*all[i].gathered);
        }
        reg.lookUpBlock(keys);
    };
    std::vector<std::string> answers;
    gather(0, keyOfLine[0]);
    for (std::size_t first = 0, block = 0; first < all.size(); first += size, block ^= 1) {
        reg.useBlock();
        if (first + size < all.size())
            gather(first + size, keyOfLine[block ^ 1]);
        for (std::size_t i = first; i < std::min(first + size, all.size()); ++i) {
            reg.answerFromBlock(keyOfLine[block][i - first]);
            answers.push_back(lookUp(reg, kind, all[i].looked));
        }
    }
    return answers;
}

struct Registers {
    Registers()
    {
        WriteDemoRegister(dir.file("reg"), Rows, Seed);
        WriteDemoRegister(dir.file("file"), Rows, Seed);
    }
    TempDir dir;
};

const Registers& registers()
{
    static const Registers instance;
    return instance;
}

RegisterSettings settings(bool oneFile, bool query)
{
    const std::string failing
        = " AND (CASE WHEN NUM = " + std::to_string(DemoPersonAt(Seed, FailingPerson).num)
        + " THEN abs(NUM - NUM - 9223372036854775807 - 1) ELSE 1 END) > 0";
    return { .location
        = oneFile ? "sqlite:" + registers().dir.file("file") + "/NUMS.DB" : registers().dir.file("reg"),
        .useQuery = query,
        .sql1Text = "SELECT * FROM NUMS WHERE NUM=:NUM" + failing,
        .sql2Text
        = "SELECT * FROM NUMS WHERE FAM=:FAM AND NAM=:NAM AND OTCH=:OTCH AND BIRTH=:BIRTH" + failing };
}

struct ProtocolCase {
    const char* name;
    bool oneFile;
    bool query;
    LookupKind kind;
};

class BlockProtocol : public testing::TestWithParam<ProtocolCase> { };

TEST_P(BlockProtocol, EveryBlockSizeAnswersAsLookupsAlone)
{
    const ProtocolCase& c = GetParam();
    const std::vector<Line> all = lines(c.kind);
    Register alone;
    alone.OpenRegister(settings(c.oneFile, c.query), c.kind);
    ASSERT_TRUE(alone.available()) << alone.unavailableReason();
    std::vector<std::string> expected;
    for (const Line& line : all)
        expected.push_back(lookUp(alone, c.kind, line.looked));
    const auto failures = std::count_if(
        expected.begin(), expected.end(), [](const std::string& a) { return a.starts_with("failed"); });
    EXPECT_EQ(failures > 0, c.query);
    EXPECT_GT(std::count(expected.begin(), expected.end(), "not found"), 0);

    // The same object serves every size, opened anew for each: nothing of one opening is
    // left to the next.
    Register reg;
    for (const std::size_t size : { 1, 5, 63, 64, 65, 700, 4096 }) {
        SCOPED_TRACE("blocks of " + std::to_string(size));
        within(c.name, [&] {
            reg.OpenRegister(settings(c.oneFile, c.query), c.kind);
            ASSERT_TRUE(reg.takesBlocks());
            EXPECT_EQ(inBlocks(reg, c.kind, all, size), expected);
            reg.Close();
        });
    }
}

const ProtocolCase protocolCases[] = {
    { "directory_table_numbers", false, false, LookupKind::ByNumber },
    { "directory_table_names", false, false, LookupKind::ByNameBirth },
    { "directory_query_numbers", false, true, LookupKind::ByNumber },
    { "file_table_names", true, false, LookupKind::ByNameBirth },
    { "file_query_names", true, true, LookupKind::ByNameBirth },
};

INSTANTIATE_TEST_SUITE_P(Cases, BlockProtocol, testing::ValuesIn(protocolCases),
    [](const testing::TestParamInfo<ProtocolCase>& row) { return row.param.name; });

void onlyTheRecordOfALookupThatFoundOneIsCurrent()
{
    Register reg;
    reg.OpenRegister(settings(false, false), LookupKind::ByNumber);
    const auto number = [](std::int64_t person) { return DemoPersonAt(Seed, person).num; };
    // 100 keys of people from `first` on (a thread's block), the second not in the register.
    const auto block = [&](std::int64_t first) {
        std::vector<LookupKey> keys(100);
        for (std::size_t i = 0; i < keys.size(); ++i)
            keys[i].number = number(first + static_cast<std::int64_t>(i));
        keys[1].number = number(Rows + 1);
        return keys;
    };
    std::vector<LookupKey> keys = block(0);
    reg.lookUpBlock(keys);
    reg.useBlock();
    reg.answerFromBlock(0);
    ASSERT_TRUE(reg.FindByStrNum(number(0)));
    EXPECT_EQ(reg.record().fieldInt("NUM"), number(0));

    // The record stays while the other block is filled...
    keys = block(200);
    reg.lookUpBlock(keys);
    EXPECT_EQ(reg.record().fieldInt("NUM"), number(0));
    // ...and no lookup finding nothing leaves one current.
    reg.answerFromBlock(1);
    EXPECT_FALSE(reg.FindByStrNum(number(Rows + 1)));
    EXPECT_THROW(reg.record(), TableError);
    reg.useBlock();
    reg.answerFromBlock(-1);
    EXPECT_FALSE(reg.FindByStrNum(number(Rows + 2)));
    EXPECT_THROW(reg.record().fieldInt("NUM"), TableError);

    // A record of a block that is about to be filled again is not current any more.
    reg.answerFromBlock(3);
    ASSERT_TRUE(reg.FindByStrNum(number(203)));
    keys = block(400);
    reg.lookUpBlock(keys);
    EXPECT_EQ(reg.record().fieldInt("NUM"), number(203));
    reg.useBlock();
    keys = block(600);
    reg.lookUpBlock(keys);
    EXPECT_THROW(reg.record(), TableError);
}

TEST(BlockRecords, OnlyTheRecordOfALookupThatFoundOneIsCurrent)
{
    within("records", [] { onlyTheRecordOfALookupThatFoundOneIsCurrent(); });
}

// A register replaced between the opening of the first connection and of the second: the
// block lookups read the register the first one opened, whole.
struct SwapCase {
    const char* name;
    bool oneFile;
    bool query;
};

class RegisterReplaced : public testing::TestWithParam<SwapCase> { };

TEST_P(RegisterReplaced, BetweenTheTwoOpensIsReadThroughTheFirstConnection)
{
    const SwapCase& c = GetParam();
    const TempDir dir;
    WriteDemoRegister(dir.file("old"), Rows, Seed);
    WriteDemoRegister(dir.file("new"), Rows, Seed + 1);
    const auto db = OpenDatabase(c.oneFile ? "sqlite:" + dir.file("old/NUMS.DB") : dir.file("old"));
    std::unique_ptr<Table> table;
    std::unique_ptr<Query> query;
    if (c.query) {
        query = db->query();
        query->setSql("SELECT * FROM NUMS WHERE NUM=:NUM");
        query->prepare();
    } else {
        table = db->table("NUMS");
        table->open();
        table->setIndexFields("");
    }
    db->beginRead();
    fs::rename(dir.file("new/NUMS.DB"), dir.file("old/NUMS.DB")); // as an import puts it in place
    const std::unique_ptr<BlockLookup> lookup
        = c.query ? query->blockLookup(LookupKind::ByNumber) : table->blockLookup(LookupKind::ByNumber);

    std::vector<LookupKey> keys(Rows);
    for (std::size_t i = 0; i < keys.size(); ++i)
        keys[i].number = DemoPersonAt(Seed, static_cast<std::int64_t>(i)).num;
    std::vector<LookupAnswer> answers;
    const BlockLookup::Ticket ticket = lookup->nextTicket();
    auto find = std::async(std::launch::async, [&] { lookup->find(ticket, keys, answers); });
    lookup->help(ticket);
    find.get();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        ASSERT_TRUE(answers[i].found) << i;
        lookup->select(i);
        ASSERT_EQ(lookup->fieldText("FAM"), DemoPersonAt(Seed, static_cast<std::int64_t>(i)).fam) << i;
    }
}

const SwapCase swapCases[] = {
    { "directory_table", false, false },
    { "directory_query", false, true },
    { "file_table", true, false },
    { "file_query", true, true },
};

INSTANTIATE_TEST_SUITE_P(Cases, RegisterReplaced, testing::ValuesIn(swapCases),
    [](const testing::TestParamInfo<SwapCase>& row) { return row.param.name; });

} // namespace
} // namespace venqor
