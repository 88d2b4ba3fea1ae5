#pragma once

#include "report/ReportDocument.h"

#include <memory>
#include <string>

namespace venqor {

class ByteSource;

// Saves the report as plain text: one line per report line, each ended by CR LF, the
// Windows-1251 bytes as they are, no formatting. An existing file of that name is replaced
// only by the complete new one; after a failure it is left as it was. Throws IoError.
void SaveReportText(const ReportDocument& report, const std::string& path);

// The lines of a saved report, read one at a time, so that a report of any size takes little
// memory. Lines end with CR LF or a lone LF; the last line may lack its line end. Of a line
// longer than `kept` characters only the first `kept` are given. Throws IoError naming the
// file.
class ReportTextReader {
public:
    explicit ReportTextReader(const std::string& path, std::size_t kept = std::string::npos);
    ~ReportTextReader();
    ReportTextReader(const ReportTextReader&) = delete;
    ReportTextReader& operator=(const ReportTextReader&) = delete;

    // The next line; false at the end of the file.
    bool next(std::string& line);

private:
    std::unique_ptr<ByteSource> source_;
    std::size_t kept_;
    std::string block_;
    std::size_t pos_ = 0;
    bool ended_ = false;
};

} // namespace venqor
