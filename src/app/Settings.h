#pragma once

#include "app/MainState.h"

#include <string>

namespace venqor {

// venqor.ini in ProgramDir, section "Init": NUMS, LgotName, SQL1, SQL2, Query, and
// PrinterPort, the device of the report viewer's paged output ("LPT1" on Windows,
// "/dev/lp0" elsewhere).
// Windows-1251 bytes are kept as they are.
std::filesystem::path SettingsPath(const TMainState& state);

// Reads the keys into the state; a missing file, section or key gives its default.
void ReadSettings(TMainState& state);

// Writes the keys from the state (the SQL texts unchanged, Query as "1" or "0"),
// keeping whatever else the file holds. Throws IoError when the file cannot be written.
void WriteSettings(const TMainState& state);

} // namespace venqor
