#pragma once

#include "report/ReportDocument.h"

#include <string>
#include <vector>

namespace venqor {

// Saves the report as plain text: one line per report line, each ended by CR LF, the
// Windows-1251 bytes as they are, no formatting. An existing file of that name is replaced
// only by the complete new one; after a failure it is left as it was. Throws IoError.
void SaveReportText(const ReportDocument& report, const std::string& path);

// The lines of a saved report. Lines end with CR LF or a lone LF; the last line may lack
// its line end. Throws IoError naming the file.
std::vector<std::string> LoadReportText(const std::string& path);

} // namespace venqor
