#pragma once

namespace venqor::cli {

// SIGINT and SIGTERM during a command: the first is noted, so that the command stops at
// its next progress step and leaves earlier outputs as they were; a second one removes the
// temporary files of the outputs not yet in place and ends the program at once, as the
// signal would without a handler.
void CatchStopSignals();
// The signal noted, or 0.
int StopSignal();

} // namespace venqor::cli
