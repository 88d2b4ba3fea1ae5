#pragma once

#include "Cli.h"

namespace venqor::cli {

extern const std::string_view CheckUsage;
int RunCheck(Args& args, Io& io);

} // namespace venqor::cli
