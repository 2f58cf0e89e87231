#include "registry/registry.h"

#include <cstring>
#include <memory>
#include <new>

#include "registry/checked_value.h"

TRegistry::~TRegistry() { Close(); }

bool TRegistry::Open(HKEY root, const char* subKey, bool create) {
  Close();
  // A local handle, so that whatever the platform leaves in it on failure
  // never becomes the held key.
  HKEY opened = nullptr;
  const LONG result =
      create ? RegCreateKeyExA(root, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                               nullptr, &opened, nullptr)
             : RegOpenKeyExA(root, subKey, 0, KEY_ALL_ACCESS, &opened);
  if (result != ERROR_SUCCESS) return false;
  key_ = opened;
  return true;
}

void TRegistry::Close() {
  if (key_ == nullptr) return;
  RegCloseKey(key_);
  key_ = nullptr;
}

bool TRegistry::ReadBinary(const char* name, void* buffer, std::uint32_t bufferSize) {
  DWORD stored = 0;
  DWORD delivered = 0;
  return QueryStored(name, REG_BINARY, &stored) && stored <= bufferSize &&
         QueryInto(name, buffer, bufferSize, &delivered);
}

bool TRegistry::WriteBinary(const char* name, const void* data, std::uint32_t size) {
  return Store(name, REG_BINARY, data, size);
}

bool TRegistry::ReadCheckedBinary(const char* name, void* buffer, std::uint32_t dataSize,
                                  bool* corrupt) {
  // Cleared before anything else, so the flag is false on every other
  // failure, including when no key is open.
  if (corrupt != nullptr) *corrupt = false;
  std::uint32_t expected = 0;
  if (!CheckedValueSize(dataSize, &expected)) return false;
  DWORD stored = 0;
  if (!QueryStored(name, REG_BINARY, &stored) || stored != expected) return false;

  // The value is checked in a temporary copy so that a damaged one never
  // reaches the caller's buffer.
  std::unique_ptr<unsigned char[]> temp(new (std::nothrow) unsigned char[expected]);
  if (!temp) return false;
  DWORD delivered = 0;
  // A value that changed size since the first query is refused: the check
  // would otherwise cover bytes that were never read.
  if (!QueryInto(name, temp.get(), expected, &delivered) || delivered != expected) return false;
  if (!VerifyCheckByte(temp.get(), expected)) {
    if (corrupt != nullptr) *corrupt = true;
    return false;
  }
  if (dataSize > 0) std::memcpy(buffer, temp.get(), dataSize);
  return true;
}

bool TRegistry::WriteCheckedBinary(const char* name, const void* data, std::uint32_t dataSize) {
  if (key_ == nullptr) return false;
  std::uint32_t storedSize = 0;
  if (!CheckedValueSize(dataSize, &storedSize)) return false;
  std::unique_ptr<unsigned char[]> temp(new (std::nothrow) unsigned char[storedSize]);
  if (!temp) return false;
  AppendCheckByte(static_cast<const unsigned char*>(data), dataSize, temp.get());
  return Store(name, REG_BINARY, temp.get(), storedSize);
}

bool TRegistry::ReadDword(const char* name, std::uint32_t* value) {
  DWORD stored = 0;
  DWORD delivered = 0;
  return QueryStored(name, REG_DWORD, &stored) && stored <= sizeof(*value) &&
         QueryInto(name, value, sizeof(*value), &delivered);
}

bool TRegistry::WriteDword(const char* name, std::uint32_t value) {
  return Store(name, REG_DWORD, &value, sizeof(value));
}

bool TRegistry::ReadString(const char* name, char* buffer, std::uint32_t bufferSize) {
  DWORD stored = 0;
  if (!QueryStored(name, REG_SZ, &stored)) return false;

  if (stored < bufferSize) {
    // Room for the stored bytes and a terminator after them: read in place,
    // holding the last byte back, and terminate unless the bytes already are.
    DWORD delivered = 0;
    if (!QueryInto(name, buffer, bufferSize - 1, &delivered)) return false;
    if (delivered == 0 || buffer[delivered - 1] != '\0') buffer[delivered] = '\0';
    return true;
  }
  if (stored != bufferSize || stored == 0) return false;

  // Exactly the buffer's size: the text fits only when the stored bytes end
  // in a terminator, which has to be seen before the buffer is touched.
  std::unique_ptr<char[]> temp(new (std::nothrow) char[stored]);
  if (!temp) return false;
  DWORD delivered = 0;
  if (!QueryInto(name, temp.get(), stored, &delivered) || delivered == 0 ||
      temp[delivered - 1] != '\0') {
    return false;
  }
  std::memcpy(buffer, temp.get(), delivered);
  return true;
}

bool TRegistry::WriteString(const char* name, const char* text) {
  return Store(name, REG_SZ, text, static_cast<DWORD>(std::strlen(text) + 1));
}

bool TRegistry::QueryStored(const char* name, DWORD type, DWORD* size) const {
  if (key_ == nullptr) return false;
  DWORD storedType = 0;
  *size = 0;
  return RegQueryValueExA(key_, name, nullptr, &storedType, nullptr, size) == ERROR_SUCCESS &&
         storedType == type;
}

bool TRegistry::QueryInto(const char* name, void* buffer, DWORD capacity, DWORD* size) const {
  *size = capacity;
  return RegQueryValueExA(key_, name, nullptr, nullptr, static_cast<BYTE*>(buffer), size) ==
         ERROR_SUCCESS;
}

bool TRegistry::Store(const char* name, DWORD type, const void* data, DWORD size) {
  if (key_ == nullptr) return false;
  return RegSetValueExA(key_, name, 0, type, static_cast<const BYTE*>(data), size) ==
         ERROR_SUCCESS;
}
