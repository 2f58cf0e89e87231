#include "download/url_parts.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

namespace {

TEST(SplitUrl, SplitsHostAndPathAtTheFirstSlashAfterTheScheme) {
  struct Case {
    const char* url;
    FetchResult result;
    const char* host;
    const char* path;
  } cases[] = {
      {"http://127.0.0.1/archives/app/setup.exe", FETCH_OK, "127.0.0.1", "/archives/app/setup.exe"},
      {"http://user@host:8080/a/b", FETCH_OK, "user@host:8080", "/a/b"},  // used whole
      {"ftp://h/x", FETCH_OK, "h", "/x"},                                 // scheme not examined
      {"://h/", FETCH_OK, "h", "/"},
      {"http://h\\x/y\\z", FETCH_OK, "h\\x", "/y\\z"},  // backslashes separate nothing
      {"http://a/b://c/d", FETCH_OK, "a", "/b://c/d"},
      {"http:///p", FETCH_OK, "", "/p"},
      {"http://host", FETCH_BAD_URL, "", ""},  // no path to request
      {"host/path", FETCH_BAD_URL, "", ""},
      {"http:/host/path", FETCH_BAD_URL, "", ""},
      {"", FETCH_BAD_URL, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    UrlParts parts;
    ASSERT_EQ(c.result, SplitUrl(c.url, parts));
    EXPECT_EQ(c.host, parts.host);
    EXPECT_EQ(c.path, parts.path);
  }
}

TEST(ParseContentLength, ReadsTheLeadingDecimalNumberClamped) {
  struct Case {
    const char* text;
    std::int64_t total;
  } cases[] = {
      {"3072", 3072},
      {"  \t 42", 42},
      {"+7", 7},
      {"-15", -15},
      {"12abc", 12},
      {"12 34", 12},
      {"000123", 123},
      {"3000000000", INT64_C(3000000000)},
      {"-2147483649", INT64_C(-2147483649)},
      {"9223372036854775807", INT64_MAX},
      {"9223372036854775808", INT64_MAX},
      {"99999999999999999999999999", INT64_MAX},
      {"-9223372036854775808", INT64_MIN},
      {"-9223372036854775809", INT64_MIN},
      {"-99999999999999999999999999", INT64_MIN},
      {"", 0},
      {"abc", 0},
      {"-", 0},
      {"+-5", 0},
      {" ", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(c.total, ParseContentLength(c.text, std::strlen(c.text) + 1));
  }
}

TEST(ParseContentLength, ReadsNothingBeyondItsBuffer) {
  // The query's buffer is zeroed first, so an absent header reads as 0.
  char absent[1024] = {};
  EXPECT_EQ(0, ParseContentLength(absent, sizeof absent));
  // Digits up to the very last byte with no terminator: the size bounds it.
  char full[8];
  std::memset(full, '9', sizeof full);
  EXPECT_EQ(99999999, ParseContentLength(full, sizeof full));
  EXPECT_EQ(999, ParseContentLength(full, 3));
}

TEST(ContentLength, ProgressTakesItClampedAndCompletenessWhole) {
  EXPECT_EQ(INT32_MAX, ProgressTotal(INT64_C(3000000000)));
  EXPECT_EQ(INT32_MIN, ProgressTotal(INT64_C(-3000000000)));
  EXPECT_EQ(3072, ProgressTotal(3072));
  // 3,000,000,000 bytes announced and 2.2 GB stored: short, though more than
  // the 32-bit total.
  EXPECT_TRUE(EndedShort(INT64_C(3000000000), INT64_C(2200000000)));
  EXPECT_FALSE(EndedShort(INT64_C(3000000000), INT64_C(3000000000)));
  EXPECT_TRUE(EndedShort(3072, 3071));
  EXPECT_FALSE(EndedShort(0, 0));    // nothing announced
  EXPECT_FALSE(EndedShort(-15, 0));  // a negative length announces nothing
}

TEST(FetchTargets, JoinBaseAndFolderByPlainConcatenation) {
  EXPECT_EQ("http://h/archives/app/setup.exe", FetchUrl("http://h/archives/app/", "setup.exe"));
  EXPECT_EQ("C:\\T\\korvane\\setup.exe", LocalPath("C:\\T\\korvane\\", "setup.exe"));
  EXPECT_EQ("setup.exe", LocalPath(nullptr, "setup.exe"));
}

}  // namespace
