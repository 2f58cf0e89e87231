#include "shared/system_libraries.h"

#include <string>

namespace {

// Loads name from the system folder by full path. The altered search path
// makes the library's own dependencies resolve from that folder too.
HMODULE LoadSystemLibrary(const char* name) {
  char folder[MAX_PATH];
  const UINT length = GetSystemDirectoryA(folder, sizeof folder);
  if (length == 0 || length >= sizeof folder) return nullptr;
  std::string path(folder, length);
  if (path.back() != '\\') path += '\\';
  path += name;
  return LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

template <typename Function>
bool Resolve(HMODULE library, const char* name, Function* function) {
  *function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
  return *function != nullptr;
}

bool LoadWinInet(WinInetApi* api) {
  const HMODULE library = LoadSystemLibrary("wininet.dll");
  return library != nullptr && Resolve(library, "InternetOpenA", &api->InternetOpenA) &&
         Resolve(library, "InternetConnectA", &api->InternetConnectA) &&
         Resolve(library, "HttpOpenRequestA", &api->HttpOpenRequestA) &&
         Resolve(library, "HttpSendRequestA", &api->HttpSendRequestA) &&
         Resolve(library, "HttpQueryInfoA", &api->HttpQueryInfoA) &&
         Resolve(library, "InternetReadFile", &api->InternetReadFile) &&
         Resolve(library, "InternetCloseHandle", &api->InternetCloseHandle);
}

// Resolved once per process; the program has a single thread.
enum LoadState { kNotTried, kLoaded, kMissing };

}  // namespace

void RestrictLibrarySearch() {
  const HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (kernel == nullptr) return;
  typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
  typedef BOOL(WINAPI * SetDllDirectoryAFn)(LPCSTR);
  SetDefaultDllDirectoriesFn setDefaultDirectories = nullptr;
  SetDllDirectoryAFn setDllDirectory = nullptr;
  const DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
  if (Resolve(kernel, "SetDefaultDllDirectories", &setDefaultDirectories)) setDefaultDirectories(kSearchSystem32);
  // An empty text takes the current folder out of the search order.
  if (Resolve(kernel, "SetDllDirectoryA", &setDllDirectory)) setDllDirectory("");
}

const WinInetApi* WinInet() {
  static WinInetApi api;
  static LoadState state = kNotTried;
  if (state == kNotTried) state = LoadWinInet(&api) ? kLoaded : kMissing;
  return state == kLoaded ? &api : nullptr;
}

decltype(&::InitCommonControlsEx) InitCommonControlsExFunction() {
  static decltype(&::InitCommonControlsEx) function = nullptr;
  static LoadState state = kNotTried;
  if (state == kNotTried) {
    const HMODULE library = LoadSystemLibrary("comctl32.dll");
    state = library != nullptr && Resolve(library, "InitCommonControlsEx", &function) ? kLoaded : kMissing;
  }
  return function;
}
