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
    int status = venqor::cli::RunCli(std::vector<std::string>(argv + 1, argv + argc), io);
    // Output that never reached standard output is a failure, not a success.
    const bool succeeded = status == venqor::cli::ExitDone || status == venqor::cli::ExitPartial;
    if (!std::cout.flush() && succeeded) {
        std::cerr << "venqor-cli: cannot write to standard output\n";
        status = venqor::cli::ExitFailed;
    }
    return status;
}
