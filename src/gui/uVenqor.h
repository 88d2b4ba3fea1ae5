#pragma once

#include "app/MainState.h"

#include <QWidget>

#include <filesystem>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace venqor {
struct CommandInfo;
}

namespace venqor::gui {

class TfrmReport;
class WindowHost;

// The main window "Проверка ФИО на соответствие страх. номеру": every input of the
// commands, the settings file read at start and written at close, the format choice, and a
// button per command, which copies the controls into the window's state and runs the
// command with the window as host. The report viewer is created with it and lives as long.
class TfrmMain : public QWidget {
    Q_OBJECT

public:
    explicit TfrmMain(const ProgramPlaces& places, QWidget* parent = nullptr);
    ~TfrmMain() override;

    TMainState& State() { return state_; }
    TfrmReport& frmReport() { return *frmReport_; }

    // Events of the controls.
    void FilenameEdit1Change();
    void cbxFrmtListChange();
    void btnReportClick();
    // The click of a command's button: the controls into the state, then the command, with
    // the command buttons disabled for its duration and any failure shown in a message box.
    void CommandButtonClick(const CommandInfo& command);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void FormCreate();
    void FormClose();
    void buildControls();
    void layOutControls();
    void connectEvents();
    // The controls' values into the state, and the state into the controls (without raising
    // their change events).
    void takeControls();
    void showControls();
    void showFormat();
    void setCommandButtonsEnabled(bool enabled);

    TMainState state_;
    std::unique_ptr<TfrmReport> frmReport_;
    std::unique_ptr<WindowHost> host_;
    // The command buttons with the command each starts (none while it has not landed).
    std::vector<std::pair<QPushButton*, const CommandInfo*>> commandButtons_;
    // The window was closed during a run: it closes when the run has ended.
    bool closeAfterRun_ = false;

    QLabel* lblVersion;
    QLabel* Label3;
    QLabel* Label9;
    QLabel* Label2;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* lblFmt;
    QLabel* Label1;
    QLabel* lblRecCount;
    QLabel* lblCount;
    QLineEdit* dedtNUMS;
    QLineEdit* FilenameEdit1;
    QPushButton* btnCheckStrNum;
    QPushButton* btnSetStrNum;
    QPushButton* btnReport;
    QPushButton* btnText2Table;
    QPushButton* bbtnCorrAdres;
    QCheckBox* chkFoundOnly;
    QCheckBox* chkNoStatErrors;
    QCheckBox* chkNoBirthErrors;
    QCheckBox* chkByQuery;
    QCheckBox* chkAnkList;
    QComboBox* cbxFrmtList;
    QComboBox* cbxSchList;
    QComboBox* cbxCopyCond;
    QComboBox* cbxCopyValue;
    QLineEdit* edtTblName;
    QLineEdit* edtCopyValue;
    QFrame* Panel1;
    QProgressBar* ProgressBar1;
};

} // namespace venqor::gui
