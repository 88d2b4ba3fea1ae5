#include "engine/TableEngine.h"
#include "scan/Errors.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace venqor
