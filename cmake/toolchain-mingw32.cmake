# 32-bit Windows cross build with MinGW-w64, win32 thread model.
# The posix-model compiler links winpthread, which imports functions that
# Windows 2000 lacks, so the shipped program always uses the -win32 variant.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(KORVANE_MINGW_THREADS win32 CACHE STRING "MinGW-w64 thread model: win32 (shipped program) or posix (GoogleTest runners)")
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-${KORVANE_MINGW_THREADS})
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-${KORVANE_MINGW_THREADS})
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test executables run under Wine in a private prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh")
