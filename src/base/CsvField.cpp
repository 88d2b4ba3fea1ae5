#include "base/CsvField.h"

namespace venqor {

void AppendCsvField(std::string& line, std::string_view value)
{
    if (value.find_first_of(",\"\r\n") == std::string_view::npos) {
        line += value;
        return;
    }
    line += '"';
    for (const char c : value) {
        if (c == '"')
            line += '"';
        line += c;
    }
    line += '"';
}

} // namespace venqor
