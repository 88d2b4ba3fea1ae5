#include "base/Errors.h"
#include "report/ReportDocument.h"
#include "report/ReportText.h"
#include "support/FileSizeLimit.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <functional>

namespace venqor {

void PrintTo(const ReportRun& run, std::ostream* os)
{
    static const char* const colors[] = { "WindowText", "Blue", "Red" };
    *os << '{' << testing::PrintToString(run.text) << ' ' << colors[static_cast<int>(run.color)]
        << (run.bold ? " bold" : "") << " font " << run.font << '}';
}

namespace {

using Runs = std::vector<ReportRun>;

ReportRun plain(std::string text, std::uint16_t font = 0)
{
    return { std::move(text), ReportColor::WindowText, false, font };
}

ReportRun colored(std::string text, ReportColor color)
{
    return { std::move(text), color, false, 0 };
}

ReportRun bold(std::string text)
{
    return { std::move(text), ReportColor::WindowText, true, 0 };
}

struct DocumentCase {
    const char* name;
    std::function<void(ReportDocument&)> write;
    std::vector<Runs> lines;
};

TEST(ReportDocument, WritesLinesAndRunsAtTheEnd)
{
    const DocumentCase cases[] = {
        { "nothing written: no line", [](ReportDocument&) {}, {} },
        { "append to an empty document", [](ReportDocument& d) { d.AppendLine("title"); },
            { { plain("title") } } },
        { "appended empty line has no run", [](ReportDocument& d) { d.AppendLine(""); }, { {} } },
        { "insert into an empty document starts a line", [](ReportDocument& d) { d.InsertText("ab"); },
            { { plain("ab") } } },
        { "line end alone in an empty document: two empty lines",
            [](ReportDocument& d) { d.InsertText("\r\n"); }, { {}, {} } },
        { "insert continues the last line, equal runs merge",
            [](ReportDocument& d) {
                d.AppendLine("ab");
                d.InsertText("cd");
                d.InsertText("");
                d.InsertText("ef");
            },
            { { plain("abcdef") } } },
        { "line ends inside inserted text",
            [](ReportDocument& d) {
                d.AppendLine("a");
                d.InsertText("b\r\nc\r\n\r\nd");
            },
            { { plain("ab") }, { plain("c") }, {}, { plain("d") } } },
        { "text after a trailing line end goes to the new line",
            [](ReportDocument& d) {
                d.InsertText("a\r\n");
                d.InsertText("b");
            },
            { { plain("a") }, { plain("b") } } },
        { "append after a trailing line end keeps the empty line",
            [](ReportDocument& d) {
                d.InsertText("a\r\n");
                d.AppendLine("b");
            },
            { { plain("a") }, {}, { plain("b") } } },
        { "append splits at line ends too", [](ReportDocument& d) { d.AppendLine("a\r\nb"); },
            { { plain("a") }, { plain("b") } } },
        { "lone CR and LF stay inside the line", [](ReportDocument& d) { d.AppendLine("a\rb\nc\n\rd"); },
            { { plain("a\rb\nc\n\rd") } } },
        { "an error line: bold header, then blue text on a new line",
            [](ReportDocument& d) {
                d.AppendLine("before");
                d.SetBold(true);
                d.AppendLine("N \xF1\xF2\xF0\xEE\xEA\xE8 \xD1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE5");
                d.SetBold(false);
                d.SetFont(ReportDocument::DefaultFont);
                d.InsertText("\r\n");
                d.SetColor(ReportColor::Blue);
                d.InsertText("    7 E: ");
                d.InsertText("msg");
                d.SetColor(ReportColor::WindowText);
                d.AppendLine("after");
            },
            { { plain("before") },
                { bold("N \xF1\xF2\xF0\xEE\xEA\xE8 \xD1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE5") },
                { colored("    7 E: msg", ReportColor::Blue) }, { plain("after") } } },
        { "a marked line: red stretch between window-text runs",
            [](ReportDocument& d) {
                d.InsertText("\r\n");
                d.InsertText("\xC8\xC2");
                d.SetColor(ReportColor::Red);
                d.InsertText("\xC0\xCD");
                d.SetColor(ReportColor::WindowText);
                d.InsertText("\xCE\xC2");
            },
            { {}, { plain("\xC8\xC2"), colored("\xC0\xCD", ReportColor::Red), plain("\xCE\xC2") } } },
        { "attributes changed without text leave no run",
            [](ReportDocument& d) {
                d.InsertText("a");
                d.SetColor(ReportColor::Red);
                d.SetBold(true);
                d.SetColor(ReportColor::WindowText);
                d.SetBold(false);
                d.InsertText("b");
            },
            { { plain("ab") } } },
        { "bold and colour together, the line end keeps them",
            [](ReportDocument& d) {
                d.SetBold(true);
                d.SetColor(ReportColor::Red);
                d.InsertText("x\r\ny");
            },
            { { { "x", ReportColor::Red, true, 0 } }, { { "y", ReportColor::Red, true, 0 } } } },
        { "fonts by index, each name once",
            [](ReportDocument& d) {
                d.SetFont("Arial");
                d.InsertText("a");
                d.SetFont("Courier New");
                d.InsertText("b");
                d.SetFont("Arial");
                d.AppendLine("c");
            },
            { { plain("a", 1), plain("b", 0) }, { plain("c", 1) } } },
        { "clear empties the document and resets the attributes",
            [](ReportDocument& d) {
                d.SetColor(ReportColor::Blue);
                d.SetBold(true);
                d.SetFont("Arial");
                d.AppendLine("old");
                d.Clear();
                d.AppendLine("new");
            },
            { { plain("new") } } },
    };
    for (const DocumentCase& c : cases) {
        SCOPED_TRACE(c.name);
        ReportDocument doc;
        c.write(doc);
        ASSERT_EQ(doc.LineCount(), c.lines.size());
        for (std::size_t i = 0; i < c.lines.size(); ++i) {
            EXPECT_EQ(doc.lines()[i].runs, c.lines[i]) << "line " << i;
            std::string text;
            for (const ReportRun& run : c.lines[i])
                text += run.text;
            EXPECT_EQ(doc.LineText(i), text) << "line " << i;
        }
    }
}

TEST(ReportDocument, FontTableAndPlainLines)
{
    ReportDocument doc;
    EXPECT_EQ(doc.fonts(), std::vector<std::string> { "Courier New" });
    doc.SetFont("Arial");
    doc.AppendLine("a");
    doc.SetColor(ReportColor::Red);
    doc.InsertText("b\r\n");
    EXPECT_EQ(doc.fonts(), (std::vector<std::string> { "Courier New", "Arial" }));
    EXPECT_EQ(doc.PlainLines(), (std::vector<std::string> { "ab", "" }));
    doc.Clear();
    EXPECT_EQ(doc.fonts(), std::vector<std::string> { "Courier New" });
    EXPECT_TRUE(doc.PlainLines().empty());
}

// A report holding what the saved text must keep byte for byte: runs of several colours
// on one line, empty lines, Windows-1251 letters, a page-break mark and a long line.
ReportDocument sampleReport()
{
    ReportDocument doc;
    doc.AppendLine("\xCF\xF0\xEE\xE2\xE5\xF0\xEA\xE0 \xB9 1");
    doc.InsertText("\r\n");
    doc.SetColor(ReportColor::Blue);
    doc.InsertText("    7 E: \xC0\xFF\xA8\xB8");
    doc.SetColor(ReportColor::Red);
    doc.InsertText(" red");
    doc.SetColor(ReportColor::WindowText);
    doc.AppendLine("");
    doc.AppendLine("\f after mark");
    doc.AppendLine(std::string(300, 'w'));
    return doc;
}

const std::string sampleReportBytes = "\xCF\xF0\xEE\xE2\xE5\xF0\xEA\xE0 \xB9 1\r\n"
                                      "    7 E: \xC0\xFF\xA8\xB8 red\r\n"
                                      "\r\n"
                                      "\f after mark\r\n"
    + std::string(300, 'w') + "\r\n";

TEST(ReportText, SavesOneCrLfLinePerReportLineWithoutFormatting)
{
    test::TempDir dir;
    const std::string path = dir.file("REPORT.TXT");
    SaveReportText(sampleReport(), path);
    EXPECT_EQ(test::readFile(path), sampleReportBytes);

    SaveReportText(ReportDocument(), path);
    EXPECT_EQ(test::readFile(path), "") << "an empty report replaces the earlier one";
}

TEST(ReportText, ReplacesAnExistingFileWhole)
{
    test::TempDir dir;
    const std::string path = dir.write("REPORT.TXT", std::string(100000, 'o'));
    ReportDocument doc;
    doc.AppendLine("short");
    SaveReportText(doc, path);
    EXPECT_EQ(test::readFile(path), "short\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << "no file left behind";
}

using test::FileSizeLimit;

TEST(ReportText, AFailedSaveLeavesTheEarlierFileAsItWas)
{
    test::TempDir dir;
    const std::string earlier = "earlier report\r\n";
    const std::string path = dir.write("REPORT.TXT", earlier);
    ReportDocument big;
    for (int i = 0; i < 20000; ++i)
        big.AppendLine("a line of the report that will not fit");
    {
        const FileSizeLimit limit(4096);
        try {
            SaveReportText(big, path);
            ADD_FAILURE() << "no error";
        } catch (const IoError& e) {
            EXPECT_NE(std::string(e.what()).find("REPORT.TXT"), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(test::readFile(path), earlier);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << "no file left behind";

    const std::string nowhere = dir.file("missing/REPORT.TXT");
    EXPECT_THROW(SaveReportText(big, nowhere), IoError);
}

// Every line of a saved report, as the reader gives them.
std::vector<std::string> readLines(const std::string& path, std::size_t kept = std::string::npos)
{
    ReportTextReader reader(path, kept);
    std::vector<std::string> lines;
    for (std::string line; reader.next(line);)
        lines.push_back(line);
    return lines;
}

TEST(ReportText, ReadsTheLinesOfASavedReportOneByOne)
{
    const struct {
        const char* name;
        std::string bytes;
        std::vector<std::string> lines;
        std::size_t kept = std::string::npos;
    } cases[] = {
        { "empty file", "", {} },
        { "CR LF line ends", "a\r\nb\r\n", { "a", "b" } },
        { "LF alone", "a\nb\n", { "a", "b" } },
        { "mixed line ends", "a\nb\r\nc", { "a", "b", "c" } },
        { "last line without line end", "a\r\nb", { "a", "b" } },
        { "empty lines kept", "\r\n\r\na\r\n\r\n", { "", "", "a", "" } },
        { "lone CR stays in its line", "a\rb\r\nc\r", { "a\rb", "c\r" } },
        { "Windows-1251 bytes, form feed and Ctrl-Z as they are", "\xC0\xFF\f\x1A\r\n",
            { "\xC0\xFF\f\x1A" } },
        { "long lines cut, their line ends found", "abcdef\r\nabc\r\nab\r\nabcd",
            { "abc", "abc", "ab", "abc" }, 3 },
        { "a line of the kept length and its CR", "abc\r\nabcd\r\n", { "abc", "abc" }, 3 },
        { "a line longer than a read block", std::string(200000, 'x') + "\r\ny\r\n", { "xxxx", "y" }, 4 },
    };
    test::TempDir dir;
    for (const auto& c : cases) {
        const std::string path = dir.write("r.txt", c.bytes);
        EXPECT_EQ(readLines(path, c.kept), c.lines) << c.name;
    }
}

TEST(ReportText, SaveAndLoadRoundTrip)
{
    test::TempDir dir;
    const std::string path = dir.file("REPORT.TXT");
    const ReportDocument doc = sampleReport();
    SaveReportText(doc, path);
    EXPECT_EQ(readLines(path), doc.PlainLines());

    // More than one read block.
    ReportDocument big;
    for (int i = 0; i < 30000; ++i)
        big.AppendLine("line " + std::to_string(i));
    SaveReportText(big, path);
    EXPECT_EQ(readLines(path), big.PlainLines());
}

TEST(ReportText, LoadingAMissingFileNamesIt)
{
    test::TempDir dir;
    const std::string path = dir.file("NO-REPORT.TXT");
    try {
        readLines(path);
        FAIL() << "no error";
    } catch (const IoError& e) {
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
}

} // namespace
} // namespace venqor
