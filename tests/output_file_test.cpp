// The corrected copies of the number assignment and the address correction: outputs that
// are inputs or cannot be written are refused before anything is written; a run whose
// output fails half way leaves an earlier file as it was.
#include "commands/AddressCorrection.h"
#include "commands/NumberAssignment.h"

#include "base/CodePage.h"
#include "base/Errors.h"
#include "register/RegisterImport.h"
#include "run/OutputFile.h"
#include "support/CommandRun.h"
#include "support/FileSizeLimit.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace venqor {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

constexpr std::string_view Schema = test::EveryFieldSchema;

std::string record(int i)
{
    std::string line = Utf8ToCp1251("О11223344595ИВАНОВ    ИВАН      ИВАНОВИЧ  1950-03-15М,600000,ул Мира");
    line += std::to_string(i);
    line.resize(96, ' ');
    return line;
}

struct Command {
    const char* name;
    RunResult (*run)(TMainState&, RunHost&);
};
const Command Commands[] = { { "assign", AssignNumbers }, { "fix-addresses", CorrectAddresses } };

class OutputRun : public test::CommandRun {
public:
    explicit OutputRun(int records = 3)
        : CommandRun(Schema)
    {
        ImportRegister(
            dir.write("register.csv", "NUM,FAM,NAM,OTCH,BIRTH\n112233445,A,B,C,\n"), registerDir());
        dir.write("venqor.ini", "[Init]\r\n");
        dir.write("ANKT.DB", "");
        std::string data;
        for (int i = 0; i < records; ++i)
            data += record(i) + "\r\n";
        state.dataFile = dir.write("DATA.TXT", data);
    }

    RunResult run(const Command& command, const fs::path& output)
    {
        host.saveFile = output;
        return result = command.run(state, host);
    }
};

TEST(CorrectedCopy, AnOutputThatIsAnInputOrCannotBeWrittenIsRefusedBeforeAnythingIsWritten)
{
    struct Case {
        const char* name;
        std::function<fs::path(OutputRun&)> output;
        std::string message;
    } cases[] = {
        { "the data file", [](OutputRun& r) { return r.dir.path() / "DATA.TXT"; },
            "Файл результата совпадает с исходным файлом" },
        { "the data file spelled otherwise",
            [](OutputRun& r) { return r.dir.path() / "reg" / ".." / "DATA.TXT"; },
            "Файл результата совпадает с исходным файлом" },
        { "a link to the data file",
            [](OutputRun& r) {
                fs::create_symlink(r.dir.path() / "DATA.TXT", r.dir.path() / "link.txt");
                return r.dir.path() / "link.txt";
            },
            "Файл результата совпадает с исходным файлом" },
        { "a hard link to the data file",
            [](OutputRun& r) {
                fs::create_hard_link(r.dir.path() / "DATA.TXT", r.dir.path() / "hard.txt");
                return r.dir.path() / "hard.txt";
            },
            "Файл результата совпадает с исходным файлом" },
        { "the schema", [](OutputRun& r) { return r.dir.path() / "TEST.SCH"; },
            "Файл результата совпадает с файлом схемы \"" },
        { "the settings file", [](OutputRun& r) { return r.dir.path() / "venqor.ini"; },
            "Файл результата совпадает с файлом настроек \"" },
        { "ANKT", [](OutputRun& r) { return r.dir.path() / "ANKT.DB"; },
            "Файл результата совпадает с таблицей ANKT \"" },
        { "the register", [](OutputRun& r) { return r.dir.path() / "reg" / "NUMS.DB"; },
            "Файл результата совпадает с реестром NUMS \"" },
        { "the register named as one SQLite file",
            [](OutputRun& r) {
                r.state.registerLocation = "sqlite:" + r.dir.file("reg/NUMS.DB");
                return r.dir.path() / "reg" / "NUMS.DB";
            },
            "Файл результата совпадает с реестром NUMS \"" },
        { "a directory", [](OutputRun& r) { return r.dir.path() / "reg"; },
            "Файл результата является папкой: \"" },
        { "a missing directory", [](OutputRun& r) { return r.dir.path() / "none" / "OUT.TXT"; },
            "Нет папки для файла результата: \"" },
        { "a read-only file",
            [](OutputRun& r) {
                r.dir.write("OUT.TXT", "earlier");
                fs::permissions(r.dir.path() / "OUT.TXT", fs::perms::owner_read | fs::perms::group_read);
                return r.dir.path() / "OUT.TXT";
            },
            "Файл результата защищён от записи: \"" },
    };
    for (const Command& command : Commands) {
        for (const Case& c : cases) {
            OutputRun run;
            const std::string label = std::string(command.name) + ": " + c.name;
            const fs::path output = c.output(run);
            const std::string data = run.data();
            const auto filesBefore = run.files();
            EXPECT_FALSE(run.run(command, output).started) << label;
            ASSERT_EQ(run.host.messages.size(), 1u) << label;
            EXPECT_TRUE(Cp1251ToUtf8(run.host.messages[0]).starts_with(c.message))
                << label << "\n"
                << Cp1251ToUtf8(run.host.messages[0]);
            EXPECT_TRUE(run.host.report.lines().empty()) << label;
            EXPECT_EQ(run.data(), data) << label;
            EXPECT_EQ(run.files(), filesBefore) << label;
        }
    }
}

TEST(CorrectedCopy, AnOutputThatFailsHalfWayLeavesTheEarlierFileAsItWas)
{
    // 2000 records fill the output's buffer several times over: the failure comes in the
    // middle of the loop; 3 records fail only when the output is completed.
    for (const int records : { 2000, 3 }) {
        for (const Command& command : Commands) {
            OutputRun run(records);
            const std::string label = std::string(command.name) + ", " + std::to_string(records) + " records";
            run.dir.write("OUT.TXT", "earlier output\r\n");
            const auto filesBefore = run.files();
            RunResult result;
            {
                const test::FileSizeLimit limit(100); // writes beyond fail, as on a full disk
                result = run.run(command, run.dir.path() / "OUT.TXT");
            }
            EXPECT_TRUE(result.started) << label;
            EXPECT_EQ(test::readFile(run.dir.file("OUT.TXT")), "earlier output\r\n") << label;
            EXPECT_EQ(run.files(), filesBefore) << label; // no temporary file left behind
            ASSERT_EQ(result.shortfalls.size(), 1u) << label;
            const std::string shortfall = Cp1251ToUtf8(result.shortfalls[0]);
            EXPECT_TRUE(shortfall.starts_with("Файл результата не записан: ")) << label << "\n" << shortfall;
            EXPECT_NE(shortfall.find("OUT.TXT"), std::string::npos) << shortfall;
            const auto report = run.host.reportLines();
            EXPECT_NE(std::find(report.begin(), report.end(), shortfall), report.end()) << label;
            // The run went on to its end.
            EXPECT_EQ(std::count_if(report.begin(), report.end(),
                          [&](const std::string& l) {
                              return l.starts_with("Прочитано " + std::to_string(records) + " строк,");
                          }),
                1)
                << label;
        }
    }
}

TEST(CorrectedCopy, ADataFileThatCannotBeReadLeavesTheEarlierFileAsItWas)
{
    // Reading this file fails at its first byte, when the run opens it.
    for (const Command& command : Commands) {
        OutputRun run;
        run.state.dataFile = "/proc/self/mem";
        run.dir.write("OUT.TXT", "earlier output\r\n");
        const auto filesBefore = run.files();
        EXPECT_THROW(run.run(command, run.dir.path() / "OUT.TXT"), IoError) << command.name;
        EXPECT_EQ(test::readFile(run.dir.file("OUT.TXT")), "earlier output\r\n") << command.name;
        EXPECT_EQ(run.files(), filesBefore) << command.name;
        EXPECT_FALSE(run.state.Running);
    }
}

TEST(CorrectedCopy, ADeviceOrAPipeIsWrittenDirectly)
{
    for (const Command& command : Commands) {
        OutputRun run;
        const RunResult result = run.run(command, "/dev/null");
        EXPECT_TRUE(result.started) << command.name;
        EXPECT_TRUE(result.shortfalls.empty()) << command.name;
        EXPECT_TRUE(fs::is_character_file("/dev/null"));

        // A pipe with a reader already there: the output goes into it, the pipe stays.
        const fs::path pipe = run.dir.path() / "pipe";
        ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
        const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
        ASSERT_GE(reader, 0);
        run.host.messages.clear();
        EXPECT_TRUE(run.run(command, pipe).shortfalls.empty()) << command.name;
        char bytes[4096];
        const ssize_t n = ::read(reader, bytes, sizeof bytes);
        ::close(reader);
        EXPECT_EQ(n, 3 * (96 + 2)) << command.name;
        EXPECT_TRUE(fs::is_fifo(pipe)) << command.name;
    }
}

TEST(CorrectedCopy, AnOutputThroughALinkReplacesTheFileItNames)
{
    OutputRun run;
    fs::create_directory(run.dir.path() / "out");
    run.dir.write("out/real.txt", "earlier");
    fs::create_symlink(run.dir.path() / "out" / "real.txt", run.dir.path() / "link.txt");
    ASSERT_TRUE(run.run(Commands[1], run.dir.path() / "link.txt").started);
    EXPECT_TRUE(fs::is_symlink(run.dir.path() / "link.txt"));
    EXPECT_EQ(test::readFile(run.dir.file("out/real.txt")).size(), 3 * (96 + 2u));
}

TEST(OutputProblem, AnOutputBesideTheInputsIsFine)
{
    OutputRun run;
    EXPECT_EQ(OutputProblem(run.dir.path() / "new.txt", run.state), std::nullopt);
    EXPECT_EQ(OutputProblem("/dev/null", run.state), std::nullopt);
    run.dir.write("old.txt", "x");
    EXPECT_EQ(OutputProblem(run.dir.path() / "old.txt", run.state), std::nullopt);
}

} // namespace
} // namespace venqor
