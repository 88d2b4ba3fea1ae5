#include "gui_support.h"

#include "base/CodePage.h"
#include "gui/uVenqor.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>

#include <gtest/gtest.h>

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

// The value of a key of section Init in a settings file's text, as bytes; nothing when absent.
std::optional<std::string> iniValue(const std::string& ini, const std::string& key)
{
    const std::size_t section = ini.find("[Init]\r\n");
    if (section == std::string::npos)
        return std::nullopt;
    const std::string head = "\r\n" + key + "=";
    const std::size_t at = ini.find(head, section);
    if (at == std::string::npos)
        return std::nullopt;
    const std::size_t begin = at + head.size();
    return ini.substr(begin, ini.find("\r\n", begin) - begin);
}

TEST(Settings, FirstStartWithoutAFileShowsTheDefaultsAndClosingWritesEveryKey)
{
    TempDir dir;
    DialogAnswerer answers;
    {
        TfrmMain window(dir.path());
        EXPECT_EQ(control<QLineEdit>(window, "dedtNUMS").text(), QString());
        EXPECT_EQ(
            control<QLineEdit>(window, "FilenameEdit1").text(), QString::fromStdString(dir.path().string()));
        EXPECT_FALSE(control<QCheckBox>(window, "chkByQuery").isChecked());
        window.close();
    }
    const std::string ini = readFile(dir.file("venqor.ini"));
    EXPECT_EQ(iniValue(ini, "NUMS"), "");
    EXPECT_EQ(iniValue(ini, "LgotName"), dir.path().string());
    EXPECT_EQ(iniValue(ini, "SQL1"), "SELECT * FROM NUMS WHERE NUM=:NUM");
    EXPECT_EQ(iniValue(ini, "SQL2"),
        "SELECT * FROM NUMS WHERE FAM=:FAM AND NAM=:NAM AND OTCH=:OTCH AND BIRTH=:BIRTH");
    EXPECT_EQ(iniValue(ini, "Query"), "0");
    EXPECT_EQ(iniValue(ini, "PrinterPort"), "/dev/lp0");
    EXPECT_TRUE(answers.messages.isEmpty());
}

TEST(Settings, WhatTheFileHoldsIsShownAndWrittenBackAsItWas)
{
    struct Case {
        const char* name;
        std::string ini;
        bool byQuery;
        std::string query; // as written at close
    };
    const std::string cyrillicName = Utf8ToCp1251("/data/Реестр №1 (ЕДВ).txt");
    const std::string longValue(20000, 'x');
    const Case cases[] = {
        { "Query=y", "[Init]\r\nQuery=y\r\n", true, "1" },
        { "Query=yes, first character only", "[Init]\r\nQuery=yes\r\n", true, "1" },
        { "Query=T", "[Init]\r\nQuery=T\r\n", false, "0" },
        { "Query empty", "[Init]\r\nQuery=\r\n", false, "0" },
        { "Cyrillic data file name", "[Init]\r\nLgotName=" + cyrillicName + "\r\nQuery=1\r\n", true, "1" },
        { "very long register location", "[Init]\r\nNUMS=" + longValue + "\r\n", false, "0" },
        { "section missing", "NUMS=elsewhere\r\nQuery=1\r\n", false, "0" },
        { "garbage", std::string("\x01\xff[\x80]]]\0=\n==\r\n", 17), false, "0" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        dir.write("venqor.ini", c.ini);
        DialogAnswerer answers;
        {
            TfrmMain window(dir.path());
            EXPECT_EQ(control<QCheckBox>(window, "chkByQuery").isChecked(), c.byQuery);
            // A change of the box that no command took up is not saved.
            control<QCheckBox>(window, "chkByQuery").click();
            window.close();
        }
        EXPECT_TRUE(answers.messages.isEmpty()) << answers.messages.join(QLatin1Char('|')).toStdString();
        const std::string ini = readFile(dir.file("venqor.ini"));
        EXPECT_EQ(iniValue(ini, "Query"), c.query);
        if (c.ini.find("LgotName=") != std::string::npos) {
            EXPECT_EQ(iniValue(ini, "LgotName"), cyrillicName); // byte for byte
        }
        if (c.ini.find(longValue) != std::string::npos) {
            EXPECT_EQ(iniValue(ini, "NUMS"), longValue);
        }
    }
}

TEST(Settings, ASettingsFileThatCannotBeWrittenIsReportedAtClose)
{
    TempDir dir;
    DialogAnswerer answers;
    TfrmMain window(dir.path() / "gone");
    window.close();
    ASSERT_EQ(answers.messages.size(), 1);
    EXPECT_TRUE(answers.messages[0].contains(QStringLiteral("venqor.ini")))
        << answers.messages[0].toStdString();
}

TEST(Settings, ACyrillicDataFileNameIsShownAsTheUserWroteIt)
{
    TempDir dir;
    dir.write("venqor.ini", "[Init]\r\nLgotName=" + Utf8ToCp1251("/data/Реестр №1.txt") + "\r\n");
    TfrmMain window(dir.path());
    EXPECT_EQ(control<QLineEdit>(window, "FilenameEdit1").text(), QStringLiteral("/data/Реестр №1.txt"));
}

TEST(Settings, AnInstalledWindowReadsSchemasFromTheirPlaceAndKeepsItsSettingsInTheOther)
{
    TempDir dir;
    const ProgramPlaces places({ dir.path() / "share" }, dir.path() / "config");
    std::filesystem::create_directories(places.SchemaDirs[0]);
    std::filesystem::create_directories(places.ProgramDir);
    dir.write("share/TEST.SCH", "schema");
    dir.write("config/venqor.ini", "[Init]\r\nNUMS=/office/register\r\n");
    DialogAnswerer answers;
    {
        TfrmMain window(places);
        EXPECT_EQ(window.State().SchemaDirs, places.SchemaDirs);
        EXPECT_EQ(control<QLineEdit>(window, "dedtNUMS").text(), QStringLiteral("/office/register"));
        window.close();
    }
    EXPECT_TRUE(answers.messages.isEmpty()) << answers.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(std::filesystem::exists(places.ProgramDir / "venqor.ini"));
    EXPECT_FALSE(std::filesystem::exists(places.SchemaDirs[0] / "venqor.ini"));
    EXPECT_FALSE(std::filesystem::exists(places.ProgramDir / "TEST.SCH")); // nothing copied
}

// The format controls of the window, for comparisons.
struct FormatControls {
    QString format, schema, table, marker;
    bool operator==(const FormatControls&) const = default;
};

std::ostream& operator<<(std::ostream& out, const FormatControls& f)
{
    return out << f.format.toStdString() << " / " << f.schema.toStdString() << " / " << f.table.toStdString()
               << " / " << f.marker.toStdString();
}

FormatControls formatOf(QWidget& window)
{
    return { control<QComboBox>(window, "cbxFrmtList").currentText(),
        control<QComboBox>(window, "cbxSchList").currentText(),
        control<QLineEdit>(window, "edtTblName").text(), control<QLineEdit>(window, "edtCopyValue").text() };
}

// Types a text into an edit character by character, as the user does.
void type(QLineEdit& edit, const QString& text)
{
    for (const QChar c : text)
        edit.insert(QString(c));
}

const FormatControls Fss { QStringLiteral("ФСС"), QStringLiteral("FSS"), QStringLiteral("FSS.DBF"),
    QStringLiteral("О") };

TEST(FormatChoice, TheDataFilesFirstLineSetsTheFormatOnlyForEdv3AndEdv4)
{
    struct Case {
        const char* name;
        std::string firstLine; // code page 866 bytes
        QString label;
        FormatControls format;
    } cases[] = {
        { "В3.0",
            "\x82"
            "3.0 12345",
            QStringLiteral("Формат В3.0 1"),
            { QStringLiteral("ЕДВ-3"), QStringLiteral("EDV3"), QStringLiteral("EDV3.DBF"),
                QStringLiteral("О") } },
        { "В4.0",
            "\x82"
            "4.0|01.12",
            QStringLiteral("Формат В4.0|0"),
            { QStringLiteral("ЕДВ-4"), QStringLiteral("EDV4"), QStringLiteral("EDV4.DBF"),
                QStringLiteral("О") } },
        { "В5.0 is no known header",
            "\x82"
            "5.0abc",
            QStringLiteral("Формат В5.0ab"), Fss },
        { "a Latin B is no header", "B4.0abc", QStringLiteral("Формат B4.0ab"), Fss },
        { "a short line",
            "\x82"
            "4",
            QStringLiteral("Формат В4"), Fss },
        { "an empty file", "", QStringLiteral("Формат "), Fss },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string data = dir.write("DATA.TXT", c.firstLine.empty() ? "" : c.firstLine + "\r\nО\r\n");
        DialogAnswerer answers;
        TfrmMain window(dir.path());
        control<QComboBox>(window, "cbxFrmtList").setEditText(QStringLiteral("ФСС"));
        ASSERT_EQ(formatOf(window), Fss);

        // Typed character by character: the directory on the way and the unfinished names
        // change nothing and say nothing.
        auto& edit = control<QLineEdit>(window, "FilenameEdit1");
        edit.clear();
        type(edit, QString::fromStdString(data));
        EXPECT_EQ(formatOf(window), c.format);
        EXPECT_EQ(control<QLabel>(window, "lblFmt").text(), c.label);
        EXPECT_TRUE(answers.messages.isEmpty());
    }
}

TEST(FormatChoice, TypingAFormatNameAppliesItsRowOnlyWhenItMatchesExactly)
{
    struct Case {
        const char* name;
        QString typed;
        FormatControls format;
    } cases[] = {
        { "ФОМС", QStringLiteral("ФОМС"),
            { QStringLiteral("ФОМС"), QStringLiteral("FOMS"), QStringLiteral("FOMS.DBF"),
                QStringLiteral("М") } },
        { "ОСЗН", QStringLiteral("ОСЗН"),
            { QStringLiteral("ОСЗН"), QStringLiteral("OSZN"), QStringLiteral("OSZN.DBF"),
                QStringLiteral("О") } },
        { "lower case", QStringLiteral("фомс"),
            { QStringLiteral("фомс"), QStringLiteral("EDV4"), QStringLiteral("edv.dbf"),
                QStringLiteral("О") } },
        { "unknown", QStringLiteral("ЕДВ-5"),
            { QStringLiteral("ЕДВ-5"), QStringLiteral("EDV4"), QStringLiteral("edv.dbf"),
                QStringLiteral("О") } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        TfrmMain window(dir.path());
        auto& box = control<QComboBox>(window, "cbxFrmtList");
        box.lineEdit()->clear();
        type(*box.lineEdit(), c.typed);
        EXPECT_EQ(formatOf(window), c.format);
    }

    // Choosing an item from the list applies it too.
    TempDir dir;
    TfrmMain window(dir.path());
    control<QComboBox>(window, "cbxFrmtList").setCurrentIndex(2);
    EXPECT_EQ(formatOf(window),
        (FormatControls { QStringLiteral("ЕДВ-4В"), QStringLiteral("EDV4V"), QStringLiteral("EDV4V.DBF"),
            QStringLiteral("О") }));
}

TEST(MainWindow, ADroppedFileBecomesTheDataFile)
{
    TempDir dir;
    const std::string data = dir.write("DATA.TXT",
        "\x82"
        "3.0\r\n");
    TfrmMain window(dir.path());
    QMimeData mime;
    mime.setUrls({ QUrl::fromLocalFile(QString::fromStdString(data)) });
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
    EXPECT_EQ(control<QLineEdit>(window, "FilenameEdit1").text(), QString::fromStdString(data));
    EXPECT_EQ(control<QComboBox>(window, "cbxFrmtList").currentText(), QStringLiteral("ЕДВ-3"));
}

} // namespace
} // namespace venqor::test
