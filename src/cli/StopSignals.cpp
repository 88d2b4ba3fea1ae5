#include "cli/StopSignals.h"

#include "base/ReplacingFile.h"
#include "base/Stop.h"

#include <csignal>

namespace venqor::cli {

namespace {

extern "C" void noteStop(int signal)
{
    if (StopRequested() != 0) {
        RemoveTemporaryFiles(); // the destructors that would remove them do not run
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    RequestStop(signal);
}

} // namespace

void CatchStopSignals()
{
    struct sigaction action { };
    action.sa_handler = noteStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: interrupted system calls return EINTR
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

} // namespace venqor::cli
