#include "gui_support.h"

#include "support/NumberedLines.h"
#include "support/PythonReaders.h"

#include "base/CodePage.h"
#include "commands/CommandList.h"
#include "gui/Ureport.h"
#include "gui/uVenqor.h"
#include "register/StrNum.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>

namespace venqor::test {
namespace {

using gui::TfrmMain;

template <typename Widget = QWidget> Widget& control(QWidget& window, const char* name)
{
    auto* widget = window.findChild<Widget*>(QString::fromLatin1(name));
    if (!widget)
        throw std::runtime_error(std::string("no control ") + name);
    return *widget;
}

std::string num(std::int32_t body)
{
    return StrNumToText(body);
}

// The main window over a program directory, with the data file and register filled in as
// the user would.
struct MainWindow {
    explicit MainWindow(const ProgramDirFixture& program)
        : window(program.dir.path())
    {
        control<QLineEdit>(window, "dedtNUMS").setText(QString::fromStdString(program.registerDir()));
        control<QComboBox>(window, "cbxSchList").setCurrentText(QStringLiteral("TEST"));
    }

    void check(const std::string& dataFile)
    {
        control<QLineEdit>(window, "FilenameEdit1").setText(QString::fromStdString(dataFile));
        QTest::mouseClick(&control<QPushButton>(window, "btnCheckStrNum"), Qt::LeftButton);
    }

    TfrmMain window;
};

TEST(MainWindow, NameCheckFromTheButtonToTheColouredReportView)
{
    ProgramDirFixture program;
    DialogAnswerer answers;
    MainWindow main(program);
    main.window.show();
    std::vector<std::vector<ViewRun>> shown;
    answers.whileReportShown = [&] { shown = ViewLines(ReportViewOf(main.window.frmReport())); };

    main.check(program.dataFile({ record(num(112233445), "Иванов", "Иван", "Иванович", "1950-03-15"),
        record(num(123456789), "Сидорава", "Анна", "Петровна", "1948-07-01") }));

    ASSERT_EQ(answers.messages.size(), 2);
    EXPECT_EQ(answers.messages[0], QStringLiteral("Начать обработку?"));
    EXPECT_TRUE(answers.messages[1].startsWith(QStringLiteral("Прочитано 2 строк и записей: 2")))
        << answers.messages[1].toStdString();
    EXPECT_EQ(answers.reportsShown, 1);

    // The error line blue, the register's spelling with the differing letter in red.
    const QColor blue(0, 0, 255), red(255, 0, 0);
    bool sawError = false, sawMarked = false;
    for (const std::vector<ViewRun>& line : shown) {
        QString text;
        for (const ViewRun& run : line)
            text += run.text;
        if (text.contains(QStringLiteral("E: Расхождения в ФИО"))) {
            sawError = true;
            ASSERT_EQ(line.size(), 1) << text.toStdString();
            EXPECT_EQ(line[0].color, blue);
        }
        if (text.startsWith(QStringLiteral("   -  Числится"))) {
            sawMarked = true;
            ASSERT_EQ(line.size(), 3) << text.toStdString();
            EXPECT_EQ(line[0].text, QStringLiteral("   -  Числится СИДОР"));
            EXPECT_FALSE(line[0].color.isValid());
            EXPECT_EQ(line[1].text, QStringLiteral("О"));
            EXPECT_EQ(line[1].color, red);
            EXPECT_EQ(line[2].text, QStringLiteral("ВА АННА ПЕТРОВНА"));
        }
        if (text == QStringLiteral("N строки Сообщение")) {
            EXPECT_TRUE(line[0].bold);
        }
    }
    EXPECT_TRUE(sawError);
    EXPECT_TRUE(sawMarked);

    // The window afterwards: buttons usable again, the record count shown, no progress bar.
    EXPECT_TRUE(control(main.window, "btnCheckStrNum").isEnabled());
    EXPECT_TRUE(control(main.window, "btnReport").isEnabled());
    EXPECT_EQ(control<QLabel>(main.window, "lblRecCount").text(), QStringLiteral("2"));
    EXPECT_TRUE(control(main.window, "ProgressBar1").isHidden());

    // "Отчет" shows the same report again.
    QTest::mouseClick(&control<QPushButton>(main.window, "btnReport"), Qt::LeftButton);
    EXPECT_EQ(answers.reportsShown, 2);
    EXPECT_EQ(ViewLines(ReportViewOf(main.window.frmReport())).size(), shown.size());
}

TEST(MainWindow, EachErrorBoxSilencesItsOwnKindOfFinding)
{
    struct Case {
        const char* box;
        const char* caption;
        bool birthLine, notFoundLine;
    } cases[] = {
        { "chkNoBirthErrors", "Без ошибок д/рождения", false, true },
        { "chkNoStatErrors", "Без ошибок статуса", true, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        ProgramDirFixture program;
        DialogAnswerer answers;
        MainWindow main(program);
        auto& box = control<QCheckBox>(main.window, c.box);
        EXPECT_EQ(box.text(), QString::fromUtf8(c.caption));
        box.setChecked(true);
        QString report;
        answers.whileReportShown = [&] { report = ReportViewOf(main.window.frmReport()).toPlainText(); };
        main.check(program.dataFile({ record(num(112233445), "Иванов", "Иван", "Иванович", "1950-03-16"),
            record(num(345678912), "Петров", "Пётр", "Петрович", "1960-01-01") }));
        EXPECT_EQ(report.contains(QStringLiteral("Расхождение в д/р")), c.birthLine) << report.toStdString();
        EXPECT_EQ(report.contains(QStringLiteral("Не найден стр.№")), c.notFoundLine) << report.toStdString();
    }
}

TEST(MainWindow, TheViewerSavesTheReportOverNoInputOfTheRun)
{
    ProgramDirFixture program;
    DialogAnswerer answers;
    MainWindow main(program);
    const std::string data
        = program.dataFile({ record(num(112233445), "Иванов", "Иван", "Иванович", "1950-03-15") });
    const std::string before = readFile(data);
    answers.whileReportShown = [&] {
        for (const char* button : { "sbtnSave", "sbtnPdf" }) {
            answers.saveAs = QString::fromStdString(data);
            QTest::mouseClick(&control<QToolButton>(main.window.frmReport(), button), Qt::LeftButton);
        }
    };
    main.check(data);
    // The question, the summary, then each save refused (the PDF dialog asks to overwrite first).
    ASSERT_EQ(answers.messages.size(), 5) << answers.messages.join(QLatin1Char('|')).toStdString();
    for (const int i : { 2, 4 })
        EXPECT_EQ(answers.messages[i], QStringLiteral("Файл результата совпадает с исходным файлом"));
    EXPECT_EQ(readFile(data), before);
}

TEST(MainWindow, TheViewerSavesTheFindingsAsATable)
{
    ProgramDirFixture program;
    DialogAnswerer answers;
    MainWindow main(program);
    const std::string table = program.dir.file("findings.csv");
    QStringList shown;
    answers.whileReportShown = [&] {
        shown = ReportViewOf(main.window.frmReport()).toPlainText().split(QLatin1Char('\n'));
        answers.saveAs = QString::fromStdString(table);
        answers.saveFilter = QStringLiteral("Таблица находок (*.csv)");
        QTest::mouseClick(&control<QToolButton>(main.window.frmReport(), "sbtnSave"), Qt::LeftButton);
    };
    main.check(program.dataFile({ record(num(123456789), "Сидорава", "Анна", "Петровна", "1948-07-01"),
        record(num(112233445), "Иванов", "Иван", "Иванович", "1950-03-16") }));
    std::vector<std::string> lines;
    for (const QString& line : shown)
        lines.push_back(line.toStdString());
    const auto numbered = NumberedLines(lines);
    const auto rows = readCsv(table);
    ASSERT_EQ(rows.size(), numbered.size() + 1);
    EXPECT_EQ(rows[0][2], "kind");
    for (std::size_t i = 0; i < numbered.size(); ++i) {
        EXPECT_EQ(rows[i + 1][1], std::to_string(numbered[i].first));
        EXPECT_EQ(rows[i + 1][6], numbered[i].second);
    }
    EXPECT_EQ(rows[1][2], "name-mismatch");
    EXPECT_EQ(rows[1][4], "СИДОРАВА АННА ПЕТРОВНА");
    EXPECT_EQ(rows[1][5], "СИДОРОВА АННА ПЕТРОВНА");
}

TEST(MainWindow, TheViewerShowsTheReportOfTheLastCommandEvenWhenItFailed)
{
    ProgramDirFixture program;
    DialogAnswerer answers;
    MainWindow main(program);
    main.check(program.dataFile({ record(num(112233445), "Иванов", "Иван", "Иванович", "1950-03-15") }));
    ASSERT_EQ(answers.reportsShown, 1);
    // A conversion whose schema is missing fails once its report has begun.
    control<QComboBox>(main.window, "cbxSchList").setCurrentText(QStringLiteral("NOSUCH"));
    QTest::mouseClick(&control<QPushButton>(main.window, "btnText2Table"), Qt::LeftButton);
    EXPECT_TRUE(answers.messages.last().contains(QStringLiteral("NOSUCH")))
        << answers.messages.last().toStdString();
    QString shown;
    answers.whileReportShown = [&] { shown = ReportViewOf(main.window.frmReport()).toPlainText(); };
    QTest::mouseClick(&control<QPushButton>(main.window, "btnReport"), Qt::LeftButton);
    EXPECT_TRUE(shown.startsWith(QStringLiteral("Преобразование текстового файла"))) << shown.toStdString();
    EXPECT_FALSE(shown.contains(QStringLiteral("Проверка реестра"))) << shown.toStdString();
}

TEST(MainWindow, ASecondClickDuringARunDoesNothing)
{
    ProgramDirFixture program;
    DialogAnswerer answers;
    MainWindow main(program);
    main.window.show();
    std::vector<std::string> lines;
    for (int i = 0; i < 3000; ++i)
        lines.push_back(record(num(112233445), "Иванов", "Иван", "Иванович", "1950-03-15"));
    const std::string data = program.dataFile(lines);

    bool buttonsWereDisabled = false, progressWasShown = false;
    answers.afterFirstQuestion = [&] {
        auto& button = control<QPushButton>(main.window, "btnCheckStrNum");
        buttonsWereDisabled = !button.isEnabled() && !control(main.window, "btnReport").isEnabled();
        progressWasShown = !control(main.window, "ProgressBar1").isHidden();
        QTest::mouseClick(&button, Qt::LeftButton);
        main.window.CommandButtonClick(*FindCommand("check")); // even a handler called directly
    };
    main.check(data);

    EXPECT_TRUE(buttonsWereDisabled);
    EXPECT_TRUE(progressWasShown);
    ASSERT_EQ(answers.messages.size(), 2) << answers.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(answers.messages[0], QStringLiteral("Начать обработку?"));
    EXPECT_EQ(answers.reportsShown, 1);
    EXPECT_TRUE(control(main.window, "btnCheckStrNum").isEnabled());
    EXPECT_EQ(control<QLabel>(main.window, "lblRecCount").text(), QStringLiteral("3000"));
}

TEST(MainWindow, ClosedDuringARunItClosesWhenTheRunHasEnded)
{
    ProgramDirFixture program;
    DialogAnswerer answers;
    MainWindow main(program);
    main.window.show();
    bool stayedOpen = false;
    answers.afterFirstQuestion = [&] {
        main.window.close();
        stayedOpen = main.window.isVisible() && main.window.State().Running;
    };
    main.check(program.dataFile({ record(num(112233445), "Иванов", "Иван", "Иванович", "1950-03-15") }));
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(answers.reportsShown, 1);
    EXPECT_FALSE(main.window.isVisible());
    EXPECT_TRUE(std::filesystem::exists(program.dir.path() / "venqor.ini"));
}

TEST(MainWindow, AFailureLeavingACommandIsShownAndTheWindowStaysUsable)
{
    ProgramDirFixture program;
    DialogAnswerer answers;
    MainWindow main(program);
    // A data file that is a directory, and a schema that does not exist.
    control<QComboBox>(main.window, "cbxSchList").setCurrentText(QStringLiteral("NOSUCH"));
    main.check(program.dir.file("reg"));
    ASSERT_EQ(answers.messages.size(), 1);
    EXPECT_TRUE(answers.messages[0].contains(QStringLiteral("NOSUCH"))) << answers.messages[0].toStdString();
    EXPECT_TRUE(control(main.window, "btnCheckStrNum").isEnabled());
    EXPECT_FALSE(main.window.State().Running);

    answers.messages.clear();
    control<QComboBox>(main.window, "cbxSchList").setCurrentText(QStringLiteral("TEST"));
    main.check(program.dir.file("reg"));
    ASSERT_GE(answers.messages.size(), 1);
    EXPECT_TRUE(answers.messages.last().contains(QStringLiteral("directory")))
        << answers.messages.last().toStdString();
}

TEST(MainWindow, ControlsOfTheDesign)
{
    ProgramDirFixture program;
    TfrmMain window(program.dir.path());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Проверка ФИО на соответствие страх. номеру"));
    EXPECT_EQ(window.size(), QSize(588, 325));
    EXPECT_TRUE(
        control<QLabel>(window, "lblVersion").text().startsWith(QStringLiteral("Venqor V0.2 20.01.06 ")));
    EXPECT_EQ(control<QComboBox>(window, "cbxFrmtList").currentText(), QStringLiteral("ЕДВ-4"));
    EXPECT_EQ(control<QComboBox>(window, "cbxFrmtList").count(), 6);
    EXPECT_EQ(control<QComboBox>(window, "cbxSchList").currentText(), QStringLiteral("EDV4"));
    EXPECT_EQ(control<QLineEdit>(window, "edtTblName").text(), QStringLiteral("edv.dbf"));
    EXPECT_EQ(control<QComboBox>(window, "cbxCopyCond").currentText(), QStringLiteral("Только"));
    EXPECT_EQ(control<QComboBox>(window, "cbxCopyValue").currentText(), QStringLiteral("начинаюшиеся с"));
    EXPECT_EQ(control<QLineEdit>(window, "edtCopyValue").text(), QStringLiteral("О"));
    EXPECT_EQ(control<QLabel>(window, "lblRecCount").text(), QStringLiteral("000"));
    EXPECT_EQ(control(window, "btnText2Table").toolTip(),
        QStringLiteral("Преобразовать отобранные строки  текстового файла в таблицу"));
    EXPECT_TRUE(control(window, "ProgressBar1").isHidden());

    // Only the commands that exist can be started.
    for (const char* button : { "btnCheckStrNum", "btnSetStrNum", "bbtnCorrAdres", "btnText2Table" }) {
        bool listed = false;
        for (const CommandInfo& c : CommandList())
            listed = listed || c.button == button;
        EXPECT_EQ(control(window, button).isEnabled(), listed) << button;
    }

    // The tab order of the design.
    const char* order[] = { "dedtNUMS", "FilenameEdit1", "btnCheckStrNum", "btnSetStrNum", "btnReport",
        "btnText2Table", "chkFoundOnly", "cbxFrmtList", "cbxSchList", "edtTblName", "cbxCopyCond",
        "cbxCopyValue", "edtCopyValue", "chkNoStatErrors", "chkNoBirthErrors", "bbtnCorrAdres", "chkByQuery",
        "chkAnkList" };
    QStringList names, chain;
    for (const char* name : order)
        names << QString::fromLatin1(name);
    QWidget* first = &control(window, order[0]);
    for (QWidget* w = first; chain.size() < names.size(); w = w->nextInFocusChain()) {
        if (names.contains(w->objectName()) && !chain.contains(w->objectName()))
            chain << w->objectName();
        if (w->nextInFocusChain() == first)
            break;
    }
    EXPECT_EQ(chain, names);
}

} // namespace
} // namespace venqor::test
