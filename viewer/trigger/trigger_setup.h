// The trigger set-up of the viewer: one record per trigger mode, the record in force, the copy
// taken when the user opens the trigger configuration, and the one-level buffer the single-level
// editor works on. Also the trigger position the acquisition arms with, and the flags that tell
// the acquisition whether the trigger in force has been handed to the runtime.
#pragma once

#include <atomic>
#include <cstdint>

#include "viewer/trigger/trigger_record.h"

namespace kv {

enum : int32_t {
    // The trigger cursor never stands on the first samples of a capture: the boards need a few
    // samples of history before they can recognise a condition.
    kMinTriggerPosition = 16,
    // A pass count of -1 means no trigger: the capture starts at once ("Disable Trigger").
    kPassCountNoTrigger = -1,
    // Where the trigger cursor stands until the user moves it: a tenth of the default demo depth
    // (5,000 samples), so a capture shows some history before the trigger and most of it after.
    kDefaultTriggerPosition = 500,
};

struct TriggerSetup {
    TriggerDevice device;
    TriggerRecord slots[kTriggerModes];
    TriggerRecord current;                     // the record in force
    TriggerRecord committed;                   // restored when a trigger edit is cancelled
    uint8_t oneLevel[kTriggerChannels];        // "One Level Trigger"
    int32_t standardMode = 0;                  // "iMxStdTrMode": last pattern mode on Nanlyn boards
    int32_t nanlynFirmware = -1;               // "Current F/W"
    int32_t nanlynMemorySelect = 1;            // "Current MemSel"
    int32_t triggerPosition = kDefaultTriggerPosition;  // samples before the trigger sample
    // The trigger in force has been handed to the runtime (or is being handed); a worker thread
    // programs it while `busy` is set.
    std::atomic<int> sent{0};
    std::atomic<int> busy{0};

    // Every slot at its defaults for the device, the one-level buffer all "X", mode 0 in force.
    explicit TriggerSetup(const TriggerDevice& device = TriggerDevice{});
    TriggerSetup(const TriggerSetup&) = delete;
    TriggerSetup& operator=(const TriggerSetup&) = delete;

    void setTriggerPosition(int32_t samples) {
        triggerPosition = samples < kMinTriggerPosition ? kMinTriggerPosition : samples;
    }
};

// Resets every slot and the one-level buffer for `device`, with mode 0 in force.
void resetTriggerSetup(TriggerSetup& s, const TriggerDevice& device);
// A mode word as a slot number: anything outside 0..9 (a damaged project) counts as mode 0.
int triggerSlotOf(uint32_t mode);
// Reset slot / Store into slot.
void resetTriggerSlot(TriggerSetup& s, int mode);
void storeTriggerSlot(TriggerSetup& s, const TriggerRecord& r);
// Switch mode: the slot of `mode` becomes the record in force (the single-level slot for modes 5-9
// on 64-channel devices). Unless `keepNothing`, the memory-stack flag, sample frequency and clock
// selection of the previous record are carried over (never into mode 4, which loads as stored).
void switchTriggerMode(TriggerSetup& s, int mode, bool keepNothing);

// Program trigger: prepares `r` for the hand-off (in place, as the record in force is) and calls
// `program` (KvTrigger) with the device index and the boundary form of the record; returns its
// result (non-zero: programmed).
using TriggerProgrammer = int (*)(int index, void* callRecord);
int programTrigger(TriggerRecord& r, const TriggerDevice& device, int deviceIndex, TriggerProgrammer program);

}  // namespace kv
