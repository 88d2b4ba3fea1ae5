#pragma once

#include "app/MainState.h"
#include "run/ProcessingRun.h"
#include "run/RunHost.h"

#include <string>

namespace venqor {

// The address correction ("Правка адресов"): a corrected copy of the data file in which
// the addresses ADRREG and ADRFACT of every record line are mended by CorrectAddress. The
// copy goes to the output file chosen in the save dialog; the data file is only read.
RunResult CorrectAddresses(TMainState& state, RunHost& host);

// Mends one address of at most 200 characters in place: a leading comma is removed, then
// the first doubled comma is made single, then a leading number (after blanks; its first
// eight digits count) from 1 outside 600000..602359 is replaced, with the blanks before
// it, by "600000". Sets `changed` when it altered the text; never clears it.
void CorrectAddress(std::string& address, bool& changed);

} // namespace venqor
