#include "gui/Pickers.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QStyle>

namespace venqor::gui {

namespace {

template <typename Pick>
void attach(QLineEdit& edit, QStyle::StandardPixmap icon, const QString& tip, Pick pick)
{
    QAction* action = edit.addAction(edit.style()->standardIcon(icon), QLineEdit::TrailingPosition);
    action->setToolTip(tip);
    QObject::connect(action, &QAction::triggered, &edit, [&edit, pick] {
        const QString chosen = pick(edit.text());
        if (!chosen.isEmpty())
            edit.setText(QDir::toNativeSeparators(chosen));
    });
}

} // namespace

void AttachDirectoryPicker(QLineEdit& edit)
{
    attach(edit, QStyle::SP_DirOpenIcon, QStringLiteral("Выбрать каталог"), [&edit](const QString& current) {
        return QFileDialog::getExistingDirectory(&edit, QStringLiteral("Каталог с таблицей NUMS"), current);
    });
}

void AttachFileOpenPicker(QLineEdit& edit)
{
    attach(edit, QStyle::SP_FileDialogStart, QStringLiteral("Выбрать файл"), [&edit](const QString& current) {
        return QFileDialog::getOpenFileName(
            &edit, QStringLiteral("Файл с данными"), current, QStringLiteral("Все файлы (*)"));
    });
}

} // namespace venqor::gui
