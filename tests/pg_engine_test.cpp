// What only the PostgreSQL engine does, against a real server (the behaviour both engines
// share is in register_engine_test): run under scripts/with-postgres, which exports
// VENQOR_PG_URI. Without it every test fails.

#include "base/CodePage.h"
#include "base/Errors.h"
#include "engine/pg/PgBlockLookup.h"
#include "engine/pg/PgEngine.h"
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
    const char* birth;          // dd.mm.yyyy, "" for none
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
    { "PercentEncodedPasswordKey",
        [](const std::string& uri, const std::string&) { return uri + "&pass%77ord=s3cret"; },
        "a password in the location is not accepted" },
    { "RepeatedPasswordParameter",
        [](const std::string& uri, const std::string&) { return uri + "&password=s3cret&password=s3cret2"; },
        "a password in the location is not accepted" },
    { "MalformedUriQuotingThePassword",
        [](const std::string&, const std::string&) {
            return std::string("postgresql://venqor:s3cret@[::1/x");
        },
        "a password in the location is not accepted" },
    { "SlashInsideThePassword",
        [](const std::string&, const std::string&) {
            return std::string("postgresql://venqor:s3cret/PW@host");
        },
        "a password in the location is not accepted" },
    { "MalformedUri",
        [](const std::string&, const std::string&) { return std::string("postgresql://venqor@[::1/x"); },
        "invalid location" },
    { "UnknownParameter", [](const std::string& uri, const std::string&) { return uri + "&colour=red"; },
        "invalid URI query parameter" },
};

INSTANTIATE_TEST_SUITE_P(Cases, PgConnectTest, testing::ValuesIn(connectCases),
    [](const testing::TestParamInfo<ConnectCase>& row) { return row.param.name; });

// ---- Table mode lookups

TEST_F(PgEngineTest, TextsOfDifferentFieldsStayValidTogether)
{
    add({ 123456789, "ИВАНОВ", "ИВАН", "ИВАНОВИЧ", "31.01.1950" });
    nums->setIndexFields("");
    ASSERT_TRUE(nums->findKey(std::int64_t { 123456789 }));
    const std::string_view fam = nums->fieldText("FAM");
    const std::string_view nam = nums->fieldText("NAM");
    const std::string_view birth = nums->fieldText("BIRTH");
    EXPECT_EQ(fam, cp("ИВАНОВ"));
    EXPECT_EQ(nam, cp("ИВАН"));
    EXPECT_EQ(birth, "31.01.1950");
}

TEST_F(PgEngineTest, EmptyNamesMatchNullAndEmptyFieldsAndTheZeroDateNoRecord)
{
    db->execute("INSERT INTO nums (num, fam, nam, otch, birth) VALUES (1, 'A', 'B', NULL, '2001-02-03'),"
                " (2, 'C', 'D', '', '2001-02-03'), (3, 'E', 'F', 'G', NULL)");
    nums->setIndexFields("FAM;NAM;OTCH;BIRTH");
    ASSERT_TRUE(nums->findKey("A", "B", "", date(2001, 2, 3)));
    EXPECT_EQ(nums->fieldText("OTCH"), "");
    ASSERT_TRUE(nums->findKey("C", "D", "", date(2001, 2, 3)));
    EXPECT_EQ(nums->fieldInt("NUM"), 2);
    EXPECT_FALSE(nums->findKey("E", "F", "G", ZeroDate));
    EXPECT_FALSE(nums->findKey("A", "B", "", ZeroDate));
}

TEST_F(PgEngineTest, IndexesAreFoundByExactlyTheirFields)
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

    // A key column whose name was written in quotes with capitals.
    db->execute("CREATE TABLE mixed (\"Num\" bigint PRIMARY KEY); INSERT INTO mixed VALUES (7)");
    const auto mixed = db->table("MIXED");
    mixed->open();
    mixed->setIndexFields("");
    ASSERT_TRUE(mixed->findKey(std::int64_t { 7 }));
    EXPECT_EQ(mixed->fieldInt("NUM"), 7);
}

TEST_F(PgEngineTest, NamesThatAreNoIdentifiersAreRefused)
{
    for (const char* name : { "edv.dbf", "NUMS; DROP TABLE NUMS", "1NUMS" }) {
        const auto table = db->table(name);
        EXPECT_NE(tableErrorOf([&] { table->open(); }).find(name), std::string::npos) << name;
        EXPECT_NE(tableErrorOf([&] { table->create({ { "A", FieldType::Integer, 0 } }, ""); }), "") << name;
    }
    const auto table = db->table("GOOD");
    EXPECT_NE(tableErrorOf([&] {
        table->create({ { "A B", FieldType::Integer, 0 } }, "");
    }).find("A B"),
        std::string::npos);
    nums->setIndexFields("");
    EXPECT_FALSE(nums->findKey(std::int64_t { 1 })) << "NUMS is still there";
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

// A table made outside the program, with column types the engine does not create itself.
TEST_F(PgEngineTest, ColumnsMadeOutsideTheProgramTakeAndRefuseValues)
{
    db->execute("CREATE TABLE conv (txt char(5), i integer, s smallint, f real, d date)");
    const auto conv = db->table("CONV");
    conv->open();
    ASSERT_EQ(conv->fieldCount(), 5);
    conv->insert();
    struct {
        int field;
        const char* text;
    } const refused[] = {
        { 1, "2147483648" },
        { 1, "-2147483649" },
        { 2, "32768" },
        { 3, "1,5" },
        { 3, "inf" },
        { 4, "1950-01-31" },
    };
    for (const auto& c : refused)
        EXPECT_NE(
            tableErrorOf([&] { conv->setField(c.field, std::string_view(c.text)); }).find("CONV: field "),
            std::string::npos)
            << c.field << " " << c.text;
    EXPECT_NE(tableErrorOf([&] { conv->setField(4, std::int64_t { 5 }); }).find("takes no number"),
        std::string::npos);
    EXPECT_NE(
        tableErrorOf([&] { conv->setField(1, date(2000, 1, 1)); }).find("takes no date"), std::string::npos);
    EXPECT_NE(tableErrorOf([&] { conv->setField(5, std::int64_t { 5 }); }).find("no field number 5"),
        std::string::npos);

    conv->setField(0, cp("ЖЖЖЖЖЖЖ"));
    conv->setField(1, std::string_view("-2147483648"));
    conv->setField(2, std::int64_t { -32768 });
    conv->setField(3, std::string_view(" 12.5 "));
    conv->setField(4, date(1950, 2, 1));
    conv->post();
    conv->insert();
    conv->setField(0, std::string_view("ab"));
    conv->post();

    const auto q = db->query();
    q->setSql("SELECT * FROM conv WHERE txt = :T");
    q->setParam("T", cp("ЖЖЖЖЖ"));
    q->open();
    ASSERT_FALSE(q->eof());
    EXPECT_EQ(q->fieldInt("I"), -2147483648);
    EXPECT_EQ(q->fieldInt("S"), -32768);
    EXPECT_EQ(q->fieldText("F"), "12.5");
    EXPECT_EQ(q->fieldText("D"), "01.02.1950");
    q->setParam("T", std::string_view("ab"));
    q->open();
    ASSERT_FALSE(q->eof());
    EXPECT_EQ(q->fieldText("TXT"), "ab") << "char(5) pads with blanks, which are not read";
    EXPECT_EQ(q->fieldInt("I"), 0);
    EXPECT_EQ(q->fieldDate("D"), ZeroDate);
}

// ---- Transactions

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

// ---- Block lookups

TEST_F(PgEngineTest, EachKeyOfABlockGetsTheAnswerOfItsOwnCallWhenAnotherCallFails)
{
    add({ 123456789, "ИВАНОВ", "ИВАН", "ИВАНОВИЧ", "31.01.1950" });
    const auto conn = std::make_shared<pg::Connection>(serverUri());
    const std::string statement = conn->prepare("SELECT * FROM nums WHERE num = $1", "lookup");
    pg::Record record("lookup");
    record.setColumns(pg::ResultColumns(conn->describePrepared(statement, "lookup").get()));
    const auto lookup = pg::MakeBlockLookup(conn, std::move(record), [&](const LookupKey& key) {
        if (key.number == 0)
            throw TableError("no call for this key");
        return pg::Call { statement, { std::to_string(key.number) }, "lookup" };
    });
    std::vector<LookupKey> keys(3);
    keys[1].number = 123456789;
    keys[2].number = 999999999;
    std::vector<LookupAnswer> answers;
    lookup->find(lookup->nextTicket(), keys, answers);
    ASSERT_EQ(answers.size(), 3u);
    EXPECT_TRUE(answers[0].failure);
    EXPECT_FALSE(answers[1].failure);
    ASSERT_TRUE(answers[1].found);
    lookup->select(1);
    EXPECT_EQ(lookup->fieldInt("NUM"), 123456789);
    EXPECT_FALSE(answers[2].failure);
    EXPECT_FALSE(answers[2].found);
}

// ---- Query mode

TEST_F(PgEngineTest, QueryFieldsResolveBeforeOpenAndTheZeroDateIsNull)
{
    add({ 123456789, "ИВАНОВ", "ИВАН", "ИВАНОВИЧ", "31.01.1950" });
    add({ 987654321, "ПЕТРОВ", "ПЁТР", "", "" });

    const auto q = db->query();
    q->setSql(
        "SELECT num, fam FROM NUMS WHERE BIRTH IS NOT DISTINCT FROM :BIRTH AND (:BIRTH IS NULL OR NUM > :N)");
    q->prepare();
    const int fam = q->fieldIndex("FAM");
    q->setParam("N", std::int64_t { 0 });
    q->setParam("BIRTH", ZeroDate);
    q->open();
    ASSERT_FALSE(q->eof());
    EXPECT_EQ(q->fieldText(fam), cp("ПЕТРОВ"));
    q->close();
    q->setParam("BIRTH", date(1950, 1, 31));
    q->open();
    ASSERT_FALSE(q->eof());
    EXPECT_EQ(q->fieldText(fam), cp("ИВАНОВ"));
    q->setParam("N", std::int64_t { 123456789 });
    q->open();
    EXPECT_TRUE(q->eof());
    EXPECT_NE(tableErrorOf([&] { q->fieldText(fam); }).find("no current record"), std::string::npos);
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
