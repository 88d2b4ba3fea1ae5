#include "base/CodePage.h"
#include "base/Errors.h"
#include "base/FieldText.h"
#include "engine/sqlite/SqliteBlockLookup.h"
#include "engine/sqlite/SqliteColumns.h"
#include "engine/sqlite/SqliteObjects.h"

namespace venqor::sqlite {

namespace {

class SqliteQuery final : public Query {
public:
    explicit SqliteQuery(std::shared_ptr<Connection> connection)
        : connection_(std::move(connection))
        , owner_("query on \"" + connection_->location() + "\"")
    {
    }

    void setSql(std::string_view sql) override
    {
        close();
        statement_ = {};
        twin_.reset();
        sql_ = sql;
        owner_ = "query \"" + sql_ + "\" on \"" + connection_->location() + "\"";
    }

    void prepare() override
    {
        if (statement_)
            return;
        const std::string utf8 = Cp1251ToUtf8(sql_);
        Connection::Prepared prepared = connection_->prepareRead(utf8, owner_);
        if (!prepared.statement)
            throw TableError(owner_ + ": no statement");
        if (!IsBlank(std::string_view(utf8).substr(prepared.used)))
            throw TableError(owner_ + ": more than one statement");
        statement_ = std::move(prepared.statement);
        onlyReads_ = prepared.onlyReads;
        columns_.resetFromStatement(statement_.get(), owner_);
        parameters_.clear();
        for (int i = 1; i <= sqlite3_bind_parameter_count(statement_.get()); ++i) {
            const char* name = sqlite3_bind_parameter_name(statement_.get(), i);
            parameters_.push_back(name ? Utf8ToCp1251(name + 1) : std::string());
        }
        buffers_.assign(parameters_.size(), {});
    }

    void setParam(std::string_view name, std::int64_t value) override
    {
        sqlite3_bind_int64(statement_.get(), parameter(name), value);
    }

    void setParam(std::string_view name, std::string_view text) override
    {
        const int index = parameter(name);
        std::string& buffer = buffers_[static_cast<std::size_t>(index - 1)];
        buffer.clear();
        AppendCp1251AsUtf8(text, buffer);
        sqlite3_bind_text(
            statement_.get(), index, buffer.data(), static_cast<int>(buffer.size()), SQLITE_STATIC);
    }

    void setParam(std::string_view name, Date value) override
    {
        const int index = parameter(name);
        if (value.isZero()) {
            sqlite3_bind_null(statement_.get(), index);
            return;
        }
        std::string& buffer = buffers_[static_cast<std::size_t>(index - 1)];
        buffer = FormatIso(value);
        sqlite3_bind_text(
            statement_.get(), index, buffer.data(), static_cast<int>(buffer.size()), SQLITE_STATIC);
    }

    void open() override
    {
        prepare();
        // Refused before it runs, so that it cannot make a file (ATTACH, VACUUM INTO) either.
        if (!onlyReads_)
            throw TableError(owner_
                + ": refused: a query only reads, and this statement would write, change a setting or "
                  "attach a file");
        sqlite3_reset(statement_.get());
        const int rc = sqlite3_step(statement_.get());
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            connection_->fail(owner_);
        hasRow_ = rc == SQLITE_ROW;
        open_ = true;
    }

    void close() override
    {
        if (statement_)
            sqlite3_reset(statement_.get());
        open_ = false;
        hasRow_ = false;
    }

    bool isOpen() const override { return open_; }
    bool eof() const override { return !hasRow_; }

    std::unique_ptr<BlockLookup> blockLookup(LookupKind kind) override
    {
        prepare();
        std::vector<SingleLookup> lookUps { lookUpThrough(this, kind) };
        if (auto twin = this->twin())
            lookUps.push_back(lookUpThrough(std::move(twin), kind));
        return MakeBlockLookup(columns_, kind, std::move(lookUps));
    }

    int fieldIndex(std::string_view name) const override
    {
        if (!statement_)
            throw TableError(owner_ + ": the query is not prepared");
        return columns_.indexOf(name);
    }

    std::string_view fieldText(int index) override { return columns_.text(currentRow(), index); }
    Date fieldDate(int index) override { return columns_.date(currentRow(), index); }
    std::int64_t fieldInt(int index) override { return columns_.integer(currentRow(), index); }

private:
    // A lookup through `query` (this query or its twin).
    template <typename QueryPointer> static SingleLookup lookUpThrough(QueryPointer query, LookupKind kind)
    {
        return [query, kind](const LookupKey& key) -> sqlite3_stmt* {
            query->close();
            SetLookupParams(*query, kind, key);
            query->open();
            return query->hasRow_ ? query->statement_.get() : nullptr;
        };
    }

    // The same statement through a second connection, made once and shared by the block
    // lookups, one of which runs at a time.
    std::shared_ptr<SqliteQuery> twin()
    {
        if (!twin_)
            twin_ = MakeTwin(*connection_, [this](std::shared_ptr<Connection> connection) {
                auto query = std::make_shared<SqliteQuery>(std::move(connection));
                query->setSql(sql_);
                query->prepare();
                return query;
            });
        return twin_;
    }

    // The number of a parameter (:NAME, @NAME or $NAME; Latin case ignored); a new value
    // ends the current result.
    int parameter(std::string_view name)
    {
        prepare();
        if (open_)
            close();
        for (std::size_t i = 0; i < parameters_.size(); ++i)
            if (SameName(parameters_[i], name))
                return static_cast<int>(i + 1);
        throw TableError(owner_ + ": no parameter \"" + std::string(name) + "\"");
    }

    sqlite3_stmt* currentRow() const
    {
        if (!hasRow_)
            throw TableError(owner_ + ": no current row");
        return statement_.get();
    }

    std::shared_ptr<Connection> connection_;
    std::string sql_;
    std::string owner_;
    Statement statement_;
    Columns columns_;
    std::vector<std::string> parameters_;
    std::vector<std::string> buffers_;
    bool onlyReads_ = false;
    bool open_ = false;
    bool hasRow_ = false;
    std::shared_ptr<SqliteQuery> twin_;
};

} // namespace

std::unique_ptr<Query> MakeQuery(std::shared_ptr<Connection> connection)
{
    return std::make_unique<SqliteQuery>(std::move(connection));
}

} // namespace venqor::sqlite
