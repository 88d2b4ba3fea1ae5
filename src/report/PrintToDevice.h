#pragma once

#include "scan/TextFile.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace venqor {

// The choices of a printer-port job: lines per page (0 or less: no paging at all), the
// page range (read only when not all pages are printed) and the final form feed.
struct DevicePrintOptions {
    static constexpr int DefaultNlinesMax = 62;

    int NlinesMax = DefaultNlinesMax;
    bool allPages = true;
    int firstPage = 1;
    int lastPage = 9999;
    bool formFeed = true;

    // NlinesMax from the text of the lines-per-page edit: an empty text gives 62. Throws
    // ConvertError when the text is not an integer.
    static int ParseNlinesMax(std::string_view text);
    // The page range from the texts of the two page edits, which count only when not all
    // pages are printed. Throws ConvertError, leaving the options as they were, when a
    // page edit that counts is not an integer.
    void SetPages(bool all, std::string_view firstText, std::string_view lastText);
};

// The next line of a report to print, or false at its end.
using ReportLineSource = std::function<bool(std::string& line)>;

// The most characters of a line that are printed.
inline constexpr std::size_t MaxPrintedLine = 255;

// Writes the report lines to a printer device as paged text in code page 866: each line
// cut to 255 characters, CR LF after each printed line, a form feed ending each page
// (written when that page is printed), a header of 30 blanks and the page number followed
// by an empty line on every later page that is printed, and a final form feed unless the
// output already ends with a page-ending one. A line whose first character is a form feed
// ends its page at once and is never printed. The caller opens and closes the device;
// IoError from the device propagates, and what was written before stays written.
void PrintToDevice(const ReportLineSource& next, OutTextFile& device, const DevicePrintOptions& options);
void PrintToDevice(
    const std::vector<std::string>& lines, OutTextFile& device, const DevicePrintOptions& options);

// The same to a device or file by name: a device is written directly, a file replaced only by
// the whole print (see OutTextFile).
void PrintToDevice(
    const std::vector<std::string>& lines, const std::string& deviceName, const DevicePrintOptions& options);

} // namespace venqor
