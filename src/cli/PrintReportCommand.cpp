#include "cli/PrintReportCommand.h"

#include "app/Settings.h"
#include "base/CodePage.h"
#include "base/Errors.h"
#include "base/Stop.h"
#include "cli/StopSignals.h"
#include "report/PrintToDevice.h"
#include "report/ReportText.h"
#include "run/OutputFile.h"

#include <filesystem>
#include <optional>

namespace venqor::cli {

namespace {

constexpr std::string_view Usage
    = "Usage: venqor-cli print-report REPORT.txt --to DEVICE [--lines N] [--pages FIRST-LAST] "
      "[--no-form-feed]\n"
      "\n"
      "Prints a saved report (Windows-1251 text) the way the report viewer prints it on the\n"
      "printer port: in code page 866, in pages of N lines, each page after the first headed\n"
      "by its number, each printed page ended by a form feed.\n"
      "\n"
      "  --to DEVICE         the printer device, or a file: replaced only by the whole print,\n"
      "                      and never the report itself nor a file of the program (schema\n"
      "                      files, venqor.ini, ANKT.DB, the register)\n"
      "  --lines N           lines per page, headers included (default 62; 0 or less: no pages)\n"
      "  --pages FIRST-LAST  print only the pages FIRST to LAST (default: all pages)\n"
      "  --no-form-feed      no form feed after the last page\n";

struct PrintReportArgs {
    std::string report;
    std::string device;
    DevicePrintOptions options;
};

void parsePages(std::string_view text, DevicePrintOptions& options)
{
    // The separator is the first '-' after the first character, which may be a sign.
    const std::size_t dash = text.empty() ? std::string_view::npos : text.find('-', 1);
    if (dash == std::string_view::npos)
        throw UsageError("--pages needs FIRST-LAST, not \"" + std::string(text) + "\"");
    try {
        options.SetPages(false, text.substr(0, dash), text.substr(dash + 1));
    } catch (const ConvertError& e) {
        throw UsageError("--pages " + std::string(text) + ": " + e.what());
    }
    if (options.firstPage > options.lastPage)
        throw UsageError("--pages " + std::string(text) + ": the first page comes after the last");
}

PrintReportArgs parseArgs(Args& args)
{
    std::optional<std::string> report;
    std::optional<std::string> device;
    DevicePrintOptions options;
    while (!args.empty()) {
        const std::string arg = args.take();
        if (arg == "--to") {
            device = args.value(arg);
            if (device->empty())
                throw UsageError("--to needs a device or a file, not an empty text");
        } else if (arg == "--lines") {
            const std::string text = args.value(arg);
            try {
                options.NlinesMax = DevicePrintOptions::ParseNlinesMax(text);
            } catch (const ConvertError& e) {
                throw UsageError("--lines: " + std::string(e.what()));
            }
        } else if (arg == "--pages") {
            parsePages(args.value(arg), options);
        } else if (arg == "--no-form-feed") {
            options.formFeed = false;
        } else if (arg.starts_with("--")) {
            throw UsageError("unknown option " + arg);
        } else if (!report) {
            report = arg;
        } else {
            throw UsageError("unexpected argument \"" + arg + "\"");
        }
    }
    if (!report)
        throw UsageError("the report file is missing");
    if (!device)
        throw UsageError("--to DEVICE is missing");
    return { *report, *device, options };
}

int runPrintReport(Args& args, Io& io)
{
    const PrintReportArgs a = parseArgs(args);
    // A file named as the device is an output like any other: never the report itself nor
    // one of the program's files.
    TMainState state = DefaultMainState(ProgramPlacesHere());
    ReadSettings(state);
    state.dataFile = a.report;
    if (const auto problem = OutputProblem(a.device, state)) {
        io.err << "venqor-cli print-report: " << Cp1251ToUtf8(*problem) << " (--to)\n";
        return ExitFailed;
    }
    // The report is read and printed line by line: a report of any size takes little memory.
    CatchStopSignals();
    ReportTextReader report(a.report, MaxPrintedLine);
    OutTextFile device(a.device);
    PrintToDevice(
        [&](std::string& line) {
            ThrowIfStopRequested();
            return report.next(line);
        },
        device, a.options);
    device.Commit();
    return ExitDone;
}

} // namespace

const Command PrintReportCommand = { "print-report",
    "print a saved report on a printer device, paged, in code page 866", Usage, runPrintReport };

} // namespace venqor::cli
