#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "viewer/shell/capture_buffer.h"
#include "viewer/shell/sample_store.h"

namespace kv {
namespace {

constexpr uint64_t kAllOnes = ~uint64_t{0};

// A capture as raw bytes, with the 8 bytes a fetch of the last sample may read beyond it.
struct RawCapture {
    std::vector<uint8_t> bytes;
    int32_t length = 0;

    explicit RawCapture(int32_t len) : bytes(static_cast<size_t>(len) + 8, 0), length(len) {}
    uint8_t* data() { return bytes.data(); }
};

RawCapture fromWords(const std::vector<uint64_t>& words) {
    RawCapture raw(static_cast<int32_t>(words.size() * 8));
    for (size_t w = 0; w < words.size(); ++w)
        for (int k = 0; k < 8; ++k) raw.bytes[w * 8 + k] = static_cast<uint8_t>(words[w] >> (8 * k));
    return raw;
}

uint64_t wordAt(const RawCapture& raw, size_t w) {
    uint64_t v = 0;
    for (int k = 7; k >= 0; --k) v = (v << 8) | raw.bytes[w * 8 + k];
    return v;
}

struct Format {
    int32_t wordBits, rowBits, sampleBits;
};

uint64_t maskOf(int sampleBits) { return sampleBits == 64 ? kAllOnes : (uint64_t{1} << sampleBits) - 1; }

// Sample p read bit by bit: samples follow each other from bit 0 of their word, and a word's
// first bit is at word × word bits.
uint64_t referenceFetch(const std::vector<uint8_t>& bytes, const Format& f, int64_t p, uint64_t invert) {
    const int64_t perWord = f.rowBits / f.sampleBits;
    const int64_t first = (p / perWord) * f.wordBits + (p % perWord) * f.sampleBits;
    uint64_t v = 0;
    for (int b = 0; b < f.sampleBits; ++b) {
        const int64_t at = first + b;
        if ((bytes[static_cast<size_t>(at / 8)] >> (at % 8)) & 1) v |= uint64_t{1} << b;
    }
    return (v ^ invert) & maskOf(f.sampleBits);
}

// Logical sample i of block-repeat data, walking the blocks from the first every time.
uint64_t referenceFetchBlock(const std::vector<uint64_t>& stored, int64_t i, uint64_t invert) {
    if (i < 0) return 0;
    int64_t start = 0;
    for (size_t first = 0; first + 20 <= stored.size(); first += 20) {
        const int64_t length = static_cast<int64_t>((stored[first + 19] >> 46) + 1) * 20;
        if (i < start + length) return stored[first + static_cast<size_t>((i - start) % 20)] ^ invert;
        start += length;
    }
    return 0;
}

// One block of 20 samples; the repeat field goes into bits 46-63 of the last one.
void appendBlock(std::vector<uint64_t>& stored, const std::vector<uint64_t>& samples, uint64_t repeat) {
    for (size_t t = 0; t < 20; ++t) {
        uint64_t v = samples[t];
        if (t == 19) v = (v & ((uint64_t{1} << 46) - 1)) | (repeat << 46);
        stored.push_back(v);
    }
}

void appendEqualBlock(std::vector<uint64_t>& stored, uint64_t value, uint64_t repeat) {
    appendBlock(stored, std::vector<uint64_t>(20, value), repeat);
}

// ---------------------------------------------------------------------------------------------
// Packed format

TEST(SampleStorePacked, SixtyFourBitSamplesKeepEveryBit) {
    RawCapture raw = fromWords({0xFFFFFFFFFFFFFFFFull, 0x8000000000000001ull, 0x0123456789ABCDEFull});
    SampleStore store;
    EXPECT_EQ(store.attach(raw.data(), raw.length, 64, 64, 64, 0), 3);
    EXPECT_EQ(store.valueMask(), kAllOnes);
    EXPECT_EQ(store.samplesPerWord(), 1);
    EXPECT_EQ(store.bytesPerWord(), 8);
    EXPECT_EQ(store.fetch(0), kAllOnes);
    EXPECT_EQ(store.fetch(1), 0x8000000000000001ull);
    EXPECT_EQ(store.fetch(2), 0x0123456789ABCDEFull);
    EXPECT_EQ(store.lastValue(), 0x0123456789ABCDEFull);
}

TEST(SampleStorePacked, ThirtySixBitSamplesAreTheLowBitsOfEachWord) {
    RawCapture raw = fromWords({0xFFFFFFFFFFFFFFFFull, 0xABCDE0123456789Aull, 0x0000000F00000000ull});
    SampleStore store;
    EXPECT_EQ(store.attach(raw.data(), raw.length, 64, 36, 36, 0), 3);
    EXPECT_EQ(store.samplesPerWord(), 1);
    EXPECT_EQ(store.valueMask(), 0xFFFFFFFFFull);
    EXPECT_EQ(store.fetch(0), 0xFFFFFFFFFull);
    EXPECT_EQ(store.fetch(1), 0x23456789Aull);
    EXPECT_EQ(store.fetch(2), 0xF00000000ull);
}

TEST(SampleStorePacked, SeveralSamplesPerWordFollowFromBitZero) {
    RawCapture raw = fromWords({0x4444333322221111ull, 0x8888777766665555ull});
    SampleStore store;
    EXPECT_EQ(store.attach(raw.data(), raw.length, 64, 64, 16, 0), 8);
    for (int32_t i = 0; i < 8; ++i) EXPECT_EQ(store.fetch(i), 0x1111u * static_cast<uint64_t>(i + 1));
}

TEST(SampleStorePacked, StoredCountCountsWholeWordsOnly) {
    std::vector<uint8_t> bytes(200, 0);
    SampleStore store;
    EXPECT_EQ(store.attach(bytes.data(), 100, 64, 64, 16, 0), 48);   // 12 whole words of 4
    EXPECT_EQ(store.attach(bytes.data(), 100, 32, 32, 32, 0), 25);
    EXPECT_EQ(store.attach(bytes.data(), 100, 64, 48, 16, 0), 36);   // 3 per word, 16 bits unused
    EXPECT_EQ(store.storedCount(), 36);
    EXPECT_EQ(store.logicalCount(), store.storedCount());
}

TEST(SampleStorePacked, InvertedZeroSampleReadsAsValueMask) {
    RawCapture raw(32);
    SampleStore store;
    store.attach(raw.data(), raw.length, 64, 36, 36, 0);
    store.setInvert(true);
    EXPECT_EQ(store.invertMask(), kAllOnes);
    EXPECT_EQ(store.fetch(0), 0xFFFFFFFFFull);
    store.setInvert(false);
    EXPECT_EQ(store.fetch(0), 0u);

    store.attach(raw.data(), raw.length, 64, 64, 64, 0);
    store.setInvert(true);
    EXPECT_EQ(store.fetch(3), kAllOnes);
}

TEST(SampleStorePacked, StartOffsetSkipsStoredSamples) {
    RawCapture raw = fromWords({10, 11, 12, 13});
    SampleStore store;
    store.attach(raw.data(), raw.length, 64, 64, 64, 0);
    store.setStartOffset(2);
    EXPECT_EQ(store.fetch(0), 12u);
    EXPECT_EQ(store.fetch(1), 13u);
    EXPECT_EQ(store.logicalCount(), 4);   // the count stays that of the stored samples
}

// ---------------------------------------------------------------------------------------------
// Attach

TEST(SampleStoreAttach, LengthZeroChangesOnlyTheDataPointer) {
    RawCapture first = fromWords({1, 2, 3, 4, 5});
    RawCapture second = fromWords({6, 7, 8, 9, 10});
    SampleStore store;
    ASSERT_EQ(store.attach(first.data(), first.length, 64, 36, 36, 0), 5);
    EXPECT_EQ(store.attach(second.data(), 0, 64, 64, 8, -1), 5);
    EXPECT_EQ(store.data(), second.data());
    EXPECT_EQ(store.captureLength(), 40);
    EXPECT_EQ(store.sampleBits(), 36);
    EXPECT_EQ(store.rowBits(), 36);
    EXPECT_EQ(store.valueMask(), 0xFFFFFFFFFull);
    EXPECT_EQ(store.logicalCount(), 5);
    EXPECT_EQ(store.fetch(4), 10u);
}

TEST(SampleStoreAttach, ResetsStartOffsetAndInvertMask) {
    RawCapture raw = fromWords({1, 2, 3});
    SampleStore store;
    store.attach(raw.data(), raw.length, 64, 64, 64, 0);
    store.setStartOffset(1);
    store.setInvert(true);
    store.attach(raw.data(), 0, 0, 0, 0, -1);
    EXPECT_EQ(store.startOffset(), 0);
    EXPECT_EQ(store.invertMask(), 0u);
    EXPECT_EQ(store.fetch(0), 1u);
}

TEST(SampleStoreAttach, StorageModeMinusOneKeepsTheMode) {
    std::vector<uint64_t> stored;
    appendEqualBlock(stored, 5, 1);
    RawCapture raw = fromWords(stored);
    SampleStore store;
    EXPECT_EQ(store.attach(raw.data(), raw.length, 64, 64, 64, 1), 40);
    EXPECT_EQ(store.attach(raw.data(), 0, 0, 0, 0, -1), 40);
    EXPECT_EQ(store.storageMode(), 1);
    EXPECT_EQ(store.attach(raw.data(), 0, 0, 0, 0, 0), 20);
    EXPECT_EQ(store.storageMode(), 0);
    EXPECT_TRUE(store.transitionValues().empty());
}

TEST(SampleStoreAttach, FormatThatCannotDescribeWordsLeavesTheStoreEmpty) {
    RawCapture raw = fromWords({1, 2, 3, 4});
    SampleStore store;
    ASSERT_EQ(store.attach(raw.data(), raw.length, 64, 64, 64, 0), 4);
    EXPECT_EQ(store.attach(raw.data(), raw.length, 64, 64, 0, 0), 0);    // no sample bits
    EXPECT_EQ(store.attach(raw.data(), raw.length, 64, 64, 65, 0), 0);   // wider than a row
    EXPECT_EQ(store.attach(raw.data(), raw.length, 4, 4, 4, 0), 0);      // word of half a byte
    EXPECT_EQ(store.attach(raw.data(), raw.length, 24, 24, 24, 0), 0);   // no memory has such words
    EXPECT_EQ(store.attach(raw.data(), raw.length, 128, 64, 64, 0), 0);  // wider than a read
    EXPECT_EQ(store.attach(raw.data(), raw.length, 64, 64, 64, 2), 0);   // unknown mode
    EXPECT_EQ(store.attach(raw.data(), -8, 64, 64, 64, 0), 0);
    EXPECT_EQ(store.storedCount(), 0);
    EXPECT_GE(store.samplesPerWord(), 1);
    EXPECT_GE(store.bytesPerWord(), 1);
}

// ---------------------------------------------------------------------------------------------
// Store and clear

TEST(SampleStoreWrite, StoreReplacesOnlyTheSampleField) {
    RawCapture raw = fromWords({0x4444333322221111ull, 0x8888777766665555ull});
    SampleStore store;
    store.attach(raw.data(), raw.length, 64, 64, 16, 0);
    store.store(5, 0xFFFFABCDull);   // bits beyond the sample width are dropped
    EXPECT_EQ(wordAt(raw, 0), 0x4444333322221111ull);
    EXPECT_EQ(wordAt(raw, 1), 0x88887777ABCD5555ull);
    EXPECT_EQ(store.fetch(5), 0xABCDu);
}

TEST(SampleStoreWrite, StoreKeepsTheUnusedBitsOfAWord) {
    RawCapture raw = fromWords({0xFFFFFFFFFFFFFFFFull, 0xFFFFFFFFFFFFFFFFull});
    SampleStore store;
    store.attach(raw.data(), raw.length, 64, 36, 36, 0);
    store.store(1, 0);
    EXPECT_EQ(wordAt(raw, 0), kAllOnes);
    EXPECT_EQ(wordAt(raw, 1), 0xFFFFFFF000000000ull);

    store.attach(raw.data(), raw.length, 64, 64, 64, 0);
    store.store(0, 0x0123456789ABCDEFull);
    EXPECT_EQ(wordAt(raw, 0), 0x0123456789ABCDEFull);
}

TEST(SampleStoreWrite, StoreOfANarrowWordLeavesTheNextWordAlone) {
    RawCapture raw = fromWords({0x2222222211111111ull, 0x4444444433333333ull});
    SampleStore store;
    store.attach(raw.data(), raw.length, 32, 32, 32, 0);
    store.store(1, 0xDEADBEEFull);
    EXPECT_EQ(wordAt(raw, 0), 0xDEADBEEF11111111ull);
    EXPECT_EQ(wordAt(raw, 1), 0x4444444433333333ull);
    store.setStartOffset(1);
    store.store(2, 0x5A5A5A5Aull);   // stored sample 3
    EXPECT_EQ(wordAt(raw, 1), 0x5A5A5A5A33333333ull);
}

TEST(SampleStoreWrite, ClearZeroesTheCaptureBytesOnly) {
    RawCapture raw(24);
    std::fill(raw.bytes.begin(), raw.bytes.end(), 0xA5);
    SampleStore store;
    store.attach(raw.data(), 20, 32, 32, 32, 0);
    store.clear();
    for (size_t k = 0; k < 20; ++k) EXPECT_EQ(raw.bytes[k], 0) << k;
    for (size_t k = 20; k < raw.bytes.size(); ++k) EXPECT_EQ(raw.bytes[k], 0xA5) << k;
}

// ---------------------------------------------------------------------------------------------
// Block-repeat format

TEST(SampleStoreBlockRepeat, RepeatedFirstBlockReplaysItsSamples) {
    std::vector<uint64_t> stored;
    std::vector<uint64_t> samples;
    for (uint64_t t = 0; t < 20; ++t) samples.push_back(0x100 + t);
    appendBlock(stored, samples, 4);
    for (uint64_t t = 0; t < 20; ++t) samples[t] = 0x200 + t;
    appendBlock(stored, samples, 0);
    RawCapture raw = fromWords(stored);

    SampleStore store;
    ASSERT_EQ(store.attach(raw.data(), raw.length, 64, 64, 64, 1), 120);
    for (int32_t i = 0; i < 100; ++i) EXPECT_EQ(store.fetchBlock(i), stored[static_cast<size_t>(i % 20)]) << i;
    EXPECT_EQ(store.fetchBlock(100), stored[20]);
    EXPECT_EQ(store.fetchBlock(119), stored[39]);
    // The same answers when each index comes without its predecessor.
    EXPECT_EQ(store.fetchBlock(45), stored[5]);
    EXPECT_EQ(store.fetchBlock(101), stored[21]);
    EXPECT_EQ(store.fetchBlock(99), stored[19]);
    EXPECT_EQ(store.sample(100), stored[20]);
}

TEST(SampleStoreBlockRepeat, IndexesOutsideTheCaptureReadZero) {
    std::vector<uint64_t> stored;
    appendEqualBlock(stored, 0x777, 0);
    appendEqualBlock(stored, 0x888, 1);
    for (int t = 0; t < 10; ++t) stored.push_back(0x999);   // an incomplete block is no block
    RawCapture raw = fromWords(stored);
    SampleStore store;
    ASSERT_EQ(store.attach(raw.data(), raw.length, 64, 64, 64, 1), 60);
    EXPECT_EQ(store.storedCount(), 50);
    EXPECT_EQ(store.fetchBlock(59), 0x888u | (uint64_t{1} << 46));
    EXPECT_EQ(store.fetchBlock(60), 0u);
    EXPECT_EQ(store.fetchBlock(1000), 0u);
    EXPECT_EQ(store.fetchBlock(-1), 0u);
    store.setInvert(true);
    EXPECT_EQ(store.fetchBlock(60), 0u);
}

TEST(SampleStoreBlockRepeat, FewerThanOneBlockReadsZeroEverywhere) {
    std::vector<uint64_t> stored(19, 0x1234);
    RawCapture raw = fromWords(stored);
    SampleStore store;
    EXPECT_EQ(store.attach(raw.data(), raw.length, 64, 64, 64, 1), 0);
    for (int32_t i = 0; i < 25; ++i) EXPECT_EQ(store.fetchBlock(i), 0u);
    EXPECT_TRUE(store.transitionValues().empty());
}

TEST(SampleStoreBlockRepeat, InvertAppliesToSamplesButNotToRepeatFields) {
    std::vector<uint64_t> stored;
    appendEqualBlock(stored, 0, 2);
    appendEqualBlock(stored, 0xF, 0);
    RawCapture raw = fromWords(stored);
    SampleStore store;
    ASSERT_EQ(store.attach(raw.data(), raw.length, 64, 64, 64, 1), 80);
    store.setInvert(true);
    EXPECT_EQ(store.fetchBlock(0), kAllOnes);
    EXPECT_EQ(store.fetchBlock(59), ~(uint64_t{2} << 46));
    EXPECT_EQ(store.fetchBlock(60), ~uint64_t{0xF});
    EXPECT_EQ(store.fetchBlock(79), ~uint64_t{0xF});
}

TEST(SampleStoreBlockRepeat, SampleChoosesTheReadByStorageMode) {
    std::vector<uint64_t> stored;
    appendEqualBlock(stored, 0xA, 1);
    appendEqualBlock(stored, 0xB, 0);
    RawCapture raw = fromWords(stored);
    SampleStore store;
    store.attach(raw.data(), raw.length, 64, 64, 64, 1);
    EXPECT_EQ(store.sample(20), 0xAu);   // second replay of the first block
    store.attach(raw.data(), raw.length, 64, 64, 64, 0);
    EXPECT_EQ(store.sample(20), 0xBu);   // stored sample 20
}

// ---------------------------------------------------------------------------------------------
// Transition list

TEST(SampleStoreTransitions, EqualBlockIsOneRunOverItsLogicalLength) {
    std::vector<uint64_t> stored;
    // Bits 36-63 differ between the samples, but only channels 0-35 count.
    std::vector<uint64_t> samples(20, 0xF00000000ull | 0x123456789ull);
    samples[3] |= uint64_t{1} << 40;
    appendBlock(stored, samples, 2);
    appendEqualBlock(stored, 0x5, 0);
    RawCapture raw = fromWords(stored);
    SampleStore store;
    ASSERT_EQ(store.attach(raw.data(), raw.length, 64, 64, 64, 1), 80);
    EXPECT_EQ(store.transitionValues(), (std::vector<uint64_t>{0xF23456789ull, 0x5}));
    EXPECT_EQ(store.transitionPositions(), (std::vector<uint32_t>{60, 80}));
}

TEST(SampleStoreTransitions, DifferingBlockListsEachRunUpToItsChange) {
    std::vector<uint64_t> stored;
    appendEqualBlock(stored, 0x1, 1);   // logical 0-39
    std::vector<uint64_t> samples(20, 0xA);
    for (size_t t = 2; t < 5; ++t) samples[t] = 0xB;
    for (size_t t = 5; t < 20; ++t) samples[t] = 0xFFFFFFFFFull;
    samples[19] = 0xFFFFFFFFFull | (uint64_t{0x3FF} << 36);   // noise above the channels
    appendBlock(stored, samples, 0);
    RawCapture raw = fromWords(stored);
    SampleStore store;
    ASSERT_EQ(store.attach(raw.data(), raw.length, 64, 64, 64, 1), 60);
    EXPECT_EQ(store.transitionValues(), (std::vector<uint64_t>{0x1, 0xA, 0xB, 0xFFFFFFFFFull}));
    EXPECT_EQ(store.transitionPositions(), (std::vector<uint32_t>{40, 42, 45, 60}));
}

TEST(SampleStoreTransitions, RepeatedDifferingBlockEndsItsLastRunAtTheBlockEnd) {
    std::vector<uint64_t> stored;
    std::vector<uint64_t> samples(20, 0x3);
    samples[0] = 0x2;
    appendBlock(stored, samples, 2);
    appendEqualBlock(stored, 0x4, 0);
    RawCapture raw = fromWords(stored);
    SampleStore store;
    ASSERT_EQ(store.attach(raw.data(), raw.length, 64, 64, 64, 1), 80);
    EXPECT_EQ(store.transitionValues(), (std::vector<uint64_t>{0x2, 0x3, 0x4}));
    EXPECT_EQ(store.transitionPositions(), (std::vector<uint32_t>{1, 60, 80}));
    EXPECT_EQ(store.fetchBlock(20), 0x2u);   // the samples themselves are replayed exactly
}

TEST(SampleStoreTransitions, ReattachRebuildsTheList) {
    std::vector<uint64_t> stored;
    appendEqualBlock(stored, 0x1, 0);
    appendEqualBlock(stored, 0x2, 0);
    RawCapture raw = fromWords(stored);
    SampleStore store;
    store.attach(raw.data(), raw.length, 64, 64, 64, 1);
    EXPECT_EQ(store.transitionPositions().size(), 2u);
    store.attach(raw.data(), 160, 64, 64, 64, 1);   // first block only
    EXPECT_EQ(store.transitionValues(), (std::vector<uint64_t>{0x1}));
    EXPECT_EQ(store.transitionPositions(), (std::vector<uint32_t>{20}));
}

// ---------------------------------------------------------------------------------------------
// Optimised reads against the plain definitions, on random data

TEST(SampleStoreReference, WordIndexDividerMatchesDivision) {
    std::mt19937 rng(7);
    for (uint32_t d = 1; d <= 64; ++d) {
        const WordIndexDivider div = WordIndexDivider::make(d);
        for (uint32_t p = 0; p < 70000; ++p) ASSERT_EQ(div.quotient(p), p / d) << d << " " << p;
        for (uint32_t p = 0x7FFFFFFFu - 70000; p != 0x80000000u; ++p) ASSERT_EQ(div.quotient(p), p / d) << d << " " << p;
        for (int k = 0; k < 20000; ++k) {
            const uint32_t p = rng() & 0x7FFFFFFFu;
            ASSERT_EQ(div.quotient(p), p / d) << d << " " << p;
        }
    }
}

TEST(SampleStoreReference, PackedFetchMatchesPlainDefinition) {
    const Format formats[] = {{64, 64, 64}, {64, 64, 36}, {64, 36, 36}, {64, 64, 32}, {64, 64, 16}, {64, 64, 8},
                              {64, 48, 16}, {64, 60, 12}, {64, 64, 1},  {32, 32, 32}, {32, 32, 8},  {16, 16, 4}};
    std::mt19937_64 rng(1);
    for (const Format& f : formats) {
        RawCapture raw(8 * 997 + 5);
        for (uint8_t& b : raw.bytes) b = static_cast<uint8_t>(rng());
        SampleStore store;
        const int32_t count = store.attach(raw.data(), raw.length, f.wordBits, f.rowBits, f.sampleBits, 0);
        ASSERT_EQ(count, (raw.length / (f.wordBits / 8)) * (f.rowBits / f.sampleBits));
        for (const bool invert : {false, true}) {
            for (const int32_t offset : {0, 3}) {
                store.setInvert(invert);
                store.setStartOffset(offset);
                const uint64_t inv = invert ? kAllOnes : 0;
                const int32_t last = count - offset;
                for (int32_t i = 0; i < last; ++i) {
                    ASSERT_EQ(store.fetch(i), referenceFetch(raw.bytes, f, int64_t{offset} + i, inv))
                        << f.wordBits << "/" << f.rowBits << "/" << f.sampleBits << " sequential " << i;
                }
                for (int k = 0; k < 5000; ++k) {
                    const int32_t i = static_cast<int32_t>(rng() % static_cast<uint64_t>(last));
                    ASSERT_EQ(store.fetch(i), referenceFetch(raw.bytes, f, int64_t{offset} + i, inv))
                        << f.wordBits << "/" << f.rowBits << "/" << f.sampleBits << " random " << i;
                    ASSERT_EQ(store.sample(i), store.lastValue());
                }
                // Runs from any position, across word boundaries, up to the last sample.
                std::vector<uint64_t> run(300);
                for (int k = 0; k < 200; ++k) {
                    const int32_t i = static_cast<int32_t>(rng() % static_cast<uint64_t>(last));
                    const int32_t n = std::min<int32_t>(last - i, 1 + static_cast<int32_t>(rng() % 300));
                    store.fetchRun(i, n, run.data());
                    for (int32_t j = 0; j < n; ++j)
                        ASSERT_EQ(run[j], referenceFetch(raw.bytes, f, int64_t{offset} + i + j, inv))
                            << f.wordBits << "/" << f.rowBits << "/" << f.sampleBits << " run " << i << "+" << j;
                    ASSERT_EQ(store.lastValue(), run[n - 1]);
                }
            }
        }
    }
}

TEST(SampleStoreReference, BlockFetchMatchesPlainWalk) {
    std::mt19937_64 rng(2);
    for (int round = 0; round < 4; ++round) {
        std::vector<uint64_t> stored;
        for (int b = 0; b < 150; ++b) {
            switch (rng() % 4) {
            case 0:   // a long run, as the boards store it
                appendEqualBlock(stored, rng() & ((uint64_t{1} << 46) - 1), rng() % 400);
                break;
            case 1:   // the longest repeat the field holds
                appendEqualBlock(stored, rng(), (rng() % 8 == 0) ? 0x3FFFF : rng() % 3);
                break;
            default: {
                std::vector<uint64_t> samples(20);
                for (uint64_t& v : samples) v = rng();
                appendBlock(stored, samples, rng() % 8 == 0 ? rng() % 4 : 0);
            }
            }
        }
        for (int t = 0; t < static_cast<int>(rng() % 20); ++t) stored.push_back(rng());   // tail, no block

        RawCapture raw = fromWords(stored);
        SampleStore store;
        const int32_t count = store.attach(raw.data(), raw.length, 64, 64, 64, 1);
        int64_t expected = 0;
        for (size_t first = 0; first + 20 <= stored.size(); first += 20)
            expected += static_cast<int64_t>((stored[first + 19] >> 46) + 1) * 20;
        ASSERT_EQ(count, expected);

        for (const bool invert : {false, true}) {
            store.setInvert(invert);
            const uint64_t inv = invert ? kAllOnes : 0;
            auto check = [&](int32_t i, const char* how) {
                const uint64_t want = i < count ? referenceFetchBlock(stored, i, inv) : 0;
                ASSERT_EQ(store.fetchBlock(i), want) << how << " " << i;
            };
            // Sequentially from the start over a stretch, and over the end of the capture.
            const int32_t end = std::min(count + 5, 300000);
            for (int32_t i = 0; i < end; ++i) check(i, "sequential");
            for (int32_t i = std::max(0, count - 1000); i < count + 5; ++i) check(i, "sequential end");
            for (int k = 0; k < 2000; ++k)
                check(static_cast<int32_t>(rng() % (static_cast<uint64_t>(count) + 10)) - 5, "random");
            // Runs from random places, so the cache is entered from a walk and left by a jump back.
            for (int k = 0; k < 200; ++k) {
                const int32_t from = static_cast<int32_t>(rng() % static_cast<uint64_t>(count));
                for (int32_t i = from; i < from + 70 && i <= count; ++i) check(i, "run");
            }
        }
    }
}

TEST(SampleStoreReference, TransitionListDescribesTheLogicalSamples) {
    std::mt19937_64 rng(3);
    std::vector<uint64_t> stored;
    for (int b = 0; b < 300; ++b) {
        if (rng() % 2 == 0) {
            appendEqualBlock(stored, rng(), rng() % 50);
        } else {
            std::vector<uint64_t> samples(20);
            uint64_t v = rng();
            for (uint64_t& s : samples) {
                if (rng() % 3 == 0) v = rng() & 0x7;
                s = v;
            }
            appendBlock(stored, samples, 0);
        }
    }
    RawCapture raw = fromWords(stored);
    SampleStore store;
    const int32_t count = store.attach(raw.data(), raw.length, 64, 64, 64, 1);
    const std::vector<uint64_t>& values = store.transitionValues();
    const std::vector<uint32_t>& positions = store.transitionPositions();
    ASSERT_EQ(values.size(), positions.size());
    ASSERT_FALSE(positions.empty());
    EXPECT_EQ(positions.back(), static_cast<uint32_t>(count));
    int32_t from = 0;
    for (size_t k = 0; k < values.size(); ++k) {
        ASSERT_LT(from, static_cast<int32_t>(positions[k]));
        for (int32_t i = from; i < static_cast<int32_t>(positions[k]); ++i)
            ASSERT_EQ(store.fetchBlock(i) & kBlockChannelMask, values[k]) << k << " " << i;
        from = static_cast<int32_t>(positions[k]);
    }
}

// ---------------------------------------------------------------------------------------------
// Capture buffer

TEST(DeviceLimitsTest, NanlynBoardsHaveFixedBufferLimits) {
    const struct {
        int32_t product;
        int32_t limit;
    } boards[] = {{0x2036, 200000}, {0x2136, 4160000}, {0x2236, 16800000}};
    for (const auto& board : boards) {
        HardwareValues hw;
        hw.interfaceCode = 10;
        hw.productCode = board.product;
        hw.depth = 1 << 20;
        hw.wordsPerSample = 1;
        hw.bitsPerWord = 64;
        const DeviceLimits limits = deviceLimits(hw);
        EXPECT_TRUE(limits.nanlyn) << board.product;
        EXPECT_EQ(limits.bufferLimit, board.limit);
        EXPECT_EQ(limits.captureBufferSize, board.limit + 512);
        EXPECT_FALSE(limits.dataAtStart);
        EXPECT_EQ(captureAreaBytes(limits), board.limit);
    }
}

TEST(DeviceLimitsTest, OtherBoardsMultiplyWordBytesWordsAndDepth) {
    HardwareValues hw;
    hw.productCode = 0x1164;
    hw.depth = 0x40000;
    hw.wordsPerSample = 2;
    hw.bitsPerWord = 32;
    DeviceLimits limits = deviceLimits(hw);
    EXPECT_FALSE(limits.nanlyn);
    EXPECT_EQ(limits.bufferLimit, 4 * 2 * 0x40000);
    EXPECT_EQ(limits.captureBufferSize, 4 * 2 * 0x40000 + 512);
    EXPECT_EQ(captureAreaBytes(limits), limits.captureBufferSize);

    hw.productCode = 0x2336;   // near the Nanlyn codes, but not one of them
    hw.bitsPerWord = 36;       // whole bytes of the word only
    hw.wordsPerSample = 1;
    limits = deviceLimits(hw);
    EXPECT_FALSE(limits.nanlyn);
    EXPECT_EQ(limits.bufferLimit, 4 * 0x40000);

    hw.depth = 0x40000000;     // more than an i32 counts: cut, never wrapped
    hw.bitsPerWord = 64;
    hw.wordsPerSample = 4;
    limits = deviceLimits(hw);
    EXPECT_GT(limits.bufferLimit, 0);
    EXPECT_GT(limits.captureBufferSize, limits.bufferLimit);
}

TEST(DeviceLimitsTest, OnlyIsaInterfacesHaveDataAtStart) {
    for (int32_t code = 0; code < 12; ++code) {
        HardwareValues hw;
        hw.interfaceCode = code;
        hw.depth = 1024;
        hw.wordsPerSample = 1;
        hw.bitsPerWord = 64;
        EXPECT_EQ(deviceLimits(hw).dataAtStart, code >= 4 && code <= 7) << code;
    }
}

TEST(DeviceLimitsTest, DemoLimits) {
    const DeviceLimits limits = demoDeviceLimits();
    EXPECT_FALSE(limits.nanlyn);
    EXPECT_FALSE(limits.dataAtStart);
    EXPECT_EQ(limits.bufferLimit, 0x1000000);
    EXPECT_EQ(limits.captureBufferSize, 0x1000200);
    EXPECT_EQ(kDemoInterfaceCode, 0);
    EXPECT_EQ(kDemoProductCode, 0x1164);
    EXPECT_EQ(kDemoChannelCount, 64);
}

TEST(CaptureBufferTest, AllocationIsTheCaptureAreaPlusSpareBytesZeroFilled) {
    CaptureBuffer demo;
    ASSERT_TRUE(demo.allocate(demoDeviceLimits()));
    EXPECT_EQ(demo.size(), size_t{0x1000200} + 20100);
    EXPECT_TRUE(std::all_of(demo.base(), demo.base() + demo.size(), [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(demo.dataStart(), demo.base() + 128);

    HardwareValues hw;
    hw.interfaceCode = 2;
    hw.productCode = 0x2036;
    CaptureBuffer nanlyn;
    ASSERT_TRUE(nanlyn.allocate(deviceLimits(hw)));
    EXPECT_EQ(nanlyn.size(), size_t{200000} + 20100);

    hw.interfaceCode = 5;
    hw.productCode = 0x1111;
    hw.depth = 4096;
    hw.wordsPerSample = 1;
    hw.bitsPerWord = 64;
    CaptureBuffer isa;
    ASSERT_TRUE(isa.allocate(deviceLimits(hw)));
    EXPECT_EQ(isa.size(), size_t{4096 * 8 + 512 + 20100});
    EXPECT_EQ(isa.dataStart(), isa.base());
    isa.setDataAtStart(false);   // a forced stop reads with the preamble
    EXPECT_EQ(isa.dataStart(), isa.base() + 128);
}

TEST(CaptureBufferTest, AllocatesOnlyOnce) {
    CaptureBuffer buffer;
    ASSERT_TRUE(buffer.allocate(demoDeviceLimits()));
    uint8_t* first = buffer.base();
    first[0] = 7;
    HardwareValues hw;
    hw.productCode = 0x2036;
    EXPECT_FALSE(buffer.allocate(deviceLimits(hw)));
    EXPECT_EQ(buffer.base(), first);
    EXPECT_EQ(buffer.size(), size_t{0x1000200} + 20100);
    buffer.zeroAll();
    EXPECT_EQ(first[0], 0);
}

// A capture that fills the whole area, read to its last sample from the later data start, stays
// inside the allocation (the sanitizer build checks every byte read).
TEST(CaptureBufferTest, LastSampleOfAFullCaptureIsReadInsideTheAllocation) {
    HardwareValues hw;
    hw.interfaceCode = 1;
    hw.productCode = 0x2036;
    CaptureBuffer buffer;
    ASSERT_TRUE(buffer.allocate(deviceLimits(hw)));
    const int32_t length = buffer.limits().bufferLimit;
    buffer.dataStart()[length - 1] = 0x80;
    const Format formats[] = {{64, 64, 64}, {64, 36, 36}, {32, 32, 32}, {64, 64, 8}};
    for (const Format& f : formats) {
        SampleStore store;
        const int32_t count = store.attach(buffer.dataStart(), length, f.wordBits, f.rowBits, f.sampleBits, 0);
        ASSERT_GT(count, 0);
        const uint64_t last = store.fetch(count - 1);
        if (f.sampleBits == f.wordBits) {
            EXPECT_EQ(last >> (f.sampleBits - 8), 0x80u);
        }
    }
}

}  // namespace
}  // namespace kv
