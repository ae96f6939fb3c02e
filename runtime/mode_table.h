// Sample modes of the Nanlyn boards. Each mode has one FPGA image (its id is the image's resource id)
// and one 192-byte mode record handed to callers.
#pragma once

#include <cstdint>

namespace kv {

enum : int { kModeCount = 35, kModeRecordBytes = 192, kModeTextBytes = 128 };

struct KvModeInfo {
    int32_t group = 0;            // Nanlyn variant bits (1, 2, 4) or 7 for the common modes
    int32_t reserved4 = 0;
    int32_t modeId = 0;           // also the FPGA image resource id
    int32_t reserved12 = 0;
    uint64_t highestRate = 0;     // Hz
    const char* description = ""; // stored NUL-terminated in 128 bytes
    uint32_t features = 0;
    int32_t channels = 0;
    int32_t depth = 0;            // samples
    int32_t usableDepth = 0;      // samples
    int32_t samplesPerWord = 0;
    int32_t triggerSetup = 0;
    int32_t largestCount = 0;
    int32_t triggerBlock = 0;     // 16 for the full level trigger and hardware serial triggers, else 1
    int32_t triggerBlock2 = 0;    // 4 for the same modes, else 1
    int32_t one = 1;
};

// Feature bits the library itself acts on.
enum : uint32_t {
    kModeFeatureLoadFlag = 0x1,        // sent with the image-load command
    kModeFeatureTimeStamp = 0x4,
    kModeFeatureLogger = 0x10,
    kModeFeatureSampleGroup = 0x20,
    kModeFeatureGlitch = 0x40,
    kModeFeatureExtClock = 0x80,
    kModeFeatureUart = 0x20000,
    kModeFeatureSpi = 0x40000,
    kModeFeatureI2c = 0x80000,
    kModeFeatureI2s = 0x100000,
};

extern const KvModeInfo kModeTable[kModeCount];

// Table position of the first entry with this id, or -1.
int modePosition(int modeId);
// The position of this board's equivalent of the mode with the given id, or -1 (variant bits 1, 2, 4;
// 0 for boards without a variant).
int equivalentModePosition(int modeId, int nanlynVariant);

void encodeModeInfo(const KvModeInfo& m, uint8_t out[kModeRecordBytes]);

// Mode numbers of the single-device call ukvSetHwInfo(5, n).
struct UkvModeChoice {
    bool known = false;
    bool doesNothing = false;   // 101-103: accepted, nothing changes
    int modeId = -1;            // -1: no mode to select (board without a variant bit)
    uint32_t sampleGroup = 0;
};
UkvModeChoice ukvModeChoice(int number, int nanlynVariant);

}  // namespace kv
