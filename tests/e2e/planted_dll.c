/* A copy of a system DLL that someone planted in a program's folder or in
 * its current folder. Built twice: as wininet.dll (PLANTED_WININET) and as
 * comctl32.dll (PLANTED_COMCTL32). Every load appends one line to
 * C:\korvane-planted.log:
 *
 *   <path of this DLL>|<path of the program it was loaded into>
 *
 * The exports stand in for the functions the static-import probes call, so
 * that a program importing them starts with this copy; they always fail.
 */
#include <windows.h>
#include <string.h>

#include "append_log.h"

static const char kLogPath[] = "C:\\korvane-planted.log";

static void RecordLoad(HINSTANCE self)
{
    char dll[MAX_PATH * 2] = "", host[MAX_PATH * 2] = "", line[MAX_PATH * 4 + 4] = "";
    GetModuleFileNameA(self, dll, sizeof dll);
    GetModuleFileNameA(NULL, host, sizeof host);
    strcat(line, dll);
    strcat(line, "|");
    strcat(line, host);
    strcat(line, "\r\n");
    AppendToLog(kLogPath, line);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH)
        RecordLoad(instance);
    return TRUE;
}

/* Exported undecorated (linked with --kill-at), as the system's import
 * libraries name them. */
#if defined(PLANTED_WININET)
__declspec(dllexport) void *WINAPI InternetOpenA(const char *agent, DWORD accessType, const char *proxy,
                                                 const char *proxyBypass, DWORD flags)
{
    (void)agent;
    (void)accessType;
    (void)proxy;
    (void)proxyBypass;
    (void)flags;
    SetLastError(ERROR_NOT_SUPPORTED);
    return NULL;
}

__declspec(dllexport) BOOL WINAPI InternetCloseHandle(void *handle)
{
    (void)handle;
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}
#elif defined(PLANTED_COMCTL32)
__declspec(dllexport) BOOL WINAPI InitCommonControlsEx(const void *controls)
{
    (void)controls;
    return FALSE;
}
#else
#error "define PLANTED_WININET or PLANTED_COMCTL32"
#endif
