#include "RunCli.h"

#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>

extern char** environ;

namespace venqor::test {

CliOutcome runCli(
    const TempDir& dir, const std::vector<std::string>& args, const std::vector<std::string>& env)
{
    const char* bin = std::getenv("VENQOR_BIN");
    if (!bin)
        throw std::runtime_error("VENQOR_BIN is not set");
    const std::string program = std::string(bin) + "/venqor-cli";
    const std::string outFile = dir.file("stdout");
    const std::string errFile = dir.file("stderr");

    std::vector<char*> argv { const_cast<char*>(program.c_str()) };
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (char** e = environ; *e; ++e)
        envp.push_back(*e);
    for (const std::string& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        throw std::runtime_error("cannot run " + program);
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);

    CliOutcome outcome;
    outcome.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    outcome.out = readFile(outFile);
    outcome.err = readFile(errFile);
    return outcome;
}

} // namespace venqor::test
