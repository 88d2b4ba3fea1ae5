#include "base/CodePage.h"
#include "base/Errors.h"
#include "base/ReplacingFile.h"
#include "engine/sqlite/SqliteFields.h"
#include "engine/sqlite/SqliteObjects.h"

#include <filesystem>

namespace venqor::sqlite {

namespace {

namespace fs = std::filesystem;

// The statements that build the indexes of table `table` (quoted) of `schema` ("" or
// "main.") under their own names.
std::vector<std::string> indexStatements(
    const std::vector<IndexDef>& indexes, const std::string& schema, const std::string& table)
{
    std::vector<std::string> statements;
    for (const IndexDef& index : indexes) {
        std::string columns;
        std::vector<std::string> fields = index.fields;
        fields.insert(fields.end(), index.included.begin(), index.included.end());
        for (const std::string& field : fields)
            columns += (columns.empty() ? "" : ", ") + QuoteName(Cp1251ToUtf8(field));
        statements.push_back("CREATE INDEX " + schema + QuoteName(Cp1251ToUtf8(index.name)) + " ON " + table
            + " (" + columns + ")");
    }
    return statements;
}

// The rows of a new table, added through one prepared INSERT inside the loader's
// transaction. A row whose primary key is there already is refused alone: SQLite undoes
// the one statement, not the transaction. A row that breaks a rule of the table is a
// TableError; any other failure (a full disk, an I/O error) fails the table itself and is an
// IoError, after which SQLite may have undone the whole transaction.
class RowLoader : public TableLoader {
public:
    void insert() override
    {
        assigned_.assign(fields_.size(), false);
        pending_ = true;
    }

    void setField(int index, std::string_view text) override
    {
        SetValue(value(index), field(index), text, owner_);
    }
    void setField(int index, std::int64_t number) override
    {
        SetValue(value(index), field(index), number, owner_);
    }
    void setField(int index, Date date) override { SetValue(value(index), field(index), date, owner_); }

    bool post() override
    {
        if (!pending_)
            throw TableError(owner_ + ": no record to post");
        pending_ = false;
        sqlite3_stmt* insert = insert_.get();
        static const Value null;
        for (std::size_t i = 0; i < values_.size(); ++i)
            BindValue(insert, static_cast<int>(i + 1), assigned_[i] ? values_[i] : null);
        const int rc = sqlite3_step(insert);
        const int code = sqlite3_extended_errcode(db_);
        sqlite3_reset(insert);
        if (rc == SQLITE_DONE)
            return true;
        if (code == SQLITE_CONSTRAINT_PRIMARYKEY)
            return false;
        if (rc == SQLITE_CONSTRAINT || rc == SQLITE_TOOBIG || rc == SQLITE_MISMATCH)
            fail("record refused");
        throw IoError(owner_ + ": cannot write the record (" + sqlite3_errmsg(db_) + ")");
    }

    void cancel() override { pending_ = false; }

protected:
    RowLoader(std::string owner, const std::vector<FieldDef>& fields)
        : owner_(std::move(owner))
        , fields_(fields)
        , values_(fields.size())
    {
    }

    // The connection every later statement runs on.
    void use(sqlite3* db) { db_ = db; }

    // Prepares the INSERT into `table` (quoted, with its schema when there is one).
    void prepareInsert(const std::string& table)
    {
        std::string values;
        for (std::size_t i = 0; i < fields_.size(); ++i)
            values += (i ? ", ?" : "?") + std::to_string(i + 1);
        sqlite3_stmt* raw = nullptr;
        const std::string sql = "INSERT INTO " + table + " VALUES (" + values + ")";
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
            fail("cannot prepare the insert");
        insert_ = Statement(raw);
    }

    void finishInserts() { insert_ = {}; }

    void exec(const std::string& sql)
    {
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
            fail(sql);
    }

    [[noreturn]] void fail(std::string_view what) const
    {
        throw TableError(owner_ + ": " + std::string(what) + " ("
            + (db_ ? std::string(sqlite3_errmsg(db_)) : std::string("out of memory")) + ")");
    }

    const std::string& owner() const { return owner_; }

private:
    const FieldDef& field(int index) const
    {
        if (!pending_)
            throw TableError(owner_ + ": no record inserted");
        if (index < 0 || static_cast<std::size_t>(index) >= fields_.size())
            throw TableError(owner_ + ": no field number " + std::to_string(index + 1));
        return fields_[static_cast<std::size_t>(index)];
    }

    Value& value(int index)
    {
        assigned_[static_cast<std::size_t>(index)] = true;
        return values_[static_cast<std::size_t>(index)];
    }

    std::string owner_;
    std::vector<FieldDef> fields_;
    sqlite3* db_ = nullptr;
    Statement insert_;
    std::vector<Value> values_; // kept from row to row, so that their texts reuse their buffers
    std::vector<bool> assigned_;
    bool pending_ = false;
};

// Table NAME of a directory: a new file built beside DIR/NAME.DB and put in its place by
// ReplacingFile. The new file is thrown away on any failure, so it is written without
// journal and without syncs until it is complete; ReplacingFile syncs it before the rename.
class FileLoader final : public RowLoader {
public:
    FileLoader(const std::string& directory, const std::string& name, const std::vector<FieldDef>& fields,
        std::string_view primaryKey, const std::vector<IndexDef>& indexes)
        : RowLoader("table \"" + name + "\" of \"" + directory + "\"", fields)
    {
        const std::string columns = ColumnDefinitions(fields, primaryKey, owner());
        std::error_code ec;
        fs::create_directories(directory, ec);
        if (ec)
            throw IoError(directory + ": cannot create the directory (" + ec.message() + ")");
        const std::string target = TableFile(directory, name);
        // A journal beside the old file would be played into the new one by its next reader.
        for (const char* suffix : { "-journal", "-wal" })
            if (fs::exists(target + suffix))
                throw IoError(target + ": the table is in use or was not closed cleanly (" + target + suffix
                    + " exists)");
        file_ = std::make_unique<ReplacingFile>(target);
        if (file_->direct())
            throw TableError(target + ": a table is a file, not a device");
        try {
            sqlite3* raw = nullptr;
            const int opened = sqlite3_open_v2(file_->path().c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
            db_.reset(raw);
            use(raw);
            if (opened != SQLITE_OK)
                throw TableError(target + ": cannot open the new file");
            for (const char* pragma : { "PRAGMA journal_mode=OFF", "PRAGMA synchronous=OFF",
                     "PRAGMA locking_mode=EXCLUSIVE", "PRAGMA temp_store=MEMORY" })
                exec(pragma);
            // A large cache for a key or indexes, whose pages are changed all over the file.
            // Rows without them are appended, and SQLite's own cache writes them out as it
            // fills: a full disk then stops the row it cannot take, not the commit of them all.
            if (!primaryKey.empty() || !indexes.empty())
                exec("PRAGMA cache_size=-262144");
            exec("BEGIN");
            const std::string table = QuoteName(Cp1251ToUtf8(name));
            exec("CREATE TABLE " + table + " (" + columns + ")");
            prepareInsert(table);
            indexStatements_ = indexStatements(indexes, "", table);
        } catch (...) {
            discard();
            throw;
        }
    }

    ~FileLoader() override { discard(); }

    void commit() override
    {
        for (const std::string& statement : indexStatements_)
            exec(statement);
        exec("COMMIT");
        finishInserts();
        db_.reset();
        file_->commit();
    }

private:
    void discard() noexcept
    {
        finishInserts();
        db_.reset();
    }

    std::unique_ptr<ReplacingFile> file_;
    Handle db_;
    std::vector<std::string> indexStatements_;
};

// Table NAME of a single SQLite file: the rows go into a table under a temporary name
// inside one write transaction, whose commit drops the old table, renames the new one and
// builds its indexes; until then other connections see the old table.
class InPlaceLoader final : public RowLoader {
public:
    InPlaceLoader(std::shared_ptr<Connection> connection, const std::string& name,
        const std::vector<FieldDef>& fields, std::string_view primaryKey,
        const std::vector<IndexDef>& indexes)
        : RowLoader("table \"" + name + "\" of \"" + connection->location() + "\"", fields)
        , connection_(std::move(connection))
        , table_("main." + QuoteName(Cp1251ToUtf8(name)))
        , newName_(QuoteName(Cp1251ToUtf8("venqor_load_" + name)))
        , indexes_(indexes)
    {
        const std::string columns = ColumnDefinitions(fields, primaryKey, owner());
        use(connection_->handle());
        connection_->beginWrite();
        try {
            exec("CREATE TABLE main." + newName_ + " (" + columns + ")");
            prepareInsert("main." + newName_);
        } catch (...) {
            connection_->rollback();
            throw;
        }
    }

    ~InPlaceLoader() override
    {
        finishInserts();
        connection_->rollback();
    }

    void commit() override
    {
        finishInserts();
        exec("DROP TABLE IF EXISTS " + table_);
        exec("ALTER TABLE main." + newName_ + " RENAME TO " + table_.substr(5));
        for (const std::string& statement : indexStatements(indexes_, "main.", table_.substr(5)))
            exec(statement);
        connection_->commit();
    }

private:
    std::shared_ptr<Connection> connection_;
    std::string table_;   // main."NAME"
    std::string newName_; // quoted, without schema
    std::vector<IndexDef> indexes_;
};

} // namespace

std::unique_ptr<TableLoader> MakeFileLoader(const std::string& directory, const std::string& name,
    const std::vector<FieldDef>& fields, std::string_view primaryKey, const std::vector<IndexDef>& indexes)
{
    return std::make_unique<FileLoader>(directory, name, fields, primaryKey, indexes);
}

std::unique_ptr<TableLoader> MakeInPlaceLoader(std::shared_ptr<Connection> connection,
    const std::string& name, const std::vector<FieldDef>& fields, std::string_view primaryKey,
    const std::vector<IndexDef>& indexes)
{
    return std::make_unique<InPlaceLoader>(std::move(connection), name, fields, primaryKey, indexes);
}

} // namespace venqor::sqlite
