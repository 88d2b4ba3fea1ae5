#include "gui_support.h"

#include "base/CodePage.h"
#include "engine/TableEngine.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTextBlock>

#include <filesystem>

#include <gtest/gtest.h>

namespace venqor::test {

DialogAnswerer::DialogAnswerer()
{
    timer_.setInterval(5);
    connect(&timer_, &QTimer::timeout, this, &DialogAnswerer::answer);
    timer_.start();
}

namespace {

constexpr qint64 DialogDeadline = 5000; // ms

} // namespace

void DialogAnswerer::answer()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal)
        return;
    if (modal != open_) {
        open_ = modal;
        since_.start();
        modal->installEventFilter(this);
    } else if (since_.elapsed() > DialogDeadline) {
        ADD_FAILURE() << "a dialog stayed open: " << modal->metaObject()->className() << " \""
                      << modal->windowTitle().toStdString() << "\"";
        open_ = nullptr;
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        return;
    }
    if (modal->property("venqorAnswered").toBool())
        return;
    modal->setProperty("venqorAnswered", true);
    QTimer::singleShot(0, modal, [this, modal] { respond(*modal); });
}

bool DialogAnswerer::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Hide) {
        watched->setProperty("venqorAnswered", false);
        if (open_ == watched)
            open_ = nullptr;
    }
    return false;
}

void DialogAnswerer::respond(QWidget& widget)
{
    QWidget* modal = &widget;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        messages << box->text();
        if (onMessage)
            onMessage(box->text());
        if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
            ok->click();
            return;
        }
        box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
        if (afterFirstQuestion)
            QTimer::singleShot(0, std::exchange(afterFirstQuestion, nullptr));
    } else if (auto* files = qobject_cast<QFileDialog*>(modal)) {
        proposedSaveNames << files->selectedFiles().value(0);
        if (saveAs) {
            // The dialog keeps the name it shows while its name edit has the focus.
            if (QWidget* focused = files->focusWidget())
                focused->clearFocus();
            files->selectFile(*saveAs);
            if (saveFilter)
                files->selectNameFilter(*saveFilter);
            static_cast<QDialog*>(files)->accept(); // as the dialog's Save button does
        } else {
            files->reject();
        }
    } else if (auto* input = qobject_cast<QInputDialog*>(modal)) {
        input->setTextValue(find);
        input->accept();
    } else if (modal->objectName() == QLatin1String("frmReport")) {
        ++reportsShown;
        if (whileReportShown)
            whileReportShown();
        modal->close();
    }
}

namespace {

constexpr std::string_view Schema = "[TEST]\r\n"
                                    "FILETYPE = FIXED\r\n"
                                    "Field1 = TYPE,CHAR,1,00,00\r\n"
                                    "Field2 = STRNUM,CHAR,14,00,01\r\n"
                                    "Field3 = FAM,CHAR,15,00,15\r\n"
                                    "Field4 = NAM,CHAR,15,00,30\r\n"
                                    "Field5 = OTCH,CHAR,15,00,45\r\n"
                                    "Field6 = BIRTH,DATE,10,00,60\r\n"
                                    "Field7 = SEX,CHAR,1,00,70\r\n";

struct Person {
    std::int64_t num;
    const char* fam;
    const char* nam;
    const char* otch;
    const char* birth;
};

const Person People[] = {
    { 112233445, "ИВАНОВ", "ИВАН", "ИВАНОВИЧ", "15.03.1950" },
    { 123456789, "СИДОРОВА", "АННА", "ПЕТРОВНА", "01.07.1948" },
    { 234567891, "СМИРНОВ", "ПЁТР", "СЕРГЕЕВИЧ", "20.11.1939" },
};

std::string pad(std::string_view utf8, std::size_t width)
{
    std::string s = Utf8ToCp1251(utf8);
    s.resize(width, ' ');
    return s;
}

} // namespace

ProgramDirFixture::ProgramDirFixture()
{
    dir.write("TEST.SCH", Schema);
    std::filesystem::create_directory(dir.path() / "reg");
    auto db = OpenDatabase(registerDir());
    auto nums = db->table("NUMS");
    nums->create({ { "NUM", FieldType::Integer, 0 }, { "FAM", FieldType::Text, 40 },
                     { "NAM", FieldType::Text, 40 }, { "OTCH", FieldType::Text, 40 },
                     { "BIRTH", FieldType::Date, 0 }, { "COND", FieldType::Text, 1 } },
        "NUM");
    nums->open();
    db->beginWrite();
    for (const Person& p : People) {
        nums->insert();
        nums->setField(0, p.num);
        nums->setField(1, Utf8ToCp1251(p.fam));
        nums->setField(2, Utf8ToCp1251(p.nam));
        nums->setField(3, Utf8ToCp1251(p.otch));
        nums->setField(4, std::string_view(p.birth));
        nums->setField(5, std::string_view());
        nums->post();
    }
    db->commit();
    nums->close();
}

std::string ProgramDirFixture::dataFile(const std::vector<std::string>& lines, std::string_view name) const
{
    std::string data;
    for (const std::string& l : lines)
        data += l + "\r\n";
    return dir.write(name, data);
}

std::string record(std::string_view num, std::string_view fam, std::string_view nam, std::string_view otch,
    std::string_view birth)
{
    return pad("О", 1) + pad(num, 14) + pad(fam, 15) + pad(nam, 15) + pad(otch, 15) + pad(birth, 10)
        + pad("М", 1);
}

std::vector<std::vector<ViewRun>> ViewLines(const QPlainTextEdit& view)
{
    std::vector<std::vector<ViewRun>> lines;
    for (QTextBlock block = view.document()->begin(); block.isValid(); block = block.next()) {
        std::vector<ViewRun>& runs = lines.emplace_back();
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            const QColor color
                = format.hasProperty(QTextFormat::ForegroundBrush) ? format.foreground().color() : QColor();
            const bool bold = format.fontWeight() == QFont::Bold;
            if (!runs.empty() && runs.back().color == color && runs.back().bold == bold)
                runs.back().text += it.fragment().text();
            else
                runs.push_back({ it.fragment().text(), color, bold });
        }
    }
    return lines;
}

QPlainTextEdit& ReportViewOf(QWidget& viewer)
{
    return *viewer.findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
}

} // namespace venqor::test
