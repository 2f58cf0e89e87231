/* Imports wininet statically, as any program linked with -lwininet does:
 * the control for the planting tests. Run beside a planted wininet.dll, the
 * loader takes that copy, whose DllMain records it.
 *
 * Exit code: 0 when InternetOpenA gave a session (a real wininet), 1 when
 * it failed (the planted copy's always fails).
 */
#include <windows.h>
#include <wininet.h>

int main(void)
{
    HINTERNET session = InternetOpenA("korvane-probe", INTERNET_OPEN_TYPE_DIRECT, NULL, NULL, 0);
    if (session == NULL)
        return 1;
    InternetCloseHandle(session);
    return 0;
}
