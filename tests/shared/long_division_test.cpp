#include "shared/long_division.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>

namespace {

TEST(DivideSigned64, AgreesWithTheProcessorsDivision) {
  // Every sign, 1, the ends of the range and divisors with the top bit set.
  const std::int64_t values[] = {1, -1, 2, 3, 7, -7, 10, 9900, -9900, 1024, INT32_MAX, INT32_MIN,
                                 INT64_C(3000000000), INT64_MAX, INT64_MIN + 1, INT64_MAX / 3, INT64_MIN};
  for (const std::int64_t dividend : values) {
    for (const std::int64_t divisor : values) {
      if (dividend == INT64_MIN && divisor == -1) continue;  // not representable
      SCOPED_TRACE(testing::Message() << dividend << " / " << divisor);
      EXPECT_EQ(dividend / divisor, DivideSigned64(dividend, divisor));
    }
  }
  std::mt19937_64 random(1);
  for (int i = 0; i < 100000; ++i) {
    const std::int64_t dividend = static_cast<std::int64_t>(random()) >> (random() % 64);
    const std::int64_t divisor = static_cast<std::int64_t>(random()) >> (random() % 64);
    if (divisor == 0 || (dividend == INT64_MIN && divisor == -1)) continue;
    ASSERT_EQ(dividend / divisor, DivideSigned64(dividend, divisor)) << dividend << " / " << divisor;
  }
}

}  // namespace
