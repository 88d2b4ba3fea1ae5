#pragma once

#include <exception>
#include <utility>

class QString;
class QWidget;

namespace venqor::gui {

// The program's message boxes, over the window that asks.
// A Yes/No question; true only for Yes.
bool AskYesNo(QWidget* parent, const QString& question);
// A message with an OK button.
void Inform(QWidget* parent, const QString& text);

// The program's general error handler: a failure that leaves an operation of a window is
// shown in a message box over that window, which stays usable.
void ShowFailure(QWidget* parent, const std::exception& failure);

// Runs an operation of a window under the general error handler.
template <typename Operation> void Guarded(QWidget* parent, Operation&& operation)
{
    try {
        std::forward<Operation>(operation)();
    } catch (const std::exception& failure) {
        ShowFailure(parent, failure);
    }
}

} // namespace venqor::gui
