#include "registry/checked_value.h"

bool CheckedValueSize(std::uint32_t dataSize, std::uint32_t* storedSize) {
  if (dataSize == UINT32_MAX) return false;
  *storedSize = dataSize + 1;
  return true;
}

void AppendCheckByte(const unsigned char* data, std::uint32_t dataSize, unsigned char* stored) {
  unsigned char check = 0;
  for (std::uint32_t i = 0; i < dataSize; ++i) {
    stored[i] = data[i];
    check ^= data[i];
  }
  stored[dataSize] = check;
}

bool VerifyCheckByte(const unsigned char* stored, std::uint32_t storedSize) {
  unsigned char check = 0;
  for (std::uint32_t i = 0; i < storedSize; ++i) check ^= stored[i];
  return check == 0;
}
