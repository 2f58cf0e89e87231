// The helpers that GCC calls on a 32-bit processor for what it has no
// instruction for. libgcc's own are built for the Pentium Pro, and the
// program links no libgcc (windows.cmake), so only the ones it needs are
// here; code that needs another one fails to link, naming it.

#include <cstdint>

#include "shared/long_division.h"

// The / of two signed 64-bit numbers (the progress arithmetic).
extern "C" std::int64_t __divdi3(std::int64_t dividend, std::int64_t divisor) {
  return DivideSigned64(dividend, divisor);
}
