#pragma once

#include <QDir>
#include <QObject>
#include <QTimer>

namespace venqor::gui {

class TfrmMain;

// A walk through the program for its screenshots: the main window as it starts, the name
// check run from its button with every message box answered Yes/OK, the report viewer
// as the run shows it, the main window after the run; each saved as a PNG file into the
// directory. Then the main window closes as the user would close it. The program exits
// with status 1 when the walk has not ended within a minute.
class ScreenshotTour : public QObject {
    Q_OBJECT

public:
    ScreenshotTour(TfrmMain& window, QDir directory);

private:
    void start();
    void answerModal();
    void save(QWidget& widget, const QString& name);

    TfrmMain& window_;
    QDir directory_;
    QTimer poll_;
    int messages_ = 0;
    int reportPolls_ = 0;
};

} // namespace venqor::gui
