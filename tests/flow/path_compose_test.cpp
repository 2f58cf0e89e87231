#include "flow/path_compose.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/exact_block.h"

namespace {

// A buffer whose bytes after the terminator are a known pattern, so a
// failed call that touched any byte shows up in a whole-buffer comparison.
void Fill(PathBuffer& buffer, const std::string& text) {
  std::memset(buffer, 0x5A, sizeof buffer);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
}

TEST(CopyPath, CopiesUpTo259CharactersAndRefusesMoreUntouched) {
  PathBuffer buffer;
  Fill(buffer, "previous");
  EXPECT_EQ(0, CopyPath(buffer, std::string(259, 'a').c_str()));
  EXPECT_EQ(std::string(259, 'a'), buffer);

  Fill(buffer, "previous");
  PathBuffer before;
  std::memcpy(before, buffer, sizeof buffer);
  EXPECT_NE(0, CopyPath(buffer, std::string(260, 'b').c_str()));
  EXPECT_EQ(0, std::memcmp(before, buffer, sizeof buffer));

  EXPECT_EQ(0, CopyPath(buffer, ""));
  EXPECT_STREQ("", buffer);
}

TEST(CopyPath, StopsReadingAnUnterminatedSourceAtTheLimit) {
  PathBuffer buffer;
  Fill(buffer, "kept");
  const auto source = support::ExactCopy(std::string(kPathBufferSize, 'u'));  // no terminator
  EXPECT_NE(0, CopyPath(buffer, source.get()));
  EXPECT_STREQ("kept", buffer);
}

TEST(AppendToPath, FillsToTheEdgeAndRefusesOneMoreUntouched) {
  PathBuffer buffer;
  Fill(buffer, std::string(200, 'a'));
  EXPECT_EQ(0, AppendToPath(buffer, std::string(59, 'b').c_str()));
  EXPECT_EQ(std::string(200, 'a') + std::string(59, 'b'), buffer);
  EXPECT_EQ(0, AppendToPath(buffer, ""));

  Fill(buffer, std::string(200, 'a'));
  PathBuffer before;
  std::memcpy(before, buffer, sizeof buffer);
  EXPECT_NE(0, AppendToPath(buffer, std::string(60, 'b').c_str()));
  EXPECT_EQ(0, std::memcmp(before, buffer, sizeof buffer));

  Fill(buffer, std::string(259, 'a'));
  EXPECT_NE(0, AppendToPath(buffer, "x"));
  EXPECT_EQ(std::string(259, 'a'), buffer);
}

TEST(AppendToPath, RefusesUnterminatedTextWithoutReadingPastIt) {
  PathBuffer buffer;
  std::memset(buffer, 'd', sizeof buffer);  // no terminator anywhere
  PathBuffer before;
  std::memcpy(before, buffer, sizeof buffer);
  EXPECT_NE(0, AppendToPath(buffer, "x"));
  EXPECT_EQ(0, std::memcmp(before, buffer, sizeof buffer));

  // Room for 59 more characters: a source is read at most 60 bytes far.
  Fill(buffer, std::string(200, 'a'));
  const auto source = support::ExactCopy(std::string(60, 'u'));
  EXPECT_NE(0, AppendToPath(buffer, source.get()));
  EXPECT_EQ(std::string(200, 'a'), buffer);
}

TEST(AppendToPath, AppendsItsOwnText) {
  PathBuffer buffer;
  Fill(buffer, "ab\\");
  EXPECT_EQ(0, AppendToPath(buffer, buffer));
  EXPECT_STREQ("ab\\ab\\", buffer);
}

}  // namespace
