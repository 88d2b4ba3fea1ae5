#include "cli/StopSignals.h"

#include "base/ReplacingFile.h"

#include <csignal>

namespace venqor::cli {

namespace {

volatile std::sig_atomic_t noted = 0;

extern "C" void noteStop(int signal)
{
    if (noted != 0) {
        RemoveTemporaryFiles(); // the destructors that would remove them do not run
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    noted = signal;
}

} // namespace

void CatchStopSignals()
{
    std::signal(SIGINT, noteStop);
    std::signal(SIGTERM, noteStop);
}

int StopSignal()
{
    return noted;
}

} // namespace venqor::cli
