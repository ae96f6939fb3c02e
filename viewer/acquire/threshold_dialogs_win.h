// Configure Threshold (template 119) and Custom Threshold (template 145).
#pragma once

#include <windows.h>

#include "viewer/acquire/threshold_scale.h"
#include "viewer/shell/message_table.h"

namespace kv {

// The pods' levels in force (what the last confirmed Configure Threshold sent).
PodThresholds& podThresholds();

// Command 1014 (Ctrl+V).
int32_t thresholdCommand(WinHandle window, uint32_t id, uint32_t notifyCode, MsgLParam lParam);
void runCustomThreshold(HWND parent);

}  // namespace kv
