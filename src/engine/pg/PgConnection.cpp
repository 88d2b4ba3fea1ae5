#include "engine/pg/PgConnection.h"

#include "base/CodePage.h"
#include "base/Errors.h"
#include "base/Passwords.h"
#include "base/Stop.h"

#include <cerrno>
#include <cstdlib>
#include <future>
#include <poll.h>
#include <thread>

namespace venqor::pg {

namespace {

// A lookup that the server works on longer than a minute is ended by the server; one that it
// has not answered after a minute and a half (a server that stopped answering, a network
// that lost it) ends the connection here: the register is lost from then on.
constexpr const char* beginReadSql
    = "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY; SET LOCAL statement_timeout = '60s'";
constexpr auto AnswerLimit = std::chrono::seconds(90);
// How long the cancel request of a statement under way has to go out before the connection
// ends.
constexpr auto CancelWait = std::chrono::milliseconds(500);

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
    conn_.reset(PQconnectStartParams(keywords, values, 1));
    if (!conn_)
        fail("cannot connect", "out of memory");
    connect();
    // Notices (such as "table does not exist, skipping") would go to standard error.
    PQsetNoticeProcessor(
        conn_.get(), [](void*, const char*) {}, nullptr);
    // Dates come back as YYYY-MM-DD whatever the server's default style.
    exec("SET DateStyle TO ISO", "session set-up");
}

Connection::~Connection()
{
    // A cancel request sent has a moment to arrive before the program ends; a server that
    // does not take it is not waited for.
    if (cancelled_.valid())
        cancelled_.wait_for(CancelWait);
}

void Connection::connect()
{
    PGconn* const conn = conn_.get();
    // libpq's own limit holds for its blocking connect only: the same limit here, over all
    // the hosts of the location.
    std::optional<Clock::time_point> deadline;
    if (const int seconds = connectTimeout(); seconds > 0)
        deadline = Clock::now() + std::chrono::seconds(seconds);
    PostgresPollingStatusType polling = PGRES_POLLING_WRITING;
    while (
        PQstatus(conn) != CONNECTION_BAD && polling != PGRES_POLLING_OK && polling != PGRES_POLLING_FAILED) {
        const Wait wait = waitForSocket(polling == PGRES_POLLING_READING ? POLLIN : POLLOUT, deadline);
        if (wait == Wait::Stopped)
            throw Interrupted();
        if (wait == Wait::TimedOut)
            fail("cannot connect", "timeout expired");
        polling = PQconnectPoll(conn);
    }
    if (PQstatus(conn) != CONNECTION_OK)
        fail("cannot connect", PQerrorMessage(conn));
}

int Connection::connectTimeout() const
{
    int seconds = 0;
    PQconninfoOption* options = PQconninfo(conn_.get());
    for (const PQconninfoOption* option = options; option && option->keyword; ++option)
        if (std::string_view(option->keyword) == "connect_timeout" && option->val)
            seconds = std::atoi(option->val);
    PQconninfoFree(options);
    return seconds > 0 && seconds < 2 ? 2 : seconds; // as libpq takes it
}

Connection::Wait Connection::waitForSocket(short events, std::optional<Clock::time_point> deadline) const
{
    for (;;) {
        pollfd socket { PQsocket(conn_.get()), events, 0 };
        if (socket.fd < 0)
            return Wait::Ready; // libpq finds out what is wrong
        const int ready = ::poll(&socket, 1, StopLookEveryMs);
        if (ready > 0 || (ready < 0 && errno != EINTR))
            return Wait::Ready;
        if (StopRequested() != 0)
            return Wait::Stopped;
        if (deadline && Clock::now() >= *deadline)
            return Wait::TimedOut;
    }
}

void Connection::abandon() noexcept
{
    if (abandoned_)
        return;
    abandoned_ = true;
    // The statement under way is cancelled on a thread of its own, which the program waits
    // for only a moment: a server that stopped answering may not answer the cancel request
    // either.
    PGcancel* cancel = PQgetCancel(conn_.get());
    if (!cancel)
        return;
    try {
        auto done = std::make_shared<std::promise<void>>();
        cancelled_ = done->get_future();
        const StopSignalsBlocked stopsElsewhere;
        std::thread([cancel, done] {
            char error[256];
            PQcancel(cancel, error, sizeof error);
            PQfreeCancel(cancel);
            done->set_value();
        }).detach();
    } catch (const std::exception&) {
        cancelled_ = {};
        PQfreeCancel(cancel);
    }
}

void Connection::ready(std::string_view what)
{
    ThrowIfStopRequested();
    if (abandoned_)
        lose(what, "the connection was given up after the server did not answer");
}

Result Connection::nextResult(std::string_view what)
{
    PGconn* const conn = conn_.get();
    std::optional<Clock::time_point> deadline;
    if (transaction_ == Transaction::Read)
        deadline = Clock::now() + AnswerLimit;
    while (PQisBusy(conn)) {
        const Wait wait = waitForSocket(POLLIN, deadline);
        if (wait == Wait::Stopped) {
            abandon();
            throw Interrupted();
        }
        if (wait == Wait::TimedOut) {
            abandon();
            lose(what, "the server has not answered for " + std::to_string(AnswerLimit.count()) + " s");
        }
        if (PQconsumeInput(conn) != 1)
            break; // PQgetResult tells the failure
    }
    return Result(PQgetResult(conn));
}

template <typename Send> Result Connection::collect(Send send, std::string_view what)
{
    ready(what);
    if (send(conn_.get()) != 1)
        return nullptr;
    // The result of each statement sent: the first that failed is kept, else the last.
    Result kept;
    while (Result next = nextResult(what)) {
        const ExecStatusType status = kept ? PQresultStatus(kept.get()) : PGRES_COMMAND_OK;
        if (!kept || status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
            kept = std::move(next);
    }
    return kept;
}

template <typename Send> Result Connection::run(Send send, std::string_view what)
{
    return check(collect(send, what).release(), what);
}

std::string Connection::message(std::string_view what, std::string_view text) const
{
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.remove_suffix(1);
    std::string message = location_;
    if (!what.empty()) {
        message += ": ";
        message += what;
    }
    message += ": ";
    message += text; // UTF-8, as every message
    return message;
}

void Connection::fail(std::string_view what, std::string_view text) const
{
    throw TableError(message(what, text));
}

void Connection::lose(std::string_view what, std::string_view text) const
{
    throw ConnectionLost(message(what, text));
}

Result Connection::check(PGresult* raw, std::string_view what)
{
    Result result(raw);
    const ExecStatusType status = raw ? PQresultStatus(raw) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
        return result;
    const std::string text = raw ? resultError(raw) : std::string(PQerrorMessage(conn_.get()));
    if (PQstatus(conn_.get()) == CONNECTION_BAD)
        lose(what, text);
    restartAbortedRead();
    fail(what, text);
}

void Connection::restartAbortedRead()
{
    if (transaction_ == Transaction::Read && PQtransactionStatus(conn_.get()) == PQTRANS_INERROR) {
        collect([](PGconn* conn) { return PQsendQuery(conn, "ROLLBACK"); }, "restart");
        const Result begun = collect([](PGconn* conn) { return PQsendQuery(conn, beginReadSql); }, "restart");
        if (!begun || PQresultStatus(begun.get()) != PGRES_COMMAND_OK)
            transaction_ = Transaction::None;
    }
}

Result Connection::exec(std::string_view sql, std::string_view what)
{
    const std::string text(sql);
    return run([&text](PGconn* conn) { return PQsendQuery(conn, text.c_str()); }, what);
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
    const std::string text(sql);
    return run(
        [&](PGconn* conn) {
            return PQsendQueryParams(conn, text.c_str(), static_cast<int>(values.size()), nullptr,
                pointers.data(), nullptr, nullptr, 0);
        },
        what);
}

std::string Connection::prepare(std::string_view sql, std::string_view what)
{
    std::string name = "venqor_" + std::to_string(++nextStatement_);
    const std::string text(sql);
    run([&](PGconn* conn) { return PQsendPrepare(conn, name.c_str(), text.c_str(), 0, nullptr); }, what);
    return name;
}

Result Connection::execPrepared(const std::string& name, const Values& values, std::string_view what)
{
    const auto pointers = valuePointers(values);
    return run(
        [&](PGconn* conn) {
            return PQsendQueryPrepared(
                conn, name.c_str(), static_cast<int>(values.size()), pointers.data(), nullptr, nullptr, 0);
        },
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
    if (calls.empty())
        return;
    const std::string_view what = calls.front().what;
    ready(what);
    if (PQenterPipelineMode(conn) != 1)
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
            Result result = nextResult(what);
            if (!result) {
                broken = true;
                break;
            }
            const ExecStatusType status = PQresultStatus(result.get());
            if (status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK)
                results[received] = std::move(result);
            while (nextResult(what)) { } // up to the null that ends each statement's results
        }
        const Result sync = nextResult(what);
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
    return run([&name](PGconn* conn) { return PQsendDescribePrepared(conn, name.c_str()); }, what);
}

bool Connection::usable() const
{
    return !abandoned_ && StopRequested() == 0 && PQstatus(conn_.get()) == CONNECTION_OK;
}

void Connection::deallocate(const std::string& name) noexcept
{
    // Inside a failed transaction every statement is refused; the name then stays taken
    // until the connection ends, which does no harm. So after a stop or a lost connection.
    if (!usable() || PQtransactionStatus(conn_.get()) == PQTRANS_INERROR)
        return;
    try {
        const std::string sql = "DEALLOCATE " + name;
        collect([&sql](PGconn* conn) { return PQsendQuery(conn, sql.c_str()); }, "deallocate");
    } catch (const std::exception&) {
    }
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
    if (!usable() || !inTransaction())
        return; // a connection given up ends its transaction when it ends
    try {
        collect([](PGconn* conn) { return PQsendQuery(conn, "ROLLBACK"); }, "rollback");
    } catch (const std::exception&) {
    }
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
    ready("commit");
    const PGTransactionStatusType status = PQtransactionStatus(conn_.get());
    transaction_ = Transaction::None;
    if (status == PQTRANS_IDLE)
        fail("commit", "no transaction is open");
    if (status == PQTRANS_INERROR) {
        // COMMIT would roll back and still answer without error.
        collect([](PGconn* conn) { return PQsendQuery(conn, "ROLLBACK"); }, "commit");
        fail("commit", "a statement of the transaction failed; the transaction was rolled back");
    }
    exec("COMMIT", "commit");
}

} // namespace venqor::pg
