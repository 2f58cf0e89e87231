// Benchmark reference: the installer's WinINet calls for one file, with the
// same per-chunk message pump, but no progress window and no progress
// arithmetic. With "window" it first shows a plain window of its own, to
// measure what a window costs the pump.
// Usage: reference_fetch URL LOCAL_PATH CHUNK_BYTES [window]
// Exit code 0 when the whole body was stored.

#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void PumpPendingMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
    if (GetMessageA(&message, nullptr, 0, 0) == 0) return;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && !(argc == 5 && std::string(argv[4]) == "window")) {
    std::fprintf(stderr, "usage: reference_fetch URL LOCAL_PATH CHUNK_BYTES [window]\n");
    return 2;
  }
  if (argc == 5) {
    CreateWindowExA(0, "STATIC", "reference", WS_POPUP | WS_VISIBLE, 0, 0, 200, 40, nullptr, nullptr, nullptr,
                    nullptr);
  }
  std::string rest = argv[1];
  const std::size_t scheme = rest.find("://");
  if (scheme == std::string::npos) return 1;
  rest.erase(0, scheme + 3);
  const std::size_t slash = rest.find('/');
  if (slash == std::string::npos) return 1;
  const std::string host = rest.substr(0, slash);
  const std::string path = rest.substr(slash);
  const DWORD chunk = static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10));

  HINTERNET session = InternetOpenA("KORVANE", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  HINTERNET connection =
      InternetConnectA(session, host.c_str(), 80, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  HINTERNET request = HttpOpenRequestA(connection, "GET", path.c_str(), nullptr, nullptr, nullptr, 0, 0);
  if (request == nullptr || !HttpSendRequestA(request, nullptr, 0, nullptr, 0)) return 4;
  char length[1024] = {};
  DWORD lengthSize = sizeof length;
  HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, length, &lengthSize, nullptr);

  std::FILE* file = std::fopen(argv[2], "wb");
  if (file == nullptr) return 12;
  std::vector<char> buffer(chunk);
  int result = 0;
  for (;;) {
    DWORD read = 0;
    if (!InternetReadFile(request, buffer.data(), chunk, &read)) {
      result = 10;
      break;
    }
    if (read == 0) break;
    std::fwrite(buffer.data(), 1, read, file);
    PumpPendingMessages();
  }
  std::fclose(file);
  InternetCloseHandle(request);
  InternetCloseHandle(connection);
  InternetCloseHandle(session);
  return result;
}
