#include "flow/content_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Call {
  std::string url, name, folder;
  TransferProgressFn progress;
};
std::vector<Call> g_calls;
std::size_t g_failAt = 0;  // 1-based call that fails; 0: none

FetchResult RecordFetch(const char* url, const char* name, const char* folder, TransferProgressFn progress) {
  g_calls.push_back({url, name, folder, progress});
  return g_calls.size() == g_failAt ? FETCH_HTTP_ERROR : FETCH_OK;
}

void NoProgress(std::int32_t, std::int32_t) {}

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
  g_calls.clear();
  g_failAt = 0;
  const char base[] = "http://127.0.0.1/zq/res/";
  EXPECT_EQ(FETCH_OK, FetchContentFiles(&list[0], base, "C:\\T\\korvane\\builtin-contents\\", RecordFetch, NoProgress));

  const char* entries[] = {"Gallery_North/wave_short01.krv", "Gallery_North/wave_short02.krv",
                           "galleryeastern/paperlanternwalks.krv", "marble/pebble.krv", "Zeko/teaser.krv"};
  const char* names[] = {"wave_short01.krv", "wave_short02.krv", "paperlanternwalks.krv", "pebble.krv",
                         "teaser.krv"};
  ASSERT_EQ(5u, g_calls.size());
  for (std::size_t i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(std::string(base) + entries[i], g_calls[i].url + g_calls[i].name);
    EXPECT_EQ(names[i], g_calls[i].name);
    EXPECT_EQ('/', g_calls[i].url.back());
    EXPECT_EQ("C:\\T\\korvane\\builtin-contents\\", g_calls[i].folder);
    EXPECT_EQ(&NoProgress, g_calls[i].progress);
  }
}

TEST(FetchContentFiles, StopsAtTheFirstFailure) {
  std::string list = kContentList;
  g_calls.clear();
  g_failAt = 4;
  EXPECT_EQ(FETCH_HTTP_ERROR, FetchContentFiles(&list[0], "http://h/zq/res/", "f\\", RecordFetch, NoProgress));
  ASSERT_EQ(4u, g_calls.size());
  EXPECT_EQ("pebble.krv", g_calls[3].name);
}

}  // namespace
