/* Watches the installer's windows from another process in the same Wine
 * prefix and writes what it sees as JSON lines, one object per line, to the
 * report file named by the first argument. Texts are reported as hex of the
 * bytes GetWindowTextA returns (code page 932 under a Japanese locale).
 *
 *   ui_reader.exe REPORT STOPFILE [--interrupt] [--quit-at-box] [--box-delay MS] [--timeout MS]
 *
 * It runs until STOPFILE exists (the test creates it once the installer has
 * exited) or the time limit passes. What it does:
 *   - finds the progress window: a shown top-level "#32770" of another
 *     process with a child 1000 of class "msctls_progress32"; dumps the
 *     dialog and its controls in Z order (creation order) and reads the
 *     bar's range;
 *   - polls the bar's position with PBM_GETPOS from two threads. A
 *     cross-process SendMessage is answered only while the installer pumps,
 *     so each answer is the position at one pump; with two senders one
 *     request is nearly always pending, so the final pump (bar full, just
 *     before the window is destroyed) is seen too;
 *   - with --interrupt, once the download is under way, presses Esc on the
 *     progress window, asks it to close and posts a quit message to its
 *     thread;
 *   - finds each error box (any other top-level "#32770" of another process),
 *     records its caption, controls, whether it shows an icon and whether
 *     the progress window is still shown (with --quit-at-box it then posts a quit message to the
 *     box's thread), waits --box-delay ms, and presses OK unless the box has
 *     gone by itself.
 */
#include <windows.h>
#include <commctrl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define PROGRESS_BAR_ID 1000
#define POLL_THREADS 2
#define MAX_BOXES 8

static FILE *g_report;               /* written under g_reportLock by every thread */
static CRITICAL_SECTION g_reportLock;
static LARGE_INTEGER g_start, g_frequency;
static HWND volatile g_bar;          /* the progress bar being polled, or NULL; main thread writes */
static LONG volatile g_stop;         /* set by the main thread to end the poll threads */
static LONG volatile g_answers;      /* PBM_GETPOS answers received, all threads */

static unsigned long Millis(void)
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (unsigned long)((now.QuadPart - g_start.QuadPart) * 1000 / g_frequency.QuadPart);
}

static void Report(const char *format, ...)
{
    va_list args;
    EnterCriticalSection(&g_reportLock);
    fprintf(g_report, "{\"t\":%lu,", Millis());
    va_start(args, format);
    vfprintf(g_report, format, args);
    va_end(args);
    fputs("}\n", g_report);
    fflush(g_report);
    LeaveCriticalSection(&g_reportLock);
}

/* Writes the bytes of text as lower-case hex into out (outSize bytes, terminator included). */
static const char *Hex(const char *text, int length, char *out, size_t outSize)
{
    static const char digits[] = "0123456789abcdef";
    size_t o = 0;
    int i;
    for (i = 0; i < length && o + 2 < outSize; ++i) {
        out[o++] = digits[((unsigned char)text[i]) >> 4];
        out[o++] = digits[((unsigned char)text[i]) & 15];
    }
    out[o] = '\0';
    return out;
}

static const char *WindowTextHex(HWND window, char *out, size_t outSize)
{
    char text[1024];
    int length = GetWindowTextA(window, text, sizeof text);
    return Hex(text, length < 0 ? 0 : length, out, outSize);
}

static const char *ClassHex(HWND window, char *out, size_t outSize)
{
    char name[256];
    int length = GetClassNameA(window, name, sizeof name);
    return Hex(name, length < 0 ? 0 : length, out, outSize);
}

static int HasClass(HWND window, const char *expected)
{
    char name[256];
    return GetClassNameA(window, name, sizeof name) > 0 && lstrcmpiA(name, expected) == 0;
}

static int IsForeign(HWND window)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid != GetCurrentProcessId();
}

static DWORD WINAPI PollPosition(LPVOID parameter)
{
    int thread = (int)(INT_PTR)parameter;
    int last = -1;
    HWND lastBar = NULL;
    while (!g_stop) {
        HWND bar = g_bar;
        DWORD_PTR position = 0;
        if (!bar) {
            Sleep(1);
            continue;
        }
        if (bar != lastBar) {
            lastBar = bar;
            last = -1;
        }
        /* Blocks until the installer pumps; the time-out only lets the loop notice g_stop. */
        if (SendMessageTimeoutA(bar, PBM_GETPOS, 0, 0, SMTO_NORMAL, 1000, &position)) {
            InterlockedIncrement(&g_answers);
            if ((int)position != last) {
                last = (int)position;
                Report("\"ev\":\"pos\",\"thread\":%d,\"v\":%d", thread, last);
            }
        } else if (!IsWindow(bar)) {
            Sleep(1);
        }
    }
    return 0;
}

/* Window search: one pass of EnumWindows fills this. */
typedef struct {
    HWND progress;
    HWND boxes[MAX_BOXES];
    int boxCount;
} Found;

static BOOL CALLBACK Visit(HWND window, LPARAM parameter)
{
    Found *found = (Found *)parameter;
    HWND bar;
    /* Only shown windows: a dialog still being created may lack its controls. */
    if (!IsForeign(window) || !HasClass(window, "#32770") || !IsWindowVisible(window))
        return TRUE;
    bar = GetDlgItem(window, PROGRESS_BAR_ID);
    if (bar && HasClass(bar, "msctls_progress32")) {
        if (!found->progress)
            found->progress = window;
        return TRUE;
    }
    /* Any other dialog of the installer counts as a box, whatever its caption, so
     * that a wrong caption is reported (and dismissed) instead of hanging the run. */
    if (found->boxCount < MAX_BOXES)
        found->boxes[found->boxCount++] = window;
    return TRUE;
}

static void ReportChildren(HWND parent, const char *event)
{
    char classHex[512], textHex[2048];
    HWND child;
    for (child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        Report("\"ev\":\"%s\",\"id\":%ld,\"class\":\"%s\",\"style\":%lu,\"visible\":%d,\"text\":\"%s\"",
               event, (long)GetWindowLongA(child, GWL_ID), ClassHex(child, classHex, sizeof classHex),
               (unsigned long)GetWindowLongA(child, GWL_STYLE), IsWindowVisible(child) ? 1 : 0,
               WindowTextHex(child, textHex, sizeof textHex));
    }
}

static void ReportProgressWindow(HWND dialog)
{
    char textHex[2048];
    RECT rect, work;
    DWORD_PTR low = 0, high = 0, icon = 0;
    HWND bar = GetDlgItem(dialog, PROGRESS_BAR_ID);
    HWND iconControl = GetDlgItem(dialog, 2);
    int lowOk, highOk, iconOk = 0;

    GetWindowRect(dialog, &rect);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    Report("\"ev\":\"dialog\",\"style\":%lu,\"exstyle\":%lu,\"text\":\"%s\","
           "\"rect\":[%ld,%ld,%ld,%ld],\"work\":[%ld,%ld,%ld,%ld]",
           (unsigned long)GetWindowLongA(dialog, GWL_STYLE),
           (unsigned long)GetWindowLongA(dialog, GWL_EXSTYLE), WindowTextHex(dialog, textHex, sizeof textHex),
           rect.left, rect.top, rect.right, rect.bottom, work.left, work.top, work.right, work.bottom);
    ReportChildren(dialog, "control");

    /* lParam NULL: the low end when wParam is TRUE, the high end otherwise. */
    lowOk = SendMessageTimeoutA(bar, PBM_GETRANGE, TRUE, 0, SMTO_NORMAL, 10000, &low) != 0;
    highOk = SendMessageTimeoutA(bar, PBM_GETRANGE, FALSE, 0, SMTO_NORMAL, 10000, &high) != 0;
    Report("\"ev\":\"range\",\"answered\":%d,\"low\":%d,\"high\":%d", lowOk && highOk, (int)low, (int)high);
    if (iconControl)
        iconOk = SendMessageTimeoutA(iconControl, STM_GETICON, 0, 0, SMTO_NORMAL, 10000, &icon) != 0;
    Report("\"ev\":\"icon\",\"answered\":%d,\"loaded\":%d", iconOk, icon != 0);
}

/* Everything a user or the system might do to end the window early: Esc, a
 * close request (Alt+F4, the task list) and a quit message for the thread. */
static void TryToInterrupt(HWND dialog)
{
    DWORD thread = GetWindowThreadProcessId(dialog, NULL);
    /* The dialog manager sees these in the installer's pump (IsDialogMessage). */
    PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageA(dialog, WM_KEYUP, VK_ESCAPE, 0xC0010001);
    if (GetForegroundWindow() == dialog) {
        /* Also as real keyboard input, which goes to the foreground window. */
        INPUT keys[2];
        ZeroMemory(keys, sizeof keys);
        keys[0].type = keys[1].type = INPUT_KEYBOARD;
        keys[0].ki.wVk = keys[1].ki.wVk = VK_ESCAPE;
        keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(2, keys, sizeof keys[0]);
    }
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    Report("\"ev\":\"interrupt\",\"quit_posted\":%d", PostThreadMessageA(thread, WM_QUIT, 0, 0) != 0);
}

/* Whether a box shows an icon: an icon static of it holds one (the platform
 * keeps the control, empty, in a box without an icon flag). */
static int ShowsIcon(HWND box)
{
    HWND child;
    for (child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        DWORD_PTR icon = 0;
        if (HasClass(child, "Static") && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
            SendMessageTimeoutA(child, STM_GETICON, 0, 0, SMTO_NORMAL, 10000, &icon) && icon)
            return 1;
    }
    return 0;
}

static void HandleBox(HWND box, HWND progress, DWORD delay, int quit)
{
    char captionHex[512];
    Report("\"ev\":\"box\",\"caption\":\"%s\",\"progress_visible\":%d,\"icon\":%d",
           WindowTextHex(box, captionHex, sizeof captionHex), progress && IsWindowVisible(progress), ShowsIcon(box));
    ReportChildren(box, "box_control");
    if (quit)
        Report("\"ev\":\"box_quit\",\"posted\":%d",
               PostThreadMessageA(GetWindowThreadProcessId(box, NULL), WM_QUIT, 0, 0) != 0);
    Sleep(delay);
    if (!IsWindow(box)) {
        Report("\"ev\":\"box_gone\"");
        return;
    }
    Report("\"ev\":\"box_dismiss\",\"progress_visible\":%d", progress && IsWindowVisible(progress));
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)GetDlgItem(box, IDOK));
}

int main(int argc, char **argv)
{
    const char *stopFile;
    int interrupt = 0, interrupted = 0, quitAtBox = 0, i;
    DWORD boxDelay = 0, timeout = 120000;
    HWND progress = NULL, boxesSeen[MAX_BOXES];
    int boxesSeenCount = 0;
    LONG answersAtShow = 0;
    HANDLE threads[POLL_THREADS];

    if (argc < 3) {
        fprintf(stderr, "usage: ui_reader REPORT STOPFILE [--interrupt] [--quit-at-box] [--box-delay MS] "
                        "[--timeout MS]\n");
        return 2;
    }
    stopFile = argv[2];
    for (i = 3; i < argc; ++i) {
        if (strcmp(argv[i], "--interrupt") == 0)
            interrupt = 1;
        else if (strcmp(argv[i], "--quit-at-box") == 0)
            quitAtBox = 1;
        else if (strcmp(argv[i], "--box-delay") == 0 && i + 1 < argc)
            boxDelay = (DWORD)strtoul(argv[++i], NULL, 10);
        else if (strcmp(argv[i], "--timeout") == 0 && i + 1 < argc)
            timeout = (DWORD)strtoul(argv[++i], NULL, 10);
    }
    g_report = fopen(argv[1], "w");
    if (!g_report) {
        fprintf(stderr, "ui_reader: cannot write %s\n", argv[1]);
        return 2;
    }
    InitializeCriticalSection(&g_reportLock);
    QueryPerformanceFrequency(&g_frequency);
    QueryPerformanceCounter(&g_start);
    for (i = 0; i < POLL_THREADS; ++i)
        threads[i] = CreateThread(NULL, 0, PollPosition, (LPVOID)(INT_PTR)i, 0, NULL);
    Report("\"ev\":\"ready\"");

    while (Millis() < timeout && GetFileAttributesA(stopFile) == INVALID_FILE_ATTRIBUTES) {
        Found found;
        ZeroMemory(&found, sizeof found);
        EnumWindows(Visit, (LPARAM)&found);

        if (found.progress && found.progress != progress) {
            progress = found.progress;
            Report("\"ev\":\"progress_found\"");
            ReportProgressWindow(progress);
            g_bar = GetDlgItem(progress, PROGRESS_BAR_ID);
            answersAtShow = g_answers;
        }
        if (progress && !IsWindow(progress)) {
            g_bar = NULL;
            Report("\"ev\":\"progress_gone\",\"tick\":%lu", (unsigned long)GetTickCount());
            progress = NULL;
        }
        /* Once the bar has answered a few times: the downloads are running. */
        if (interrupt && !interrupted && progress && g_answers >= answersAtShow + 3) {
            interrupted = 1;
            TryToInterrupt(progress);
        }
        for (i = 0; i < found.boxCount; ++i) {
            int seen = 0, j;
            for (j = 0; j < boxesSeenCount; ++j)
                seen |= boxesSeen[j] == found.boxes[i];
            if (!seen && boxesSeenCount < MAX_BOXES) {
                boxesSeen[boxesSeenCount++] = found.boxes[i];
                HandleBox(found.boxes[i], progress, boxDelay, quitAtBox);
            }
        }
        Sleep(1);
    }

    g_stop = 1;
    WaitForMultipleObjects(POLL_THREADS, threads, TRUE, 5000);
    fclose(g_report);
    return 0;
}
