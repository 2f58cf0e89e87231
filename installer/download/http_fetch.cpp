#include "download/http_fetch.h"

#include <share.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "download/output_file.h"
#include "download/url_parts.h"
#include "shared/system_libraries.h"

std::uint32_t g_readChunkSize = 1024;

namespace {

class InternetHandle {
 public:
  InternetHandle(const WinInetApi& api, HINTERNET handle) : api_(api), handle_(handle) {}
  ~InternetHandle() {
    if (handle_ != nullptr) api_.InternetCloseHandle(handle_);
  }
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;
  HINTERNET get() const { return handle_; }

 private:
  const WinInetApi& api_;
  HINTERNET handle_;
};

struct FreeMemory {
  void operator()(char* memory) const { std::free(memory); }
};

bool IsSuccessStatus(const WinInetApi& api, HINTERNET request) {
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!api.HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) {
    return false;
  }
  return status >= 200 && status <= 299;
}

std::int64_t AnnouncedLength(const WinInetApi& api, HINTERNET request) {
  // Zeroed first: without the header the query writes nothing, and the
  // conversion must not read stale text.
  char text[1024] = {};
  DWORD size = sizeof text;
  api.HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr);  // result not examined
  return ParseContentLength(text, sizeof text);
}

}  // namespace

void SetReadChunkSize(std::uint32_t bytes) {
  // A zero-size read ends at once and would store an empty file as a success.
  if (bytes == 0 || bytes > INT32_MAX) return;
  g_readChunkSize = bytes;
}

FetchResult FetchUrlToFile(const char* url, const char* localPath, TransferProgressFn progress) {
  UrlParts parts;
  const FetchResult split = SplitUrl(url, parts);
  if (split != FETCH_OK) return split;
  const WinInetApi* const loaded = WinInet();
  if (loaded == nullptr) return FETCH_NO_INTERNET_LIBRARY;
  const WinInetApi& api = *loaded;

  // Declared in acquisition order, so every exit releases the buffer, the
  // file, then the request, connection and session.
  // A session that failed to open shows up as a failed connect.
  const InternetHandle session(api, api.InternetOpenA("KORVANE", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  const InternetHandle connection(api, api.InternetConnectA(session.get(), parts.host.c_str(), 80, nullptr,
                                                            nullptr, INTERNET_SERVICE_HTTP, 0, 0));
  if (connection.get() == nullptr) return FETCH_CONNECT_FAILED;
  const InternetHandle request(
      api, api.HttpOpenRequestA(connection.get(), "GET", parts.path.c_str(), nullptr, nullptr, nullptr, 0, 0));
  if (request.get() == nullptr) return FETCH_OPEN_REQUEST_FAILED;
  if (!api.HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0)) return FETCH_SEND_FAILED;
  // An error page must never be stored as the requested file.
  if (!IsSuccessStatus(api, request.get())) return FETCH_HTTP_ERROR;
  // Completeness is judged on the whole announced length; the progress
  // callback takes it clamped to 32 bits.
  const std::int64_t announced = AnnouncedLength(api, request.get());
  const std::int32_t total = ProgressTotal(announced);

  OutputFile file(_fsopen(localPath, "wb", _SH_DENYRW));
  if (!file.IsOpen()) return FETCH_FILE_FAILED;
  const DWORD chunkSize = g_readChunkSize;
  std::unique_ptr<char, FreeMemory> buffer(static_cast<char*>(std::malloc(chunkSize)));
  if (buffer == nullptr) return FETCH_NO_MEMORY;

  std::int64_t stored = 0;
  for (;;) {
    DWORD read = 0;
    if (!api.InternetReadFile(request.get(), buffer.get(), chunkSize, &read)) return FETCH_READ_FAILED;
    if (read == 0) break;
    // A chunk the file did not take whole (a full disk) ends the transfer
    // before it is reported.
    if (!file.Write(buffer.get(), read)) return FETCH_WRITE_FAILED;
    stored += read;
    if (progress != nullptr) progress(static_cast<std::int32_t>(read), total);
  }
  // A body that ended short of its announced length is as broken as one
  // that broke off: a truncated setup program must never be started.
  if (EndedShort(announced, stored)) return FETCH_READ_FAILED;
  // Released in the usual order, the buffer before the file; the close
  // writes out the bytes still buffered, so it can fail like a write.
  buffer.reset();
  if (!file.Close()) return FETCH_WRITE_FAILED;
  return FETCH_OK;
}

FetchResult FetchIntoFolder(const char* baseUrl, const char* name, const char* folder,
                            TransferProgressFn progress) {
  return FetchUrlToFile(FetchUrl(baseUrl, name).c_str(), LocalPath(folder, name).c_str(), progress);
}
