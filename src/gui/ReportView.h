#pragma once

#include <QColor>
#include <QFont>

class QPlainTextEdit;
class QPrinter;

namespace venqor {
class ReportDocument;
enum class ReportColor : std::uint8_t;
} // namespace venqor

namespace venqor::gui {

// The colour a report run is shown in: pure blue or pure red, or no colour of its own (the
// view's window-text colour) for plain text.
QColor ViewColor(ReportColor color);

// "Courier New" 13 pixels high, or the system's fixed-width font of that height where
// Courier New is absent.
QFont ReportFont();

// Replaces the view's text by the report's lines with their colours, bold runs and fonts,
// in one edit block without undo, so that a long report shows at once.
void ShowDocument(QPlainTextEdit& view, const ReportDocument& report);

// Prints the view with its colours, bold runs and font as one job. A font sized in screen
// pixels is printed at the same size in points as on the screen, not in printer dots.
void PrintView(const QPlainTextEdit& view, QPrinter& printer);

} // namespace venqor::gui
