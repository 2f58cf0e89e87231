// The checked binary value: encode, verify, and the two against each other.
// The size rule and the check byte's value are the unit tests' business.
//
// Input: the data bytes.

#include <cstdint>
#include <cstring>
#include <memory>

#include "fuzz_check.h"
#include "registry/checked_value.h"
#include "support/exact_block.h"

namespace {

const unsigned char* Bytes(const std::unique_ptr<char[]>& block) {
  return reinterpret_cast<const unsigned char*>(block.get());
}

void CheckBitFlip(unsigned char* stored, std::uint32_t storedSize, std::size_t bit) {
  unsigned char& byte = stored[bit / 8];
  const unsigned char mask = static_cast<unsigned char>(1u << (bit % 8));
  byte ^= mask;
  FUZZ_CHECK(!VerifyCheckByte(stored, storedSize));
  byte ^= mask;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size >= UINT32_MAX) return 0;
  const auto dataSize = static_cast<std::uint32_t>(size);
  // Every block below has exactly the size the call may touch.
  const auto raw = support::ExactCopy({reinterpret_cast<const char*>(data), size});

  // Verify on any bytes accepts exactly what encode makes of all but the last.
  if (size != 0) {
    std::unique_ptr<unsigned char[]> encoded(new unsigned char[size]);
    AppendCheckByte(Bytes(raw), dataSize - 1, encoded.get());
    FUZZ_CHECK(VerifyCheckByte(Bytes(raw), dataSize) == (encoded[size - 1] == data[size - 1]));
  }

  // Round trip: N data bytes and one check byte; the data are kept as they
  // are and the result verifies.
  const std::uint32_t storedSize = dataSize + 1;
  std::unique_ptr<unsigned char[]> stored(new unsigned char[storedSize]);
  AppendCheckByte(Bytes(raw), dataSize, stored.get());
  FUZZ_CHECK(size == 0 || std::memcmp(stored.get(), data, size) == 0);
  FUZZ_CHECK(VerifyCheckByte(stored.get(), storedSize));

  // Any single flipped bit, check byte included, is detected: every bit of a
  // short value, else the first and last byte's and 64 spread over the rest.
  const std::size_t bits = std::size_t{storedSize} * 8;
  if (bits <= 512) {
    for (std::size_t bit = 0; bit < bits; ++bit) CheckBitFlip(stored.get(), storedSize, bit);
  } else {
    for (std::size_t bit = 0; bit < 8; ++bit) {
      CheckBitFlip(stored.get(), storedSize, bit);
      CheckBitFlip(stored.get(), storedSize, bits - 8 + bit);
    }
    std::uint32_t state = dataSize ^ data[0];
    for (int i = 0; i < 64; ++i) {
      state = state * 1664525u + 1013904223u;
      CheckBitFlip(stored.get(), storedSize, state % bits);
    }
  }
  FUZZ_CHECK(VerifyCheckByte(stored.get(), storedSize));  // all flipped back
  return 0;
}
