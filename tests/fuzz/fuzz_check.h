#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// The text at bytes up to the first NUL or size bytes, whichever comes first.
inline std::string TextAt(const char* bytes, std::size_t size) {
  return std::string(bytes, strnlen(bytes, size));
}

}  // namespace fuzz
