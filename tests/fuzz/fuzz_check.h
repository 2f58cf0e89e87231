#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

// A failed invariant aborts, so libFuzzer reports it as a crash and saves the
// input. Unlike assert(), it stays in builds that define NDEBUG.
#define FUZZ_CHECK(condition)                                                        \
  do {                                                                               \
    if (!(condition)) {                                                              \
      std::fprintf(stderr, "%s:%d: invariant violated: %s\n", __FILE__, __LINE__, \
                   #condition);                                                      \
      std::abort();                                                                  \
    }                                                                                \
  } while (0)

namespace fuzz {

// A heap copy of exactly size bytes and nothing after them: AddressSanitizer
// reports a read even one byte past the end.
inline std::unique_ptr<char[]> ExactCopy(const char* bytes, std::size_t size) {
  std::unique_ptr<char[]> copy(new char[size]);
  if (size != 0) std::memcpy(copy.get(), bytes, size);
  return copy;
}

// text plus its terminator, in a heap block of exactly that size.
inline std::unique_ptr<char[]> TerminatedCopy(const std::string& text) {
  return ExactCopy(text.c_str(), text.size() + 1);
}

// The text at bytes up to the first NUL or size bytes, whichever comes first.
inline std::string TextAt(const char* bytes, std::size_t size) {
  return std::string(bytes, strnlen(bytes, size));
}

}  // namespace fuzz
