/* A program built for the compiler's default, the Pentium Pro: the audit's
   instruction check must refuse it and name its conditional moves (from this
   code and from the toolchain's start-up). */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  (void)instance, (void)previous;
  return show > commandLine[0] ? show : commandLine[0];
}
