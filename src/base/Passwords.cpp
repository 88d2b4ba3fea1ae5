#include "base/Passwords.h"

#include <algorithm>

namespace venqor {

namespace {

constexpr std::string_view Mask = "***";

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// %XX sequences decoded; anything else as it stands.
std::string percentDecoded(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0
            && hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool isPasswordKey(std::string_view key)
{
    std::string name = percentDecoded(key);
    std::transform(name.begin(), name.end(), name.begin(),
        [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return name == "password" || name == "sslpassword";
}

// Where the passwords of a URI lie: [begin, end) of each, in order.
std::vector<std::pair<std::size_t, std::size_t>> passwordSpans(std::string_view uri)
{
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    const std::size_t scheme = uri.find("://");
    if (scheme == std::string_view::npos)
        return spans;
    const std::size_t begin = scheme + 3;
    // The user part ends where libpq ends it, at an "@" before any "/", or, in a malformed
    // URI, at the last "@" before the query: whichever comes later.
    std::size_t userEnd = std::string_view::npos;
    if (const std::size_t stop = uri.find_first_of("@/", begin);
        stop != std::string_view::npos && uri[stop] == '@')
        userEnd = stop;
    const std::size_t firstQuery = std::min(uri.find('?', begin), uri.size());
    if (const std::size_t at = uri.substr(0, firstQuery).rfind('@');
        at != std::string_view::npos && at >= begin)
        userEnd = userEnd == std::string_view::npos ? at : std::max(userEnd, at);
    std::size_t query = firstQuery;
    if (userEnd != std::string_view::npos) {
        const std::size_t colon = uri.substr(0, userEnd).find(':', begin);
        if (colon != std::string_view::npos && colon + 1 < userEnd)
            spans.emplace_back(colon + 1, userEnd);
        query = std::min(uri.find('?', userEnd), uri.size());
    }
    for (std::size_t item = query + 1; item < uri.size();) {
        const std::size_t end = std::min(uri.find('&', item), uri.size());
        const std::size_t equals = uri.substr(0, end).find('=', item);
        if (equals != std::string_view::npos && isPasswordKey(uri.substr(item, equals - item))
            && equals + 1 < end)
            spans.emplace_back(equals + 1, end);
        item = end + 1;
    }
    return spans;
}

} // namespace

std::string ShownLocation(std::string_view location)
{
    std::string shown;
    std::size_t from = 0;
    for (const auto& [begin, end] : passwordSpans(location)) {
        shown.append(location.substr(from, begin - from));
        shown += Mask;
        from = end;
    }
    shown.append(location.substr(from));
    return shown;
}

std::vector<std::string> PasswordsIn(std::string_view location)
{
    std::vector<std::string> passwords;
    for (const auto& [begin, end] : passwordSpans(location)) {
        const std::string_view written = location.substr(begin, end - begin);
        passwords.emplace_back(written);
        if (std::string decoded = percentDecoded(written); decoded != written)
            passwords.push_back(std::move(decoded));
    }
    return passwords;
}

} // namespace venqor
