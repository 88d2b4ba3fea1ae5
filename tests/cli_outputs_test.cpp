// What venqor-cli writes, tried as a careless or unlucky user would: every output that may
// not be written is refused before anything runs, and an output that fails half way (a full
// disk) or is stopped (Ctrl-C) leaves the earlier file as it was and no temporary file.
#include "base/CodePage.h"
#include "support/FileSizeLimit.h"
#include "support/RunCli.h"
#include "support/Samples.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace venqor {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// A program directory (VENQOR_HOME) with the sample schemas, the sample register in reg/
// named by venqor.ini, a copy of the sample data file and a saved report.
class Home {
public:
    Home()
    {
        for (const char* schema : { "EDV4.SCH", "FOMS.SCH" })
            fs::copy_file(test::SourceFile(std::string("samples/") + schema), dir.path() / schema);
        fs::copy_file(test::SourceFile("samples/sample-edv4.txt"), dir.path() / "data.txt");
        EXPECT_EQ(
            run({ "register", "import", test::SourceFile("samples/register.csv"), dir.file("reg") }).status,
            0);
        dir.write("venqor.ini", "[Init]\r\nNUMS=" + dir.file("reg") + "\r\n");
        std::string report;
        for (int i = 1; i <= 100; ++i)
            report += Utf8ToCp1251("Строка отчета ") + std::to_string(i) + "\r\n";
        dir.write("report.txt", report);
    }

    // Runs venqor-cli with `args`, where HOME/ stands for the directory.
    test::CliOutcome run(std::vector<std::string> args) const
    {
        for (std::string& a : args)
            if (const std::size_t at = a.find("HOME/"); at != std::string::npos)
                a.replace(at, 5, dir.file(""));
        return test::runCli(logs, args, { "VENQOR_HOME=" + dir.path().string() });
    }

    // Every file below the directory with its bytes and mode, links as links.
    std::map<std::string, std::string> snapshot() const
    {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(dir.path())) {
            const std::string name = fs::relative(entry.path(), dir.path()).string();
            if (entry.is_symlink())
                files[name] = "-> " + fs::read_symlink(entry.path()).string();
            else if (entry.is_regular_file())
                files[name] = test::readFile(entry.path().string()) + " mode "
                    + std::to_string(static_cast<int>(entry.status().permissions()));
        }
        return files;
    }

    // Names of temporary files left in the directory.
    std::vector<std::string> temporaries() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
            if (entry.path().filename().string().find(".venqor-") != std::string::npos)
                names.push_back(entry.path().filename().string());
        return names;
    }

    TempDir dir;
    TempDir logs;
};

TEST(CliOutputs, EachOutputThatMayNotBeWrittenIsRefusedBeforeAnythingRuns)
{
    struct Case {
        const char* edge;
        std::vector<std::string> args;
        int status;
        const char* inErr;
        std::function<void(const Home&)> before = {};
    } cases[] = {
        { "the data file as the engine names the table",
            { "convert", "HOME/list.DB", "--table", "HOME/LIST" }, 1,
            "Файл результата совпадает с исходным файлом",
            [](const Home& h) { fs::copy_file(h.dir.path() / "data.txt", h.dir.path() / "list.DB"); } },
        { "a CSV table named again as the report",
            { "convert", "HOME/data.txt", "--table", "HOME/t.csv", "--report", "HOME/t.csv" }, 1,
            "Файл результата назван дважды" },
        { "a dBASE table named again as the report",
            { "convert", "HOME/data.txt", "--table", "HOME/t.dbf", "--report", "HOME/t.dbf" }, 1,
            "Файл результата назван дважды" },
        { "a SQLite table named again as the report",
            { "convert", "HOME/data.txt", "--table", "HOME/x", "--report", "HOME/x.DB" }, 1,
            "Файл результата назван дважды" },
        { "ANKT as the table", { "convert", "HOME/data.txt", "--table", "ANKT" }, 1,
            "Файл результата совпадает с таблицей ANKT" },
        { "the register as the table", { "convert", "HOME/data.txt", "--table", "HOME/reg/NUMS" }, 1,
            "Файл результата совпадает с реестром NUMS" },
        { "a SQLite database as the table",
            { "convert", "HOME/data.txt", "--table", "sqlite:HOME/reg/NUMS.DB" }, 1,
            "Таблица записывается в файл, а не в базу данных" },
        { "a PostgreSQL database as the table",
            { "convert", "HOME/data.txt", "--table", "postgresql://office@server/venqor/nums" }, 1,
            "Таблица записывается в файл, а не в базу данных" },
        { "a write-protected table", { "convert", "HOME/data.txt", "--table", "HOME/ro.dbf" }, 1,
            "Файл результата защищён от записи",
            [](const Home& h) {
                h.dir.write("ro.dbf", "earlier");
                fs::permissions(h.dir.path() / "ro.dbf",
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
            } },
        { "no table name", { "convert", "HOME/data.txt", "--table", "" }, 2, "--table needs a name" },
        { "no output name", { "assign", "HOME/data.txt", "--output", "" }, 2, "--output needs a name" },
        { "the settings file before it exists", { "assign", "HOME/data.txt", "--output", "HOME/venqor.ini" },
            1, "Файл результата совпадает с файлом настроек",
            [](const Home& h) { fs::remove(h.dir.path() / "venqor.ini"); } },
        { "ANKT before it exists", { "fix-addresses", "HOME/data.txt", "--output", "HOME/ANKT.DB" }, 1,
            "Файл результата совпадает с таблицей ANKT" },
        { "a schema file before it exists", { "assign", "HOME/data.txt", "--output", "HOME/NEW.SCH" }, 1,
            "Файл результата совпадает с файлом схемы" },
        { "the report as the output",
            { "fix-addresses", "HOME/data.txt", "--output", "HOME/o.txt", "--report", "HOME/o.txt" }, 1,
            "Файл результата назван дважды" },
        { "the register as the printer", { "print-report", "HOME/report.txt", "--to", "HOME/reg/NUMS.DB" }, 1,
            "Файл результата совпадает с реестром NUMS" },
        { "a register venqor.ini does not name", { "convert", "HOME/data.txt", "--table", "HOME/other/nums" },
            1, "Файл результата совпадает с реестром NUMS",
            [](const Home& h) { fs::create_directory(h.dir.path() / "other"); } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.edge);
        Home home;
        if (c.before)
            c.before(home);
        const auto before = home.snapshot();
        const auto run = home.run(c.args);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_NE(run.err.find(c.inErr), std::string::npos) << run.err;
        EXPECT_EQ(home.snapshot(), before);
    }
}

TEST(CliOutputs, ALinkNamedAsTheTableHasItsFileReplacedAndStays)
{
    Home home;
    fs::create_directory(home.dir.path() / "tables");
    home.dir.write("tables/t.dbf", "earlier");
    fs::create_symlink(home.dir.path() / "tables" / "t.dbf", home.dir.path() / "link.dbf");
    const auto run = home.run({ "convert", "HOME/data.txt", "--table", "HOME/link.dbf", "--quiet" });
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(fs::is_symlink(home.dir.path() / "link.dbf"));
    EXPECT_NE(test::readFile(home.dir.file("tables/t.dbf")), "earlier");
}

// The command of each kind of output, the file it writes and its earlier content.
struct OutputKind {
    const char* output;
    std::vector<std::string> args;
    const char* file; // relative to the program directory
};

const OutputKind OutputKinds[] = {
    { "the report", { "check", "HOME/data.txt", "--report", "HOME/out.txt", "--quiet" }, "out.txt" },
    { "a corrected copy", { "assign", "HOME/data.txt", "--output", "HOME/out.txt", "--quiet" }, "out.txt" },
    { "an address copy", { "fix-addresses", "HOME/data.txt", "--output", "HOME/out.txt", "--quiet" },
        "out.txt" },
    { "a dBASE table", { "convert", "HOME/data.txt", "--table", "HOME/out.dbf", "--quiet" }, "out.dbf" },
    { "a CSV table", { "convert", "HOME/data.txt", "--table", "HOME/out.csv", "--quiet" }, "out.csv" },
    { "a SQLite table", { "convert", "HOME/data.txt", "--table", "HOME/out", "--quiet" }, "out.DB" },
    { "the register", { "register", "import", "HOME/register.csv", "HOME/reg" }, "reg/NUMS.DB" },
    { "a printed report", { "print-report", "HOME/report.txt", "--to", "HOME/out.txt" }, "out.txt" },
};

TEST(CliOutputs, AnOutputThatCannotBeWrittenWholeLeavesTheEarlierFile)
{
    for (const OutputKind& kind : OutputKinds) {
        SCOPED_TRACE(kind.output);
        Home home;
        fs::copy_file(test::SourceFile("samples/register.csv"), home.dir.path() / "register.csv");
        home.dir.write(kind.file, "earlier");
        test::CliOutcome run;
        {
            const test::FileSizeLimit limit(1024); // every output here is larger
            run = home.run(kind.args);
        }
        EXPECT_NE(run.status, 0) << run.err;
        EXPECT_EQ(test::readFile(home.dir.file(kind.file)), "earlier");
        EXPECT_EQ(home.temporaries(), std::vector<std::string>()) << run.err;
    }
}

// Waits for a condition that another process brings about, for at most ten seconds.
bool eventually(const std::function<bool()>& condition)
{
    for (int i = 0; i < 1000; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// Feeds bytes into a pipe (opened without blocking) while `pid` lives to read them.
void feed(int fd, const std::string& bytes, pid_t pid)
{
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        siginfo_t info {};
        if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0
            && info.si_pid != 0)
            return; // it has ended: nobody reads the rest
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

TEST(CliOutputs, AnOutputStoppedByCtrlCLeavesTheEarlierFile)
{
    const std::string sample = test::readFile(test::SourceFile("samples/sample-edv4.txt"));
    const std::string header = sample.substr(0, sample.find("\r\n") + 2);
    const std::string records = sample.substr(header.size());
    std::string csv = test::readFile(test::SourceFile("samples/register.csv"));
    const std::string csvHeader = csv.substr(0, csv.find('\n') + 1);
    std::string moreRows;
    for (int i = 0; i < 5000; ++i)
        moreRows += std::to_string(100000000 + i) + ",ФАМИЛИЯ,ИМЯ,ОТЧЕСТВО,1950-01-01,,М,\n";
    for (const OutputKind& kind : OutputKinds) {
        if (std::string_view(kind.output) == "a printed report")
            continue; // read whole before anything is written
        SCOPED_TRACE(kind.output);
        Home home;
        home.dir.write(kind.file, "earlier");
        // The input comes through a pipe: the program waits in the middle of it.
        const bool import = std::string_view(kind.output) == "the register";
        const std::string input = home.dir.file(import ? "register.csv" : "data.txt");
        fs::remove(input);
        ASSERT_EQ(::mkfifo(input.c_str(), 0600), 0);
        const int pipe = ::open(input.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(pipe, 0);
        std::vector<std::string> args = kind.args;
        for (std::string& a : args)
            if (const std::size_t at = a.find("HOME/"); at != std::string::npos)
                a.replace(at, 5, home.dir.file(""));
        const test::CliProcess process
            = test::startCli(home.logs, "stopped", args, { "VENQOR_HOME=" + home.dir.path().string() });
        feed(pipe, import ? csvHeader : header + records, process.pid);
        // Stopped once the command has taken its first lines, and once its output is under way
        // where it writes the output as it goes.
        EXPECT_TRUE(eventually([&] {
            int waiting = 0;
            return ::ioctl(pipe, FIONREAD, &waiting) == 0 && waiting == 0;
        }));
        if (std::string_view(kind.output) != "the report") {
            EXPECT_TRUE(eventually([&] { return !home.temporaries().empty(); }));
        }
        ::kill(process.pid, SIGINT);
        for (int i = 0; i < 10; ++i)
            feed(pipe, import ? moreRows : records, process.pid);
        ::close(pipe);
        const test::CliOutcome run = test::waitCli(process);
        EXPECT_EQ(run.status, 128 + SIGINT) << run.err;
        EXPECT_EQ(test::readFile(home.dir.file(kind.file)), "earlier");
        EXPECT_EQ(home.temporaries(), std::vector<std::string>());
    }
}

TEST(CliOutputs, ADemoRegisterStoppedByCtrlCLeavesTheEarlierRegister)
{
    Home home;
    const std::string earlier = test::readFile(home.dir.file("reg/NUMS.DB"));
    const test::CliProcess process
        = test::startCli(home.logs, "demo", { "register", "demo", home.dir.file("reg"), "--rows", "5000000" },
            { "VENQOR_HOME=" + home.dir.path().string() });
    EXPECT_TRUE(eventually([&] { return !home.temporaries().empty(); }));
    ::kill(process.pid, SIGINT);
    const test::CliOutcome run = test::waitCli(process);
    EXPECT_EQ(run.status, 128 + SIGINT) << run.err;
    EXPECT_EQ(test::readFile(home.dir.file("reg/NUMS.DB")), earlier);
    EXPECT_EQ(home.temporaries(), std::vector<std::string>());
}

} // namespace
} // namespace venqor
