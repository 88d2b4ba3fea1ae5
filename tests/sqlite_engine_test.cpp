#include "base/Errors.h"
#include "engine/TableEngine.h"
#include "support/SqliteQuery.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

// How the SQLite engine maps a directory of NAME.DB files, or one file, onto tables and
// statements.

namespace venqor {
namespace {

using test::TempDir;

std::int64_t single(Database& db, const std::string& sql)
{
    const auto query = db.query();
    query->setSql(sql);
    query->open();
    EXPECT_FALSE(query->eof()) << sql;
    return query->fieldInt(0);
}

void addNumbers(Database& db, const std::string& table, std::initializer_list<std::int64_t> numbers)
{
    const auto t = db.table(table);
    t->create({ { "NUM", FieldType::Integer, 0 } }, "NUM");
    t->open();
    for (const std::int64_t number : numbers) {
        t->insert();
        t->setField(0, number);
        t->post();
    }
}

TEST(SqliteEngine, EachTableOfADirectoryIsItsOwnFile)
{
    const TempDir dir;
    const auto db = OpenDatabase(dir.path().string());
    addNumbers(*db, "A", { 1, 2, 3 });
    db->execute("CREATE TABLE B (NUM INTEGER PRIMARY KEY, NAME TEXT); INSERT INTO B VALUES (2, 'two');"
                "CREATE INDEX B_NAME ON B (NAME)");
    EXPECT_TRUE(std::filesystem::exists(dir.file("A.DB")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("B.DB")));

    // A fresh connection finds both tables from the statement alone, the index in B.DB.
    const auto other = OpenDatabase(dir.path().string());
    EXPECT_EQ(single(*other, "SELECT count(*) FROM A JOIN B ON A.NUM = B.NUM"), 1);
    const auto b = other->table("B");
    b->open();
    EXPECT_NO_THROW(b->setIndexFields("NAME"));
}

TEST(SqliteEngine, AQueryOnlyReadsAndMakesNoFile)
{
    const TempDir dir;
    const TempDir elsewhere; // where the statements below would make their files
    const std::string x = elsewhere.file("x");
    const struct {
        const char* name;
        std::string sql;
        bool reads;
    } cases[] = {
        { "select with functions and a recursive part",
            "WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r WHERE n < 3)"
            " SELECT abs(-NUM) AS N FROM A, r WHERE NUM = :NUM AND n = 3",
            true },
        { "attach of a name made from a parameter", "ATTACH DATABASE '" + x + "' || :NUM AS e", false },
        { "vacuum into a file", "VACUUM INTO '" + x + "'", false },
        { "delete", "DELETE FROM A WHERE NUM = :NUM", false },
        { "temporary table", "CREATE TEMP TABLE t AS SELECT * FROM A WHERE NUM = :NUM", false },
        { "pragma that sets", "PRAGMA user_version = 7", false },
        { "pragma read as a table", "SELECT * FROM pragma_table_info('A') WHERE cid = :NUM", false },
        { "detach of the table's file", "DETACH DATABASE A", false },
    };
    const auto db = OpenDatabase(dir.path().string());
    addNumbers(*db, "A", { 1, 2 });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto query = db->query();
        query->setSql(c.sql);
        query->prepare();
        if (c.sql.find(":NUM") != std::string::npos)
            query->setParam("NUM", std::int64_t { 1 });
        if (c.reads) {
            query->open();
            EXPECT_EQ(query->fieldInt("N"), 1);
            continue;
        }
        try {
            query->open();
            ADD_FAILURE() << "ran";
        } catch (const TableError& error) {
            EXPECT_NE(std::string(error.what()).find("a query only reads"), std::string::npos)
                << error.what();
        }
    }
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere.path()));
    EXPECT_EQ(single(*db, "SELECT count(*) FROM A"), 2);
}

TEST(SqliteEngine, ADirectoryMayHoldMoreFilesThanSqliteAttachesAtOnce)
{
    const TempDir dir;
    for (int i = 0; i < 12; ++i)
        addNumbers(*OpenDatabase(dir.path().string()), "T" + std::to_string(i), { i });
    dir.write("BROKEN.DB", "not a database");
    const auto db = OpenDatabase(dir.path().string());
    EXPECT_EQ(single(*db, "SELECT NUM FROM T11"), 11) << "unrelated files, even a broken one, are not opened";
}

TEST(SqliteEngine, FileNamesMatchInAnyLatinCase)
{
    const TempDir dir;
    OpenDatabase(dir.path().string())->execute("CREATE TABLE NUMS (NUM INTEGER PRIMARY KEY)");
    std::filesystem::rename(dir.file("NUMS.DB"), dir.file("nums.db"));
    const auto db = OpenDatabase(dir.path().string());
    const auto nums = db->table("NUMS");
    EXPECT_NO_THROW(nums->open());
    EXPECT_EQ(single(*db, "SELECT count(*) FROM NUMS"), 0);
}

TEST(SqliteEngine, ATableOpenedInsideAWriteTransactionKeepsItsRows)
{
    const TempDir dir;
    const auto db = OpenDatabase(dir.path().string());
    addNumbers(*db, "FIRST", {});
    const auto first = db->table("FIRST");
    first->open();
    db->beginWrite();
    first->insert();
    first->setField(0, std::int64_t { 1 });
    first->post();
    addNumbers(*db, "SECOND", { 7 }); // attaches SECOND.DB inside the transaction
    first->insert();
    first->setField(0, std::int64_t { 2 });
    first->post();
    db->commit();
    const auto other = OpenDatabase(dir.path().string());
    EXPECT_EQ(single(*other, "SELECT count(*) FROM FIRST"), 2);
    EXPECT_EQ(single(*other, "SELECT NUM FROM SECOND"), 7);
}

TEST(SqliteEngine, OneFileLocation)
{
    const TempDir dir;
    OpenDatabase(dir.path().string())->execute("CREATE TABLE NUMS (NUM INTEGER PRIMARY KEY, FAM TEXT)");
    const auto db = OpenDatabase("sqlite:" + dir.file("NUMS.DB"));
    db->execute("CREATE TABLE OTHER (X INTEGER); INSERT INTO NUMS VALUES (5, 'x')");
    const auto nums = db->table("NUMS");
    nums->open();
    nums->setIndexFields("");
    EXPECT_TRUE(nums->findKey(5));
    EXPECT_EQ(nums->fieldText("FAM"), "x");
    EXPECT_EQ(single(*db, "SELECT count(*) FROM OTHER"), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.file("OTHER.DB")));

    EXPECT_THROW(OpenDatabase("sqlite:" + dir.file("MISSING.DB")), TableError);
    dir.write("TEXT.DB", "not a database at all, just some text of some length");
    EXPECT_THROW(OpenDatabase("sqlite:" + dir.file("TEXT.DB")), TableError);
}

// Loads table T (NUM key, NAME, BORN, indexed by NAME) with numbers `from` to `to`, one of
// them twice; commits when asked.
void loadNumbers(Database& db, std::int64_t from, std::int64_t to, bool commit)
{
    const auto loader = db.load("T",
        { { "NUM", FieldType::Integer, 0 }, { "NAME", FieldType::Text, 3 }, { "BORN", FieldType::Date, 0 } },
        "NUM", { { "T_NAME", { "NAME" }, { "BORN" } } });
    for (std::int64_t number = from; number <= to; ++number) {
        loader->insert();
        loader->setField(0, number);
        loader->setField(1, "name " + std::to_string(number));
        loader->setField(2, "01.02.2003");
        EXPECT_TRUE(loader->post());
    }
    loader->insert();
    loader->setField(0, from);
    EXPECT_FALSE(loader->post()) << "a number loaded twice";
    if (commit)
        loader->commit();
}

TEST(SqliteEngine, LoadedTableTakesThePlaceOfTheOldOneOnlyAtCommit)
{
    struct Case {
        const char* edge;
        bool singleFile;
    };
    for (const Case c : { Case { "directory", false }, Case { "one file with another table", true } }) {
        SCOPED_TRACE(c.edge);
        const TempDir dir;
        const std::string file = dir.file(c.singleFile ? "DATA.DB" : "T.DB");
        const std::string location = c.singleFile ? "sqlite:" + file : dir.path().string();
        if (c.singleFile)
            OpenDatabase(dir.path().string())
                ->execute("CREATE TABLE DATA (X INTEGER); INSERT INTO DATA VALUES (1)");
        const auto db = OpenDatabase(location);
        loadNumbers(*db, 1, 3, true);
        const std::string rows = "SELECT NUM, NAME, BORN FROM T ORDER BY NUM";
        const std::vector<test::SqlRow> first
            = { { "1", "nam", "2003-02-01" }, { "2", "nam", "2003-02-01" }, { "3", "nam", "2003-02-01" } };
        EXPECT_EQ(test::SqliteRows(file, rows), first);

        {
            // Other readers see the old table while the new one is loaded, and after a
            // loader that never commits.
            const auto loader = db->load("T", { { "NUM", FieldType::Integer, 0 } }, "NUM", {});
            loader->insert();
            loader->setField(0, std::int64_t { 9 });
            EXPECT_TRUE(loader->post());
            EXPECT_EQ(test::SqliteRows(file, rows), first);
        }
        EXPECT_EQ(test::SqliteRows(file, rows), first);

        loadNumbers(*db, 4, 5, true);
        const std::vector<test::SqlRow> second
            = { { "4", "nam", "2003-02-01" }, { "5", "nam", "2003-02-01" } };
        EXPECT_EQ(test::SqliteRows(file, rows), second);
        const auto index = test::SqliteRows(file,
            "SELECT group_concat(i.name, ';') FROM pragma_index_list('T') l, pragma_index_info(l.name) i"
            " WHERE l.name = 'T_NAME'");
        EXPECT_EQ(index, (std::vector<test::SqlRow> { { "NAME;BORN" } }));
        if (c.singleFile) {
            EXPECT_EQ(test::SqliteRows(file, "SELECT name FROM sqlite_schema ORDER BY name"),
                (std::vector<test::SqlRow> { { "DATA" }, { "T" }, { "T_NAME" } }));
        } else {
            std::vector<std::string> files;
            for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
                files.push_back(entry.path().filename().string());
            EXPECT_EQ(files, std::vector<std::string> { "T.DB" });
        }
    }
}

TEST(SqliteEngine, LoadIntoAMissingDirectoryMakesIt)
{
    const TempDir dir;
    const std::string location = dir.file("new/sub");
    const auto db = OpenDatabase(location);
    EXPECT_THROW(db->table("T")->open(), TableError);
    EXPECT_FALSE(std::filesystem::exists(location));
    loadNumbers(*db, 1, 2, true);
    EXPECT_EQ(single(*OpenDatabase(location), "SELECT count(*) FROM T"), 2);
}

} // namespace
} // namespace venqor
