#pragma once

#include <cstdint>
#include <functional>

namespace venqor {

// Told now and then how far a long job has come: `done` of `total` units (bytes, records);
// an empty function is never called.
using ProgressFn = std::function<void(std::int64_t done, std::int64_t total)>;

} // namespace venqor
