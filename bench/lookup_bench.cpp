// Register lookups in SQLite through the engine (table mode and query mode, as a run makes
// them) beside a bare C API loop over the same file, on a synthetic register with keys in
// random order, warm, on one core. The bare loop is the ceiling: its keys are UTF-8
// already, the engine converts the Windows-1251 keys of each lookup.
//
//   build/bench/lookup_bench
// VENQOR_BENCH_ROWS sets the register size (default 1,000,000).

#include "register/DemoRegister.h"
#include "register/Register.h"
#include "base/CodePage.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>

namespace venqor {
namespace {

constexpr std::uint64_t seed = 20'240'601;
constexpr std::size_t nameKeyCount = 200'000;

const char* const sql1 = "SELECT * FROM NUMS WHERE NUM=:NUM";
const char* const sql2 = "SELECT * FROM NUMS WHERE FAM=:FAM AND NAM=:NAM AND OTCH=:OTCH AND BIRTH=:BIRTH";

std::int64_t rowCount()
{
    const char* rows = std::getenv("VENQOR_BENCH_ROWS");
    return rows ? std::atoll(rows) : 1'000'000;
}

struct NameKey {
    std::string fam, nam, otch; // Windows-1251
    std::string famUtf8, namUtf8, otchUtf8, birthIso;
    Date birth;
};

// The register, written once for the whole run into a temporary directory, and the keys
// of the lookups in random order.
class Fixture {
public:
    static Fixture& get()
    {
        static Fixture fixture;
        return fixture;
    }

    const std::string& dir() const { return dir_; }
    const std::vector<std::int32_t>& numbers() const { return numbers_; }
    const std::vector<NameKey>& names() const { return names_; }

private:
    Fixture()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "venqor-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a temporary directory");
        dir_ = pattern;
        const std::int64_t rows = rowCount();
        WriteDemoRegister(dir_, rows, seed);

        std::mt19937_64 random(seed);
        for (std::int64_t i = 0; i < rows; ++i)
            numbers_.push_back(DemoPersonAt(seed, i).num);
        std::shuffle(numbers_.begin(), numbers_.end(), random);
        std::uniform_int_distribution<std::int64_t> pick(0, rows - 1);
        for (std::size_t i = 0; i < nameKeyCount; ++i) {
            const DemoPerson person = DemoPersonAt(seed, pick(random));
            names_.push_back({ person.fam, person.nam, person.otch, Cp1251ToUtf8(person.fam),
                Cp1251ToUtf8(person.nam), Cp1251ToUtf8(person.otch), FormatIso(person.birth), person.birth });
        }
    }

    ~Fixture()
    {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    std::string dir_;
    std::vector<std::int32_t> numbers_;
    std::vector<NameKey> names_;
};

// Runs `lookup` over every key once untimed (pages in, caches filled), then timed.
template <class Keys, class Lookup> void measure(benchmark::State& state, const Keys& keys, Lookup lookup)
{
    std::size_t found = 0;
    for (const auto& key : keys)
        found += lookup(key);
    if (found != keys.size())
        state.SkipWithError("a key of the register was not found");
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(lookup(keys[i]));
        if (++i == keys.size())
            i = 0;
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

// The bare loop: one connection, one read transaction, mmap and a large cache, one
// prepared statement reset, bound and stepped per key.
class BareSqlite {
public:
    explicit BareSqlite(const char* sql)
    {
        const std::string file = Fixture::get().dir() + "/NUMS.DB";
        sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
        sqlite3_exec(db_, "PRAGMA cache_size = -65536; PRAGMA mmap_size = 1073741824; BEGIN", nullptr,
            nullptr, nullptr);
        if (sqlite3_prepare_v2(db_, sql, -1, &stmt_, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(db_));
    }
    ~BareSqlite()
    {
        sqlite3_finalize(stmt_);
        sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db_);
    }
    sqlite3_stmt* stmt() const { return stmt_; }

private:
    sqlite3* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
};

void BM_BareCApiByNumber(benchmark::State& state)
{
    const BareSqlite bare("SELECT * FROM NUMS WHERE NUM = ?1");
    measure(state, Fixture::get().numbers(), [&bare](std::int32_t num) {
        sqlite3_reset(bare.stmt());
        sqlite3_bind_int64(bare.stmt(), 1, num);
        return sqlite3_step(bare.stmt()) == SQLITE_ROW;
    });
}

void BM_BareCApiByNameBirth(benchmark::State& state)
{
    const BareSqlite bare("SELECT * FROM NUMS WHERE FAM = ?1 AND NAM = ?2 AND OTCH = ?3 AND BIRTH = ?4");
    measure(state, Fixture::get().names(), [&bare](const NameKey& key) {
        sqlite3_stmt* stmt = bare.stmt();
        sqlite3_reset(stmt);
        sqlite3_bind_text(stmt, 1, key.famUtf8.data(), static_cast<int>(key.famUtf8.size()), SQLITE_STATIC);
        sqlite3_bind_text(stmt, 2, key.namUtf8.data(), static_cast<int>(key.namUtf8.size()), SQLITE_STATIC);
        sqlite3_bind_text(stmt, 3, key.otchUtf8.data(), static_cast<int>(key.otchUtf8.size()), SQLITE_STATIC);
        sqlite3_bind_text(stmt, 4, key.birthIso.data(), static_cast<int>(key.birthIso.size()), SQLITE_STATIC);
        return sqlite3_step(stmt) == SQLITE_ROW;
    });
}

void lookupsByNumber(benchmark::State& state, bool useQuery)
{
    Register reg;
    reg.OpenRegister({ Fixture::get().dir(), useQuery, sql1, sql2 }, LookupKind::ByNumber);
    if (!reg.available()) {
        state.SkipWithError(reg.unavailableReason().c_str());
        return;
    }
    measure(state, Fixture::get().numbers(), [&reg](std::int32_t num) { return reg.FindByStrNum(num); });
}

void lookupsByNameBirth(benchmark::State& state, bool useQuery)
{
    Register reg;
    reg.OpenRegister({ Fixture::get().dir(), useQuery, sql1, sql2 }, LookupKind::ByNameBirth);
    if (!reg.available()) {
        state.SkipWithError(reg.unavailableReason().c_str());
        return;
    }
    measure(state, Fixture::get().names(),
        [&reg](const NameKey& key) { return reg.FindByNameBirth(key.fam, key.nam, key.otch, key.birth); });
}

void BM_TableByNumber(benchmark::State& state)
{
    lookupsByNumber(state, false);
}
void BM_QueryByNumber(benchmark::State& state)
{
    lookupsByNumber(state, true);
}
void BM_TableByNameBirth(benchmark::State& state)
{
    lookupsByNameBirth(state, false);
}
void BM_QueryByNameBirth(benchmark::State& state)
{
    lookupsByNameBirth(state, true);
}

// On a shared machine run repetitions interleaved and read the medians:
//   --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true
BENCHMARK(BM_BareCApiByNumber);
BENCHMARK(BM_TableByNumber);
BENCHMARK(BM_QueryByNumber);
BENCHMARK(BM_BareCApiByNameBirth);
BENCHMARK(BM_TableByNameBirth);
BENCHMARK(BM_QueryByNameBirth);

} // namespace
} // namespace venqor

BENCHMARK_MAIN();
