// The Search dialog ("Search Specified Pattern or State", command 1156) and Search Next (1016).
#pragma once

#include <windows.h>

#include "viewer/display/search.h"
#include "viewer/shell/message_table.h"

namespace kv {

// Fills a combo box with the interval ends: buffer head, the six cursors, buffer tail.
void addSearchPositions(HWND combo);

// The setting of the last confirmed search.
const SearchSetting& searchSetting();

// Command 1156: edits a copy of the setting; OK keeps it and searches the chosen interval. A match
// puts cursor B on it, focuses and shows B and writes 244 with the count; none writes 245.
int32_t searchPatternCommand(WinHandle window, uint32_t id, uint32_t notifyCode, MsgLParam lParam);
// Command 1016: the last search again, from the sample after cursor B to the interval's end.
int32_t searchNextCommand(WinHandle window, uint32_t id, uint32_t notifyCode, MsgLParam lParam);

}  // namespace kv
