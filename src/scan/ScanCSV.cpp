#include "scan/ScanCSV.h"

#include "scan/RecodeTables.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>

namespace venqor {

ScanState Scan;

namespace {

// Scan error texts, Windows-1251.
constexpr std::string_view NoQuoteText = "\xCD\xE5\xF2 \xEA\xE0\xE2\xFB\xF7\xEA\xE8"; // Нет кавычки
constexpr std::string_view NoCommaText = "\xCD\xE5\xF2 \xE7\xE0\xEF\xFF\xF2\xEE\xE9"; // Нет запятой
constexpr std::string_view NoIdentText = "Identifires not Allowed!";
constexpr std::string_view ErrorPrefix = "\xCE\xF8\xE8\xE1\xEA\xE0 <";          // Ошибка <
constexpr std::string_view ErrorAtText = ">\xE2 \xF1\xE8\xEC\xE2\xEE\xEB\xE5 "; // >в символе

using ByteMap = std::array<char, 256>;
using ByteSet = std::array<bool, 256>;

constexpr ByteMap identityMap()
{
    ByteMap map {};
    for (int b = 0; b < 256; ++b)
        map[b] = static_cast<char>(b);
    return map;
}

const ByteMap& oemToAnsiMap()
{
    static const ByteMap map = [] {
        ByteMap m = identityMap();
        for (int b = 0x80; b < 0x100; ++b)
            m[b] = static_cast<char>(OemToAnsiTable[b - 0x80]);
        return m;
    }();
    return map;
}

constexpr ByteMap IdentityMap = identityMap();

// Code page 866 of each Windows-1251 byte, control characters as blanks: the bytes of an
// output copy.
const ByteMap& ansiToOemCopyMap()
{
    static const ByteMap map = [] {
        ByteMap m {};
        for (int b = 0; b < 0x100; ++b) {
            const char oem = AnsiToOem(static_cast<char>(b));
            m[b] = static_cast<unsigned char>(oem) < 32 ? ' ' : oem;
        }
        return m;
    }();
    return map;
}

// The bytes at which the reader stops copying: CR ends the line, Ctrl-Z ends the file,
// and LF ends the line when LfEndsLine is on.
constexpr ByteSet lineStops(bool lfEndsLine)
{
    ByteSet set {};
    set['\r'] = true;
    set[static_cast<unsigned char>(InTextFile::CtrlZ)] = true;
    set['\n'] = lfEndsLine;
    return set;
}

constexpr ByteSet StopsAtCr = lineStops(false);
constexpr ByteSet StopsAtCrOrLf = lineStops(true);

bool isBlankClass(unsigned char c)
{
    return c > 0 && c <= 32;
}
bool isDigit(unsigned char c)
{
    return c >= '0' && c <= '9';
}
bool isLatin(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool isLetter(unsigned char c)
{
    return isLatin(c) || c >= 0xC0;
}
bool isIdentChar(unsigned char c)
{
    return isLetter(c) || isDigit(c) || c == '_';
}

void skipBlanks()
{
    while (isBlankClass(Scan.ScanChar))
        NextChar();
}

// Appends ScanChar to TokenText while there is room.
void append()
{
    if (Scan.TokenText.size() < static_cast<std::size_t>(MaxLineLen))
        Scan.TokenText.push_back(static_cast<char>(Scan.ScanChar));
}

// The value of an integer token (an optional minus and digits). A value beyond the
// 32-bit range saturates at INT_MIN or INT_MAX.
int integerValue(std::string_view text)
{
    const bool negative = !text.empty() && text.front() == '-';
    if (negative)
        text.remove_prefix(1);
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    long long value = 0;
    for (const char c : text) {
        value = value * 10 + (c - '0');
        if (value >= limit) {
            value = limit;
            break;
        }
    }
    return static_cast<int>(negative ? -value : value);
}

void scanQuoted(unsigned char quote)
{
    Scan.TokenKind = tkString;
    NextChar();
    while (Scan.ScanChar != quote && !Scan.AtLineEnd) {
        append();
        NextChar();
    }
    if (Scan.ScanChar == quote)
        NextChar();
    else
        ScanError(NoQuoteText);
}

void scanNumber()
{
    const ScanOptions& o = Scan.Options;
    Scan.TokenKind = tkInteger;
    bool allDigits = true;
    if (Scan.ScanChar == '-') {
        append();
        NextChar();
        if (o.AllowSpaces && Scan.ScanChar == ' ')
            NextChar();
    }
    for (;;) {
        const unsigned char c = Scan.ScanChar;
        if (!isDigit(c) && c != '.' && !(o.LooseNumbers && c > 32 && c != ','))
            break;
        append();
        if (c == '.')
            Scan.TokenKind = Scan.TokenKind == tkInteger ? tkReal : tkString;
        else if (!isDigit(c))
            allDigits = false;
        NextChar();
    }
    if (!allDigits)
        Scan.TokenKind = tkString;
}

void scanIdent()
{
    const ScanOptions& o = Scan.Options;
    if (!o.AllowIdent)
        ScanError(NoIdentText);
    Scan.TokenKind = tkIdent;
    while (Scan.ScanChar != ',' && Scan.ScanChar != 0) {
        append();
        NextChar();
        if ((!o.AllowSpaces && Scan.ScanChar == ' ') || (o.StrictIdent && !isIdentChar(Scan.ScanChar)))
            break;
    }
}

} // namespace

ScanState::ScanState()
{
    Reset();
    TokenText.reserve(MaxLineLen);
    ScanErrorText.reserve(64);
}

void ScanState::Reset()
{
    std::memset(LineBuf, 0, sizeof LineBuf);
    LineLen = 0;
    ScanPos = 0;
    ScanChar = 0;
    AtLineEnd = false;
    TokenKind = tkEnd;
    TokenText.clear();
    TokenInt = 0;
    ScanErrorFlag = false;
    ScanErrorText.clear();
    Options = ScanOptions {};
    ShowScanError = nullptr;
}

// A line runs to the next CR (or LF with LfEndsLine) or the end of the file; bytes
// 0x80..0xFF are recoded from code page 866 when RecodeOem is on; characters beyond
// MaxLineLen are read and dropped. The CR and one LF right after it are skipped.
// Works on the file's block buffer: no call per byte.
void ReadLineBuf(InTextFile& file)
{
    ScanState& s = Scan;
    int n = 0;
    if (!file.Eof()) {
        const ByteMap& map = s.Options.RecodeOem ? oemToAnsiMap() : IdentityMap;
        const ByteSet& stops = s.Options.LfEndsLine ? StopsAtCrOrLf : StopsAtCr;
        for (;;) {
            const std::string_view block = file.buffered();
            if (block.empty()) {
                if (!file.fill())
                    break;
                continue;
            }
            const auto* bytes = reinterpret_cast<const unsigned char*>(block.data());
            const std::size_t size = block.size();
            const std::size_t kept = std::min(size, static_cast<std::size_t>(MaxLineLen - n));
            char* out = s.LineBuf + n;
            std::size_t i = 0;
            while (i < kept && !stops[bytes[i]]) {
                out[i] = map[bytes[i]];
                ++i;
            }
            n += static_cast<int>(i);
            while (i < size && !stops[bytes[i]])
                ++i;
            file.consume(i);
            if (i < size) {
                if (bytes[i] == '\n')
                    file.consume(1); // ends the line; not stored
                break;
            }
        }
        if (file.Eoln())
            file.SkipLineEnd();
    }
    s.LineLen = n;
    s.LineBuf[n] = 0;
}

void SetLineBuf(std::string_view text)
{
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(MaxLineLen - 1));
    std::memcpy(Scan.LineBuf, text.data(), n);
    Scan.LineBuf[n] = 0;
    Scan.LineLen = static_cast<int>(n);
    RewindLine();
}

std::string_view CopyLineBuf(int start, int count)
{
    if (count <= 0)
        return {};
    count = std::min(count, MaxLineLen);
    const long long first = std::max(start, 1);
    const long long last
        = std::min(static_cast<long long>(start) + count - 1, static_cast<long long>(Scan.LineLen));
    if (first > last)
        return {};
    return { Scan.LineBuf + first - 1, static_cast<std::size_t>(last - first + 1) };
}

void RewindLine()
{
    Scan.AtLineEnd = false;
    Scan.ScanChar = ' ';
    Scan.ScanPos = -1;
}

void NextChar()
{
    if (Scan.ScanPos < Scan.LineLen) {
        ++Scan.ScanPos;
        Scan.ScanChar = static_cast<unsigned char>(Scan.LineBuf[Scan.ScanPos]);
    } else {
        Scan.ScanChar = 0;
    }
    Scan.AtLineEnd = Scan.ScanChar == 0;
}

void NextToken()
{
    ScanState& s = Scan;
    s.TokenText.clear();
    s.TokenInt = 0;
    s.ScanErrorFlag = false;

    skipBlanks();
    if (s.AtLineEnd) {
        s.TokenKind = tkEnd;
        return;
    }

    const unsigned char c = s.ScanChar;
    if (c == '"' || c == '\'') {
        scanQuoted(c);
    } else if ((s.Options.AllowNumbers && isDigit(c)) || c == '-') {
        scanNumber();
    } else if (s.Options.StrictIdent && !isLetter(c)) {
        s.TokenKind = tkChar;
        append();
        NextChar();
    } else {
        scanIdent();
    }

    if (s.TokenText.empty() && s.TokenKind != tkString)
        s.TokenKind = tkEnd;
    if (s.TokenKind == tkInteger)
        s.TokenInt = integerValue(s.TokenText);

    skipBlanks();
    if (s.Options.CommaSeparated && s.ScanChar == ',')
        NextChar();
    else if (!s.AtLineEnd)
        ScanError(NoCommaText);
}

void ScanError(std::string_view text)
{
    ScanState& s = Scan;
    s.ScanErrorFlag = true;
    s.ScanErrorText.assign(ErrorPrefix);
    s.ScanErrorText.append(text);
    s.ScanErrorText.append(ErrorAtText);
    s.ScanErrorText.append(std::to_string(s.ScanPos));
    if (s.Options.ShowScanErrors && s.ShowScanError)
        s.ShowScanError(s.ScanErrorText);
}

namespace {

// a-z to A-Z, а-я to А-Я, ё to Ё; every other byte stays. One lookup per byte, since every
// record line of a name check goes through it.
constexpr std::array<char, 256> UpperTable = [] {
    std::array<char, 256> t {};
    for (int b = 0; b < 256; ++b) {
        int upper = b;
        if ((b >= 'a' && b <= 'z') || b >= 0xE0)
            upper = b - 0x20;
        else if (b == 0xB8) // ё
            upper = 0xA8;
        t[static_cast<std::size_t>(b)] = static_cast<char>(upper);
    }
    return t;
}();

} // namespace

char UpperCyr(char ch)
{
    return UpperTable[static_cast<unsigned char>(ch)];
}

void UpperLineBuf()
{
    // Local copies: a store into the buffer could otherwise alias LineLen on every step.
    char* const line = Scan.LineBuf;
    const int length = Scan.LineLen;
    for (int i = 0; i <= length; ++i)
        line[i] = UpperTable[static_cast<unsigned char>(line[i])];
}

void WriteLineBufOem(OutTextFile& file)
{
    const ByteMap& map = ansiToOemCopyMap();
    char out[LineBufSize];
    const std::size_t n = strnlen(Scan.LineBuf, sizeof out);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = map[static_cast<unsigned char>(Scan.LineBuf[i])];
    file.Write(std::string_view(out, n));
    file.WriteLineEnd();
}

} // namespace venqor
