#pragma once

#include <cstdint>

// 64-bit division by shifts and subtractions, one bit at a time: the 32-bit
// program's own helper for the / of 64-bit numbers, which a 32-bit processor
// has no instruction for (shared/compiler_helpers.cpp). Truncates toward
// zero, as / does; divisor must not be 0.
std::int64_t DivideSigned64(std::int64_t dividend, std::int64_t divisor);
