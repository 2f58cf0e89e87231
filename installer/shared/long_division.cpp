#include "shared/long_division.h"

namespace {

std::uint64_t Magnitude(std::int64_t value) {
  // In unsigned arithmetic, so that INT64_MIN has one too.
  return value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
}

// Magnitudes are at most 2^63, so the remainder, always below the divisor,
// loses no bit when it is shifted.
std::uint64_t DivideMagnitudes(std::uint64_t dividend, std::uint64_t divisor) {
  std::uint64_t quotient = 0;
  std::uint64_t remainder = 0;
  for (int bit = 0; bit < 64; ++bit) {
    remainder = (remainder << 1) | (dividend >> 63);
    dividend <<= 1;
    quotient <<= 1;
    if (remainder >= divisor) {
      remainder -= divisor;
      quotient |= 1;
    }
  }
  return quotient;
}

}  // namespace

std::int64_t DivideSigned64(std::int64_t dividend, std::int64_t divisor) {
  const std::uint64_t quotient = DivideMagnitudes(Magnitude(dividend), Magnitude(divisor));
  return static_cast<std::int64_t>((dividend < 0) != (divisor < 0) ? 0 - quotient : quotient);
}
