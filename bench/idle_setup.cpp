// Benchmark setup program: stays alive for KORVANE_BENCH_IDLE_MS
// milliseconds (3000 by default) so the waiting installer's memory can be
// read, then exits. The benchmark appends padding after the image; the
// loader ignores such trailing data.

#include <windows.h>

#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char text[16] = {};
  DWORD idle = 3000;
  const DWORD length = GetEnvironmentVariableA("KORVANE_BENCH_IDLE_MS", text, sizeof text);
  if (length > 0 && length < sizeof text) {
    idle = static_cast<DWORD>(std::strtoul(text, nullptr, 10));
  }
  Sleep(idle);
  return 0;
}
