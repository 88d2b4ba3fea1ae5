#pragma once

#include <string_view>

namespace venqor {

// The program's version and build date, as the main window's version line begins.
inline constexpr std::string_view VenqorVersion = "Venqor V0.2 20.01.06";

} // namespace venqor
