// The PostgreSQL engine against a real server: run under scripts/with-postgres, which
// exports VENQOR_PG_URI. Without it every test fails.

#include "register/PgEngine.h"
#include "scan/CodePage.h"
#include "scan/Errors.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

namespace venqor {
namespace {

std::string serverUri()
{
    const char* uri = std::getenv("VENQOR_PG_URI");
    return uri ? uri : "";
}

Date date(int year, int month, int day)
{
    return *MakeDate(year, month, day);
}

// Windows-1251 from UTF-8 literals.
std::string cp(std::string_view utf8)
{
    return Utf8ToCp1251(utf8);
}

// The message of the TableError that `action` throws ("" when it throws none).
std::string tableErrorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const TableError& error) {
        return error.what();
    }
    return "";
}

const std::vector<FieldDef> numsFields = {
    { "NUM", FieldType::Integer, 0 },
    { "FAM", FieldType::Text, 40 },
    { "NAM", FieldType::Text, 40 },
    { "OTCH", FieldType::Text, 40 },
    { "BIRTH", FieldType::Date, 0 },
    { "COND", FieldType::Text, 1 },
    { "SEX", FieldType::Text, 1 },
    { "DATMOD", FieldType::Date, 0 },
};

struct Person {
    std::int64_t num;
    std::string fam, nam, otch; // UTF-8
    const char* birth; // dd.mm.yyyy, "" for none
};

class PgEngineTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(serverUri().empty()) << "VENQOR_PG_URI is not set: run under scripts/with-postgres";
        db = OpenPgDatabase(serverUri());
        db->execute("DROP SCHEMA public CASCADE; CREATE SCHEMA public");
        nums = db->table("NUMS");
        nums->create(numsFields, "NUM");
        db->execute("CREATE INDEX nums_fio ON nums (fam, nam, otch, birth)");
        nums->open();
    }

    void add(const Person& p)
    {
        nums->insert();
        nums->setField(nums->fieldIndex("NUM"), p.num);
        nums->setField(nums->fieldIndex("FAM"), cp(p.fam));
        nums->setField(nums->fieldIndex("NAM"), cp(p.nam));
        nums->setField(nums->fieldIndex("OTCH"), cp(p.otch));
        nums->setField(nums->fieldIndex("BIRTH"), std::string_view(p.birth));
        nums->post();
    }

    std::unique_ptr<Database> db;
    std::unique_ptr<Table> nums;
};

// ---- Connecting

struct ConnectCase {
    const char* name;
    std::function<std::string(const std::string& uri, const std::string& noServer)> location;
    const char* expected; // a part of the message
};

class PgConnectTest : public testing::TestWithParam<ConnectCase> { };

TEST_P(PgConnectTest, FailureNamesLocationAndCauseButNoPassword)
{
    ASSERT_FALSE(serverUri().empty()) << "VENQOR_PG_URI is not set: run under scripts/with-postgres";
    const test::TempDir dir; // an empty directory: no server socket in it
    const std::string location
        = GetParam().location(serverUri(), "postgresql:///venqor?host=" + dir.path().string());
    const std::string message = tableErrorOf([&] { OpenPgDatabase(location); });
    ASSERT_NE(message, "") << "connected to " << location;
    EXPECT_NE(message.find(GetParam().expected), std::string::npos) << message;
    EXPECT_EQ(message.find("s3cret"), std::string::npos) << message;
    EXPECT_NE(message.find("venqor"), std::string::npos) << "the location is not named: " << message;
}

std::string withDatabase(const std::string& uri, const std::string& name)
{
    const std::size_t slash = uri.find("/venqor");
    return uri.substr(0, slash + 1) + name + uri.substr(slash + 7);
}

const ConnectCase connectCases[] = {
    { "NoServerAtTheSocket", [](const std::string&, const std::string& noServer) { return noServer; },
        "cannot connect: connection to server on socket" },
    { "UnknownDatabase",
        [](const std::string& uri, const std::string&) { return withDatabase(uri, "venqor_none"); },
        "database \"venqor_none\" does not exist" },
    { "PasswordInUserPart",
        [](const std::string&, const std::string& noServer) {
            return "postgresql://postgres:s3cret@" + noServer.substr(std::string("postgresql://").size());
        },
        "a password in the location is not accepted" },
    { "PasswordParameter",
        [](const std::string& uri, const std::string&) { return uri + "&password=s3cret"; },
        "a password in the location is not accepted" },
    { "MalformedUriQuotingThePassword",
        [](const std::string&, const std::string&) {
            return std::string("postgresql://venqor:s3cret@[::1/x");
        },
        "invalid location" },
    { "UnknownParameter", [](const std::string& uri, const std::string&) { return uri + "&colour=red"; },
        "invalid URI query parameter" },
};

INSTANTIATE_TEST_SUITE_P(Cases, PgConnectTest, testing::ValuesIn(connectCases),
    [](const testing::TestParamInfo<ConnectCase>& row) { return row.param.name; });

// ---- Table mode lookups

TEST_F(PgEngineTest, FindsByNumberAndByNameAndBirth)
{
    add({ 123456789, "ИВАНОВ", "ИВАН", "ИВАНОВИЧ", "31.01.1950" });
    add({ 2000000, "ПЕТРОВА", "АННА", "", "" });

    nums->setIndexFields("");
    ASSERT_TRUE(nums->findKey(std::int64_t { 123456789 }));
    EXPECT_EQ(nums->fieldText("FAM"), cp("ИВАНОВ"));
    EXPECT_EQ(nums->fieldDate("BIRTH"), date(1950, 1, 31));
    EXPECT_EQ(nums->fieldText("BIRTH"), "31.01.1950");
    EXPECT_EQ(nums->fieldInt("num"), 123456789);
    EXPECT_FALSE(nums->findKey(std::int64_t { 123456788 }));
    ASSERT_TRUE(nums->findKey(std::int64_t { 2000000 }));
    EXPECT_EQ(nums->fieldText("FAM"), cp("ПЕТРОВА"));

    nums->setIndexFields("FAM;NAM;OTCH;BIRTH");
    ASSERT_TRUE(nums->findKey(cp("ИВАНОВ"), cp("ИВАН"), cp("ИВАНОВИЧ"), date(1950, 1, 31)));
    EXPECT_EQ(nums->fieldInt("NUM"), 123456789);
    EXPECT_FALSE(nums->findKey(cp("ИВАНОВ"), cp("ИВАН"), cp("ИВАНОВИЧ"), date(1950, 1, 30)));
    EXPECT_FALSE(nums->findKey(cp("иванов"), cp("ИВАН"), cp("ИВАНОВИЧ"), date(1950, 1, 31)))
        << "matching is exact";
    // An empty patronymic and the zero date match the fields that read as empty.
    ASSERT_TRUE(nums->findKey(cp("ПЕТРОВА"), cp("АННА"), "", ZeroDate));
    EXPECT_EQ(nums->fieldInt("NUM"), 2000000);
    EXPECT_FALSE(nums->findKey(cp("ПЕТРОВА"), cp("АННА"), "", date(1950, 1, 31)));
}

TEST_F(PgEngineTest, EmptyKeyValuesMatchNullAndEmptyFields)
{
    db->execute(
        "INSERT INTO nums (num, fam, nam, otch, birth) VALUES (1, 'A', 'B', NULL, NULL), (2, 'C', 'D', '', "
        "'2001-02-03')");
    nums->setIndexFields("FAM;NAM;OTCH;BIRTH");
    ASSERT_TRUE(nums->findKey("A", "B", "", ZeroDate));
    EXPECT_EQ(nums->fieldText("OTCH"), "");
    EXPECT_EQ(nums->fieldDate("BIRTH"), ZeroDate);
    EXPECT_EQ(nums->fieldText("BIRTH"), "");
    ASSERT_TRUE(nums->findKey("C", "D", "", date(2001, 2, 3)));
    EXPECT_EQ(nums->fieldInt("NUM"), 2);
}

TEST_F(PgEngineTest, RefusesIndexesTheTableLacks)
{
    db->execute("CREATE INDEX nums_fio3 ON nums (fam, nam, otch); CREATE TABLE nokey (num bigint)");
    struct {
        const char* fields;
        const char* message;
    } const cases[] = {
        { "NAM;FAM;OTCH;BIRTH", "no index on NAM;FAM;OTCH;BIRTH" },
        { "FAM;NAM", "no index on FAM;NAM" },
        { "FAM;NAM;OTCH;BIRTH;SEX", "no index on" },
        { "COND", "no index on COND" },
    };
    for (const auto& c : cases)
        EXPECT_NE(tableErrorOf([&] { nums->setIndexFields(c.fields); }).find(c.message), std::string::npos)
            << c.fields;
    EXPECT_NO_THROW(nums->setIndexFields("fam;nam;otch"));

    const auto nokey = db->table("NOKEY");
    nokey->open();
    EXPECT_NE(
        tableErrorOf([&] { nokey->setIndexFields(""); }).find("NOKEY: no primary index"), std::string::npos);
}

TEST_F(PgEngineTest, OpeningAMissingTableNamesIt)
{
    const auto missing = db->table("ANKT");
    EXPECT_NE(tableErrorOf([&] { missing->open(); }).find("ANKT: no such table"), std::string::npos);
    EXPECT_FALSE(missing->isOpen());
    const auto badName = db->table("edv.dbf");
    EXPECT_NE(tableErrorOf([&] { badName->open(); }).find("edv.dbf"), std::string::npos);
}

TEST_F(PgEngineTest, CyrillicRoundTripsThroughUtf8)
{
    const std::string fam = "ЁЖИКОВ-Ёё№"; // the letters outside А..я and the number sign
    add({ 1, fam, "ЮЛИЯ", "ЭДУАРДОВНА", "" });
    nums->setIndexFields("");
    ASSERT_TRUE(nums->findKey(std::int64_t { 1 }));
    EXPECT_EQ(nums->fieldText("FAM"), cp(fam));

    // The server holds UTF-8 (two bytes per Cyrillic letter, three for the number sign).
    const auto q = db->query();
    q->setSql("SELECT octet_length(fam) AS bytes, fam = :FAM AS same FROM nums WHERE num = :NUM");
    q->setParam("FAM", cp(fam));
    q->setParam("NUM", std::int64_t { 1 });
    q->open();
    ASSERT_FALSE(q->eof());
    EXPECT_EQ(q->fieldInt("BYTES"), std::int64_t { 2 * 8 + 1 + 3 });
    EXPECT_EQ(q->fieldText("SAME"), "t");
}

TEST_F(PgEngineTest, WritingCutsTextsAndReadsNumbersAndDatesFromText)
{
    db->execute("CREATE TABLE conv (txt varchar(5), n bigint, i integer, f double precision, d date)");
    const auto conv = db->table("CONV");
    conv->open();
    ASSERT_EQ(conv->fieldCount(), 5);
    conv->insert();
    conv->setField(0, cp("ЖЖЖЖЖЖЖ  "));
    conv->setField(1, std::string_view(" -42 "));
    conv->setField(2, std::string_view("2147483647"));
    conv->setField(3, std::string_view("12.5"));
    conv->setField(4, std::string_view("1.2.1950"));
    conv->post();
    conv->insert();
    conv->setField(0, std::string_view("ab   "));
    conv->setField(1, std::string_view(""));
    conv->setField(4, std::string_view("  "));
    conv->post();

    const auto q = db->query();
    q->setSql("SELECT * FROM conv WHERE txt = :T");
    q->setParam("T", cp("ЖЖЖЖЖ"));
    q->open();
    ASSERT_FALSE(q->eof());
    EXPECT_EQ(q->fieldText("TXT"), cp("ЖЖЖЖЖ"));
    EXPECT_EQ(q->fieldInt("N"), -42);
    EXPECT_EQ(q->fieldInt("I"), 2147483647);
    EXPECT_EQ(q->fieldText("F"), "12.5");
    EXPECT_EQ(q->fieldDate("D"), date(1950, 2, 1));
    q->setParam("T", std::string_view("ab   "));
    q->open();
    ASSERT_FALSE(q->eof());
    EXPECT_EQ(q->fieldText("TXT"), "ab") << "trailing blanks are not read";
    EXPECT_EQ(q->fieldInt("N"), 0);
    EXPECT_EQ(q->fieldDate("D"), ZeroDate);
}

TEST_F(PgEngineTest, SetFieldRefusesWhatTheFieldCannotTake)
{
    db->execute("CREATE TABLE conv (n bigint, i integer, f double precision, d date)");
    const auto conv = db->table("CONV");
    conv->open();
    conv->insert();
    struct {
        int field;
        const char* text;
    } const cases[] = {
        { 0, "12.5" },
        { 0, "abc" },
        { 0, "1 2" },
        { 1, "2147483648" },
        { 2, "1,5" },
        { 2, "inf" },
        { 2, "1.5.2" },
        { 3, "31.02.1950" },
        { 3, "1950" },
        { 3, "1950-01-31" },
    };
    for (const auto& c : cases)
        EXPECT_NE(
            tableErrorOf([&] { conv->setField(c.field, std::string_view(c.text)); }).find("CONV: field "),
            std::string::npos)
            << c.field << " " << c.text;
    EXPECT_NE(tableErrorOf([&] { conv->setField(3, std::int64_t { 5 }); }), "");
    EXPECT_NE(tableErrorOf([&] { conv->setField(0, date(2000, 1, 1)); }), "");
    EXPECT_NE(tableErrorOf([&] { conv->setField(4, std::int64_t { 5 }); }).find("no field number 4"),
        std::string::npos);
}

// ---- Transactions

TEST_F(PgEngineTest, DuplicateKeyIsDroppedAloneWhileTheOthersCommit)
{
    db->beginWrite();
    add({ 1, "ПЕРВЫЙ", "", "", "" });
    EXPECT_NE(tableErrorOf([&] {
        add({ 1, "ДУБЛЬ", "", "", "" });
    }).find("duplicate key"),
        std::string::npos);
    nums->cancel();
    add({ 3, "ТРЕТИЙ", "", "", "" });
    db->commit();

    const auto q = db->query();
    q->setSql("SELECT count(*) AS n, string_agg(fam, ',' ORDER BY num) AS fams FROM nums");
    q->open();
    EXPECT_EQ(q->fieldInt("N"), 2);
    EXPECT_EQ(q->fieldText("FAMS"), cp("ПЕРВЫЙ,ТРЕТИЙ"));
}

TEST_F(PgEngineTest, CommitAfterAFailedStatementRollsBackAndSaysSo)
{
    db->beginWrite();
    add({ 1, "A", "", "", "" });
    EXPECT_NE(tableErrorOf([&] { db->execute("SELECT 1 / 0"); }), "");
    EXPECT_NE(tableErrorOf([&] { db->commit(); }).find("rolled back"), std::string::npos);
    nums->setIndexFields("");
    EXPECT_FALSE(nums->findKey(std::int64_t { 1 }));
}

TEST_F(PgEngineTest, ReadTransactionSurvivesAFailedLookup)
{
    add({ 1, "A", "", "", "" });
    db->beginRead();
    const auto q = db->query();
    q->setSql("SELECT * FROM NUMS WHERE NUM=:NUM");
    q->prepare();
    q->setParam("NUM", std::string_view("not a number"));
    EXPECT_NE(tableErrorOf([&] { q->open(); }).find("invalid input syntax"), std::string::npos);
    q->setParam("NUM", std::int64_t { 1 });
    q->open();
    EXPECT_FALSE(q->eof());
    nums->setIndexFields("");
    EXPECT_TRUE(nums->findKey(std::int64_t { 1 }));
    EXPECT_NE(tableErrorOf([&] { db->beginRead(); }).find("already open"), std::string::npos);
    db->commit();
}

// ---- Query mode

TEST_F(PgEngineTest, QueriesRunWithNamedParametersAndReopen)
{
    add({ 123456789, "ИВАНОВ", "ИВАН", "ИВАНОВИЧ", "31.01.1950" });
    add({ 987654321, "ПЕТРОВ", "ПЁТР", "", "05.03.2007" });

    const auto byNum = db->query();
    byNum->setSql("SELECT * FROM NUMS WHERE NUM=:NUM");
    byNum->prepare();
    const int fam = byNum->fieldIndex("FAM"); // resolved before the first open
    for (int round = 0; round < 2; ++round) {
        byNum->setParam("NUM", std::int64_t { 987654321 });
        byNum->open();
        ASSERT_FALSE(byNum->eof());
        EXPECT_EQ(byNum->fieldText(fam), cp("ПЕТРОВ"));
        byNum->close();
        byNum->setParam("NUM", std::int64_t { 5 });
        byNum->open();
        EXPECT_TRUE(byNum->eof());
        EXPECT_NE(tableErrorOf([&] { byNum->fieldText(fam); }).find("no current record"), std::string::npos);
    }

    const auto byName = db->query();
    byName->setSql("SELECT * FROM NUMS WHERE FAM=:FAM AND NAM=:NAM AND OTCH=:OTCH AND BIRTH=:BIRTH");
    byName->prepare();
    byName->setParam("FAM", cp("ИВАНОВ"));
    byName->setParam("NAM", cp("ИВАН"));
    byName->setParam("OTCH", cp("ИВАНОВИЧ"));
    byName->setParam("BIRTH", date(1950, 1, 31));
    byName->open();
    ASSERT_FALSE(byName->eof());
    EXPECT_EQ(byName->fieldInt("NUM"), 123456789);
    byName->setParam("BIRTH", date(1950, 2, 1));
    byName->open();
    EXPECT_TRUE(byName->eof());
}

TEST_F(PgEngineTest, QueryFailuresNameTheirCause)
{
    const auto q = db->query();
    q->setSql("SELECT * FROM NUMS WHERE NUM=:NUM");
    q->prepare();
    EXPECT_NE(tableErrorOf([&] { q->setParam("NUMBER", std::int64_t { 1 }); }).find("no parameter NUMBER"),
        std::string::npos);
    EXPECT_NE(tableErrorOf([&] { q->open(); }).find("no value for the parameter NUM"), std::string::npos);
    q->setParam("NUM", std::int64_t { 1 });
    q->open();
    EXPECT_NE(tableErrorOf([&] { q->fieldIndex("COND2"); }).find("no field COND2"), std::string::npos);

    const auto refused = db->query();
    refused->setSql("SELECT * FROM NOSUCH WHERE NUM=:NUM");
    EXPECT_NE(tableErrorOf([&] { refused->prepare(); }).find("nosuch"), std::string::npos);
    refused->setSql(" ");
    EXPECT_NE(tableErrorOf([&] { refused->prepare(); }).find("no statement"), std::string::npos);
}

} // namespace
} // namespace venqor
