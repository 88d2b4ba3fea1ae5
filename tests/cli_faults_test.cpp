// venqor-cli check under bad input and faults: each situation ends with its exit status and
// a message that says what happened, and every file the run did not own is left as it was.
#include "base/CodePage.h"
#include "cli/Cli.h"
#include "cli/WindowOptions.h"
#include "commands/CommandList.h"
#include "register/NotFoundTable.h"
#include "register/RegisterImport.h"
#include "register/StrNum.h"
#include "support/RunCli.h"
#include "support/Samples.h"
#include "support/SqliteQuery.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace venqor {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// A program directory with the sample schema, the sample register in reg/ and the sample
// data file as d.txt.
class Home {
public:
    Home()
    {
        fs::copy_file(test::SourceFile("samples/EDV4.SCH"), dir.file("EDV4.SCH"));
        ImportRegister(test::SourceFile("samples/register.csv"), dir.file("reg"));
        fs::copy_file(test::SourceFile("samples/sample-edv4.txt"), dir.file("d.txt"));
    }

    test::CliOutcome check(std::vector<std::string> args, bool failingOut = false) const
    {
        args.insert(args.begin(), "check");
        return test::runCliHere(args, { { "VENQOR_HOME", dir.path().string() } }, failingOut);
    }

    // Every regular file under the directory, with its bytes.
    std::map<std::string, std::string> files() const
    {
        std::map<std::string, std::string> all;
        for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
            if (entry.is_regular_file())
                all[entry.path().string()] = test::readFile(entry.path().string());
        return all;
    }

    TempDir dir;
};

std::string crlfToLf(std::string text)
{
    std::string out;
    for (const char c : text)
        if (c != '\r')
            out += c;
    return out;
}

TEST(CliFaults, EachSituationHasItsStatusAndMessageAndLeavesTheFilesAlone)
{
    struct Case {
        const char* name;
        std::function<void(const Home&)> setUp;
        std::vector<std::string> args; // "HOME/" stands for the program directory
        int status;
        const char* inErr;
        bool failingOut = false;
    };
    const std::string deleting = "[Init]\r\nSQL1=DELETE FROM NUMS WHERE NUM=:NUM\r\n";
    const std::string numberOnly = "[Init]\r\nSQL1=SELECT NUM, FAM FROM NUMS WHERE NUM=:NUM\r\n";
    const Case cases[] = {
        { "sample data file", {}, { "HOME/d.txt", "--register", "HOME/reg" }, 0, "Прочитано 27 строк" },
        { "missing data file", {}, { "HOME/none.txt", "--register", "HOME/reg" }, 1, "none.txt" },
        { "empty data file", [](const Home& h) { h.dir.write("e.txt", ""); },
            { "HOME/e.txt", "--register", "HOME/reg" }, 0, "Прочитано 0 строк и записей: 0" },
        { "binary data file",
            [](const Home& h) {
                h.dir.write("b.txt",
                    std::string("\0\x01\xFF\r\n\x8E\x8E\r\n\x1A"
                                "after",
                        13));
            },
            { "HOME/b.txt", "--register", "HOME/reg", "--format", "ЕДВ-4" }, 0, "Прочитано 2 строк" },
        { "directory as data file", {}, { "HOME/reg", "--register", "HOME/reg" }, 1, "is a directory" },
        { "missing schema", {}, { "HOME/d.txt", "--schema", "NOSUCH" }, 1, "NOSUCH.SCH" },
        { "garbage schema", [](const Home& h) { h.dir.write("G.SCH", std::string("\0\xFF=,,\x01\r\n", 8)); },
            { "HOME/d.txt", "--schema", "G" }, 1, "Ошибка в схеме!" },
        { "garbage settings file",
            [](const Home& h) { h.dir.write("venqor.ini", std::string("\0\xFF[[=\n\x01", 7)); },
            { "HOME/d.txt", "--register", "HOME/reg" }, 0, "Прочитано 27 строк" },
        { "over-long settings value",
            [](const Home& h) {
                h.dir.write("venqor.ini", "[Init]\r\nNUMS=" + std::string(1 << 20, 'x') + "\r\n");
            },
            { "HOME/d.txt", "--register", "HOME/reg" }, 0, "Прочитано 27 строк" },
        { "register directory missing", {}, { "HOME/d.txt", "--register", "HOME/nowhere" }, 3,
            "Реестр NUMS недоступен, поиск не выполнялся: " },
        { "register file that is no database",
            [](const Home& h) {
                fs::create_directory(h.dir.path() / "text");
                h.dir.write("text/NUMS.DB", "NUM;FAM\n1;A\n");
            },
            { "HOME/d.txt", "--register", "HOME/text" }, 3, "NUMS.DB" },
        { "truncated register",
            [](const Home& h) {
                fs::create_directory(h.dir.path() / "cut");
                const std::string whole = test::readFile(h.dir.file("reg/NUMS.DB"));
                h.dir.write("cut/NUMS.DB", whole.substr(0, whole.size() / 2));
            },
            { "HOME/d.txt", "--register", "HOME/cut" }, 3, "Реестр NUMS недоступен" },
        { "unreachable database server", {},
            { "HOME/d.txt", "--register", "postgresql://127.0.0.1:1/venqor?connect_timeout=2" }, 3,
            "Реестр NUMS недоступен" },
        { "statement that would write the register",
            [&](const Home& h) { h.dir.write("venqor.ini", deleting); },
            { "HOME/d.txt", "--register", "HOME/reg", "--query" }, 0, "a query only reads" },
        { "statement that would attach a file",
            [&](const Home& h) {
                h.dir.write("venqor.ini",
                    "[Init]\r\nSQL1=ATTACH DATABASE '" + h.dir.file("x") + "' || :NUM AS e\r\n");
            },
            { "HOME/d.txt", "--register", "HOME/reg", "--query" }, 0, "a query only reads" },
        { "register without a field the check reads",
            [&](const Home& h) { h.dir.write("venqor.ini", numberOnly); },
            { "HOME/d.txt", "--register", "HOME/reg", "--query" }, 0, "NAM" },
        { "ANKT that cannot be opened", [](const Home& h) { fs::create_directory(h.dir.path() / "ANKT.DB"); },
            { "HOME/d.txt", "--register", "HOME/reg", "--collect-not-found" }, 3,
            "Ошибка при открытии таблицы ANKT" },
        { "data file with LF line ends",
            [](const Home& h) { h.dir.write("lf.txt", crlfToLf(test::readFile(h.dir.file("d.txt")))); },
            { "HOME/lf.txt", "--register", "HOME/reg" }, 0, "записей: 21" },
        { "standard output that cannot be written", {}, { "HOME/d.txt", "--register", "HOME/reg" }, 1,
            "standard output", true },
        { "unknown option", {}, { "HOME/d.txt", "--bogus" }, 2, "unknown option --bogus" },
        { "report over the data file", {},
            { "HOME/d.txt", "--register", "HOME/reg", "--report", "HOME/d.txt" }, 1,
            "совпадает с исходным файлом" },
        { "report over the data file by another spelling", {},
            { "HOME/d.txt", "--register", "HOME/reg", "--report", "HOME/reg/../d.txt" }, 1,
            "совпадает с исходным файлом" },
        { "report over the register", {},
            { "HOME/d.txt", "--register", "HOME/reg", "--report", "HOME/reg/NUMS.DB" }, 1, "NUMS.DB" },
        { "report into a missing directory", {},
            { "HOME/d.txt", "--register", "HOME/reg", "--report", "HOME/none/r.txt" }, 1, "--report" },
        { "report naming a directory", {}, { "HOME/d.txt", "--register", "HOME/reg", "--report", "HOME/reg" },
            1, "--report" },
        { "report to a device", {}, { "HOME/d.txt", "--register", "HOME/reg", "--report", "/dev/null" }, 0,
            "Прочитано 27 строк" },
    };
    for (const Case& c : cases) {
        Home home;
        if (c.setUp)
            c.setUp(home);
        std::vector<std::string> args;
        for (std::string a : c.args) {
            if (a.starts_with("HOME/"))
                a = home.dir.file(a.substr(5));
            args.push_back(a);
        }
        const auto before = home.files();
        const auto run = home.check(args, c.failingOut);
        EXPECT_EQ(run.status, c.status) << c.name << "\n" << run.err;
        EXPECT_NE(run.err.find(c.inErr), std::string::npos) << c.name << "\n" << run.err;
        EXPECT_EQ(home.files(), before) << c.name;
    }
    EXPECT_TRUE(fs::is_character_file("/dev/null")); // written, not replaced
}

TEST(CliFaults, LineFeedsAloneAreReadAsLineEndsAndSaidSo)
{
    Home home;
    home.dir.write("lf.txt", crlfToLf(test::readFile(home.dir.file("d.txt"))));
    const auto crlf = home.check({ home.dir.file("d.txt"), "--register", home.dir.file("reg") });
    const auto lf = home.check({ home.dir.file("lf.txt"), "--register", home.dir.file("reg") });
    EXPECT_EQ(lf.status, 0) << lf.err;
    EXPECT_NE(lf.err.find("LF"), std::string::npos) << lf.err;
    EXPECT_EQ(crlf.err.find("LF"), std::string::npos) << crlf.err;
    // The same findings, line for line, but for the name of the file and the times.
    const auto findings = [](const std::string& out) {
        std::vector<std::string> lines;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);)
            if (line.find("файл") == std::string::npos && line.find("Начало") == std::string::npos
                && line.find("Конец") == std::string::npos)
                lines.push_back(line);
        return lines;
    };
    EXPECT_EQ(findings(lf.out), findings(crlf.out));
}

TEST(CliFaults, AFileNameOutsideTheWindowsPageNamesThatFile)
{
    Home home;
    const std::string data = home.dir.file("数据.txt");
    fs::copy_file(home.dir.file("d.txt"), data);
    home.dir.write("??.txt", ""); // what a name converted to Windows-1251 would open
    const auto run = home.check({ data, "--register", home.dir.file("reg") });
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("Прочитано 27 строк"), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("??.txt\""), std::string::npos); // shown as the page can show it
}

// Record lines of the test schema below (Windows-1251): marker, number, surname.
constexpr std::string_view TestSchema = "Field1 = TYPE,CHAR,1,00,00\r\nField2 = STRNUM,CHAR,14,00,01\r\n"
                                        "Field3 = FAM,CHAR,10,00,15\r\nField4 = NAM,CHAR,1,00,25\r\n"
                                        "Field5 = OTCH,CHAR,1,00,26\r\nField6 = BIRTH,DATE,10,00,27\r\n"
                                        "Field7 = SEX,CHAR,1,00,37\r\n";

std::string records(std::int32_t first, int count)
{
    std::string data;
    for (int i = 0; i < count; ++i)
        data += Utf8ToCp1251("О") + StrNumToText(first + i) + "NOBODY    \r\n";
    return data;
}

TEST(CliFaults, RunsCollectingIntoOneAnktAtOnceBothKeepTheirRows)
{
    Home home;
    home.dir.write("TEST.SCH", TestSchema);
    home.dir.write("a.txt", records(700000000, 300)); // numbers the sample register lacks
    home.dir.write("b.txt", records(800000000, 300));
    const std::vector<std::string> env = { "VENQOR_HOME=" + home.dir.path().string() };
    const auto start = [&](const char* name) {
        return test::startCli(home.dir, name,
            { "check", home.dir.file(name), "--schema", "TEST", "--record-type", "О", "--register",
                home.dir.file("reg"), "--collect-not-found", "--quiet" },
            env);
    };
    NotFoundTable { home.dir.path() }; // the table exists: the runs meet while storing rows
    const auto a = start("a.txt");
    const auto b = start("b.txt");
    const auto ranA = test::waitCli(a);
    const auto ranB = test::waitCli(b);
    EXPECT_EQ(ranA.status, 0) << ranA.err;
    EXPECT_EQ(ranB.status, 0) << ranB.err;
    EXPECT_EQ(test::SqliteRows(home.dir.file("ANKT.DB"), "SELECT COUNT(*) FROM ANKT").at(0).at(0), "600");
}

TEST(CliFaults, AStoppedRunLeavesTheEarlierReportAndAnktAsTheyWere)
{
    Home home;
    home.dir.write("TEST.SCH", TestSchema);
    home.dir.write("big.txt", records(100000000, 2'000'000));
    home.dir.write("report.txt", "earlier report");
    const auto run = test::startCli(home.dir, "big",
        { "check", home.dir.file("big.txt"), "--schema", "TEST", "--record-type", "О", "--register",
            home.dir.file("reg"), "--collect-not-found", "--quiet", "--report", home.dir.file("report.txt") },
        { "VENQOR_HOME=" + home.dir.path().string() });
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    kill(run.pid, SIGINT);
    const auto ran = test::waitCli(run);
    EXPECT_EQ(ran.status, 128 + SIGINT) << ran.err;
    EXPECT_EQ(test::readFile(home.dir.file("report.txt")), "earlier report");
    EXPECT_EQ(test::SqliteRows(home.dir.file("ANKT.DB"), "SELECT COUNT(*) FROM ANKT").at(0).at(0), "0");
    for (const auto& entry : fs::directory_iterator(home.dir.path()))
        EXPECT_EQ(entry.path().filename().string().find("venqor-tmp"), std::string::npos) << entry.path();
}

// A server on the loopback address that takes connections and never answers.
class SilentServer {
public:
    SilentServer()
    {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
            || listen(fd_, 8) != 0)
            throw std::runtime_error("cannot listen on the loopback address");
        socklen_t length = sizeof address;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~SilentServer() { close(fd_); }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;
    int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

TEST(CliFaults, ASilentDatabaseServerMakesTheRunGoOnWithoutTheRegister)
{
    Home home;
    SilentServer server; // the kernel completes the connections; nobody answers them
    const auto started = std::chrono::steady_clock::now();
    const auto run = home.check({ home.dir.file("d.txt"), "--register",
        "postgresql://127.0.0.1:" + std::to_string(server.port()) + "/venqor" }); // the default limit
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
    EXPECT_EQ(run.status, 3) << run.err;
    EXPECT_NE(run.err.find("Реестр NUMS недоступен"), std::string::npos) << run.err;
}

TEST(CliFaults, NoMessageOrReportLineShowsAPasswordOfTheLocation)
{
    Home home;
    const std::string server = "127.0.0.1:1/venqor";
    for (const std::string& location : { "postgresql://u:s3cret@" + server,
             "postgresql://" + server + "?password=s3cret", "postgresql://" + server + "?pass%77ord=s3cret",
             "postgresql://" + server + "?password=a&password=s3cret",
             "postgresql://u:s3cret/PW@" + server }) {
        SCOPED_TRACE(location);
        const auto check = home.check({ home.dir.file("d.txt"), "--register", location });
        EXPECT_EQ(check.status, 3) << check.err;
        EXPECT_NE(check.out.find("Реестр NUMS недоступен"), std::string::npos) << check.out;
        EXPECT_NE(check.err.find("***"), std::string::npos) << check.err;
        const auto import
            = test::runCliHere({ "register", "import", test::SourceFile("samples/register.csv"), location });
        EXPECT_EQ(import.status, 1) << import.err;
        for (const std::string& text : { check.out, check.err, import.out, import.err })
            EXPECT_EQ(text.find("s3cret"), std::string::npos) << text;
    }
}

TEST(CliFaults, VersionIsPrinted)
{
    const auto run = test::runCliHere({ "--version" });
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "venqor-cli Venqor V0.2 20.01.06\n");
}

TEST(CliOptions, EachWindowCommandTakesTheOptionsOfItsControlsAndItsHelpNamesThem)
{
    for (const cli::Command& command : cli::Commands()) {
        const CommandInfo* info = FindCommand(command.name);
        if (!info)
            continue; // not a command of the main window
        const std::vector<std::string_view> accepted = cli::AcceptedOptions(*info);
        for (const std::string_view option : accepted) {
            bool named = false; // as a whole word
            for (std::size_t at = command.usage.find(option); at != std::string_view::npos && !named;
                 at = command.usage.find(option, at + 1)) {
                const char after
                    = at + option.size() < command.usage.size() ? command.usage[at + option.size()] : ' ';
                named = !(std::isalnum(static_cast<unsigned char>(after)) || after == '-');
            }
            EXPECT_TRUE(named) << command.name << " --help lacks " << option;
        }
        for (const std::string_view everyone :
            { "--format", "--schema", "--record-type", "--report", "--quiet" })
            EXPECT_NE(std::find(accepted.begin(), accepted.end(), everyone), accepted.end()) << command.name;
        const bool register_ = std::find(accepted.begin(), accepted.end(), "--register") != accepted.end();
        EXPECT_EQ(register_, command.name == "check" || command.name == "assign") << command.name;
        EXPECT_EQ(
            std::find(accepted.begin(), accepted.end(), "--output") != accepted.end(), info->writesOutput)
            << command.name;
    }
}

} // namespace
} // namespace venqor
