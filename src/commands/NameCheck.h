#pragma once

#include "app/MainState.h"
#include "run/ProcessingRun.h"
#include "run/RunHost.h"

namespace venqor {

// The name check ("Проверка ФИО"): every insurance number of the data file is checked for
// its form and check number and looked up in the register; names, birth date and status
// held there are compared with the line, and every finding becomes a report line. The
// people the register lacks can be collected into ANKT (ANKT.DB in ProgramDir).
// The data file is only read.
RunResult CheckNames(TMainState& state, RunHost& host);

} // namespace venqor
