#include "base/CodePage.h"
#include "base/Errors.h"
#include "base/FieldText.h"
#include "engine/sqlite/SqliteBlockLookup.h"
#include "engine/sqlite/SqliteColumns.h"
#include "engine/sqlite/SqliteFields.h"
#include "engine/sqlite/SqliteObjects.h"

namespace venqor::sqlite {

namespace {

bool contains(std::string_view text, std::string_view word)
{
    for (std::size_t i = 0; i + word.size() <= text.size(); ++i)
        if (SameName(text.substr(i, word.size()), word))
            return true;
    return false;
}

// The field definition of a column from its declared type, as create() writes them
// (VARCHAR(n), INTEGER, REAL, DATE) and as SQLite reads other type names.
FieldDef fieldOf(std::string name, std::string_view type)
{
    FieldDef field { std::move(name), FieldType::Text, 0 };
    if (IsDateType(type)) {
        field.type = FieldType::Date;
    } else if (contains(type, "INT")) {
        field.type = FieldType::Integer;
    } else if (contains(type, "CHAR") || contains(type, "TEXT") || contains(type, "CLOB")) {
        const auto open = type.find('(');
        if (open != std::string_view::npos) {
            const auto close = type.find(')', open);
            try {
                field.size = static_cast<int>(IntegerFromText(type.substr(open + 1, close - open - 1)));
            } catch (const ConvertError&) {
                field.size = 0;
            }
        }
    } else if (contains(type, "REAL") || contains(type, "FLOA") || contains(type, "DOUB")
        || contains(type, "NUM") || contains(type, "DEC")) {
        field.type = FieldType::Float;
    }
    return field;
}

class SqliteTable final : public Table {
public:
    SqliteTable(std::shared_ptr<Connection> connection, std::string name)
        : connection_(std::move(connection))
        , name_(std::move(name))
        , owner_("table \"" + name_ + "\" of \"" + connection_->location() + "\"")
    {
    }

    const std::string& name() const override { return name_; }
    bool isOpen() const override { return open_; }
    int fieldCount() const override { return static_cast<int>(fields_.size()); }

    void open() override
    {
        close();
        schema_ = connection_->schemaOf(name_, false);
        qualifiedName_ = schema_ + "." + QuoteName(Cp1251ToUtf8(name_));
        fields_.clear();
        primaryKey_.clear();
        std::vector<Columns::Column> columns;
        const Statement info
            = prepare("PRAGMA " + schema_ + ".table_info(" + QuoteName(Cp1251ToUtf8(name_)) + ")");
        while (step(info)) {
            std::string field = Utf8ToCp1251(columnText(info, 1));
            fields_.push_back(fieldOf(field, columnText(info, 2)));
            if (sqlite3_column_int(info.get(), 5) > 0)
                primaryKey_.push_back(field);
            columns.push_back({ std::move(field), fields_.back().type == FieldType::Date });
        }
        if (fields_.empty())
            throw TableError(owner_ + ": no such table");
        columns_.reset(std::move(columns), owner_);
        open_ = true;
    }

    void close() override
    {
        lookup_ = {};
        insert_ = {};
        keyFields_.clear();
        twin_.reset();
        hasRow_ = false;
        pending_.clear();
        open_ = false;
    }

    void setIndexFields(std::string_view list) override
    {
        requireOpen();
        std::vector<std::string> fields;
        for (std::size_t start = 0; start <= list.size() && !list.empty();) {
            const auto end = std::min(list.find(';', start), list.size());
            fields.emplace_back(list.substr(start, end - start));
            start = end + 1;
        }
        if (fields.empty()) {
            if (primaryKey_.size() != 1)
                throw TableError(owner_ + ": no primary index on one field");
            fields = primaryKey_;
        } else if (!hasIndex(fields)) {
            throw TableError(owner_ + ": no index on \"" + std::string(list) + "\"");
        }
        // The zero date is bound as NULL, which a date field equals nowhere: a lookup with
        // it finds no record, as a query's "BIRTH=:BIRTH" does (a namesake without a birth
        // date is no proof of identity).
        std::string sql = "SELECT * FROM " + qualifiedName_ + " WHERE ";
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const int index = columns_.indexOf(fields[i]);
            sql += (i ? " AND " : "") + QuoteName(Cp1251ToUtf8(columns_[index].name))
                + (columns_[index].isDate ? " = ?" : " IS ?") + std::to_string(i + 1);
        }
        lookup_ = prepare(sql);
        keyFields_ = std::move(fields);
        indexList_ = list;
        twin_.reset();
        hasRow_ = false;
    }

    bool findKey(std::int64_t key) override
    {
        requireKey(1);
        sqlite3_reset(lookup_.get());
        sqlite3_bind_int64(lookup_.get(), 1, key);
        return stepLookup();
    }

    bool findKey(std::string_view fam, std::string_view nam, std::string_view otch, Date birth) override
    {
        requireKey(4);
        sqlite3_reset(lookup_.get());
        const std::string_view texts[] = { fam, nam, otch };
        for (int i = 0; i < 3; ++i) {
            keyTexts_[i].clear();
            AppendCp1251AsUtf8(texts[i], keyTexts_[i]);
            sqlite3_bind_text(lookup_.get(), i + 1, keyTexts_[i].data(),
                static_cast<int>(keyTexts_[i].size()), SQLITE_STATIC);
        }
        if (birth.isZero()) {
            sqlite3_bind_null(lookup_.get(), 4);
        } else {
            keyTexts_[3] = FormatIso(birth);
            sqlite3_bind_text(
                lookup_.get(), 4, keyTexts_[3].data(), static_cast<int>(keyTexts_[3].size()), SQLITE_STATIC);
        }
        return stepLookup();
    }

    std::unique_ptr<BlockLookup> blockLookup(LookupKind kind) override
    {
        requireOpen();
        std::vector<SingleLookup> lookUps { lookUpThrough(this, kind) };
        if (auto twin = this->twin())
            lookUps.push_back(lookUpThrough(std::move(twin), kind));
        return MakeBlockLookup(columns_, kind, std::move(lookUps));
    }

    int fieldIndex(std::string_view name) const override
    {
        requireOpen();
        return columns_.indexOf(name);
    }

    std::string_view fieldText(int index) override { return columns_.text(currentRow(), index); }
    Date fieldDate(int index) override { return columns_.date(currentRow(), index); }
    std::int64_t fieldInt(int index) override { return columns_.integer(currentRow(), index); }

    void create(const std::vector<FieldDef>& fields, std::string_view primaryKey) override
    {
        close();
        const std::string columns = ColumnDefinitions(fields, primaryKey, owner_);
        const std::string table = connection_->schemaOf(name_, true) + "." + QuoteName(Cp1251ToUtf8(name_));
        run("SAVEPOINT venqor_create");
        try {
            run("DROP TABLE IF EXISTS " + table);
            run("CREATE TABLE " + table + " (" + columns + ")");
        } catch (...) {
            connection_->execute("ROLLBACK TO venqor_create; RELEASE venqor_create");
            throw;
        }
        run("RELEASE venqor_create");
        fields_ = fields;
    }

    void createIfMissing(const std::vector<FieldDef>& fields, std::string_view primaryKey) override
    {
        close();
        const std::string columns = ColumnDefinitions(fields, primaryKey, owner_);
        const std::string table = connection_->schemaOf(name_, true) + "." + QuoteName(Cp1251ToUtf8(name_));
        // One statement: SQLite's write lock makes it once whoever else runs it at once.
        run("CREATE TABLE IF NOT EXISTS " + table + " (" + columns + ")");
    }

    void insert() override
    {
        requireOpen();
        pending_.assign(fields_.size(), Value {});
    }

    void setField(int index, std::string_view text) override
    {
        const FieldDef& field = pendingField(index);
        SetValue(pending_[static_cast<std::size_t>(index)], field, text, owner_);
    }

    void setField(int index, std::int64_t number) override
    {
        const FieldDef& field = pendingField(index);
        SetValue(pending_[static_cast<std::size_t>(index)], field, number, owner_);
    }

    void setField(int index, Date date) override
    {
        const FieldDef& field = pendingField(index);
        SetValue(pending_[static_cast<std::size_t>(index)], field, date, owner_);
    }

    void post() override
    {
        if (pending_.empty())
            throw TableError(owner_ + ": no record to post");
        if (!insert_) {
            std::string names, values;
            for (std::size_t i = 0; i < fields_.size(); ++i) {
                names += (i ? ", " : "") + QuoteName(Cp1251ToUtf8(fields_[i].name));
                values += (i ? ", ?" : "?") + std::to_string(i + 1);
            }
            insert_ = prepare("INSERT INTO " + qualifiedName_ + " (" + names + ") VALUES (" + values + ")");
        }
        sqlite3_stmt* insert = insert_.get();
        for (std::size_t i = 0; i < pending_.size(); ++i)
            BindValue(insert, static_cast<int>(i + 1), pending_[i]);
        const auto refusal = connection_->stepUnderSavepoint(insert);
        sqlite3_clear_bindings(insert);
        if (refusal)
            throw TableError(owner_ + ": record refused: " + *refusal);
        pending_.clear();
    }

    void cancel() override { pending_.clear(); }

private:
    // A lookup through `table` (this table or its twin) by its current index.
    template <typename TablePointer> static SingleLookup lookUpThrough(TablePointer table, LookupKind kind)
    {
        return [table, kind](const LookupKey& key) -> sqlite3_stmt* {
            return FindKey(*table, kind, key) ? table->lookup_.get() : nullptr;
        };
    }

    // The same table and index through a second connection, made once and shared by the
    // block lookups, one of which runs at a time.
    std::shared_ptr<SqliteTable> twin()
    {
        if (!twin_)
            twin_ = MakeTwin(*connection_, [this](std::shared_ptr<Connection> connection) {
                auto table = std::make_shared<SqliteTable>(std::move(connection), name_);
                table->open();
                table->setIndexFields(indexList_);
                return table;
            });
        return twin_;
    }

    static std::string_view columnText(const Statement& statement, int index)
    {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), index));
        return text ? text : "";
    }

    Statement prepare(const std::string& sql)
    {
        std::size_t used = 0;
        return connection_->prepare(sql, used, owner_);
    }

    void run(const std::string& sql)
    {
        const Statement statement = prepare(sql);
        if (sqlite3_step(statement.get()) != SQLITE_DONE)
            connection_->fail(owner_);
    }

    bool step(const Statement& statement)
    {
        const int rc = sqlite3_step(statement.get());
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            connection_->fail(owner_);
        return false;
    }

    // Whether an index (or the primary key) begins with exactly these fields.
    bool hasIndex(const std::vector<std::string>& fields)
    {
        const auto sameFields = [&fields](const std::vector<std::string>& indexed) {
            if (indexed.size() < fields.size())
                return false;
            for (std::size_t i = 0; i < fields.size(); ++i)
                if (!SameName(indexed[i], fields[i]))
                    return false;
            return true;
        };
        if (sameFields(primaryKey_))
            return true;
        std::vector<std::string> indexes;
        const Statement list
            = prepare("PRAGMA " + schema_ + ".index_list(" + QuoteName(Cp1251ToUtf8(name_)) + ")");
        while (step(list))
            if (sqlite3_column_int(list.get(), 4) == 0) // a partial index serves only some keys
                indexes.emplace_back(columnText(list, 1));
        for (const auto& index : indexes) {
            const Statement info = prepare("PRAGMA " + schema_ + ".index_info(" + QuoteName(index) + ")");
            std::vector<std::string> indexed;
            while (step(info))
                indexed.push_back(Utf8ToCp1251(columnText(info, 2)));
            if (sameFields(indexed))
                return true;
        }
        return false;
    }

    void requireOpen() const
    {
        if (!open_)
            throw TableError(owner_ + ": the table is not open");
    }

    void requireKey(std::size_t fieldCount)
    {
        if (keyFields_.size() != fieldCount)
            throw TableError(owner_ + ": the current index does not take a key of "
                + std::to_string(fieldCount) + " field" + (fieldCount == 1 ? "" : "s"));
    }

    bool stepLookup()
    {
        hasRow_ = step(lookup_);
        return hasRow_;
    }

    sqlite3_stmt* currentRow() const
    {
        if (!hasRow_)
            throw TableError(owner_ + ": no current record");
        return lookup_.get();
    }

    const FieldDef& pendingField(int index) const
    {
        if (pending_.empty())
            throw TableError(owner_ + ": no record inserted");
        if (index < 0 || index >= fieldCount())
            throw TableError(owner_ + ": no field number " + std::to_string(index + 1));
        return fields_[static_cast<std::size_t>(index)];
    }

    std::shared_ptr<Connection> connection_;
    std::string name_;
    std::string owner_;
    std::string schema_;
    std::string qualifiedName_;
    bool open_ = false;
    std::vector<FieldDef> fields_;
    std::vector<std::string> primaryKey_;
    Columns columns_;
    Statement lookup_;
    std::vector<std::string> keyFields_;
    std::string indexList_; // as setIndexFields was given it
    std::shared_ptr<SqliteTable> twin_;
    std::string keyTexts_[4];
    bool hasRow_ = false;
    Statement insert_;
    std::vector<Value> pending_;
};

} // namespace

std::unique_ptr<Table> MakeTable(std::shared_ptr<Connection> connection, std::string name)
{
    return std::make_unique<SqliteTable>(std::move(connection), std::move(name));
}

} // namespace venqor::sqlite
