#include "progress/progress_window.h"

#include "progress/progress_math.h"
#include "res/resource.h"
#include "shared/system_libraries.h"

HWND g_progressWindow = nullptr;
std::int32_t g_progressWeight = 0;

namespace {

const std::int32_t kProgressRange = 10000;

LRESULT SendToBar(UINT message, WPARAM wParam, LPARAM lParam) {
  return SendDlgItemMessageA(g_progressWindow, IDC_PROGRESS, message, wParam, lParam);
}

}  // namespace

bool RegisterProgressBarClass() {
  INITCOMMONCONTROLSEX controls = {};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_PROGRESS_CLASS;
  const auto initCommonControls = InitCommonControlsExFunction();
  return initCommonControls != nullptr && initCommonControls(&controls) != FALSE;
}

void OpenProgressWindow(HINSTANCE instance, HWND owner) {
  g_progressWindow = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_PROGRESS), owner, ProgressDialogProc, 0);
  // Without a window these two act on nothing; the run goes on regardless.
  SendToBar(PBM_SETRANGE32, 0, kProgressRange);
  ShowWindow(g_progressWindow, SW_SHOW);
  PumpPendingMessages();
}

void AdvanceProgress(std::int32_t delta) {
  if (g_progressWindow == nullptr) return;
  SendToBar(PBM_DELTAPOS, static_cast<WPARAM>(delta), 0);
  PumpPendingMessages();
}

void SetProgressPosition(std::int32_t position) {
  if (g_progressWindow == nullptr) return;
  SendToBar(PBM_SETPOS, static_cast<WPARAM>(position), 0);
  PumpPendingMessages();
}

void CloseProgressWindow() {
  if (g_progressWindow == nullptr) return;
  DestroyWindow(g_progressWindow);
  g_progressWindow = nullptr;
}

int PumpPendingMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
    // A quit message is taken off the queue and dropped on purpose, instead
    // of being posted again: the run has no main loop that could act on it.
    if (GetMessageA(&message, nullptr, 0, 0) == 0) return 0;
    if (g_progressWindow != nullptr && IsDialogMessageA(g_progressWindow, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}

INT_PTR CALLBACK ProgressDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

void OnTransferProgress(std::int32_t chunkBytes, std::int32_t totalBytes) {
  AdvanceProgress(ProgressDelta(chunkBytes, g_progressWeight, totalBytes));
}
