// The trigger: checks of the caller's record, its expansion into per-slot patterns and counts, the
// unchanged test, and the programming of each board path.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/device.h"
#include "runtime/trigger_call.h"

namespace kv {

// Record fields by number.
enum : int {
    kTrFlags = 0,
    kTrPatternSize = 1,
    kTrLevels = 2,
    kTrDelay = 3,
    kTrWidth = 4,
    kTrPassCount = 5,
    kTrRateLow = 6,
    kTrSlotsPerLevel = 7,
    kTrKind = 8,
    kTrClockSource = 9,
    kTrPosition = 10,
    kTrRateHigh = 11,
};
enum : uint32_t {
    kTrFlagHalfRate = 0x1,
    kTrFlagStatusBit = 0x2,
    kTrFlagSecondSet = 0x4,
    kTrFlagModeBit7 = 0x8,
};
enum : uint8_t { kCondLow = 0, kCondFalling = 2, kCondRising = 4, kCondHigh = 6, kCondDontCare = 8 };
enum : int { kTriggerTableBytes = 0x10000 };

inline uint64_t triggerRate(const KvTriggerSpec& s) {
    return static_cast<uint64_t>(s.field[kTrRateHigh]) << 32 | s.field[kTrRateLow];
}

// The record expanded for a device: false when it does not fit (levels or slots 0, too many slots or
// pattern bytes for the device's pattern buffer, a missing buffer).
bool expandTrigger(const KvDevice& d, const KvTriggerSpec& s, TriggerCopy& out);
// True when the record would program exactly what the device holds.
bool triggerUnchanged(const KvDevice& d, const TriggerCopy& t);
// Programs an expanded trigger into the board and keeps it as the device's copy; 1 when done.
int programTrigger(KvDevice& d, const RuntimeEnv& env, TriggerCopy t);
// KvTrigger: expansion and programming; 0 when the record is refused (nothing sent).
int setTrigger(KvDevice& d, const RuntimeEnv& env, const KvTriggerSpec& s);

// A 64 KiB trigger table for one 16-channel group: byte v has bit k set when v matches slot k.
void buildTriggerTable(const TriggerCopy& t, int group, int firstSlot, int slots, bool reversed,
                       std::vector<uint8_t>& table);
// Pocket boards: the two sample words and the don't-care mask.
struct PocketTriggerWords {
    uint16_t a = 0, c = 0, mask = 0;
};
PocketTriggerWords pocketTriggerWords(const TriggerCopy& t);

// The Nanlyn level block: value masks (bit set = channel high) and care masks (bit set = compared)
// of 4 conditions x 16 slots, 6 bytes each, then one link word per condition (2 bits per slot).
enum : int {
    kNanlynMaskBytes = 6,
    kNanlynSlots = 16,
    kNanlynValueMasks = 0,
    kNanlynCareMasks = 384,
    kNanlynLinkWords = 768,
    kNanlynLevelStride = 64,
    kNanlynMaxLevels = 8,
};
constexpr uint64_t kNanlynChannelBits = (1ull << 36) - 1;
uint64_t nanlynMask(const uint8_t* block, int base, int condition, int slot);
// The single-device record conversion of the Nanlyn boards: the levels' code bytes (64 apart, at
// most 8 levels) become value and care masks, right-aligned in the first condition, with their links.
void convertNanlynRecord(const uint8_t* pattern, const uint8_t* counts, int levels,
                         uint8_t out[kTriggerPatternBytes]);

}  // namespace kv
