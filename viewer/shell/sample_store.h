// The accessor through which every reader of a capture (display, search, decoders, file writers)
// gets sample number i as a 64-bit value. It hides the packing of samples into memory words, the
// leading offset the hardware leaves before the first sample, the per-channel inversion, and the
// block-repeat format the streaming boards deliver.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace kv {

// Storage modes of a capture.
enum : int32_t {
    kStoragePacked = 0,       // samples packed into memory words
    kStorageBlockRepeat = 1,  // blocks of 20 samples, each replayed (repeat field + 1) times
    kStorageKeep = -1,        // attach: keep the storage mode already set
};

enum : int32_t {
    kBlockSamples = 20,                      // stored samples per block in block-repeat format
    kInitialTransitionCapacity = 500000,     // first reservation of the transition arrays
};

// Block-repeat format: bits 0-35 of a sample are the 36 channels; bits 46-63 of a block's last
// sample hold its repeat field.
constexpr uint64_t kBlockChannelMask = (uint64_t{1} << 36) - 1;
constexpr int kRepeatFieldShift = 46;
constexpr uint64_t kRepeatFieldMask = (uint64_t{1} << 18) - 1;

// Reads 8 bytes as a little-endian value, whatever the host order. On a little-endian host this
// is one unaligned load.
inline uint64_t loadLe64(const uint8_t* p) {
#if defined(__BYTE_ORDER__) && defined(__ORDER_LITTLE_ENDIAN__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
#else
    uint64_t v = 0;
    for (int k = 7; k >= 0; --k) v = (v << 8) | p[k];
    return v;
#endif
}

inline void storeLe64(uint8_t* p, uint64_t v) {
#if defined(__BYTE_ORDER__) && defined(__ORDER_LITTLE_ENDIAN__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    std::memcpy(p, &v, sizeof v);
#else
    for (int k = 0; k < 8; ++k) p[k] = static_cast<uint8_t>(v >> (8 * k));
#endif
}

// Exact division of a sample position by the samples-per-word count (1 to 64) with one multiply
// and one shift: a hardware divide costs several times more than the rest of a fetch. The
// reciprocal m = ceil(2^(31+l) / d), l = ceil(log2 d), is exact for every dividend below 2^31
// (m·d exceeds 2^(31+l) by less than 2^l), fits in 32 bits, and the product fits in 64 bits.
// Sample positions are non-negative 32-bit indexes, so every position a fetch can see is covered.
struct WordIndexDivider {
    uint32_t divisor = 1;
    uint32_t multiplier = 0x80000000u;
    uint32_t shift = 31;

    static WordIndexDivider make(uint32_t d);   // 1 <= d <= 64
    uint32_t quotient(uint32_t p) const {
        return static_cast<uint32_t>((static_cast<uint64_t>(p) * multiplier) >> shift);
    }
};

class SampleStore {
public:
    SampleStore() = default;

    // Makes the store describe a new capture of `length` bytes at `data` (not owned). length = 0
    // keeps the previous length and format and changes only the data pointer; storageMode = -1
    // keeps the previous storage mode. Resets the start offset, the block cache and the invert
    // mask; in block-repeat mode builds the transition list. Returns the logical sample count.
    // A format that cannot describe memory words (word bits other than 8, 16, 32 or 64, row bits
    // outside 1..word bits, sample bits outside 1..row bits, or an unknown storage mode) leaves
    // the store empty and returns 0.
    int32_t attach(uint8_t* data, int32_t length, int32_t wordBits, int32_t rowBits, int32_t sampleBits,
                   int32_t storageMode);

    // Sample i of a packed capture. The caller keeps start offset + i within the capture; the
    // buffer's spare bytes make a read of the 8-byte word holding the last sample safe.
    uint64_t fetch(int32_t i) {
        const uint32_t p = static_cast<uint32_t>(startOffset_) + static_cast<uint32_t>(i);
        const uint32_t word = divider_.quotient(p);
        const uint32_t bit = (p - word * divider_.divisor) * static_cast<uint32_t>(sampleBits_);
        const uint32_t byte = word << byteShift_;
        // bit < row bits <= 64 for every accepted format; the mask keeps the shift defined even so.
        const uint64_t value = ((loadLe64(data_ + byte) >> (bit & 63u)) ^ invertMask_) & valueMask_;
        lastValue_ = value;
        return value;
    }

    // Samples i to i + n - 1 of a packed capture into out: the values n calls of fetch give, with
    // the word and bit position advanced instead of divided out for every sample.
    void fetchRun(int32_t i, int32_t n, uint64_t* out);

    // Logical sample i of a block-repeat capture; 0 outside the capture, and for every index when
    // fewer than one block is stored. Sequential access is served from the cached block.
    uint64_t fetchBlock(int32_t i) {
        if (i == cacheLastIndex_ + 1 && i < cacheBlockEnd_) {
            // The next sample of the same block: no walk and no division.
            int32_t indexInBlock = cacheIndexInBlock_ + 1;
            if (indexInBlock == kBlockSamples) indexInBlock = 0;
            cacheIndexInBlock_ = indexInBlock;
            cacheLastIndex_ = i;
            return fetch(cacheBlockLast_ - (kBlockSamples - 1) + indexInBlock);
        }
        return fetchBlockByWalk(i);
    }

    // Whichever of fetch and fetchBlock the storage mode calls for.
    uint64_t sample(int32_t i) { return storageMode_ == kStorageBlockRepeat ? fetchBlock(i) : fetch(i); }

    // Replaces the sample-bits-wide field of sample i in memory by `value` as given (the invert
    // mask does not apply), leaving every other bit of the 8-byte window unchanged.
    void store(int32_t i, uint64_t value);

    // Zero-fills the capture's bytes.
    void clear();

    void setInvert(bool on) { invertMask_ = on ? ~uint64_t{0} : 0; }
    // Stored samples to skip before logical sample 0 (the hardware reports it after a capture).
    void setStartOffset(int32_t offset);

    int32_t logicalCount() const { return logicalCount_; }
    int32_t wordBits() const { return wordBits_; }
    int32_t rowBits() const { return rowBits_; }
    int32_t sampleBits() const { return sampleBits_; }
    int32_t captureLength() const { return captureLength_; }
    uint8_t* data() const { return data_; }
    int32_t storageMode() const { return storageMode_; }
    // Block-repeat format: runs of equal channel values (bits 0-35); value k holds for logical
    // samples from position k-1 (0 for the first) up to, not including, position k.
    const std::vector<uint64_t>& transitionValues() const { return transitionValues_; }
    const std::vector<uint32_t>& transitionPositions() const { return transitionPositions_; }
    int32_t startOffset() const { return startOffset_; }
    int32_t storedCount() const { return storedCount_; }
    int32_t samplesPerWord() const { return samplesPerWord_; }
    int32_t bytesPerWord() const { return bytesPerWord_; }
    uint64_t lastValue() const { return lastValue_; }
    uint64_t valueMask() const { return valueMask_; }
    uint64_t invertMask() const { return invertMask_; }

private:
    void resetBlockCache();
    uint64_t fetchBlockByWalk(int32_t i);
    void buildTransitionList();
    // The repeat field of the block whose first stored sample is `first`, read without the
    // invert mask: it is part of the format, not channel data.
    uint32_t repeatField(int32_t first) const;
    uint64_t rawSample(int32_t i) const;   // sample i without the invert mask

    int32_t logicalCount_ = 0;
    int32_t wordBits_ = 64;
    int32_t rowBits_ = 64;
    int32_t sampleBits_ = 64;
    int32_t captureLength_ = 0;
    uint8_t* data_ = nullptr;
    int32_t storageMode_ = kStoragePacked;
    std::vector<uint64_t> transitionValues_;
    std::vector<uint32_t> transitionPositions_;
    int32_t arraysNeedAllocation_ = 1;
    int32_t startOffset_ = 0;
    int32_t storedCount_ = 0;
    int32_t samplesPerWord_ = 1;
    int32_t bytesPerWord_ = 8;
    uint64_t lastValue_ = 0;
    uint64_t valueMask_ = ~uint64_t{0};
    uint64_t invertMask_ = 0;
    // Block cache of fetchBlock: the position within its block of the last logical index served
    // (-2 = none), the stored index of that block's final sample, the logical start of the block,
    // plus the block's logical length, its end within the capture (0 = none) and the last logical
    // index, which let the next index be served without a division.
    int32_t cacheIndexInBlock_ = -2;
    int32_t cacheBlockLast_ = 0;
    int64_t cacheBlockStart_ = 0;
    int64_t cacheBlockLength_ = 0;
    int32_t cacheBlockEnd_ = 0;
    int32_t cacheLastIndex_ = -1;
    // Derived from the format at attach: the division by samples per word, and bytes per word as
    // a shift (words are 1, 2, 4 or 8 bytes), the two costs that dominate a fetch.
    WordIndexDivider divider_;
    uint32_t byteShift_ = 3;
};

}  // namespace kv
