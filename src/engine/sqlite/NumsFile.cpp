#include "engine/sqlite/NumsFile.h"

#include "scan/CodePage.h"
#include "scan/Errors.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace venqor {

namespace {

constexpr const char* createTable
    = "CREATE TABLE NUMS(NUM INTEGER PRIMARY KEY, FAM TEXT, NAM TEXT, OTCH TEXT, "
      "BIRTH DATE, COND TEXT, SEX TEXT, DATMOD DATE)";
// The name index carries the remaining columns too (NUM is in every index), so that a lookup
// by name and birth date is answered from the index alone, without a second descent.
constexpr const char* createIndex
    = "CREATE INDEX NUMS_FAM_NAM_OTCH_BIRTH ON NUMS(FAM, NAM, OTCH, BIRTH, COND, SEX, DATMOD)";

std::string systemError()
{
    return std::strerror(errno);
}

// Writes the file's data to the disk, so that the rename cannot outrun it.
void syncFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0 || ::fsync(fd) != 0) {
        const std::string cause = systemError();
        if (fd >= 0)
            ::close(fd);
        throw IoError(path + ": cannot write to disk (" + cause + ")");
    }
    ::close(fd);
}

} // namespace

NumsFileWriter::NumsFileWriter(const std::string& dir)
    : target_((std::filesystem::path(dir) / "NUMS.DB").string())
{
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec)
        throw IoError(dir + ": cannot create the directory (" + ec.message() + ")");
    // A journal beside the old file would be played into the new one by its next reader.
    for (const char* suffix : { "-journal", "-wal" })
        if (std::filesystem::exists(target_ + suffix))
            throw IoError(target_ + ": the register is in use or was not closed cleanly (" + target_ + suffix
                + " exists)");

    temp_ = target_ + ".tmp-XXXXXX";
    const int fd = ::mkstemp(temp_.data());
    if (fd < 0)
        throw IoError(target_ + ": cannot create a temporary file (" + systemError() + ")");
    // mkstemp makes the file private; the register gets the permissions of a new file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    ::close(fd);
    try {
        open();
    } catch (...) {
        discard();
        throw;
    }
}

void NumsFileWriter::open()
{
    if (sqlite3_open_v2(temp_.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        fail("cannot open the temporary file");
    // The temporary file is thrown away on any failure: no journal, no syncs until the end.
    exec("PRAGMA journal_mode=OFF");
    exec("PRAGMA synchronous=OFF");
    exec("PRAGMA locking_mode=EXCLUSIVE");
    exec("PRAGMA temp_store=MEMORY");
    exec("PRAGMA cache_size=-262144");
    exec("BEGIN");
    exec(createTable);
    if (sqlite3_prepare_v2(
            db_, "INSERT INTO NUMS VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)", -1, &insert_, nullptr)
        != SQLITE_OK)
        fail("cannot prepare the insert");
}

NumsFileWriter::~NumsFileWriter()
{
    if (!committed_)
        discard();
}

void NumsFileWriter::discard()
{
    sqlite3_finalize(insert_);
    insert_ = nullptr;
    sqlite3_close(db_);
    db_ = nullptr;
    std::remove(temp_.c_str());
}

void NumsFileWriter::exec(const char* sql)
{
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(sql);
}

void NumsFileWriter::fail(std::string_view what)
{
    throw TableError(
        target_ + ": " + std::string(what) + " (" + (db_ ? sqlite3_errmsg(db_) : "out of memory") + ")");
}

bool NumsFileWriter::add(const NumsRow& row)
{
    const std::string_view texts[] = { row.fam, row.nam, row.otch, row.cond, row.sex };
    const int textColumns[] = { 2, 3, 4, 6, 7 };
    sqlite3_bind_int64(insert_, 1, row.num);
    for (std::size_t i = 0; i < utf8_.size(); ++i) {
        utf8_[i].clear();
        AppendCp1251AsUtf8(texts[i], utf8_[i]);
        sqlite3_bind_text(
            insert_, textColumns[i], utf8_[i].data(), static_cast<int>(utf8_[i].size()), SQLITE_STATIC);
    }
    const std::pair<int, Date> dates[] = { { 5, row.birth }, { 8, row.datmod } };
    for (const auto& [column, date] : dates) {
        if (date.isZero()) {
            sqlite3_bind_null(insert_, column);
        } else {
            const std::string iso = FormatIso(date);
            sqlite3_bind_text(insert_, column, iso.data(), static_cast<int>(iso.size()), SQLITE_TRANSIENT);
        }
    }
    if (sqlite3_step(insert_) == SQLITE_DONE) {
        sqlite3_reset(insert_);
        return true;
    }
    const bool duplicate = sqlite3_extended_errcode(db_) == SQLITE_CONSTRAINT_PRIMARYKEY;
    sqlite3_reset(insert_);
    if (duplicate)
        return false;
    fail("cannot add number " + std::to_string(row.num));
}

void NumsFileWriter::commit()
{
    exec(createIndex);
    exec("COMMIT");
    sqlite3_finalize(insert_);
    insert_ = nullptr;
    if (sqlite3_close(db_) != SQLITE_OK)
        fail("cannot close the temporary file");
    db_ = nullptr;
    syncFile(temp_);
    if (std::rename(temp_.c_str(), target_.c_str()) != 0)
        throw IoError(target_ + ": cannot put the new register in place (" + systemError() + ")");
    committed_ = true;
    // The rename itself is made durable on a best-effort basis: the new register is in place.
    const std::string dir = std::filesystem::path(target_).parent_path().string();
    const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace venqor
