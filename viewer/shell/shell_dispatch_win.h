// Dispatch of Win32 messages through the viewer's message and command tables, and the pieces of
// the main panel that the main window calls.
#pragma once

#include <windows.h>

#include "viewer/shell/message_table.h"

namespace kv {

// Walks the table; unmatched messages go to the table's default procedure.
LRESULT dispatchWindowMessage(const MessageTable& table, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The same for a dialog procedure (the result is the dialog procedure's).
INT_PTR dispatchDialogMessage(const MessageTable& table, HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// WM_COMMAND through a command table; an unknown id goes to the default procedure as WM_COMMAND.
LRESULT dispatchCommand(const CommandTable& table, HWND window, WPARAM wParam, LPARAM lParam);

// A key released on the main window (virtual-key code).
void handleKeyUp(unsigned virtualKey);

ATOM registerWaveAreaClass(HINSTANCE instance);

}  // namespace kv
