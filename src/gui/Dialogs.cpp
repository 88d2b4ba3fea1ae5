#include "gui/Dialogs.h"

#include "gui/GuiText.h"

#include <QMessageBox>

namespace venqor::gui {

namespace {

const QString Title = QStringLiteral("Venqor");

} // namespace

bool AskYesNo(QWidget* parent, const QString& question)
{
    return QMessageBox::question(
               parent, Title, question, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes)
        == QMessageBox::Yes;
}

void Inform(QWidget* parent, const QString& text)
{
    QMessageBox::information(parent, Title, text);
}

void ShowFailure(QWidget* parent, const std::exception& failure)
{
    QMessageBox::critical(parent, Title, FailureText(failure));
}

} // namespace venqor::gui
