#include "report/PrintToDevice.h"

#include "base/Errors.h"
#include "scan/RecodeTables.h"

#include <charconv>

namespace venqor {

namespace {

constexpr char FormFeed = 12;
constexpr int AllPagesFirst = 0;
constexpr int AllPagesLast = 9999;
constexpr std::size_t HeaderIndent = 30;

// The integer value of an edit's text: an optional sign and decimal digits, blanks around
// them allowed.
int parseEditInteger(std::string_view text, std::string_view what)
{
    std::string_view digits = text;
    while (!digits.empty() && digits.front() == ' ')
        digits.remove_prefix(1);
    while (!digits.empty() && digits.back() == ' ')
        digits.remove_suffix(1);
    const bool plus = digits.starts_with('+');
    if (plus)
        digits.remove_prefix(1);
    int value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || (plus && digits.front() == '-') || error != std::errc()
        || end != digits.data() + digits.size())
        throw ConvertError(std::string(what) + " \"" + std::string(text) + "\" is not an integer");
    return value;
}

void writeHeader(OutTextFile& device, long long page)
{
    device.Write(std::string(HeaderIndent, ' '));
    device.Write(std::to_string(page));
    device.WriteLineEnd();
    device.WriteLineEnd();
}

} // namespace

int DevicePrintOptions::ParseNlinesMax(std::string_view text)
{
    return text.empty() ? DefaultNlinesMax : parseEditInteger(text, "lines per page");
}

void DevicePrintOptions::SetPages(bool all, std::string_view firstText, std::string_view lastText)
{
    if (!all) {
        const int first = parseEditInteger(firstText, "first page");
        const int last = parseEditInteger(lastText, "last page");
        firstPage = first;
        lastPage = last;
    }
    allPages = all;
}

void PrintToDevice(const ReportLineSource& next, OutTextFile& device, const DevicePrintOptions& options)
{
    // Wide counters: a page-break mark sets the count to NlinesMax + 1 for any NlinesMax.
    const long long nlinesMax = options.NlinesMax;
    const long long firstPage = options.allPages ? AllPagesFirst : options.firstPage;
    const long long lastPage = options.allPages ? AllPagesLast : options.lastPage;
    const auto printed = [&](long long page) { return firstPage <= page && page <= lastPage; };

    long long page = 1;
    long long lineCount = 0;
    bool endsWithFormFeed = false;
    for (std::string fullLine; next(fullLine);) {
        const std::string_view line = std::string_view(fullLine).substr(0, MaxPrintedLine);
        ++lineCount;
        const bool pageBreakMark = !line.empty() && line.front() == FormFeed;
        if (pageBreakMark)
            lineCount = nlinesMax + 1;
        if (nlinesMax > 0 && lineCount > nlinesMax) {
            if (printed(page)) {
                device.Write(FormFeed);
                endsWithFormFeed = true;
            }
            ++page;
            if (printed(page)) {
                endsWithFormFeed = false;
                writeHeader(device, page);
            }
            lineCount = 3;
        }
        if (!pageBreakMark && printed(page)) {
            for (const char c : line)
                device.Write(AnsiToOem(c));
            device.WriteLineEnd();
        }
    }
    if (options.formFeed && !endsWithFormFeed)
        device.Write(FormFeed);
}

void PrintToDevice(
    const std::vector<std::string>& lines, OutTextFile& device, const DevicePrintOptions& options)
{
    auto line = lines.begin();
    PrintToDevice(
        [&](std::string& text) {
            if (line == lines.end())
                return false;
            text = *line++;
            return true;
        },
        device, options);
}

void PrintToDevice(
    const std::vector<std::string>& lines, const std::string& deviceName, const DevicePrintOptions& options)
{
    OutTextFile device(deviceName);
    PrintToDevice(lines, device, options);
    device.Commit();
}

} // namespace venqor
