#include "base/Errors.h"
#include "report/PrintToDevice.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <functional>

namespace venqor {
namespace {

// Report lines "line 1", "line 2", ... "line count".
std::string numberedLine(int n)
{
    return "line " + std::to_string(n);
}

std::vector<std::string> numberedLines(int count)
{
    std::vector<std::string> lines;
    for (int n = 1; n <= count; ++n)
        lines.push_back(numberedLine(n));
    return lines;
}

// The bytes a printer-port job should send, spelled out piece by piece.
class Expected {
public:
    Expected& line(std::string_view bytes)
    {
        bytes_.append(bytes).append("\r\n");
        return *this;
    }
    Expected& lines(int from, int to)
    {
        for (int n = from; n <= to; ++n)
            line(numberedLine(n));
        return *this;
    }
    Expected& formFeed()
    {
        bytes_ += '\f';
        return *this;
    }
    // A page header: 30 blanks and the page number, then an empty line.
    Expected& header(int page) { return line(std::string(30, ' ') + std::to_string(page)).line(""); }
    // The form feed ending a page and the header of the next one.
    Expected& newPage(int page) { return formFeed().header(page); }
    const std::string& bytes() const { return bytes_; }

private:
    std::string bytes_;
};

// A device in memory that accepts `capacity` bytes and fails on the next one.
class MemoryDevice final : public ByteSink {
public:
    MemoryDevice(std::string& received, std::size_t capacity)
        : received_(received)
        , capacity_(capacity)
    {
    }
    void write(const char* data, std::size_t size) override
    {
        const std::size_t taken = std::min(size, capacity_ - received_.size());
        received_.append(data, taken);
        if (taken < size)
            throw IoError("cannot write \"LPT1\": device failed");
    }
    void close() override { }

private:
    std::string& received_;
    std::size_t capacity_;
};

std::string printToMemory(const std::vector<std::string>& lines, const DevicePrintOptions& options)
{
    std::string received;
    OutTextFile device(std::make_unique<MemoryDevice>(received, std::string::npos), "LPT1");
    PrintToDevice(lines, device, options);
    device.Commit();
    return received;
}

// Empty when equal, else where the first difference is (the outputs can be long).
std::string difference(const std::string& expected, const std::string& actual)
{
    if (expected == actual)
        return {};
    const auto [e, a] = std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end());
    const auto at = static_cast<std::size_t>(e - expected.begin());
    const auto show
        = [at](const std::string& s) { return testing::PrintToString(s.substr(at > 20 ? at - 20 : 0, 60)); };
    return "first difference at byte " + std::to_string(at) + " of " + std::to_string(expected.size())
        + " expected / " + std::to_string(actual.size()) + " actual bytes\n  expected: " + show(expected)
        + "\n  actual:   " + show(actual);
}

DevicePrintOptions options(int nlinesMax, bool formFeed = true)
{
    DevicePrintOptions o;
    o.NlinesMax = nlinesMax;
    o.formFeed = formFeed;
    return o;
}

DevicePrintOptions pages(int nlinesMax, int first, int last)
{
    DevicePrintOptions o = options(nlinesMax);
    o.allPages = false;
    o.firstPage = first;
    o.lastPage = last;
    return o;
}

// With one line per page the page number is the line number: pages 1..9999 print.
std::string tenThousandPagesExpected()
{
    Expected out;
    out.lines(1, 1);
    for (int page = 2; page <= 9999; ++page)
        out.newPage(page).lines(page, page);
    return out.formFeed().bytes();
}

struct PrintCase {
    const char* name;
    DevicePrintOptions options;
    std::vector<std::string> lines;
    std::string expected;
};

TEST(PrintToDevice, PagesTheReportAsThePrinterPortExpects)
{
    const std::string longLine = std::string(255, 'a') + std::string(45, 'b');
    const PrintCase cases[] = {
        { "130 lines, 62 per page, all pages, final form feed", options(62), numberedLines(130),
            Expected().lines(1, 62).newPage(2).lines(63, 122).newPage(3).lines(123, 130).formFeed().bytes() },
        { "pages 2 to 2: page 1 silent, page 2 closed by its form feed, no final one", pages(62, 2, 2),
            numberedLines(130), Expected().header(2).lines(63, 122).formFeed().bytes() },
        { "page 3 only: the earlier pages are counted, not printed", pages(62, 3, 3), numberedLines(130),
            Expected().header(3).lines(123, 130).formFeed().bytes() },
        { "page 1 only: its form feed ends the output", pages(62, 1, 1), numberedLines(130),
            Expected().lines(1, 62).formFeed().bytes() },
        { "all pages ignore the page fields",
            [] {
                DevicePrintOptions o = options(62);
                o.firstPage = o.lastPage = 2;
                return o;
            }(),
            numberedLines(70), Expected().lines(1, 62).newPage(2).lines(63, 70).formFeed().bytes() },
        { "form feed unchecked: page-ending form feeds stay, no final one", options(62, false),
            numberedLines(130),
            Expected().lines(1, 62).newPage(2).lines(63, 122).newPage(3).lines(123, 130).bytes() },
        { "a last page exactly full gets the final form feed only", options(4), numberedLines(6),
            Expected().lines(1, 4).newPage(2).lines(5, 6).formFeed().bytes() },
        { "form feed inside a line is printed and does not restart the count", options(3),
            { "x\fy", "line 2", "line 3", "line 4" },
            Expected().line("x\fy").lines(2, 3).newPage(2).lines(4, 4).formFeed().bytes() },
        { "page-break mark as the very first line: page 1 printed empty", options(62),
            { "\fheading", "line 1", "line 2" }, Expected().newPage(2).lines(1, 2).formFeed().bytes() },
        { "page-break mark inside a page ends it at once, its text dropped", options(62),
            { "line 1", "\f text after the mark", "line 2" },
            Expected().lines(1, 1).newPage(2).lines(2, 2).formFeed().bytes() },
        { "two marks in a row leave an empty page between", options(62), { "line 1", "\f", "\f", "line 2" },
            Expected().lines(1, 1).newPage(2).newPage(3).lines(2, 2).formFeed().bytes() },
        { "mark closing the last printed page: no final form feed", pages(62, 1, 1),
            { "line 1", "\f", "line 2" }, Expected().lines(1, 1).formFeed().bytes() },
        { "lines per page from an empty edit: 62", options(DevicePrintOptions::ParseNlinesMax("")),
            numberedLines(63), Expected().lines(1, 62).newPage(2).lines(63, 63).formFeed().bytes() },
        { "lines per page 0: no pages, marks dropped", options(0),
            [] {
                std::vector<std::string> lines = numberedLines(70);
                lines.insert(lines.begin() + 10, "\fmark");
                return lines;
            }(),
            Expected().lines(1, 70).formFeed().bytes() },
        { "lines per page negative: no pages", options(-5), numberedLines(70),
            Expected().lines(1, 70).formFeed().bytes() },
        { "lines per page 0 and page 2 wanted: everything is on page 1", pages(0, 2, 5), numberedLines(70),
            Expected().formFeed().bytes() },
        { "lines per page 1: a header and one line on every later page", options(1), numberedLines(3),
            Expected().lines(1, 1).newPage(2).lines(2, 2).newPage(3).lines(3, 3).formFeed().bytes() },
        { "lines per page 2: two lines on page 1, one on each later page", options(2), numberedLines(4),
            Expected().lines(1, 2).newPage(2).lines(3, 3).newPage(3).lines(4, 4).formFeed().bytes() },
        { "largest lines per page with a mark", options(std::numeric_limits<int>::max()),
            { "line 1", "\f", "line 2" }, Expected().lines(1, 1).newPage(2).lines(2, 2).formFeed().bytes() },
        { "all pages stop after page 9999", options(1), numberedLines(10001), tenThousandPagesExpected() },
        { "300-character line cut to 255", options(62), { longLine },
            Expected().line(std::string(255, 'a')).formFeed().bytes() },
        { "recoded to code page 866, ASCII and control bytes unchanged", options(62),
            { "\xC0\xFF\xA8\xB8\xB9 Ok\t~1" },
            Expected().line("\x80\xEF\xF0\xF1\xFC Ok\t~1").formFeed().bytes() },
        { "empty lines are printed", options(62), { "", "line 2", "" },
            Expected().line("").lines(2, 2).line("").formFeed().bytes() },
        { "empty report: the final form feed alone", options(62), {}, Expected().formFeed().bytes() },
        { "empty report without form feed: nothing", options(62, false), {}, "" },
    };
    for (const PrintCase& c : cases)
        EXPECT_EQ(difference(c.expected, printToMemory(c.lines, c.options)), "") << c.name;
}

TEST(PrintToDevice, FailingDeviceStopsThePrintingAndKeepsWhatWasWritten)
{
    // Larger than the output buffer, so that the device sees writes before the end.
    const std::vector<std::string> lines(3000, std::string(100, 'x'));
    const std::string whole = printToMemory(lines, options(62));
    for (const std::size_t capacity : { std::size_t { 0 }, std::size_t { 100000 }, whole.size() - 1 }) {
        std::string received;
        OutTextFile device(std::make_unique<MemoryDevice>(received, capacity), "LPT1");
        EXPECT_THROW(
            {
                PrintToDevice(lines, device, options(62));
                device.Commit();
            },
            IoError)
            << capacity;
        EXPECT_EQ(received, whole.substr(0, capacity));
    }
}

TEST(PrintToDevice, ByNameCreatesOrEmptiesTheFile)
{
    test::TempDir dir;
    const std::string existing = dir.write("LPT1", std::string(1000, 'z'));
    PrintToDevice({ "\xC0" }, existing, options(62));
    EXPECT_EQ(test::readFile(existing), "\x80\r\n\f");

    const std::string fresh = dir.file("new.prn");
    PrintToDevice({ "a" }, fresh, options(62, false));
    EXPECT_EQ(test::readFile(fresh), "a\r\n");
}

TEST(PrintToDevice, ByNameReportsADeviceThatCannotBeOpened)
{
    test::TempDir dir;
    const std::string missing = dir.file("no-such-dir/LPT1");
    try {
        PrintToDevice({ "a" }, missing, options(62));
        FAIL() << "no error";
    } catch (const IoError& e) {
        EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
    }
}

TEST(DevicePrintOptions, LinesPerPageFromItsEdit)
{
    const struct {
        const char* text;
        int value;
    } valid[] = {
        { "", 62 },
        { "40", 40 },
        { "0", 0 },
        { "-3", -3 },
        { "+7", 7 },
        { " 12 ", 12 },
        { "2147483647", 2147483647 },
    };
    for (const auto& c : valid)
        EXPECT_EQ(DevicePrintOptions::ParseNlinesMax(c.text), c.value) << '"' << c.text << '"';
    for (const char* text : { " ", "abc", "12a", "1.5", "+-1", "--1", "2147483648", "0x10" }) {
        try {
            DevicePrintOptions::ParseNlinesMax(text);
            ADD_FAILURE() << '"' << text << "\" accepted";
        } catch (const ConvertError& e) {
            EXPECT_NE(std::string(e.what()).find('"' + std::string(text) + '"'), std::string::npos)
                << e.what();
        }
    }
}

TEST(DevicePrintOptions, PageEditsCountOnlyWhenNotAllPages)
{
    DevicePrintOptions o;
    o.SetPages(true, "rubbish", "");
    EXPECT_TRUE(o.allPages);
    EXPECT_EQ(o.firstPage, 1);
    EXPECT_EQ(o.lastPage, 9999);

    o.SetPages(false, "2", " 5");
    EXPECT_FALSE(o.allPages);
    EXPECT_EQ(o.firstPage, 2);
    EXPECT_EQ(o.lastPage, 5);

    // A bad edit leaves the options as they were, so nothing is printed with half of them.
    DevicePrintOptions unchanged;
    for (const auto& [first, last] : { std::pair { "3", "x" }, std::pair { "", "4" } }) {
        EXPECT_THROW(unchanged.SetPages(false, first, last), ConvertError) << first << '-' << last;
        EXPECT_TRUE(unchanged.allPages);
        EXPECT_EQ(unchanged.firstPage, 1);
        EXPECT_EQ(unchanged.lastPage, 9999);
    }
}

} // namespace
} // namespace venqor
