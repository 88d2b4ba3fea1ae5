// venqor-cli stopped while it waits: for the bytes of a data file that is a pipe nobody
// writes, and for a PostgreSQL server busy with a lookup (VENQOR_PG_URI, set by
// scripts/with-postgres; without it the test fails). The first SIGTERM ends the run at
// once with the shell's status, the earlier report and output are left as they were, no
// temporary file stays, and the server's statement is cancelled.

#include "base/CodePage.h"
#include "register/RegisterImport.h"
#include "register/StrNum.h"
#include "support/PgQuery.h"
#include "support/RunCli.h"
#include "support/Samples.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace venqor {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using Clock = std::chrono::steady_clock;

std::string serverUri()
{
    const char* uri = std::getenv("VENQOR_PG_URI");
    return uri ? uri : "";
}

// Waits up to `seconds` for `done`; false when it never came.
bool waitFor(const std::function<bool()>& done, int seconds)
{
    const auto deadline = Clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// Whether the process has a handler for SIGTERM (the signal mask SigCgt of /proc).
bool catchesTerm(int pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("SigCgt:"))
            return (std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1) & 1) != 0;
    return false;
}

// Sends SIGTERM and collects the program, which must end within a few seconds (else it is
// killed, and the outcome has status -1).
test::CliOutcome terminate(const test::CliProcess& process)
{
    kill(process.pid, SIGTERM);
    const bool ended = waitFor(
        [&] {
            siginfo_t info {};
            return waitid(P_PID, static_cast<id_t>(process.pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0
                && info.si_pid == process.pid;
        },
        5);
    if (!ended)
        kill(process.pid, SIGKILL);
    test::CliOutcome outcome = test::waitCli(process);
    EXPECT_TRUE(ended) << "venqor-cli went on waiting after SIGTERM";
    return outcome;
}

// Record lines of the test schema (Windows-1251): marker, number, surname, and the rest.
constexpr std::string_view TestSchema = "Field1 = TYPE,CHAR,1,00,00\r\nField2 = STRNUM,CHAR,14,00,01\r\n"
                                        "Field3 = FAM,CHAR,10,00,15\r\nField4 = NAM,CHAR,1,00,25\r\n"
                                        "Field5 = OTCH,CHAR,1,00,26\r\nField6 = BIRTH,DATE,10,00,27\r\n"
                                        "Field7 = SEX,CHAR,1,00,37\r\n";

std::string records(int count)
{
    std::string data;
    for (int i = 0; i < count; ++i)
        data += Utf8ToCp1251("О") + StrNumToText(100000000 + i) + "NOBODY    \r\n";
    return data;
}

// A program directory with the test schema, an earlier report and output, and a data file.
struct Home {
    Home()
    {
        dir.write("TEST.SCH", TestSchema);
        dir.write("report.txt", "earlier report");
        dir.write("out.txt", "earlier output");
        dir.write("d.txt", records(100));
    }

    test::CliProcess start(const std::string& command, const std::string& data, std::vector<std::string> more)
    {
        std::vector<std::string> args { command, data, "--schema", "TEST", "--record-type", "О", "--report",
            dir.file("report.txt"), "--quiet" };
        if (command == "assign")
            more.insert(more.end(), { "--output", dir.file("out.txt") });
        args.insert(args.end(), more.begin(), more.end());
        return test::startCli(dir, "stopped", args, { "VENQOR_HOME=" + dir.path().string() });
    }

    // The earlier files as they were, and nothing else left beside them.
    void expectLeftAsTheyWere() const
    {
        EXPECT_EQ(test::readFile(dir.file("report.txt")), "earlier report");
        EXPECT_EQ(test::readFile(dir.file("out.txt")), "earlier output");
        for (const auto& entry : fs::directory_iterator(dir.path()))
            EXPECT_EQ(entry.path().filename().string().find(".venqor-"), std::string::npos) << entry.path();
    }

    TempDir dir;
};

TEST(CliStop, ARunWaitingForTheBytesOfAPipeEndsAtTheFirstSignal)
{
    for (const char* command : { "check", "assign" }) {
        SCOPED_TRACE(command);
        Home home;
        const std::string pipe = home.dir.file("pipe.txt");
        ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
        const int writer = open(pipe.c_str(), O_RDWR); // held open, never written
        const auto run = home.start(command, pipe, { "--register", home.dir.file("none") });
        ASSERT_TRUE(waitFor([&] { return catchesTerm(run.pid); }, 10)) << "venqor-cli never took SIGTERM";
        std::this_thread::sleep_for(std::chrono::milliseconds(300)); // on to the read
        const auto stopped = terminate(run);
        close(writer);
        EXPECT_EQ(stopped.status, 128 + SIGTERM) << stopped.err;
        EXPECT_NE(stopped.err.find("stopped"), std::string::npos) << stopped.err;
        home.expectLeftAsTheyWere();
    }
}

TEST(CliStop, ARunWaitingToWriteIntoAPipeNobodyReadsEndsAtTheFirstSignal)
{
    struct Case {
        const char* edge;
        bool reader; // a reader that opens the pipe and never reads, so that it fills
    } cases[] = { { "nobody opens the pipe", false }, { "nobody reads what the pipe holds", true } };
    for (const Case& c : cases) {
        for (const char* command : { "assign", "print-report" }) {
            SCOPED_TRACE(std::string(command) + ": " + c.edge);
            Home home;
            home.dir.write("d.txt", records(20000));
            const std::string pipe = home.dir.file("printer");
            ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
            const int reader = c.reader ? open(pipe.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC) : -1;
            test::CliProcess run;
            if (std::string_view(command) == "assign") {
                run = test::startCli(home.dir, "stopped",
                    { "assign", home.dir.file("d.txt"), "--schema", "TEST", "--record-type", "О", "--output",
                        pipe, "--register", home.dir.file("none"), "--quiet" },
                    { "VENQOR_HOME=" + home.dir.path().string() });
            } else {
                home.dir.write("big-report.txt", records(20000));
                run = test::startCli(home.dir, "stopped",
                    { "print-report", home.dir.file("big-report.txt"), "--to", pipe },
                    { "VENQOR_HOME=" + home.dir.path().string() });
            }
            ASSERT_TRUE(waitFor([&] { return catchesTerm(run.pid); }, 10)) << "venqor-cli never took SIGTERM";
            std::this_thread::sleep_for(std::chrono::milliseconds(300)); // on to the write
            const auto stopped = terminate(run);
            if (reader >= 0)
                close(reader);
            EXPECT_EQ(stopped.status, 128 + SIGTERM) << stopped.err;
            home.expectLeftAsTheyWere();
        }
    }
}

// The most memory the process has held, in KiB (VmHWM of /proc).
long peakMemory(int pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("VmHWM:"))
            return std::stol(line.substr(6));
    return -1;
}

TEST(CliStop, AReportWithoutEndIsPrintedInLittleMemoryTillItIsStopped)
{
    Home home;
    const auto run = test::startCli(home.dir, "stopped",
        { "print-report", "/dev/zero", "--to", home.dir.file("out.txt") },
        { "VENQOR_HOME=" + home.dir.path().string() });
    ASSERT_TRUE(waitFor([&] { return catchesTerm(run.pid); }, 10)) << "venqor-cli never took SIGTERM";
    std::this_thread::sleep_for(std::chrono::seconds(1)); // gigabytes of it read meanwhile
    const long peak = peakMemory(run.pid);
    const auto stopped = terminate(run);
    EXPECT_GT(peak, 0);
    EXPECT_LT(peak, 64 * 1024) << "KiB";
    EXPECT_EQ(stopped.status, 128 + SIGTERM) << stopped.err;
    home.expectLeftAsTheyWere();
}

// Lookups the server makes wait (pg_sleep) as long as the run would last.
std::string busyServer(const Home& home)
{
    ImportRegister(test::SourceFile("samples/register.csv"), serverUri());
    home.dir.write("venqor.ini",
        "[Init]\r\nSQL1=SELECT * FROM NUMS WHERE NUM=:NUM AND pg_sleep(600) IS NOT NULL\r\n"
        "SQL2=SELECT * FROM NUMS WHERE FAM=:FAM AND NAM=:NAM AND OTCH=:OTCH AND BIRTH=:BIRTH"
        " AND pg_sleep(600) IS NOT NULL\r\n");
    return serverUri();
}

std::int64_t sleepingStatements()
{
    return std::stoll(*test::PgRows(serverUri(),
        "SELECT count(*) FROM pg_stat_activity WHERE state = 'active' AND query LIKE '%pg_sleep(600)%'"
        " AND pid <> pg_backend_pid()")
                           .at(0)
                           .at(0));
}

TEST(CliStop, ARunWaitingForThePostgresqlServerEndsAtTheFirstSignal)
{
    ASSERT_FALSE(serverUri().empty()) << "VENQOR_PG_URI is not set: run under scripts/with-postgres";
    // A lookup on the reading thread (blocks of one line) and on the lookup thread (a block
    // of every line).
    for (const char* command : { "check", "assign" }) {
        for (const char* blockLines : { "1", "65536" }) {
            SCOPED_TRACE(std::string(command) + ", blocks of " + blockLines);
            Home home;
            const auto run = home.start(command, home.dir.file("d.txt"),
                { "--register", busyServer(home), "--query", "--block-lines", blockLines });
            ASSERT_TRUE(waitFor([] { return sleepingStatements() > 0; }, 10))
                << "no lookup ever waited for the server";
            const auto stopped = terminate(run);
            EXPECT_EQ(stopped.status, 128 + SIGTERM) << stopped.err;
            home.expectLeftAsTheyWere();
            EXPECT_TRUE(waitFor([] { return sleepingStatements() == 0; }, 10))
                << "the lookup was not cancelled";
        }
    }
}

} // namespace
} // namespace venqor
