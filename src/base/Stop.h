#pragma once

#include <csignal>

namespace venqor {

// A request to stop the job under way (Ctrl-C, a terminate request), made by a signal
// handler and seen by every part of the job that waits: a wait that a signal interrupts
// (EINTR) ends with Interrupted when a stop is requested and is taken up again otherwise,
// and a wait that may last longer looks at the request at least every few tenths of a second.
//
// How often, in milliseconds, a wait that may last looks at the stop request.
inline constexpr int StopLookEveryMs = 200;

// Notes the stop request with its signal; safe inside a signal handler.
void RequestStop(int signal) noexcept;
// The signal of the stop requested, or 0.
int StopRequested() noexcept;
// Interrupted when a stop is requested.
void ThrowIfStopRequested();

// While it lives, the calling thread blocks the stop signals, and so does every thread it
// starts meanwhile: a thread a job starts then never takes them, and they interrupt the
// thread that waits in a read or for a database server.
class StopSignalsBlocked {
public:
    StopSignalsBlocked() noexcept;
    ~StopSignalsBlocked();
    StopSignalsBlocked(const StopSignalsBlocked&) = delete;
    StopSignalsBlocked& operator=(const StopSignalsBlocked&) = delete;

private:
    sigset_t saved_; // the thread's signal mask before
};

} // namespace venqor
