// Rules of an acquisition with a board that do not depend on Windows: which boards are the same
// board for two viewer instances, which 8-channel lanes to read back, where a block-repeat capture
// is armed, how a forced stop is shown, the Nanlyn progress animation, and how the runtime's
// sample-mode record and read-back describe the samples in the capture buffer.
#pragma once

#include <cstdint>
#include <vector>

namespace kv {

class SampleStore;
struct LabelTable;

// The four identity answers two viewer instances compare: interface code, board family,
// sub-index and product code (hardware-information selectors 0x96940001-0x96940004).
enum : int { kIdentityWords = 4 };
extern const uint32_t kIdentitySelectors[kIdentityWords];
bool sameBoardIdentity(const uint32_t a[kIdentityWords], const uint32_t b[kIdentityWords]);

// Read-back lanes: bit (c / 8) for every labelled channel c with 64-bit samples; with 32-bit
// samples (memory stacking) the two halves of the board's memory hold channels 0-31 twice over,
// so channel group k is read from lanes k and k + 4 (bits 17 << k).
uint32_t laneMask(const LabelTable& labels, bool halfWidthSamples);

// Block-repeat (time-stamp) modes arm in whole tenths of the mode's memory: the trigger position
// as tenths of the logical capture (1 to 9), of the mode's depth, rounded down to whole blocks of
// 20 samples.
int32_t blockRepeatArmPosition(int32_t triggerPosition, int32_t logicalCount, int32_t modeDepth);

// After a forced stop the samples from the trigger position on were never written by the board:
// they are shown as the last sample recorded before it. The 512K boards (codes 0x2xxx other than
// the pocket xx16 and the xx36 codes) and the Nanlyn boards read back only what they recorded and
// keep their data as read.
bool flattensAfterStop(int32_t productCode, bool nanlyn, int32_t triggerPosition, int32_t logicalCount);
void flattenFromTrigger(SampleStore& store, int32_t triggerPosition);

// The Nanlyn progress display: a marker that swings over eight positions, one step every 200 ms,
// plus the board's per-mille progress. `tick` reports whether control 1099 needs a repaint.
struct ProgressAnimation {
    int position = 0;
    int step = -1;
    int lastShown = -1;       // per mille last drawn
    uint32_t lastTick = 0;

    void reset(uint32_t now);
    bool tick(uint32_t now, int progress);
};

// The fields of the runtime's 192-byte sample-mode record that the viewer uses.
enum : int { kModeRecordSize = 192 };
enum : uint32_t {
    kFeatureTimeStamp = 0x4,          // block-repeat storage
    kFeatureNotSelectable = 0x10,
    kFeatureSampleGroup = 0x20,       // channels traded for depth by the sample-group column
    kFeatureGlitch = 0x40,
    kFeatureExternalClock = 0x80,
    kFeatureStandard = 0x100,
    kFeatureUart = 0x20000,
    kFeatureSpi = 0x40000,
    kFeatureI2c = 0x80000,
    kFeatureI2s = 0x100000,
};
struct ModeRecord {
    int32_t modeId = 0;
    uint64_t highestRate = 0;
    uint32_t features = 0;
    int32_t channels = 0;
    int32_t depth = 0;
    int32_t usableDepth = 0;
    int32_t samplesPerWord = 1;
};
ModeRecord decodeModeRecord(const uint8_t in[kModeRecordSize]);

// How the read-back lays samples into the capture buffer.
struct CaptureGeometry {
    int32_t bytes = 0;            // capture length in bytes from the data start
    int32_t wordBits = 64;
    int32_t rowBits = 64;
    int32_t sampleBits = 64;
    int32_t storageMode = 0;
};
// A Nanlyn capture of `samples` logical samples in `mode`, with the sample-group column's divisor
// (1 outside the sample-group modes): several narrow samples share each 64-bit memory word.
CaptureGeometry nanlynGeometry(const ModeRecord& mode, int32_t samples, int32_t columnDivisor);
// Other boards: `samples` positions of `wordsPerSample` words of `bitsPerWord` bits, read as 64-bit
// samples (32-bit ones while the memory is stacked).
CaptureGeometry boardGeometry(int32_t samples, int32_t wordsPerSample, int32_t bitsPerWord, bool stacked);

}  // namespace kv
