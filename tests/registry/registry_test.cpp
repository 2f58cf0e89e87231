#include "registry/registry.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// Reads the key a TRegistry holds; declared a friend by the class.
class TRegistryTestPeer {
 public:
  static HKEY Key(const TRegistry& registry) { return registry.key_; }
};

namespace {

using Bytes = std::vector<unsigned char>;

// What the registry holds for one value, read past TRegistry.
struct Stored {
  bool exists = false;
  DWORD type = REG_NONE;
  Bytes bytes;
};

// True when the platform no longer knows the handle value.
bool IsClosed(HKEY key) {
  return RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                          nullptr, nullptr, nullptr, nullptr) == ERROR_INVALID_HANDLE;
}

// Each test works in a fresh key of its own under HKEY_CURRENT_USER, opened
// both by the TRegistry under test and by a raw handle that checks it.
class RegistryTest : public testing::Test {
 protected:
  void SetUp() override {
    path_ = "Software\\KorvaneTest-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(GetTickCount());
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &raw_, nullptr));
    ASSERT_TRUE(registry_.Open(HKEY_CURRENT_USER, path_.c_str(), false));
  }

  void TearDown() override {
    registry_.Close();
    if (raw_ != nullptr) RegCloseKey(raw_);
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str()));
  }

  Stored Read(const char* name) const {
    Stored value;
    DWORD size = 0;
    if (RegQueryValueExA(raw_, name, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS) {
      return value;
    }
    value.bytes.resize(size);
    EXPECT_EQ(ERROR_SUCCESS,
              RegQueryValueExA(raw_, name, nullptr, nullptr, value.bytes.data(), &size));
    value.bytes.resize(size);
    value.exists = true;
    return value;
  }

  void Put(const char* name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExA(raw_, name, 0, type, static_cast<const BYTE*>(data), size));
  }

  std::string path_;
  HKEY raw_ = nullptr;
  TRegistry registry_;
};

// A buffer pre-filled with a marker, to tell an untouched one from a written one.
struct Canvas {
  unsigned char bytes[16];
  Canvas() { std::memset(bytes, 0xAA, sizeof(bytes)); }
  bool Untouched() const {
    for (unsigned char b : bytes) {
      if (b != 0xAA) return false;
    }
    return true;
  }
};

TEST_F(RegistryTest, WritesEachTypeWithItsExactSizeAndReadsItBack) {
  const unsigned char data[] = {0x10, 0x00, 0xFF};
  ASSERT_TRUE(registry_.WriteBinary("bin", data, 3));
  ASSERT_TRUE(registry_.WriteDword("num", 0xA1B2C3D4u));
  ASSERT_TRUE(registry_.WriteString("text", "Korvane"));
  ASSERT_TRUE(registry_.WriteBinary("empty", nullptr, 0));

  EXPECT_EQ(static_cast<DWORD>(REG_BINARY), Read("bin").type);
  EXPECT_EQ(Bytes(data, data + 3), Read("bin").bytes);
  EXPECT_EQ(static_cast<DWORD>(REG_DWORD), Read("num").type);
  EXPECT_EQ((Bytes{0xD4, 0xC3, 0xB2, 0xA1}), Read("num").bytes);
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), Read("text").type);
  EXPECT_EQ(Bytes({'K', 'o', 'r', 'v', 'a', 'n', 'e', '\0'}), Read("text").bytes);
  EXPECT_TRUE(Read("empty").exists);
  EXPECT_TRUE(Read("empty").bytes.empty());

  // Each read fills its buffer to the edge and no further.
  Canvas binary;
  ASSERT_TRUE(registry_.ReadBinary("bin", binary.bytes, 3));
  EXPECT_EQ(0, std::memcmp(binary.bytes, data, 3));
  EXPECT_EQ(0xAA, binary.bytes[3]);
  std::uint32_t number = 0;
  ASSERT_TRUE(registry_.ReadDword("num", &number));
  EXPECT_EQ(0xA1B2C3D4u, number);
  char text[8];
  ASSERT_TRUE(registry_.ReadString("text", text, sizeof(text)));
  EXPECT_STREQ("Korvane", text);
  Canvas none;
  EXPECT_TRUE(registry_.ReadBinary("empty", none.bytes, 0));
  EXPECT_TRUE(none.Untouched());
}

TEST_F(RegistryTest, CheckedValueIsStoredWithItsCheckByteAndReadOnlyAtItsOwnSize) {
  const unsigned char data[] = {0x01, 0x02, 0x04};
  ASSERT_TRUE(registry_.WriteCheckedBinary("checked", data, 3));
  EXPECT_EQ(static_cast<DWORD>(REG_BINARY), Read("checked").type);
  Canvas raw;
  ASSERT_TRUE(registry_.ReadBinary("checked", raw.bytes, 4));
  EXPECT_EQ(0, std::memcmp(raw.bytes, "\x01\x02\x04\x07", 4));
  EXPECT_FALSE(registry_.ReadBinary("checked", raw.bytes, 3));

  Canvas out;
  bool corrupt = true;
  ASSERT_TRUE(registry_.ReadCheckedBinary("checked", out.bytes, 3, &corrupt));
  EXPECT_FALSE(corrupt);
  EXPECT_EQ(0, std::memcmp(out.bytes, data, 3));
  EXPECT_EQ(0xAA, out.bytes[3]);

  for (std::uint32_t wrongSize : {2u, 4u}) {
    SCOPED_TRACE(wrongSize);
    Canvas untouched;
    corrupt = true;
    EXPECT_FALSE(registry_.ReadCheckedBinary("checked", untouched.bytes, wrongSize, &corrupt));
    EXPECT_FALSE(corrupt);
    EXPECT_TRUE(untouched.Untouched());
  }

  // No data at all still stores the check byte, 0.
  ASSERT_TRUE(registry_.WriteCheckedBinary("zero", nullptr, 0));
  EXPECT_EQ(Bytes{0x00}, Read("zero").bytes);
  EXPECT_TRUE(registry_.ReadCheckedBinary("zero", nullptr, 0, &corrupt));
  EXPECT_FALSE(corrupt);
}

TEST_F(RegistryTest, EverySingleFlippedBitIsReportedAsCorrupt) {
  const unsigned char stored[] = {0x01, 0x02, 0x04, 0x07};
  for (unsigned bit = 0; bit < 32; ++bit) {
    SCOPED_TRACE(bit);
    unsigned char damaged[4];
    std::memcpy(damaged, stored, 4);
    damaged[bit / 8] ^= static_cast<unsigned char>(1u << (bit % 8));
    ASSERT_TRUE(registry_.WriteBinary("checked", damaged, 4));
    Canvas out;
    bool corrupt = false;
    EXPECT_FALSE(registry_.ReadCheckedBinary("checked", out.bytes, 3, &corrupt));
    EXPECT_TRUE(corrupt);
    EXPECT_TRUE(out.Untouched());
    // The flag is optional.
    EXPECT_FALSE(registry_.ReadCheckedBinary("checked", out.bytes, 3));
  }
}

TEST_F(RegistryTest, ReadsRefuseAnotherTypeEvenWhenTheBytesWouldFit) {
  // Each value has the size and content the wrong read would accept.
  const unsigned char fourBytes[] = {0x01, 0x02, 0x04, 0x07};
  Put("binary", REG_BINARY, fourBytes, 4);
  Put("dword", REG_DWORD, fourBytes, 4);
  Put("dwordText", REG_DWORD, "abc", 4);
  Put("string", REG_SZ, "abc", 4);
  Put("expand", REG_EXPAND_SZ, "abc", 4);

  std::uint32_t number = 0x55555555u;
  EXPECT_FALSE(registry_.ReadDword("binary", &number));
  EXPECT_EQ(0x55555555u, number);
  Canvas out;
  EXPECT_FALSE(registry_.ReadString("dwordText", reinterpret_cast<char*>(out.bytes), 16));
  EXPECT_FALSE(registry_.ReadString("expand", reinterpret_cast<char*>(out.bytes), 16));
  EXPECT_FALSE(registry_.ReadBinary("string", out.bytes, 16));
  EXPECT_FALSE(registry_.ReadBinary("dword", out.bytes, 16));
  for (const char* name : {"dword", "string"}) {
    SCOPED_TRACE(name);
    bool corrupt = true;
    EXPECT_FALSE(registry_.ReadCheckedBinary(name, out.bytes, 3, &corrupt));
    EXPECT_FALSE(corrupt);
  }
  EXPECT_TRUE(out.Untouched());
}

TEST_F(RegistryTest, MissingValuesAndTooSmallBuffersLeaveTheBufferUntouched) {
  ASSERT_TRUE(registry_.WriteBinary("bin", "12345", 5));
  ASSERT_TRUE(registry_.WriteString("text", "abcd"));
  Canvas out;
  char* text = reinterpret_cast<char*>(out.bytes);
  EXPECT_FALSE(registry_.ReadBinary("bin", out.bytes, 4));
  EXPECT_FALSE(registry_.ReadString("text", text, 4));
  EXPECT_FALSE(registry_.ReadString("text", text, 0));

  std::uint32_t number = 7;
  bool corrupt = true;
  EXPECT_FALSE(registry_.ReadBinary("missing", out.bytes, 16));
  EXPECT_FALSE(registry_.ReadString("missing", text, 16));
  EXPECT_FALSE(registry_.ReadDword("missing", &number));
  EXPECT_FALSE(registry_.ReadCheckedBinary("missing", out.bytes, 3, &corrupt));
  EXPECT_FALSE(corrupt);
  EXPECT_EQ(7u, number);
  EXPECT_TRUE(out.Untouched());
}

TEST_F(RegistryTest, StringStoredWithoutTerminatorIsTerminatedWhenThereIsRoom) {
  // The byte after the data is not 0, so the platform cannot count it in.
  const char unterminated[] = {'a', 'b', 'c', 'd'};
  Put("text", REG_SZ, unterminated, 3);
  ASSERT_EQ(Bytes({'a', 'b', 'c'}), Read("text").bytes);

  Canvas small;
  EXPECT_FALSE(registry_.ReadString("text", reinterpret_cast<char*>(small.bytes), 3));
  EXPECT_TRUE(small.Untouched());
  for (std::uint32_t size : {4u, 16u}) {
    SCOPED_TRACE(size);
    Canvas out;
    ASSERT_TRUE(registry_.ReadString("text", reinterpret_cast<char*>(out.bytes), size));
    EXPECT_EQ(0, std::memcmp(out.bytes, "abc", 4));
  }

  Put("empty", REG_SZ, unterminated, 0);
  Canvas none;
  EXPECT_FALSE(registry_.ReadString("empty", reinterpret_cast<char*>(none.bytes), 0));
  EXPECT_TRUE(none.Untouched());
  char empty[1] = {'x'};
  ASSERT_TRUE(registry_.ReadString("empty", empty, 1));
  EXPECT_EQ('\0', empty[0]);
}

TEST_F(RegistryTest, CheckedSizesThatWrapAroundOrCannotBeAllocatedFailCleanly) {
  const unsigned char data[4] = {1, 2, 3, 4};
  EXPECT_FALSE(registry_.WriteCheckedBinary("wrap", data, UINT32_MAX));
  EXPECT_FALSE(Read("wrap").exists);
  // A 32-bit process can never hold a buffer of this size. A 64-bit one can,
  // and would then rightly read that many data bytes, which this call does
  // not have: the case exists only for the 32-bit build.
  if (sizeof(void*) == 4) {
    EXPECT_FALSE(registry_.WriteCheckedBinary("huge", data, UINT32_MAX - 1));
    EXPECT_FALSE(Read("huge").exists);
  }

  // An empty value is what a wrapped stored size of 0 would match.
  Put("empty", REG_BINARY, nullptr, 0);
  Canvas out;
  bool corrupt = true;
  EXPECT_FALSE(registry_.ReadCheckedBinary("empty", out.bytes, UINT32_MAX, &corrupt));
  EXPECT_FALSE(corrupt);
  EXPECT_TRUE(out.Untouched());
}

// Tries every value operation on the values "bin" (a checked value of 3
// data bytes), "num" and "text"; all must fail with nothing read or written.
void ExpectEveryValueOperationFails(TRegistry& registry) {
  Canvas out;
  std::uint32_t number = 7;
  bool corrupt = true;
  EXPECT_FALSE(registry.ReadBinary("bin", out.bytes, 16));
  EXPECT_FALSE(registry.ReadCheckedBinary("bin", out.bytes, 3, &corrupt));
  EXPECT_FALSE(corrupt);
  EXPECT_FALSE(registry.ReadDword("num", &number));
  EXPECT_FALSE(registry.ReadString("text", reinterpret_cast<char*>(out.bytes), 16));
  EXPECT_TRUE(out.Untouched());
  EXPECT_EQ(7u, number);
  EXPECT_FALSE(registry.WriteBinary("bin", "x", 1));
  EXPECT_FALSE(registry.WriteCheckedBinary("bin", "x", 1));
  EXPECT_FALSE(registry.WriteDword("num", 2));
  EXPECT_FALSE(registry.WriteString("text", "x"));
}

TEST_F(RegistryTest, NoValueOperationReachesTheRegistryWithoutAnOpenKey) {
  // Values each read would accept, so only the lack of a key can fail them.
  const unsigned char checked[] = {0x01, 0x02, 0x04, 0x07};
  ASSERT_TRUE(registry_.WriteBinary("bin", checked, 4));
  ASSERT_TRUE(registry_.WriteDword("num", 1));
  ASSERT_TRUE(registry_.WriteString("text", "abc"));

  {
    SCOPED_TRACE("never opened");
    TRegistry never;
    ExpectEveryValueOperationFails(never);
  }
  // The key held before the failed Open is not used for anything.
  const std::string missing = path_ + "\\Missing";
  ASSERT_FALSE(registry_.Open(HKEY_CURRENT_USER, missing.c_str(), false));
  EXPECT_EQ(nullptr, TRegistryTestPeer::Key(registry_));
  {
    SCOPED_TRACE("after a failed Open");
    ExpectEveryValueOperationFails(registry_);
  }
  EXPECT_EQ(Bytes(checked, checked + 4), Read("bin").bytes);
  EXPECT_EQ((Bytes{1, 0, 0, 0}), Read("num").bytes);
  EXPECT_EQ(Bytes({'a', 'b', 'c', '\0'}), Read("text").bytes);
  // Without the create flag nothing is created.
  HKEY created = nullptr;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND,
            RegOpenKeyExA(HKEY_CURRENT_USER, missing.c_str(), 0, KEY_READ, &created));
}

TEST_F(RegistryTest, OpenCloseAndDestructionReleaseTheHeldKey) {
  // A failed Open still closes the key held before it.
  HKEY first = TRegistryTestPeer::Key(registry_);
  ASSERT_NE(nullptr, first);
  ASSERT_FALSE(IsClosed(first));
  EXPECT_FALSE(registry_.Open(HKEY_CURRENT_USER, (path_ + "\\Missing").c_str(), false));
  EXPECT_TRUE(IsClosed(first));

  // A successful one too: the platform may hand the freed handle value out
  // again, but never while the first key is still open.
  ASSERT_TRUE(registry_.Open(HKEY_CURRENT_USER, path_.c_str(), false));
  HKEY second = TRegistryTestPeer::Key(registry_);
  ASSERT_TRUE(registry_.Open(HKEY_CURRENT_USER, (path_ + "\\Sub").c_str(), true));
  HKEY third = TRegistryTestPeer::Key(registry_);
  EXPECT_TRUE(third == second || IsClosed(second));
  ASSERT_TRUE(registry_.WriteDword("num", 5));
  HKEY sub = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegOpenKeyExA(HKEY_CURRENT_USER, (path_ + "\\Sub").c_str(), 0, KEY_READ, &sub));
  DWORD type = 0;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(sub, "num", nullptr, &type, nullptr, nullptr));
  RegCloseKey(sub);

  registry_.Close();
  EXPECT_TRUE(IsClosed(third));
  EXPECT_EQ(nullptr, TRegistryTestPeer::Key(registry_));
  registry_.Close();
  EXPECT_FALSE(registry_.WriteDword("num", 6));

  HKEY scoped = nullptr;
  {
    TRegistry local;
    ASSERT_TRUE(local.Open(HKEY_CURRENT_USER, path_.c_str(), false));
    scoped = TRegistryTestPeer::Key(local);
    ASSERT_FALSE(IsClosed(scoped));
  }
  EXPECT_TRUE(IsClosed(scoped));
}

}  // namespace
