#include "flow/run_paths.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "download/url_parts.h"

namespace {

const char kBase[] = "http://127.0.0.1/archives/app/";

// A temp folder as the platform returns it: "C:\" ... "\" of the given length.
std::string TempFolder(std::size_t length) {
  std::string path = "C:\\" + std::string(length - 4, 't') + "\\";
  EXPECT_EQ(length, path.size());
  return path;
}

TEST(ComposeRunPaths, ComposesTheFourPaths) {
  RunPaths paths;
  ASSERT_EQ(0, ComposeRunPaths(kBase, "C:\\Temp\\", paths));
  EXPECT_STREQ(kBase, paths.appBaseUrl);
  EXPECT_STREQ("C:\\Temp\\korvane\\", paths.workingFolder);
  EXPECT_STREQ("C:\\Temp\\korvane\\builtin-contents\\", paths.contentsFolder);
  EXPECT_STREQ("C:\\Temp\\korvane\\setup.exe", paths.setupPath);
  // Zero-filled after the text.
  for (std::size_t i = sizeof kBase; i < sizeof paths.appBaseUrl; ++i) ASSERT_EQ(0, paths.appBaseUrl[i]) << i;
}

TEST(ComposeRunPaths, LimitsOfTheTempFolderLength) {
  const std::string longest = "paperlanternwalks.krv";
  struct Case {
    std::size_t tempLength;
    bool composed;            // working folder, contents folder and setup path all fit
    bool longestContentFits;  // contents folder + longest name within 259 characters
  } cases[] = {
      {213, true, true},
      {214, true, false},
      {234, true, false},
      {235, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tempLength);
    RunPaths paths;
    EXPECT_EQ(c.composed, ComposeRunPaths(kBase, TempFolder(c.tempLength).c_str(), paths) == 0);
    if (!c.composed) continue;
    EXPECT_EQ(c.tempLength + 8, std::strlen(paths.workingFolder));
    EXPECT_EQ(c.tempLength + 8 + 17, std::strlen(paths.contentsFolder));
    EXPECT_EQ(c.tempLength + 8 + 9, std::strlen(paths.setupPath));
    EXPECT_EQ(c.longestContentFits, LocalPath(paths.contentsFolder, longest.c_str()).size() <= 259);
  }
}

TEST(ComposeRunPaths, RefusesAnUnterminatedTempFolder) {
  char temp[kPathBufferSize];
  std::memset(temp, 'x', sizeof temp);
  RunPaths paths;
  EXPECT_NE(0, ComposeRunPaths(kBase, temp, paths));
}

TEST(SetupCommandLine, QuotesThePathWithoutArguments) {
  EXPECT_EQ("\"C:\\Documents and Settings\\u\\Temp\\korvane\\setup.exe\"",
            SetupCommandLine("C:\\Documents and Settings\\u\\Temp\\korvane\\setup.exe"));
}

}  // namespace
