// Register import and demo into a real PostgreSQL server (VENQOR_PG_URI, set by
// scripts/with-postgres; without it these tests fail), held against the same import into
// an SQLite directory. Each test works in a schema of its own.
#include "app/MainState.h"
#include "base/CodePage.h"
#include "base/Errors.h"
#include "commands/NameCheck.h"
#include "register/DemoRegister.h"
#include "register/RegisterImport.h"
#include "support/DbfFixtures.h"
#include "support/PgQuery.h"
#include "support/RunCli.h"
#include "support/ScriptedHost.h"
#include "support/SqliteQuery.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace venqor {
namespace {

namespace fs = std::filesystem;
using test::SqlRow;
using test::TempDir;

std::string sourceFile(const std::string& relative)
{
    const char* root = std::getenv("VENQOR_SOURCE");
    if (!root)
        throw std::runtime_error("VENQOR_SOURCE is not set");
    return std::string(root) + "/" + relative;
}

std::string baseUri()
{
    const char* base = std::getenv("VENQOR_PG_URI");
    if (!base || !*base)
        throw std::runtime_error("VENQOR_PG_URI is not set: run this test under scripts/with-postgres");
    return base;
}

// Rows as "NUM|FAM|...|DATMOD", NULL written as NULL.
std::vector<std::string> joined(const std::vector<SqlRow>& rows)
{
    std::vector<std::string> lines;
    for (const SqlRow& row : rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i)
            line += (i ? "|" : "") + row[i].value_or("NULL");
        lines.push_back(line);
    }
    return lines;
}

constexpr const char* allRows = "SELECT * FROM NUMS ORDER BY NUM";

std::vector<std::string> sqliteRegister(const std::string& dir)
{
    return joined(test::SqliteRows(dir + "/NUMS.DB", allRows));
}

// A schema of the test's own in the server's database, first in the search path of the
// location that names it.
class PgSchema {
public:
    PgSchema()
    {
        const auto* test = testing::UnitTest::GetInstance()->current_test_info();
        name_ = "t_";
        for (const char c : std::string(test->name()))
            name_ += std::isalnum(static_cast<unsigned char>(c)) ? static_cast<char>(std::tolower(c)) : '_';
        name_ = name_.substr(0, 60);
        test::PgRows(baseUri(), "DROP SCHEMA IF EXISTS " + name_ + " CASCADE; CREATE SCHEMA " + name_);
        uri_ = withParameter("options=-csearch_path%3D" + name_);
    }

    const std::string& uri() const { return uri_; }
    const std::string& name() const { return name_; }
    std::string withParameter(const std::string& parameter) const { return baseUri() + "&" + parameter; }

    std::vector<std::string> rows() const { return joined(test::PgRows(uri_, allRows)); }
    // The tables and indexes of the schema, with the definitions of the indexes.
    std::vector<std::string> objects() const
    {
        return joined(test::PgRows(uri_,
            "SELECT c.relname, c.relkind, pg_get_indexdef(c.oid) FROM pg_class c JOIN pg_namespace n"
            " ON n.oid = c.relnamespace WHERE n.nspname = '"
                + name_ + "' ORDER BY c.relname"));
    }

private:
    std::string name_;
    std::string uri_;
};

const std::vector<std::string> registerObjects(const std::string& schema)
{
    return {
        "nums|r|NULL",
        "nums_fam_nam_otch_birth|i|CREATE INDEX nums_fam_nam_otch_birth ON " + schema
            + ".nums USING btree (fam, nam, otch, birth) INCLUDE (cond, sex, datmod)",
        "nums_pkey|i|CREATE UNIQUE INDEX nums_pkey ON " + schema + ".nums USING btree (num)",
    };
}

TEST(RegisterPgImport, CsvAndDbaseReadBackRowByRowAsFromTheSqliteImport)
{
    const std::string alphabet = "АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдеёжзийклмнопрстуфхцчшщъыьэюя№";
    TempDir dir;
    // Columns in another order, an unknown column, a quoted field with a comma and quotes,
    // one with a line break, a tab and a backslash (which COPY must escape), every number
    // and date form.
    const std::string csv = dir.write("register.csv",
        "fam,Nam,OTCH,num,Birth,note,COND,SEX,DATMOD\n"
        "ИВАНОВ  ,ИВАН,ИВАНОВИЧ,123456789,19500115,x,,М,\n"
        "\"ОБРАЗЦОВ, \"\"МЛАДШИЙ\"\"\",\"ПЁТР\",\"ПЕТ\nРОВИЧ\",112-233-445 95,1961-02-03,,C,М,2020-01-31\n"
        "ПЕТРОВА,\"АН\tНА\",С\\ЕРГЕЕВНА,98765432183,04.05.1972,,G,Ж,20210101\n"
        "СИДОРОВ,ОЛЕГ,,1001,,,,,\n"
            + alphabet + ",Ёлка,ёж №7,100-028-889 00,1.2.1933,,,Ж,\n");
    const std::vector<std::string> csvRows = {
        "1001|СИДОРОВ|ОЛЕГ||NULL|||NULL",
        "100028889|" + alphabet + "|Ёлка|ёж №7|1933-02-01||Ж|NULL",
        "112233445|ОБРАЗЦОВ, \"МЛАДШИЙ\"|ПЁТР|ПЕТ\nРОВИЧ|1961-02-03|C|М|2020-01-31",
        "123456789|ИВАНОВ|ИВАН|ИВАНОВИЧ|1950-01-15||М|NULL",
        "987654321|ПЕТРОВА|АН\tНА|С\\ЕРГЕЕВНА|1972-05-04|G|Ж|2021-01-01",
    };
    const std::string dbf = dir.file("register.dbf");
    test::WriteDbf(dbf, "LDID/101", true,
        { { 123456789, alphabet.c_str(), "Ёлка", "ёж №7", "19500115", "", "Ж" },
            { 5, "УДАЛЁН", "Б", "В", "19500115", "", "М", true },
            { 112233445, "ПЕТРОВ", "ПЁТР", "ПЕТРОВИЧ", "        ", "F", "М" },
            { 1001, "СИДОРОВ", "ОЛЕГ", "", "00000000", "", "М" } });
    const std::vector<std::string> dbfRows = {
        "1001|СИДОРОВ|ОЛЕГ||NULL||М|NULL",
        "112233445|ПЕТРОВ|ПЁТР|ПЕТРОВИЧ|NULL|F|М|NULL",
        "123456789|" + alphabet + "|Ёлка|ёж №7|1950-01-15||Ж|NULL",
    };

    const struct {
        const char* edge;
        std::string source;
        const std::vector<std::string>& rows;
    } cases[] = { { "CSV in UTF-8", csv, csvRows }, { "dBASE in code page 866", dbf, dbfRows } };
    PgSchema schema;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.edge);
        // The second import replaces the first whole.
        EXPECT_EQ(ImportRegister(c.source, schema.uri()), static_cast<std::int64_t>(c.rows.size()));
        EXPECT_EQ(schema.rows(), c.rows);
        EXPECT_EQ(schema.objects(), registerObjects(schema.name()));
        ImportRegister(c.source, dir.file("reg"));
        EXPECT_EQ(sqliteRegister(dir.file("reg")), c.rows);
    }
    const auto types = test::PgRows(schema.uri(),
        "SELECT string_agg(column_name || ' ' || data_type, ', ' ORDER BY ordinal_position)"
        " FROM information_schema.columns WHERE table_name = 'nums' AND table_schema = '"
            + schema.name() + "'");
    EXPECT_EQ(types.at(0).at(0),
        "num bigint, fam text, nam text, otch text, birth date, cond text, sex text, "
        "datmod date");
    // The planner has statistics of the new table.
    EXPECT_EQ(test::PgRows(schema.uri(),
                  "SELECT count(*) > 0 FROM pg_stats WHERE schemaname = '" + schema.name() + "'")
                  .at(0)
                  .at(0),
        "t");
}

TEST(RegisterPgImport, DemoRegisterIsTheSameAsInSqlite)
{
    TempDir dir;
    PgSchema schema;
    WriteDemoRegister(schema.uri(), 500, 7);
    WriteDemoRegister(dir.path().string(), 500, 7);
    const std::vector<std::string> rows = schema.rows();
    EXPECT_EQ(rows.size(), 500u);
    EXPECT_EQ(rows, sqliteRegister(dir.path().string()));
    EXPECT_EQ(schema.objects(), registerObjects(schema.name()));
}

TEST(RegisterPgImport, FailedImportLeavesTheEarlierRegisterAsItWas)
{
    TempDir dir;
    PgSchema schema;
    const std::string header = "NUM,FAM,NAM,OTCH,BIRTH\n";
    ImportRegister(dir.write("earlier.csv", header + "1001,А,Б,В,\n1002,Г,Д,Е,01.02.1950\n"), schema.uri());
    const std::vector<std::string> earlier = schema.rows();

    // Rows enough before the bad one that some went to the server already.
    std::string good;
    for (int i = 0; i < 20000; ++i)
        good += std::to_string(100000 + i) + ",ФАМИЛИЯ,ИМЯ,ОТЧЕСТВО,01.01.1960\n";
    const struct {
        const char* edge;
        std::string rows;
        std::string message; // after the file name
    } cases[] = {
        { "bad date in the middle", good + "5,А,Б,В,31.02.1950\n" + good.substr(0, 100),
            ", line 20002: bad date \"31.02.1950\" in BIRTH" },
        { "number twice, the second in the middle", good + "100007,А,Б,В,\n1,А,Б,В,\n",
            ", line 20002: NUM \"100007\" is already in the register" },
        { "too few fields in the last row", good + "5,А,Б\n",
            ", line 20002: 3 fields where the header names 5" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.edge);
        const std::string source = dir.write("bad.csv", header + c.rows);
        try {
            ImportRegister(source, schema.uri());
            ADD_FAILURE() << "imported";
        } catch (const ConvertError& e) {
            EXPECT_NE(std::string(e.what()).find(source + c.message), std::string::npos) << e.what();
        }
        EXPECT_EQ(schema.rows(), earlier);
        EXPECT_EQ(schema.objects(), registerObjects(schema.name()));
    }
}

TEST(RegisterPgImport, RolesKeepTheirRightsOnTheRegisterAcrossImports)
{
    TempDir dir;
    PgSchema schema;
    const std::string source = dir.write("r.csv", "NUM,FAM,NAM,OTCH,BIRTH\n1001,А,Б,В,\n");
    ImportRegister(source, schema.uri());
    test::PgRows(baseUri(),
        "DO $$BEGIN CREATE ROLE venqor_checker LOGIN; EXCEPTION WHEN duplicate_object THEN NULL; END$$;"
        " GRANT USAGE ON SCHEMA "
            + schema.name() + " TO venqor_checker; GRANT SELECT ON " + schema.name()
            + ".nums TO venqor_checker WITH GRANT OPTION");
    ImportRegister(source, schema.uri());
    const std::string checker = schema.uri() + "&user=venqor_checker";
    EXPECT_EQ(joined(test::PgRows(checker, "SELECT NUM FROM NUMS")), std::vector<std::string> { "1001" });
    EXPECT_EQ(joined(test::PgRows(schema.uri(),
                  "SELECT array_to_string(relacl, ',') FROM pg_class WHERE oid = 'nums'::regclass")),
        std::vector<std::string> { "postgres=arwdDxt/postgres,venqor_checker=r*/postgres" });
}

TEST(RegisterPgImport, BadLocationsSayWhyExitOneAndChangeNothing)
{
    TempDir dir;
    PgSchema schema;
    const std::string source = dir.write("r.csv", "NUM,FAM,NAM,OTCH,BIRTH\n1001,А,Б,В,\n");
    ImportRegister(dir.write("earlier.csv", "NUM,FAM,NAM,OTCH,BIRTH\n1002,Г,Д,Е,\n"), schema.uri());
    const std::vector<std::string> earlier = schema.rows();

    // A role that may use the schema but create nothing in it.
    test::PgRows(baseUri(),
        "DO $$BEGIN CREATE ROLE venqor_no_create LOGIN; EXCEPTION WHEN duplicate_object THEN NULL; END$$;"
        " GRANT USAGE ON SCHEMA "
            + schema.name() + " TO venqor_no_create");
    const fs::path noServer = dir.path() / "no-server";
    fs::create_directory(noServer);
    const struct {
        const char* edge;
        std::string location;
        std::string message;
    } cases[] = {
        { "unreachable server", "postgresql:///venqor?host=" + noServer.string(), "cannot connect" },
        { "wrong database name", schema.withParameter("dbname=venqor_no_such_database"),
            "database \"venqor_no_such_database\" does not exist" },
        { "role without the right to create tables", schema.uri() + "&user=venqor_no_create",
            "NUMS: cannot create the new table: permission denied for schema " + schema.name() },
        { "password in the location", schema.uri() + "&password=s3cret",
            "a password in the location is not accepted" },
        { "percent-encoded password key", schema.uri() + "&pass%77ord=s3cret",
            "a password in the location is not accepted" },
        { "malformed location with a password", "postgresql://venqor:s3cret/PW@localhost/venqor",
            "a password in the location is not accepted" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.edge);
        const auto run = test::runCli(dir, { "register", "import", source, c.location });
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("s3cret"), std::string::npos) << run.err;
        EXPECT_EQ(schema.rows(), earlier);
        EXPECT_EQ(schema.objects(), registerObjects(schema.name()));
    }
}

// The name check of the sample data file against the sample register, both modes.
std::vector<std::string> checkReport(const std::string& home, const std::string& location, bool byQuery)
{
    TMainState state = DefaultMainState(std::filesystem::path(home));
    state.dataFile = sourceFile("samples/sample-edv4.txt");
    state.registerLocation = location;
    state.byQuery = byQuery;
    state.Sql1Text = "SELECT * FROM NUMS WHERE NUM=:NUM";
    state.Sql2Text = "SELECT * FROM NUMS WHERE FAM=:FAM AND NAM=:NAM AND OTCH=:OTCH AND BIRTH=:BIRTH";
    test::ScriptedHost host;
    const RunResult result = CheckNames(state, host);
    EXPECT_TRUE(result.started);
    EXPECT_TRUE(result.shortfalls.empty());
    return host.reportLines();
}

TEST(RegisterPgImport, NameCheckReportsAsAgainstTheSqliteRegisterOfTheSameSource)
{
    TempDir home;
    fs::copy_file(sourceFile("samples/EDV4.SCH"), home.file("EDV4.SCH"));
    PgSchema schema;
    const std::string source = sourceFile("samples/register.csv");
    ImportRegister(source, schema.uri());
    ImportRegister(source, home.file("reg"));
    for (const bool byQuery : { false, true }) {
        SCOPED_TRACE(byQuery ? "query mode" : "table mode");
        const std::vector<std::string> sqlite = checkReport(home.path().string(), home.file("reg"), byQuery);
        EXPECT_EQ(checkReport(home.path().string(), schema.uri(), byQuery), sqlite);
        // Findings that only the register's names and statuses give.
        for (const char* finding : { "Числится СИДОРОВА АННА ПЕТРОВНА", "Отмененный стр.№ 567-891-234 53" }) {
            const auto has
                = [finding](const std::string& line) { return line.find(finding) != std::string::npos; };
            EXPECT_TRUE(std::any_of(sqlite.begin(), sqlite.end(), has)) << finding;
        }
    }
}

} // namespace
} // namespace venqor
