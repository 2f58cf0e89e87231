#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "shared/fetch_result.h"

struct UrlParts {
  std::string host;  // everything between "://" and the next '/', used whole
  std::string path;  // from that '/' to the end
};

// Splits "scheme://host/path". The scheme is not examined. FETCH_OK, or
// FETCH_BAD_URL when the URL holds no "://" or no '/' after the host.
FetchResult SplitUrl(const char* url, UrlParts& parts);

// The decimal number at the start of a Content-Length text, read from at most
// size bytes: leading white space and a sign allowed, stops at the first other
// character, 0 without a digit, clamped to the signed 64-bit range.
std::int64_t ParseContentLength(const char* text, std::size_t size);

// The total that progress is reported against: the announced length clamped
// to the signed 32-bit range.
std::int32_t ProgressTotal(std::int64_t announced);

// Whether a body of stored bytes ended short of the announced length; a
// length of 0 or below announces nothing.
bool EndedShort(std::int64_t announced, std::int64_t stored);

// URL of one fetch: base URL + name (the base ends in a slash).
std::string FetchUrl(const char* baseUrl, const char* name);

// Local file of one fetch: folder + name (the folder ends in a backslash), or
// the bare name, relative to the current folder, when folder is null.
std::string LocalPath(const char* folder, const char* name);
