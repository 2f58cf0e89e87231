#include "download/url_parts.h"

FetchResult SplitUrl(const char* url, UrlParts& parts) {
  std::string rest = url;
  const std::size_t scheme = rest.find("://");
  if (scheme == std::string::npos) return FETCH_BAD_URL;
  rest.erase(0, scheme + 3);
  const std::size_t slash = rest.find('/');
  if (slash == std::string::npos) return FETCH_BAD_URL;  // no path to request
  parts.host.assign(rest, 0, slash);
  parts.path.assign(rest, slash, std::string::npos);
  return FETCH_OK;
}

std::int64_t ParseContentLength(const char* text, std::size_t size) {
  std::size_t i = 0;
  auto at = [&](std::size_t n) { return n < size ? text[n] : '\0'; };
  while (at(i) == ' ' || (at(i) >= '\t' && at(i) <= '\r')) ++i;
  bool negative = false;
  if (at(i) == '+' || at(i) == '-') negative = at(i++) == '-';
  // The magnitude grows up to 2^63 - 1 (2^63 with a minus sign) and stays
  // there. Compared, never divided: a 64-bit division would call a helper
  // on a 32-bit processor.
  const std::uint64_t kTenthOfLimit = UINT64_C(922337203685477580);
  const unsigned lastDigitOfLimit = negative ? 8 : 7;
  std::uint64_t magnitude = 0;
  for (; at(i) >= '0' && at(i) <= '9'; ++i) {
    const unsigned digit = static_cast<unsigned>(at(i) - '0');
    if (magnitude > kTenthOfLimit || (magnitude == kTenthOfLimit && digit > lastDigitOfLimit)) {
      magnitude = kTenthOfLimit * 10 + lastDigitOfLimit;
    } else {
      magnitude = magnitude * 10 + digit;
    }
  }
  // Negated in unsigned arithmetic, so that 2^63 becomes INT64_MIN.
  return static_cast<std::int64_t>(negative ? 0 - magnitude : magnitude);
}

std::int32_t ProgressTotal(std::int64_t announced) {
  if (announced > INT32_MAX) return INT32_MAX;
  if (announced < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(announced);
}

bool EndedShort(std::int64_t announced, std::int64_t stored) { return announced > 0 && stored < announced; }

std::string FetchUrl(const char* baseUrl, const char* name) {
  std::string url = baseUrl;
  url += name;
  return url;
}

std::string LocalPath(const char* folder, const char* name) {
  std::string path = folder != nullptr ? folder : "";
  path += name;
  return path;
}
