#include "cli/TerminalHost.h"

#include "cli/ProgressBar.h"

#include "base/CodePage.h"
#include "base/Errors.h"
#include "report/FindingsFile.h"
#include "base/Stop.h"
#include "report/ReportText.h"

namespace venqor::cli {

TerminalHost::TerminalHost(Io& io, Settings settings)
    : io_(io)
    , settings_(std::move(settings))
{
}

TerminalHost::~TerminalHost() = default;

bool TerminalHost::Ask(std::string_view)
{
    return true;
}

void TerminalHost::Message(std::string_view text)
{
    if (progress_)
        progress_->ProgressEnd();
    io_.err << Cp1251ToUtf8(text) << '\n';
}

std::optional<std::filesystem::path> TerminalHost::ChooseSaveFile(const std::filesystem::path&)
{
    return settings_.outputFile;
}

void TerminalHost::ShowReport()
{
    if (StopRequested() != 0)
        return; // a stopped run leaves an earlier report file as it was
    if (settings_.reportFile)
        SaveReportText(report_, *settings_.reportFile);
    if (settings_.findingsFile)
        SaveFindings(report_, *settings_.findingsFile);
    if (settings_.quiet)
        return;
    PrintReport(report_, io_.out, io_.outIsTerminal);
    if (!io_.out.flush())
        throw IoError("cannot write the report to standard output");
}

void TerminalHost::ProgressStart(std::uint64_t maximum)
{
    progress_ = std::make_unique<ProgressBar>(io_.err, io_.errIsTerminal);
    progress_->ProgressStart(maximum);
}

void TerminalHost::Progress(std::uint64_t position)
{
    ThrowIfStopRequested();
    if (progress_)
        progress_->Progress(position);
}

void TerminalHost::ProgressEnd()
{
    progress_.reset();
}

void PrintReport(const ReportDocument& report, std::ostream& out, bool colour)
{
    std::string line;
    for (const ReportLine& l : report.lines()) {
        line.clear();
        for (const ReportRun& run : l.runs) {
            const char* escape = nullptr;
            if (colour && run.color == ReportColor::Blue)
                escape = run.bold ? "\x1b[1;34m" : "\x1b[34m";
            else if (colour && run.color == ReportColor::Red)
                escape = run.bold ? "\x1b[1;31m" : "\x1b[31m";
            else if (colour && run.bold)
                escape = "\x1b[1m";
            if (escape)
                line += escape;
            AppendCp1251AsUtf8(run.text, line);
            if (escape)
                line += "\x1b[0m";
        }
        line += '\n';
        out << line;
    }
}

} // namespace venqor::cli
