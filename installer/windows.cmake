# KorvaneInstaller.exe. Every linker decision sits here with its reason.

find_program(KORVANE_PYTHON NAMES python3 REQUIRED)

# The icon is drawn by a script kept beside the resource script.
set(KORVANE_ICON ${CMAKE_CURRENT_BINARY_DIR}/res/app.ico)
add_custom_command(
  OUTPUT ${KORVANE_ICON}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/res
  COMMAND ${KORVANE_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/res/make_icon.py ${KORVANE_ICON}
  DEPENDS res/make_icon.py
  COMMENT "Drawing the application icon")
set_source_files_properties(res/installer.rc PROPERTIES
  OBJECT_DEPENDS "${KORVANE_ICON};${CMAKE_CURRENT_SOURCE_DIR}/res/installer.manifest;${CMAKE_CURRENT_SOURCE_DIR}/res/resource.h")

add_executable(KorvaneInstaller WIN32
  flow/error_box.cpp
  flow/execute.cpp
  flow/failed_run.cpp
  flow/server_urls.cpp
  flow/startup.cpp
  flow/win_main.cpp
  download/http_fetch.cpp
  progress/progress_window.cpp
  shared/allocation.cpp
  shared/system_libraries.cpp
  res/installer.rc
)
target_include_directories(KorvaneInstaller PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/res ${CMAKE_CURRENT_BINARY_DIR}/res)
target_compile_definitions(KorvaneInstaller PRIVATE
  KORVANE_DOWNLOAD_HOST="${KORVANE_DOWNLOAD_HOST}"
  # Declare only what Windows 2000 offers.
  _WIN32_WINNT=0x0500 WINVER=0x0500 _WIN32_IE=0x0500)
# Size. Neither the program nor the logic it shares with the native tests
# throws or catches, so no landing pads and no unwind tables are needed; with
# exceptions off, a try or catch added later fails to compile.
set(KORVANE_CODE_OPTIONS -Os -ffunction-sections -fdata-sections -fno-exceptions -fno-asynchronous-unwind-tables)
# Symbol names as the linker sees them: the 32-bit ABI puts one more
# underscore in front of every C and C++ name, the 64-bit ABI does not.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(symbol_prefix _)
  # Windows 2000 and XP run on the Pentium and the Pentium MMX, which lack
  # what the compiler's default, the Pentium Pro, adds (cmov, fcomi, the long
  # nop). Tuned for today's processors all the same.
  list(APPEND KORVANE_CODE_OPTIONS -march=i586 -mtune=generic)
  # The 64-bit division helper of its own (libgcc's is built for the Pentium Pro).
  target_sources(KorvaneInstaller PRIVATE shared/compiler_helpers.cpp)
else()
  set(symbol_prefix "")
endif()
target_compile_options(KorvaneInstaller PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${KORVANE_CODE_OPTIONS}>)
target_compile_options(korvane_core PRIVATE ${KORVANE_CODE_OPTIONS})
# wininet and comctl32 are loaded at run time from the system folder
# (shared/system_libraries.cpp); only known DLLs are imported. The C runtime
# is the system's msvcrt.dll.
target_link_libraries(KorvaneInstaller PRIVATE korvane_core msvcrt)
target_link_options(KorvaneInstaller PRIVATE
  # Nothing of the toolchain's start-up objects and libraries (crt2.o,
  # libmingw32, libmingwex, libgcc, libstdc++): they are built for the
  # Pentium Pro, and no MinGW runtime DLL is needed. The start-up is the
  # program's own (flow/startup.cpp); a library function that the program
  # starts to need fails the link.
  -nostdlib
  "LINKER:--entry,${symbol_prefix}WinMainCRTStartup"
  # Data imported without dllimport would need the run-time relocator of the
  # toolchain's start-up: refused at link time instead.
  "LINKER:--disable-auto-import"
  # Runs on Windows 2000: subsystem and OS version 5.0.
  -Wl,--subsystem,windows:5.0
  -Wl,--major-os-version,5 -Wl,--minor-os-version,0
  # Drop unused code and the symbol table: the installer is downloaded by every user.
  -Wl,--gc-sections -s
  # Byte-identical builds: no link timestamp.
  -Wl,--no-insert-timestamp)

# libstdc++'s error paths (the inline std::string code calls them, for a
# length past max_size(), say) end the run as a failed one: the error box,
# then exit code 1 (flow/failed_run.cpp), as an allocation failure does
# (shared/allocation.cpp). Each of them would throw an exception that nothing
# catches; libstdc++ is not linked, and with it neither the exception classes
# nor the terminate handler that would end in msvcrt's abort() box and exit
# code 3.
foreach(function IN ITEMS
    _ZSt16__throw_bad_castv _ZSt17__throw_bad_allocv _ZSt18__throw_bad_typeidv
    _ZSt19__throw_logic_errorPKc _ZSt19__throw_range_errorPKc _ZSt20__throw_domain_errorPKc
    _ZSt20__throw_length_errorPKc _ZSt20__throw_out_of_rangePKc _ZSt21__throw_bad_exceptionv
    _ZSt21__throw_runtime_errorPKc _ZSt22__throw_overflow_errorPKc _ZSt23__throw_underflow_errorPKc
    _ZSt24__throw_invalid_argumentPKc _ZSt24__throw_out_of_range_fmtPKcz _ZSt28__throw_bad_array_new_lengthv)
  target_link_options(KorvaneInstaller PRIVATE "LINKER:--defsym,${symbol_prefix}${function}=${symbol_prefix}EndFailedRun")
endforeach()
