#pragma once

#include "scan/TextFile.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace venqor {

// The one current line of the process, its reader and writer, and a tokenizer over it.
//
// All of it is process-wide state in `Scan`: one line, one tokenizer position and one set
// of options, used by one command at a time on one thread.

inline constexpr int LineBufSize = 2048;
inline constexpr int MaxLineLen = 2047;

enum TTokenKind : std::uint8_t {
    tkEnd = 0,     // nothing left on the line, or an empty unquoted value
    tkChar = 1,    // one character that starts no other token (StrictIdent only)
    tkInteger = 2, // optional minus and digits
    tkReal = 3,    // optional minus, digits with exactly one point
    tkIdent = 4,   // identifier or unquoted value
    tkString = 5,  // quoted string, or a number-like token holding other characters
};

// The reader and tokenizer options. Only StrictIdent and RecodeOem are ever changed by
// the program; the others keep these values, but each has its effect.
struct ScanOptions {
    bool AllowIdent = true;      // off: every identifier raises a scan error (and is delivered)
    bool StrictIdent = false;    // identifiers are letter (letter|digit|_)*, other characters tkChar
    bool AllowSpaces = true;     // blanks inside unquoted values; one blank after a leading minus
    bool AllowNumbers = true;    // a digit starts a number (a minus always does)
    bool LooseNumbers = false;   // a number runs on over everything above the blank but a comma
    bool CommaSeparated = true;  // a comma after a token is consumed as the separator
    bool RecodeOem = true;       // ReadLineBuf recodes 0x80..0xFF from code page 866
    bool ShowScanErrors = false; // scan errors also go to ShowScanError
    bool LfEndsLine = false;     // ReadLineBuf ends a line at LF (else LF is stored)
};

struct ScanState {
    ScanState();

    // The current line: LineLen characters (0..MaxLineLen) followed by a byte 0. Callers
    // may change the characters and LineLen in place, keeping that shape.
    char LineBuf[LineBufSize];
    int LineLen;

    int ScanPos;            // index of ScanChar; -1 after RewindLine
    unsigned char ScanChar; // 0 once ScanPos has reached LineLen
    bool AtLineEnd;         // ScanChar is 0

    TTokenKind TokenKind;
    std::string TokenText; // at most MaxLineLen characters
    int TokenInt;          // value of a tkInteger token, 0 for every other kind
    bool ScanErrorFlag;    // the last token raised a scan error
    std::string ScanErrorText;

    ScanOptions Options;

    // Shows a scan error to the user; called only when Options.ShowScanErrors is on.
    std::function<void(const std::string&)> ShowScanError;

    // The state at program start.
    void Reset();
};

extern ScanState Scan;

// Reads the next line of `file` into LineBuf (see the .cpp for the rules). The caller
// tests file.Eof() first; at the end of the file the line is empty.
void ReadLineBuf(InTextFile& file);

// Puts the first 2046 characters of `text` into LineBuf and rewinds the tokenizer.
void SetLineBuf(std::string_view text);

// Characters of LineBuf from 1-based position `start` on, at most `count` (at most
// MaxLineLen), none beyond LineLen; positions before 1 hold nothing. A view into LineBuf,
// valid until LineBuf changes.
std::string_view CopyLineBuf(int start, int count);

void RewindLine();
void NextChar();
void NextToken();

// Records a scan error at ScanPos: "Ошибка <text>в символе N".
void ScanError(std::string_view text);

// Windows-1251 upper case: a-z, а-я and ё; every other byte unchanged.
char UpperCyr(char ch);
void UpperLineBuf();

// Writes LineBuf up to its first byte 0 as one line in code page 866, control
// characters as blanks.
void WriteLineBufOem(OutTextFile& file);

} // namespace venqor
