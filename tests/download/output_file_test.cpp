#include "download/output_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

std::vector<char> Pattern(std::size_t size) {
  std::vector<char> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + 3);
  return bytes;
}

TEST(OutputFileTest, EveryByteReachesAFileWithRoom) {
  char path[] = "/tmp/korvane-output-file.XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  const std::vector<char> bytes = Pattern(10000);
  {
    OutputFile file(std::fopen(path, "wb"));
    ASSERT_TRUE(file.IsOpen());
    ASSERT_TRUE(file.Write(bytes.data(), 1024));
    ASSERT_TRUE(file.Write(bytes.data() + 1024, bytes.size() - 1024));
    EXPECT_TRUE(file.Close());
    EXPECT_FALSE(file.Close()) << "a second close has no file to close";
  }
  std::FILE* check = std::fopen(path, "rb");
  ASSERT_NE(check, nullptr);
  std::vector<char> stored(bytes.size() + 1);
  EXPECT_EQ(bytes.size(), std::fread(stored.data(), 1, stored.size(), check));
  std::fclose(check);
  stored.resize(bytes.size());
  EXPECT_EQ(bytes, stored);
  std::remove(path);
}

// /dev/full refuses every write with ENOSPC, as a full disk does.
TEST(OutputFileTest, AFullDiskFailsTheWriteOrTheCloseThatReachesIt) {
  const std::vector<char> bytes = Pattern(64 * 1024);

  // A chunk larger than the stream's buffer goes to the disk at once.
  OutputFile direct(std::fopen("/dev/full", "wb"));
  ASSERT_TRUE(direct.IsOpen());
  EXPECT_FALSE(direct.Write(bytes.data(), bytes.size()));

  // A small chunk waits in the buffer; the close has to write it out.
  OutputFile buffered(std::fopen("/dev/full", "wb"));
  ASSERT_TRUE(buffered.IsOpen());
  EXPECT_TRUE(buffered.Write(bytes.data(), 1024));
  EXPECT_FALSE(buffered.Close());
}

TEST(OutputFileTest, NoFileMeansNoWriteAndNoClose) {
  OutputFile none(nullptr);
  EXPECT_FALSE(none.IsOpen());
  EXPECT_FALSE(none.Write("x", 1));
  EXPECT_FALSE(none.Close());
}

}  // namespace
