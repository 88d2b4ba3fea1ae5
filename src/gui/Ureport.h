#pragma once

#include "report/ReportDocument.h"

#include <QDialog>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;
class QToolButton;

namespace venqor::gui {

// The report viewer "Выходные формы": shows the report of the last command (the view is
// brought up to date whenever the viewer is shown, so it shows what it saves and prints),
// saves it as text, as PDF or its findings as a table, prints it paged in code page 866 on
// the printer port or with its formatting on the default printer. It owns the report; the
// commands fill it through the host.
class TfrmReport : public QDialog {
    Q_OBJECT

public:
    explicit TfrmReport(QWidget* parent = nullptr);

    ReportDocument& Report() { return report_; }
    // Shows the report modally; returns when the user closes the window.
    void ShowNewReport();

    void SetPrinterPort(std::string port) { printerPort_ = std::move(port); }
    // Why a file may not be written (a message in Windows-1251), or nothing: asked before
    // the report is saved or printed into a file.
    using OutputCheck = std::function<std::optional<std::string>(const std::filesystem::path&)>;
    void SetOutputCheck(OutputCheck check) { outputCheck_ = std::move(check); }
    int NlinesMax() const { return NlinesMax_; }
    const QString& ReportFileName() const { return ReportFileName_; }

    // The operations of the toolbar and the edits.
    void btnPrintClick();
    void btnPrintRTFClick();
    void btnFileClick();
    void btnPdfClick();
    void btnCloseClick();
    void edtNlinesMaxChange();
    void chkAllPagesClick();
    void RxSpinEdit1Change();
    void FindText();

    // Prints the view with its formatting into a PDF file, which replaces an existing file
    // of that name only when complete. Throws IoError.
    void SaveReportPdf(const QString& fileName);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void buildControls();
    // False, after the check's message, when the file may not be written.
    bool mayWrite(const std::filesystem::path& file);

    ReportDocument report_;
    std::string printerPort_;
    OutputCheck outputCheck_;
    int NlinesMax_ = 62;
    QString ReportFileName_;
    std::uint64_t shownVersion_ = 0; // the version of the report the view shows
    QString lastSearch_;

    QPlainTextEdit* Memo1;
    QToolButton* sbtnPrint;
    QToolButton* btnPrintRTF;
    QToolButton* sbtnSave;
    QToolButton* sbtnPdf;
    QToolButton* sbtnExit;
    QSpinBox* RxSpinEdit1;
    QLineEdit* edtNlinesMax;
    QLineEdit* edtFirstPage;
    QLineEdit* edtLastPage;
    QCheckBox* cbxFormFeed;
    QCheckBox* chkAllPages;
};

} // namespace venqor::gui
