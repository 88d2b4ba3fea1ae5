#pragma once

#include <string>
#include <string_view>

namespace venqor {

// Appends a value as a CSV field (RFC 4180): in double quotes, with quotes doubled, when it
// holds a comma, a quote or a line break; as it is otherwise.
void AppendCsvField(std::string& line, std::string_view value);

} // namespace venqor
