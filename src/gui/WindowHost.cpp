#include "gui/WindowHost.h"

#include "gui/Dialogs.h"
#include "gui/GuiText.h"
#include "gui/Ureport.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QProgressBar>

namespace venqor::gui {

namespace {

constexpr qint64 RepaintMilliseconds = 50;

} // namespace

WindowHost::WindowHost(QWidget& window, QProgressBar& progressBar, QLabel& recordCount, TfrmReport& viewer)
    : window_(window)
    , progressBar_(progressBar)
    , recordCount_(recordCount)
    , viewer_(viewer)
{
    sinceRepaint_.start();
}

bool WindowHost::Ask(std::string_view question)
{
    return AskYesNo(&window_, FromCp1251(question));
}

void WindowHost::Message(std::string_view text)
{
    repaint();
    Inform(&window_, FromCp1251(text));
}

std::optional<std::filesystem::path> WindowHost::ChooseSaveFile(const std::filesystem::path& proposed)
{
    const QString chosen = QFileDialog::getSaveFileName(
        &window_, QStringLiteral("Сохранить"), FromPath(proposed), QStringLiteral("Все файлы (*)"));
    if (chosen.isEmpty())
        return std::nullopt;
    return ToPath(chosen);
}

ReportDocument& WindowHost::Report()
{
    return viewer_.Report();
}

void WindowHost::ShowReport()
{
    repaint();
    viewer_.ShowNewReport();
}

void WindowHost::ShowRecordCount(std::string_view text)
{
    pendingCount_.assign(text);
    countPending_ = true;
    if (maximum_ == 0 || sinceRepaint_.hasExpired(RepaintMilliseconds))
        repaint();
}

void WindowHost::ProgressStart(std::uint64_t maximum)
{
    maximum_ = maximum == 0 ? 1 : maximum;
    position_ = 0;
    progressBar_.setRange(0, 100);
    progressBar_.setValue(0);
    progressBar_.show();
    repaint();
}

void WindowHost::Progress(std::uint64_t position)
{
    position_ = position;
    if (sinceRepaint_.hasExpired(RepaintMilliseconds))
        repaint();
}

void WindowHost::ProgressEnd()
{
    maximum_ = 0;
    progressBar_.hide();
    repaint();
}

void WindowHost::repaint()
{
    if (countPending_) {
        recordCount_.setText(FromCp1251(pendingCount_));
        countPending_ = false;
    }
    if (maximum_ != 0)
        progressBar_.setValue(int(std::min<std::uint64_t>(position_, maximum_) * 100 / maximum_));
    QApplication::processEvents();
    sinceRepaint_.start();
}

} // namespace venqor::gui
