#include "run/RunReport.h"

#include "base/Cp1251Literal.h"
#include "report/ReportDocument.h"

namespace venqor {

std::string_view RunReport::ColumnHeader()
{
    return "N строки Сообщение"_w;
}

std::string RunReport::numbered(std::string_view marker, std::string_view text) const
{
    std::string line = LineNumberText(counters_.LinesRead);
    line += marker;
    line += text;
    return line;
}

void RunReport::AppendLine(std::string_view text)
{
    document_.AppendLine(text);
}

void RunReport::AddNoteLine(std::string_view text)
{
    if (++counters_.NoteCount == 1) {
        document_.AppendLine({});
        document_.AppendLine(ColumnHeader());
    }
    document_.AppendLine(numbered(" ", text));
}

void RunReport::AddErrorLine(std::string_view text)
{
    ++counters_.ErrorCount;
    if (!errorHeaderWritten_) {
        errorHeaderWritten_ = true;
        document_.SetBold(true);
        document_.AppendLine(ColumnHeader());
        document_.SetBold(false);
        document_.SetFont(ReportDocument::DefaultFont);
    }
    document_.InsertText("\r\n");
    document_.SetColor(ReportColor::Blue);
    document_.InsertText(numbered(" E: ", text));
    document_.SetColor(ReportColor::WindowText);
}

void RunReport::AddMarkedLine(int from, int to, std::string_view text)
{
    if (from < 1)
        from = 1;
    if (to < from)
        to = from;
    const auto piece = [&](int first, int count) {
        const auto start = static_cast<std::size_t>(first - 1);
        return start < text.size() ? text.substr(start, static_cast<std::size_t>(count))
                                   : std::string_view {};
    };
    document_.InsertText("\r\n");
    document_.SetColor(ReportColor::WindowText);
    document_.InsertText(piece(1, from - 1));
    document_.SetColor(ReportColor::Red);
    document_.InsertText(piece(from, to - from + 1));
    document_.SetColor(ReportColor::WindowText);
    document_.InsertText(piece(to + 1, 99));
}

} // namespace venqor
