// The checked binary value: size, encode, verify.
//
// Input: the data bytes. The first four (little-endian) also serve as a data
// size for CheckedValueSize.

#include <cstdint>
#include <cstring>
#include <memory>

#include "fuzz_check.h"
#include "registry/checked_value.h"

namespace {

unsigned char ExclusiveOr(const unsigned char* bytes, std::size_t size) {
  unsigned char check = 0;
  for (std::size_t i = 0; i < size; ++i) check = static_cast<unsigned char>(check ^ bytes[i]);
  return check;
}

void CheckSize(std::uint32_t dataSize) {
  std::uint32_t storedSize = 0;
  const bool ok = CheckedValueSize(dataSize, &storedSize);
  FUZZ_CHECK(ok == (dataSize != UINT32_MAX));
  if (ok) FUZZ_CHECK(std::uint64_t{storedSize} == std::uint64_t{dataSize} + 1);
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

  CheckSize(dataSize);
  if (size >= 4) {
    std::uint32_t fuzzedSize;
    std::memcpy(&fuzzedSize, data, sizeof fuzzedSize);
    CheckSize(fuzzedSize);
    CheckSize(UINT32_MAX - (fuzzedSize & 3));  // the top of the range
  }

  // Verify alone: true exactly when the bytes exclusive-or to 0.
  const auto raw = fuzz::ExactCopy(reinterpret_cast<const char*>(data), size);
  FUZZ_CHECK(VerifyCheckByte(reinterpret_cast<const unsigned char*>(raw.get()), dataSize) ==
             (ExclusiveOr(data, size) == 0));

  // Round trip through a block of exactly N + 1 bytes.
  std::uint32_t storedSize = 0;
  FUZZ_CHECK(CheckedValueSize(dataSize, &storedSize));
  std::unique_ptr<unsigned char[]> stored(new unsigned char[storedSize]);
  AppendCheckByte(reinterpret_cast<const unsigned char*>(raw.get()), dataSize, stored.get());
  FUZZ_CHECK(size == 0 || std::memcmp(stored.get(), data, size) == 0);
  FUZZ_CHECK(stored[dataSize] == ExclusiveOr(data, size));
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
    std::uint32_t state = ExclusiveOr(data, size) + 1u;
    for (int i = 0; i < 64; ++i) {
      state = state * 1664525u + 1013904223u;
      CheckBitFlip(stored.get(), storedSize, state % bits);
    }
  }
  FUZZ_CHECK(VerifyCheckByte(stored.get(), storedSize));  // all flipped back
  return 0;
}
