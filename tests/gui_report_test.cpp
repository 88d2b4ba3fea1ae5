#include "gui_support.h"

#include "base/CodePage.h"
#include "base/Errors.h"
#include "gui/Ureport.h"

#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinterInfo>
#include <QProcess>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>

namespace venqor::test {
namespace {

using gui::TfrmReport;

template <typename Widget = QWidget> Widget& control(QWidget& window, const char* name)
{
    auto* widget = window.findChild<Widget*>(QString::fromLatin1(name));
    if (!widget)
        throw std::runtime_error(std::string("no control ") + name);
    return *widget;
}

// The viewer showing a report of numbered lines "Строка N" (Windows-1251), the second
// one blue, the third with a red stretch, as a command leaves it.
struct Viewer {
    explicit Viewer(int lines)
    {
        ReportDocument& report = viewer.Report();
        for (int i = 1; i <= lines; ++i) {
            report.SetColor(i == 2 ? ReportColor::Blue : ReportColor::WindowText);
            report.AppendLine(Utf8ToCp1251("Строка " + std::to_string(i)));
            if (i == 3) {
                report.SetColor(ReportColor::Red);
                report.InsertText(Utf8ToCp1251(" ОШИБКА"));
            }
        }
        report.SetColor(ReportColor::WindowText);
        viewer.ShowNewReport(); // the answerer closes it
    }

    void click(const char* button)
    {
        QTest::mouseClick(&control<QToolButton>(viewer, button), Qt::LeftButton);
    }
    QLineEdit& edit(const char* name) { return control<QLineEdit>(viewer, name); }

    DialogAnswerer answers;
    TfrmReport viewer;
};

TEST(ReportViewer, LinesPerPageKeepTheirLastGoodValueAndTheFontBoxChangesTheView)
{
    Viewer v(3);
    EXPECT_EQ(v.viewer.windowTitle(), QStringLiteral("Выходные формы"));
    EXPECT_EQ(v.viewer.NlinesMax(), 62);
    EXPECT_EQ(v.viewer.ReportFileName(), QStringLiteral("REPORT.TXT"));

    struct Case {
        const char* name;
        QLineEdit& edit;
        QString text;
        int NlinesMax;
        bool message;
    } cases[] = {
        { "a number", v.edit("edtNlinesMax"), QStringLiteral("40"), 40, false },
        { "not a number keeps the last value", v.edit("edtNlinesMax"), QStringLiteral("4x"), 40, true },
        { "a page edit re-reads the lines edit", v.edit("edtFirstPage"), QStringLiteral("3"), 40, true },
        { "empty is 62", v.edit("edtNlinesMax"), QString(), 62, false },
        { "zero: no paging", v.edit("edtNlinesMax"), QStringLiteral("0"), 0, false },
        { "negative", v.edit("edtNlinesMax"), QStringLiteral("-5"), -5, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        v.answers.messages.clear();
        c.edit.setText(c.text);
        EXPECT_EQ(v.viewer.NlinesMax(), c.NlinesMax);
        EXPECT_EQ(v.answers.messages.size(), c.message ? 1 : 0);
    }

    // All pages: the page edits are enabled at first and follow the box's clicks.
    auto& all = control<QCheckBox>(v.viewer, "chkAllPages");
    EXPECT_TRUE(all.isChecked());
    EXPECT_TRUE(v.edit("edtFirstPage").isEnabled());
    all.click();
    EXPECT_TRUE(v.edit("edtFirstPage").isEnabled());
    all.click();
    EXPECT_FALSE(v.edit("edtFirstPage").isEnabled());
    EXPECT_FALSE(v.edit("edtLastPage").isEnabled());

    QPlainTextEdit& view = ReportViewOf(v.viewer);
    EXPECT_EQ(view.font().pixelSize(), 13);
    auto& spin = control<QSpinBox>(v.viewer, "RxSpinEdit1");
    EXPECT_EQ(spin.value(), 8);
    spin.setValue(2);
    EXPECT_EQ(view.font().pixelSize(), 13);
    spin.setValue(12);
    EXPECT_EQ(view.font().pointSize(), 12);
}

TEST(ReportViewer, ShowsTheReportWithItsColours)
{
    Viewer v(3);
    const auto lines = ViewLines(ReportViewOf(v.viewer));
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[1][0].color, QColor(0, 0, 255));
    ASSERT_EQ(lines[2].size(), 2);
    EXPECT_EQ(lines[2][1].text, QStringLiteral(" ОШИБКА"));
    EXPECT_EQ(lines[2][1].color, QColor(255, 0, 0));
    EXPECT_TRUE(ReportViewOf(v.viewer).isReadOnly());
    EXPECT_EQ(ReportViewOf(v.viewer).lineWrapMode(), QPlainTextEdit::NoWrap);
}

TEST(ReportViewer, PrintsPagedToThePrinterPortAfterTheQuestion)
{
    TempDir dir;
    Viewer v(130);
    v.viewer.SetPrinterPort(dir.file("lp0"));
    control<QCheckBox>(v.viewer, "chkAllPages").click();
    v.edit("edtFirstPage").setText(QStringLiteral("2"));
    v.edit("edtLastPage").setText(QStringLiteral("2"));

    v.answers.yes = false;
    v.click("sbtnPrint");
    EXPECT_EQ(v.answers.messages, QStringList { QStringLiteral("Вывести текст отчета на принтер?") });
    EXPECT_FALSE(std::filesystem::exists(dir.file("lp0")));

    v.answers.yes = true;
    v.click("sbtnPrint");
    std::string expected = std::string(30, ' ') + "2\r\n\r\n";
    for (int i = 63; i <= 122; ++i)
        expected += Utf8ToCp1251("Строка ") + std::to_string(i) + "\r\n";
    // Code page 866 on the port: "Строка" is 0x91 0xE2 0xE0 0xAE 0xAA 0xA0.
    std::string oem = expected;
    for (std::size_t at = 0; (at = oem.find(Utf8ToCp1251("Строка"), at)) != std::string::npos;)
        oem.replace(at, 6, "\x91\xE2\xE0\xAE\xAA\xA0");
    EXPECT_EQ(readFile(dir.file("lp0")), oem + "\f");

    // A page edit that is no number stops the job before anything is written.
    std::filesystem::remove(dir.file("lp0"));
    v.answers.messages.clear();
    v.edit("edtLastPage").setText(QStringLiteral("x"));
    v.click("sbtnPrint");
    EXPECT_EQ(v.answers.messages.size(), 2);
    EXPECT_FALSE(std::filesystem::exists(dir.file("lp0")));

    // A port that cannot be opened: its message, and the viewer stays usable.
    v.answers.messages.clear();
    v.viewer.SetPrinterPort(dir.file("no/such/port"));
    control<QCheckBox>(v.viewer, "chkAllPages").click();
    v.click("sbtnPrint");
    ASSERT_EQ(v.answers.messages.size(), 2);
    EXPECT_TRUE(v.answers.messages[1].contains(QStringLiteral("no/such/port")))
        << v.answers.messages[1].toStdString();
}

TEST(ReportViewer, SavesAsTextAndProposesTheLastNameNextTime)
{
    TempDir dir;
    Viewer v(2);
    v.click("sbtnSave"); // cancelled
    EXPECT_EQ(v.viewer.ReportFileName(), QStringLiteral("REPORT.TXT"));

    const QString chosen = QString::fromStdString(dir.file("отчет.txt"));
    v.answers.saveAs = chosen;
    v.click("sbtnSave");
    EXPECT_EQ(v.viewer.ReportFileName(), chosen);
    EXPECT_EQ(readFile(dir.file("отчет.txt")), Utf8ToCp1251("Строка 1\r\nСтрока 2\r\n"));
    v.click("sbtnSave");
    ASSERT_EQ(v.answers.proposedSaveNames.size(), 3);
    EXPECT_TRUE(v.answers.proposedSaveNames[2].endsWith(QStringLiteral("отчет.txt")))
        << v.answers.proposedSaveNames[2].toStdString();
    EXPECT_TRUE(v.answers.messages.isEmpty());
}

// The PDF's text, read back by pdftotext.
QString pdfText(const QString& pdf)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"), { QStringLiteral("-layout"), pdf, QStringLiteral("-") });
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// Counts the pixels of the PDF's first page, rendered by pdftoppm, that are near the colour.
int pixelsNear(const QString& pdf, const QColor& colour)
{
    const QString png = pdf + QStringLiteral(".png");
    QProcess::execute(QStringLiteral("pdftoppm"),
        { QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-singlefile"),
            pdf, pdf });
    const QImage image(png);
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            count += std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green())
                    + std::abs(c.blue() - colour.blue())
                < 90;
        }
    return count;
}

TEST(ReportViewer, SavesAsPdfWithItsColoursReplacingAnEarlierFile)
{
    TempDir dir;
    Viewer v(3);
    const QString pdf = QString::fromStdString(dir.write("report.pdf", "an earlier file"));
    v.viewer.SaveReportPdf(pdf);
    const QString text = pdfText(pdf);
    for (const char* line : { "Строка 1", "Строка 2", "Строка 3 ОШИБКА" })
        EXPECT_TRUE(text.contains(QString::fromUtf8(line))) << line << " in\n" << text.toStdString();
    EXPECT_GT(pixelsNear(pdf, QColor(0, 0, 255)), 10);
    EXPECT_GT(pixelsNear(pdf, QColor(255, 0, 0)), 10);

    // Into a directory that does not exist: a failure naming the file, nothing left behind.
    EXPECT_THROW(v.viewer.SaveReportPdf(QString::fromStdString(dir.file("missing/report.pdf"))), IoError);

    // From the toolbar, proposing the report's name with .pdf.
    v.answers.saveAs = QString::fromStdString(dir.file("chosen.pdf"));
    v.click("sbtnPdf");
    EXPECT_TRUE(v.answers.proposedSaveNames.value(0).endsWith(QStringLiteral("REPORT.pdf")));
    EXPECT_TRUE(pdfText(*v.answers.saveAs).contains(QStringLiteral("Строка 2")));
}

TEST(ReportViewer, PrintingOnTheDefaultPrinterSaysSoWhenThereIsNone)
{
    if (!QPrinterInfo::defaultPrinter().isNull())
        GTEST_SKIP() << "this system has a default printer";
    Viewer v(2);
    v.click("btnPrintRTF");
    ASSERT_EQ(v.answers.messages.size(), 2);
    EXPECT_EQ(v.answers.messages[0], QStringLiteral("Распечатать отчет на принтере по умолчанию?"));
    EXPECT_TRUE(v.answers.messages[1].contains(QStringLiteral("принтер по умолчанию")));
}

TEST(ReportViewer, CtrlFFindsTextAndF3FindsTheNextOne)
{
    Viewer v(20);
    v.viewer.show();
    v.viewer.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&v.viewer));
    QPlainTextEdit& view = ReportViewOf(v.viewer);
    // A key pressed in the view of the active viewer (the find box took the focus away).
    const auto press = [&](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        v.viewer.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&v.viewer));
        QTest::keyClick(&view, key, modifiers);
    };

    v.answers.find = QStringLiteral("Строка 2");
    press(Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(view.textCursor().selectedText(), QStringLiteral("Строка 2"));
    EXPECT_EQ(view.textCursor().blockNumber(), 1);
    press(Qt::Key_F3);
    EXPECT_EQ(view.textCursor().blockNumber(), 19); // "Строка 20"
    press(Qt::Key_F3);                              // from the end, wraps to the start
    EXPECT_EQ(view.textCursor().blockNumber(), 1);

    v.answers.find = QStringLiteral("нет такого");
    press(Qt::Key_F, Qt::ControlModifier);
    ASSERT_EQ(v.answers.messages.size(), 1);
    EXPECT_TRUE(v.answers.messages[0].contains(QStringLiteral("не найден")));
    EXPECT_EQ(view.textCursor().blockNumber(), 1);
}

} // namespace
} // namespace venqor::test
