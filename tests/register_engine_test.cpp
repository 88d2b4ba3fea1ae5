#include "base/CodePage.h"
#include "base/Errors.h"
#include "engine/TableEngine.h"
#include "register/Register.h"
#include "support/TempDir.h"
#include "support/TestRegister.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

// One behaviour table for the register and the table engine, run against SQLite and a
// real PostgreSQL server (VENQOR_PG_URI, set by scripts/with-postgres; without it the
// PostgreSQL cases fail). Fixtures are built through the engine's own interface, so the
// same code sets up both backends.

namespace venqor {
namespace {

using test::TempDir;

enum class Backend { Sqlite, Postgres };

const char* const defaultSql1 = "SELECT * FROM NUMS WHERE NUM=:NUM";
const char* const defaultSql2
    = "SELECT * FROM NUMS WHERE FAM=:FAM AND NAM=:NAM AND OTCH=:OTCH AND BIRTH=:BIRTH";

std::string cp(std::string_view utf8)
{
    return Utf8ToCp1251(utf8);
}

// Whether a message names something, in any Latin case (PostgreSQL folds names).
bool mentions(std::string_view message, std::string_view name)
{
    for (std::size_t i = 0; i + name.size() <= message.size(); ++i) {
        std::size_t j = 0;
        while (j < name.size() && std::toupper(static_cast<unsigned char>(message[i + j])) == name[j])
            ++j;
        if (j == name.size())
            return true;
    }
    return false;
}

Date dmy(std::string_view text)
{
    return text.empty() ? ZeroDate : ParseDmy(text).value();
}

// A fresh, empty location for one test: a temporary directory for SQLite, a schema of
// its own in the PostgreSQL database.
class Location {
public:
    Location(Backend backend, const std::string& testName)
        : backend_(backend)
    {
        if (backend_ == Backend::Sqlite) {
            uri_ = dir_.path().string();
            return;
        }
        const char* base = std::getenv("VENQOR_PG_URI");
        if (!base || !*base)
            throw std::runtime_error("VENQOR_PG_URI is not set: run this test under scripts/with-postgres");
        base_ = base;
        std::string schema = "t_";
        for (const char c : testName)
            schema += std::isalnum(static_cast<unsigned char>(c)) ? static_cast<char>(std::tolower(c)) : '_';
        schema = schema.substr(0, 60);
        const auto admin = OpenDatabase(base_);
        admin->execute("DROP SCHEMA IF EXISTS " + schema + " CASCADE");
        admin->execute("CREATE SCHEMA " + schema);
        uri_ = withParameter("options=-csearch_path%3D" + schema);
    }

    Backend backend() const { return backend_; }
    const std::string& uri() const { return uri_; }
    const TempDir& dir() const { return dir_; }

    // A location of the same kind that names nothing.
    std::string nothing() const
    {
        return backend_ == Backend::Sqlite ? dir_.file("no-such-directory")
                                           : withParameter("dbname=venqor_no_such_database");
    }

private:
    std::string withParameter(const std::string& parameter) const
    {
        return base_ + (base_.find('?') == std::string::npos ? "?" : "&") + parameter;
    }

    Backend backend_;
    TempDir dir_;
    std::string base_;
    std::string uri_;
};

// ---- register fixtures --------------------------------------------------------------

const test::RegisterPerson people[] = {
    { 100000001, "ИВАНОВ", "ИВАН", "ИВАНОВИЧ", "01.02.1950", "" },
    { 100000002, "ЁЛКИНА-№2", "Алёна", "ёЖ Ё№", "31.12.1999", "C" },
    { 100000003, "ПЕТРОВ", "ПЁТР", "", "", "F" },
    { 100000004, "СИДОРОВ", "СИДОР", "", "05.05.1955", "" },
    { 100000005, "ИВАНОВ", "ИВАН", "ИВАНОВИЧ", "02.02.1951", "" },
};

enum class Fixture {
    Standard,         // NUMS with its primary key on NUM and the index FAM;NAM;OTCH;BIRTH
    NumberTwice,      // no primary key; 200000000 held twice
    NoNameIndex,      // only the primary key
    PartialNameIndex, // the name index serves only some rows (WHERE ...)
    NoCond,           // no field COND
    Empty,            // the standard layout without rows
    NoTable,          // nothing at all
    Nothing,          // a location that names nothing
    NotSqlite,        // NUMS.DB holding text (SQLite only)
    Truncated,        // NUMS.DB cut in half (SQLite only)
};

bool sqliteOnly(Fixture fixture)
{
    return fixture == Fixture::NotSqlite || fixture == Fixture::Truncated;
}

// Builds the register of a fixture and returns the location to open.
std::string buildRegister(const Location& location, Fixture fixture)
{
    if (fixture == Fixture::Nothing)
        return location.nothing();
    if (fixture == Fixture::NotSqlite) {
        location.dir().write("NUMS.DB", "NUM;FAM;NAM\n100000001;IVANOV;IVAN\n");
        return location.uri();
    }
    if (fixture == Fixture::NoTable)
        return location.uri();

    {
        const auto db = OpenDatabase(location.uri());
        const test::RegisterLayout layout { fixture != Fixture::NoCond, fixture != Fixture::NumberTwice };
        std::vector<test::RegisterPerson> rows(std::begin(people), std::end(people));
        if (fixture == Fixture::NumberTwice)
            rows = { { 200000000, "ПЕРВЫЙ", "А", "Б", "01.01.1960", "" },
                { 200000000, "ВТОРОЙ", "А", "Б", "01.01.1960", "" } };
        else if (fixture == Fixture::Empty)
            rows.clear();
        if (fixture == Fixture::Truncated)
            for (int i = 0; i < 400; ++i)
                rows.push_back({ 300000000 + i, "ЗАПОЛНИТЕЛЬ", "ЗАПОЛНИТЕЛЬ", "ЗАПОЛНИТЕЛЬ", "", "" });
        test::WriteNums(*db, rows, layout);
        if (fixture == Fixture::PartialNameIndex)
            db->execute("CREATE INDEX NUMS_FIO ON NUMS (FAM, NAM, OTCH, BIRTH) WHERE COND = 'C'");
        else if (fixture != Fixture::NoNameIndex)
            db->execute("CREATE INDEX NUMS_FIO ON NUMS (FAM, NAM, OTCH, BIRTH)");
    }
    if (fixture == Fixture::Truncated) {
        const auto file = location.dir().file("NUMS.DB");
        std::filesystem::resize_file(file, std::filesystem::file_size(file) / 2);
    }
    return location.uri();
}

// ---- register behaviour -------------------------------------------------------------

enum class Outcome {
    Found, // the current record is `expectNum` with the fixture's values
    NotFound,
    Unavailable, // OpenRegister failed; its reason mentions `mention`
    LookupFails, // the lookup raises TableError mentioning `mention`
    CondFails,   // found, but reading COND raises TableError
};

struct RegisterCase {
    const char* name;
    Fixture fixture;
    bool useQuery;
    LookupKind kind;
    std::int32_t num; // for ByNumber
    const char* fam;  // for ByNameBirth (UTF-8)
    const char* nam;
    const char* otch;
    const char* birth;
    Outcome outcome;
    std::int64_t expectNum = 0;
    const char* mention = "";
    const char* sql = nullptr; // replaces the default statement of the kind
};

constexpr bool T = false; // table mode
constexpr bool Q = true;  // query mode
constexpr LookupKind Num = LookupKind::ByNumber;
constexpr LookupKind Name = LookupKind::ByNameBirth;

const RegisterCase registerCases[] = {
    { "table_number_found", Fixture::Standard, T, Num, 100000001, "", "", "", "", Outcome::Found, 100000001 },
    { "query_number_found", Fixture::Standard, Q, Num, 100000001, "", "", "", "", Outcome::Found, 100000001 },
    { "table_number_not_found", Fixture::Standard, T, Num, 999999999, "", "", "", "", Outcome::NotFound },
    { "query_number_not_found", Fixture::Standard, Q, Num, 999999999, "", "", "", "", Outcome::NotFound },
    { "table_name_found", Fixture::Standard, T, Name, 0, "ИВАНОВ", "ИВАН", "ИВАНОВИЧ", "02.02.1951",
        Outcome::Found, 100000005 },
    { "query_name_found", Fixture::Standard, Q, Name, 0, "ИВАНОВ", "ИВАН", "ИВАНОВИЧ", "01.02.1950",
        Outcome::Found, 100000001 },
    { "table_name_other_birth_not_found", Fixture::Standard, T, Name, 0, "ИВАНОВ", "ИВАН", "ИВАНОВИЧ",
        "03.02.1950", Outcome::NotFound },
    { "query_name_other_birth_not_found", Fixture::Standard, Q, Name, 0, "ИВАНОВ", "ИВАН", "ИВАНОВИЧ",
        "03.02.1950", Outcome::NotFound },
    { "table_name_case_not_folded", Fixture::Standard, T, Name, 0, "Иванов", "ИВАН", "ИВАНОВИЧ", "01.02.1950",
        Outcome::NotFound },
    { "query_name_trailing_blank_not_trimmed", Fixture::Standard, Q, Name, 0, "ИВАНОВ ", "ИВАН", "ИВАНОВИЧ",
        "01.02.1950", Outcome::NotFound },
    { "table_cyrillic_number_round_trip", Fixture::Standard, T, Num, 100000002, "", "", "", "",
        Outcome::Found, 100000002 },
    { "query_cyrillic_number_round_trip", Fixture::Standard, Q, Num, 100000002, "", "", "", "",
        Outcome::Found, 100000002 },
    { "table_cyrillic_name_found", Fixture::Standard, T, Name, 0, "ЁЛКИНА-№2", "Алёна", "ёЖ Ё№", "31.12.1999",
        Outcome::Found, 100000002 },
    { "query_cyrillic_name_found", Fixture::Standard, Q, Name, 0, "ЁЛКИНА-№2", "Алёна", "ёЖ Ё№", "31.12.1999",
        Outcome::Found, 100000002 },
    { "table_yo_not_folded_to_ye", Fixture::Standard, T, Name, 0, "ЕЛКИНА-№2", "Алена", "еЖ Е№", "31.12.1999",
        Outcome::NotFound },
    { "query_yo_not_folded_to_ye", Fixture::Standard, Q, Name, 0, "ЕЛКИНА-№2", "Алена", "еЖ Е№", "31.12.1999",
        Outcome::NotFound },
    { "table_empty_patronymic_found", Fixture::Standard, T, Name, 0, "СИДОРОВ", "СИДОР", "", "05.05.1955",
        Outcome::Found, 100000004 },
    { "query_empty_patronymic_found", Fixture::Standard, Q, Name, 0, "СИДОРОВ", "СИДОР", "", "05.05.1955",
        Outcome::Found, 100000004 },
    // A namesake without a birth date is no proof of identity, in either mode.
    { "table_zero_birth_finds_no_record_without_birth", Fixture::Standard, T, Name, 0, "ПЕТРОВ", "ПЁТР", "",
        "", Outcome::NotFound },
    { "table_zero_birth_does_not_match_a_birth_date", Fixture::Standard, T, Name, 0, "ИВАНОВ", "ИВАН",
        "ИВАНОВИЧ", "", Outcome::NotFound },
    { "query_zero_birth_finds_no_record_without_birth", Fixture::Standard, Q, Name, 0, "ПЕТРОВ", "ПЁТР", "",
        "", Outcome::NotFound },
    { "query_number_held_twice_finds_first", Fixture::NumberTwice, Q, Num, 200000000, "", "", "", "",
        Outcome::Found, 200000000 },
    { "table_missing_name_index", Fixture::NoNameIndex, T, Name, 0, "", "", "", "", Outcome::Unavailable, 0,
        "FAM;NAM;OTCH;BIRTH" },
    { "table_partial_name_index_refused", Fixture::PartialNameIndex, T, Name, 0, "", "", "", "",
        Outcome::Unavailable, 0, "FAM;NAM;OTCH;BIRTH" },
    { "table_missing_name_index_number_lookup_works", Fixture::NoNameIndex, T, Num, 100000001, "", "", "", "",
        Outcome::Found, 100000001 },
    { "table_missing_table", Fixture::NoTable, T, Num, 100000001, "", "", "", "", Outcome::Unavailable, 0,
        "NUMS" },
    { "query_missing_table", Fixture::NoTable, Q, Num, 100000001, "", "", "", "", Outcome::Unavailable, 0,
        "NUMS" },
    { "query_refused_statement", Fixture::Standard, Q, Num, 100000001, "", "", "", "", Outcome::Unavailable,
        0, "SELEC", "SELEC * FROM NUMS WHERE NUM=:NUM" },
    { "query_statement_without_parameter_num", Fixture::Standard, Q, Num, 100000001, "", "", "", "",
        Outcome::LookupFails, 0, "NUM", "SELECT * FROM NUMS WHERE NUM=:N" },
    { "query_statement_without_parameter_birth", Fixture::Standard, Q, Name, 0, "ИВАНОВ", "ИВАН", "ИВАНОВИЧ",
        "01.02.1950", Outcome::LookupFails, 0, "BIRTH",
        "SELECT * FROM NUMS WHERE FAM=:FAM AND NAM=:NAM AND OTCH=:OTCH" },
    { "table_location_names_nothing", Fixture::Nothing, T, Num, 100000001, "", "", "", "",
        Outcome::Unavailable },
    { "query_location_names_nothing", Fixture::Nothing, Q, Num, 100000001, "", "", "", "",
        Outcome::Unavailable },
    { "table_without_cond", Fixture::NoCond, T, Num, 100000001, "", "", "", "", Outcome::CondFails,
        100000001 },
    { "query_without_cond", Fixture::NoCond, Q, Num, 100000001, "", "", "", "", Outcome::CondFails,
        100000001 },
    { "table_empty_register", Fixture::Empty, T, Num, 100000001, "", "", "", "", Outcome::NotFound },
    { "query_empty_register_by_name", Fixture::Empty, Q, Name, 0, "ИВАНОВ", "ИВАН", "ИВАНОВИЧ", "01.02.1950",
        Outcome::NotFound },
    { "table_not_an_sqlite_file", Fixture::NotSqlite, T, Num, 100000001, "", "", "", "", Outcome::Unavailable,
        0, "NUMS.DB" },
    { "query_not_an_sqlite_file", Fixture::NotSqlite, Q, Num, 100000001, "", "", "", "", Outcome::Unavailable,
        0, "NUMS.DB" },
    { "table_truncated_file", Fixture::Truncated, T, Num, 100000001, "", "", "", "", Outcome::Unavailable, 0,
        "NUMS.DB" },
    { "query_truncated_file", Fixture::Truncated, Q, Num, 100000001, "", "", "", "", Outcome::Unavailable, 0,
        "NUMS.DB" },
};

const test::RegisterPerson& personOf(std::int64_t num)
{
    for (const test::RegisterPerson& person : people)
        if (person.num == num)
            return person;
    static const test::RegisterPerson first { 200000000, "ПЕРВЫЙ", "А", "Б", "01.01.1960", "" };
    return first;
}

void expectRecordOf(RecordReader& record, const test::RegisterPerson& person)
{
    EXPECT_EQ(record.fieldInt("NUM"), person.num);
    EXPECT_EQ(record.fieldText("FAM"), cp(person.fam));
    EXPECT_EQ(record.fieldText("NAM"), cp(person.nam));
    EXPECT_EQ(record.fieldText("OTCH"), cp(person.otch));
    EXPECT_EQ(record.fieldDate("BIRTH"), dmy(person.birth));
    EXPECT_EQ(record.fieldText("BIRTH"), person.birth);
    EXPECT_EQ(record.fieldText("COND"), person.cond);
    EXPECT_EQ(record.fieldDate("DATMOD"), ZeroDate);
}

template <class Case> std::string caseName(const testing::TestParamInfo<std::tuple<Backend, Case>>& info)
{
    return std::string(std::get<0>(info.param) == Backend::Sqlite ? "Sqlite_" : "Postgres_")
        + std::get<1>(info.param).name;
}

class RegisterBehaviour : public testing::TestWithParam<std::tuple<Backend, RegisterCase>> { };

TEST_P(RegisterBehaviour, Lookup)
{
    const auto& [backend, c] = GetParam();
    const Location location(backend, c.name);
    RegisterSettings settings;
    settings.location = buildRegister(location, c.fixture);
    settings.useQuery = c.useQuery;
    settings.sql1Text = c.kind == Num && c.sql ? c.sql : defaultSql1;
    settings.sql2Text = c.kind == Name && c.sql ? c.sql : defaultSql2;

    Register reg;
    reg.OpenRegister(settings, c.kind);
    if (c.outcome == Outcome::Unavailable) {
        EXPECT_FALSE(reg.available());
        EXPECT_NE(reg.unavailableReason(), "");
        EXPECT_TRUE(mentions(reg.unavailableReason(), c.mention)) << reg.unavailableReason();
        return;
    }
    ASSERT_TRUE(reg.available()) << reg.unavailableReason();

    const auto lookup = [&] {
        return c.kind == Num ? reg.FindByStrNum(c.num)
                             : reg.FindByNameBirth(cp(c.fam), cp(c.nam), cp(c.otch), dmy(c.birth));
    };
    if (c.outcome == Outcome::LookupFails) {
        try {
            lookup();
            ADD_FAILURE() << "the lookup did not fail";
        } catch (const TableError& error) {
            EXPECT_TRUE(mentions(error.what(), c.mention)) << error.what();
        }
        return;
    }
    const bool found = lookup();
    EXPECT_EQ(found, c.outcome != Outcome::NotFound);
    if (c.outcome == Outcome::Found) {
        expectRecordOf(reg.record(), personOf(c.expectNum));
    } else if (c.outcome == Outcome::CondFails) {
        EXPECT_EQ(reg.record().fieldText("FAM"), cp(personOf(c.expectNum).fam));
        EXPECT_THROW(reg.record().fieldText("COND"), TableError);
    }
    // The register stays usable after a lookup that found nothing, and over many lookups.
    if (c.fixture == Fixture::Standard && c.kind == Num) {
        for (const test::RegisterPerson& person : people) {
            ASSERT_TRUE(reg.FindByStrNum(static_cast<std::int32_t>(person.num))) << person.num;
            EXPECT_EQ(reg.record().fieldText("FAM"), cp(person.fam));
        }
    }
    reg.Close();
    EXPECT_FALSE(reg.available());
}

template <class Case>
std::vector<std::tuple<Backend, Case>> onBothBackends(
    const Case* begin, const Case* end, bool (*sqliteOnlyCase)(const Case&))
{
    std::vector<std::tuple<Backend, Case>> result;
    for (const Backend backend : { Backend::Sqlite, Backend::Postgres })
        for (const Case* c = begin; c != end; ++c)
            if (backend == Backend::Sqlite || !sqliteOnlyCase(*c))
                result.emplace_back(backend, *c);
    return result;
}

INSTANTIATE_TEST_SUITE_P(Backends, RegisterBehaviour,
    testing::ValuesIn(onBothBackends<RegisterCase>(std::begin(registerCases), std::end(registerCases),
        [](const RegisterCase& c) { return sqliteOnly(c.fixture); })),
    caseName<RegisterCase>);

// ---- writing tables -----------------------------------------------------------------

class TableWriting : public testing::TestWithParam<Backend> {
protected:
    std::string testName() const { return testing::UnitTest::GetInstance()->current_test_info()->name(); }
};

std::vector<FieldDef> anktFields()
{
    return { { "NUM", FieldType::Integer, 0 }, { "FAM", FieldType::Text, 25 }, { "NAM", FieldType::Text, 20 },
        { "OTCH", FieldType::Text, 20 }, { "BIRTH", FieldType::Date, 0 }, { "COND", FieldType::Text, 1 },
        { "SEX", FieldType::Text, 1 }, { "DATMOD", FieldType::Date, 0 } };
}

enum class RowOutcome { Stored, RefusedBySetField, RefusedByPost, Cancelled };

struct AnktRow {
    const char* name;
    std::int64_t num;
    const char* fam; // UTF-8
    const char* birth;
    RowOutcome outcome;
    const char* storedFam = nullptr; // when the table cuts the text
};

// Rows added in this order inside one write transaction, as the name check adds them.
const AnktRow anktRows[] = {
    { "plain_row", 100000001, "ИВАНОВ", "01.02.1950", RowOutcome::Stored },
    { "surname_cut_to_width_25", 100000002, "ЁЛКИНА-ПЕРВАЯ-ВТОРАЯ-ТРЕТЬЯ-Ё№", "31.12.1999",
        RowOutcome::Stored, "ЁЛКИНА-ПЕРВАЯ-ВТОРАЯ-ТРЕТ" },
    { "empty_birth_stays_empty", 100000003, "ПЕТРОВ", "", RowOutcome::Stored },
    { "impossible_birth_date", 100000004, "СИДОРОВ", "31.02.1950", RowOutcome::RefusedBySetField },
    { "year_first_birth_date", 100000005, "СИДОРОВ", "1950-01-31", RowOutcome::RefusedBySetField },
    { "duplicate_number", 100000001, "ДУБЛЬ", "01.01.1960", RowOutcome::RefusedByPost },
    { "row_after_a_refused_row", 100000006, "ПОСЛЕ", "02.01.1960", RowOutcome::Stored },
    { "cancelled_row", 100000007, "ОТМЕНА", "03.01.1960", RowOutcome::Cancelled },
    { "row_after_a_cancelled_row", 100000008, "ДАЛЕЕ", "04.01.1960", RowOutcome::Stored },
};

std::int64_t countRows(Database& db, const std::string& table)
{
    const auto query = db.query();
    query->setSql("SELECT count(*) AS N FROM " + table);
    query->open();
    return query->fieldInt("N");
}

TEST_P(TableWriting, AnktRowsUnderOneTransaction)
{
    const Location location(GetParam(), testName());
    {
        const auto db = OpenDatabase(location.uri());
        const auto ankt = db->table("ANKT");
        ankt->create(anktFields(), "NUM");
        ankt->open();
        EXPECT_EQ(ankt->fieldCount(), 8);
        db->beginWrite();
        for (const AnktRow& row : anktRows) {
            SCOPED_TRACE(row.name);
            ankt->insert();
            try {
                ankt->setField(ankt->fieldIndex("NUM"), row.num);
                ankt->setField(ankt->fieldIndex("FAM"), cp(row.fam));
                ankt->setField(ankt->fieldIndex("SEX"), std::string_view("\xCC"));
                ankt->setField(ankt->fieldIndex("BIRTH"), std::string_view(row.birth));
                EXPECT_NE(row.outcome, RowOutcome::RefusedBySetField);
            } catch (const Error& error) {
                EXPECT_EQ(row.outcome, RowOutcome::RefusedBySetField) << error.what();
                EXPECT_TRUE(mentions(error.what(), "BIRTH")) << error.what();
                ankt->cancel();
                continue;
            }
            if (row.outcome == RowOutcome::Cancelled) {
                ankt->cancel();
                continue;
            }
            try {
                ankt->post();
                EXPECT_EQ(row.outcome, RowOutcome::Stored);
            } catch (const TableError& error) {
                EXPECT_EQ(row.outcome, RowOutcome::RefusedByPost) << error.what();
                EXPECT_TRUE(mentions(error.what(), "ANKT")) << error.what();
                ankt->cancel();
            }
        }
        db->commit();
        ankt->close();
    }

    // A second run opens the table as it is and finds what the first one stored.
    const auto db = OpenDatabase(location.uri());
    const auto ankt = db->table("ANKT");
    ankt->open();
    ankt->setIndexFields("");
    int stored = 0;
    for (const AnktRow& row : anktRows) {
        SCOPED_TRACE(row.name);
        if (row.outcome == RowOutcome::RefusedByPost)
            continue; // its number belongs to an earlier row
        const bool found = ankt->findKey(row.num);
        EXPECT_EQ(found, row.outcome == RowOutcome::Stored);
        if (!found)
            continue;
        ++stored;
        EXPECT_EQ(ankt->fieldText("FAM"), cp(row.storedFam ? row.storedFam : row.fam));
        EXPECT_EQ(ankt->fieldDate("BIRTH"), dmy(row.birth));
        EXPECT_EQ(ankt->fieldText("SEX"), "\xCC");
        EXPECT_EQ(ankt->fieldText("COND"), "");
        EXPECT_EQ(ankt->fieldDate("DATMOD"), ZeroDate);
    }
    ASSERT_TRUE(ankt->findKey(100000001));
    EXPECT_EQ(ankt->fieldText("FAM"), cp("ИВАНОВ")) << "the duplicate replaced the first row";
    EXPECT_EQ(countRows(*db, "ANKT"), stored);

    // The reopened table still knows its widths.
    ankt->insert();
    ankt->setField(ankt->fieldIndex("NUM"), std::int64_t { 100000009 });
    ankt->setField(ankt->fieldIndex("NAM"), cp("АБВГДЕЁЖЗИЙКЛМНОПРСТУФХ"));
    ankt->post();
    ASSERT_TRUE(ankt->findKey(100000009));
    EXPECT_EQ(ankt->fieldText("NAM"), cp("АБВГДЕЁЖЗИЙКЛМНОПРСТ"));
}

struct ConversionCase {
    const char* name;
    int field; // 0 integer, 1 float, 2 date, 3 text of width 5
    const char* text;
    bool refused;
    const char* stored = ""; // read back as text
};

const ConversionCase conversionCases[] = {
    { "integer", 0, "12", false, "12" },
    { "integer_with_blanks_and_sign", 0, " -7 ", false, "-7" },
    { "integer_with_decimals_refused", 0, "1.5", true },
    { "integer_letters_refused", 0, "12a", true },
    { "integer_empty_stays_empty", 0, "", false, "" },
    { "float_with_decimal_point", 1, "2.25", false, "2.25" },
    { "float_with_decimal_comma_refused", 1, "2,25", true },
    { "float_letters_refused", 1, "abc", true },
    { "date_day_first", 2, "5.3.2007", false, "05.03.2007" },
    { "date_impossible_refused", 2, "29.02.2001", true },
    { "date_blank_stays_empty", 2, "   ", false, "" },
    { "text_cut_to_width", 3, "\xC0\xC1\xC2\xC3\xC4\xC5\xA8", false, "\xC0\xC1\xC2\xC3\xC4" },
};

TEST_P(TableWriting, FieldsTakeTextsOrRefuseThem)
{
    const Location location(GetParam(), testName());
    const auto db = OpenDatabase(location.uri());
    const auto table = db->table("CONV");
    table->create(
        { { "K", FieldType::Integer, 0 }, { "I", FieldType::Integer, 0 }, { "F", FieldType::Float, 0 },
            { "D", FieldType::Date, 0 }, { "S", FieldType::Text, 5 } },
        "K");
    table->open();
    table->setIndexFields("");
    std::int64_t key = 0;
    for (const ConversionCase& c : conversionCases) {
        SCOPED_TRACE(c.name);
        table->insert();
        table->setField(0, ++key);
        if (c.refused) {
            EXPECT_THROW(table->setField(c.field + 1, std::string_view(c.text)), Error);
            table->cancel();
            continue;
        }
        table->setField(c.field + 1, std::string_view(c.text));
        table->post();
        ASSERT_TRUE(table->findKey(key));
        EXPECT_EQ(table->fieldText(c.field + 1), c.stored);
    }
}

TEST_P(TableWriting, CreateReplacesTheTable)
{
    const Location location(GetParam(), testName());
    const auto db = OpenDatabase(location.uri());
    const auto table = db->table("CONV");
    table->create({ { "A", FieldType::Integer, 0 } }, "A");
    table->open();
    table->insert();
    table->setField(0, std::int64_t { 1 });
    table->post();
    table->close();

    table->create({ { "B", FieldType::Text, 3 }, { "C", FieldType::Date, 0 } }, "");
    table->open();
    EXPECT_EQ(table->fieldCount(), 2);
    EXPECT_THROW(table->fieldIndex("A"), TableError);
    EXPECT_EQ(countRows(*db, "CONV"), 0);
}

TEST_P(TableWriting, CreateIfMissingMakesATableOnceAndKeepsItsRows)
{
    const Location location(GetParam(), testName());
    {
        const auto db = OpenDatabase(location.uri());
        const auto table = db->table("ANKT");
        table->createIfMissing(anktFields(), "NUM");
        table->open();
        table->insert();
        table->setField(table->fieldIndex("NUM"), std::int64_t { 100000001 });
        table->post();
    }
    // Another run meets the table as the first one left it, whatever layout it would make.
    const auto db = OpenDatabase(location.uri());
    const auto table = db->table("ANKT");
    table->createIfMissing({ { "OTHER", FieldType::Integer, 0 } }, "OTHER");
    table->open();
    EXPECT_EQ(table->fieldCount(), 8);
    EXPECT_EQ(countRows(*db, "ANKT"), 1);
}

TEST_P(TableWriting, OpeningAMissingTableNamesIt)
{
    const Location location(GetParam(), testName());
    const auto db = OpenDatabase(location.uri());
    const auto table = db->table("ABSENT");
    try {
        table->open();
        ADD_FAILURE() << "opened a missing table";
    } catch (const TableError& error) {
        EXPECT_TRUE(mentions(error.what(), "ABSENT")) << error.what();
    }
    EXPECT_FALSE(table->isOpen());
}

INSTANTIATE_TEST_SUITE_P(Backends, TableWriting, testing::Values(Backend::Sqlite, Backend::Postgres),
    [](const testing::TestParamInfo<Backend>& backend) {
        return backend.param == Backend::Sqlite ? "Sqlite" : "Postgres";
    });

} // namespace
} // namespace venqor
