#pragma once

class QLineEdit;

namespace venqor::gui {

// A button at the end of an edit that opens a picker starting at the edit's text and puts
// the choice into the edit (which raises its change signal).
void AttachDirectoryPicker(QLineEdit& edit);
void AttachFileOpenPicker(QLineEdit& edit);

} // namespace venqor::gui
