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

// The objects of a JSON Lines file as Python's json module reads them: for each, the values
// of `keys` in that order, numbers written as Python writes them; the script fails (and so
// the test) when an object has other keys, or a key of `numeric` holds no integer.
std::vector<std::vector<std::string>> readJsonLines(
    const std::string& path, const std::vector<std::string>& keys, const std::vector<std::string>& numeric);

} // namespace venqor::test
