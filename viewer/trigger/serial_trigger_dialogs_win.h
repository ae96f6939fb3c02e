// The serial-protocol and glitch trigger editors of the Nanlyn boards: "UART Trigger Setting",
// "I2C Trigger Setting", "SPI Trigger Setting", "I2S Trigger Setting" and "Glitch Trigger Setting".
#pragma once

#include <windows.h>

#include "viewer/trigger/trigger_record.h"

namespace kv {

// Runs the editor of a protocol or glitch mode (5-9) on a copy of `record`; on OK the copy, compiled
// and completed, replaces it and true is returned. Cancel or close leaves `record` untouched.
bool runSerialTriggerEditor(HWND owner, int mode, TriggerRecord& record);

}  // namespace kv
