#include "base/Stop.h"

#include "base/Errors.h"

#include <atomic>
#include <pthread.h>

namespace venqor {

namespace {

std::atomic<int> requested { 0 };
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler may only touch a lock-free atomic");

} // namespace

void RequestStop(int signal) noexcept
{
    requested.store(signal, std::memory_order_relaxed);
}

int StopRequested() noexcept
{
    return requested.load(std::memory_order_relaxed);
}

void ThrowIfStopRequested()
{
    if (StopRequested() != 0)
        throw Interrupted();
}

StopSignalsBlocked::StopSignalsBlocked() noexcept
{
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stops, &saved_);
}

StopSignalsBlocked::~StopSignalsBlocked()
{
    pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
}

} // namespace venqor
