#include "engine/pg/PgConnection.h"

#include "base/CodePage.h"
#include "base/Errors.h"
#include "base/Passwords.h"

namespace venqor::pg {

namespace {

constexpr const char* beginReadSql = "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY";

// The server's own words for a failed result: its primary message and its detail.
std::string resultError(const PGresult* result)
{
    const char* primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY);
    if (!primary)
        return PQresultErrorMessage(result);
    std::string text = primary;
    if (const char* detail = PQresultErrorField(result, PG_DIAG_MESSAGE_DETAIL)) {
        text += " (";
        text += detail;
        text += ')';
    }
    return text;
}

} // namespace

Kind KindOfType(Oid type)
{
    switch (type) {
    case 20: // int8
    case 21: // int2
    case 23: // int4
        return Kind::Integer;
    case 700:  // float4
    case 701:  // float8
    case 1700: // numeric
        return Kind::Float;
    case 1082: // date
        return Kind::Date;
    case 18:   // char
    case 19:   // name
    case 25:   // text
    case 1042: // bpchar
    case 1043: // varchar
        return Kind::Text;
    default:
        return Kind::Other;
    }
}

Connection::Connection(const std::string& location)
    : location_(ShownLocation(location))
{
    // Refused before libpq reads it, whose messages may quote the piece holding the password.
    if (!PasswordsIn(location).empty())
        fail("a password in the location is not accepted", "give it in .pgpass or PGPASSWORD");
    const std::string uri = Cp1251ToUtf8(location);
    char* parseError = nullptr;
    PQconninfoOption* options = PQconninfoParse(uri.c_str(), &parseError);
    if (!options) {
        const std::string text = parseError ? parseError : "not a connection URI";
        PQfreemem(parseError);
        fail("invalid location", text);
    }
    bool hasPassword = false;
    for (const PQconninfoOption* option = options; option->keyword; ++option)
        if (std::string_view(option->keyword) == "password" && option->val && *option->val)
            hasPassword = true;
    PQconninfoFree(options);
    if (hasPassword)
        fail("a password in the location is not accepted", "give it in .pgpass or PGPASSWORD");

    // A server that takes the connection and never answers must not hang the program: a
    // limit of its own unless the location gives one (its values override those before it).
    const char* keywords[] = { "connect_timeout", "dbname", "client_encoding", nullptr };
    const char* values[] = { "10", uri.c_str(), "UTF8", nullptr };
    conn_.reset(PQconnectdbParams(keywords, values, 1));
    if (!conn_)
        fail("cannot connect", "out of memory");
    if (PQstatus(conn_.get()) != CONNECTION_OK)
        fail("cannot connect", PQerrorMessage(conn_.get()));
    // Notices (such as "table does not exist, skipping") would go to standard error.
    PQsetNoticeProcessor(
        conn_.get(), [](void*, const char*) {}, nullptr);
    // Dates come back as YYYY-MM-DD whatever the server's default style.
    exec("SET DateStyle TO ISO", "session set-up");
}

Connection::~Connection() = default;

void Connection::fail(std::string_view what, std::string_view text) const
{
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.remove_suffix(1);
    std::string message = location_;
    if (!what.empty()) {
        message += ": ";
        message += what;
    }
    message += ": ";
    message += Utf8ToCp1251(text);
    throw TableError(message);
}

Result Connection::check(PGresult* raw, std::string_view what)
{
    Result result(raw);
    const ExecStatusType status = raw ? PQresultStatus(raw) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
        return result;
    const std::string text = raw ? resultError(raw) : std::string(PQerrorMessage(conn_.get()));
    restartAbortedRead();
    fail(what, text);
}

void Connection::restartAbortedRead()
{
    if (transaction_ == Transaction::Read && PQtransactionStatus(conn_.get()) == PQTRANS_INERROR) {
        PQclear(PQexec(conn_.get(), "ROLLBACK"));
        Result begun(PQexec(conn_.get(), beginReadSql));
        if (!begun || PQresultStatus(begun.get()) != PGRES_COMMAND_OK)
            transaction_ = Transaction::None;
    }
}

Result Connection::exec(std::string_view sql, std::string_view what)
{
    return check(PQexec(conn_.get(), std::string(sql).c_str()), what);
}

namespace {

std::vector<const char*> valuePointers(const Values& values)
{
    std::vector<const char*> pointers;
    pointers.reserve(values.size());
    for (const auto& value : values)
        pointers.push_back(value ? value->c_str() : nullptr);
    return pointers;
}

} // namespace

Result Connection::execParams(std::string_view sql, const Values& values, std::string_view what)
{
    const auto pointers = valuePointers(values);
    return check(PQexecParams(conn_.get(), std::string(sql).c_str(), static_cast<int>(values.size()), nullptr,
                     pointers.data(), nullptr, nullptr, 0),
        what);
}

std::string Connection::prepare(std::string_view sql, std::string_view what)
{
    std::string name = "venqor_" + std::to_string(++nextStatement_);
    check(PQprepare(conn_.get(), name.c_str(), std::string(sql).c_str(), 0, nullptr), what);
    return name;
}

Result Connection::execPrepared(const std::string& name, const Values& values, std::string_view what)
{
    const auto pointers = valuePointers(values);
    return check(PQexecPrepared(conn_.get(), name.c_str(), static_cast<int>(values.size()), pointers.data(),
                     nullptr, nullptr, 0),
        what);
}

namespace {

// Statements sent before a sync, and at most twice as many in flight: their results stay
// well inside the socket's buffers, so that neither end waits for the other to read.
constexpr std::size_t PipelineChunk = 128;

} // namespace

void Connection::pipeline(std::span<const Call> calls, std::vector<Result>& results)
{
    results.clear();
    results.resize(calls.size());
    PGconn* const conn = conn_.get();
    if (calls.empty() || PQenterPipelineMode(conn) != 1)
        return;
    std::size_t sent = 0;
    std::vector<std::size_t> syncs; // the number of statements sent before each sync
    bool broken = false;
    const auto sendChunk = [&] {
        const std::size_t end = std::min(sent + PipelineChunk, calls.size());
        for (; sent < end; ++sent) {
            const auto pointers = valuePointers(calls[sent].values);
            if (PQsendQueryPrepared(conn, calls[sent].statement.c_str(), static_cast<int>(pointers.size()),
                    pointers.data(), nullptr, nullptr, 0)
                != 1) {
                broken = true;
                break;
            }
        }
        if (PQpipelineSync(conn) != 1)
            broken = true;
        syncs.push_back(sent);
    };
    sendChunk();
    std::size_t received = 0;
    for (std::size_t chunk = 0; chunk < syncs.size() && !broken; ++chunk) {
        if (sent < calls.size())
            sendChunk();
        for (; received < syncs[chunk] && !broken; ++received) {
            Result result(PQgetResult(conn));
            if (!result) {
                broken = true;
                break;
            }
            const ExecStatusType status = PQresultStatus(result.get());
            if (status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK)
                results[received] = std::move(result);
            while (PGresult* end = PQgetResult(conn)) // the null that ends each statement's results
                PQclear(end);
        }
        const Result sync(PQgetResult(conn));
        if (!sync || PQresultStatus(sync.get()) != PGRES_PIPELINE_SYNC)
            broken = true;
    }
    if (broken) { // the answers can no longer be matched to their statements
        results.clear();
        results.resize(calls.size());
    }
    PQexitPipelineMode(conn);
    restartAbortedRead();
}

Result Connection::describePrepared(const std::string& name, std::string_view what)
{
    return check(PQdescribePrepared(conn_.get(), name.c_str()), what);
}

void Connection::deallocate(const std::string& name) noexcept
{
    // Inside a failed transaction every statement is refused; the name then stays taken
    // until the connection ends, which does no harm.
    if (PQtransactionStatus(conn_.get()) != PQTRANS_INERROR)
        PQclear(PQexec(conn_.get(), ("DEALLOCATE " + name).c_str()));
}

void Connection::copyIn(std::string_view sql, std::string_view what)
{
    Result result(PQexec(conn_.get(), std::string(sql).c_str()));
    if (!result || PQresultStatus(result.get()) != PGRES_COPY_IN)
        check(result.release(), what);
}

void Connection::putCopyData(std::string_view data, std::string_view what)
{
    if (PQputCopyData(conn_.get(), data.data(), static_cast<int>(data.size())) != 1)
        fail(what, PQerrorMessage(conn_.get()));
}

void Connection::endCopy(std::string_view what)
{
    if (PQputCopyEnd(conn_.get(), nullptr) != 1)
        fail(what, PQerrorMessage(conn_.get()));
    // The outcome of the COPY, then nothing more.
    Result outcome(PQgetResult(conn_.get()));
    while (Result more { PQgetResult(conn_.get()) }) { }
    check(outcome.release(), what);
}

void Connection::cancelCopy() noexcept
{
    if (PQputCopyEnd(conn_.get(), "the load was cancelled") != 1)
        return;
    while (Result result { PQgetResult(conn_.get()) }) { }
}

void Connection::rollback() noexcept
{
    transaction_ = Transaction::None;
    if (inTransaction())
        PQclear(PQexec(conn_.get(), "ROLLBACK"));
}

bool Connection::inTransaction() const
{
    const PGTransactionStatusType status = PQtransactionStatus(conn_.get());
    return status == PQTRANS_INTRANS || status == PQTRANS_INERROR;
}

void Connection::begin(Transaction kind)
{
    if (inTransaction())
        fail("begin", "a transaction is already open");
    exec(kind == Transaction::Read ? beginReadSql : "BEGIN", "begin");
    transaction_ = kind;
}

void Connection::commit()
{
    const PGTransactionStatusType status = PQtransactionStatus(conn_.get());
    transaction_ = Transaction::None;
    if (status == PQTRANS_IDLE)
        fail("commit", "no transaction is open");
    if (status == PQTRANS_INERROR) {
        // COMMIT would roll back and still answer without error.
        PQclear(PQexec(conn_.get(), "ROLLBACK"));
        fail("commit", "a statement of the transaction failed; the transaction was rolled back");
    }
    exec("COMMIT", "commit");
}

} // namespace venqor::pg
