#pragma once

namespace venqor::cli {

// SIGINT and SIGTERM during a command: the first is noted as the stop request of the job
// (base/Stop.h), so that the command stops at its next step or wherever it waits, leaving
// earlier outputs as they were; the handler is installed without SA_RESTART, so that a read,
// a write or a wait it interrupts returns at once. A second one removes the temporary files
// of the outputs not yet in place and ends the program at once, as the signal would without
// a handler.
void CatchStopSignals();

} // namespace venqor::cli
