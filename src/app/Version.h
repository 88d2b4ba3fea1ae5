#pragma once

#include <string_view>

namespace venqor {

// The program's version: the project's own (VENQOR_VERSION, from the build).
inline constexpr std::string_view ProgramVersion = VENQOR_VERSION;

// The program's version and build date, as the main window's version line begins.
inline constexpr std::string_view VenqorVersion = "Venqor V" VENQOR_VERSION " 20.01.06";

} // namespace venqor
