// The time base and the cursors in the running viewer: zoom buttons, the two scroll bars and the
// real-time thumb box, inertial scrolling, the six cursors drawn with XOR over the waves with their
// markers, dragging them, the search-cursor buttons, the readouts and the measure button.
#pragma once

#include <windows.h>

#include <string>

#include "viewer/display/cursors.h"
#include "viewer/shell/message_table.h"

namespace kv {

// The cursors of the view.
CursorSet& cursorSet();

// The colour of cursor pen `penIndex` (trigger red, then A to E).
COLORREF cursorColor(int32_t penIndex);

// Hooks the cursor drawing and the mouse into the waveform area and sets up the scroll bars, the
// readouts and the zoom buttons. Called once the panel exists.
void initCursorView(HWND panel);

// Panel commands.
int32_t zoomCommand(WinHandle window, uint32_t id, uint32_t notifyCode, MsgLParam lParam);          // 1005, 1006
int32_t searchCursorCommand(WinHandle window, uint32_t id, uint32_t notifyCode, MsgLParam lParam);  // 1022-1024, 1031-1033
int32_t pickCursorCommand(WinHandle window, uint32_t id, uint32_t notifyCode, MsgLParam lParam);    // 1025-1030
int32_t measureModeCommand(WinHandle window, uint32_t id, uint32_t notifyCode, MsgLParam lParam);   // 1083
int32_t timingStateCommand(WinHandle window, uint32_t id, uint32_t notifyCode, MsgLParam lParam);   // 1093
int32_t thumbTrackCommand(WinHandle window, uint32_t id, uint32_t notifyCode, MsgLParam lParam);    // 1004

// Panel messages: the scroll bars 1017 and 1018.
int32_t cursorViewHScroll(WinHandle window, uint32_t message, MsgWParam wParam, MsgLParam lParam);
int32_t cursorViewVScroll(WinHandle window, uint32_t message, MsgWParam wParam, MsgLParam lParam);
// One tick of the inertial-scrolling timer (888).
void inertialTimerTick();

// Keys and wheel of the main window. True when the view used them.
bool cursorViewKeyDown(unsigned virtualKey, bool ctrl);
bool cursorViewWheel(int32_t delta, bool ctrl);

// Moves a cursor (kept inside the capture) and redraws the cursors, readouts and value column.
void placeCursor(int32_t index, int32_t position);
// Sets the focused cursor and refreshes the value column.
void focusCursor(int32_t index);

// After a change of the zoom, the first sample or the capture: enables the zoom buttons, sets the
// scroll bars and repaints the waves (the cursors follow the repaint).
void timeBaseChanged();

// The pen colour of a cursor (its line and marker).
COLORREF cursorPenColor(int32_t index);

// The sample frequency the readouts measure with: the selected rate of the rate list in demo mode.
int64_t readoutFrequency();

// The caption of readout k (0..2) in the current mode, e.g. "Timing (Form Cursor A to Cursor B)";
// shown as the readout's tip.
std::wstring readoutCaption(int32_t k);

}  // namespace kv
