#include "engine/pg/PgEngine.h"

#include "base/CodePage.h"
#include "base/Errors.h"
#include "base/FieldText.h"
#include "engine/pg/PgBlockLookup.h"
#include "engine/pg/PgConnection.h"
#include "engine/pg/PgLoader.h"
#include "engine/pg/PgNames.h"
#include "engine/pg/PgValues.h"

#include <array>

namespace venqor {

namespace {

using pg::Column;
using pg::Connection;
using pg::Identifier;
using pg::Kind;
using pg::Record;
using pg::Values;

std::vector<std::string> splitFieldList(std::string_view list)
{
    std::vector<std::string> fields;
    while (!list.empty()) {
        const std::size_t semicolon = std::min(list.find(';'), list.size());
        fields.emplace_back(list.substr(0, semicolon));
        list.remove_prefix(std::min(semicolon + 1, list.size()));
    }
    return fields;
}

class PgTable final : public Table {
public:
    PgTable(std::shared_ptr<Connection> conn, std::string name)
        : conn_(std::move(conn))
        , name_(std::move(name))
        , record_(conn_->location() + ": " + name_)
    {
    }
    ~PgTable() override { close(); }

    const std::string& name() const override { return name_; }

    void open() override
    {
        close();
        const std::string table = Identifier(name_, *conn_, name_);
        // The columns in the order of SELECT *, with the widths of varchar/char columns.
        pg::Result result = conn_->execParams(
            "SELECT c.oid, a.attname, a.atttypid, a.atttypmod FROM pg_class c"
            " LEFT JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped"
            " WHERE c.oid = to_regclass($1) AND c.relkind IN ('r', 'p', 'v', 'm', 'f') ORDER BY a.attnum",
            { table }, name_);
        const int rows = PQntuples(result.get());
        if (rows == 0)
            record_.fail("no such table");
        tableOid_ = PQgetvalue(result.get(), 0, 0);
        std::vector<Column> columns;
        for (int row = 0; row < rows; ++row) {
            if (PQgetisnull(result.get(), row, 1))
                continue;
            Column column;
            column.name = Utf8ToCp1251(PQgetvalue(result.get(), row, 1));
            column.type = static_cast<Oid>(std::stoul(PQgetvalue(result.get(), row, 2)));
            column.kind = pg::KindOfType(column.type);
            const int modifier = std::stoi(PQgetvalue(result.get(), row, 3));
            column.width = column.kind == Kind::Text && modifier > 4 ? modifier - 4 : 0;
            columns.push_back(std::move(column));
        }
        record_.setColumns(std::move(columns));
        table_ = table;
        open_ = true;
    }

    void close() override
    {
        dropLookups();
        if (!insertStatement_.empty())
            conn_->deallocate(insertStatement_);
        insertStatement_.clear();
        record_.clear();
        pending_ = false;
        open_ = false;
    }

    bool isOpen() const override { return open_; }

    void setIndexFields(std::string_view fields) override
    {
        requireOpen();
        dropLookups();
        // Every plain index of the table (no expressions, no condition) with its key fields.
        pg::Result result = conn_->execParams(
            "SELECT i.indisprimary, array_to_string(ARRAY("
            "  SELECT a.attname FROM unnest(i.indkey::int2[]) WITH ORDINALITY AS k(attnum, n)"
            "  JOIN pg_attribute a ON a.attrelid = i.indrelid AND a.attnum = k.attnum"
            "  WHERE k.n <= i.indnkeyatts ORDER BY k.n), ';')"
            " FROM pg_index i WHERE i.indrelid = $1::oid AND i.indisvalid"
            " AND i.indexprs IS NULL AND i.indpred IS NULL ORDER BY i.indisprimary DESC",
            { tableOid_ }, name_);
        const std::vector<std::string> wanted = splitFieldList(fields);
        std::vector<std::string> found; // UTF-8, as the catalog spells them
        for (int row = 0; row < PQntuples(result.get()) && found.empty(); ++row) {
            const std::string keys = PQgetvalue(result.get(), row, 1);
            const std::vector<std::string> names = splitFieldList(Utf8ToCp1251(keys));
            const bool primary = PQgetvalue(result.get(), row, 0)[0] == 't';
            if (wanted.empty()
                    ? primary
                    : std::equal(wanted.begin(), wanted.end(), names.begin(), names.end(), SameName))
                found = splitFieldList(keys);
        }
        if (found.empty())
            record_.fail(
                fields.empty() ? std::string("no primary index") : "no index on " + std::string(fields));
        keyFields_.clear();
        for (const std::string& key : found)
            keyFields_.push_back(pg::CatalogIdentifier(key));
        if (keyFields_.size() == 1)
            keyStatement_ = conn_->prepare(lookupSql(0), name_);
    }

    bool findKey(std::int64_t key) override { return found(numberCall(key)); }

    bool findKey(std::string_view fam, std::string_view nam, std::string_view otch, Date birth) override
    {
        return found(nameBirthCall(fam, nam, otch, birth));
    }

    std::unique_ptr<BlockLookup> blockLookup(LookupKind kind) override
    {
        requireOpen();
        Record record(record_.owner());
        record.setColumns(record_.columns());
        return pg::MakeBlockLookup(conn_, std::move(record), [this, kind](const LookupKey& key) {
            return kind == LookupKind::ByNumber ? numberCall(key.number)
                                                : nameBirthCall(key.fam, key.nam, key.otch, key.birth);
        });
    }

    void create(const std::vector<FieldDef>& fields, std::string_view primaryKey) override
    {
        close();
        conn_->exec(Cp1251ToUtf8("DROP TABLE IF EXISTS " + Identifier(name_, *conn_, name_)
                        + "; CREATE TABLE " + columnsSql(fields, primaryKey)),
            name_);
    }

    void createIfMissing(const std::vector<FieldDef>& fields, std::string_view primaryKey) override
    {
        close();
        conn_->exec(Cp1251ToUtf8("CREATE TABLE IF NOT EXISTS " + columnsSql(fields, primaryKey)), name_);
    }

    int fieldCount() const override
    {
        requireOpen();
        return static_cast<int>(record_.columns().size());
    }

    int fieldIndex(std::string_view name) const override
    {
        requireOpen();
        return record_.fieldIndex(name);
    }
    std::string_view fieldText(int index) override { return record_.text(index); }
    Date fieldDate(int index) override { return record_.date(index); }
    std::int64_t fieldInt(int index) override { return record_.integer(index); }

    void insert() override
    {
        requireOpen();
        values_.assign(record_.columns().size(), std::nullopt);
        pending_ = true;
    }

    void setField(int index, std::string_view text) override
    {
        pendingCell(index) = pg::CellFromText(column(index), text, record_.owner());
    }
    void setField(int index, std::int64_t value) override
    {
        pendingCell(index) = pg::CellFromInt(column(index), value, record_.owner());
    }
    void setField(int index, Date value) override
    {
        pendingCell(index) = pg::CellFromDate(column(index), value, record_.owner());
    }

    void post() override
    {
        if (!pending_)
            record_.fail("no record to post");
        if (insertStatement_.empty()) {
            std::string sql = "INSERT INTO " + table_ + " VALUES (";
            for (std::size_t i = 0; i < values_.size(); ++i)
                sql += (i > 0 ? ", $" : "$") + std::to_string(i + 1);
            insertStatement_ = conn_->prepare(sql + ")", name_);
        }
        // Inside a transaction a refused row must not abort it: it runs under a savepoint.
        const bool savepoint = conn_->inTransaction();
        if (savepoint)
            conn_->exec("SAVEPOINT venqor_row", name_);
        try {
            conn_->execPrepared(insertStatement_, values_, name_);
        } catch (const TableError&) {
            if (savepoint)
                conn_->exec("ROLLBACK TO SAVEPOINT venqor_row; RELEASE SAVEPOINT venqor_row", name_);
            throw;
        }
        if (savepoint)
            conn_->exec("RELEASE SAVEPOINT venqor_row", name_);
        pending_ = false;
    }

    void cancel() override { pending_ = false; }

private:
    void requireOpen() const
    {
        if (!open_)
            record_.fail("the table is not open");
    }

    // The table's name and its columns in parentheses, for CREATE TABLE.
    std::string columnsSql(const std::vector<FieldDef>& fields, std::string_view primaryKey) const
    {
        std::string sql = Identifier(name_, *conn_, name_) + " (";
        bool keyFound = primaryKey.empty();
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const FieldDef& field = fields[i];
            if (i > 0)
                sql += ", ";
            sql += Identifier(field.name, *conn_, name_) + " " + pg::SqlType(field);
            keyFound = keyFound || SameName(field.name, primaryKey);
        }
        if (!keyFound)
            record_.fail("the primary key " + std::string(primaryKey) + " is none of the fields");
        if (!primaryKey.empty())
            sql += ", PRIMARY KEY (" + Identifier(primaryKey, *conn_, name_) + ")";
        return sql + ")";
    }

    void dropLookups() noexcept
    {
        if (!keyStatement_.empty())
            conn_->deallocate(keyStatement_);
        keyStatement_.clear();
        for (std::string& statement : nameBirthStatements_) {
            if (!statement.empty())
                conn_->deallocate(statement);
            statement.clear();
        }
        keyFields_.clear();
        record_.clear();
    }

    const Column& column(int index) const
    {
        requireOpen();
        if (index < 0 || static_cast<std::size_t>(index) >= record_.columns().size())
            record_.fail("no field number " + std::to_string(index));
        return record_.columns()[static_cast<std::size_t>(index)];
    }

    std::optional<std::string>& pendingCell(int index)
    {
        if (!pending_)
            record_.fail("no record being inserted");
        column(index);
        return values_[static_cast<std::size_t>(index)];
    }

    // The lookups by the current index.
    pg::Call numberCall(std::int64_t key) const
    {
        if (keyFields_.size() != 1)
            record_.fail(
                keyFields_.empty() ? "no index chosen" : "the current index is not one of one field");
        return { keyStatement_, { std::to_string(key) }, name_ };
    }

    pg::Call nameBirthCall(std::string_view fam, std::string_view nam, std::string_view otch, Date birth)
    {
        if (keyFields_.size() != 4)
            record_.fail(
                keyFields_.empty() ? "no index chosen" : "the current index is not one of four fields");
        // An empty text matches the records whose field reads as empty: NULL or ''. Each
        // pattern of empty texts has its own prepared statement. The zero date is bound as
        // NULL, which BIRTH equals nowhere: a lookup with it finds no record, as a query's
        // "BIRTH=:BIRTH" does (a namesake without a birth date is no proof of identity).
        const std::array<std::string_view, 3> texts { fam, nam, otch };
        unsigned empty = 0;
        Values values;
        for (std::size_t i = 0; i < texts.size(); ++i) {
            if (texts[i].empty())
                empty |= 1u << i;
            else
                values.emplace_back(Cp1251ToUtf8(texts[i]));
        }
        values.emplace_back(birth.isZero() ? std::nullopt : std::optional<std::string>(FormatIso(birth)));
        std::string& statement = nameBirthStatements_[empty];
        if (statement.empty())
            statement = conn_->prepare(lookupSql(empty), name_);
        return { statement, std::move(values), name_ };
    }

    // SELECT of the first record with the key fields (UTF-8); the text fields marked in
    // `empty` match records where they read as empty (no parameter for them).
    std::string lookupSql(unsigned empty) const
    {
        std::string sql = "SELECT * FROM " + table_ + " WHERE ";
        int parameter = 0;
        for (std::size_t i = 0; i < keyFields_.size(); ++i) {
            if (i > 0)
                sql += " AND ";
            const std::string& key = keyFields_[i];
            if (empty & (1u << i))
                sql += "(" + key + " IS NULL OR " + key + " = '')";
            else
                sql += key + " = $" + std::to_string(++parameter);
        }
        return sql + " LIMIT 1";
    }

    bool found(const pg::Call& call)
    {
        record_.setResult(conn_->execPrepared(call.statement, call.values, call.what));
        return record_.hasRow();
    }

    std::shared_ptr<Connection> conn_;
    std::string name_;
    Record record_;
    bool open_ = false;
    std::string table_; // the quoted identifier
    std::string tableOid_;
    std::vector<std::string> keyFields_; // quoted identifiers of the current index
    std::string keyStatement_;
    std::array<std::string, 8> nameBirthStatements_;
    std::string insertStatement_;
    bool pending_ = false;
    Values values_;
};

class PgQuery final : public Query {
public:
    explicit PgQuery(std::shared_ptr<Connection> conn)
        : conn_(std::move(conn))
        , record_(conn_->location() + ": query")
    {
    }
    ~PgQuery() override { unprepare(); }

    void setSql(std::string_view sql) override
    {
        unprepare();
        sql_ = sql;
        record_ = Record(conn_->location() + ": " + sql_);
    }

    void prepare() override
    {
        unprepare();
        if (sql_.find_first_not_of(" \t\r\n") == std::string::npos)
            record_.fail("no statement");
        const std::string rewritten = RewriteNamedParameters(sql_, names_);
        statement_ = conn_->prepare(Cp1251ToUtf8(rewritten), sql_);
        record_.setColumns(pg::ResultColumns(conn_->describePrepared(statement_, sql_).get()));
        values_.assign(names_.size(), std::nullopt);
        set_.assign(names_.size(), false);
    }

    void setParam(std::string_view name, std::int64_t value) override { param(name) = std::to_string(value); }
    void setParam(std::string_view name, std::string_view text) override { param(name) = Cp1251ToUtf8(text); }
    // The zero date is bound as NULL, the empty date of the tables.
    void setParam(std::string_view name, Date value) override
    {
        auto& cell = param(name);
        cell.reset();
        if (!value.isZero())
            cell = FormatIso(value);
    }

    void open() override
    {
        const pg::Call call = openCall();
        record_.setResult(conn_->execPrepared(call.statement, call.values, call.what));
        open_ = true;
    }

    std::unique_ptr<BlockLookup> blockLookup(LookupKind kind) override
    {
        if (statement_.empty())
            prepare();
        Record record(record_.owner());
        record.setColumns(record_.columns());
        return pg::MakeBlockLookup(conn_, std::move(record), [this, kind](const LookupKey& key) {
            SetLookupParams(*this, kind, key);
            return openCall();
        });
    }

    void close() override
    {
        record_.clear();
        open_ = false;
    }
    bool isOpen() const override { return open_; }
    bool eof() const override { return !record_.hasRow(); }

    int fieldIndex(std::string_view name) const override { return record_.fieldIndex(name); }
    std::string_view fieldText(int index) override { return record_.text(index); }
    Date fieldDate(int index) override { return record_.date(index); }
    std::int64_t fieldInt(int index) override { return record_.integer(index); }

private:
    // The statement with the parameter values set, as open() runs it.
    pg::Call openCall()
    {
        if (statement_.empty())
            prepare();
        for (std::size_t i = 0; i < names_.size(); ++i)
            if (!set_[i])
                record_.fail("no value for the parameter " + names_[i]);
        return { statement_, values_, sql_ };
    }

    std::optional<std::string>& param(std::string_view name)
    {
        if (statement_.empty())
            prepare();
        for (std::size_t i = 0; i < names_.size(); ++i) {
            if (names_[i] == name) {
                set_[i] = true;
                return values_[i];
            }
        }
        record_.fail("the statement has no parameter " + std::string(name));
    }

    void unprepare() noexcept
    {
        close();
        if (!statement_.empty())
            conn_->deallocate(statement_);
        statement_.clear();
        names_.clear();
    }

    std::shared_ptr<Connection> conn_;
    std::string sql_;
    Record record_;
    std::string statement_;
    std::vector<std::string> names_;
    Values values_;
    std::vector<bool> set_;
    bool open_ = false;
};

class PgDatabase final : public Database {
public:
    explicit PgDatabase(const std::string& location)
        : location_(location)
        , conn_(std::make_shared<Connection>(location))
    {
    }

    const std::string& location() const override { return location_; }
    std::unique_ptr<Table> table(const std::string& name) override
    {
        return std::make_unique<PgTable>(conn_, name);
    }
    std::unique_ptr<Query> query() override { return std::make_unique<PgQuery>(conn_); }
    void execute(std::string_view sql) override { conn_->exec(Cp1251ToUtf8(sql), "execute"); }

    std::unique_ptr<TableLoader> load(const std::string& name, const std::vector<FieldDef>& fields,
        std::string_view primaryKey, const std::vector<IndexDef>& indexes) override
    {
        return pg::MakeLoader(conn_, name, fields, primaryKey, indexes);
    }
    void beginRead() override { conn_->begin(Connection::Transaction::Read); }
    void beginWrite() override { conn_->begin(Connection::Transaction::Write); }
    void commit() override { conn_->commit(); }

private:
    std::string location_;
    std::shared_ptr<Connection> conn_;
};

} // namespace

std::unique_ptr<Database> OpenPgDatabase(const std::string& uri)
{
    return std::make_unique<PgDatabase>(uri);
}

} // namespace venqor
