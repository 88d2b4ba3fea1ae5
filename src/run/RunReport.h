#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace venqor {

class ReportDocument;

// The report writers of a processing run: plain, numbered note and error lines, and
// lines with a marked stretch. Line numbers are the run's LinesRead.
class RunReport {
public:
    RunReport(ReportDocument& document, std::int32_t& errorCount, const std::int32_t& linesRead)
        : document_(document)
        , errorCount_(errorCount)
        , linesRead_(linesRead)
    {
    }

    // A whole line without number or colour change.
    void AppendLine(std::string_view text);
    // A numbered note ("%5d %s"); the first of the run brings an empty line and the
    // column header.
    void AddNoteLine(std::string_view text);
    // A numbered blue error line ("%5d E: %s"), counted in ErrorCount; the first of the run
    // brings the bold column header and switches to Courier New.
    void AddErrorLine(std::string_view text);
    // A line whose characters from..to (1-based, inclusive) are red; at most 99 characters
    // are written after the stretch.
    void AddMarkedLine(int from, int to, std::string_view text);

    std::int32_t NoteCount() const { return noteCount_; }

    static std::string_view ColumnHeader();

private:
    std::string numbered(std::string_view format, std::string_view text) const;

    ReportDocument& document_;
    std::int32_t& errorCount_;
    const std::int32_t& linesRead_;
    std::int32_t noteCount_ = 0;
    bool errorHeaderWritten_ = false;
};

} // namespace venqor
