#include "run/RunReport.h"

#include "base/Cp1251Literal.h"
#include "report/ReportDocument.h"

namespace venqor {

std::string_view RunReport::ColumnHeader()
{
    return "N строки Сообщение"_w;
}

std::string NumberedLine(
    ReportDocument& document, std::int64_t line, const FindingFacts& facts, std::string_view message)
{
    document.AddFinding({ line, std::string(facts.kind), std::string(facts.number), std::string(facts.given),
        std::string(facts.registered), std::string(message) });
    std::string text = LineNumberText(line);
    text += ' ';
    text += message;
    return text;
}

void RunReport::AppendLine(std::string_view text)
{
    document_.AppendLine(text);
}

void RunReport::AddNoteLine(const FindingFacts& facts, std::string_view text)
{
    if (++counters_.NoteCount == 1) {
        document_.AppendLine({});
        document_.AppendLine(ColumnHeader());
    }
    document_.AppendLine(NumberedLine(document_, counters_.LinesRead, facts, text));
}

void RunReport::AddErrorLine(const FindingFacts& facts, std::string_view text)
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
    document_.InsertText(
        NumberedLine(document_, counters_.LinesRead, facts, std::string("E: ") + std::string(text)));
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
