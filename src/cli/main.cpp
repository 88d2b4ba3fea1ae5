#include "cli/Cli.h"

#include <csignal>
#include <iostream>
#include <unistd.h>

int main(int argc, char** argv)
{
    // A write beyond the file size limit then fails like one on a full disk, so that the
    // output is abandoned and its temporary file removed, instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    std::ios::sync_with_stdio(false);
    venqor::cli::Io io { std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1, ::isatty(STDOUT_FILENO) == 1 };
    const int status = venqor::cli::RunCli(std::vector<std::string>(argv + 1, argv + argc), io);
    std::cout.flush();
    return status;
}
