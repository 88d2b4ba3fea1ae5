#include "engine/pg/PgEngine.h"

#include <algorithm>

namespace venqor {

namespace {

bool isNameStart(char c)
{
    const auto b = static_cast<unsigned char>(c);
    return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b == '_' || b >= 0x80;
}

bool isNameChar(char c)
{
    return isNameStart(c) || (c >= '0' && c <= '9');
}

// End of a quoted part that starts at `begin` with `quote`; a doubled quote stands for
// itself, and with `backslashes` (E'...') a backslash escapes the next character.
// An unterminated part runs to the end of the text.
std::size_t quotedEnd(std::string_view sql, std::size_t begin, char quote, bool backslashes)
{
    for (std::size_t i = begin + 1; i < sql.size(); ++i) {
        if (backslashes && sql[i] == '\\') {
            ++i;
        } else if (sql[i] == quote) {
            if (i + 1 < sql.size() && sql[i + 1] == quote)
                ++i;
            else
                return i + 1;
        }
    }
    return sql.size();
}

// End of a $tag$...$tag$ string starting at `begin`, or npos when no dollar quote starts there.
std::size_t dollarQuotedEnd(std::string_view sql, std::size_t begin)
{
    std::size_t i = begin + 1;
    if (i < sql.size() && isNameStart(sql[i]))
        while (i < sql.size() && isNameChar(sql[i]))
            ++i;
    if (i >= sql.size() || sql[i] != '$')
        return std::string_view::npos;
    const std::string_view tag = sql.substr(begin, i + 1 - begin);
    const std::size_t close = sql.find(tag, i + 1);
    return close == std::string_view::npos ? sql.size() : close + tag.size();
}

// End of a /* ... */ comment (they nest) starting at `begin`.
std::size_t blockCommentEnd(std::string_view sql, std::size_t begin)
{
    int depth = 0;
    for (std::size_t i = begin; i + 1 < sql.size(); ++i) {
        if (sql[i] == '/' && sql[i + 1] == '*') {
            ++depth;
            ++i;
        } else if (sql[i] == '*' && sql[i + 1] == '/') {
            ++i;
            if (--depth == 0)
                return i + 1;
        }
    }
    return sql.size();
}

} // namespace

std::string RewriteNamedParameters(std::string_view sql, std::vector<std::string>& names)
{
    names.clear();
    std::string out;
    out.reserve(sql.size() + 8);
    std::size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        const bool afterName = i > 0 && isNameChar(sql[i - 1]);
        std::size_t end = i + 1; // the end of the part copied unchanged
        if (c == '\'') {
            // E'...' takes backslash escapes; the E must not end a longer word.
            const bool escapes
                = afterName && (sql[i - 1] == 'E' || sql[i - 1] == 'e') && !(i > 1 && isNameChar(sql[i - 2]));
            end = quotedEnd(sql, i, '\'', escapes);
        } else if (c == '"') {
            end = quotedEnd(sql, i, '"', false);
        } else if (c == '$' && !afterName) {
            const std::size_t dollarEnd = dollarQuotedEnd(sql, i);
            if (dollarEnd != std::string_view::npos)
                end = dollarEnd;
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            end = std::min(sql.find('\n', i), sql.size());
        } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            end = blockCommentEnd(sql, i);
        } else if (c == ':' && i + 1 < sql.size() && sql[i + 1] == ':') {
            end = i + 2; // a cast
        } else if (c == ':' && i + 1 < sql.size() && isNameStart(sql[i + 1])) {
            std::size_t nameEnd = i + 1;
            while (nameEnd < sql.size() && isNameChar(sql[nameEnd]))
                ++nameEnd;
            const std::string_view name = sql.substr(i + 1, nameEnd - i - 1);
            auto found = std::find(names.begin(), names.end(), name);
            if (found == names.end())
                found = names.insert(names.end(), std::string(name));
            out += '$';
            out += std::to_string(found - names.begin() + 1);
            i = nameEnd;
            continue;
        }
        out.append(sql.substr(i, end - i));
        i = end;
    }
    return out;
}

} // namespace venqor
