// Register lookups made in blocks give the run that lookups made line by line give: the name
// check and the number assignment over the same file, with blocks of one line and of more,
// against an SQLite and a PostgreSQL register (VENQOR_PG_URI, set by scripts/with-postgres;
// without it the test fails), in table and in query mode, with one lookup that fails
// inside a block.

#include "base/CodePage.h"
#include "base/Dates.h"
#include "base/Errors.h"
#include "commands/NameCheck.h"
#include "commands/NumberAssignment.h"
#include "engine/TableEngine.h"
#include "register/DemoRegister.h"
#include "register/StrNum.h"
#include "report/ReportDocument.h"
#include "run/ProcessingRun.h"
#include "scan/RecodeTables.h"
#include "scan/Schema.h"
#include "support/PgQuery.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace venqor {
namespace {

using test::ScriptedHost;
using test::TempDir;

constexpr std::uint64_t Seed = 7;
constexpr std::int64_t RegisterRows = 300;
// The person whose lookups fail in query mode.
constexpr std::int64_t FailingPerson = 40;

// Fields of a record line of 100 characters; data files are in code page 866.
constexpr std::string_view Schema = "[TEST]\r\n"
                                    "FILETYPE = FIXED\r\n"
                                    "CHARSET = CYRR\r\n"
                                    "Field1 = TYPE,CHAR,1,00,00\r\n"
                                    "Field2 = STRNUM,CHAR,14,00,01\r\n"
                                    "Field3 = FAM,CHAR,25,00,15\r\n"
                                    "Field4 = NAM,CHAR,20,00,40\r\n"
                                    "Field5 = OTCH,CHAR,20,00,60\r\n"
                                    "Field6 = BIRTH,DATE,10,00,80\r\n"
                                    "Field7 = SEX,CHAR,1,00,90\r\n"
                                    "Field8 = REST,CHAR,9,00,91\r\n";

std::string field(std::string_view text, std::size_t width)
{
    std::string s(text.substr(0, width));
    s.resize(width, ' ');
    return s;
}

// A record line (Windows-1251).
std::string record(const std::string& number, const DemoPerson& p, const std::string& birth)
{
    return "\xCE" + field(number, 14) + field(p.fam, 25) + field(p.nam, 20) + field(p.otch, 20)
        + field(birth, 10) + std::string(1, p.sex) + field("\xCB\xC3\xCE\xD2\xC0", 9);
}

// A data file of every kind of line, in code page 866: records that match the register,
// differ from it in a name or the birth date, carry a number it lacks, a bad check sum or
// none, header and benefit lines between them, and the failing person's record mid-file.
std::string dataFile()
{
    std::string data;
    const auto add = [&data](std::string line) {
        for (char& c : line)
            c = AnsiToOem(c);
        data += line + "\r\n";
    };
    add("\xC2 header line of the file              \xD3\xCF\xD0\xC0\xC2\xCB\xC5\xCD\xC8\xC5");
    for (std::int64_t i = 0; i < 90; ++i) {
        DemoPerson p = DemoPersonAt(Seed, (i * 7) % RegisterRows);
        std::string number = StrNumToText(p.num);
        std::string birth = FormatIso(p.birth);
        switch (i % 9) {
        case 1:
            p.fam += "\xC0"; // a surname the register does not have
            break;
        case 2:
            birth = "1901-01-01";
            break;
        case 3:
            number = StrNumToText(DemoPersonAt(Seed, RegisterRows + i).num);
            break;
        case 4:
            number.back() = number.back() == '0' ? '1' : '0';
            break;
        case 5:
            number.clear();
            break;
        case 6:
            number[3] = ' ';
            break;
        }
        add(record(number, p, birth));
        if (i % 10 == 0)
            add("\xCB benefit line");
        if (i == 45 || i == 46) {
            const DemoPerson failing = DemoPersonAt(Seed, FailingPerson);
            add(record(StrNumToText(failing.num), failing, FormatIso(failing.birth)));
        }
    }
    return data;
}

// A register location of both engines, filled once for the whole program.
struct Registers {
    Registers()
    {
        WriteDemoRegister(directory.file("reg"), RegisterRows, Seed);
        if (const char* uri = std::getenv("VENQOR_PG_URI"))
            WriteDemoRegister(pgUri = uri, RegisterRows, Seed);
    }
    TempDir directory;
    std::string pgUri;
};

const Registers& registers()
{
    static const Registers instance;
    return instance;
}

// The lookups of the query mode, failing for one person: on SQLite through abs() of the
// smallest integer, on PostgreSQL through a division by zero.
std::string failing(bool pg)
{
    const std::string num = std::to_string(DemoPersonAt(Seed, FailingPerson).num);
    return " AND (CASE WHEN NUM = " + num + " THEN "
        + (pg ? "1 / (NUM - NUM)" : "abs(NUM - NUM - 9223372036854775807 - 1)") + " ELSE 1 END) > 0";
}

// Everything a run leaves for the user to see.
struct Outcome {
    std::vector<std::string> report;
    std::vector<std::string> messages;
    std::vector<std::uint64_t> progress;
    std::string recordCount;
    std::string output;
    std::string notFound; // the rows of ANKT, in their order
};

void expectSame(const Outcome& a, const Outcome& b, const std::string& what)
{
    EXPECT_EQ(a.report, b.report) << what;
    EXPECT_EQ(a.messages, b.messages) << what;
    EXPECT_EQ(a.progress, b.progress) << what;
    EXPECT_EQ(a.recordCount, b.recordCount) << what;
    EXPECT_TRUE(a.output == b.output) << what; // code page 866
    EXPECT_EQ(a.notFound, b.notFound) << what;
}

enum class Command { Check, Assign };

// Every run in the same directory (its name is in the report), with no ANKT or output before.
Outcome run(Command command, const std::string& location, bool query, int linesPerBlock)
{
    static const TempDir dir;
    std::filesystem::remove(dir.path() / "ANKT.DB");
    std::filesystem::remove(dir.path() / "OUT.TXT");
    dir.write("TEST.SCH", Schema);
    TMainState state = DefaultMainState(dir.path());
    state.schema = "TEST";
    state.dataFile = dir.write("DATA.TXT", dataFile());
    state.registerLocation = location;
    state.byQuery = query;
    state.collectNotFound = true;
    const bool pg = location.starts_with("postgresql:");
    state.Sql1Text = "SELECT * FROM NUMS WHERE NUM=:NUM" + failing(pg);
    state.Sql2Text
        = "SELECT * FROM NUMS WHERE FAM=:FAM AND NAM=:NAM AND OTCH=:OTCH AND BIRTH=:BIRTH" + failing(pg);
    state.LinesPerBlock = linesPerBlock;
    ScriptedHost host;
    host.saveFile = dir.path() / "OUT.TXT";
    if (command == Command::Check)
        CheckNames(state, host);
    else
        AssignNumbers(state, host);

    Outcome outcome { host.reportLines(), host.messages, host.progress, host.recordCount, {}, {} };
    if (command == Command::Assign) {
        outcome.output = test::readFile(dir.file("OUT.TXT"));
    } else {
        auto ankt = OpenDatabase(dir.path().string());
        auto rows = ankt->query();
        rows->setSql(
            "SELECT group_concat(NUM || ' ' || FAM, ';') AS ROWS FROM (SELECT * FROM ANKT ORDER BY rowid)");
        rows->prepare();
        rows->open();
        outcome.notFound = rows->fieldText("ROWS");
    }
    return outcome;
}

// The line loop's side of the protocol, with keys gathered ahead that fail or differ from the
// lookup their line makes: each such line is looked up alone, and every line gets the answer
// it gets without keys gathered (lookups alone).
std::vector<std::string> loopWithOddKeys(
    const std::string& location, bool query, int linesPerBlock, bool gather)
{
    static const TempDir dir;
    dir.write("TEST.SCH", Schema);
    TMainState state = DefaultMainState(dir.path());
    state.schema = "TEST";
    state.dataFile = dir.write("DATA.TXT", dataFile());
    state.registerLocation = location;
    state.UseQuery = query;
    state.Sql1Text = "SELECT * FROM NUMS WHERE NUM=:NUM";
    state.recordType = "\xCE";
    state.LinesPerBlock = linesPerBlock;
    ScriptedHost host;
    ProcessingRun run(state, host);
    EXPECT_TRUE(run.LoadSchema());
    const std::string_view strnum[] = { "STRNUM" };
    const int iNum = run.RequireFields(strnum).value().at(0);
    run.OpenDataFile();
    Register& numbers = run.OpenRegister(LookupKind::ByNumber);
    std::vector<std::string> answers;
    int gathered = 0;
    run.ReadLines(
        [&] {
            const std::int32_t number = TextToStrNum(FieldValue(state.Fields, iNum));
            if (number <= 0)
                return;
            answers.push_back(numbers.FindByStrNum(number)
                    ? std::to_string(number) + " " + std::string(numbers.record().fieldText("FAM"))
                    : std::to_string(number) + " not found");
        },
        [&] { answers.emplace_back("failed"); },
        gather ? RecordKey([&](LookupKey& key) {
            if (++gathered % 5 == 0)
                throw ConvertError("no key for this line");
            key.number = gathered % 7 == 0 ? DemoPersonAt(Seed, gathered).num
                                           : TextToStrNum(FieldValue(state.Fields, iNum));
            return key.number > 0;
        })
               : RecordKey());
    run.CloseDataFile();
    run.CloseRegister();
    EXPECT_TRUE(run.Finish("").shortfalls.empty());
    return answers;
}

TEST(BlockLookups, KeysThatFailOrDifferFromTheLookupAreLookedUpAlone)
{
    const std::string directory = registers().directory.file("reg");
    for (const bool query : { false, true }) {
        const std::vector<std::string> alone = loopWithOddKeys(directory, query, 4096, false);
        EXPECT_GT(alone.size(), 50u);
        for (const int lines : { 1, 7, 64, 4096 })
            EXPECT_EQ(loopWithOddKeys(directory, query, lines, true), alone)
                << (query ? "query mode" : "table mode") << ", blocks of " << lines;
    }
}

// The server ends the run's session part way (as when it dies or an administrator ends
// it): the lines from there on are left without lookups, and the run says so, as for a
// register that could not be opened, in the report and as work not done.
TEST(BlockLookups, ARegisterLostPartWayIsWorkNotDone)
{
    ASSERT_FALSE(registers().pgUri.empty()) << "VENQOR_PG_URI is not set: run under scripts/with-postgres";
    for (const Command command : { Command::Check, Command::Assign }) {
        for (const int lines : { 1, 16 }) {
            SCOPED_TRACE((command == Command::Check ? "check, blocks of " : "assign, blocks of ")
                + std::to_string(lines));
            static const TempDir dir;
            dir.write("TEST.SCH", Schema);
            TMainState state = DefaultMainState(dir.path());
            state.schema = "TEST";
            state.dataFile = dir.write("DATA.TXT", dataFile());
            state.registerLocation = registers().pgUri;
            state.LinesPerBlock = lines;
            ScriptedHost host;
            host.saveFile = dir.path() / "OUT.TXT";
            host.onProgress = [&](std::uint64_t) {
                if (host.progress.size() == 3)
                    test::PgRows(registers().pgUri,
                        "SELECT pg_terminate_backend(pid) FROM pg_stat_activity"
                        " WHERE datname = current_database() AND pid <> pg_backend_pid()");
            };
            const RunResult result
                = command == Command::Check ? CheckNames(state, host) : AssignNumbers(state, host);
            ASSERT_EQ(result.shortfalls.size(), 1u);
            const std::string shortfall = Cp1251ToUtf8(result.shortfalls[0]);
            EXPECT_TRUE(shortfall.starts_with("Реестр NUMS недоступен со строки ")) << shortfall;
            EXPECT_NE(shortfall.find(", дальше поиск не выполнялся: "), std::string::npos) << shortfall;
            const auto report = host.reportLines();
            EXPECT_NE(std::find(report.begin(), report.end(), shortfall), report.end());
            EXPECT_NE(Cp1251ToUtf8(host.messages.back()).find(shortfall), std::string::npos);
            // Lookups stop where the session ended; the run goes on to its end.
            EXPECT_LE(std::count_if(report.begin(), report.end(),
                          [](const std::string& line) { return line.ends_with(" Неизвестно что"); }),
                1);
            EXPECT_TRUE(
                report.back().starts_with(command == Command::Check ? "Нет номеров у " : "Проставлено "))
                << report.back();
        }
    }
}

TEST(BlockLookups, EveryBlockSizeGivesTheRunOfBlocksOfOneLine)
{
    ASSERT_FALSE(registers().pgUri.empty()) << "VENQOR_PG_URI is not set: run under scripts/with-postgres";
    const std::string directory = registers().directory.file("reg");
    for (const std::string& location : { directory, "sqlite:" + directory + "/NUMS.DB", registers().pgUri }) {
        for (const bool query : { false, true }) {
            for (const Command command : { Command::Check, Command::Assign }) {
                const std::string what = location + (query ? ", query mode" : ", table mode")
                    + (command == Command::Check ? ", check" : ", assign");
                const Outcome lineByLine = run(command, location, query, 1);
                // The failing person's two lines fail alone, and only in query mode.
                EXPECT_EQ(std::count_if(lineByLine.report.begin(), lineByLine.report.end(),
                              [](const std::string& line) { return line.ends_with(" Неизвестно что"); }),
                    query ? 2 : 0)
                    << what;
                EXPECT_FALSE(lineByLine.notFound.empty() && command == Command::Check) << what;
                for (const int lines : { 2, 7, 64, 4096 })
                    expectSame(run(command, location, query, lines), lineByLine,
                        what + ", blocks of " + std::to_string(lines));
            }
        }
    }
}

} // namespace
} // namespace venqor
