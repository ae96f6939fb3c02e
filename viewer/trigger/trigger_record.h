// The trigger record of the viewer: fourteen header words, 1,024 bytes of level data and sixteen
// link codes, and the rules that turn the editors' channel codes into level data for the two
// board lines (byte-per-channel levels on the 64-channel analyzers, bit masks on the Nanlyn boards)
// and back. Every record owns its buffers: a copy never shares them with the original.
#pragma once

#include <array>
#include <cstdint>

#include "runtime/trigger_call.h"

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
    kTriggerLevels = 16,
    kTriggerLevelBytes = 64,      // level stride: one byte per channel
    kTriggerModes = 10,
    kNanlynChannels = 36,
    kNanlynConditions = 4,
    // Nanlyn layout: value masks, care masks (4 conditions x 16 slots x 6 bytes each), then four
    // link words.
    kNanlynMaskBytes = 6,
    kNanlynCareOffset = 384,
    kNanlynLinkOffset = 768,
    kNanlynLayoutBytes = 784,
    kTriggerDelayMax = 0x0FFFFFFF,
    kTriggerWidthMax = 1023,
    // Pass counts without a board.
    kDefaultHighestPassCount = 256,
};

// Trigger modes (the record's mode word).
enum TriggerMode : int32_t {
    kModeSingle = 0,
    kModeMulti = 1,
    kModeDual = 2,      // two paths of 4 levels; Nanlyn boards: four conditions of up to 16 levels
    kModeWidth = 3,
    kModeNoTrigger = 4,
    kModeSerial = 5,
    kModeGlitch = 6,
    kModeI2c = 7,
    kModeSpi = 8,
    kModeI2s = 9,
};

// Link codes of the level sequence.
enum : uint32_t { kLinkContinuous = 0, kLinkDiscontinuous = 1, kLinkEnd = 2 };

// Flags word.
enum : uint32_t {
    kTriggerFlagMemoryStack = 1u << 0,  // 32-bit samples; shown times use half the sample frequency
    kTriggerFlagPreTrigger = 1u << 1,
    kTriggerFlagEitherEdge = 1u << 2,   // the single level runs as two paths: rising and falling
};

struct TriggerRecord {
    uint32_t flags = 0;
    uint32_t levelStride = kTriggerLevelBytes;
    uint32_t levelCount = 0;
    uint32_t delay = 0;              // sample clocks after the trigger
    int32_t width = 0;               // mode 3: > 0 longer than, < 0 shorter than
    int32_t passCount = 0;           // -1: no trigger
    uint32_t frequencyLow = 0;
    uint32_t levelRepeat = 1;        // sample clocks each level must hold
    uint32_t mode = 0;
    uint32_t clock = 1;              // bit 0: internal sample clock
    uint32_t triggerPosition = 0;    // set by the acquisition, never by the editors
    uint32_t frequencyHigh = 0;
    uint32_t reserved = 0;
    uint32_t conditionCounts = 0;    // Nanlyn mode 2: byte c = levels of condition c
    std::array<uint32_t, kTriggerLevels> links{};
    std::array<uint8_t, kTriggerPatternBytes> data{};

    uint64_t frequency() const { return uint64_t{frequencyHigh} << 32 | frequencyLow; }
    void setFrequency(uint64_t hz) {
        frequencyLow = static_cast<uint32_t>(hz);
        frequencyHigh = static_cast<uint32_t>(hz >> 32);
    }
    uint8_t* level(int l) { return data.data() + kTriggerLevelBytes * l; }
    const uint8_t* level(int l) const { return data.data() + kTriggerLevelBytes * l; }
};

bool operator==(const TriggerRecord& a, const TriggerRecord& b);
inline bool operator!=(const TriggerRecord& a, const TriggerRecord& b) { return !(a == b); }

// The header as the fourteen boundary words, and back.
void triggerFields(const TriggerRecord& r, uint32_t field[kTriggerDataWords]);
void setTriggerFields(TriggerRecord& r, const uint32_t field[kTriggerDataWords]);

// The device facts the trigger rules depend on.
struct TriggerDevice {
    int32_t productCode = 0x1164;
    bool nanlyn = false;              // 0x2036, 0x2136, 0x2236: tested first wherever both matter
    int32_t channelCount = 64;
    int32_t highestPassCount = kDefaultHighestPassCount;
    uint32_t family = 0;              // hardware-info family item
    bool scopeStacked = false;
};

bool isNanlynProduct(int32_t productCode);
// Boards that take a single level only (no Trigger Method choice).
bool isDirectTriggerFamily(int32_t productCode);
// Whether a channel popup may offer the either-edge item.
bool offersEitherEdge(const TriggerDevice& device);

// The defaults of a mode slot, keeping the record's buffers.
void resetTriggerRecord(TriggerRecord& r, int mode, const TriggerDevice& device);

// --- single level: the one-level buffer against the level data ---------------------------------

// Stores the one-level buffer (64 codes) into a 64-channel record: an edge becomes two levels, an
// either-edge two paths (levels 0-1 rising, 4-5 falling).
void storeOneLevel(TriggerRecord& r, const uint8_t oneLevel[kTriggerChannels], int channelCount);
// The pattern the editor shows for a 64-channel record.
void readOneLevel(const TriggerRecord& r, uint8_t oneLevel[kTriggerChannels]);
// The same for the Nanlyn layout (36 channels; the others show "X").
void storeOneLevelNanlyn(TriggerRecord& r, const uint8_t oneLevel[kTriggerChannels]);
void readOneLevelNanlyn(const TriggerRecord& r, uint8_t oneLevel[kTriggerChannels]);
// Either layout, by device.
void storeOneLevelFor(TriggerRecord& r, const uint8_t oneLevel[kTriggerChannels], const TriggerDevice& device);
void readOneLevelFor(const TriggerRecord& r, uint8_t oneLevel[kTriggerChannels], const TriggerDevice& device);

// --- Nanlyn levels: working copies in the 64-byte layout ---------------------------------------

// Condition c's levels of a Nanlyn record as 64-byte levels with link codes, into `work` (a copy
// of `r` otherwise); `count` levels are read (0: none, all "X" without an end link).
void readNanlynLevels(const TriggerRecord& r, int condition, int count, TriggerRecord& work);
// Writes the first `count` levels of `work` into condition c of `r`, right-aligned, with their links.
void storeNanlynLevels(TriggerRecord& r, int condition, const TriggerRecord& work, int count);
// The number of levels up to and including the first end link; 0 without one.
int levelsToEnd(const TriggerRecord& r, int first = 0);

// --- completing a confirmed edit ----------------------------------------------------------------

// Sets level count, mode, width and level repeat of a confirmed editor's result. For Nanlyn mode 2
// `conditions` holds the four working copies, which are stored into `r`.
void completeTriggerRecord(TriggerRecord& r, int mode, const TriggerDevice& device,
                           const TriggerRecord* conditions = nullptr);

// --- the hand-off --------------------------------------------------------------------------------

// The record as handed to the runtime: stride 64, and for direct-trigger boards no delay or width
// and each level held two clocks on the internal clock unless the pattern is an edge.
void prepareForProgramming(TriggerRecord& r, const TriggerDevice& device);
// The boundary form of a prepared record. `links` receives the 16 link codes as little-endian
// words and must live as long as the spec is used; the pattern address is the record's data.
KvTriggerSpec triggerSpecOf(const TriggerRecord& r, uint8_t links[4 * kTriggerLevels]);

}  // namespace kv
