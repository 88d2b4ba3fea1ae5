#include "base/Errors.h"
#include "scan/TextFile.h"
#include "support/FileSizeLimit.h"
#include "support/ScanFixtures.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace venqor {
namespace {

using test::ChunkedSource;
using test::readFile;
using test::StringSink;
using test::TempDir;

// What the text file rules make of a byte stream: each step of Eof / Eoln / ReadByte /
// SkipLineEnd written as a letter, so that a whole walk is compared at once.
//   'E' end of file, '|' end of line (then SkipLineEnd), a byte as itself otherwise.
std::string walk(const std::string& bytes, std::size_t chunk)
{
    InTextFile file(std::make_unique<ChunkedSource>(bytes, chunk), "walk.txt");
    std::string steps;
    for (int guard = 0; guard < 1000; ++guard) {
        if (file.Eof()) {
            steps += 'E';
            return steps;
        }
        if (file.Eoln()) {
            steps += '|';
            file.SkipLineEnd();
        } else {
            steps += file.ReadByte();
        }
    }
    return steps + "...";
}

TEST(InTextFile, EndOfFileAndEndOfLineRules)
{
    const struct Case {
        const char* name;
        std::string bytes, steps;
    } cases[] = {
        { "empty", "", "E" },
        { "crlf", "a\r\nb\r\n", "a|b|E" },
        { "no final line end", "a\r\nb", "a|bE" },
        { "lone cr", "a\rb", "a|bE" },
        { "lone lf is a byte", "a\nb", "a\nbE" },
        { "only one lf is skipped", "a\r\n\nb", "a|\nbE" },
        { "lf cr", "a\n\rb", "a\n|bE" },
        { "ctrl-z mid-file",
            "ab\x1A"
            "cd",
            "abE" },
        { "ctrl-z first",
            "\x1A"
            "ab",
            "E" },
        { "ctrl-z after cr", "a\r\x1A\n", "a|E" },
        { "nul bytes are data", std::string("a\0\r\n\0", 5), std::string("a\0|\0E", 5) },
    };
    for (const Case& c : cases)
        for (const std::size_t chunk : { std::size_t { 1 }, std::size_t { 2 }, std::size_t { 1 } << 20 })
            EXPECT_EQ(walk(c.bytes, chunk), c.steps) << c.name << ", chunks of " << chunk;
}

TEST(InTextFile, SkipLineEndConsumesTheRestOfTheLine)
{
    InTextFile file(MemorySource("abc\r\ndef"), "data.txt");
    file.SkipLineEnd();
    EXPECT_EQ(file.ReadByte(), 'd');
}

TEST(InTextFile, BufferedBlocks)
{
    InTextFile file(std::make_unique<ChunkedSource>("abcdef", 4), "data.txt");
    EXPECT_TRUE(file.buffered().empty());
    ASSERT_TRUE(file.fill());
    EXPECT_EQ(file.buffered(), "abcd");
    file.consume(3);
    EXPECT_EQ(file.buffered(), "d");
    EXPECT_TRUE(file.fill()); // bytes still buffered: nothing read
    EXPECT_EQ(file.buffered(), "d");
    file.consume(1);
    ASSERT_TRUE(file.fill());
    EXPECT_EQ(file.buffered(), "ef");
    file.consume(2);
    EXPECT_FALSE(file.fill());
    EXPECT_TRUE(file.Eof());
}

TEST(InTextFile, ReadsAFileLargerThanOneBlock)
{
    TempDir dir;
    std::string bytes;
    for (std::size_t i = 0; bytes.size() < 3 * InTextFile::BlockSize; ++i)
        bytes += std::to_string(i) + "\r\n";
    const std::string path = dir.write("big.txt", bytes);
    EXPECT_EQ(FileSize(path), bytes.size());
    InTextFile file(path);
    std::string read;
    while (!file.Eof())
        read += file.ReadByte();
    EXPECT_EQ(read, bytes);
}

TEST(InTextFile, MissingOrUnreadableFilesNameThePath)
{
    TempDir dir;
    const std::string missing = dir.file("missing.txt");
    for (const std::string& path : { missing, dir.path().string() }) {
        try {
            InTextFile file(path);
            ADD_FAILURE() << "opened " << path;
        } catch (const IoError& e) {
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        }
        try {
            FileSize(path);
            ADD_FAILURE() << "size of " << path;
        } catch (const IoError& e) {
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        }
    }
}

TEST(OutTextFile, WritesLinesWithCrLf)
{
    TempDir dir;
    const std::string path = dir.file("out.txt");
    OutTextFile file(path);
    file.Write("ab");
    file.WriteLineEnd();
    file.Write('c');
    file.Write(std::string(200000, 'x')); // larger than the buffer
    file.WriteLineEnd();
    file.Commit();
    EXPECT_EQ(readFile(path), "ab\r\nc" + std::string(200000, 'x') + "\r\n");
}

// A sink that fails after N bytes: the failure names the file, wherever it happens.
TEST(OutTextFile, FailingSinkNamesTheFile)
{
    const struct Case {
        const char* name;
        std::size_t failAfter;
        bool failClose;
        std::size_t written; // bytes before the failure
    } cases[] = {
        { "fails on the first write", 0, false, 0 },
        { "fails inside a later block", 100000, false, 100000 },
        { "fails at close", std::string::npos, true, 300000 },
    };
    for (const Case& c : cases) {
        std::string out;
        bool failed = false;
        try {
            OutTextFile file(std::make_unique<StringSink>(out, c.failAfter, c.failClose), "REPORT.TXT");
            for (int i = 0; i < 3000; ++i)
                file.Write(std::string(100, 'z'));
            file.Commit();
        } catch (const IoError& e) {
            failed = true;
            EXPECT_NE(std::string(e.what()).find("\"REPORT.TXT\""), std::string::npos)
                << c.name << ": " << e.what();
        }
        EXPECT_TRUE(failed) << c.name;
        EXPECT_EQ(out.size(), c.written) << c.name;
    }
}

TEST(OutTextFile, KeepsTheEarlierFileUntilCommit)
{
    TempDir dir;
    const std::string path = dir.write("out.txt", "earlier");
    ::chmod(path.c_str(), 0640);
    {
        OutTextFile file(path);
        file.Write(std::string(100000, 'n'));
        EXPECT_EQ(readFile(path), "earlier");
        // Destroyed without Commit: abandoned.
    }
    EXPECT_EQ(readFile(path), "earlier");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

    {
        OutTextFile file(path);
        file.Write("new");
        file.Commit();
    }
    EXPECT_EQ(readFile(path), "new");
    EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
        std::filesystem::perms::owner_read | std::filesystem::perms::owner_write
            | std::filesystem::perms::group_read);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

using test::FileSizeLimit;

TEST(OutTextFile, KeepsTheEarlierFileAfterAWriteFailure)
{
    TempDir dir;
    const std::string path = dir.write("out.txt", "earlier");
    std::string message;
    {
        const FileSizeLimit limit(1000);
        try {
            OutTextFile file(path);
            file.Write(std::string(500, 'n'));
            file.WriteLineEnd();
            file.Write(std::string(600, 'n'));
            file.Commit();
        } catch (const IoError& e) {
            message = e.what();
        }
    }
    EXPECT_NE(message.find("\"" + path + "\""), std::string::npos) << message;
    EXPECT_EQ(readFile(path), "earlier");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(OutTextFile, CannotCreateNamesTheFile)
{
    TempDir dir;
    const std::string path = dir.file("no-such-dir/out.txt");
    try {
        OutTextFile file(path);
        ADD_FAILURE() << "created " << path;
    } catch (const IoError& e) {
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
}

} // namespace
} // namespace venqor
