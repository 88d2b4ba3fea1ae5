#pragma once

#include "base/Dates.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace venqor {

// The table engine: tables and parameterised queries in a database, behind one small
// interface with implementations for SQLite (the default), PostgreSQL, dBASE and CSV files.
//
// Texts cross this interface in Windows-1251; the databases hold UTF-8, and so do the
// messages of failures, like every message of the program. Every failure is a
// TableError whose message names the table (or the location) and the cause.

enum class FieldType { Text, Integer, Float, Date };

struct FieldDef {
    std::string name;
    FieldType type = FieldType::Text;
    // Width of a text field; of a float field, the longest text it is given (0: unknown),
    // which a dBASE file sizes its number field by; ignored for the other types.
    int size = 0;
};

// Reading the current record of a table or query. Field names are matched without regard
// to Latin case; resolve a name once with fieldIndex() and read by index on hot paths.
class RecordReader {
public:
    virtual ~RecordReader() = default;

    // Index of a field of the current result, or TableError when there is no such field.
    virtual int fieldIndex(std::string_view name) const = 0;
    // Text without trailing blanks; a date field reads as dd.mm.yyyy ("" when empty). Valid
    // until the next lookup or the next read of the same field.
    virtual std::string_view fieldText(int index) = 0;
    // An empty (NULL) date reads as the zero date value.
    virtual Date fieldDate(int index) = 0;
    virtual std::int64_t fieldInt(int index) = 0;

    std::string_view fieldText(std::string_view name) { return fieldText(fieldIndex(name)); }
    Date fieldDate(std::string_view name) { return fieldDate(fieldIndex(name)); }
    std::int64_t fieldInt(std::string_view name) { return fieldInt(fieldIndex(name)); }
};

// The two kinds of register lookup: by the number (a table's one-field index, or a query's
// parameter :NUM), and by names and birth date (the index FAM;NAM;OTCH;BIRTH, or the
// parameters :FAM, :NAM, :OTCH and :BIRTH).
enum class LookupKind { ByNumber, ByNameBirth };

// The key of one lookup; the fields of the other kind are unused.
struct LookupKey {
    std::int64_t number = 0;
    std::string fam, nam, otch; // Windows-1251
    Date birth = ZeroDate;
};

// What one lookup of a block found: a record, none, or its own failure.
struct LookupAnswer {
    bool found = false;
    std::exception_ptr failure;
};

// Lookups of a block of keys at once, through a table's current index or a prepared query,
// in the order or the number of round trips that suits the engine. Each key is looked up as
// a single findKey() or open() would look it up and fails alone; the records found are kept,
// to be read afterwards in any order. Made by the table or query whose lookups it makes,
// which must outlive it; its kept records need neither while they are read.
//
// One find of a block has one ticket, taken (nextTicket) on the thread that will help before
// the find is started on any thread: find() and help() with that ticket then share its
// lookups, and nothing else tells them apart from the finds before and after.
class BlockLookup : public RecordReader {
public:
    struct Ticket {
        std::uint64_t find = 0; // numbered from 1 over the life of the object
    };
    // The ticket of the next find(); taken by one thread only.
    Ticket nextTicket() { return { ++tickets_ }; }
    // Looks up every key, answers[i] for keys[i]; the records of an earlier find are dropped.
    virtual void find(Ticket ticket, std::span<const LookupKey> keys, std::vector<LookupAnswer>& answers) = 0;
    // Takes part, on the calling thread, in the lookups of the find of `ticket`, begun or
    // about to begin on another thread, or made already; returns when no part of them is
    // left to take. A find() may leave lookups to this call, which must be made before that
    // find's answers are read; a ticket whose find never starts must not be helped.
    virtual void help(Ticket ticket) { (void)ticket; }
    // Makes the record found for keys[i] current.
    virtual void select(std::size_t i) = 0;
    // The most keys one find() should be given, for the memory its records take.
    virtual std::size_t maxKeys() const { return static_cast<std::size_t>(-1); }

private:
    std::uint64_t tickets_ = 0;
};

// A table object: open/close, index choice and key lookups, definitions and creation,
// and appending records.
class Table : public RecordReader {
public:
    virtual const std::string& name() const = 0;

    virtual void open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // "" selects the primary index; otherwise a field list such as "FAM;NAM;OTCH;BIRTH".
    // TableError when the table has no such index.
    virtual void setIndexFields(std::string_view fields) = 0;
    // Lookups in the index chosen by setIndexFields (TableError before one is chosen, or
    // when its fields do not take such a key); on true the found record is current.
    virtual bool findKey(std::int64_t key) = 0;
    virtual bool findKey(std::string_view fam, std::string_view nam, std::string_view otch, Date birth) = 0;
    // Block lookups of one kind in the index chosen, or nullptr where the engine makes
    // lookups one at a time only.
    virtual std::unique_ptr<BlockLookup> blockLookup(LookupKind) { return nullptr; }

    // Creates the table from its definitions, replacing an existing table of that name.
    // primaryKey names the field of a unique primary index, or is empty for none. The table
    // is left closed: open() it to add records.
    virtual void create(const std::vector<FieldDef>& fields, std::string_view primaryKey) = 0;
    // The same, unless a table of that name exists, which is then left as it is with its
    // records. Where the engine has transactions, two callers at once make the table once.
    virtual void createIfMissing(const std::vector<FieldDef>& fields, std::string_view primaryKey)
    {
        try {
            open();
            close();
        } catch (const std::exception&) {
            create(fields, primaryKey);
        }
    }
    virtual int fieldCount() const = 0;

    // A pending record: insert, set its fields, then post (TableError on a refused record,
    // a duplicate key among them) or cancel. A text that a numeric field cannot take, or
    // a date text that is no dd.mm.yyyy date, is refused at once by setField.
    virtual void insert() = 0;
    virtual void setField(int index, std::string_view text) = 0;
    virtual void setField(int index, std::int64_t value) = 0;
    virtual void setField(int index, Date value) = 0;
    virtual void post() = 0;
    virtual void cancel() = 0;

    // Index of a field by name, for setField (the table must be open).
    int fieldIndex(std::string_view name) const override = 0;
};

// A new table, filled row by row, that takes the place of any table of its name only when
// commit() has run: until then readers see the earlier table (or none), and a loader
// destroyed without commit() leaves everything as it was. Used to build the register and
// the conversion's tables.
class TableLoader {
public:
    virtual ~TableLoader() = default;

    // A pending row: insert, set its fields by their index in the definitions, then post
    // or cancel. A text that a numeric or date field cannot take is refused at once by
    // setField (ConvertError or TableError); the caller then cancels the row.
    virtual void insert() = 0;
    virtual void setField(int index, std::string_view text) = 0;
    virtual void setField(int index, std::int64_t value) = 0;
    virtual void setField(int index, Date value) = 0;
    // False, with the row dropped, when a row of the same primary key is already there;
    // TableError for any other refusal.
    virtual bool post() = 0;
    virtual void cancel() = 0;

    // Builds the indexes and puts the new table in place of the old one.
    virtual void commit() = 0;
};

// A field of a table file as the file declares it, for an import that reads the file.
struct StoredField {
    std::string name;
    char type = 'C'; // the file's type letter (dBASE: C, N, F, D, L, M, ...)
};

// A table file read from its first record to its last in the order of the file, as an
// import reads it. The file is only read.
class TableFileReader {
public:
    virtual ~TableFileReader() = default;

    virtual const std::vector<StoredField>& fields() const = 0;
    // Makes the next record that is not marked deleted current; false at the end.
    virtual bool next() = 0;
    // Field `index` of the current record as stored, in Windows-1251: a text without
    // trailing blanks, any other field without blanks around it (a dBASE date as YYYYMMDD).
    // ConvertError when the text holds a character that Windows-1251 lacks.
    virtual std::string_view storedText(int index) = 0;
    // Records passed so far (deleted ones too), and in all.
    virtual std::int64_t position() const = 0;
    virtual std::int64_t recordCount() const = 0;
};

// An index of a loaded table, besides its primary key: its key fields, and further fields
// it carries so that a lookup by its key is answered from the index alone (an SQLite index
// takes them as its last key fields).
struct IndexDef {
    std::string name;
    std::vector<std::string> fields;
    std::vector<std::string> included = {};
};

// A parameterised statement with named parameters (:NAME), prepared once and re-run with
// new parameter values; the first row of its result is current after open(). A query only
// reads: where the engine can tell, a statement that would write, change a setting or attach
// a file is refused by open() (a TableError), before it runs.
class Query : public RecordReader {
public:
    virtual void setSql(std::string_view sql) = 0;
    virtual void prepare() = 0;
    virtual void setParam(std::string_view name, std::int64_t value) = 0;
    virtual void setParam(std::string_view name, std::string_view text) = 0;
    virtual void setParam(std::string_view name, Date value) = 0;
    virtual void open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // True when there is no current row (right after open(): the result is empty).
    virtual bool eof() const = 0;
    // Block lookups of one kind through the prepared statement, or nullptr where the engine
    // runs it once at a time only.
    virtual std::unique_ptr<BlockLookup> blockLookup(LookupKind) { return nullptr; }
};

// One lookup of a key of one kind through a table's current index; on true the found
// record is current.
inline bool FindKey(Table& table, LookupKind kind, const LookupKey& key)
{
    return kind == LookupKind::ByNumber ? table.findKey(key.number)
                                        : table.findKey(key.fam, key.nam, key.otch, key.birth);
}

// Sets the parameters of a query for a lookup of one kind (see LookupKind).
inline void SetLookupParams(Query& query, LookupKind kind, const LookupKey& key)
{
    if (kind == LookupKind::ByNumber) {
        query.setParam("NUM", key.number);
    } else {
        query.setParam("FAM", key.fam);
        query.setParam("NAM", key.nam);
        query.setParam("OTCH", key.otch);
        query.setParam("BIRTH", key.birth);
    }
}

// A database location: a directory of NAME.DB SQLite files (and NAME.dbf, NAME.csv files),
// "sqlite:PATH" naming one SQLite file, or a "postgresql://..." connection URI.
class Database {
public:
    virtual ~Database() = default;
    virtual const std::string& location() const = 0;

    // A table object for a name; see OpenDatabase for the formats a name chooses.
    virtual std::unique_ptr<Table> table(const std::string& name) = 0;
    virtual std::unique_ptr<Query> query() = 0;
    // Runs statements without parameters or result (schema changes, imports, test set-up).
    virtual void execute(std::string_view sql) = 0;

    // A new table `name` with these fields, a unique primary key on the field
    // `primaryKey` (none when empty) and further indexes, built aside and put in place of
    // any table of that name by TableLoader::commit().
    virtual std::unique_ptr<TableLoader> load(const std::string& name, const std::vector<FieldDef>& fields,
        std::string_view primaryKey, const std::vector<IndexDef>& indexes)
        = 0;

    // A read transaction around a whole run's lookups (one lock, one snapshot).
    virtual void beginRead() = 0;
    // One write transaction around a run's inserts, with a savepoint per record so that a
    // refused record is dropped alone (Table::post runs under its own savepoint).
    virtual void beginWrite() = 0;
    virtual void commit() = 0;
};

// What a database location names: a directory of table files, "sqlite:PATH" one SQLite file,
// or a "postgresql://..." (or "postgres://...") connection URI.
enum class LocationKind { Directory, SqliteFile, Postgres };
inline LocationKind KindOfLocation(std::string_view location)
{
    if (location.starts_with("postgresql://") || location.starts_with("postgres://"))
        return LocationKind::Postgres;
    return location.starts_with("sqlite:") ? LocationKind::SqliteFile : LocationKind::Directory;
}
// The file of a "sqlite:PATH" location.
inline std::string_view SqliteFileOf(std::string_view location)
{
    return location.substr(7);
}

// The file a table of the directory `directory` is kept in: NAME.dbf and NAME.csv as
// named, any other name the SQLite file NAME.DB; an existing file whose name differs only in
// Latin case is taken for it, as the engines take it.
std::filesystem::path TableFilePath(const std::filesystem::path& directory, const std::string& name);

// Opens a location; TableError when it names nothing usable. In a directory, a table name
// ending in .dbf (any case) is a dBASE file and one ending in .csv a CSV file (UTF-8, a
// header row of the field names, RFC 4180 quoting, dates dd.mm.yyyy; written by load()
// only); any other name is the default format.
// A directory that does not exist is refused on first use instead, so that load() can
// make it.
std::unique_ptr<Database> OpenDatabase(const std::string& location);

// Opens a table file (a dBASE file) to read its records in file order; TableError naming
// it when it cannot be read or its header is damaged.
std::unique_ptr<TableFileReader> ReadTableFile(const std::string& path);

// The longest field name a table of this name can hold (10 for a dBASE file), or 0 when
// the format sets no limit.
std::size_t MaxFieldNameLength(std::string_view tableName);

} // namespace venqor
