// The program's own start-up, in place of the toolchain's: the toolchain's
// start-up objects and libraries are built for the Pentium Pro and would
// stop the program on a Pentium before its first window. This program needs
// little of them: msvcrt.dll sets itself up when it is loaded, there are no
// console arguments to split, no thread-local data and no imported data to
// relocate. What is left: run the static constructors, call WinMain as the
// platform's start-up would, and end the process with its result. A static
// object with a destructor would need atexit(), which the program does not
// link: such an object fails the link instead of never being destroyed.

#include <windows.h>

#include <cstdlib>

// The linker lays the constructors out between a -1 and a 0.
extern "C" void (*__CTOR_LIST__[])();

namespace {

void RunStaticConstructors() {
  std::size_t count = 0;
  while (__CTOR_LIST__[count + 1] != nullptr) ++count;
  // Last to first, as GCC's start-up runs them.
  for (; count > 0; --count) __CTOR_LIST__[count]();
}

// The command line after the program's own name, which may be quoted and
// hold spaces. Code page 932 is safe here: no trail byte is a space or '"'.
char* CommandLineTail() {
  char* text = GetCommandLineA();
  bool quoted = false;
  for (; *text != '\0' && (quoted || (*text != ' ' && *text != '\t')); ++text) {
    if (*text == '"') quoted = !quoted;
  }
  while (*text == ' ' || *text == '\t') ++text;
  return text;
}

int ShowCommand() {
  STARTUPINFOA startup = {};
  GetStartupInfoA(&startup);
  return (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : SW_SHOWDEFAULT;
}

}  // namespace

// The entry point (windows.cmake names it to the linker).
extern "C" void WinMainCRTStartup() {
  RunStaticConstructors();
  // exit() writes out what the C runtime still buffers before the process ends.
  std::exit(WinMain(GetModuleHandleA(nullptr), nullptr, CommandLineTail(), ShowCommand()));
}
