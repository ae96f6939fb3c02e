#include "viewer/acquire/acquire_rules.h"

#include "runtime/le_bytes.h"
#include "viewer/display/label_table.h"
#include "viewer/shell/sample_store.h"

namespace kv {

const uint32_t kIdentitySelectors[kIdentityWords] = {0x96940001u, 0x96940002u, 0x96940003u, 0x96940004u};

bool sameBoardIdentity(const uint32_t a[kIdentityWords], const uint32_t b[kIdentityWords]) {
    for (int i = 0; i < kIdentityWords; ++i)
        if (a[i] != b[i]) return false;
    return true;
}

uint32_t laneMask(const LabelTable& labels, bool halfWidthSamples) {
    // Every entry of a group counts, not only its first: a group may span several lanes, and a
    // lane not read back would show its channels as zero.
    uint32_t mask = 0;
    for (int i = 0; i < labels.count(); ++i) {
        const int32_t c = labels.entries[i].channel;
        if (c < 0 || c > 63) continue;
        mask |= halfWidthSamples ? 17u << ((c / 8) % 4) : 1u << (c / 8);
    }
    return mask;
}

int32_t blockRepeatArmPosition(int32_t triggerPosition, int32_t logicalCount, int32_t modeDepth) {
    int64_t tenths = logicalCount > 0 ? int64_t{triggerPosition} * 10 / logicalCount : 1;
    if (tenths < 1) tenths = 1;
    if (tenths > 9) tenths = 9;
    return static_cast<int32_t>(int64_t{modeDepth} * tenths / 10 / 20 * 20);
}

bool flattensAfterStop(int32_t productCode, bool nanlyn, int32_t triggerPosition, int32_t logicalCount) {
    const int low = productCode & 0xFF;
    const bool keepsWhatItRead = ((productCode >> 12) & 7) == 2 && low != 0x16 && low != 0x36;
    return !keepsWhatItRead && !nanlyn && triggerPosition <= logicalCount;
}

void flattenFromTrigger(SampleStore& store, int32_t triggerPosition) {
    if (triggerPosition < 1 || store.storageMode() != kStoragePacked) return;
    const int32_t last = store.logicalCount();
    // The raw value, without the invert mask: store() writes memory as given.
    const uint64_t invert = store.invertMask();
    const uint64_t held = store.fetch(triggerPosition - 1) ^ (invert & store.valueMask());
    for (int32_t i = triggerPosition; i < last; ++i) store.store(i, held);
}

void ProgressAnimation::reset(uint32_t now) {
    position = 0;
    step = -1;
    lastShown = -1;
    lastTick = now;
}

bool ProgressAnimation::tick(uint32_t now, int progress) {
    bool repaint = false;
    // Unsigned difference: a tick counter that wrapped around also counts as time passed.
    if (now - lastTick >= 200 || now < lastTick) {
        if (position == 7 || position == 0) step = -step;
        position += step;
        lastTick = now;
        repaint = true;
    }
    if (progress != lastShown) {
        lastShown = progress;
        repaint = true;
    }
    return repaint;
}

ModeRecord decodeModeRecord(const uint8_t in[kModeRecordSize]) {
    ModeRecord m;
    m.modeId = static_cast<int32_t>(getLe32(in + 8));
    m.highestRate = getLe64(in + 16);
    m.features = getLe32(in + 152);
    m.channels = static_cast<int32_t>(getLe32(in + 156));
    m.depth = static_cast<int32_t>(getLe32(in + 160));
    m.usableDepth = static_cast<int32_t>(getLe32(in + 164));
    m.samplesPerWord = static_cast<int32_t>(getLe32(in + 168));
    return m;
}

CaptureGeometry nanlynGeometry(const ModeRecord& mode, int32_t samples, int32_t columnDivisor) {
    CaptureGeometry g;
    if (samples < 0) samples = 0;
    if (mode.features & kFeatureTimeStamp) {
        // Blocks of 20 64-bit samples, the last one of each carrying its repeat count.
        g.storageMode = 1;
        g.bytes = samples * 8;
        return g;
    }
    int32_t perWord = mode.samplesPerWord > 0 ? mode.samplesPerWord : 1;
    int32_t width = mode.channels > 0 && mode.channels <= 36 ? mode.channels : 36;
    if ((mode.features & kFeatureSampleGroup) && columnDivisor > 1 && columnDivisor <= 36) {
        perWord *= columnDivisor;
        width = 36 / columnDivisor;
    }
    if (width * perWord > 64) perWord = 64 / width;
    g.sampleBits = width;
    g.rowBits = width * perWord;
    g.bytes = static_cast<int32_t>((int64_t{samples} + perWord - 1) / perWord * 8);
    return g;
}

CaptureGeometry boardGeometry(int32_t samples, int32_t wordsPerSample, int32_t bitsPerWord, bool stacked) {
    CaptureGeometry g;
    if (samples < 0) samples = 0;
    const int64_t bytes = int64_t{samples} * (wordsPerSample > 0 ? wordsPerSample : 1) * (bitsPerWord > 0 ? bitsPerWord : 64) / 8;
    g.bytes = bytes > INT32_MAX ? INT32_MAX : static_cast<int32_t>(bytes);
    if (stacked) g.wordBits = g.rowBits = g.sampleBits = 32;
    return g;
}

}  // namespace kv
