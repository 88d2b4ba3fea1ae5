#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace venqor::sqlite {

// A prepared statement, finalized with its owner.
class Statement {
public:
    Statement() = default;
    explicit Statement(sqlite3_stmt* stmt)
        : stmt_(stmt)
    {
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(Statement&& other) noexcept
        : stmt_(std::exchange(other.stmt_, nullptr))
    {
    }
    Statement& operator=(Statement&& other) noexcept
    {
        std::swap(stmt_, other.stmt_);
        return *this;
    }

    sqlite3_stmt* get() const { return stmt_; }
    explicit operator bool() const { return stmt_ != nullptr; }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

// A database connection, closed with its owner.
struct CloseDatabase {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Handle = std::unique_ptr<sqlite3, CloseDatabase>;

// An identifier in double quotes, for SQL text.
std::string QuoteName(std::string_view name);

// The file of table `name` (Windows-1251) in a directory: NAME.DB, or the file of that
// name in another Latin case when there is one.
std::string TableFile(const std::string& directory, std::string_view name);

// One SQLite connection. For a directory location its main database is in memory and
// every table NAME is the file NAME.DB of the directory, attached on first use under the
// schema name NAME, so that statements name tables as usual. For a single file the file
// is the main database. A connection (and so a Database) is used by one thread at a time,
// and holds at most 10 table files at once (SQLite's build limit on attached files).
class Connection {
public:
    Connection(std::string location, std::string path, bool singleFile);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* handle() const { return db_.get(); }
    // Another connection to the same database, for lookups on another thread: in a read
    // transaction when this one is in one; nullptr inside a write transaction, whose changes
    // another connection would not see.
    std::shared_ptr<Connection> twin() const;
    // Whether `twin`, opened after this connection, reads the very files this one reads:
    // the same files attached, and none of them renamed, replaced or removed since either
    // connection opened it (so both opened the file that the name names now). A file
    // replaced between the two opens (a register imported meanwhile) makes it false.
    bool readsTheSameFilesAs(const Connection& twin) const;
    const std::string& location() const { return location_; }
    // The directory of the location's files (dBASE tables live there too).
    const std::string& directory() const { return directory_; }

    // The schema that holds table `name` (Windows-1251), quoted for SQL text. In a
    // directory its file is attached now: missing, it is made when `create` is set, else
    // TableError; a file that SQLite cannot read is a TableError naming it.
    std::string schemaOf(std::string_view name, bool create);

    // Prepares the first statement of `sql` (UTF-8), attaching the files of the tables it
    // names; `used` receives the length of the text the statement took. A refused statement
    // is a TableError that begins with `what`.
    Statement prepare(std::string_view sql, std::size_t& used, const std::string& what);
    // The same for a statement that is meant only to read, telling whether it does: it
    // writes nothing, changes no schema or setting and attaches, detaches or makes no file
    // (no ATTACH, VACUUM or PRAGMA).
    struct Prepared {
        Statement statement;
        std::size_t used = 0;
        bool onlyReads = false;
    };
    Prepared prepareRead(std::string_view sql, const std::string& what);
    // Runs every statement of `sql` (UTF-8).
    void execute(std::string_view sql);

    void beginRead();
    void beginWrite();
    void commit();
    // Ends the open transaction, if any, without its changes; never throws.
    void rollback() noexcept;
    // Steps an INSERT to its end; inside a write transaction under its own savepoint, so
    // that a refused row leaves the transaction as it was. SQLite's message when it refused the row.
    std::optional<std::string> stepUnderSavepoint(sqlite3_stmt* insert);

    // SQLite's message for the last failure, in Windows-1251.
    std::string lastError() const;
    // TableError with `what`, the location and SQLite's message.
    [[noreturn]] void fail(const std::string& what) const;

private:
    enum class Transaction { None, Read, Write };

    // Notes, while a statement to read is prepared, an action that is no read.
    static int authorize(void* connection, int action, const char*, const char*, const char*, const char*);
    Statement prepare(std::string_view sql, std::size_t& used, const std::string& what, bool watch);
    void run(const char* sql);
    // Whether each file open is still the one its name names (false where SQLite cannot tell).
    bool filesInPlace() const;
    bool attachFile(std::string_view name, bool create);
    void attachNow(std::string_view name, const std::string& path);
    void resume(Transaction open);
    std::string qualifyCreate(std::string_view sql);

    std::string location_;
    std::string path_;
    std::string directory_;
    bool singleFile_;
    Handle db_;
    std::vector<std::string> attached_;
    Transaction transaction_ = Transaction::None;
    Statement savepoint_, release_, rollback_;
    bool watching_ = false; // a statement to read is being prepared
    bool onlyReads_ = true; // no other action was seen while watching
};

} // namespace venqor::sqlite
