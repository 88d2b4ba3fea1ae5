#include "gui/uVenqor.h"

#include "app/Formats.h"
#include "app/Settings.h"
#include "app/Version.h"
#include "commands/CommandList.h"
#include "gui/Dialogs.h"
#include "gui/GuiText.h"
#include "gui/Pickers.h"
#include "gui/Ureport.h"
#include "gui/WindowHost.h"
#include "run/OutputFile.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>

#include <clocale>
#include <utility>

namespace venqor::gui {

namespace {

// The version, its build date and the author line of lblVersion.
const QString VersionLine
    = QString::fromLatin1(VenqorVersion) + QStringLiteral(" Проверка реестров льготников");

template <typename Widget> Widget* named(Widget* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QPushButton* commandButton(QWidget* parent, const char* name, const QString& caption, const QString& hint,
    QStyle::StandardPixmap glyph)
{
    auto* button = named(new QPushButton(parent->style()->standardIcon(glyph), caption, parent), name);
    button->setToolTip(hint);
    button->setMinimumWidth(140);
    return button;
}

QComboBox* comboBox(QWidget* parent, const char* name, const QStringList& items)
{
    auto* box = named(new QComboBox(parent), name);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItems(items);
    return box;
}

QCheckBox* checkBox(
    QWidget* parent, const char* name, const QString& caption, const QString& hint = QString())
{
    auto* box = named(new QCheckBox(caption, parent), name);
    box->setToolTip(hint);
    return box;
}

QLabel* label(QWidget* parent, const char* name, const QString& text, QWidget* buddy = nullptr)
{
    auto* l = named(new QLabel(text, parent), name);
    l->setBuddy(buddy);
    return l;
}

// Sets a text only when it differs, so that an edit the user is typing in keeps its cursor.
void setText(QLineEdit& edit, const QString& text)
{
    if (edit.text() != text)
        edit.setText(text);
}

void setText(QComboBox& box, const QString& text)
{
    if (box.currentText() != text)
        box.setCurrentText(text);
}

} // namespace

TfrmMain::TfrmMain(const ProgramPlaces& places, QWidget* parent)
    : QWidget(parent)
    , state_(DefaultMainState(places))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Проверка ФИО на соответствие страх. номеру"));
    buildControls();
    layOutControls();
    FormCreate();
    frmReport_ = std::make_unique<TfrmReport>(this);
    frmReport_->SetPrinterPort(state_.PrinterPort);
    frmReport_->SetOutputCheck(
        [this](const std::filesystem::path& file) { return OutputProblem(file, state_); });
    host_ = std::make_unique<WindowHost>(*this, *ProgressBar1, *lblRecCount, *frmReport_);
    connectEvents();
    FilenameEdit1Change();
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::buildControls()
{
    lblVersion = label(this, "lblVersion", QString());
    lblVersion->setStyleSheet(QStringLiteral("color: navy"));
    dedtNUMS = named(new QLineEdit(this), "dedtNUMS");
    AttachDirectoryPicker(*dedtNUMS);
    FilenameEdit1 = named(new QLineEdit(this), "FilenameEdit1");
    AttachFileOpenPicker(*FilenameEdit1);
    FilenameEdit1->setAcceptDrops(false); // a dropped file goes to the window, which takes its name
    Label3 = label(this, "Label3", QStringLiteral("Имя файла с данными"), FilenameEdit1);
    Label9 = label(this, "Label9", QStringLiteral("Каталог с таблицей NUMS или имя БД"), dedtNUMS);

    btnCheckStrNum = commandButton(this, "btnCheckStrNum", QStringLiteral("Проверка ФИО"),
        QStringLiteral("Проверка страх номеров на соответствие ФИО"), QStyle::SP_DialogApplyButton);
    btnReport = commandButton(this, "btnReport", QStringLiteral("Отчет"),
        QStringLiteral("Показать последний отчет"), QStyle::SP_FileDialogContentsView);
    btnSetStrNum = commandButton(this, "btnSetStrNum", QStringLiteral("Простановка"),
        QStringLiteral("Поиск и простановка страх номеров по ФИО и д/р"), QStyle::SP_ArrowRight);
    bbtnCorrAdres = commandButton(this, "bbtnCorrAdres", QStringLiteral("Правка адресов"),
        QStringLiteral("Правка адресов - удаление вед. запятой и тп"), QStyle::SP_FileDialogDetailedView);
    btnText2Table = commandButton(this, "btnText2Table", QStringLiteral("Преобразовать"),
        QStringLiteral("Преобразовать отобранные строки  текстового файла в таблицу"),
        QStyle::SP_DriveHDIcon);

    chkNoStatErrors = checkBox(this, "chkNoStatErrors", QStringLiteral("Без ошибок статуса"));
    chkNoBirthErrors = checkBox(this, "chkNoBirthErrors", QStringLiteral("Без ошибок д/рождения"));
    chkFoundOnly = checkBox(this, "chkFoundOnly", QStringLiteral("Только поиск"),
        QStringLiteral("Поиск новых страх. номеров без простановки в файл"));
    chkByQuery = checkBox(this, "chkByQuery", QStringLiteral("SQL поиск"));
    chkAnkList = checkBox(this, "chkAnkList", QStringLiteral("Список ненайденных"));

    QStringList formats;
    for (const FormatRow& row : FormatTable())
        formats << FromCp1251(row.format);
    cbxFrmtList = comboBox(this, "cbxFrmtList", formats);
    cbxSchList = comboBox(this, "cbxSchList",
        { QStringLiteral("EDV3"), QStringLiteral("EDV4"), QStringLiteral("EDV4V"), QStringLiteral("FOMS"),
            QStringLiteral("FSS") });
    edtTblName = named(new QLineEdit(this), "edtTblName");
    cbxCopyCond = comboBox(
        this, "cbxCopyCond", { QStringLiteral("Все"), QStringLiteral("Только"), QStringLiteral("Кроме") });
    cbxCopyCond->setAccessibleName(QStringLiteral("Какие строки отбирать"));
    cbxCopyValue = comboBox(this, "cbxCopyValue",
        { QStringLiteral("начинаюшиеся с"), QStringLiteral("содержащие"), QStringLiteral("не содержащие") });
    cbxCopyValue->setAccessibleName(QStringLiteral("Как сравнивать текст отбора"));
    edtCopyValue = named(new QLineEdit(this), "edtCopyValue");
    edtCopyValue->setAccessibleName(QStringLiteral("Текст отбора и признак строки записи"));
    Label2 = label(this, "Label2", QStringLiteral("Формат файла"), cbxFrmtList);
    Label4 = label(this, "Label4", QStringLiteral("Схема"), cbxSchList);
    Label5 = label(this, "Label5", QStringLiteral("Таблица"), edtTblName);
    lblFmt = label(this, "lblFmt", QString());

    Panel1 = named(new QFrame(this), "Panel1");
    Panel1->setFrameShape(QFrame::StyledPanel);
    Label1 = label(Panel1, "Label1", QStringLiteral("Число записей"));
    lblRecCount = label(Panel1, "lblRecCount", QString());
    lblRecCount->setMinimumWidth(60);
    lblCount = label(Panel1, "lblCount", QStringLiteral("-"));
    ProgressBar1 = named(new QProgressBar(Panel1), "ProgressBar1");
    ProgressBar1->setRange(0, 100);
    ProgressBar1->hide();

    // Tab order of the design.
    QWidget* order[] = { dedtNUMS, FilenameEdit1, btnCheckStrNum, btnSetStrNum, btnReport, btnText2Table,
        chkFoundOnly, cbxFrmtList, cbxSchList, edtTblName, cbxCopyCond, cbxCopyValue, edtCopyValue,
        chkNoStatErrors, chkNoBirthErrors, bbtnCorrAdres, chkByQuery, chkAnkList };
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    setAcceptDrops(true);
}

void TfrmMain::layOutControls()
{
    auto* top = new QHBoxLayout;
    top->addWidget(Label3);
    top->addStretch(1);
    top->addWidget(lblVersion);

    auto* checks = new QGridLayout;
    checks->addWidget(chkNoStatErrors, 0, 0);
    checks->addWidget(chkNoBirthErrors, 1, 0);
    checks->addWidget(chkFoundOnly, 0, 1);
    checks->addWidget(chkByQuery, 1, 1);

    auto* format = new QGridLayout;
    format->addWidget(Label2, 0, 0);
    format->addWidget(Label4, 0, 1);
    format->addWidget(Label5, 0, 2);
    format->addWidget(cbxFrmtList, 1, 0);
    format->addWidget(cbxSchList, 1, 1);
    format->addWidget(edtTblName, 1, 2);
    format->addWidget(cbxCopyCond, 2, 0);
    format->addWidget(cbxCopyValue, 2, 1);
    format->addWidget(edtCopyValue, 2, 2);
    format->setColumnStretch(0, 2);
    format->setColumnStretch(1, 3);
    format->setColumnStretch(2, 2);

    auto* last = new QHBoxLayout;
    last->addWidget(lblFmt, 1);
    last->addWidget(chkAnkList);

    auto* left = new QVBoxLayout;
    left->addWidget(Label9);
    left->addWidget(dedtNUMS);
    left->addLayout(checks);
    left->addLayout(format);
    left->addStretch(1);
    left->addLayout(last);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : { btnCheckStrNum, btnReport, btnSetStrNum, bbtnCorrAdres, btnText2Table })
        buttons->addWidget(b);
    buttons->addStretch(1);

    auto* middle = new QHBoxLayout;
    middle->addLayout(left, 1);
    middle->addSpacing(8);
    middle->addLayout(buttons);

    auto* status = new QHBoxLayout(Panel1);
    status->setContentsMargins(6, 2, 6, 2);
    status->addWidget(Label1);
    status->addWidget(lblRecCount);
    status->addWidget(lblCount);
    status->addWidget(ProgressBar1, 1);
    status->addStretch(0);

    auto* window = new QVBoxLayout(this);
    window->setContentsMargins(8, 6, 8, 4);
    window->addLayout(top);
    window->addWidget(FilenameEdit1);
    window->addLayout(middle, 1);
    window->addWidget(Panel1);
    resize(588, 325);
}

void TfrmMain::connectEvents()
{
    connect(FilenameEdit1, &QLineEdit::textChanged, this, &TfrmMain::FilenameEdit1Change);
    connect(cbxFrmtList, &QComboBox::currentTextChanged, this, &TfrmMain::cbxFrmtListChange);
    connect(btnReport, &QPushButton::clicked, this, &TfrmMain::btnReportClick);
    for (QPushButton* button : { btnCheckStrNum, btnSetStrNum, bbtnCorrAdres, btnText2Table }) {
        const CommandInfo* command = nullptr;
        for (const CommandInfo& c : CommandList())
            if (QLatin1StringView(c.button.data(), qsizetype(c.button.size())) == button->objectName())
                command = &c;
        commandButtons_.emplace_back(button, command);
        if (command)
            connect(button, &QPushButton::clicked, this, [this, command] { CommandButtonClick(*command); });
    }
    setCommandButtonsEnabled(true);
}

void TfrmMain::FormCreate()
{
    // Numbers with a decimal point, whatever the system's locale (the runtime's
    // formatting is process-wide; the dates are dd.mm.yyyy by the core's own routines).
    std::setlocale(LC_NUMERIC, "C");
    lblVersion->setText(VersionLine);
    ReadSettings(state_);
    state_.byQuery = state_.UseQuery;
    showControls();
}

void TfrmMain::FormClose()
{
    takeControls();
    Guarded(this, [this] { WriteSettings(state_); });
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    // A run owns the window's state until it ends; the window closes after it.
    if (state_.Running) {
        closeAfterRun_ = true;
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TfrmMain::FilenameEdit1Change()
{
    if (state_.Running)
        return;
    takeControls();
    Guarded(this, [this] { DetectFormat(state_); });
    showFormat();
}

void TfrmMain::cbxFrmtListChange()
{
    if (state_.Running)
        return;
    takeControls();
    Guarded(this, [this] { ApplyFormat(state_); });
    showFormat();
}

void TfrmMain::btnReportClick()
{
    frmReport_->exec();
}

void TfrmMain::CommandButtonClick(const CommandInfo& command)
{
    if (state_.Running)
        return;
    takeControls();
    setCommandButtonsEnabled(false);
    Guarded(this, [this, &command] { command.run(state_, *host_); });
    setCommandButtonsEnabled(true);
    if (std::exchange(closeAfterRun_, false))
        close();
}

void TfrmMain::setCommandButtonsEnabled(bool enabled)
{
    btnReport->setEnabled(enabled);
    for (const auto& [button, command] : commandButtons_)
        button->setEnabled(enabled && command);
}

void TfrmMain::takeControls()
{
    state_.dataFile = ToPath(FilenameEdit1->text());
    state_.registerLocation = ToPath(dedtNUMS->text()).string();
    state_.format = ToCp1251(cbxFrmtList->currentText());
    state_.schema = ToCp1251(cbxSchList->currentText());
    state_.tableName = ToPath(edtTblName->text());
    state_.copyCondition = ToCp1251(cbxCopyCond->currentText());
    state_.copyMatchKind = ToCp1251(cbxCopyValue->currentText());
    state_.recordType = ToCp1251(edtCopyValue->text());
    state_.foundOnly = chkFoundOnly->isChecked();
    state_.noStatusErrors = chkNoStatErrors->isChecked();
    state_.noBirthErrors = chkNoBirthErrors->isChecked();
    state_.byQuery = chkByQuery->isChecked();
    state_.collectNotFound = chkAnkList->isChecked();
}

void TfrmMain::showControls()
{
    const QSignalBlocker blockFile(FilenameEdit1);
    const QSignalBlocker blockFormat(cbxFrmtList);
    setText(*FilenameEdit1, FromPath(state_.dataFile));
    setText(*dedtNUMS, FromPath(state_.registerLocation));
    setText(*cbxCopyCond, FromCp1251(state_.copyCondition));
    setText(*cbxCopyValue, FromCp1251(state_.copyMatchKind));
    chkFoundOnly->setChecked(state_.foundOnly);
    chkNoStatErrors->setChecked(state_.noStatusErrors);
    chkNoBirthErrors->setChecked(state_.noBirthErrors);
    chkByQuery->setChecked(state_.byQuery);
    chkAnkList->setChecked(state_.collectNotFound);
    lblRecCount->setText(FromCp1251(state_.recordCountLabel));
    showFormat();
}

void TfrmMain::showFormat()
{
    const QSignalBlocker blockFormat(cbxFrmtList);
    setText(*cbxFrmtList, FromCp1251(state_.format));
    setText(*cbxSchList, FromCp1251(state_.schema));
    setText(*edtTblName, FromPath(state_.tableName));
    setText(*edtCopyValue, FromCp1251(state_.recordType));
    lblFmt->setText(FromCp1251(state_.formatLabel));
}

void TfrmMain::dragEnterEvent(QDragEnterEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.first().isLocalFile())
        event->acceptProposedAction();
}

void TfrmMain::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return;
    FilenameEdit1->setText(QDir::toNativeSeparators(urls.first().toLocalFile()));
    event->acceptProposedAction();
}

} // namespace venqor::gui
