#pragma once

// Size of every path buffer in bytes, terminator included (MAX_PATH).
constexpr unsigned kPathBufferSize = 260;

// A fixed narrow-character path: at most 259 characters plus the terminator.
typedef char PathBuffer[kPathBufferSize];
