#pragma once

#include <string>

namespace venqor::test {

// A file of the source tree (VENQOR_SOURCE, set by CTest), such as "samples/EDV4.SCH".
std::string SourceFile(const std::string& relative);

} // namespace venqor::test
