#include "viewer/trigger/trigger_setup.h"

#include <cstring>

namespace kv {

TriggerSetup::TriggerSetup() { std::memset(conditions, kConditionDontCare, sizeof conditions); }

void TriggerSetup::setTriggerPosition(int32_t samples) {
    triggerPosition = samples < kMinTriggerPosition ? kMinTriggerPosition : samples;
}

bool isConditionCode(uint8_t code) {
    switch (code) {
        case kConditionLow:
        case kConditionHigh:
        case kConditionRising:
        case kConditionFalling:
        case kConditionEitherEdge: return true;
        default: return false;
    }
}

bool triggerIsNone(const TriggerSetup& setup) {
    if (setup.passCount < 0) return true;
    const int channels = setup.memoryStack() ? kTriggerChannels / 2 : kTriggerChannels;
    for (int c = 0; c < channels; ++c)
        if (isConditionCode(setup.conditions[c])) return false;
    return true;
}

}  // namespace kv
