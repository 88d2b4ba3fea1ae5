#pragma once

#include "report/Findings.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace venqor {

// Colours of report text: the system's window-text colour, pure blue (0,0,255) for the
// error lines, pure red (255,0,0) for marked stretches and the number assignment's errors.
enum class ReportColor : std::uint8_t { WindowText, Blue, Red };

// A stretch of text with one set of attributes. Texts are Windows-1251.
struct ReportRun {
    std::string text;
    ReportColor color = ReportColor::WindowText;
    bool bold = false;
    std::uint16_t font = 0; // index into ReportDocument::fonts()

    bool operator==(const ReportRun&) const = default;
};

struct ReportLine {
    std::vector<ReportRun> runs;
    std::string text() const; // the runs' texts joined

    bool operator==(const ReportLine&) const = default;
};

// The report of a command: an ordered list of lines, each made of coloured, bold or plain
// runs in a font. Its lines, as plain text, are the report as saved and printed. Beside
// them it keeps the findings of its numbered lines, in report order, and the data file
// they concern.
//
// Text is written at the insertion point, which is always the end of the document, with
// the insertion point's attributes; "\r\n" inside inserted text ends the current line and
// starts a new one.
class ReportDocument {
public:
    ReportDocument();

    // Removes every line and finding and puts the insertion point back to the default
    // attributes (window-text colour, regular, the default font).
    void Clear();
    // Appends a whole line after the last one, with the insertion point's attributes. A
    // "\r\n" inside the text splits it into several lines, as with InsertText.
    void AppendLine(std::string_view text);
    // Inserts text at the end of the last line (a first line is started when there is none).
    // Runs of equal attributes that meet are merged; empty runs are not kept.
    void InsertText(std::string_view text);

    void SetColor(ReportColor color) { color_ = color; }
    void SetBold(bool bold) { bold_ = bold; }
    // Fonts are kept once each in a small table; lines refer to them by index.
    void SetFont(std::string_view name);

    const std::vector<ReportLine>& lines() const { return lines_; }
    std::size_t LineCount() const { return lines_.size(); }
    std::string LineText(std::size_t index) const { return lines_[index].text(); }
    std::vector<std::string> PlainLines() const;
    const std::vector<std::string>& fonts() const { return fonts_; }

    void AddFinding(Finding finding) { findings_.push_back(std::move(finding)); }
    const std::vector<Finding>& findings() const { return findings_; }
    // The data file of the findings, as the user named it.
    void SetDataFile(std::filesystem::path file) { dataFile_ = std::move(file); }
    const std::filesystem::path& dataFile() const { return dataFile_; }
    // Changes with every change of the document, so that a view can tell it is out of date.
    std::uint64_t version() const { return version_; }

    static constexpr std::string_view DefaultFont = "Courier New";

private:
    void addRun(ReportLine& line, std::string_view text);

    std::vector<ReportLine> lines_;
    std::vector<std::string> fonts_;
    std::vector<Finding> findings_;
    std::filesystem::path dataFile_;
    std::uint64_t version_ = 0;
    ReportColor color_ = ReportColor::WindowText;
    bool bold_ = false;
    std::uint16_t font_ = 0;
};

} // namespace venqor
