#pragma once

#include <windows.h>

#include <cstdint>

// Owns at most one open registry key and reads and writes typed values under
// it. Every value operation returns false at once, without calling the
// platform, when no key is open. Sizes are byte counts.
class TRegistry {
 public:
  TRegistry() = default;
  // Closes the key, if one is open.
  virtual ~TRegistry();

  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  // Closes any open key, then opens root\subKey, or creates it when create is
  // true. false, with no key open, when that fails.
  bool Open(HKEY root, const char* subKey, bool create);

  // Closes the open key, if any. Safe to call again.
  void Close();

  // Reads a REG_BINARY value whose size is at most bufferSize bytes. false,
  // with the buffer untouched, for another type or a larger value.
  bool ReadBinary(const char* name, void* buffer, std::uint32_t bufferSize);

  // Stores size bytes of data as a REG_BINARY value.
  bool WriteBinary(const char* name, const void* data, std::uint32_t size);

  // Reads a checked value of exactly dataSize data bytes (see checked_value.h)
  // into buffer. *corrupt, when given, is true only when the value has that
  // shape but its check byte disagrees. On false the buffer is untouched.
  bool ReadCheckedBinary(const char* name, void* buffer, std::uint32_t dataSize,
                         bool* corrupt = nullptr);

  // Stores dataSize data bytes and their check byte as one REG_BINARY value.
  // false, with nothing written, when dataSize + 1 does not fit in 32 bits.
  bool WriteCheckedBinary(const char* name, const void* data, std::uint32_t dataSize);

  // Reads a REG_DWORD value of at most 4 bytes into *value (a shorter one
  // fills only its first bytes). false, with *value untouched, for another
  // type or a larger value.
  bool ReadDword(const char* name, std::uint32_t* value);

  // Stores value as a 4-byte REG_DWORD value.
  bool WriteDword(const char* name, std::uint32_t value);

  // Reads a REG_SZ value into buffer (bufferSize bytes, terminator included)
  // as a terminated text, adding the terminator when the stored bytes lack
  // it. false, with the buffer untouched, when the text would not fit.
  bool ReadString(const char* name, char* buffer, std::uint32_t bufferSize);

  // Stores the terminated text as a REG_SZ value, terminator included.
  bool WriteString(const char* name, const char* text);

 private:
  // Tests read the held key to show that re-opening and closing release it.
  friend class TRegistryTestPeer;

  // Learns the stored type and size of a value; true when it exists with
  // exactly that type.
  bool QueryStored(const char* name, DWORD type, DWORD* size) const;

  // Reads the value into buffer, at most capacity bytes; *size receives the
  // number of bytes delivered.
  bool QueryInto(const char* name, void* buffer, DWORD capacity, DWORD* size) const;

  // Stores size bytes of data as a value of the given type.
  bool Store(const char* name, DWORD type, const void* data, DWORD size);

  HKEY key_ = nullptr;  // the open key, null when none is open
};
