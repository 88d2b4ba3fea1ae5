#include "run/LineBlock.h"

#include "base/Errors.h"

#include "scan/ScanCSV.h"
#include "scan/TextFile.h"

#include <cstring>

namespace venqor {

void LineBlock::Read(InTextFile& file, std::size_t count, char recordType, const RecordKey& keyOf)
{
    bytes_.clear();
    lines_.clear();
    keys_.clear();
    failure_ = nullptr;
    try {
        while (lines_.size() < count && !file.Eof()) {
            Line& line = lines_.emplace_back();
            try {
                ReadLineBuf(file);
            } catch (const Interrupted&) {
                lines_.pop_back(); // a stop ends the block, it is no failure of a line
                throw;
            } catch (...) {
                line.failure = std::current_exception();
                continue;
            }
            line.start = bytes_.size();
            line.length = Scan.LineLen;
            bytes_.append(Scan.LineBuf, static_cast<std::size_t>(Scan.LineLen) + 1);
            if (keyOf && Scan.LineBuf[0] == recordType) {
                try {
                    if (keyOf(keys_.emplace_back()))
                        line.key = static_cast<std::ptrdiff_t>(keys_.size() - 1);
                    else
                        keys_.pop_back();
                } catch (...) {
                    keys_.pop_back();
                }
            }
        }
    } catch (...) {
        failure_ = std::current_exception();
    }
}

void LineBlock::Restore(const Line& line) const
{
    std::memcpy(Scan.LineBuf, bytes_.data() + line.start, static_cast<std::size_t>(line.length) + 1);
    Scan.LineLen = line.length;
}

} // namespace venqor
