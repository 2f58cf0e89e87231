#include "flow/failed_run.h"

#include <windows.h>

#include "flow/error_box.h"
#include "flow/error_text.h"
#include "progress/progress_window.h"

int ReportFailedRun() {
  ShowErrorBox(kDownloadFailedText);
  CloseProgressWindow();
  return 1;
}

void EndFailedRun() {
  // ExitProcess, not exit(): this may be reached from inside the C runtime's
  // own exit, whose clean-up must not start a second time.
  ExitProcess(ReportFailedRun());
}
