#pragma once

#include "base/Dates.h"
#include "base/Progress.h"

#include <cstdint>
#include <string>

namespace venqor {

// A synthetic person of the register, for trials and benchmarks. Texts in Windows-1251,
// in capitals as the name check compares them.
struct DemoPerson {
    std::int32_t num; // a body 1001..999 999 999
    std::string fam, nam, otch;
    Date birth; // 1930..2005
    char cond;  // ' ' for no remark, rarely 'C', 'E', 'F' or 'G'
    char sex;   // the capital Cyrillic letter M or Zhe (0xCC, 0xC6), as the names
};

// Number of distinct persons a seed yields: indexes run from 0 to DemoPersonLimit - 1.
inline constexpr std::int64_t DemoPersonLimit = 999'999'999 - 1001 + 1;

// Person `index` of the register made from `seed`: a pure function of the two, so that a
// benchmark can regenerate any person without storing one. Distinct indexes have distinct
// numbers and distinct (FAM, NAM, OTCH, BIRTH). std::out_of_range for an index outside
// 0..DemoPersonLimit - 1.
DemoPerson DemoPersonAt(std::uint64_t seed, std::int64_t index);

// Builds the register NUMS in a location (see NumsLoader) with persons 0..rows - 1 of
// `seed` (DATMOD empty); an existing register is replaced only when the new one is
// complete. Progress, when asked for, is told in rows.
void WriteDemoRegister(
    const std::string& location, std::int64_t rows, std::uint64_t seed, ProgressSink* progress = nullptr);

} // namespace venqor
