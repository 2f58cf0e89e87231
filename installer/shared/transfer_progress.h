#pragma once

#include <cstdint>

// Called after each chunk has been written: bytes of this chunk, total bytes
// announced by the server (0 when none). No result, no context pointer.
typedef void (*TransferProgressFn)(std::int32_t chunkBytes, std::int32_t totalBytes);
