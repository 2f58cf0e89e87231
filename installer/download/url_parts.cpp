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

std::int32_t ParseContentLength(const char* text, std::size_t size) {
  std::size_t i = 0;
  auto at = [&](std::size_t n) { return n < size ? text[n] : '\0'; };
  while (at(i) == ' ' || (at(i) >= '\t' && at(i) <= '\r')) ++i;
  bool negative = false;
  if (at(i) == '+' || at(i) == '-') negative = at(i++) == '-';
  // Accumulate in 64 bits and stop growing once past the 32-bit range.
  const std::int64_t limit = negative ? INT64_C(2147483648) : INT64_C(2147483647);
  std::int64_t value = 0;
  for (; at(i) >= '0' && at(i) <= '9'; ++i) {
    if (value < limit) value = value * 10 + (at(i) - '0');
  }
  if (value > limit) value = limit;
  return static_cast<std::int32_t>(negative ? -value : value);
}

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
