#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace support {

// The bytes in a heap block of exactly their size, with no terminator:
// AddressSanitizer reports a read even one byte past the end.
inline std::unique_ptr<char[]> ExactCopy(std::string_view bytes) {
  std::unique_ptr<char[]> block(new char[bytes.size()]);
  if (!bytes.empty()) std::memcpy(block.get(), bytes.data(), bytes.size());
  return block;
}

// text and its terminator, in a heap block of exactly that size.
inline std::unique_ptr<char[]> TerminatedCopy(std::string_view text) {
  std::string terminated(text);
  terminated.push_back('\0');
  return ExactCopy(terminated);
}

}  // namespace support
