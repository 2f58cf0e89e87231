// SplitUrl on arbitrary text.
//
// Input: the URL (up to the first NUL), passed in a block of exactly its
// length plus the terminator.

#include <cstdint>
#include <string>

#include "download/url_parts.h"
#include "fuzz_check.h"
#include "support/exact_block.h"

namespace {

// Where a split has to happen, found byte by byte and apart from SplitUrl's
// searches: hostStart just past the first "://" (npos when there is none),
// and whether a '/' follows somewhere after it.
struct Expected {
  std::size_t hostStart = std::string::npos;
  bool slashAfter = false;
};

Expected Scan(const std::string& url) {
  Expected expected;
  std::size_t matched = 0;  // how much of "://" the last bytes spell
  for (std::size_t i = 0; i < url.size() && !expected.slashAfter; ++i) {
    const char c = url[i];
    if (expected.hostStart != std::string::npos) {
      expected.slashAfter = c == '/';
    } else if (c == ':') {
      matched = 1;
    } else if (c == '/' && matched != 0) {
      if (++matched == 3) expected.hostStart = i + 1;
    } else {
      matched = 0;
    }
  }
  return expected;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string url = fuzz::TextAt(reinterpret_cast<const char*>(data), size);
  const auto urlText = support::TerminatedCopy(url);

  // Leftovers from an earlier split must be replaced, not extended.
  UrlParts parts;
  parts.host = "stale/host";
  parts.path = "stale-path";
  const FetchResult result = SplitUrl(urlText.get(), parts);

  const Expected expected = Scan(url);
  FUZZ_CHECK(result == FETCH_OK || result == FETCH_BAD_URL);
  FUZZ_CHECK((result == FETCH_OK) == expected.slashAfter);
  if (result == FETCH_OK) {
    FUZZ_CHECK(parts.host.find('/') == std::string::npos);
    FUZZ_CHECK(!parts.path.empty() && parts.path[0] == '/');
    // Split right after the first "://", and nothing lost or added.
    FUZZ_CHECK(url.substr(0, expected.hostStart) + parts.host + parts.path == url);
  }
  return 0;
}
