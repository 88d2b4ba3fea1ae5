#include "report/ReportDocument.h"

#include "base/Errors.h"

#include <algorithm>
#include <limits>

namespace venqor {

std::string ReportLine::text() const
{
    if (runs.size() == 1)
        return runs.front().text;
    std::string joined;
    for (const ReportRun& run : runs)
        joined += run.text;
    return joined;
}

ReportDocument::ReportDocument()
    : fonts_ { std::string(DefaultFont) }
{
}

void ReportDocument::Clear()
{
    // A cleared view starts over with the default attributes, like an empty rich-text view.
    lines_.clear();
    lines_.shrink_to_fit();
    findings_.clear();
    findings_.shrink_to_fit();
    dataFile_.clear();
    ++version_;
    fonts_.assign(1, std::string(DefaultFont));
    color_ = ReportColor::WindowText;
    bold_ = false;
    font_ = 0;
}

void ReportDocument::AppendLine(std::string_view text)
{
    lines_.emplace_back();
    InsertText(text);
}

void ReportDocument::InsertText(std::string_view text)
{
    static constexpr std::string_view LineEnd = "\r\n";
    ++version_;
    if (lines_.empty())
        lines_.emplace_back();
    for (;;) {
        const std::size_t end = text.find(LineEnd);
        addRun(lines_.back(), text.substr(0, end));
        if (end == std::string_view::npos)
            return;
        lines_.emplace_back();
        text.remove_prefix(end + LineEnd.size());
    }
}

void ReportDocument::SetFont(std::string_view name)
{
    const auto found = std::find(fonts_.begin(), fonts_.end(), name);
    if (found != fonts_.end()) {
        font_ = static_cast<std::uint16_t>(found - fonts_.begin());
        return;
    }
    if (fonts_.size() > std::numeric_limits<std::uint16_t>::max())
        throw Error("report: too many fonts, cannot add \"" + std::string(name) + "\"");
    font_ = static_cast<std::uint16_t>(fonts_.size());
    fonts_.emplace_back(name);
}

std::vector<std::string> ReportDocument::PlainLines() const
{
    std::vector<std::string> plain;
    plain.reserve(lines_.size());
    for (const ReportLine& line : lines_)
        plain.push_back(line.text());
    return plain;
}

void ReportDocument::addRun(ReportLine& line, std::string_view text)
{
    if (text.empty())
        return;
    if (!line.runs.empty()) {
        ReportRun& last = line.runs.back();
        if (last.color == color_ && last.bold == bold_ && last.font == font_) {
            last.text += text;
            return;
        }
    }
    line.runs.push_back(ReportRun { std::string(text), color_, bold_, font_ });
}

} // namespace venqor
