// Acquisition with a board: the check between viewer instances, the capture worker threads and the
// main-thread side of what they show (progress display, busy animation).
#pragma once

#include <windows.h>

#include "viewer/shell/message_table.h"

namespace kv {

// Work a capture worker hands to the main thread (wParam: one of AcquisitionUi).
constexpr UINT WM_KV_ACQ_UI = WM_APP + 0x40;
enum AcquisitionUi : WPARAM { kUiProgressOn = 1, kUiProgressOff, kUiProgressRepaint, kUiBusyEnd };

// Another viewer instance holds a board of this one's identity (four identity answers equal);
// with `capturingOnly`, only one whose capture is running counts.
bool anotherViewerHasThisBoard(HWND ownMainWindow, int deviceIndex, bool capturingOnly);

// Starts the single-capture (1012) or repetitive (1015) worker with the panel as argument; null
// when the thread could not be created.
HANDLE startBoardAcquisition(HWND panel, bool repetitive);

// The panel's handler of WM_KV_ACQ_UI.
int32_t acquisitionUiMessage(WinHandle panel, uint32_t message, MsgWParam wParam, MsgLParam lParam);

// Panel set-up with a board: the progress control drawn by the acquisition, and on a Nanlyn board
// the saved sample mode and sample-group word sent, so that its image is loaded before the first
// capture.
void setUpBoardPanel(HWND panel);

// Whether the Nanlyn progress display stands in place of the status field now.
bool progressDisplayShown();

}  // namespace kv
