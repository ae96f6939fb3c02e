// Configure trigger (command 1007, Ctrl+T): the mode choice, the Trigger Method dialog, the level
// editors (Configure Trigger, Multi-Level Trigger, Multi-Condition Trigger) and the hand-off of a
// confirmed edit to the runtime on a worker thread.
#pragma once

#include <windows.h>

#include <vector>

#include "viewer/shell/message_table.h"
#include "viewer/trigger/trigger_setup.h"

namespace kv {

// Fills the trigger set-up's device facts from the open device (or demo mode) and resets every
// slot. Part of start-up, after the device limits are known.
void initTriggerSetup();

// Command 1007.
int32_t configureTriggerCommand(WinHandle window, uint32_t id, uint32_t notifyCode, MsgLParam lParam);
// The whole command; false when it was cancelled (the record in force is then as before).
bool configureTrigger(HWND owner);

// The runtime call of the hand-off; tests replace it. Returns the previous one.
TriggerProgrammer setTriggerProgrammer(TriggerProgrammer programmer);
// Starts the worker that programs the record in force (sets the sent and busy flags; the worker
// clears busy when KvTrigger has returned).
void startTriggerProgramming();
// Waits, yielding the processor, until no worker programs the trigger.
void waitForTriggerProgramming();

// Chooses an item of a channel button's popup: the command id, or 0 for none. Tests replace it to
// see which items are offered.
using TriggerMenuChooser = int (*)(HWND owner, HMENU menu);
TriggerMenuChooser setTriggerMenuChooser(TriggerMenuChooser chooser);

}  // namespace kv
