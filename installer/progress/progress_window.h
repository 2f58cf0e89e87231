#pragma once

#include <windows.h>

#include <cstdint>

// The progress dialog; null before it opens, after it closes, and when it
// could not be created. Every operation below but the pump does nothing then.
extern HWND g_progressWindow;

// Bar units one whole file is worth in the current phase: written by the
// flow (9900 for the setup program, 100 per content file), read by
// OnTransferProgress.
extern std::int32_t g_progressWeight;

// Registers the progress bar class, so the dialog can be created. false when
// the platform refused.
bool RegisterProgressBarClass();

// Creates dialog 103, sets the bar's range to 0..10000, shows it and pumps.
void OpenProgressWindow(HINSTANCE instance, HWND owner);

// Moves the bar by delta units (0 included) and pumps.
void AdvanceProgress(std::int32_t delta);

// Sets the bar to position and pumps.
void SetProgressPosition(std::int32_t position);

// Destroys the dialog and nulls g_progressWindow.
void CloseProgressWindow();

// Dispatches every queued message without waiting for one. Always 0.
int PumpPendingMessages();

// Handles nothing: the default dialog handling applies, and Esc, which the
// dialog manager turns into a cancel command, has no effect.
INT_PTR CALLBACK ProgressDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The TransferProgressFn of every download: advances the bar by this chunk's
// share of g_progressWeight.
void OnTransferProgress(std::int32_t chunkBytes, std::int32_t totalBytes);
