// Benchmark reference: the calls the installer makes for one download and
// nothing else. The WinINet request, one read buffer and the file, and the
// progress dialog through the installer's own code and template (dialog 103:
// the range set once, PBM_DELTAPOS to control 1000 and the pump after every
// chunk, with the same arithmetic). What the installer adds on top (its
// flow, the system-folder loading, the checks) is what installer / reference
// measures.
//
//   reference_fetch URL LOCAL_PATH CHUNK_BYTES
//
// Exit code 0 when the whole body was stored, 1 for a bad URL or chunk size,
// 4 when the request failed, 10 when a read failed, 12 when the file could
// not be created.

#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "download/url_parts.h"
#include "progress/progress_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  if (__argc != 4) return 1;
  UrlParts parts;
  const DWORD chunk = static_cast<DWORD>(std::strtoul(__argv[3], nullptr, 10));
  if (SplitUrl(__argv[1], parts) != FETCH_OK || chunk == 0) return 1;

  RegisterProgressBarClass();
  OpenProgressWindow(instance, nullptr);
  g_progressWeight = 9900;

  HINTERNET session = InternetOpenA("KORVANE", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  HINTERNET connection =
      InternetConnectA(session, parts.host.c_str(), 80, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  HINTERNET request = HttpOpenRequestA(connection, "GET", parts.path.c_str(), nullptr, nullptr, nullptr, 0, 0);
  if (request == nullptr || !HttpSendRequestA(request, nullptr, 0, nullptr, 0)) return 4;
  char length[1024] = {};
  DWORD lengthSize = sizeof length;
  HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, length, &lengthSize, nullptr);
  const std::int32_t total = ParseContentLength(length, sizeof length);

  std::FILE* file = std::fopen(__argv[2], "wb");
  if (file == nullptr) return 12;
  const std::unique_ptr<char[]> buffer(new char[chunk]);
  int result = 0;
  for (;;) {
    DWORD read = 0;
    if (!InternetReadFile(request, buffer.get(), chunk, &read)) {
      result = 10;
      break;
    }
    if (read == 0) break;
    std::fwrite(buffer.get(), 1, read, file);
    OnTransferProgress(static_cast<std::int32_t>(read), total);
  }
  std::fclose(file);
  InternetCloseHandle(request);
  InternetCloseHandle(connection);
  InternetCloseHandle(session);
  CloseProgressWindow();
  return result;
}
