// ParseContentLength against strtoll, on buffers without a terminator.
//
// Input: the Content-Length text, any bytes.

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "download/url_parts.h"
#include "fuzz_check.h"
#include "support/exact_block.h"

namespace {

// The C library's conversion of the same bytes, terminated, clamped to 32
// bits. In the "C" locale strtoll skips exactly ' ', \t, \n, \v, \f and \r,
// takes one sign and stops at the first non-digit, as the header describes;
// an embedded NUL ends the text for both.
std::int32_t Reference(const char* bytes, std::size_t size) {
  const std::string text(bytes, size);
  errno = 0;
  const long long value = std::strtoll(text.c_str(), nullptr, 10);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(value);
}

// The conversion of the first size bytes, read from a block of exactly that
// size, so AddressSanitizer catches a read past it.
void CheckPrefix(const char* bytes, std::size_t size) {
  const auto exact = support::ExactCopy({bytes, size});
  FUZZ_CHECK(ParseContentLength(exact.get(), size) == Reference(bytes, size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);
  CheckPrefix(bytes, size);
  // Shorter sizes over the same bytes: the byte at size must never count.
  if (size <= 64) {
    for (std::size_t prefix = 0; prefix < size; ++prefix) CheckPrefix(bytes, prefix);
  } else {
    CheckPrefix(bytes, size / 2);
    CheckPrefix(bytes, data[0] % size);
  }
  return 0;
}
