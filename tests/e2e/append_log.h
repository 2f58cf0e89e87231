/* The log records of the test fixtures (setup_fixture.c, planted_dll.c). */
#ifndef KORVANE_E2E_APPEND_LOG_H
#define KORVANE_E2E_APPEND_LOG_H

#include <windows.h>
#include <string.h>

/* Appends text to the file at path. Each record goes out in one write, and
 * the file stays shared, so records of processes running side by side do
 * not mix. */
static void AppendToLog(const char *path, const char *text)
{
    DWORD written = 0;
    HANDLE log = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, NULL);
    if (log == INVALID_HANDLE_VALUE)
        return;
    WriteFile(log, text, (DWORD)strlen(text), &written, NULL);
    CloseHandle(log);
}

#endif
