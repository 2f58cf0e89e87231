#include "flow/content_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/scripted_fetch.h"

namespace {

using support::g_fetchCalls;
using support::NoProgress;
using support::RecordFetch;
using support::ScriptFetch;

std::vector<std::string> Walk(char* text) {
  std::vector<std::string> entries;
  char* cursor = text;
  while (char* entry = NextContentEntry(&cursor)) entries.push_back(entry);
  return entries;
}

TEST(NextContentEntry, SplitsOnRunsOfSpacesWithoutEmptyEntries) {
  struct Case {
    const char* text;
    std::vector<std::string> entries;
  } cases[] = {
      {"a/b c/d", {"a/b", "c/d"}},
      {"  a/b   c/d  ", {"a/b", "c/d"}},
      {"one", {"one"}},
      {"", {}},
      {"    ", {}},
      {"a\tb", {"a\tb"}},  // only the space separates
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string text = c.text;
    EXPECT_EQ(c.entries, Walk(&text[0]));
  }
}

TEST(NextContentEntry, SplitsInPlaceAndStaysExhausted) {
  char text[] = "ab cd";
  char* cursor = text;
  EXPECT_EQ(text, NextContentEntry(&cursor));
  EXPECT_EQ(text + 3, NextContentEntry(&cursor));
  EXPECT_EQ(0, std::memcmp(text, "ab\0cd", 6));
  EXPECT_EQ(nullptr, NextContentEntry(&cursor));
  EXPECT_EQ(nullptr, NextContentEntry(&cursor));
}

TEST(FileNameOffset, FollowsTheLastSlashOnly) {
  EXPECT_EQ(std::string("http://h/zq/res/Zeko/").size(), FileNameOffset("http://h/zq/res/Zeko/teaser.krv"));
  EXPECT_EQ(0u, FileNameOffset("noslash"));
  EXPECT_EQ(2u, FileNameOffset("a/b\\c"));
  EXPECT_EQ(4u, FileNameOffset("dir/"));
}

TEST(FetchContentFiles, FetchesTheBuiltInListFlatInOrder) {
  ASSERT_EQ(132u, std::strlen(kContentList));
  std::string list = kContentList;  // the built-in list can be split only once
  ScriptFetch(0);
  const char base[] = "http://127.0.0.1/zq/res/";
  EXPECT_EQ(FETCH_OK, FetchContentFiles(&list[0], base, "C:\\T\\korvane\\builtin-contents\\", RecordFetch, NoProgress));

  const char* entries[] = {"Gallery_North/wave_short01.krv", "Gallery_North/wave_short02.krv",
                           "galleryeastern/paperlanternwalks.krv", "marble/pebble.krv", "Zeko/teaser.krv"};
  const char* names[] = {"wave_short01.krv", "wave_short02.krv", "paperlanternwalks.krv", "pebble.krv",
                         "teaser.krv"};
  ASSERT_EQ(5u, g_fetchCalls.size());
  for (std::size_t i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    const support::FetchCall& call = g_fetchCalls[i];
    EXPECT_EQ(std::string(base) + entries[i], call.directoryUrl + call.name);
    EXPECT_EQ(names[i], call.name);
    EXPECT_EQ('/', call.directoryUrl.back());
    EXPECT_EQ("C:\\T\\korvane\\builtin-contents\\", call.folder);
    EXPECT_EQ(&NoProgress, call.progress);
  }
}

TEST(FetchContentFiles, StopsAtTheFirstFailure) {
  std::string list = kContentList;
  ScriptFetch(4);
  EXPECT_EQ(support::kScriptedFailure, FetchContentFiles(&list[0], "http://h/zq/res/", "f\\", RecordFetch, NoProgress));
  ASSERT_EQ(4u, g_fetchCalls.size());
  EXPECT_EQ("pebble.krv", g_fetchCalls[3].name);
}

}  // namespace
