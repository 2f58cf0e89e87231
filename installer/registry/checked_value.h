#pragma once

#include <cstdint>

// The checked binary value: N data bytes followed by one check byte, the
// exclusive-or of the data bytes (0 when N is 0).

// Stored size of N data bytes (N + 1). false when N + 1 wraps to 0.
bool CheckedValueSize(std::uint32_t dataSize, std::uint32_t* storedSize);

// Writes the N data bytes and then their check byte to stored (N + 1 bytes).
void AppendCheckByte(const unsigned char* data, std::uint32_t dataSize, unsigned char* stored);

// true when the exclusive-or of all storedSize bytes is 0.
bool VerifyCheckByte(const unsigned char* stored, std::uint32_t storedSize);
