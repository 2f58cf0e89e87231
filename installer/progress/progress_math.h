#pragma once

#include <cstdint>

// Bar units one chunk is worth: chunkBytes * weight / totalBytes, truncated
// toward zero, the remainder dropped. The product is taken in 64 bits; a
// total of 0 or below gives 0 (the bar never moves back); the result is
// clamped to the signed 32-bit range.
std::int32_t ProgressDelta(std::int32_t chunkBytes, std::int32_t weight, std::int32_t totalBytes);
