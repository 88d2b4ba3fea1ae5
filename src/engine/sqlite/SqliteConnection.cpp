#include "engine/sqlite/SqliteConnection.h"

#include "base/CodePage.h"
#include "base/Errors.h"
#include "base/FileNames.h"
#include "base/FieldText.h"

#include <filesystem>

namespace venqor::sqlite {

namespace {

namespace fs = std::filesystem;

// Page cache of each database file (in KiB when negative) and the part of it read
// through mmap: a register of a million rows fits in both.
constexpr const char* cacheSizePragma = "cache_size = -65536";
constexpr const char* mmapSizePragma = "mmap_size = 1073741824";
constexpr int BusyTimeoutMs = 30000;

bool isIdentifierChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$'
        || static_cast<unsigned char>(c) >= 0x80;
}

// Reads the words of the head of a statement: keywords, names (bare or quoted) and single
// punctuation characters, skipping blanks and comments.
class HeadScanner {
public:
    struct Token {
        std::size_t begin = 0;
        std::string word; // a quoted name without its quotes
        bool quoted = false;
    };

    explicit HeadScanner(std::string_view sql)
        : sql_(sql)
    {
    }

    Token next()
    {
        skipSpace();
        Token token { pos_, {}, false };
        if (pos_ >= sql_.size())
            return token;
        const char c = sql_[pos_];
        if (c == '"' || c == '`' || c == '[') {
            const char close = c == '[' ? ']' : c;
            token.quoted = true;
            for (++pos_; pos_ < sql_.size(); ++pos_) {
                if (sql_[pos_] != close)
                    token.word += sql_[pos_];
                else if (close != ']' && pos_ + 1 < sql_.size() && sql_[pos_ + 1] == close)
                    token.word += sql_[++pos_];
                else
                    break;
            }
            ++pos_;
        } else if (isIdentifierChar(c)) {
            while (pos_ < sql_.size() && isIdentifierChar(sql_[pos_]))
                token.word += sql_[pos_++];
        } else {
            token.word = sql_[pos_++];
        }
        return token;
    }

    bool nextIs(std::string_view keyword)
    {
        const Token token = next();
        return !token.quoted && SameName(token.word, keyword);
    }

    static bool is(const Token& token, std::string_view keyword)
    {
        return !token.quoted && SameName(token.word, keyword);
    }

private:
    void skipSpace()
    {
        while (pos_ < sql_.size()) {
            if (sql_[pos_] == ' ' || sql_[pos_] == '\t' || sql_[pos_] == '\r' || sql_[pos_] == '\n') {
                ++pos_;
            } else if (sql_.substr(pos_, 2) == "--") {
                const auto end = sql_.find('\n', pos_);
                pos_ = end == std::string_view::npos ? sql_.size() : end + 1;
            } else if (sql_.substr(pos_, 2) == "/*") {
                const auto end = sql_.find("*/", pos_ + 2);
                pos_ = end == std::string_view::npos ? sql_.size() : end + 2;
            } else {
                break;
            }
        }
    }

    std::string_view sql_;
    std::size_t pos_ = 0;
};

// The table a statement found missing ("no such table: NAME" or "main.NAME"), or "".
std::string missingTable(std::string_view message)
{
    constexpr std::string_view prefix = "no such table: ";
    if (!message.starts_with(prefix))
        return {};
    std::string_view name = message.substr(prefix.size());
    if (name.starts_with("main."))
        name.remove_prefix(5);
    return name.find('.') == std::string_view::npos ? std::string(name) : std::string();
}

// SQLite reads a name beginning with "file:" as a URI; such a relative name is kept a path.
std::string plainPath(const std::string& path)
{
    return path.starts_with("file:") ? "./" + path : path;
}

} // namespace

std::string QuoteName(std::string_view name)
{
    std::string quoted = "\"";
    for (const char c : name) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + '"';
}

std::string TableFile(const std::string& directory, std::string_view name)
{
    return FileInAnyLatinCase(directory, std::string(name) + ".DB").string();
}

Connection::Connection(std::string location, std::string path, bool singleFile)
    : location_(std::move(location))
    , path_(std::move(path))
    , singleFile_(singleFile)
{
    std::error_code ec;
    if (singleFile_ ? !fs::is_regular_file(path_, ec) : !fs::is_directory(path_, ec))
        throw TableError("database \"" + location_ + "\": no such " + (singleFile_ ? "file" : "directory"));
    directory_ = singleFile_ ? fs::path(path_).parent_path().string() : path_;
    if (directory_.empty())
        directory_ = ".";
    const std::string file = singleFile_ ? plainPath(path_) : ":memory:";
    // Without memory statistics SQLite takes no global mutex on every allocation (a few per
    // lookup). It can only be switched off before SQLite starts; later calls change nothing.
    static const bool memoryStatisticsOff = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;
    (void)memoryStatisticsOff;
    // A connection serves one run on one thread at a time: SQLite's own mutex is not needed.
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    sqlite3* raw = nullptr;
    const int opened = sqlite3_open_v2(file.c_str(), &raw, flags, nullptr);
    db_.reset(raw);
    if (opened != SQLITE_OK)
        throw TableError("database \"" + location_ + "\": " + (db_ ? lastError() : "out of memory"));
    sqlite3_extended_result_codes(db_.get(), 1);
    sqlite3_set_authorizer(db_.get(), authorize, this);
    // Another run may be writing the same file (two runs collecting into ANKT): wait for
    // its short transaction rather than fail.
    sqlite3_busy_timeout(db_.get(), BusyTimeoutMs);
    if (singleFile_) {
        if (sqlite3_exec(db_.get(), "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr)
            != SQLITE_OK)
            throw TableError("database \"" + location_ + "\": " + lastError());
        run((std::string("PRAGMA ") + cacheSizePragma).c_str());
        run((std::string("PRAGMA ") + mmapSizePragma).c_str());
    }
}

std::shared_ptr<Connection> Connection::twin() const
{
    if (transaction_ == Transaction::Write)
        return nullptr;
    auto twin = std::make_shared<Connection>(location_, path_, singleFile_);
    if (transaction_ == Transaction::Read)
        twin->beginRead();
    return twin;
}

bool Connection::readsTheSameFilesAs(const Connection& twin) const
{
    // This connection is asked after the twin has opened its files: had a file been replaced
    // before the twin opened it, this connection's copy would count as moved.
    return singleFile_ == twin.singleFile_ && path_ == twin.path_ && attached_ == twin.attached_
        && filesInPlace() && twin.filesInPlace();
}

bool Connection::filesInPlace() const
{
    std::vector<std::string> schemas;
    if (singleFile_)
        schemas.emplace_back("main");
    for (const std::string& name : attached_)
        schemas.push_back(Cp1251ToUtf8(name));
    for (const std::string& schema : schemas) {
        int moved = 1;
        if (sqlite3_file_control(db_.get(), schema.c_str(), SQLITE_FCNTL_HAS_MOVED, &moved) != SQLITE_OK
            || moved != 0)
            return false;
    }
    return true;
}

Connection::~Connection()
{
    // A write transaction never committed is undone: a job that stopped half way adds
    // nothing. Ending a read transaction loses nothing.
    if (transaction_ != Transaction::None)
        sqlite3_exec(
            db_.get(), transaction_ == Transaction::Write ? "ROLLBACK" : "COMMIT", nullptr, nullptr, nullptr);
    savepoint_ = {};
    release_ = {};
    rollback_ = {};
}

std::string Connection::lastError() const
{
    return sqlite3_errmsg(db_.get());
}

void Connection::fail(const std::string& what) const
{
    throw TableError(what + ": " + lastError());
}

void Connection::run(const char* sql)
{
    if (sqlite3_exec(db_.get(), sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail("database \"" + location_ + "\"");
}

std::string Connection::schemaOf(std::string_view name, bool create)
{
    if (singleFile_)
        return "main";
    attachFile(name, create);
    return QuoteName(Cp1251ToUtf8(name));
}

bool Connection::attachFile(std::string_view name, bool create)
{
    for (const auto& schema : attached_)
        if (SameName(schema, name))
            return false;
    const std::string table = "table \"" + std::string(name) + "\"";
    const std::string path = TableFile(directory_, name);
    std::error_code ec;
    if (!create && !fs::exists(path, ec))
        throw TableError(table + ": no file \"" + path + "\"");

    // SQLite attaches no file inside a transaction: the run's transaction is ended and
    // begun anew around the attachment (every row posted so far stays).
    const Transaction open = transaction_;
    commit();
    try {
        attachNow(name, path);
    } catch (...) {
        resume(open);
        throw;
    }
    resume(open);
    return true;
}

void Connection::resume(Transaction open)
{
    if (open == Transaction::Read)
        beginRead();
    else if (open == Transaction::Write)
        beginWrite();
}

void Connection::attachNow(std::string_view name, const std::string& path)
{
    const std::string table = "table \"" + std::string(name) + "\"";
    const std::string schema = QuoteName(Cp1251ToUtf8(name));
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db_.get(), "ATTACH DATABASE ?1 AS ?2", -1, &raw, nullptr) != SQLITE_OK)
        fail(table);
    const Statement attach(raw);
    const std::string file = plainPath(path);
    const std::string schemaName = Cp1251ToUtf8(name);
    sqlite3_bind_text(raw, 1, file.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_text(raw, 2, schemaName.c_str(), -1, SQLITE_STATIC);
    if (sqlite3_step(raw) != SQLITE_DONE)
        fail(table + ", file \"" + path + "\"");
    const std::string check = "SELECT count(*) FROM " + schema + ".sqlite_schema";
    if (sqlite3_exec(db_.get(), check.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        const std::string message = lastError();
        sqlite3_exec(db_.get(), ("DETACH DATABASE " + schema).c_str(), nullptr, nullptr, nullptr);
        throw TableError(table + ", file \"" + path + "\": " + message);
    }
    run(("PRAGMA " + schema + "." + cacheSizePragma).c_str());
    run(("PRAGMA " + schema + "." + mmapSizePragma).c_str());
    attached_.emplace_back(name);
}

int Connection::authorize(void* connection, int action, const char*, const char*, const char*, const char*)
{
    auto& self = *static_cast<Connection*>(connection);
    // Statements that SQLite runs inside another (VACUUM's own) are authorized as they run,
    // when nothing is watched.
    if (self.watching_ && action != SQLITE_SELECT && action != SQLITE_READ && action != SQLITE_FUNCTION
        && action != SQLITE_RECURSIVE)
        self.onlyReads_ = false;
    return SQLITE_OK;
}

Statement Connection::prepare(std::string_view sql, std::size_t& used, const std::string& what)
{
    return prepare(sql, used, what, false);
}

Connection::Prepared Connection::prepareRead(std::string_view sql, const std::string& what)
{
    Prepared prepared;
    prepared.statement = prepare(sql, prepared.used, what, true);
    prepared.onlyReads
        = onlyReads_ && (!prepared.statement || sqlite3_stmt_readonly(prepared.statement.get()));
    return prepared;
}

Statement Connection::prepare(std::string_view sql, std::size_t& used, const std::string& what, bool watch)
{
    for (;;) {
        sqlite3_stmt* raw = nullptr;
        const char* tail = nullptr;
        onlyReads_ = true;
        watching_ = watch;
        const int prepared = sqlite3_prepare_v3(
            db_.get(), sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &raw, &tail);
        watching_ = false;
        if (prepared == SQLITE_OK) {
            used = static_cast<std::size_t>(tail - sql.data());
            return Statement(raw);
        }
        if (!singleFile_) {
            const std::string name = Utf8ToCp1251(missingTable(sqlite3_errmsg(db_.get())));
            std::error_code ec;
            if (!name.empty() && fs::exists(TableFile(directory_, name), ec) && attachFile(name, false))
                continue;
        }
        fail(what);
    }
}

// In a directory each table lives in its own file, and so must the table a CREATE TABLE
// makes and the index a CREATE INDEX makes: the object's name gets the schema of that file.
std::string Connection::qualifyCreate(std::string_view sql)
{
    HeadScanner scanner(sql);
    if (!scanner.nextIs("CREATE"))
        return std::string(sql);
    HeadScanner::Token token = scanner.next();
    if (HeadScanner::is(token, "UNIQUE"))
        token = scanner.next();
    const bool index = HeadScanner::is(token, "INDEX");
    if (!index && !HeadScanner::is(token, "TABLE"))
        return std::string(sql);
    token = scanner.next();
    if (HeadScanner::is(token, "IF")) {
        if (!scanner.nextIs("NOT") || !scanner.nextIs("EXISTS"))
            return std::string(sql);
        token = scanner.next();
    }
    const HeadScanner::Token object = token;
    token = scanner.next();
    if (token.word == "." && !token.quoted)
        return std::string(sql);
    std::string table = object.word;
    if (index) {
        if (!HeadScanner::is(token, "ON"))
            return std::string(sql);
        table = scanner.next().word;
    }
    if (table.empty())
        return std::string(sql);
    const std::string schema = schemaOf(Utf8ToCp1251(table), !index);
    std::string qualified(sql.substr(0, object.begin));
    qualified += schema + ".";
    qualified += sql.substr(object.begin);
    return qualified;
}

void Connection::execute(std::string_view sql)
{
    const std::string what = "database \"" + location_ + "\"";
    std::string text(sql);
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (!singleFile_)
            text = text.substr(0, pos) + qualifyCreate(std::string_view(text).substr(pos));
        std::size_t used = 0;
        const Statement statement = prepare(std::string_view(text).substr(pos), used, what);
        if (!statement)
            break;
        int rc = SQLITE_ROW;
        while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) { }
        if (rc != SQLITE_DONE)
            fail(what);
        pos += used;
    }
}

void Connection::beginRead()
{
    if (transaction_ != Transaction::None)
        throw TableError("database \"" + location_ + "\": a transaction is already open");
    // Nothing is written inside a read transaction: a statement that would write (a user's
    // statement in the settings file) is refused by SQLite.
    run("PRAGMA query_only = ON");
    run("BEGIN");
    transaction_ = Transaction::Read;
    // The snapshot is taken now rather than at the first lookup: a twin made afterwards then
    // reads the same version of a file that a writer changes in place (the writer waits for
    // this transaction to end).
    for (const std::string& name : attached_)
        run(("SELECT 1 FROM " + QuoteName(Cp1251ToUtf8(name)) + ".sqlite_schema LIMIT 1").c_str());
    if (singleFile_)
        run("SELECT 1 FROM main.sqlite_schema LIMIT 1");
}

void Connection::beginWrite()
{
    if (transaction_ != Transaction::None)
        throw TableError("database \"" + location_ + "\": a transaction is already open");
    run("PRAGMA query_only = OFF");
    run("BEGIN IMMEDIATE");
    transaction_ = Transaction::Write;
}

void Connection::commit()
{
    if (transaction_ == Transaction::None)
        return;
    run("COMMIT");
    transaction_ = Transaction::None;
}

void Connection::rollback() noexcept
{
    if (transaction_ == Transaction::None)
        return;
    sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    transaction_ = Transaction::None;
}

std::optional<std::string> Connection::stepUnderSavepoint(sqlite3_stmt* insert)
{
    if (transaction_ != Transaction::Write) {
        const bool done = sqlite3_step(insert) == SQLITE_DONE;
        std::optional<std::string> refusal;
        if (!done)
            refusal = lastError();
        sqlite3_reset(insert);
        return refusal;
    }
    if (!savepoint_) {
        std::size_t used = 0;
        const std::string what = "database \"" + location_ + "\"";
        savepoint_ = prepare("SAVEPOINT venqor_row", used, what);
        release_ = prepare("RELEASE venqor_row", used, what);
        rollback_ = prepare("ROLLBACK TO venqor_row", used, what);
    }
    const auto stepOnce = [this](const Statement& statement) {
        const int rc = sqlite3_step(statement.get());
        sqlite3_reset(statement.get());
        if (rc != SQLITE_DONE)
            fail("database \"" + location_ + "\"");
    };
    stepOnce(savepoint_);
    std::optional<std::string> refusal;
    if (sqlite3_step(insert) != SQLITE_DONE)
        refusal = lastError();
    sqlite3_reset(insert);
    if (refusal)
        stepOnce(rollback_);
    stepOnce(release_);
    return refusal;
}

} // namespace venqor::sqlite
