#include "progress/progress_math.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

// Sum of the deltas of a file read in chunks of at most chunk bytes.
std::int64_t BarUnitsForFile(std::int32_t size, std::int32_t chunk, std::int32_t weight) {
  std::int64_t sum = 0;
  for (std::int32_t left = size; left > 0; left -= chunk) sum += ProgressDelta(left < chunk ? left : chunk, weight, size);
  return sum;
}

TEST(ProgressDelta, TruncatesEachChunkOnItsOwn) {
  EXPECT_EQ(5, ProgressDelta(1024, 100, 20000));  // 5.12
  EXPECT_EQ(2, ProgressDelta(1024, 9900, 5000000));
  EXPECT_EQ(1, ProgressDelta(832, 9900, 5000000));
  EXPECT_EQ(9765, BarUnitsForFile(5000000, 1024, 9900));
  EXPECT_EQ(9900, BarUnitsForFile(3072, 1024, 9900));
  EXPECT_EQ(3 * 33, BarUnitsForFile(3072, 1024, 100));
}

TEST(ProgressDelta, FullChunksStopMovingAboveTheThresholds) {
  EXPECT_EQ(1, ProgressDelta(1024, 9900, 10137600));
  EXPECT_EQ(0, ProgressDelta(1024, 9900, 10137601));
  EXPECT_EQ(1, ProgressDelta(1024, 100, 102400));
  EXPECT_EQ(0, ProgressDelta(1024, 100, 102401));
}

TEST(ProgressDelta, NoTotalOrANegativeOneNeverMovesTheBar) {
  EXPECT_EQ(0, ProgressDelta(1024, 9900, 0));
  EXPECT_EQ(0, ProgressDelta(1024, 9900, -1));
  EXPECT_EQ(0, ProgressDelta(1024, 100, INT32_MIN));
}

TEST(ProgressDelta, LargeChunksDoNotOverflow) {
  // 216,918 * 9900 no longer fits 32 bits.
  EXPECT_EQ(9900, ProgressDelta(216918, 9900, 216918));
  EXPECT_EQ(9900, ProgressDelta(INT32_MAX, 9900, INT32_MAX));
  EXPECT_EQ(4950, ProgressDelta(1 << 30, 9900, INT32_MAX));
  EXPECT_EQ(INT32_MAX, ProgressDelta(INT32_MAX, 9900, 1));  // more than announced: clamped
}

}  // namespace
