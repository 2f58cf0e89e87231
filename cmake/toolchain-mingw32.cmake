# Windows cross build with MinGW-w64, for one of two architectures:
#   i686    the shipped KorvaneInstaller.exe (32-bit, Windows 2000 and later);
#   x86_64  its twin from the same sources, run only by the tests under
#           Wine's 64-bit half on hosts that cannot execute 32-bit code.
# The posix-model compiler links winpthread, which imports functions that
# Windows 2000 lacks, so the shipped program always uses the -win32 variant.
set(KORVANE_WINDOWS_ARCH i686 CACHE STRING "Target architecture: i686 (shipped program) or x86_64 (test twin)")
set_property(CACHE KORVANE_WINDOWS_ARCH PROPERTY STRINGS i686 x86_64)
set(KORVANE_MINGW_THREADS win32 CACHE STRING "MinGW-w64 thread model: win32 (shipped program) or posix (GoogleTest runners)")
if(NOT KORVANE_WINDOWS_ARCH MATCHES "^(i686|x86_64)$")
  message(FATAL_ERROR "KORVANE_WINDOWS_ARCH must be i686 or x86_64, got '${KORVANE_WINDOWS_ARCH}'")
endif()

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${KORVANE_WINDOWS_ARCH})
set(CMAKE_C_COMPILER ${KORVANE_WINDOWS_ARCH}-w64-mingw32-gcc-${KORVANE_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${KORVANE_WINDOWS_ARCH}-w64-mingw32-g++-${KORVANE_MINGW_THREADS})
set(CMAKE_RC_COMPILER ${KORVANE_WINDOWS_ARCH}-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test executables run under Wine, in a throw-away prefix of the matching
# width (tests/e2e/wine_session.py knows how each is started).
if(KORVANE_WINDOWS_ARCH STREQUAL "i686")
  set(korvane_wine_arch win32)
else()
  set(korvane_wine_arch win64)
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR
    /usr/bin/python3 "${CMAKE_CURRENT_LIST_DIR}/../tests/e2e/wine_session.py" run --arch ${korvane_wine_arch})
