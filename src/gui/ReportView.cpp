#include "gui/ReportView.h"

#include "gui/GuiText.h"
#include "report/ReportDocument.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QTextCursor>
#include <QTextDocument>

#include <memory>
#include <vector>

namespace venqor::gui {

QColor ViewColor(ReportColor color)
{
    switch (color) {
    case ReportColor::Blue:
        return QColor(0, 0, 255);
    case ReportColor::Red:
        return QColor(255, 0, 0);
    case ReportColor::WindowText:
        break;
    }
    return QColor();
}

QFont ReportFont()
{
    QFont font(QString::fromLatin1(ReportDocument::DefaultFont));
    font.setStyleHint(QFont::TypeWriter);
    if (!QFontInfo(font).fixedPitch())
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(13);
    return font;
}

namespace {

// The character formats of the runs, made once per combination of attributes.
class RunFormats {
public:
    explicit RunFormats(const ReportDocument& report)
        : report_(report)
    {
    }

    const QTextCharFormat& of(const ReportRun& run)
    {
        const std::size_t key = (std::size_t(run.font) * 3 + std::size_t(run.color)) * 2 + (run.bold ? 1 : 0);
        if (key >= formats_.size()) {
            formats_.resize(key + 1);
            made_.resize(key + 1, false);
        }
        if (!made_[key]) {
            QTextCharFormat& format = formats_[key];
            if (const QColor color = ViewColor(run.color); color.isValid())
                format.setForeground(color);
            format.setFontWeight(run.bold ? QFont::Bold : QFont::Normal);
            const std::string& font = report_.fonts()[run.font];
            if (font != ReportDocument::DefaultFont)
                format.setFontFamilies({ FromCp1251(font) });
            made_[key] = true;
        }
        return formats_[key];
    }

private:
    const ReportDocument& report_;
    std::vector<QTextCharFormat> formats_;
    std::vector<bool> made_;
};

} // namespace

void ShowDocument(QPlainTextEdit& view, const ReportDocument& report)
{
    QTextDocument& document = *view.document();
    document.setUndoRedoEnabled(false);
    view.clear();
    RunFormats formats(report);
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    bool first = true;
    for (const ReportLine& line : report.lines()) {
        if (!first)
            cursor.insertBlock();
        first = false;
        for (const ReportRun& run : line.runs)
            cursor.insertText(FromCp1251(run.text), formats.of(run));
    }
    cursor.endEditBlock();
    view.moveCursor(QTextCursor::Start);
}

void PrintView(const QPlainTextEdit& view, QPrinter& printer)
{
    const std::unique_ptr<QTextDocument> printable(view.document()->clone());
    QFont font = view.font();
    if (font.pixelSize() > 0)
        font.setPointSizeF(font.pixelSize() * 72.0 / view.logicalDpiY());
    printable->setDefaultFont(font);
    printable->print(&printer);
}

} // namespace venqor::gui
