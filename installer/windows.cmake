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
  flow/server_urls.cpp
  flow/win_main.cpp
  download/http_fetch.cpp
  progress/progress_window.cpp
  shared/system_libraries.cpp
  res/installer.rc
)
target_include_directories(KorvaneInstaller PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/res ${CMAKE_CURRENT_BINARY_DIR}/res)
target_compile_definitions(KorvaneInstaller PRIVATE
  KORVANE_DOWNLOAD_HOST="${KORVANE_DOWNLOAD_HOST}"
  # Declare only what Windows 2000 offers.
  _WIN32_WINNT=0x0500 WINVER=0x0500 _WIN32_IE=0x0500)
target_compile_options(KorvaneInstaller PRIVATE
  $<$<COMPILE_LANGUAGE:CXX>:-Os -ffunction-sections -fdata-sections>)
# wininet and comctl32 are loaded at run time from the system folder
# (shared/system_libraries.cpp); only known DLLs are imported.
target_link_libraries(KorvaneInstaller PRIVATE korvane_core)
target_link_options(KorvaneInstaller PRIVATE
  # No MinGW runtime DLL that a clean system lacks.
  -static
  # Runs on Windows 2000: subsystem and OS version 5.0.
  -Wl,--subsystem,windows:5.0
  -Wl,--major-os-version,5 -Wl,--minor-os-version,0
  # Drop unused code and the symbol table: the installer is downloaded by every user.
  -Wl,--gc-sections -s
  # Byte-identical builds: no link timestamp.
  -Wl,--no-insert-timestamp)
