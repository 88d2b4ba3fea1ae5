#include "gui/Ureport.h"

#include "base/Errors.h"
#include "base/ReplacingFile.h"
#include "gui/Dialogs.h"
#include "gui/GuiText.h"
#include "gui/ReportView.h"
#include "report/FindingsFile.h"
#include "report/PrintToDevice.h"
#include "report/ReportText.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QShortcut>
#include <QSpinBox>
#include <QStyle>
#include <QToolButton>

#include <climits>
#include <filesystem>

namespace venqor::gui {

namespace {

QToolButton* toolButton(QWidget* parent, const char* name, QStyle::StandardPixmap icon, const QString& hint)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(parent->style()->standardIcon(icon));
    button->setIconSize(QSize(24, 24));
    button->setToolTip(hint);
    button->setAccessibleName(hint);
    button->setAutoRaise(true);
    return button;
}

QLineEdit* pageEdit(QWidget* parent, const char* name, const QString& text, int width)
{
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setFixedWidth(width);
    return edit;
}

QLabel* labelFor(QWidget* parent, const QString& text, QWidget* buddy)
{
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

} // namespace

TfrmReport::TfrmReport(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmReport"));
    setWindowTitle(QStringLiteral("Выходные формы"));
    buildControls();
    FormCreate();
}

void TfrmReport::buildControls()
{
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setFont(ReportFont());
    Memo1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    sbtnPrint = toolButton(
        this, "sbtnPrint", QStyle::SP_DriveFDIcon, QStringLiteral("Вывод текста на матричный принтер"));
    btnPrintRTF = toolButton(this, "btnPrintRTF", QStyle::SP_FileIcon,
        QStringLiteral("Распечатать отчет на принтере по умолчанию"));
    btnPrintRTF->setText(QStringLiteral("Печать"));
    btnPrintRTF->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    sbtnSave = toolButton(this, "sbtnSave", QStyle::SP_DialogSaveButton, QStringLiteral("Запись в файл"));
    sbtnPdf = toolButton(
        this, "sbtnPdf", QStyle::SP_FileDialogContentsView, QStringLiteral("Сохранить отчет в PDF"));
    sbtnExit = toolButton(this, "sbtnExit", QStyle::SP_DialogCloseButton, QStringLiteral("Закрыть окно"));

    RxSpinEdit1 = new QSpinBox(this);
    RxSpinEdit1->setObjectName(QStringLiteral("RxSpinEdit1"));
    RxSpinEdit1->setRange(INT_MIN, INT_MAX);
    RxSpinEdit1->setValue(8);
    RxSpinEdit1->setFixedWidth(56);
    edtNlinesMax = pageEdit(this, "edtNlinesMax", QStringLiteral("62"), 40);
    edtNlinesMax->setToolTip(QStringLiteral("Число строк на странице"));
    edtFirstPage = pageEdit(this, "edtFirstPage", QStringLiteral("1"), 40);
    edtLastPage = pageEdit(this, "edtLastPage", QStringLiteral("9999"), 48);
    cbxFormFeed = new QCheckBox(QStringLiteral("Прогон листа"), this);
    cbxFormFeed->setObjectName(QStringLiteral("cbxFormFeed"));
    cbxFormFeed->setChecked(true);
    chkAllPages = new QCheckBox(QStringLiteral("Все страницы"), this);
    chkAllPages->setObjectName(QStringLiteral("chkAllPages"));
    chkAllPages->setChecked(true);

    auto* boxes = new QVBoxLayout;
    boxes->setSpacing(0);
    boxes->addWidget(cbxFormFeed);
    boxes->addWidget(chkAllPages);

    auto* toolbar = new QHBoxLayout;
    for (QWidget* w : { static_cast<QWidget*>(sbtnPrint), static_cast<QWidget*>(btnPrintRTF),
             static_cast<QWidget*>(sbtnSave), static_cast<QWidget*>(sbtnPdf),
             static_cast<QWidget*>(sbtnExit) })
        toolbar->addWidget(w);
    toolbar->addSpacing(12);
    toolbar->addWidget(labelFor(this, QStringLiteral("Шрифт"), RxSpinEdit1));
    toolbar->addWidget(RxSpinEdit1);
    toolbar->addSpacing(8);
    toolbar->addWidget(labelFor(this, QStringLiteral("Строк:"), edtNlinesMax));
    toolbar->addWidget(edtNlinesMax);
    toolbar->addSpacing(8);
    toolbar->addWidget(labelFor(this, QStringLiteral("Страницы с"), edtFirstPage));
    toolbar->addWidget(edtFirstPage);
    toolbar->addWidget(labelFor(this, QStringLiteral("по"), edtLastPage));
    toolbar->addWidget(edtLastPage);
    toolbar->addSpacing(8);
    toolbar->addLayout(boxes);
    toolbar->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(toolbar);
    layout->addWidget(Memo1, 1);
    resize(760, 520);

    connect(sbtnPrint, &QToolButton::clicked, this, &TfrmReport::btnPrintClick);
    connect(btnPrintRTF, &QToolButton::clicked, this, &TfrmReport::btnPrintRTFClick);
    connect(sbtnSave, &QToolButton::clicked, this, &TfrmReport::btnFileClick);
    connect(sbtnPdf, &QToolButton::clicked, this, &TfrmReport::btnPdfClick);
    connect(sbtnExit, &QToolButton::clicked, this, &TfrmReport::btnCloseClick);
    for (QLineEdit* edit : { edtNlinesMax, edtFirstPage, edtLastPage })
        connect(edit, &QLineEdit::textChanged, this, &TfrmReport::edtNlinesMaxChange);
    connect(chkAllPages, &QCheckBox::clicked, this, &TfrmReport::chkAllPagesClick);
    connect(RxSpinEdit1, &QSpinBox::valueChanged, this, &TfrmReport::RxSpinEdit1Change);
    connect(new QShortcut(QKeySequence::Find, this), &QShortcut::activated, this, [this] {
        lastSearch_.clear();
        FindText();
    });
    connect(new QShortcut(QKeySequence::FindNext, this), &QShortcut::activated, this, &TfrmReport::FindText);
}

void TfrmReport::FormCreate()
{
    ReportFileName_ = QStringLiteral("REPORT.TXT");
    edtNlinesMaxChange();
}

void TfrmReport::ShowNewReport()
{
    exec();
}

void TfrmReport::showEvent(QShowEvent* event)
{
    if (shownVersion_ != report_.version()) {
        ShowDocument(*Memo1, report_);
        shownVersion_ = report_.version();
    }
    QDialog::showEvent(event);
}

void TfrmReport::btnPrintClick()
{
    if (!AskYesNo(this, QStringLiteral("Вывести текст отчета на принтер?")))
        return;
    Guarded(this, [this] {
        DevicePrintOptions options;
        options.NlinesMax = NlinesMax_;
        options.formFeed = cbxFormFeed->isChecked();
        options.SetPages(
            chkAllPages->isChecked(), ToCp1251(edtFirstPage->text()), ToCp1251(edtLastPage->text()));
        if (mayWrite(printerPort_))
            PrintToDevice(report_.PlainLines(), printerPort_, options);
    });
}

void TfrmReport::btnPrintRTFClick()
{
    if (!AskYesNo(this, QStringLiteral("Распечатать отчет на принтере по умолчанию?")))
        return;
    const QPrinterInfo defaultPrinter = QPrinterInfo::defaultPrinter();
    if (defaultPrinter.isNull()) {
        Inform(this,
            QStringLiteral("В системе не установлен принтер по умолчанию. Отчет можно сохранить в PDF "
                           "и распечатать с другого компьютера."));
        return;
    }
    QPrinter printer(defaultPrinter, QPrinter::HighResolution);
    printer.setDocName(QString());
    PrintView(*Memo1, printer);
    if (printer.printerState() == QPrinter::Error)
        Inform(this,
            QStringLiteral("Не удалось распечатать отчет на принтере %1").arg(defaultPrinter.printerName()));
}

void TfrmReport::btnFileClick()
{
    const QString findingsFilter = QStringLiteral("Таблица находок (*.csv)");
    QString filter;
    const QString chosen = QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить отчет"),
        ReportFileName_, QStringLiteral("Text File (*.txt);;%1;;Any File (*)").arg(findingsFilter), &filter,
        QFileDialog::DontConfirmOverwrite);
    if (chosen.isEmpty() || !mayWrite(ToPath(chosen)))
        return;
    if (filter == findingsFilter) {
        Guarded(this, [this, &chosen] { SaveFindings(report_, ToPath(chosen)); });
        return;
    }
    ReportFileName_ = chosen;
    Guarded(this, [this] { SaveReportText(report_, ToPath(ReportFileName_).string()); });
}

void TfrmReport::btnPdfClick()
{
    QString proposed = ReportFileName_;
    if (const QString suffix = QFileInfo(proposed).suffix(); !suffix.isEmpty())
        proposed.chop(suffix.size() + 1);
    proposed += QStringLiteral(".pdf");
    const QString chosen = QFileDialog::getSaveFileName(
        this, QStringLiteral("Сохранить отчет в PDF"), proposed, QStringLiteral("PDF (*.pdf)"));
    if (!chosen.isEmpty() && mayWrite(ToPath(chosen)))
        Guarded(this, [this, &chosen] { SaveReportPdf(chosen); });
}

bool TfrmReport::mayWrite(const std::filesystem::path& file)
{
    const std::optional<std::string> problem = outputCheck_ ? outputCheck_(file) : std::nullopt;
    if (problem)
        Inform(this, FromCp1251(*problem));
    return !problem;
}

void TfrmReport::SaveReportPdf(const QString& fileName)
{
    ReplacingFile file(ToPath(fileName));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(FromPath(file.path()));
    printer.setDocName(QString());
    PrintView(*Memo1, printer);
    if (printer.printerState() == QPrinter::Error)
        throw IoError("cannot write \"" + file.target().string() + "\"");
    file.commit();
}

void TfrmReport::btnCloseClick()
{
    close();
}

void TfrmReport::edtNlinesMaxChange()
{
    Guarded(
        this, [this] { NlinesMax_ = DevicePrintOptions::ParseNlinesMax(ToCp1251(edtNlinesMax->text())); });
}

void TfrmReport::chkAllPagesClick()
{
    edtFirstPage->setEnabled(!chkAllPages->isChecked());
    edtLastPage->setEnabled(!chkAllPages->isChecked());
}

void TfrmReport::RxSpinEdit1Change()
{
    if (RxSpinEdit1->value() <= 2)
        return;
    QFont font = Memo1->font();
    font.setPointSize(RxSpinEdit1->value());
    Memo1->setFont(font);
}

void TfrmReport::FindText()
{
    if (lastSearch_.isEmpty()) {
        bool ok = false;
        lastSearch_ = QInputDialog::getText(this, QStringLiteral("Поиск"), QStringLiteral("Найти в отчете:"),
            QLineEdit::Normal, Memo1->textCursor().selectedText(), &ok);
        if (!ok || lastSearch_.isEmpty())
            return;
    }
    if (Memo1->find(lastSearch_))
        return;
    const QTextCursor was = Memo1->textCursor();
    Memo1->moveCursor(QTextCursor::Start);
    if (!Memo1->find(lastSearch_)) {
        Memo1->setTextCursor(was);
        Inform(this, QStringLiteral("Текст \"%1\" не найден").arg(lastSearch_));
    }
}

} // namespace venqor::gui
