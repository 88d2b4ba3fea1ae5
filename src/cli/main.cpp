#include "cli/Cli.h"

#include <iostream>
#include <unistd.h>

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    venqor::cli::Io io { std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1, ::isatty(STDOUT_FILENO) == 1 };
    const int status = venqor::cli::RunCli(std::vector<std::string>(argv + 1, argv + argc), io);
    std::cout.flush();
    return status;
}
