#pragma once

#include "support/TempDir.h"

#include <QColor>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QPlainTextEdit;
class QWidget;

namespace venqor::test {

// Answers the modal dialogs the windows open, as a user would, and records what they
// showed: message boxes (Yes or No to questions, OK to messages), the save dialog (the
// file given, or Cancel), the find box, and the report viewer (closed once seen). Each
// answer is given from the event loop, never inside the check that found the dialog, so a
// dialog that opens another one (an overwrite question) is answered too. A dialog still
// open a few seconds after it appeared (one it does not know, or one its answer did not
// close) fails the test and is closed, so that no test waits for a dialog forever.
class DialogAnswerer : public QObject {
public:
    DialogAnswerer();

    bool yes = true;
    std::optional<QString> saveAs;
    std::optional<QString> saveFilter; // the file type chosen in the save dialog
    QString find;
    // Runs when a message box shows, before it is answered.
    std::function<void(const QString&)> onMessage;
    // Runs while the report viewer is shown, before it is closed.
    std::function<void()> whileReportShown;
    // Runs once right after the first question has been answered.
    std::function<void()> afterFirstQuestion;

    QStringList messages; // the texts of the message boxes, in order
    QStringList proposedSaveNames;
    int reportsShown = 0;

protected:
    // A dialog that is hidden is answered anew when it shows again.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void answer();
    void respond(QWidget& modal);

    QTimer timer_;
    QPointer<QWidget> open_; // the modal dialog seen last, open since `since_`
    QElapsedTimer since_;
};

// A program directory holding the schema TEST.SCH (record lines of TYPE, STRNUM, FAM, NAM,
// OTCH, BIRTH, SEX in Windows-1251) and a register reg/NUMS.DB of three people:
// 112-233-445 ИВАНОВ ИВАН ИВАНОВИЧ 15.03.1950, 123-456-789 СИДОРОВА АННА ПЕТРОВНА
// 01.07.1948, 234-567-891 СМИРНОВ ПЁТР СЕРГЕЕВИЧ 20.11.1939.
struct ProgramDirFixture {
    ProgramDirFixture();

    // Writes a data file of the lines (Windows-1251, CR LF added) and returns its name.
    std::string dataFile(const std::vector<std::string>& lines, std::string_view name = "DATA.TXT") const;
    std::string registerDir() const { return dir.file("reg"); }

    TempDir dir;
};

// A record line of the test schema, from UTF-8 texts; the number as written in the file.
std::string record(std::string_view num, std::string_view fam, std::string_view nam, std::string_view otch,
    std::string_view birth);

// A fragment of a report view line: its text and colour (invalid for the window-text
// colour) and weight.
struct ViewRun {
    QString text;
    QColor color;
    bool bold = false;
};

// The lines of a view as runs of equal attributes.
std::vector<std::vector<ViewRun>> ViewLines(const QPlainTextEdit& view);

QPlainTextEdit& ReportViewOf(QWidget& viewer);

} // namespace venqor::test
