#include "engine/sqlite/SqliteEngine.h"

#include "base/CodePage.h"
#include "base/Errors.h"
#include "base/Passwords.h"
#include "engine/sqlite/SqliteObjects.h"

namespace venqor {

namespace {

// The connection is made on first use, so that a directory that does not exist yet can
// still receive a loaded table (the loader makes it); anything else fails then, as
// opening would have.
class SqliteDatabase final : public Database {
public:
    SqliteDatabase(const std::string& path, bool singleFile)
        : path_(path)
        , singleFile_(singleFile)
        , location_(ShownLocation(singleFile ? "sqlite:" + path : path))
    {
        if (singleFile_)
            connection();
    }

    const std::string& location() const override { return location_; }

    std::unique_ptr<Table> table(const std::string& name) override
    {
        return sqlite::MakeTable(connection(), name);
    }

    std::unique_ptr<Query> query() override { return sqlite::MakeQuery(connection()); }

    void execute(std::string_view sql) override { connection()->execute(Cp1251ToUtf8(sql)); }

    std::unique_ptr<TableLoader> load(const std::string& name, const std::vector<FieldDef>& fields,
        std::string_view primaryKey, const std::vector<IndexDef>& indexes) override
    {
        if (singleFile_)
            return sqlite::MakeInPlaceLoader(connection(), name, fields, primaryKey, indexes);
        return sqlite::MakeFileLoader(path_, name, fields, primaryKey, indexes);
    }

    void beginRead() override { connection()->beginRead(); }
    void beginWrite() override { connection()->beginWrite(); }
    void commit() override { connection()->commit(); }

private:
    const std::shared_ptr<sqlite::Connection>& connection()
    {
        if (!connection_)
            connection_ = std::make_shared<sqlite::Connection>(location_, path_, singleFile_);
        return connection_;
    }

    std::string path_;
    bool singleFile_;
    std::string location_;
    std::shared_ptr<sqlite::Connection> connection_;
};

} // namespace

std::unique_ptr<Database> OpenSqliteDatabase(const std::string& path, bool singleFile)
{
    return std::make_unique<SqliteDatabase>(path, singleFile);
}

} // namespace venqor
