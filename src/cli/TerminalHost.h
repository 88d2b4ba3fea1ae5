#pragma once

#include "cli/Cli.h"

#include "report/ReportDocument.h"
#include "run/RunHost.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace venqor::cli {

class ProgressBar;

// The run host of venqor-cli: every question is answered Yes, the save dialog gives the
// --output file, messages go to standard error and the report to standard output (UTF-8,
// coloured on a terminal), saved as text with --report and its findings as a table with
// --findings.
class TerminalHost final : public RunHost {
public:
    struct Settings {
        std::optional<std::filesystem::path> outputFile;
        std::optional<std::filesystem::path> reportFile;
        std::optional<std::filesystem::path> findingsFile;
        bool quiet = false;
    };

    TerminalHost(Io& io, Settings settings);
    ~TerminalHost() override;

    bool Ask(std::string_view question) override;
    void Message(std::string_view text) override;
    std::optional<std::filesystem::path> ChooseSaveFile(const std::filesystem::path& proposed) override;
    ReportDocument& Report() override { return report_; }
    void ShowReport() override;
    void ProgressStart(std::uint64_t maximum) override;
    void Progress(std::uint64_t position) override;
    void ProgressEnd() override;
    void ShowRecordCount(std::string_view) override { }
    TimeOfDay Now() override { return SystemTimeOfDay(); }

private:
    Io& io_;
    Settings settings_;
    ReportDocument report_;
    std::unique_ptr<ProgressBar> progress_;
};

// Writes the report as UTF-8 text, one line each; with `colour`, the blue and red runs and
// bold text carry terminal escape codes.
void PrintReport(const ReportDocument& report, std::ostream& out, bool colour);

} // namespace venqor::cli
