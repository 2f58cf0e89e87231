/* Imports comctl32 statically, as any program linked with -lcomctl32 does:
 * the control for the planting tests. Run beside a planted comctl32.dll,
 * the loader takes that copy, whose DllMain records it.
 *
 * Exit code: 0 when InitCommonControlsEx registered the progress bar class
 * (a real comctl32), 1 when it failed (the planted copy's always fails).
 */
#include <windows.h>
#include <commctrl.h>

int main(void)
{
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_PROGRESS_CLASS;
    return InitCommonControlsEx(&controls) ? 0 : 1;
}
