#pragma once

#include <windows.h>
#include <wininet.h>
#include <commctrl.h>

// wininet and comctl32 are not "known DLLs": imported statically, they would
// be looked for in the program's own folder first, where anyone can plant a
// copy (a Downloads folder). They are loaded from the system folder by full
// path instead, and stay loaded until the process ends.

// Stops every later library load from searching the program's folder or the
// current folder, through the platform functions for it where they exist
// (they are looked up at run time: Windows 2000 has neither).
void RestrictLibrarySearch();

struct WinInetApi {
  decltype(&::InternetOpenA) InternetOpenA;
  decltype(&::InternetConnectA) InternetConnectA;
  decltype(&::HttpOpenRequestA) HttpOpenRequestA;
  decltype(&::HttpSendRequestA) HttpSendRequestA;
  decltype(&::HttpQueryInfoA) HttpQueryInfoA;
  decltype(&::InternetReadFile) InternetReadFile;
  decltype(&::InternetCloseHandle) InternetCloseHandle;
};

// The wininet functions of the system folder's wininet.dll, resolved on the
// first call; null when the library or any of them is missing.
const WinInetApi* WinInet();

// InitCommonControlsEx of the system folder's comctl32.dll, resolved on the
// first call; null when the library or the function is missing.
decltype(&::InitCommonControlsEx) InitCommonControlsExFunction();
