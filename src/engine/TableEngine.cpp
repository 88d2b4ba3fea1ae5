#include "engine/TableEngine.h"

#include "base/Errors.h"
#include "base/FileNames.h"
#include "engine/csv/CsvEngine.h"
#include "engine/dbf/DbfEngine.h"
#include "engine/pg/PgEngine.h"
#include "engine/sqlite/SqliteEngine.h"

namespace venqor {

namespace {

// A directory: tables named *.dbf are dBASE files, *.csv CSV files, and every other name,
// the queries and the transactions belong to the SQLite files of the directory.
class DirectoryDatabase final : public Database {
public:
    explicit DirectoryDatabase(const std::string& directory)
        : directory_(directory)
        , sqlite_(OpenSqliteDatabase(directory, false))
    {
    }

    const std::string& location() const override { return sqlite_->location(); }

    std::unique_ptr<Table> table(const std::string& name) override
    {
        if (IsDbfName(name))
            return MakeDbfTable(directory_, name);
        if (IsCsvName(name))
            throw TableError(name + ": a CSV table is only written, as a whole, by a load");
        return sqlite_->table(name);
    }

    std::unique_ptr<Query> query() override { return sqlite_->query(); }
    void execute(std::string_view sql) override { sqlite_->execute(sql); }

    std::unique_ptr<TableLoader> load(const std::string& name, const std::vector<FieldDef>& fields,
        std::string_view primaryKey, const std::vector<IndexDef>& indexes) override
    {
        const bool dbf = IsDbfName(name);
        if (!dbf && !IsCsvName(name))
            return sqlite_->load(name, fields, primaryKey, indexes);
        if (!primaryKey.empty() || !indexes.empty())
            throw TableError(name + ": " + (dbf ? "dBASE" : "CSV") + " tables have no indexes");
        return dbf ? LoadDbfTable(directory_, name, fields) : LoadCsvTable(directory_, name, fields);
    }

    void beginRead() override { sqlite_->beginRead(); }
    void beginWrite() override { sqlite_->beginWrite(); }
    void commit() override { sqlite_->commit(); }

private:
    std::string directory_;
    std::unique_ptr<Database> sqlite_;
};

} // namespace

std::unique_ptr<Database> OpenDatabase(const std::string& location)
{
    switch (KindOfLocation(location)) {
    case LocationKind::Postgres:
        return OpenPgDatabase(location);
    case LocationKind::SqliteFile:
        return OpenSqliteDatabase(std::string(SqliteFileOf(location)), true);
    case LocationKind::Directory:
        break;
    }
    return std::make_unique<DirectoryDatabase>(location);
}

std::filesystem::path TableFilePath(const std::filesystem::path& directory, const std::string& name)
{
    const bool named = IsDbfName(name) || IsCsvName(name);
    return FileInAnyLatinCase(directory, named ? name : name + ".DB");
}

std::unique_ptr<TableFileReader> ReadTableFile(const std::string& path)
{
    if (!IsDbfName(path))
        throw TableError(path + ": only dBASE files (.dbf) are read as table files");
    return ReadDbfFile(path);
}

std::size_t MaxFieldNameLength(std::string_view tableName)
{
    return IsDbfName(tableName) ? DbfFieldNameLength : 0;
}

} // namespace venqor
