// The installer's run: working folder, downloads, launch, exit code.

#include <windows.h>

#include "download/http_fetch.h"
#include "flow/content_list.h"
#include "flow/error_box.h"
#include "flow/execute.h"
#include "flow/failed_run.h"
#include "flow/run_paths.h"
#include "flow/server_urls.h"
#include "progress/progress_window.h"
#include "res/resource.h"
#include "shared/system_libraries.h"

namespace {

const std::int32_t kSetupWeight = 9900;
const std::int32_t kContentWeight = 100;
const std::int32_t kBarFull = 10000;

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  RestrictLibrarySearch();
  LoadStringA(instance, IDS_TITLE, g_appTitle, sizeof g_appTitle);

  // Every path is composed before anything is created or requested: a temp
  // folder that cannot be had, or is too long for its paths, ends the run.
  PathBuffer tempFolder = {};
  const DWORD tempLength = GetTempPathA(sizeof tempFolder, tempFolder);
  RunPaths paths;
  if (tempLength == 0 || tempLength >= sizeof tempFolder || ComposeRunPaths(kAppBaseUrl, tempFolder, paths) != 0) {
    return ReportFailedRun();
  }

  // Results not examined: removal only succeeds on an empty folder, so files
  // of an earlier run stay and are overwritten; a folder that could not be
  // created makes the first file creation fail.
  RemoveDirectoryA(paths.workingFolder);
  CreateDirectoryA(paths.workingFolder, nullptr);

  // Without the class the dialog cannot be created, and the run goes on
  // without a window.
  RegisterProgressBarClass();
  OpenProgressWindow(instance, nullptr);

  g_progressWeight = kSetupWeight;
  if (FetchIntoFolder(paths.appBaseUrl, "setup.exe", paths.workingFolder, OnTransferProgress) != FETCH_OK) {
    return ReportFailedRun();
  }

  CreateDirectoryA(paths.contentsFolder, nullptr);  // result not examined, as above
  g_progressWeight = kContentWeight;
  if (FetchContentFiles(kContentList, kContentBaseUrl, paths.contentsFolder, FetchIntoFolder, OnTransferProgress) !=
      FETCH_OK) {
    return ReportFailedRun();
  }

  SetProgressPosition(kBarFull);
  CloseProgressWindow();
  // A setup program that cannot be started is not reported.
  ExecuteAndWait(SetupCommandLine(paths.setupPath).c_str());
  return 0;
}
