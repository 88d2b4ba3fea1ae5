// NextToken over arbitrary lines under every combination of the nine options, which
// come from the first two bytes; the rest is the line.

#include "scan/ScanCSV.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace venqor;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool digitsWithOptionalMinus(std::string_view text)
{
    if (!text.empty() && text.front() == '-')
        text.remove_prefix(1);
    return text.find_first_not_of("0123456789") == std::string_view::npos;
}

void checkToken()
{
    const std::string& text = Scan.TokenText;
    check(text.size() <= static_cast<std::size_t>(MaxLineLen));
    check(Scan.ScanPos >= -1 && Scan.ScanPos <= Scan.LineLen);
    check(Scan.TokenKind == tkInteger || Scan.TokenInt == 0);
    switch (Scan.TokenKind) {
    case tkEnd:
        check(text.empty());
        break;
    case tkChar:
        check(text.size() == 1);
        break;
    case tkInteger:
        check(!text.empty() && digitsWithOptionalMinus(text));
        break;
    case tkReal:
        check(text.find('.') != std::string::npos && text.find('.') == text.rfind('.'));
        break;
    case tkIdent:
        check(!text.empty());
        break;
    case tkString:
        break;
    default:
        check(false);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const unsigned bits = data[0] | (data[1] << 8);
    Scan.Reset();
    ScanOptions& o = Scan.Options;
    o.AllowIdent = bits & 1;
    o.StrictIdent = bits & 2;
    o.AllowSpaces = bits & 4;
    o.AllowNumbers = bits & 8;
    o.LooseNumbers = bits & 16;
    o.CommaSeparated = bits & 32;
    o.RecodeOem = bits & 64;
    o.ShowScanErrors = bits & 128;
    o.LfEndsLine = bits & 256;
    Scan.ShowScanError = [](const std::string& text) { check(!text.empty()); };

    SetLineBuf(std::string_view(reinterpret_cast<const char*>(data) + 2, size - 2));
    // Every token but the last takes at least one character, so a line has at most
    // LineLen + 1 of them.
    int tokens = 0;
    for (;;) {
        NextToken();
        checkToken();
        if (Scan.TokenKind == tkEnd)
            break;
        check(++tokens <= Scan.LineLen + 1);
    }
    UpperLineBuf();
    check(Scan.LineBuf[Scan.LineLen] == 0);
    return 0;
}
