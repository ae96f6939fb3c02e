#include "viewer/trigger/trigger_setup.h"

#include <cstring>

namespace kv {

TriggerSetup::TriggerSetup(const TriggerDevice& d) { resetTriggerSetup(*this, d); }

void resetTriggerSetup(TriggerSetup& s, const TriggerDevice& d) {
    s.device = d;
    for (int m = 0; m < kTriggerModes; ++m) resetTriggerRecord(s.slots[m], m, d);
    s.current = s.slots[kModeSingle];
    s.committed = s.current;
    std::memset(s.oneLevel, kConditionDontCare, sizeof s.oneLevel);
    s.standardMode = 0;
    if (d.nanlyn) {
        s.nanlynFirmware = -1;
        s.nanlynMemorySelect = 1;
    }
}

int triggerSlotOf(uint32_t mode) { return mode < static_cast<uint32_t>(kTriggerModes) ? static_cast<int>(mode) : 0; }

void resetTriggerSlot(TriggerSetup& s, int mode) {
    mode = triggerSlotOf(static_cast<uint32_t>(mode));
    resetTriggerRecord(s.slots[mode], mode, s.device);
}

void storeTriggerSlot(TriggerSetup& s, const TriggerRecord& r) { s.slots[triggerSlotOf(r.mode)] = r; }

void switchTriggerMode(TriggerSetup& s, int mode, bool keepNothing) {
    mode = triggerSlotOf(static_cast<uint32_t>(mode));
    const uint32_t memoryStack = s.current.flags & kTriggerFlagMemoryStack;
    const uint64_t frequency = s.current.frequency();
    const uint32_t clock = s.current.clock;
    // The protocol triggers exist only on the Nanlyn boards.
    const int slot = !s.device.nanlyn && mode >= kModeSerial ? kModeSingle : mode;
    s.current = s.slots[slot];
    if (mode == kModeNoTrigger || keepNothing) return;
    s.current.flags = (s.current.flags & ~kTriggerFlagMemoryStack) | memoryStack;
    s.current.setFrequency(frequency);
    s.current.clock = clock;
}

int programTrigger(TriggerRecord& r, const TriggerDevice& device, int deviceIndex, TriggerProgrammer program) {
    prepareForProgramming(r, device);
    uint8_t links[4 * kTriggerLevels];
    uint8_t call[kTriggerCallBytes];
    writeTriggerCall(triggerSpecOf(r, links), call);
    return program(deviceIndex, call);
}

}  // namespace kv
