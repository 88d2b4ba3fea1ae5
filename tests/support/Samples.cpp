#include "support/Samples.h"

#include <cstdlib>
#include <stdexcept>

namespace venqor::test {

std::string SourceFile(const std::string& relative)
{
    const char* root = std::getenv("VENQOR_SOURCE");
    if (!root)
        throw std::runtime_error("VENQOR_SOURCE is not set");
    return std::string(root) + "/" + relative;
}

} // namespace venqor::test
