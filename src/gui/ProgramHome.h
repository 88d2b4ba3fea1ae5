#pragma once

#include <filesystem>

namespace venqor::gui {

// Where the desktop program keeps venqor.ini, the schema files and ANKT.DB: the
// program's own directory (or the one VENQOR_HOME names) when it holds the schema files
// and can be written, as in a build or a copy of the program in a folder of its own;
// otherwise, as for a program installed under /usr, the user's configuration directory,
// where the schema files installed with the program are copied at the first start (an
// existing copy, which the user may have changed, is kept).
std::filesystem::path DesktopProgramDir();

// The choice above between the program's own directory and the user's configuration
// directory, which is created when chosen; the installed schema files are looked for in
// the own directory's ../share/venqor.
std::filesystem::path ChooseProgramDir(const std::filesystem::path& own, const std::filesystem::path& config);

} // namespace venqor::gui
