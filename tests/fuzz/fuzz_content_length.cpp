// ParseContentLength against strtoll, on buffers without a terminator, and
// ProgressTotal as a clamp of it.
//
// Input: the Content-Length text, any bytes.

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "download/url_parts.h"
#include "fuzz_check.h"
#include "support/exact_block.h"

namespace {

// The C library's conversion of the same bytes, terminated. In the "C"
// locale strtoll skips exactly ' ', \t, \n, \v, \f and \r, takes one sign,
// stops at the first non-digit and clamps to the 64-bit range, as the header
// describes; an embedded NUL ends the text for both.
long long Reference(const char* bytes, std::size_t size) {
  const std::string text(bytes, size);
  return std::strtoll(text.c_str(), nullptr, 10);
}

// The conversion of the first size bytes, read from a block of exactly that
// size, so AddressSanitizer catches a read past it.
void CheckPrefix(const char* bytes, std::size_t size) {
  const auto exact = support::ExactCopy({bytes, size});
  const std::int64_t length = ParseContentLength(exact.get(), size);
  FUZZ_CHECK(length == Reference(bytes, size));
  const std::int32_t total = ProgressTotal(length);
  FUZZ_CHECK(total == length || (length > INT32_MAX && total == INT32_MAX) || (length < INT32_MIN && total == INT32_MIN));
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
