#include "viewer/shell/sample_store.h"

#include <algorithm>
#include <climits>
#include <new>

namespace kv {

WordIndexDivider WordIndexDivider::make(uint32_t d) {
    if (d == 0) d = 1;
    uint32_t l = 0;
    while ((uint32_t{1} << l) < d) ++l;
    WordIndexDivider div;
    div.divisor = d;
    div.shift = 31 + l;
    div.multiplier = static_cast<uint32_t>(((uint64_t{1} << div.shift) + d - 1) / d);
    return div;
}

namespace {

bool isValidFormat(int32_t wordBits, int32_t rowBits, int32_t sampleBits) {
    const bool wordOk = wordBits == 8 || wordBits == 16 || wordBits == 32 || wordBits == 64;
    return wordOk && rowBits >= 1 && rowBits <= wordBits && sampleBits >= 1 && sampleBits <= rowBits;
}

}  // namespace

int32_t SampleStore::attach(uint8_t* data, int32_t length, int32_t wordBits, int32_t rowBits, int32_t sampleBits,
                            int32_t storageMode) {
    data_ = data;
    startOffset_ = 0;
    invertMask_ = 0;
    resetBlockCache();

    const bool modeOk = storageMode == kStorageKeep || storageMode == kStoragePacked ||
                        storageMode == kStorageBlockRepeat;
    const bool formatOk = length == 0 || (length > 0 && isValidFormat(wordBits, rowBits, sampleBits));
    if (!modeOk || !formatOk) {
        // The previous format stays, so the derived divisors remain usable; only the extent goes.
        captureLength_ = 0;
        storedCount_ = 0;
        logicalCount_ = 0;
        transitionValues_.clear();
        transitionPositions_.clear();
        return 0;
    }
    if (storageMode != kStorageKeep) storageMode_ = storageMode;
    if (length != 0) {
        captureLength_ = length;
        wordBits_ = wordBits;
        rowBits_ = rowBits;
        sampleBits_ = sampleBits;
        samplesPerWord_ = rowBits / sampleBits;
        bytesPerWord_ = wordBits / 8;
        valueMask_ = sampleBits >= 64 ? ~uint64_t{0} : (uint64_t{1} << sampleBits) - 1;
        divider_ = WordIndexDivider::make(static_cast<uint32_t>(samplesPerWord_));
        byteShift_ = 0;
        while ((1 << byteShift_) < bytesPerWord_) ++byteShift_;
    }

    // Narrow words holding several samples can describe more samples than an i32 counts.
    const int64_t stored = static_cast<int64_t>(captureLength_ / bytesPerWord_) * samplesPerWord_;
    storedCount_ = static_cast<int32_t>(std::min<int64_t>(stored, INT32_MAX));

    if (storageMode_ == kStorageBlockRepeat) {
        buildTransitionList();
    } else {
        transitionValues_.clear();
        transitionPositions_.clear();
        logicalCount_ = storedCount_;
    }
    return logicalCount_;
}

void SampleStore::fetchRun(int32_t i, int32_t n, uint64_t* out) {
    if (n <= 0) return;
    const uint32_t p = static_cast<uint32_t>(startOffset_) + static_cast<uint32_t>(i);
    uint32_t word = divider_.quotient(p);
    const uint64_t invert = invertMask_, mask = valueMask_;
    const uint8_t* data = data_;
    if (divider_.divisor == 1) {
        // One sample per word, the common case: a plain walk over the words.
        const uint32_t step = 1u << byteShift_;
        const uint8_t* at = data + (word << byteShift_);
        for (int32_t j = 0; j < n; ++j, at += step) out[j] = (loadLe64(at) ^ invert) & mask;
    } else {
        const uint32_t perWord = divider_.divisor, bits = static_cast<uint32_t>(sampleBits_);
        uint32_t inWord = p - word * perWord;
        for (int32_t j = 0; j < n; ++j) {
            out[j] = ((loadLe64(data + (word << byteShift_)) >> ((inWord * bits) & 63u)) ^ invert) & mask;
            if (++inWord == perWord) {
                inWord = 0;
                ++word;
            }
        }
    }
    lastValue_ = out[n - 1];
}

uint64_t SampleStore::rawSample(int32_t i) const {
    const uint32_t p = static_cast<uint32_t>(startOffset_) + static_cast<uint32_t>(i);
    const uint32_t word = divider_.quotient(p);
    const uint32_t bit = (p - word * divider_.divisor) * static_cast<uint32_t>(sampleBits_);
    const uint32_t byte = word << byteShift_;
    return (loadLe64(data_ + byte) >> (bit & 63u)) & valueMask_;
}

uint32_t SampleStore::repeatField(int32_t first) const {
    return static_cast<uint32_t>((rawSample(first + kBlockSamples - 1) >> kRepeatFieldShift) & kRepeatFieldMask);
}

void SampleStore::buildTransitionList() {
    if (arraysNeedAllocation_) {
        // Most captures fit the first reservation, so the list is rarely copied while it grows.
        try {
            transitionValues_.reserve(kInitialTransitionCapacity);
            transitionPositions_.reserve(kInitialTransitionCapacity);
        } catch (const std::bad_alloc&) {
            // Growth on demand will try again; the list is an aid, fetchBlock does not need it.
        }
        arraysNeedAllocation_ = 0;
    }
    transitionValues_.clear();
    transitionPositions_.clear();

    // Positions are logical indexes, which an i32 counts: a capture whose repeat fields describe
    // more samples than that is cut at INT32_MAX.
    auto position = [](int64_t logical) { return static_cast<uint32_t>(std::min<int64_t>(logical, INT32_MAX)); };

    bool recording = true;
    int64_t logical = 0;
    for (int64_t first = 0; first + kBlockSamples - 1 < storedCount_ && logical < INT32_MAX;
         first += kBlockSamples) {
        const int32_t f = static_cast<int32_t>(first);
        const int64_t length = (static_cast<int64_t>(repeatField(f)) + 1) * kBlockSamples;
        if (recording) {
            try {
                // A block of equal samples is one run; otherwise each change of the channels
                // ends a run. The boards repeat only blocks of equal samples; should a block of
                // differing samples carry a repeat field, its last run is taken to the end of the
                // block's logical span, so the list stays gap-free and bounded by 20 entries per
                // block whatever the repeat fields say (fetchBlock still replays it exactly).
                uint64_t run = rawSample(f) & kBlockChannelMask;
                for (int32_t t = 1; t < kBlockSamples; ++t) {
                    const uint64_t v = rawSample(f + t) & kBlockChannelMask;
                    if (v != run) {
                        transitionValues_.push_back(run);
                        transitionPositions_.push_back(position(logical + t));
                        run = v;
                    }
                }
                transitionValues_.push_back(run);
                transitionPositions_.push_back(position(logical + length));
            } catch (const std::bad_alloc&) {
                recording = false;
                transitionValues_.clear();
                transitionPositions_.clear();
            }
        }
        logical += length;
    }
    logicalCount_ = static_cast<int32_t>(std::min<int64_t>(logical, INT32_MAX));
}

void SampleStore::resetBlockCache() {
    cacheIndexInBlock_ = -2;
    cacheBlockLast_ = 0;
    cacheBlockStart_ = 0;
    cacheBlockLength_ = 0;
    cacheBlockEnd_ = 0;
    cacheLastIndex_ = -1;
}

uint64_t SampleStore::fetchBlockByWalk(int32_t i) {
    if (i < 0 || i >= logicalCount_ || storedCount_ < kBlockSamples) return 0;

    // Blocks ahead of the cached one are reached from it; others from the first block.
    int32_t last = kBlockSamples - 1;
    int64_t start = 0;
    int64_t length;
    if (cacheIndexInBlock_ != -2 && i >= cacheBlockStart_) {
        last = cacheBlockLast_;
        start = cacheBlockStart_;
        length = cacheBlockLength_;
    } else {
        length = (static_cast<int64_t>(repeatField(0)) + 1) * kBlockSamples;
    }
    while (i >= start + length) {
        // Only a capture changed after attaching can run out of blocks before its count.
        if (last >= storedCount_ - kBlockSamples) {
            resetBlockCache();
            return 0;
        }
        start += length;
        last += kBlockSamples;
        length = (static_cast<int64_t>(repeatField(last - (kBlockSamples - 1))) + 1) * kBlockSamples;
    }
    const int32_t indexInBlock = static_cast<int32_t>((i - start) % kBlockSamples);
    cacheIndexInBlock_ = indexInBlock;
    cacheBlockLast_ = last;
    cacheBlockStart_ = start;
    cacheBlockLength_ = length;
    cacheBlockEnd_ = static_cast<int32_t>(std::min<int64_t>(start + length, logicalCount_));
    cacheLastIndex_ = i;
    return fetch(last - (kBlockSamples - 1) + indexInBlock);
}

void SampleStore::store(int32_t i, uint64_t value) {
    const uint32_t p = static_cast<uint32_t>(startOffset_) + static_cast<uint32_t>(i);
    const uint32_t word = divider_.quotient(p);
    const uint32_t bit = (p - word * divider_.divisor) * static_cast<uint32_t>(sampleBits_);
    uint8_t* at = data_ + (word << byteShift_);
    const uint64_t field = valueMask_ << (bit & 63u);
    const uint64_t word64 = loadLe64(at);
    storeLe64(at, (word64 & ~field) | ((value << (bit & 63u)) & field));
}

void SampleStore::clear() {
    if (data_ != nullptr && captureLength_ > 0) std::memset(data_, 0, static_cast<size_t>(captureLength_));
}

void SampleStore::setStartOffset(int32_t offset) {
    startOffset_ = offset < 0 ? 0 : offset;
    resetBlockCache();
}

}  // namespace kv
