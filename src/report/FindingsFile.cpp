#include "report/FindingsFile.h"

#include "base/CodePage.h"
#include "base/CsvField.h"
#include "base/FieldText.h"
#include "scan/TextFile.h"

#include <array>
#include <string_view>

namespace venqor {

namespace {

constexpr std::array<std::string_view, 7> Columns
    = { "file", "line", "kind", "number", "given", "registered", "message" };

// The values of a row in UTF-8, in the order of Columns.
std::array<std::string, 7> values(const ReportDocument& report, const Finding& f)
{
    return { report.dataFile().string(), std::to_string(f.line), f.kind, Cp1251ToUtf8(f.number),
        Cp1251ToUtf8(f.given), Cp1251ToUtf8(f.registered), Cp1251ToUtf8(f.message) };
}

void appendJsonString(std::string& out, std::string_view text)
{
    static constexpr char Hex[] = "0123456789abcdef";
    out += '"';
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (b < 0x20) {
            out += "\\u00";
            out += Hex[b >> 4];
            out += Hex[b & 15];
        } else {
            out += c;
        }
    }
    out += '"';
}

void writeCsv(const ReportDocument& report, OutTextFile& out)
{
    std::string line = "\xEF\xBB\xBF";
    for (std::size_t i = 0; i < Columns.size(); ++i) {
        line += i ? "," : "";
        line += Columns[i];
    }
    out.Write(line);
    out.WriteLineEnd();
    for (const Finding& finding : report.findings()) {
        line.clear();
        const auto row = values(report, finding);
        for (std::size_t i = 0; i < row.size(); ++i) {
            line += i ? "," : "";
            AppendCsvField(line, row[i]);
        }
        out.Write(line);
        out.WriteLineEnd();
    }
}

void writeJsonLines(const ReportDocument& report, OutTextFile& out)
{
    std::string line;
    for (const Finding& finding : report.findings()) {
        line.assign("{");
        const auto row = values(report, finding);
        for (std::size_t i = 0; i < row.size(); ++i) {
            line += i ? "," : "";
            appendJsonString(line, Columns[i]);
            line += ':';
            if (Columns[i] == "line")
                line += row[i];
            else
                appendJsonString(line, row[i]);
        }
        line += "}\n";
        out.Write(line);
    }
}

} // namespace

bool IsJsonLinesName(const std::filesystem::path& file)
{
    return SameName(file.extension().string(), ".jsonl");
}

void SaveFindings(const ReportDocument& report, const std::filesystem::path& file)
{
    OutTextFile out(file);
    if (IsJsonLinesName(file))
        writeJsonLines(report, out);
    else
        writeCsv(report, out);
    out.Commit();
}

} // namespace venqor
