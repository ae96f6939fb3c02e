// Acquisition commands of the main panel and the Demo dialog: the entry points main_panel_win.cpp
// wires into its command and message tables.
#pragma once

#include <windows.h>

#include "viewer/files/wave_save.h"
#include "viewer/shell/message_table.h"

namespace kv {

// lParam of the WM_KV_ACQ_CONTROLS (wParam 1) a capture worker sends as its very last act: the
// panel then ends the busy animation and forgets the worker (finishAcquisition). Controls enabled
// for any other reason carry 0.
constexpr LPARAM kAcquisitionEnded = 0x4B56454E;

// 1012 "Acquire Data" and 1015 "Repetitive Acquisition".
int32_t acquireCommand(WinHandle panel, uint32_t commandId, uint32_t notifyCode, MsgLParam lParam);
// 1092: the Demo dialog (template 230).
int32_t demoDialogCommand(WinHandle panel, uint32_t commandId, uint32_t notifyCode, MsgLParam lParam);

// The window title's unsaved mark, set once per capture (any thread: it is a synchronous message).
void markTitleUnsaved();
// Ctrl+1: a completed capture written under the automatic name with `counter`; the time stamp is
// taken when the counter is 0 and kept by the caller for the following ones.
void saveCaptureAutomatically(int counter, FileTimeStamp& stamp);

// The main thread's part of the end of an acquisition: busy icon 0, timer 2 killed, the worker's
// handle closed and forgotten.
void finishAcquisition(HWND panel);

// Demo mode: the sample-rate list (1043) gets the demo rates, the default selected.
void fillDemoRateList(HWND panel);

// The Demo dialog, modal over `parent`; returns 1 however it ends.
INT_PTR runDemoDialog(HWND parent);

}  // namespace kv
