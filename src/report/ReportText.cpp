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

ReportTextReader::ReportTextReader(const std::string& path, std::size_t kept)
    : source_(OpenFileSource(path))
    , kept_(kept)
{
}

ReportTextReader::~ReportTextReader() = default;

bool ReportTextReader::next(std::string& line)
{
    line.clear();
    std::size_t length = 0; // of the whole line, what was not kept too
    bool any = false;       // a byte of this line was read: the file does not end before it
    for (;;) {
        if (pos_ == block_.size()) {
            if (ended_)
                return any;
            block_.resize(1 << 16);
            block_.resize(source_->read(block_.data(), block_.size()));
            pos_ = 0;
            ended_ = block_.empty();
            continue;
        }
        any = true;
        const std::size_t lf = block_.find('\n', pos_);
        const std::size_t end = lf == std::string::npos ? block_.size() : lf;
        if (line.size() < kept_)
            line.append(block_, pos_, std::min(end - pos_, kept_ - line.size()));
        length += end - pos_;
        pos_ = lf == std::string::npos ? end : end + 1;
        if (lf != std::string::npos) {
            // The CR of a CR LF line end, where it was kept.
            if (length == line.size() && !line.empty() && line.back() == '\r')
                line.pop_back();
            return true;
        }
    }
}

} // namespace venqor
