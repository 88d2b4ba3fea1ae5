#include "base/CodePage.h"

namespace venqor {

// clang-format off
const std::array<char16_t, 128> Cp866ToUnicodeTable = {
    /* 80 */ 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    /* 88 */ 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    /* 90 */ 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    /* 98 */ 0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    /* A0 */ 0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    /* A8 */ 0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    /* B0 */ 0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    /* B8 */ 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    /* C0 */ 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    /* C8 */ 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    /* D0 */ 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    /* D8 */ 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    /* E0 */ 0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    /* E8 */ 0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
    /* F0 */ 0x0401, 0x0451, 0x0404, 0x0454, 0x0407, 0x0457, 0x040E, 0x045E,
    /* F8 */ 0x00B0, 0x2219, 0x00B7, 0x221A, 0x2116, 0x00A4, 0x25A0, 0x00A0,
};
// clang-format on

namespace {

// Writes the UTF-8 sequence of `cp` (below U+10000) at p; returns its end.
char* writeUtf8(char32_t cp, char* p)
{
    if (cp < 0x80) {
        *p++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
        *p++ = static_cast<char>(0xC0 | (cp >> 6));
        *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *p++ = static_cast<char>(0xE0 | (cp >> 12));
        *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    return p;
}

void appendAsUtf8(std::string_view text, const std::array<char16_t, 128>& table, std::string& out)
{
    // Every byte gives three UTF-8 bytes at most: write into the grown buffer directly.
    const std::size_t start = out.size();
    out.resize(start + 3 * text.size());
    char* p = out.data() + start;
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        p = b < 0x80 ? (*p = c, p + 1) : writeUtf8(table[b - 0x80], p);
    }
    out.resize(static_cast<std::size_t>(p - out.data()));
}

// Windows-1251 byte of a code point, or 0 when the page has none.
unsigned char cp1251Byte(char32_t cp)
{
    if (cp < 0x80)
        return static_cast<unsigned char>(cp);
    if (cp >= 0x410 && cp <= 0x44F) // А..я, the common case
        return static_cast<unsigned char>(cp - 0x410 + 0xC0);
    for (unsigned i = 0; i < 128; ++i)
        if (Cp1251ToUnicodeTable[i] == cp)
            return static_cast<unsigned char>(0x80 + i);
    return 0;
}

// Decodes one UTF-8 sequence at text[i]; advances i. Returns U+FFFD for a bad sequence.
char32_t decodeUtf8(std::string_view text, std::size_t& i)
{
    const auto lead = static_cast<unsigned char>(text[i++]);
    if (lead < 0x80)
        return lead;
    int extra = 0;
    char32_t cp = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        cp = lead & 0x07;
    } else {
        return 0xFFFD;
    }
    for (int k = 0; k < extra; ++k) {
        if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            return 0xFFFD;
        cp = (cp << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
    }
    static constexpr char32_t smallest[] = { 0, 0x80, 0x800, 0x10000 };
    if (cp < smallest[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0xFFFD;
    return cp;
}

} // namespace

void AppendCp1251AsUtf8(std::string_view text, std::string& out)
{
    appendAsUtf8(text, Cp1251ToUnicodeTable, out);
}

std::string Cp1251ToUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size() * 2);
    appendAsUtf8(text, Cp1251ToUnicodeTable, out);
    return out;
}

std::string Cp866ToUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size() * 2);
    appendAsUtf8(text, Cp866ToUnicodeTable, out);
    return out;
}

void AppendUtf8AsCp1251(std::string_view text, std::string& out)
{
    // Every UTF-8 sequence gives one byte at most: write into the grown buffer directly.
    const std::size_t start = out.size();
    out.resize(start + text.size());
    char* p = out.data() + start;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            *p++ = static_cast<char>(lead);
            ++i;
            continue;
        }
        // А..п are D0 90..D0 BF, р..я are D1 80..D1 8F: the bulk of every name.
        if (i + 1 < text.size()) {
            const auto next = static_cast<unsigned char>(text[i + 1]);
            if ((lead == 0xD0 && next >= 0x90 && next <= 0xBF)
                || (lead == 0xD1 && next >= 0x80 && next <= 0x8F)) {
                *p++ = static_cast<char>(lead == 0xD0 ? next + 0x30 : next + 0x70);
                i += 2;
                continue;
            }
        }
        const unsigned char b = cp1251Byte(decodeUtf8(text, i));
        *p++ = b ? static_cast<char>(b) : UnmappableCp1251;
    }
    out.resize(static_cast<std::size_t>(p - out.data()));
}

std::string Utf8ToCp1251(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    AppendUtf8AsCp1251(text, out);
    return out;
}

std::string Cp866ToCp1251(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
            continue;
        }
        const unsigned char mapped = cp1251Byte(Cp866ToUnicodeTable[b - 0x80]);
        out += mapped ? static_cast<char>(mapped) : UnmappableCp1251;
    }
    return out;
}

std::string PathToCp1251(const std::filesystem::path& path)
{
    return Utf8ToCp1251(path.native());
}

std::filesystem::path Cp1251ToPath(std::string_view text)
{
    return std::filesystem::path(Cp1251ToUtf8(text));
}

} // namespace venqor
