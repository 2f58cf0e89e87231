/* Stands in for the product's setup program in the end-to-end tests.
 *
 * Each run appends one record to C:\korvane-setup-runs.log:
 *
 *   run
 *   cmdline=<GetCommandLineA>
 *   module=<GetModuleFileNameA>
 *   cwd=<GetCurrentDirectoryA>
 *   tick=<GetTickCount at start>  (one clock for every process of the prefix)
 *   exit=7                      (written about 0.8 s later, just before exiting)
 *
 * The pause before the last line lets the tests tell whether the installer
 * waited for this program: a record without "exit=" when the installer has
 * already returned means it did not. The exit code 7 checks that the
 * installer's own exit code does not depend on ours. The same program is
 * planted as a decoy (C:\Documents.exe); the module path tells the runs apart.
 */
#include <windows.h>
#include <stdlib.h>
#include <string.h>

#include "append_log.h"

#define SETUP_EXIT_CODE 7

static const char kLogPath[] = "C:\\korvane-setup-runs.log";

/* Appends "key=value\r\n" to record; record holds recordSize bytes, terminator included. */
static void AddField(char *record, size_t recordSize, const char *key, const char *value)
{
    size_t used = strlen(record);
    size_t needed = strlen(key) + 1 + strlen(value) + 2;
    if (used + needed >= recordSize)
        return;
    strcat(record, key);
    strcat(record, "=");
    strcat(record, value);
    strcat(record, "\r\n");
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand)
{
    char module[MAX_PATH * 2] = "";
    char cwd[MAX_PATH * 2] = "";
    char tick[16];
    char record[4 * MAX_PATH * 2] = "run\r\n";
    (void)instance;
    (void)previous;
    (void)commandLine;
    (void)showCommand;

    _ultoa(GetTickCount(), tick, 10);
    GetModuleFileNameA(NULL, module, sizeof module);
    GetCurrentDirectoryA(sizeof cwd, cwd);
    /* The full command line, not WinMain's argument, which lacks the program name. */
    AddField(record, sizeof record, "cmdline", GetCommandLineA());
    AddField(record, sizeof record, "module", module);
    AddField(record, sizeof record, "cwd", cwd);
    AddField(record, sizeof record, "tick", tick);
    AppendToLog(kLogPath, record);

    Sleep(800);
    AppendToLog(kLogPath, "exit=7\r\n");
    return SETUP_EXIT_CODE;
}
