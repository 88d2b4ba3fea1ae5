#include "gui/VenqorApp.h"

#include "app/Version.h"
#include "gui/ScreenshotTour.h"
#include "gui/uVenqor.h"

#include <QApplication>
#include <QCommandLineParser>

namespace venqor::gui {

int RunVenqor(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("venqor"));
    QApplication::setApplicationVersion(QString::fromLatin1(ProgramVersion));

    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral("Venqor: проверка реестров льготников"));
    options.addHelpOption();
    const QCommandLineOption screenshots(QStringLiteral("screenshots"),
        QStringLiteral("Run the name check from its button and save screenshots of both windows into DIR."),
        QStringLiteral("DIR"));
    options.addOption(screenshots);
    options.process(application);

    TfrmMain frmMain(ProgramPlacesHere());
    frmMain.show();
    if (options.isSet(screenshots))
        new ScreenshotTour(frmMain, QDir(options.value(screenshots)));
    return QApplication::exec();
}

} // namespace venqor::gui
