// SplitUrl, FetchUrl and LocalPath on arbitrary text.
//
// Input: the URL, optionally followed by a NUL and a file name (everything
// after the URL's terminator up to the next NUL).

#include <cstdint>
#include <string>

#include "download/url_parts.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);
  const std::string url = fuzz::TextAt(bytes, size);
  const std::string name =
      url.size() < size ? fuzz::TextAt(bytes + url.size() + 1, size - url.size() - 1) : std::string();
  const auto urlText = fuzz::TerminatedCopy(url);
  const auto nameText = fuzz::TerminatedCopy(name);

  // Leftovers from an earlier split must be replaced, not extended.
  UrlParts parts;
  parts.host = "stale/host";
  parts.path = "stale-path";
  const FetchResult result = SplitUrl(urlText.get(), parts);

  const std::size_t scheme = url.find("://");
  const bool hasPath = scheme != std::string::npos && url.find('/', scheme + 3) != std::string::npos;
  FUZZ_CHECK(result == FETCH_OK || result == FETCH_BAD_URL);
  FUZZ_CHECK((result == FETCH_OK) == hasPath);
  if (result == FETCH_OK) {
    FUZZ_CHECK(parts.host.find('/') == std::string::npos);
    FUZZ_CHECK(!parts.path.empty() && parts.path[0] == '/');
    // Split right after the first "://", and nothing lost or added.
    FUZZ_CHECK(url.substr(0, scheme + 3) + parts.host + parts.path == url);
  }

  const std::string fetchUrl = FetchUrl(urlText.get(), nameText.get());
  FUZZ_CHECK(fetchUrl.size() == url.size() + name.size());
  FUZZ_CHECK(fetchUrl == url + name);
  const std::string localPath = LocalPath(urlText.get(), nameText.get());
  FUZZ_CHECK(localPath.size() == url.size() + name.size());
  FUZZ_CHECK(localPath == url + name);
  FUZZ_CHECK(LocalPath(nullptr, nameText.get()) == name);
  return 0;
}
