#include "progress/progress_math.h"

std::int32_t ProgressDelta(std::int32_t chunkBytes, std::int32_t weight, std::int32_t totalBytes) {
  if (totalBytes <= 0) return 0;
  const std::int64_t delta = std::int64_t{chunkBytes} * weight / totalBytes;
  if (delta > INT32_MAX) return INT32_MAX;
  if (delta < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(delta);
}
