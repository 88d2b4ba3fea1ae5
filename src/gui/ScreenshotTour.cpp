#include "gui/ScreenshotTour.h"

#include "gui/Ureport.h"
#include "gui/uVenqor.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <cstdio>
#include <cstdlib>

namespace venqor::gui {

ScreenshotTour::ScreenshotTour(TfrmMain& window, QDir directory)
    : QObject(&window)
    , window_(window)
    , directory_(std::move(directory))
{
    poll_.setInterval(100);
    connect(&poll_, &QTimer::timeout, this, &ScreenshotTour::answerModal);
    QTimer::singleShot(800, this, &ScreenshotTour::start);
    QTimer::singleShot(60000, this, [] {
        std::fputs("venqor: the screenshot walk did not end within a minute\n", stderr);
        std::_Exit(1);
    });
}

void ScreenshotTour::start()
{
    save(window_, QStringLiteral("main.png"));
    poll_.start();
    window_.findChild<QPushButton*>(QStringLiteral("btnCheckStrNum"))->click();
    poll_.stop();
    save(window_, QStringLiteral("main-after-check.png"));
    window_.close();
}

void ScreenshotTour::answerModal()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        save(*box, QStringLiteral("message-%1.png").arg(++messages_));
        QAbstractButton* yes = box->button(QMessageBox::Yes);
        (yes ? yes : box->button(QMessageBox::Ok))->click();
    } else if (modal == &window_.frmReport() && ++reportPolls_ > 5) { // painted by now
        save(*modal, QStringLiteral("report.png"));
        reportPolls_ = 0;
        window_.frmReport().close();
    }
}

void ScreenshotTour::save(QWidget& widget, const QString& name)
{
    const QString file = directory_.filePath(name);
    if (!widget.grab().save(file)) {
        std::fprintf(stderr, "venqor: cannot save %s\n", qPrintable(file));
        std::_Exit(1);
    }
}

} // namespace venqor::gui
