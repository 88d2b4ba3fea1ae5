#include "engine/pg/PgLoader.h"

#include "engine/pg/PgNames.h"
#include "engine/pg/PgValues.h"
#include "base/Errors.h"
#include "base/FieldText.h"

#include <algorithm>
#include <cstdint>
#include <functional>

namespace venqor::pg {

namespace {

constexpr std::size_t copyChunk = 256 * 1024; // bytes of rows sent to the server at once

// A value in COPY's text format: backslash, tab, line feed and carriage return escaped.
void appendEscaped(std::string& out, std::string_view value)
{
    std::size_t plain = 0; // start of the run of characters taken as they are
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c != '\\' && c != '\t' && c != '\n' && c != '\r')
            continue;
        out.append(value.substr(plain, i - plain));
        out += '\\';
        out += c == '\t' ? 't' : c == '\n' ? 'n' : c == '\r' ? 'r' : c;
        plain = i + 1;
    }
    out.append(value.substr(plain));
}

// The primary keys posted so far, in COPY's text form: an open-addressing hash table over
// one vector of keys, without a node per key (a million keys cost tens of megabytes and
// milliseconds, not hundreds).
class KeySet {
public:
    // False when the key is there already.
    bool insert(const std::string& key)
    {
        if ((keys_.size() + 1) * 2 > slots_.size())
            grow();
        const std::size_t hash = std::hash<std::string> {}(key);
        for (std::size_t slot = hash & mask_;; slot = (slot + 1) & mask_) {
            const std::uint32_t entry = slots_[slot];
            if (entry == 0) {
                keys_.push_back(key);
                hashes_.push_back(hash);
                slots_[slot] = static_cast<std::uint32_t>(keys_.size());
                return true;
            }
            if (hashes_[entry - 1] == hash && keys_[entry - 1] == key)
                return false;
        }
    }

private:
    void grow()
    {
        slots_.assign(std::max<std::size_t>(slots_.size() * 2, 1024), 0);
        mask_ = slots_.size() - 1;
        for (std::size_t i = 0; i < hashes_.size(); ++i) {
            std::size_t slot = hashes_[i] & mask_;
            while (slots_[slot] != 0)
                slot = (slot + 1) & mask_;
            slots_[slot] = static_cast<std::uint32_t>(i + 1);
        }
    }

    std::vector<std::string> keys_;
    std::vector<std::size_t> hashes_;
    std::vector<std::uint32_t> slots_; // 1 + the index of a key, 0 for a free slot
    std::size_t mask_ = 0;
};

class PgLoader final : public TableLoader {
public:
    PgLoader(std::shared_ptr<Connection> conn, const std::string& name, const std::vector<FieldDef>& fields,
        std::string_view primaryKey, const std::vector<IndexDef>& indexes)
        : conn_(std::move(conn))
        , name_(name)
        , owner_(conn_->location() + ": " + name)
    {
        std::string columns;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            for (std::size_t j = 0; j < i; ++j)
                if (SameName(fields[j].name, fields[i].name))
                    fail("the field " + fields[i].name + " is defined twice");
            columns += (i ? ", " : "") + Identifier(fields[i].name, *conn_, name_) + " " + SqlType(fields[i]);
            columns_.push_back(ColumnOf(fields[i]));
            if (!primaryKey.empty() && SameName(fields[i].name, primaryKey))
                key_ = static_cast<int>(i);
        }
        if (fields.empty())
            fail("a table needs at least one field");
        if (!primaryKey.empty() && key_ < 0)
            fail("the primary key " + std::string(primaryKey) + " is none of the fields");
        const std::string table = Identifier(name_, *conn_, name_);
        cells_.resize(columns_.size());
        present_.resize(columns_.size());

        conn_->begin(Connection::Transaction::Write);
        try {
            // Unqualified names would find a table of that name in any schema of the path;
            // the new table and the old one are both named in the schema that CREATE uses.
            const Result path = conn_->exec("SELECT current_schema()", name_);
            if (PQgetisnull(path.get(), 0, 0))
                fail("no schema to create the table in (the search path names none that can be used)");
            const std::string schema = CatalogIdentifier(PQgetvalue(path.get(), 0, 0)) + ".";
            // Unique among the connections open now, and never committed under this name.
            const std::string newName = "venqor_load_" + std::to_string(conn_->serverProcess());
            newTable_ = schema + CatalogIdentifier(newName);
            table_ = schema + table;
            tableName_ = table;
            conn_->exec(
                "CREATE TABLE " + newTable_ + " (" + columns + ")", name_ + ": cannot create the new table");

            // The key first, then the other indexes, each built under a temporary name and
            // renamed when the old table (and so its indexes) are gone.
            if (key_ >= 0) {
                const std::string key = CatalogIdentifier(newName + "_key");
                build_.push_back("ALTER TABLE " + newTable_ + " ADD CONSTRAINT " + key + " PRIMARY KEY ("
                    + Identifier(primaryKey, *conn_, name_) + ")");
                rename_.push_back("ALTER INDEX " + schema + key + " RENAME TO "
                    + Identifier(name_ + "_pkey", *conn_, name_));
            }
            for (std::size_t i = 0; i < indexes.size(); ++i) {
                const std::string index = CatalogIdentifier(newName + "_" + std::to_string(i));
                std::string fieldList;
                for (const std::string& field : indexes[i].fields)
                    fieldList += (fieldList.empty() ? "" : ", ") + Identifier(field, *conn_, name_);
                std::string included;
                for (const std::string& field : indexes[i].included)
                    included += (included.empty() ? "" : ", ") + Identifier(field, *conn_, name_);
                build_.push_back("CREATE INDEX " + index + " ON " + newTable_ + " (" + fieldList + ")"
                    + (included.empty() ? "" : " INCLUDE (" + included + ")"));
                rename_.push_back("ALTER INDEX " + schema + index + " RENAME TO "
                    + Identifier(indexes[i].name, *conn_, name_));
            }
            conn_->copyIn("COPY " + newTable_ + " FROM STDIN", name_);
            copying_ = true;
        } catch (...) {
            conn_->rollback();
            throw;
        }
    }

    ~PgLoader() override
    {
        if (copying_)
            conn_->cancelCopy();
        if (!committed_)
            conn_->rollback();
    }

    void insert() override
    {
        if (!copying_)
            fail("the table is no longer being loaded");
        std::fill(present_.begin(), present_.end(), false);
        pending_ = true;
    }

    void setField(int index, std::string_view text) override
    {
        const Column& field = column(index);
        present(index) = TextCell(field, text, owner_, cell(index));
    }
    void setField(int index, std::int64_t value) override
    {
        const Column& field = column(index);
        present(index) = IntCell(field, value, owner_, cell(index));
    }
    void setField(int index, Date value) override
    {
        const Column& field = column(index);
        present(index) = DateCell(field, value, owner_, cell(index));
    }

    bool post() override
    {
        if (!pending_)
            fail("no record to post");
        pending_ = false;
        if (key_ >= 0) {
            const auto key = static_cast<std::size_t>(key_);
            if (!present_[key])
                fail("a record without a value in its primary key " + columns_[key].name);
            if (!keys_.insert(cells_[key]))
                return false;
        }
        for (std::size_t i = 0; i < cells_.size(); ++i) {
            if (i > 0)
                buffer_ += '\t';
            if (present_[i])
                appendEscaped(buffer_, cells_[i]);
            else
                buffer_ += "\\N";
        }
        buffer_ += '\n';
        if (buffer_.size() >= copyChunk)
            flush();
        return true;
    }

    void cancel() override { pending_ = false; }

    void commit() override
    {
        if (!copying_)
            fail("the table is no longer being loaded");
        flush();
        copying_ = false;
        conn_->endCopy(name_);
        for (const std::string& statement : build_)
            conn_->exec(statement, name_ + ": cannot build the indexes");
        // Statistics for the planner, gathered before the old table is locked.
        conn_->exec("ANALYZE " + newTable_, name_);
        const std::string replacing = name_ + ": cannot replace the old table";
        // Whoever was given rights on the old table (the roles that only check) keeps them.
        const Result grants = conn_->execParams(
            "SELECT format('GRANT %s ON %s TO %s%s', a.privilege_type, $2::text,"
            " CASE WHEN a.grantee = 0 THEN 'PUBLIC' ELSE quote_ident(pg_get_userbyid(a.grantee)) END,"
            " CASE WHEN a.is_grantable THEN ' WITH GRANT OPTION' ELSE '' END) FROM pg_class c,"
            " aclexplode(c.relacl) a WHERE c.oid = to_regclass($1) AND a.grantee <> c.relowner",
            { table_, newTable_ }, replacing);
        for (int row = 0; row < PQntuples(grants.get()); ++row)
            conn_->exec(PQgetvalue(grants.get(), row, 0), replacing);
        conn_->exec("DROP TABLE IF EXISTS " + table_, replacing);
        conn_->exec("ALTER TABLE " + newTable_ + " RENAME TO " + tableName_, replacing);
        for (const std::string& statement : rename_)
            conn_->exec(statement, replacing);
        conn_->commit();
        committed_ = true;
    }

private:
    [[noreturn]] void fail(std::string_view text) const
    {
        throw TableError(owner_ + ": " + std::string(text));
    }

    const Column& column(int index) const
    {
        if (!pending_)
            fail("no record inserted");
        if (index < 0 || static_cast<std::size_t>(index) >= columns_.size())
            fail("no field number " + std::to_string(index + 1));
        return columns_[static_cast<std::size_t>(index)];
    }

    std::string& cell(int index) { return cells_[static_cast<std::size_t>(index)]; }
    std::vector<bool>::reference present(int index) { return present_[static_cast<std::size_t>(index)]; }

    void flush()
    {
        if (buffer_.empty())
            return;
        conn_->putCopyData(buffer_, name_);
        buffer_.clear();
    }

    std::shared_ptr<Connection> conn_;
    std::string name_;
    std::string owner_;
    std::vector<Column> columns_;
    int key_ = -1;                    // the field of the primary key
    std::string table_;               // schema and name, quoted
    std::string tableName_;           // the name alone, quoted
    std::string newTable_;            // schema and temporary name, quoted
    std::vector<std::string> build_;  // statements that build the key and the indexes
    std::vector<std::string> rename_; // statements that give them their names
    std::vector<std::string> cells_;  // the values of the pending row, kept from row to row
    std::vector<bool> present_;       // which of them are not NULL
    KeySet keys_;                     // the primary keys posted
    std::string buffer_;              // rows not yet sent
    bool pending_ = false;
    bool copying_ = false;
    bool committed_ = false;
};

} // namespace

std::unique_ptr<TableLoader> MakeLoader(std::shared_ptr<Connection> conn, const std::string& name,
    const std::vector<FieldDef>& fields, std::string_view primaryKey, const std::vector<IndexDef>& indexes)
{
    return std::make_unique<PgLoader>(std::move(conn), name, fields, primaryKey, indexes);
}

} // namespace venqor::pg
