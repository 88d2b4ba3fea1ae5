#include "support/RunCli.h"

#include "cli/Cli.h"

#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <sys/wait.h>

extern char** environ;

namespace venqor::test {

std::string BuiltCli()
{
    const char* bin = std::getenv("VENQOR_BIN");
    if (!bin)
        throw std::runtime_error("VENQOR_BIN is not set");
    return std::string(bin) + "/venqor-cli";
}

CliProcess startCli(const TempDir& dir, const std::string& tag, const std::vector<std::string>& args,
    const std::vector<std::string>& env, const std::string& given)
{
    const std::string program = given.empty() ? BuiltCli() : given;
    CliProcess process { -1, dir.file(tag + ".stdout"), dir.file(tag + ".stderr") };

    std::vector<char*> argv { const_cast<char*>(program.c_str()) };
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto setHere = [&env](std::string_view entry) {
        const std::string_view name = entry.substr(0, entry.find('=') + 1);
        for (const std::string& e : env)
            if (e.starts_with(name))
                return true;
        return false;
    };
    std::vector<char*> envp;
    for (char** e = environ; *e; ++e)
        if (!setHere(*e))
            envp.push_back(*e);
    for (const std::string& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(
        &actions, 1, process.outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(
        &actions, 2, process.errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        throw std::runtime_error("cannot run " + program);
    process.pid = pid;
    return process;
}

CliOutcome waitCli(const CliProcess& process)
{
    int wstatus = 0;
    waitpid(process.pid, &wstatus, 0);
    CliOutcome outcome;
    outcome.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    outcome.out = readFile(process.outFile);
    outcome.err = readFile(process.errFile);
    return outcome;
}

CliOutcome runCli(const TempDir& dir, const std::vector<std::string>& args,
    const std::vector<std::string>& env, const std::string& program)
{
    return waitCli(startCli(dir, "cli", args, env, program));
}

namespace {

// A stream buffer whose every write fails.
class FailingBuffer final : public std::streambuf {
protected:
    int_type overflow(int_type) override { return traits_type::eof(); }
    std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

// Sets environment variables for a scope and puts back what they were.
class EnvScope {
public:
    explicit EnvScope(const std::vector<std::pair<std::string, std::string>>& env)
    {
        for (const auto& [name, value] : env) {
            const char* old = std::getenv(name.c_str());
            saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
            setenv(name.c_str(), value.c_str(), 1);
        }
    }
    ~EnvScope()
    {
        for (const auto& [name, value] : saved_) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }
    EnvScope(const EnvScope&) = delete;
    EnvScope& operator=(const EnvScope&) = delete;

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

} // namespace

CliOutcome runCliHere(const std::vector<std::string>& args,
    const std::vector<std::pair<std::string, std::string>>& env, bool failingOut)
{
    const EnvScope scope(env);
    std::ostringstream out, err;
    FailingBuffer failing;
    std::ostream failingStream(&failing);
    cli::Io io { failingOut ? failingStream : out, err };
    CliOutcome outcome;
    outcome.status = cli::RunCli(args, io);
    outcome.out = out.str();
    outcome.err = err.str();
    return outcome;
}

} // namespace venqor::test
