#pragma once

#include <string>
#include <vector>

namespace venqor::test {

// Files read back by independent readers: dBASE files by the Python dbf module (Debian
// python3-dbf), CSV files by Python's csv module, both run by /usr/bin/python3.

// Prints a dBASE file: its language driver byte, one line per field (name, type, width,
// decimals) and one line per record (values separated by |, texts without trailing blanks,
// dates as YYYY-MM-DD, empty values as None).
extern const char* const DbfDumpScript;

// Runs /usr/bin/python3 with a script and one argument; returns its output, and fails the
// test when the script fails.
std::string runPython(const char* script, const std::string& argument);

// The dump of a dBASE file by DbfDumpScript.
std::string dumpDbf(const std::string& path);

// The rows of a CSV file (UTF-8 with or without a byte order mark) as Python's csv module
// reads them, each value as it is in the file.
std::vector<std::vector<std::string>> readCsv(const std::string& path);

} // namespace venqor::test
