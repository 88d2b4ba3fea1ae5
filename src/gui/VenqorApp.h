#pragma once

namespace venqor::gui {

// The desktop program: the application object, the main window (which creates the report
// viewer) and the message loop until the main window closes. The one switch of its own,
// --screenshots DIR, walks through a name check and saves screenshots of both windows.
int RunVenqor(int argc, char** argv);

} // namespace venqor::gui
