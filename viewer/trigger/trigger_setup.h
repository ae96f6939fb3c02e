// The trigger set-up an acquisition reads: one condition code per channel, the pass count, the
// flags word and the trigger position. The trigger editors fill it; until they exist it holds the
// defaults below, with which every capture starts at once.
#pragma once

#include <cstdint>

namespace kv {

// Channel condition codes, as the level editors produce them.
enum TriggerCondition : uint8_t {
    kConditionLow = 0,
    kConditionFalling = 2,
    kConditionRising = 4,
    kConditionHigh = 6,
    kConditionDontCare = 8,
    kConditionEitherEdge = 10,
};

enum : int32_t {
    kTriggerChannels = 64,
    // The trigger cursor never stands on the first samples of a capture: the boards need a few
    // samples of history before they can recognise a condition.
    kMinTriggerPosition = 16,
    // A pass count of -1 means no trigger: the capture starts at once ("Disable Trigger").
    kPassCountNoTrigger = -1,
    // Where the trigger cursor stands until the user moves it: a tenth of the default demo depth
    // (5,000 samples), so a capture shows some history before the trigger and most of it after.
    kDefaultTriggerPosition = 500,
};

// Flags word: bit 0 memory-stack mode (32-bit samples, channels 0-31), bit 1 pre-trigger,
// bit 2 either-edge pattern.
enum : uint32_t {
    kTriggerFlagMemoryStack = 1u << 0,
    kTriggerFlagPreTrigger = 1u << 1,
    kTriggerFlagEitherEdge = 1u << 2,
};

struct TriggerSetup {
    uint8_t conditions[kTriggerChannels];  // one code per channel
    int32_t passCount = 0;                 // occurrences to let pass; -1: no trigger
    uint32_t flags = 0;
    int32_t triggerPosition = kDefaultTriggerPosition;  // samples before the trigger sample

    TriggerSetup();                         // every channel "don't care", pass count 0

    bool memoryStack() const { return (flags & kTriggerFlagMemoryStack) != 0; }
    // Sets the trigger position, keeping it at or above kMinTriggerPosition.
    void setTriggerPosition(int32_t samples);
};

// True when a code asks something of its channel (low, high or an edge).
bool isConditionCode(uint8_t code);

// The set-up has no trigger: the pass count is negative, or no channel that takes part
// (channels 0-31 in memory-stack mode, all 64 otherwise) carries a condition.
bool triggerIsNone(const TriggerSetup& setup);

}  // namespace kv
