#include "support/RunCli.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>

namespace venqor {
namespace {

using Outcome = test::CliOutcome;
using test::runCli;

// "Первая строка" in Windows-1251 and in code page 866, then four ASCII lines.
const std::string reportBytes = "\xCF\xE5\xF0\xE2\xE0\xFF \xF1\xF2\xF0\xEE\xEA\xE0\r\n"
                                "line 2\r\nline 3\r\nline 4\r\nline 5\r\n";
const std::string line1Oem = "\x8F\xA5\xE0\xA2\xA0\xEF \xE1\xE2\xE0\xAE\xAA\xA0\r\n";
const std::string header2 = std::string(30, ' ') + "2\r\n\r\n";
const std::string header3 = std::string(30, ' ') + "3\r\n\r\n";

struct CliCase {
    const char* name;
    // REPORT, DEVICE, NO-REPORT (missing) and NO-DIR-DEVICE (in a missing directory) stand
    // for files of the test's directory.
    std::vector<std::string> args;
    int status;
    std::optional<std::string> device;  // what DEVICE holds afterwards; none: not created
    std::string errPart;                // a part of standard error ("" : it stays empty)
    std::string outPart = "";           // a part of standard output ("" : it stays empty)
    const char* deviceBefore = nullptr; // an earlier file named DEVICE
};

TEST(CliPrintReport, PrintsASavedReportOrSaysWhyNot)
{
    const CliCase cases[] = {
        { "three lines per page, all pages", { "print-report", "REPORT", "--to", "DEVICE", "--lines", "3" },
            0, line1Oem + "line 2\r\nline 3\r\n\f" + header2 + "line 4\r\n\f" + header3 + "line 5\r\n\f",
            "" },
        { "default 62 lines: one page and the final form feed",
            { "print-report", "REPORT", "--to", "DEVICE" }, 0,
            line1Oem + "line 2\r\nline 3\r\nline 4\r\nline 5\r\n\f", "" },
        { "options before the report, page 2 only, no final form feed",
            { "print-report", "--no-form-feed", "--pages", "2-2", "--lines", "3", "--to", "DEVICE",
                "REPORT" },
            0, header2 + "line 4\r\n\f", "" },
        { "last page only, form feed at its end",
            { "print-report", "REPORT", "--to", "DEVICE", "--lines", "3", "--pages", "3-9" }, 0,
            header3 + "line 5\r\n\f", "" },
        { "no form feed and lines 0: no paging at all",
            { "print-report", "REPORT", "--to", "DEVICE", "--lines", "0", "--no-form-feed" }, 0,
            line1Oem + "line 2\r\nline 3\r\nline 4\r\nline 5\r\n", "" },
        { "an earlier device file is emptied first",
            { "print-report", "REPORT", "--to", "DEVICE", "--pages", "2-2" }, 0, "\f", "", "",
            "an earlier, much longer content of the device file" },
        { "missing report: nothing opened", { "print-report", "NO-REPORT", "--to", "DEVICE" }, 1,
            std::nullopt, "NO-REPORT.txt" },
        { "device in a missing directory", { "print-report", "REPORT", "--to", "NO-DIR-DEVICE" }, 1,
            std::nullopt, "Нет папки для файла результата" },
        { "device is the report itself", { "print-report", "REPORT", "--to", "REPORT" }, 1, std::nullopt,
            "Файл результата совпадает с исходным файлом (--to)" },
        { "device without a name", { "print-report", "REPORT", "--to", "" }, 2, std::nullopt,
            "--to needs a device or a file" },
        { "page not a number", { "print-report", "REPORT", "--to", "DEVICE", "--pages", "2-x" }, 2,
            std::nullopt, "--pages 2-x" },
        { "pages without a range", { "print-report", "REPORT", "--to", "DEVICE", "--pages", "3" }, 2,
            std::nullopt, "FIRST-LAST" },
        { "pages backwards", { "print-report", "REPORT", "--to", "DEVICE", "--pages", "3-1" }, 2,
            std::nullopt, "--pages 3-1" },
        { "lines not a number", { "print-report", "REPORT", "--to", "DEVICE", "--lines", "6x" }, 2,
            std::nullopt, "--lines" },
        { "no device", { "print-report", "REPORT" }, 2, std::nullopt, "--to" },
        { "device option without its value", { "print-report", "REPORT", "--to" }, 2, std::nullopt, "--to" },
        { "no report", { "print-report", "--to", "DEVICE" }, 2, std::nullopt, "report file is missing" },
        { "two reports", { "print-report", "REPORT", "REPORT", "--to", "DEVICE" }, 2, std::nullopt,
            "unexpected argument" },
        { "unknown option", { "print-report", "REPORT", "--to", "DEVICE", "--colour" }, 2, std::nullopt,
            "--colour" },
        { "help", { "print-report", "--help" }, 0, std::nullopt, "",
            "venqor-cli print-report REPORT.txt --to DEVICE" },
        { "listed in the general help", { "--help" }, 0, std::nullopt, "", "print-report" },
    };
    for (const CliCase& c : cases) {
        SCOPED_TRACE(c.name);
        const test::TempDir dir;
        // A Cyrillic file name, used as given.
        const std::string report = dir.write("\xD0\xBE\xD1\x82\xD1\x87\xD1\x91\xD1\x82.txt", reportBytes);
        const std::string device = dir.file("LPT1.prn");
        if (c.deviceBefore)
            dir.write("LPT1.prn", c.deviceBefore);
        const std::map<std::string, std::string> files = { { "REPORT", report }, { "DEVICE", device },
            { "NO-REPORT", dir.file("NO-REPORT.txt") }, { "NO-DIR-DEVICE", dir.file("no-dir/LPT1") } };
        std::vector<std::string> args;
        for (const std::string& a : c.args)
            args.push_back(files.contains(a) ? files.at(a) : a);

        const Outcome run = runCli(dir, args);
        EXPECT_EQ(run.status, c.status) << run.err;
        if (c.device)
            EXPECT_EQ(test::readFile(device), *c.device);
        else
            EXPECT_FALSE(std::filesystem::exists(device));
        EXPECT_EQ(test::readFile(report), reportBytes) << "the report is only read";
        if (c.errPart.empty())
            EXPECT_EQ(run.err, "");
        else
            EXPECT_NE(run.err.find(c.errPart), std::string::npos) << run.err;
        if (c.outPart.empty())
            EXPECT_EQ(run.out, "");
        else
            EXPECT_NE(run.out.find(c.outPart), std::string::npos) << run.out;
    }
}

} // namespace
} // namespace venqor
