// ReadLineBuf over arbitrary bytes, held against a reader that follows the rules of the
// text file literally, byte by byte. The first byte chooses LfEndsLine, RecodeOem and
// how many bytes the source hands out at a time.

#include "scan/RecodeTables.h"
#include "scan/ScanCSV.h"
#include "support/ScanFixtures.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace venqor;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// The text file rules over plain bytes: end of file at no byte or a Ctrl-Z, end of line
// at CR or end of file, a line end skipped through the CR and one LF right after it.
class ReferenceFile {
public:
    explicit ReferenceFile(std::string_view bytes)
        : bytes_(bytes)
    {
    }
    bool Eof() const { return pos_ == bytes_.size() || bytes_[pos_] == InTextFile::CtrlZ; }
    bool Eoln() const { return Eof() || bytes_[pos_] == '\r'; }
    char ReadByte() { return bytes_[pos_++]; }
    void SkipLineEnd()
    {
        while (!Eof())
            if (ReadByte() == '\r') {
                if (!Eof() && bytes_[pos_] == '\n')
                    ++pos_;
                return;
            }
    }

private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
};

std::string referenceLine(ReferenceFile& file, bool lfEndsLine, bool recode)
{
    std::string line;
    if (file.Eof())
        return line;
    while (!file.Eoln()) {
        const char b = file.ReadByte();
        if (b == '\n' && lfEndsLine)
            break;
        if (line.size() < static_cast<std::size_t>(MaxLineLen))
            line += recode ? OemToAnsi(b) : b;
    }
    if (file.Eoln())
        file.SkipLineEnd();
    return line;
}

std::unique_ptr<ByteSource> source(const std::string& bytes, std::size_t chunk)
{
    if (chunk == 0)
        return MemorySource(bytes);
    return std::make_unique<test::ChunkedSource>(bytes, chunk);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const bool lfEndsLine = data[0] & 1;
    const bool recode = data[0] & 2;
    const std::size_t chunk = data[0] >> 2;
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    Scan.Reset();
    Scan.Options.LfEndsLine = lfEndsLine;
    Scan.Options.RecodeOem = recode;
    InTextFile file(source(bytes, chunk), "fuzz.txt");
    ReferenceFile reference(bytes);
    for (;;) {
        const bool end = file.Eof();
        check(end == reference.Eof());
        ReadLineBuf(file);
        check(Scan.LineLen >= 0 && Scan.LineLen <= MaxLineLen);
        check(Scan.LineBuf[Scan.LineLen] == 0);
        check(std::string(Scan.LineBuf, Scan.LineLen) == referenceLine(reference, lfEndsLine, recode));
        if (end)
            break;
    }
    return 0;
}
