#pragma once

#include "app/MainState.h"
#include "run/ProcessingRun.h"
#include "run/RunHost.h"

namespace venqor {

// The number assignment ("Простановка"): every record line's person is looked up in the
// register by name and birth date; a missing or broken number is replaced by the one
// found (unless only searching, chkFoundOnly), and every number is brought into its
// canonical form. The corrected copy goes to the output file chosen in the save dialog;
// the data file is only read.
RunResult AssignNumbers(TMainState& state, RunHost& host);

} // namespace venqor
