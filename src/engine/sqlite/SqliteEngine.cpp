#include "engine/sqlite/SqliteEngine.h"

#include "engine/sqlite/SqliteObjects.h"
#include "scan/CodePage.h"
#include "scan/Errors.h"

namespace venqor {

namespace {

class SqliteDatabase final : public Database {
public:
    SqliteDatabase(const std::string& path, bool singleFile)
        : connection_(
            std::make_shared<sqlite::Connection>(singleFile ? "sqlite:" + path : path, path, singleFile))
    {
    }

    const std::string& location() const override { return connection_->location(); }

    std::unique_ptr<Table> table(const std::string& name) override
    {
        return sqlite::MakeTable(connection_, name);
    }

    std::unique_ptr<Query> query() override { return sqlite::MakeQuery(connection_); }

    void execute(std::string_view sql) override { connection_->execute(Cp1251ToUtf8(sql)); }

    std::unique_ptr<TableLoader> load(
        const std::string& name, const std::vector<FieldDef>&, std::string_view, const std::vector<IndexDef>&) override
    {
        throw TableError(connection_->location() + ": loading the table " + name + " is not supported yet");
    }

    void beginRead() override { connection_->beginRead(); }
    void beginWrite() override { connection_->beginWrite(); }
    void commit() override { connection_->commit(); }

private:
    std::shared_ptr<sqlite::Connection> connection_;
};

} // namespace

std::unique_ptr<Database> OpenSqliteDatabase(const std::string& path, bool singleFile)
{
    return std::make_unique<SqliteDatabase>(path, singleFile);
}

} // namespace venqor
