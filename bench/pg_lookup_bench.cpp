// Register lookups against PostgreSQL over its Unix socket, in the demo register: one at a
// time through the engine (as a run makes them), and what batching would gain: one round
// trip for a batch of keys (= ANY, unnest), or libpq's pipeline mode with a batch of
// queries in flight.
//
// Run under scripts/with-postgres (it exports VENQOR_PG_URI):
//   scripts/with-postgres build/bench/pg_lookup_bench
// VENQOR_BENCH_ROWS sets the register size (default 1,000,000). The register of a million
// rows with its two indexes takes about 200 MB; with the server's default 128 MB of shared
// buffers random lookups also measure reads from the system's page cache, so compare with
// VENQOR_PG_SERVER_OPTIONS="-c shared_buffers=512MB" as well.

#include "engine/pg/PgEngine.h"
#include "register/DemoRegister.h"
#include "base/CodePage.h"
#include "base/Errors.h"

#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <array>
#include <cstdlib>
#include <iostream>
#include <random>

namespace venqor {
namespace {

constexpr int batchSize = 100;
constexpr std::size_t keyCount = 1 << 16;

constexpr std::uint64_t seed = 1;

// Person `index` of the demo register, texts in UTF-8 as the server takes them.
struct Person {
    std::int64_t num;
    std::string fam, nam, otch;
    Date birth;
    std::string cond, sex;
};

Person personAt(std::int64_t index)
{
    const DemoPerson p = DemoPersonAt(seed, index);
    return { p.num, Cp1251ToUtf8(p.fam), Cp1251ToUtf8(p.nam), Cp1251ToUtf8(p.otch), p.birth,
        Cp1251ToUtf8(std::string(1, p.cond)), Cp1251ToUtf8(std::string(1, p.sex)) };
}

std::int64_t rowCount()
{
    const char* rows = std::getenv("VENQOR_BENCH_ROWS");
    return rows ? std::atoll(rows) : 1'000'000;
}

struct PgFree {
    void operator()(PGconn* conn) const { PQfinish(conn); }
    void operator()(PGresult* result) const { PQclear(result); }
};
using Conn = std::unique_ptr<PGconn, PgFree>;
using Res = std::unique_ptr<PGresult, PgFree>;

void check(PGconn* conn, PGresult* raw, ExecStatusType wanted)
{
    const Res result(raw);
    if (!raw || PQresultStatus(raw) != wanted)
        throw std::runtime_error(std::string("PostgreSQL: ") + PQerrorMessage(conn));
}

// The row count of a lookup's result.
std::int64_t rows(PGconn* conn, PGresult* raw)
{
    const Res result(raw);
    if (!raw || PQresultStatus(raw) != PGRES_TUPLES_OK)
        throw std::runtime_error(std::string("PostgreSQL: ") + PQerrorMessage(conn));
    return PQntuples(raw);
}

// Builds the register NUMS with COPY, then its name index.
void fillRegister(PGconn* conn, std::int64_t rows)
{
    check(conn,
        PQexec(conn,
            "CREATE TABLE nums (num bigint PRIMARY KEY, fam varchar(40),"
            " nam varchar(40), otch varchar(40), birth date, cond varchar(1), sex varchar(1),"
            " datmod date)"),
        PGRES_COMMAND_OK);
    check(conn, PQexec(conn, "COPY nums FROM STDIN"), PGRES_COPY_IN);
    std::string chunk;
    for (std::int64_t i = 0; i < rows; ++i) {
        const Person p = personAt(i);
        chunk += std::to_string(p.num) + '\t' + p.fam + '\t' + p.nam + '\t' + p.otch + '\t'
            + FormatIso(p.birth) + '\t' + p.cond + '\t' + p.sex + "\t\\N\n";
        if (chunk.size() > (1 << 20) || i + 1 == rows) {
            if (PQputCopyData(conn, chunk.data(), static_cast<int>(chunk.size())) != 1)
                throw std::runtime_error(PQerrorMessage(conn));
            chunk.clear();
        }
    }
    if (PQputCopyEnd(conn, nullptr) != 1)
        throw std::runtime_error(PQerrorMessage(conn));
    check(conn, PQgetResult(conn), PGRES_COMMAND_OK);
    check(conn, PQexec(conn, "CREATE INDEX nums_fio ON nums (fam, nam, otch, birth); ANALYZE nums"),
        PGRES_COMMAND_OK);
    // Into the server's buffers as far as they reach (shared_buffers; see the header).
    const Res warmed(PQexec(conn,
        "CREATE EXTENSION IF NOT EXISTS pg_prewarm; SELECT pg_prewarm('nums'),"
        " pg_prewarm('nums_pkey'), pg_prewarm('nums_fio')"));
    if (PQresultStatus(warmed.get()) != PGRES_TUPLES_OK)
        std::cerr << "register not prewarmed: " << PQerrorMessage(conn);
}

// Indexes of persons to look up, in a fixed random order.
const std::vector<std::int64_t>& keys()
{
    static const std::vector<std::int64_t> list = [] {
        std::mt19937_64 random(20240607);
        std::uniform_int_distribution<std::int64_t> pick(0, rowCount() - 1);
        std::vector<std::int64_t> k(keyCount);
        for (auto& index : k)
            index = pick(random);
        return k;
    }();
    return list;
}

std::string uri()
{
    const char* value = std::getenv("VENQOR_PG_URI");
    return value ? value : "";
}

void reportLookups(benchmark::State& state, std::int64_t lookups, std::int64_t found)
{
    state.SetItemsProcessed(lookups);
    state.counters["found"] = lookups ? static_cast<double>(found) / static_cast<double>(lookups) : 0;
}

// ---- One at a time, through the engine

void BM_EngineFindByNumber(benchmark::State& state)
{
    const auto db = OpenPgDatabase(uri());
    const auto nums = db->table("NUMS");
    nums->open();
    nums->setIndexFields("");
    db->beginRead();
    std::int64_t lookups = 0, found = 0;
    for (auto _ : state) {
        const std::int64_t num = personAt(keys()[static_cast<std::size_t>(lookups) % keyCount]).num;
        found += nums->findKey(num) ? 1 : 0;
        ++lookups;
    }
    db->commit();
    reportLookups(state, lookups, found);
}
BENCHMARK(BM_EngineFindByNumber)->UseRealTime();

void BM_EngineFindByNameBirth(benchmark::State& state)
{
    std::vector<std::array<std::string, 3>> texts;
    std::vector<Date> births;
    for (std::size_t i = 0; i < 4096; ++i) {
        const Person p = personAt(keys()[i]);
        texts.push_back({ Utf8ToCp1251(p.fam), Utf8ToCp1251(p.nam), Utf8ToCp1251(p.otch) });
        births.push_back(p.birth);
    }
    const auto db = OpenPgDatabase(uri());
    const auto nums = db->table("NUMS");
    nums->open();
    nums->setIndexFields("FAM;NAM;OTCH;BIRTH");
    db->beginRead();
    std::int64_t lookups = 0, found = 0;
    for (auto _ : state) {
        const std::size_t i = static_cast<std::size_t>(lookups) % texts.size();
        found += nums->findKey(texts[i][0], texts[i][1], texts[i][2], births[i]) ? 1 : 0;
        ++lookups;
    }
    db->commit();
    reportLookups(state, lookups, found);
}
BENCHMARK(BM_EngineFindByNameBirth)->UseRealTime();

void BM_EngineQueryByNumber(benchmark::State& state)
{
    const auto db = OpenPgDatabase(uri());
    const auto query = db->query();
    query->setSql("SELECT * FROM NUMS WHERE NUM=:NUM");
    query->prepare();
    db->beginRead();
    std::int64_t lookups = 0, found = 0;
    for (auto _ : state) {
        query->close();
        query->setParam("NUM", personAt(keys()[static_cast<std::size_t>(lookups) % keyCount]).num);
        query->open();
        found += query->eof() ? 0 : 1;
        ++lookups;
    }
    db->commit();
    reportLookups(state, lookups, found);
}
BENCHMARK(BM_EngineQueryByNumber)->UseRealTime();

// ---- Plain libpq: one at a time, one = ANY round trip per batch, a pipelined batch

Conn connect()
{
    Conn conn(PQconnectdb(uri().c_str()));
    if (PQstatus(conn.get()) != CONNECTION_OK)
        throw std::runtime_error(PQerrorMessage(conn.get()));
    check(
        conn.get(), PQexec(conn.get(), "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"), PGRES_COMMAND_OK);
    return conn;
}

void prepare(PGconn* conn, const char* name, const char* sql)
{
    check(conn, PQprepare(conn, name, sql, 0, nullptr), PGRES_COMMAND_OK);
}

std::string numText(std::int64_t lookup)
{
    return std::to_string(personAt(keys()[static_cast<std::size_t>(lookup) % keyCount]).num);
}

void BM_LibpqByNumber(benchmark::State& state)
{
    const Conn conn = connect();
    prepare(conn.get(), "by_num", "SELECT * FROM nums WHERE num = $1");
    std::int64_t lookups = 0, found = 0;
    for (auto _ : state) {
        const std::string num = numText(lookups++);
        const char* values[] = { num.c_str() };
        found += rows(conn.get(), PQexecPrepared(conn.get(), "by_num", 1, values, nullptr, nullptr, 0));
    }
    reportLookups(state, lookups, found);
}
BENCHMARK(BM_LibpqByNumber)->UseRealTime();

void BM_LibpqByNumberAnyBatch(benchmark::State& state)
{
    const Conn conn = connect();
    prepare(conn.get(), "by_nums", "SELECT * FROM nums WHERE num = ANY($1::bigint[])");
    std::int64_t lookups = 0, found = 0;
    for (auto _ : state) {
        std::string array = "{";
        for (int i = 0; i < batchSize; ++i)
            array += (i ? "," : "") + numText(lookups++);
        array += '}';
        const char* values[] = { array.c_str() };
        found += rows(conn.get(), PQexecPrepared(conn.get(), "by_nums", 1, values, nullptr, nullptr, 0));
    }
    reportLookups(state, lookups, found);
}
BENCHMARK(BM_LibpqByNumberAnyBatch)->UseRealTime();

void BM_LibpqByNameBirthUnnestBatch(benchmark::State& state)
{
    const Conn conn = connect();
    prepare(conn.get(), "by_names",
        "SELECT n.* FROM unnest($1::text[], $2::text[], $3::text[], $4::date[]) AS k(fam, nam, otch, birth)"
        " JOIN nums n ON n.fam = k.fam AND n.nam = k.nam AND n.otch = k.otch AND n.birth = k.birth");
    std::int64_t lookups = 0, found = 0;
    for (auto _ : state) {
        std::array<std::string, 4> arrays { "{", "{", "{", "{" };
        for (int i = 0; i < batchSize; ++i) {
            const Person p = personAt(keys()[static_cast<std::size_t>(lookups++) % keyCount]);
            const std::array<std::string, 4> values { p.fam, p.nam, p.otch, FormatIso(p.birth) };
            for (std::size_t a = 0; a < arrays.size(); ++a)
                arrays[a] += (i ? ",\"" : "\"") + values[a] + '"';
        }
        std::array<const char*, 4> pointers {};
        for (std::size_t a = 0; a < arrays.size(); ++a) {
            arrays[a] += '}';
            pointers[a] = arrays[a].c_str();
        }
        found += rows(
            conn.get(), PQexecPrepared(conn.get(), "by_names", 4, pointers.data(), nullptr, nullptr, 0));
    }
    reportLookups(state, lookups, found);
}
BENCHMARK(BM_LibpqByNameBirthUnnestBatch)->UseRealTime();

// Sends a batch of prepared lookups in pipeline mode and reads their results.
template <typename Params>
std::int64_t pipelineBatch(PGconn* conn, const char* statement, int count, Params params)
{
    for (int i = 0; i < count; ++i) {
        const auto values = params(i);
        std::array<const char*, 4> pointers {};
        for (std::size_t v = 0; v < values.size(); ++v)
            pointers[v] = values[v].c_str();
        if (!PQsendQueryPrepared(
                conn, statement, static_cast<int>(values.size()), pointers.data(), nullptr, nullptr, 0))
            throw std::runtime_error(PQerrorMessage(conn));
    }
    if (!PQpipelineSync(conn))
        throw std::runtime_error(PQerrorMessage(conn));
    std::int64_t found = 0;
    for (int i = 0; i < count; ++i) {
        while (PGresult* raw = PQgetResult(conn)) {
            const Res result(raw);
            if (PQresultStatus(raw) != PGRES_TUPLES_OK)
                throw std::runtime_error(PQresultErrorMessage(raw));
            found += PQntuples(raw);
        }
    }
    check(conn, PQgetResult(conn), PGRES_PIPELINE_SYNC);
    return found;
}

void BM_LibpqByNumberPipeline(benchmark::State& state)
{
    const Conn conn = connect();
    prepare(conn.get(), "by_num", "SELECT * FROM nums WHERE num = $1");
    if (!PQenterPipelineMode(conn.get()))
        throw std::runtime_error("no pipeline mode");
    std::int64_t lookups = 0, found = 0;
    for (auto _ : state) {
        found += pipelineBatch(conn.get(), "by_num", batchSize,
            [&](int i) { return std::array<std::string, 1> { numText(lookups + i) }; });
        lookups += batchSize;
    }
    reportLookups(state, lookups, found);
}
BENCHMARK(BM_LibpqByNumberPipeline)->UseRealTime();

void BM_LibpqByNameBirthPipeline(benchmark::State& state)
{
    const Conn conn = connect();
    prepare(conn.get(), "by_name",
        "SELECT * FROM nums WHERE fam = $1 AND nam = $2 AND otch = $3 AND birth = $4 LIMIT 1");
    if (!PQenterPipelineMode(conn.get()))
        throw std::runtime_error("no pipeline mode");
    std::int64_t lookups = 0, found = 0;
    for (auto _ : state) {
        found += pipelineBatch(conn.get(), "by_name", batchSize, [&](int i) {
            const Person p = personAt(keys()[static_cast<std::size_t>(lookups + i) % keyCount]);
            return std::array<std::string, 4> { p.fam, p.nam, p.otch, FormatIso(p.birth) };
        });
        lookups += batchSize;
    }
    reportLookups(state, lookups, found);
}
BENCHMARK(BM_LibpqByNameBirthPipeline)->UseRealTime();

} // namespace
} // namespace venqor

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (venqor::uri().empty()) {
        std::cerr << "VENQOR_PG_URI is not set: run under scripts/with-postgres\n";
        return 1;
    }
    try {
        const venqor::Conn conn(PQconnectdb(venqor::uri().c_str()));
        if (PQstatus(conn.get()) != CONNECTION_OK)
            throw std::runtime_error(PQerrorMessage(conn.get()));
        std::cerr << "filling NUMS with " << venqor::rowCount() << " rows\n";
        venqor::fillRegister(conn.get(), venqor::rowCount());
    } catch (const std::exception& error) {
        std::cerr << error.what() << '\n';
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
