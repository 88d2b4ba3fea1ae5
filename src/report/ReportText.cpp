#include "report/ReportText.h"

#include "scan/TextFile.h"

namespace venqor {

void SaveReportText(const ReportDocument& report, const std::string& path)
{
    OutTextFile file(path);
    for (const ReportLine& line : report.lines()) {
        for (const ReportRun& run : line.runs)
            file.Write(run.text);
        file.WriteLineEnd();
    }
    file.Commit();
}

std::vector<std::string> LoadReportText(const std::string& path)
{
    const auto source = OpenFileSource(path);
    std::string bytes;
    std::string block(1 << 16, '\0');
    while (const std::size_t n = source->read(block.data(), block.size()))
        bytes.append(block, 0, n);

    std::vector<std::string> lines;
    std::string_view rest(bytes);
    while (!rest.empty()) {
        const std::size_t lf = rest.find('\n');
        std::string_view line = rest.substr(0, lf);
        if (lf != std::string_view::npos && line.ends_with('\r'))
            line.remove_suffix(1);
        lines.emplace_back(line);
        rest.remove_prefix(lf == std::string_view::npos ? rest.size() : lf + 1);
    }
    return lines;
}

} // namespace venqor
