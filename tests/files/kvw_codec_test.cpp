#include "viewer/files/kvw_codec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace kv {
namespace {

// A capture in memory with the spare bytes a fetch of the last sample may read.
struct Capture {
    std::vector<uint8_t> bytes;
    SampleStore store;
    explicit Capture(const std::vector<uint64_t>& words, int32_t mode = kStoragePacked) {
        bytes.assign(words.size() * 8 + 16, 0);
        for (size_t k = 0; k < words.size(); ++k) storeLe64(&bytes[k * 8], words[k]);
        store.attach(bytes.data(), static_cast<int32_t>(words.size() * 8), 64, 64, 64, mode);
    }
};

std::vector<uint64_t> decoded64(const std::vector<uint8_t>& bytes) {
    std::vector<uint64_t> v(bytes.size() / 8);
    for (size_t k = 0; k < v.size(); ++k) v[k] = loadLe64(&bytes[k * 8]);
    return v;
}

LabelTable twoLabels() {
    LabelTable t;
    t.entries[0].channel = 3;
    std::strcpy(t.entries[0].name, "CLK");
    t.entries[0].kind = kLabelSingle;
    t.entries[0].flags = kLabelSelected;
    t.entries[0].height = 40u << 16;
    t.entries[1] = t.entries[0];
    t.entries[1].channel = 5;
    std::strcpy(t.entries[1].name, "DATA");
    t.entries[1].flags = 0;
    t.entries[1].height = 7;
    return t;
}

StoredTriggerSet someTrigger() {
    StoredTriggerSet set{};
    for (size_t r = 0; r < set.size(); ++r) {
        set[r].setWord(8, static_cast<uint32_t>(r));   // mode word
        set[r].data[r] = 6;
        set[r].links[4 * r] = 2;
    }
    return set;
}

// Byte-by-byte construction from the layout tables, independent of the writer.
struct Crafted {
    std::vector<uint8_t> b;
    void u32(size_t at, uint32_t v) {
        if (b.size() < at + 4) b.resize(at + 4);
        for (int k = 0; k < 4; ++k) b[at + k] = static_cast<uint8_t>(v >> (8 * k));
    }
    void u64(size_t at, uint64_t v) { u32(at, static_cast<uint32_t>(v)), u32(at + 4, static_cast<uint32_t>(v >> 32)); }
    void text(size_t at, const char* s) {
        if (b.size() < at + std::strlen(s)) b.resize(at + std::strlen(s));
        std::memcpy(&b[at], s, std::strlen(s));
    }
};

// A 2.x file by hand: header, display record with format and product code, `slots` trigger slots
// (slot r's mode word = 100 + r), one label "BUS" over channels 1 and 0, then `data`.
Crafted craft2x(const char* id, uint32_t version, uint32_t slots, uint32_t format, uint32_t decoded,
                const std::vector<uint8_t>& data) {
    Crafted c;
    c.b.resize(68 + 272 + slots * (64 + 1088));
    c.text(0, id);
    c.u32(32, version);
    c.u32(36, 68);
    c.u32(40, 68);
    c.u32(44, 272 + slots * 64 + slots * 1088);
    const uint32_t labels = 68 + 272 + slots * 64 + slots * 1088;
    c.u32(48, labels);
    c.u32(52, 300);
    c.u32(56, labels + 300);
    c.u32(60, decoded);
    c.u32(68 + 120, format);
    c.u32(68 + 144, 0x1164);
    c.u32(68 + 168, 0x10);
    c.u32(68 + 236, 50000000);
    for (uint32_t r = 0; r < slots; ++r) {
        c.u32(340 + r * 64 + 32, 100 + r);
        c.b[340 + slots * 64 + r * 1088] = static_cast<uint8_t>(r + 1);   // level data byte 0
    }
    for (uint32_t e = 0; e < 2; ++e) {
        const size_t at = labels + e * 100;
        c.u32(at, 1 - e);
        c.text(at + 12, "BUS");
        c.u32(at + 84, e == 0 ? 2 : 9999);
    }
    c.b.resize(labels + 300);   // the third record ends the table (kind 0)
    c.b.insert(c.b.end(), data.begin(), data.end());
    return c;
}

TEST(KvwCodec, EveryFormatRoundTripsACaptureWhoseLastSampleDiffers) {
    std::vector<uint64_t> words = {5, 5, 5, 0xFFFF00000000ull, 0xFFFF00000000ull, 7, 7, 9};
    Capture cap(words);
    const LabelTable labels = twoLabels();
    const StoredTriggerSet trigger = someTrigger();
    for (int32_t format : {kKvwRaw, kKvwRunLength, kKvwZlib}) {
        KvwSource src;
        src.store = &cap.store;
        src.labels = &labels;
        src.trigger = &trigger;
        src.display.cursorPosition[1] = 6;
        src.display.productCode = 0x1164;
        src.display.setFrequency(4000000000ull);
        const std::vector<uint8_t> file = writeKvw(src, format);
        ASSERT_FALSE(file.empty());
        KvwFile got;
        ASSERT_EQ(readKvw(file.data(), file.size(), {}, got), 0) << format;
        EXPECT_EQ(decoded64(got.samples), words) << format;
        EXPECT_EQ(got.display.format, format);
        EXPECT_EQ(got.display.flags & kDisplayFlagNewWriter, kDisplayFlagNewWriter);
        EXPECT_EQ(got.display.frequency(), 4000000000ull);
        EXPECT_EQ(got.display.cursorPosition[1], 6);
        EXPECT_EQ(got.triggerRecords, 12);
        for (size_t r = 0; r < 12; ++r) {
            EXPECT_EQ(got.trigger[r].word(8), r);
            EXPECT_EQ(got.trigger[r].data[r], 6);
            EXPECT_EQ(got.trigger[r].links[4 * r], 2);
        }
        ASSERT_EQ(got.labels.count(), 2);
        EXPECT_STREQ(got.labels.entries[1].name, "DATA");
        EXPECT_EQ(got.labels.entries[0].height, (40u << 16) | 80u);   // a height of its own, low half 80
        EXPECT_EQ(got.labels.entries[1].height, 7u);
    }
    // The run-length file ends with the single last run (9, 1).
    KvwSource src;
    src.store = &cap.store;
    const std::vector<uint8_t> rl = writeKvw(src, kKvwRunLength);
    EXPECT_EQ(rl.size(), 23380u + 100 + 4 * 16);   // runs of 5, 0xFFFF00000000, 7 and 9
    EXPECT_EQ(loadLe64(&rl[rl.size() - 16]), 9u);
    EXPECT_EQ(loadLe64(&rl[rl.size() - 8]), 1u);
}

TEST(KvwCodec, RangesAreWrittenAscendingAndSelectedLabelsLoseTheirMark) {
    std::vector<uint64_t> words;
    for (uint64_t k = 0; k < 100; ++k) words.push_back(k * 3);
    Capture cap(words);
    const LabelTable labels = twoLabels();
    for (int32_t format : {kKvwRaw, kKvwRunLength, kKvwZlib}) {
        KvwSource src;
        src.store = &cap.store;
        src.labels = &labels;
        src.selectedOnly = true;
        src.start = 60;   // cursor B
        src.end = 20;     // cursor A
        const std::vector<uint8_t> file = writeKvw(src, format);
        KvwFile got;
        ASSERT_EQ(readKvw(file.data(), file.size(), {}, got), 0);
        const std::vector<uint64_t> expect(words.begin() + 20, words.begin() + 61);
        EXPECT_EQ(decoded64(got.samples), expect) << format;
        EXPECT_EQ(got.display.sampleCount, 41);
        ASSERT_EQ(got.labels.count(), 1);
        EXPECT_STREQ(got.labels.entries[0].name, "CLK");
        EXPECT_EQ(got.labels.entries[0].flags & kLabelSelected, 0u);
    }
}

TEST(KvwCodec, BlockRepeatDataRoundTripsInEveryFormat) {
    // Two blocks: the first all 0x11 repeated 3 times (60 logical samples), the second varying.
    std::vector<uint64_t> words(40, 0x11);
    words[19] |= uint64_t{2} << kRepeatFieldShift;
    for (int k = 20; k < 40; ++k) words[k] = static_cast<uint64_t>(k);
    Capture cap(words, kStorageBlockRepeat);
    ASSERT_EQ(cap.store.logicalCount(), 80);
    std::vector<uint64_t> logical;
    for (int32_t i = 0; i < 80; ++i) logical.push_back(cap.store.fetchBlock(i));
    for (int32_t format : {kKvwRaw, kKvwRunLength, kKvwZlib}) {
        KvwSource src;
        src.store = &cap.store;
        src.start = 10;   // a range is ignored: the whole capture is written
        src.end = 12;
        const std::vector<uint8_t> file = writeKvw(src, format);
        KvwFile got;
        ASSERT_EQ(readKvw(file.data(), file.size(), {}, got), 0);
        const SampleFormat f = kvwSampleFormat(got);
        std::vector<uint8_t> mem = got.samples;
        mem.resize(mem.size() + 16);
        SampleStore back;
        EXPECT_EQ(back.attach(mem.data(), static_cast<int32_t>(got.samples.size()), f.wordBits, f.rowBits,
                              f.sampleBits, f.storageMode),
                  80);
        for (int32_t i = 0; i < 80; ++i) ASSERT_EQ(back.sample(i), logical[i]) << format << " " << i;
        EXPECT_EQ(f.storageMode, format == kKvwZlib ? kStorageBlockRepeat : kStoragePacked);
    }
}

TEST(KvwCodec, SavedValuesDoNotDependOnTheDisplayInversionAnd32BitSamplesUseNarrowPairs) {
    Capture cap({0x100000001ull, 0x100000001ull, 2});
    cap.store.setInvert(true);
    KvwSource src;
    src.store = &cap.store;
    KvwFile got;
    std::vector<uint8_t> file = writeKvw(src, kKvwRaw);
    ASSERT_EQ(readKvw(file.data(), file.size(), {}, got), 0);
    EXPECT_EQ(decoded64(got.samples), (std::vector<uint64_t>{0x100000001ull, 0x100000001ull, 2}));

    StoredTriggerSet stack{};
    stack[0].setWord(kTrWordFlags, kTrFlagMemoryStack);
    src.trigger = &stack;
    src.samples32 = true;
    file = writeKvw(src, kKvwRunLength);
    EXPECT_EQ(file.size(), 23380u + 100 + 2 * 8);   // (1, 2) and (2, 1) as u32 pairs
    ASSERT_EQ(readKvw(file.data(), file.size(), {}, got), 0);
    ASSERT_EQ(got.samples.size(), 12u);
    EXPECT_EQ(getU32(&got.samples[4]), 1u);
    EXPECT_EQ(getU32(&got.samples[8]), 2u);
    const SampleFormat f = kvwSampleFormat(got);
    EXPECT_EQ(f.wordBits, 32);
    EXPECT_EQ(f.sampleBits, 32);
}

TEST(KvwCodec, HandCraftedFilesOfEveryVersionLoad) {
    // 2.02 raw: three samples.
    std::vector<uint8_t> raw(24);
    for (int k = 0; k < 3; ++k) raw[8 * k] = static_cast<uint8_t>(0xA0 + k);
    Crafted c202 = craft2x("Ombix Technology Inc.  KVW 2.02", 0x202, 20, 0, 24, raw);
    KvwFile f;
    ASSERT_EQ(readKvw(c202.b.data(), c202.b.size(), {}, f), 0);
    EXPECT_EQ(f.version, kKvwVersion202);
    EXPECT_EQ(decoded64(f.samples), (std::vector<uint64_t>{0xA0, 0xA1, 0xA2}));
    ASSERT_EQ(f.labels.count(), 2);
    EXPECT_STREQ(f.labels.entries[0].name, "BUS");
    EXPECT_EQ(f.labels.entries[1].kind, kLabelLastMember);
    EXPECT_EQ(f.labels.entries[0].height, 80u);
    EXPECT_EQ(f.display.productCode, 0x1164u);
    EXPECT_EQ(f.trigger[11].word(8), 111u);

    // 2.01 run-length: (0x55, 4) then (0x66, 1).
    Crafted runs;
    runs.u64(0, 0x55), runs.u64(8, 4), runs.u64(16, 0x66), runs.u64(24, 1);
    Crafted c201 = craft2x("Ombix Technology Inc.  KVW 2.01", 0x201, 20, 1, 40, runs.b);
    ASSERT_EQ(readKvw(c201.b.data(), c201.b.size(), {}, f), 0);
    EXPECT_EQ(f.version, kKvwVersion201);
    EXPECT_EQ(decoded64(f.samples), (std::vector<uint64_t>{0x55, 0x55, 0x55, 0x55, 0x66}));

    // 2.00: seven records restored, slot 7 onwards untouched.
    Crafted c200 = craft2x("Ombix Technology Inc.  KVW 2.00", 0x200, 7, 0, 24, raw);
    f = KvwFile{};
    ASSERT_EQ(readKvw(c200.b.data(), c200.b.size(), {}, f), 0);
    EXPECT_EQ(f.triggerRecords, 7);
    EXPECT_EQ(f.trigger[6].word(8), 106u);
    EXPECT_EQ(f.trigger[6].data[0], 7);
    EXPECT_EQ(f.trigger[7].word(8), 0u);
    EXPECT_EQ(decoded64(f.samples).size(), 3u);

    // 1.0: no trigger data; the data section is raw memory up to the end of the file.
    Crafted c100;
    c100.text(0, "Ombix Technology Inc. KV-Viewer");
    c100.u32(40, 68);
    c100.u32(48, 340);
    c100.u32(52, 100);
    c100.u32(56, 440);
    c100.u32(68 + 120, 0);
    c100.u32(340 + 84, 0);
    c100.u64(440, 0x1234), c100.u64(448, 0x5678);
    f = KvwFile{};
    ASSERT_EQ(readKvw(c100.b.data(), c100.b.size(), {}, f), 0);
    EXPECT_EQ(f.version, kKvwVersion100);
    EXPECT_EQ(f.triggerRecords, 0);
    EXPECT_EQ(decoded64(f.samples), (std::vector<uint64_t>{0x1234, 0x5678}));
    EXPECT_EQ(f.labels.count(), 0);

    // A decoded length above the buffer limit is taken up to the limit.
    KvwReadOptions small;
    small.bufferLimit = 16;
    ASSERT_EQ(readKvw(c201.b.data(), c201.b.size(), small, f), 0);
    EXPECT_EQ(f.samples.size(), 16u);
}

TEST(KvwCodec, NewerTruncatedAndLyingFilesAreRefused) {
    std::vector<uint8_t> raw(24, 1);
    // A newer writer: "Please upgrade", whatever its identification says after "KVW ".
    for (const char* id : {"Ombix Technology Inc.  KVW 2.02", "Ombix Technology Inc.  KVW 2.03"}) {
        Crafted c = craft2x(id, 0x203, 20, 0, 24, raw);
        KvwFile f;
        EXPECT_EQ(readKvw(c.b.data(), c.b.size(), {}, f), kStrUpgradeViewer) << id;
    }
    // Every cut of a valid file, in every format.
    std::vector<uint64_t> words;
    for (uint64_t k = 0; k < 64; ++k) words.push_back(k / 3);
    Capture cap(words);
    const LabelTable labels = twoLabels();
    for (int32_t format : {kKvwRaw, kKvwRunLength, kKvwZlib}) {
        KvwSource src;
        src.store = &cap.store;
        src.labels = &labels;
        const std::vector<uint8_t> file = writeKvw(src, format);
        for (size_t cut = 0; cut < file.size(); cut += (cut < 100 || file.size() - cut < 600) ? 1 : 97) {
            KvwFile f;
            ASSERT_EQ(readKvw(file.data(), cut, {}, f), kStrFileFormatError) << format << " cut " << cut;
        }
    }
    // Lies: an unknown identification, a wrong records size, offsets past the end, a decoded length
    // beyond the data, an unknown format, a group without its last member.
    struct Lie {
        size_t at;
        uint32_t value;
    };
    for (const Lie lie : {Lie{0, 0x78}, Lie{44, 23311}, Lie{40, 0xFFFFFFF0u}, Lie{48, 0x7FFFFFFF}, Lie{52, 0xFFFFFF00u},
                          Lie{56, 0x01000000}, Lie{60, 25}, Lie{68 + 120, 3}, Lie{23380 + 100 + 84, 3}}) {
        Crafted c = craft2x("Ombix Technology Inc.  KVW 2.02", 0x202, 20, 0, 24, raw);
        c.u32(lie.at, lie.value);
        KvwFile f;
        EXPECT_EQ(readKvw(c.b.data(), c.b.size(), {}, f), kStrFileFormatError) << lie.at;
    }
}

TEST(KvwCodec, OlderWritersRemapTheirFlagsAndRateThroughTheRateTable) {
    // KvTbl2Freq's answers: 7 a rate, 3 the external clock, 31 "none", anything else unknown.
    const RateTableLookup table = [](uint32_t code, uint32_t& rate, uint32_t& external) {
        rate = code == 7 ? 20000000 : 0;
        external = code == 3;
        return code == 7 || code == 3 || code == 31;
    };
    struct Case {
        uint32_t flags, rate;
        bool nanlyn;
        uint32_t wantFlags, wantRate, wantClock;
    };
    for (const Case c : {Case{0x0, 7, false, 0x11, 20000000, 1}, Case{0x4, 7, false, 0x13, 20000000, 1},
                         Case{0x1, 7, false, 0x13, 20000000, 1}, Case{0x3, 9, false, 0x11, 100000000, 1},
                         Case{0x0, 3, false, 0x11, 100000000, 1}, Case{0x0, 31, false, 0x11, 100000000, 1},
                         Case{0x0, 9, true, 0x11, 9, 5}, Case{0x10, 7, false, 0x10, 7, 5}}) {
        DisplayState d;
        d.flags = c.flags;
        d.freqLow = c.rate;
        d.freqHigh = c.nanlyn || (c.flags & 0x10) ? 0 : 0xDEAD;
        d.clockSelection = 5;
        remapOlderWriter(d, c.nanlyn, table);
        EXPECT_EQ(d.flags, c.wantFlags) << c.flags;
        EXPECT_EQ(d.frequency(), c.wantRate) << c.flags << " " << c.rate;
        EXPECT_EQ(d.clockSelection, c.wantClock) << c.flags;
    }
}

}  // namespace
}  // namespace kv
