// CopyPath and AppendToPath: a fuzzed 260-byte destination (terminated or
// not, any bytes after the text) and a fuzzed source, each in a heap block of
// exactly the bytes the call may read.
//
// Input:
//   byte 0     operation, bits 0-1: 0 CopyPath, 1 AppendToPath, 2 CopyPath and
//              3 AppendToPath with a source inside the destination's own text
//   bytes 1-2  destination length, big-endian, modulo 261; 260 leaves no
//              terminator after it
//   byte 3     fills the destination after its terminator
//   then       that many destination bytes, then the source text (up to the
//              first NUL). For operations 2 and 3 the first source byte
//              instead gives the length of the destination's tail used as
//              the source.

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "flow/path_compose.h"
#include "fuzz_check.h"
#include "support/exact_block.h"

namespace {

enum Operation { kCopy = 0, kAppend = 1, kCopyOwnTail = 2, kAppendOwnTail = 3 };

// A source of which the call may read at most needed bytes (the header: no
// further than needed to decide). Text shorter than that comes terminated;
// longer text is cut to exactly needed bytes with no terminator, and the
// call has to refuse it from those alone.
std::unique_ptr<char[]> SourceBlock(const std::string& text, std::size_t needed) {
  if (text.size() < needed) return support::TerminatedCopy(text);
  return support::ExactCopy(std::string_view(text).substr(0, needed));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  int operation = data[0] & 3;
  std::size_t destinationSize = ((std::size_t{data[1]} << 8) | data[2]) % (kPathBufferSize + 1);
  const char fill = static_cast<char>(data[3]);
  const char* rest = reinterpret_cast<const char*>(data) + 4;
  std::size_t restSize = size - 4;
  if (destinationSize > restSize) destinationSize = restSize;

  // The destination: a heap block of exactly 260 bytes.
  std::unique_ptr<char[]> block(new char[kPathBufferSize]);
  PathBuffer& destination = *reinterpret_cast<PathBuffer*>(block.get());
  std::memset(destination, fill, kPathBufferSize);
  std::memcpy(destination, rest, destinationSize);
  if (destinationSize < kPathBufferSize) destination[destinationSize] = '\0';
  rest += destinationSize;
  restSize -= destinationSize;

  char before[kPathBufferSize];
  std::memcpy(before, destination, kPathBufferSize);
  const std::size_t used = strnlen(before, kPathBufferSize);  // 260: unterminated
  const std::string text(before, used < kPathBufferSize ? used : 0);

  // The own-tail operations need terminated text to point into.
  if (used == kPathBufferSize) operation &= 1;

  std::string expected;  // the whole result the call has to produce
  bool terminated = true;  // the destination held text to extend
  int result;
  if (operation == kCopyOwnTail || operation == kAppendOwnTail) {
    const std::size_t tailLength = restSize == 0 ? 0 : static_cast<unsigned char>(rest[0]) % (used + 1);
    const char* source = destination + (used - tailLength);
    expected = operation == kCopyOwnTail ? text.substr(used - tailLength) : text + text.substr(used - tailLength);
    result = operation == kCopyOwnTail ? CopyPath(destination, source) : AppendToPath(destination, source);
  } else {
    const std::string sourceText = fuzz::TextAt(rest, restSize);
    if (operation == kCopy) {
      expected = sourceText;
      const auto source = SourceBlock(sourceText, kPathBufferSize);
      result = CopyPath(destination, source.get());
    } else {
      // Unterminated text cannot be extended, and that needs no source byte.
      terminated = used < kPathBufferSize;
      const std::size_t needed = terminated ? kPathBufferSize - used : 0;
      expected = text + sourceText;
      const auto source = SourceBlock(sourceText, needed);
      result = AppendToPath(destination, source.get());
    }
  }

  // Success exactly when the whole result fits in 259 characters.
  const bool fits = terminated && expected.size() < kPathBufferSize;
  FUZZ_CHECK((result == 0) == fits);
  if (result == 0) {
    FUZZ_CHECK(strnlen(destination, kPathBufferSize) == expected.size());
    FUZZ_CHECK(std::memcmp(destination, expected.c_str(), expected.size() + 1) == 0);
  } else {
    // Never truncated: on failure not one of the 260 bytes changed.
    FUZZ_CHECK(std::memcmp(destination, before, kPathBufferSize) == 0);
  }
  return 0;
}
