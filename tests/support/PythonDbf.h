#pragma once

#include <string>

namespace venqor::test {

// dBASE files read and written by an independent reader, the Python dbf module (Debian
// python3-dbf, run by /usr/bin/python3).

// Prints a dBASE file: its language driver byte, one line per field (name, type, width,
// decimals) and one line per record (values separated by |, texts without trailing blanks,
// dates as YYYY-MM-DD, empty values as None).
extern const char* const DbfDumpScript;

// Runs /usr/bin/python3 with a script and one argument; returns its output, and fails the
// test when the script fails.
std::string runPython(const char* script, const std::string& argument);

// The dump of a dBASE file by DbfDumpScript.
std::string dumpDbf(const std::string& path);

} // namespace venqor::test
