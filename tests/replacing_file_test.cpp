// The one writer that replaces files, and every kind of output written through it: the
// order of its syncs and rename (seen through its file calls), the mode kept, links followed,
// devices and pipes written directly, and nothing left behind by a failure.
#include "base/Errors.h"
#include "base/ReplacingFile.h"

#include "app/Settings.h"
#include "engine/TableEngine.h"
#include "report/ReportText.h"
#include "scan/TextFile.h"
#include "support/FileSizeLimit.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace venqor {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// The file calls of the writer, recorded while the object lives: the calls that matter for
// durability, each with the file it concerns.
class RecordedCalls {
public:
    RecordedCalls()
        : saved_(CurrentFileCalls())
    {
        log_.clear();
        files_.clear();
        FileCalls& calls = CurrentFileCalls();
        calls.makeTemporary = [](char* pattern) {
            const int fd = ::mkstemp(pattern);
            files_[fd] = pattern;
            log_.push_back("create " + files_[fd]);
            return fd;
        };
        calls.open = [](const char* path, int flags) {
            const int fd = ::open(path, flags, 0666);
            files_[fd] = std::string((flags & O_DIRECTORY) ? "directory " : "") + path;
            return fd;
        };
        calls.sync = [](int fd) {
            log_.push_back("sync " + files_[fd]);
            return ::fsync(fd);
        };
        calls.close = [](int fd) {
            log_.push_back("close " + files_[fd]);
            return ::close(fd);
        };
        calls.rename = [](const char* from, const char* to) {
            log_.push_back("rename " + std::string(from) + " -> " + to);
            return ::rename(from, to);
        };
    }
    ~RecordedCalls() { CurrentFileCalls() = saved_; }
    RecordedCalls(const RecordedCalls&) = delete;
    RecordedCalls& operator=(const RecordedCalls&) = delete;

    const std::vector<std::string>& log() const { return log_; }

private:
    static inline std::vector<std::string> log_;
    static inline std::map<int, std::string> files_;
    FileCalls saved_;
};

// The calls that put `target` in place, from the creation of its temporary file to the sync
// of its directory; empty when no temporary file was made for it.
std::vector<std::string> replacement(const std::vector<std::string>& log, const fs::path& target)
{
    const std::string prefix
        = "create " + (target.parent_path() / ("." + target.filename().string())).string();
    const auto created = std::find_if(
        log.begin(), log.end(), [&](const std::string& call) { return call.starts_with(prefix); });
    if (created == log.end())
        return {};
    const std::string temp = created->substr(7);
    std::vector<std::string> calls;
    for (auto call = created; call != log.end(); ++call) {
        if (call->find(temp) != std::string::npos
            || *call == "sync directory " + target.parent_path().string()
            || *call == "close directory " + target.parent_path().string())
            calls.push_back(call->find(temp) == std::string::npos ? *call
                                                                  : call->substr(0, call->find(temp)) + "TEMP"
                        + call->substr(call->find(temp) + temp.size()));
    }
    return calls;
}

TEST(ReplacingFile, EveryKindOfOutputIsSyncedBeforeItsRenameAndItsDirectoryAfter)
{
    TempDir dir;
    const std::vector<FieldDef> fields = { { "NAME", FieldType::Text, 10 }, { "BIRTH", FieldType::Date, 0 } };
    const auto table = [&](const std::string& name) {
        const auto database = OpenDatabase(dir.path().string());
        const auto loader = database->load(name, fields, "", {});
        loader->insert();
        loader->setField(0, std::string_view("Ivanov"));
        loader->post();
        loader->commit();
    };
    struct Case {
        const char* output;
        std::string file;
        std::function<void()> write;
    } cases[] = {
        { "a text file (corrected copy, report)", dir.file("copy.txt"),
            [&] {
                OutTextFile out(dir.path() / "copy.txt");
                out.Write("line");
                out.WriteLineEnd();
                out.Commit();
            } },
        { "a saved report", dir.file("report.txt"),
            [&] { SaveReportText(ReportDocument(), dir.file("report.txt")); } },
        { "the settings file", dir.file("venqor.ini"), [&] { WriteSettings(DefaultMainState(dir.path())); } },
        { "a dBASE table", dir.file("t.dbf"), [&] { table("t.dbf"); } },
        { "a CSV table", dir.file("t.csv"), [&] { table("t.csv"); } },
        { "a SQLite table (the register too)", dir.file("T.DB"), [&] { table("T"); } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.output);
        dir.write(fs::path(c.file).filename().string(), "earlier");
        RecordedCalls calls;
        c.write();
        const std::string folder = dir.path().string();
        EXPECT_EQ(replacement(calls.log(), c.file),
            (std::vector<std::string> { "create TEMP", "sync TEMP", "close TEMP", "rename TEMP -> " + c.file,
                "sync directory " + folder, "close directory " + folder }));
        EXPECT_NE(test::readFile(c.file), "earlier");
    }
}

std::vector<std::string> namesIn(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ReplacingFile, ReplacesOnlyWhenCommittedKeepingTheModeAndTheLink)
{
    TempDir dir;
    const std::string target = dir.write("out.txt", "earlier");
    ::chmod(target.c_str(), 0640);
    fs::create_symlink("out.txt", dir.path() / "link.txt");
    {
        ReplacingFile file(dir.path() / "link.txt");
        file.write("new", 3);
        EXPECT_EQ(file.path().parent_path(), dir.path());
        EXPECT_EQ(test::readFile(target), "earlier");
        // Destroyed without commit(): abandoned.
    }
    EXPECT_EQ(test::readFile(target), "earlier");
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string> { "link.txt", "out.txt" }));

    ReplacingFile file(dir.path() / "link.txt");
    file.write("new", 3);
    file.commit();
    EXPECT_EQ(test::readFile(target), "new");
    EXPECT_TRUE(fs::is_symlink(dir.path() / "link.txt"));
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
        fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string> { "link.txt", "out.txt" }));
}

TEST(ReplacingFile, AFailureLeavesTheEarlierFileAndNoTemporaryFile)
{
    struct Case {
        const char* edge;
        std::function<void(const TempDir&)> write;
    } cases[] = {
        { "a write beyond the disk's room",
            [](const TempDir& dir) {
                const test::FileSizeLimit limit(1000);
                ReplacingFile file(dir.path() / "out.txt");
                const std::string block(600, 'n');
                file.write(block.data(), block.size());
                file.write(block.data(), block.size());
                file.commit();
            } },
        { "a rename that fails",
            [](const TempDir& dir) {
                ReplacingFile file(dir.path() / "out.txt");
                file.write("new", 3);
                const FileCalls saved = CurrentFileCalls();
                CurrentFileCalls().rename = [](const char*, const char*) {
                    errno = EXDEV;
                    return -1;
                };
                try {
                    file.commit();
                } catch (...) {
                    CurrentFileCalls() = saved;
                    throw;
                }
            } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.edge);
        TempDir dir;
        const std::string target = dir.write("out.txt", "earlier");
        try {
            c.write(dir);
            ADD_FAILURE() << "no failure";
        } catch (const IoError& error) {
            EXPECT_NE(std::string(error.what()).find(target), std::string::npos) << error.what();
        }
        EXPECT_EQ(test::readFile(target), "earlier");
        EXPECT_EQ(namesIn(dir.path()), std::vector<std::string> { "out.txt" });
    }
}

TEST(ReplacingFile, APipeIsWrittenDirectlyAndADirectoryIsRefused)
{
    TempDir dir;
    const std::string fifo = dir.file("printer");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = test::readFile(fifo); });
    {
        ReplacingFile file(fifo);
        EXPECT_TRUE(file.direct());
        file.write("page", 4);
        file.commit();
    }
    reader.join();
    EXPECT_EQ(received, "page");
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string> { "printer" });

    EXPECT_THROW(ReplacingFile file(dir.path()), IoError);
    EXPECT_THROW(ReplacingFile file(dir.path() / "missing" / "out.txt"), IoError);
}

TEST(ReplacingFile, ASignalHandlerRemovesTheTemporaryFilesOfOutputsNotInPlace)
{
    TempDir dir;
    for (int i = 0; i < 100; ++i) { // outputs put in place, and abandoned, are forgotten
        ReplacingFile done(dir.path() / ("done" + std::to_string(i)));
        if (i % 2 == 0)
            done.commit();
    }
    for (int i = 0; i < 100; i += 2)
        fs::remove(dir.path() / ("done" + std::to_string(i)));
    dir.write("out.txt", "earlier");
    ReplacingFile first(dir.path() / "out.txt");
    ReplacingFile second(dir.path() / "other.txt");
    EXPECT_EQ(namesIn(dir.path()).size(), 3u);
    RemoveTemporaryFiles();
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string> { "out.txt" });
    EXPECT_EQ(test::readFile(dir.file("out.txt")), "earlier");
}

} // namespace
} // namespace venqor
