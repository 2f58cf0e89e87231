#include "registry/checked_value.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

std::vector<unsigned char> Encode(const std::vector<unsigned char>& data) {
  std::uint32_t size = 0;
  EXPECT_TRUE(CheckedValueSize(static_cast<std::uint32_t>(data.size()), &size));
  std::vector<unsigned char> stored(size);
  AppendCheckByte(data.data(), static_cast<std::uint32_t>(data.size()), stored.data());
  return stored;
}

TEST(CheckedValue, AppendsTheExclusiveOrOfTheData) {
  EXPECT_EQ((std::vector<unsigned char>{0x01, 0x02, 0x04, 0x07}), Encode({0x01, 0x02, 0x04}));
  EXPECT_EQ((std::vector<unsigned char>{0x00}), Encode({}));
  EXPECT_EQ((std::vector<unsigned char>{0xFF, 0xFF, 0x00}), Encode({0xFF, 0xFF}));
}

TEST(CheckedValue, VerifiesIntactValuesAndDetectsEverySingleFlippedBit) {
  std::vector<unsigned char> stored = Encode({0x01, 0x02, 0x04, 0x80, 0x00, 0x5A});
  EXPECT_TRUE(VerifyCheckByte(stored.data(), static_cast<std::uint32_t>(stored.size())));
  for (std::size_t bit = 0; bit < stored.size() * 8; ++bit) {
    SCOPED_TRACE(bit);
    std::vector<unsigned char> damaged = stored;
    damaged[bit / 8] ^= static_cast<unsigned char>(1u << (bit % 8));
    EXPECT_FALSE(VerifyCheckByte(damaged.data(), static_cast<std::uint32_t>(damaged.size())));
  }
  const unsigned char zero = 0;
  EXPECT_TRUE(VerifyCheckByte(&zero, 1));
}

TEST(CheckedValue, RefusesASizeThatWrapsAround) {
  std::uint32_t size = 12345;
  EXPECT_FALSE(CheckedValueSize(UINT32_MAX, &size));
  EXPECT_EQ(12345u, size);
  EXPECT_TRUE(CheckedValueSize(UINT32_MAX - 1, &size));
  EXPECT_EQ(UINT32_MAX, size);
}

}  // namespace
