#include "flow/path_compose.h"

#include <cstddef>
#include <cstring>

namespace {

// Length of text, reading at most limit bytes; limit when no terminator was
// found within them.
std::size_t BoundedLength(const char* text, std::size_t limit) {
  std::size_t length = 0;
  while (length < limit && text[length] != '\0') ++length;
  return length;
}

}  // namespace

int CopyPath(PathBuffer& destination, const char* source) {
  const std::size_t length = BoundedLength(source, kPathBufferSize);
  if (length >= kPathBufferSize) return 1;
  std::memmove(destination, source, length);
  destination[length] = '\0';
  return 0;
}

int AppendToPath(PathBuffer& destination, const char* source) {
  const std::size_t used = BoundedLength(destination, kPathBufferSize);
  if (used >= kPathBufferSize) return 1;  // no terminated text to extend
  const std::size_t room = kPathBufferSize - 1 - used;
  const std::size_t length = BoundedLength(source, room + 1);
  if (length > room) return 1;
  // memmove: the source may be the destination's own text.
  std::memmove(destination + used, source, length);
  destination[used + length] = '\0';
  return 0;
}
