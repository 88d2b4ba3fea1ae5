#include "run/RunHost.h"

#include <chrono>
#include <ctime>

namespace venqor {

TimeOfDay SystemTimeOfDay()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm local {};
    localtime_r(&t, &local);
    const auto ms
        = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    return { local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(ms) };
}

} // namespace venqor
