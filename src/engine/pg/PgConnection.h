#pragma once

#include <libpq-fe.h>

#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace venqor::pg {

struct ResultDeleter {
    void operator()(PGresult* result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

struct ConnectionDeleter {
    void operator()(PGconn* conn) const { PQfinish(conn); }
};
using Handle = std::unique_ptr<PGconn, ConnectionDeleter>;

// What the engine does with the values of a column, by its type.
enum class Kind { Text, Integer, Float, Date, Other };
Kind KindOfType(Oid type);

// Parameter values in libpq's text form; nothing stands for NULL.
using Values = std::vector<std::optional<std::string>>;

// A prepared statement to run with its parameter values; `what` names it in messages.
struct Call {
    std::string statement;
    Values values;
    std::string_view what;
};

// One libpq connection, shared by the database and the tables and queries made from it.
// Texts going in and out are UTF-8; messages of the TableErrors it throws are Windows-1251
// and start with the location (its passwords shown as ***).
//
// Every wait for the server (connecting, a statement's results) looks at the stop request
// (base/Stop.h): a stop ends it with Interrupted within a fraction of a second, the statement
// under way is cancelled, and the connection is given up. A server that ended the session
// makes every call fail with ConnectionLost; so does one that has not answered a lookup of
// a read transaction in 90 s (whose statements the server itself ends after 60 s).
class Connection {
public:
    enum class Transaction { None, Read, Write };

    // `location` is a postgresql:// URI in Windows-1251. A password written into it is
    // refused: it would sit in plain text in the settings file, so it comes from .pgpass
    // or PGPASSWORD only.
    explicit Connection(const std::string& location);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const std::string& location() const { return location_; }

    // Runs statements without parameters; TableError (naming `what`) when one fails.
    Result exec(std::string_view sql, std::string_view what);
    // Runs a statement with text parameters, once.
    Result execParams(std::string_view sql, const Values& values, std::string_view what);
    // Prepares a statement under a fresh name and returns that name.
    std::string prepare(std::string_view sql, std::string_view what);
    Result execPrepared(const std::string& name, const Values& values, std::string_view what);
    // Runs many prepared statements in pipeline mode, sending the next ones before the
    // results of the first arrive: results[i] for calls[i]. A statement that failed, and
    // those its failure aborted, are left without a result (null), to be run again alone;
    // a read transaction that the failure aborted is begun anew first, as for one statement.
    void pipeline(std::span<const Call> calls, std::vector<Result>& results);
    Result describePrepared(const std::string& name, std::string_view what);
    // Drops a prepared statement; never throws (used when closing).
    void deallocate(const std::string& name) noexcept;

    // COPY ... FROM STDIN: starts it, sends rows in COPY's text format (any number of
    // whole or partial lines per call), ends it (TableError when the server refused the
    // data), or cancels it; cancelCopy never throws.
    void copyIn(std::string_view sql, std::string_view what);
    void putCopyData(std::string_view data, std::string_view what);
    void endCopy(std::string_view what);
    void cancelCopy() noexcept;

    // True when a transaction block is open on the server.
    bool inTransaction() const;
    void begin(Transaction kind);
    void commit();
    // Ends the open transaction, if any, without its changes; never throws.
    void rollback() noexcept;
    // The process id of the server's end of the connection, which no other open
    // connection has.
    int serverProcess() const { return PQbackendPID(conn_.get()); }

    // A TableError "location: what: text" with `text` converted from UTF-8.
    [[noreturn]] void fail(std::string_view what, std::string_view text) const;

private:
    using Clock = std::chrono::steady_clock;
    enum class Wait { Ready, Stopped, TimedOut };

    // Completes the connection begun by PQconnectStartParams.
    void connect();
    // The location's connect_timeout in seconds, as libpq takes it (0 for none).
    int connectTimeout() const;
    // Waits until the socket is ready for `events`, a stop is requested or the deadline passes.
    Wait waitForSocket(short events, std::optional<Clock::time_point> deadline) const;
    // Gives the connection up with a statement under way, which is cancelled.
    void abandon() noexcept;
    // Interrupted when a stop is requested, ConnectionLost when the connection was given up.
    void ready(std::string_view what);
    // Whether statements may still be sent: a connection open, and no stop requested.
    bool usable() const;
    // The next result of the statements sent (null after the last), waiting for it.
    Result nextResult(std::string_view what);
    // Sends statements with `send` (a PQsend... call) and collects their results: the
    // first that failed, else the last; null when nothing could be sent.
    template <typename Send> Result collect(Send send, std::string_view what);
    // The same, checked.
    template <typename Send> Result run(Send send, std::string_view what);
    std::string message(std::string_view what, std::string_view text) const;
    [[noreturn]] void lose(std::string_view what, std::string_view text) const;
    // Throws for a result that is no success (ConnectionLost when the connection is gone).
    // A failure inside a read transaction has aborted it on the server: it is begun anew,
    // so that the next lookup works again.
    Result check(PGresult* result, std::string_view what);
    // Ends a read transaction that a failed statement has aborted and begins a new one.
    void restartAbortedRead();

    Handle conn_;
    std::string location_; // as shown (ShownLocation), Windows-1251
    Transaction transaction_ = Transaction::None;
    unsigned nextStatement_ = 0;
    bool abandoned_ = false;      // given up with a statement under way: sends nothing more
    std::future<void> cancelled_; // ready when its cancel request has gone out
};

} // namespace venqor::pg
