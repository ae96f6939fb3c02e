// Captures of known virtual signals on every board path, read back with KvReadCapData: the samples
// come in time order and the trigger sample sits at the trigger position.
#include <algorithm>
#include <cstring>

#include "runtime/capture.h"
#include "runtime/halvex_api.h"
#include "runtime/le_bytes.h"
#include "runtime/trigger_program.h"
#include "tests/runtime/capture_fixture.h"

namespace kv {
namespace {

constexpr uint16_t kMark = 0x1234;  // the value the trigger waits for on channels 0-15

struct Capture {
    KvTriggerSpec record;
    std::vector<uint8_t> pattern = std::vector<uint8_t>(kTriggerPatternBytes, kCondDontCare);
    std::vector<uint8_t> counts = std::vector<uint8_t>(64, 0);
    uint8_t call[kTriggerCallBytes] = {};
    // One level, one slot, channels 0-15 equal to `mark` (a negative position: no trigger).
    Capture(int patternSize, int position, uint64_t rate = 100000000, bool trigger = true) {
        record.field[kTrPatternSize] = static_cast<uint32_t>(patternSize);
        record.field[kTrLevels] = 1;
        record.field[kTrSlotsPerLevel] = 1;
        record.field[kTrRateLow] = static_cast<uint32_t>(rate);
        record.field[kTrRateHigh] = static_cast<uint32_t>(rate >> 32);
        record.field[kTrClockSource] = 1;
        record.field[kTrPosition] = static_cast<uint32_t>(position);
        counts[0] = 1;
        if (trigger)
            for (int c = 0; c < 16; ++c) pattern[c] = ((kMark >> c) & 1) ? kCondHigh : kCondLow;
    }
    // The Nanlyn level block: the one-level trigger in slot 15 of condition 0.
    void nanlynMark(uint64_t value) {
        std::fill(pattern.begin(), pattern.end(), 0);
        for (int i = 0; i < 6; ++i) {
            pattern[kNanlynValueMasks + 6 * 15 + i] = static_cast<uint8_t>(value >> (8 * i));
            pattern[kNanlynCareMasks + 6 * 15 + i] = static_cast<uint8_t>(0xFFFFull >> (8 * i));
        }
    }
    void* get() {
        record.pattern = pattern.data();
        record.counts = counts.data();
        writeTriggerCall(record, call);
        return call;
    }
};

class CaptureTest : public CaptureFixture {
protected:
    // Arms, waits for the board and reads back; the output as 64-bit words (first 8 bytes of each
    // sample entry).
    std::vector<uint64_t> capture(int index, Capture& c, size_t entryBytes, uint32_t groups = 0xFF) {
        EXPECT_EQ(runtime->captureData(index, c.get()), 1);
        EXPECT_NE(runtime->isDataReady(index), 0);
        const uint32_t bytes = runtime->getHwInfo(index, kHwReadBytes);
        std::vector<uint8_t> out(bytes + 64, 0xEE);
        EXPECT_EQ(runtime->readCapData(index, out.data(), 0, groups), 1);
        std::vector<uint64_t> samples(bytes / entryBytes);
        for (size_t i = 0; i < samples.size(); ++i) samples[i] = getLe64(&out[i * entryBytes]);
        EXPECT_EQ(out[bytes], 0xEE);  // nothing written past the read length
        return samples;
    }
    // Consecutive samples step by `step` in the bits of `mask`.
    static size_t outOfOrder(const std::vector<uint64_t>& s, uint64_t mask, uint64_t step) {
        size_t bad = 0;
        for (size_t i = 1; i < s.size(); ++i)
            if (((s[i] - s[i - 1]) & mask) != (step & mask)) ++bad;
        return bad;
    }
};

TEST_F(CaptureTest, PocketBoardHoldsTheSignalInOrderWithTheTriggerAtItsPosition) {
    HalvexRuntime& rt = load("usb0=pocket:1216");
    ASSERT_EQ(open(0), 0);
    Capture c(16, 1000, 50000000);  // 50 MHz: the inputs advance by 4 base periods a sample
    const auto s = capture(0, c, 8);
    ASSERT_EQ(s.size(), 0x20000u);
    // Bank 0 at bytes 0-1, bank 1 at bytes 4-5: the 32-bit count of the board's inputs.
    std::vector<uint64_t> counts(s.size());
    for (size_t i = 0; i < s.size(); ++i) counts[i] = (s[i] & 0xFFFF) | ((s[i] >> 32) & 0xFFFF) << 16;
    EXPECT_EQ(outOfOrder(counts, 0xFFFFFFFF, 4), 0u);
    EXPECT_EQ(counts[1000] & 0xFFFF, kMark);
    EXPECT_EQ(static_cast<int64_t>(counts[1000]), 4 * sys.board("usb0")->triggerSample());
    EXPECT_EQ(rt.getHwInfo(0, kHwAlignCorrection), 0u);
    EXPECT_EQ(rt.getHwInfo(0, kHwUnwrittenSamples), 0u);
    EXPECT_EQ(rt.getHwInfo(0, kHwLastReadResult), 1u);

    // Run-length memory (record flag bit 3): bank 1 holds how often bank 0's value repeats.
    sys.board("usb0")->signalBase = 1u << 16;  // every value at least once more
    Capture rle(16, 1000, 50000000);
    rle.record.field[kTrFlags] = kTrFlagModeBit7;
    const auto r = capture(0, rle, 8);
    size_t repeated = 0, bank1 = 0;
    for (size_t i = 0; i + 1 < r.size(); ++i) repeated += (r[i] & 0xFFFF) == (r[i + 1] & 0xFFFF);
    for (uint64_t v : r) bank1 += (v >> 32) != 0;
    EXPECT_GE(repeated, r.size() / 2 - 1);
    EXPECT_EQ(bank1, 0u);  // the repeat counts are not samples
}

TEST_F(CaptureTest, GenericBoardsOfFamiliesOneAndThreeReadTheirGroupsInOrder) {
    HalvexRuntime& rt = load("usb0=usb2epp:1132:1;pci0=pci:1164:3");
    ASSERT_EQ(open(0), 0);
    Capture c(64, 4000);
    auto s = capture(0, c, 8, 0x0F);
    ASSERT_EQ(s.size(), 0x10000u);
    // At 100 MHz the trigger (count 0x1234) comes 2330 samples in, and the board fills its last
    // 4-sample word: 65536 - 63868 samples were never written, and the trigger landed 2 samples
    // early, which the alignment puts right.
    EXPECT_EQ(rt.getHwInfo(0, kHwUnwrittenSamples), 1668u);
    EXPECT_EQ(static_cast<int32_t>(rt.getHwInfo(0, kHwAlignCorrection)), -2);
    EXPECT_EQ(s[1669], 0u);
    EXPECT_EQ(outOfOrder({s.begin() + 1670, s.end()}, 0xFFFFFFFF, 2), 0u);
    EXPECT_EQ(s[4000] & 0xFFFF, kMark);
    EXPECT_EQ(static_cast<int64_t>(s[4000] & 0xFFFFFFFF), 2 * sys.board("usb0")->triggerSample());
    // Groups not asked for stay zero.
    s = capture(0, c, 8, 0x01);
    size_t stray = 0;
    for (uint64_t v : s) stray += (v >> 8) != 0;
    EXPECT_EQ(stray, 0u);

    ASSERT_EQ(open(128), 128);
    Capture f3(64, 2000);
    s = capture(128, f3, 8, 0x0F);
    EXPECT_EQ(rt.getHwInfo(128, kHwUnwrittenSamples), 0u);
    // The last 4-byte word filled up puts the trigger 2 samples early; the alignment reads across
    // the output's start for them.
    EXPECT_EQ(static_cast<int32_t>(rt.getHwInfo(128, kHwAlignCorrection)), -2);
    EXPECT_EQ(outOfOrder({s.begin() + 2, s.end()}, 0xFFFFFFFF, 2), 0u);
    EXPECT_EQ(s[2000] & 0xFFFF, kMark);
    // A board whose status word names word 100 as the window's first: the output starts 400 samples
    // later in its memory and ends in zeros (the trigger then lies outside the alignment's window).
    sys.board("pci0")->windowWord = 100;
    const auto w = capture(128, f3, 8, 0x0F);
    EXPECT_EQ(rt.getHwInfo(128, kHwAlignCorrection), 0u);
    EXPECT_EQ(w[2000 - 2 - 400] & 0xFFFF, kMark);
    EXPECT_EQ(w[0], s[400 + 2]);
    EXPECT_EQ(outOfOrder({w.begin(), w.end() - 400}, 0xFFFFFFFF, 2), 0u);
    EXPECT_EQ(std::count(w.end() - 400, w.end(), 0u), 400);
    sys.board("pci0")->windowWord = 0;
    // No trigger: the capture starts at the last address and runs once through the memory.
    Capture free(64, 2000, 100000000, false);
    EXPECT_EQ(rt.captureData(0, free.get()), 1);
    EXPECT_EQ(sys.board("usb0")->captureAddress(), 0x3FFF);
}

// A wrapped bank arrives as 65,792 bytes whose last 256 are its first; an unwritten bank holds only
// the words written. The board's latched window start wins unless it agrees and the capture runs on.
TEST(GenericReadBack, BanksComeInTimeOrderAndTheWindowStartsWhereTheBoardSays) {
    std::vector<uint8_t> bank(kGenericGroupBytes), raw(kGenericWrappedBytes), out(kGenericGroupBytes);
    for (size_t i = 0; i < bank.size(); ++i) bank[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
    // The stream: bytes 256 on, then the first 256 twice (the second copy is the one kept).
    auto stream = [&]() {
        std::copy(bank.begin() + 256, bank.end(), raw.begin());
        std::copy(bank.begin(), bank.begin() + 256, raw.begin() + (kGenericGroupBytes - 256));
        std::copy(bank.begin(), bank.begin() + 256, raw.begin() + kGenericGroupBytes);
    };
    for (size_t address : {size_t{0x3FFF}, size_t{0}, size_t{63}, size_t{0x2000}}) {
        stream();
        EXPECT_EQ(orderGenericGroup(raw.data(), raw.size(), true, address, out.data()), 0u);
        const size_t oldest = (address * 4 + 4) % kGenericGroupBytes;
        size_t wrong = 0;
        for (size_t i = 0; i < out.size(); ++i) wrong += out[i] != bank[(oldest + i) % bank.size()];
        EXPECT_EQ(wrong, 0u) << address;
    }
    // Not wrapped: words 0-9 written (40 bytes); the 65,496 bytes never written come first as zeros.
    std::copy(bank.begin(), bank.begin() + 40, raw.begin());
    EXPECT_EQ(orderGenericGroup(raw.data(), 40, false, 9, out.data()), kGenericGroupBytes - 40);
    EXPECT_EQ(std::count(out.begin(), out.end() - 40, 0), static_cast<long>(kGenericGroupBytes - 40));
    EXPECT_TRUE(std::equal(out.end() - 40, out.end(), bank.begin()));

    KvDevice d;
    d.slot.wordsPerSample = 4;
    d.slot.triggerDelay = 3;
    d.readyMask = 0x4000;
    d.trigger.position = 100;  // 4 x (0x3FFF - 400 - 3) = 63,920
    EXPECT_EQ(genericTriggerStart(d, 0x3E6C), 63920u);            // agrees, still running: computed
    EXPECT_EQ(genericTriggerStart(d, 0x4000 | 0x3E6C), 63920u);   // agrees, complete: latched (same)
    EXPECT_EQ(genericTriggerStart(d, 0x0005), 20u);               // disagrees: the board's
    EXPECT_EQ(genericTriggerStart(d, 0x4000 | 0x0005), 20u);
    d.trigger.position = 5000;  // computed below zero: the board's word
    EXPECT_EQ(genericTriggerStart(d, 0x4000), 0u);
}

TEST_F(CaptureTest, FiveHundredTwelveKBoardsReadFullAndPartialLengths) {
    HalvexRuntime& rt = load("usb0=usb20:2232:3");
    ASSERT_EQ(open(0), 0);
    Capture c(64, 1000);
    auto s = capture(0, c, 8, 0x0F);
    ASSERT_EQ(s.size(), 0x40000u);
    EXPECT_EQ(outOfOrder(s, 0xFFFFFFFF, 2), 0u);
    EXPECT_EQ(s[1000] & 0xFFFF, kMark);
    // A shorter capture never wraps the memory: the newest samples are read, the trigger in place.
    ASSERT_EQ(rt.setHwInfo(0, kHwSetCaptureLength, 0x10000), 1);
    Capture part(64, 3000);
    s = capture(0, part, 8, 0x0F);
    ASSERT_EQ(s.size(), 0x10000u);
    EXPECT_EQ(outOfOrder({s.begin() + 670, s.end()}, 0xFFFFFFFF, 2), 0u);
    EXPECT_EQ(s[3000] & 0xFFFF, kMark);
    // The trigger came 3000 - 2330 samples too early for the memory to fill: those read as zero.
    EXPECT_EQ(rt.getHwInfo(0, kHwUnwrittenSamples), 670u);
    EXPECT_EQ(s[669], 0u);
    EXPECT_EQ(s[671], 2u);
}

TEST_F(CaptureTest, FiveHundredTwelveKArmingRegistersAndStopFollowTheRecord) {
    HalvexRuntime& rt = load("usb0=usb20:2264:3");
    ASSERT_EQ(open(0), 0);
    VirtualBoard& b = *sys.board("usb0");
    // Kind 2: two sequences of four slots; counts 1 mark single-count slots, 2 the sequence ends.
    Capture c(64, 100);
    c.record.field[kTrLevels] = 8;
    c.record.field[kTrKind] = 2;
    c.record.field[kTrClockSource] = 10;  // CH31: control register 0x20 (clock code 1)
    const uint8_t counts[8] = {1, 2, 0, 0, 0, 0, 2, 1};
    for (int j = 0; j < 8; ++j) c.counts[4 * j] = counts[j];
    ASSERT_EQ(rt.captureData(0, c.get()), 1);
    EXPECT_EQ(b.addressRegister(2), 0x81);                // slots 0 and 7 count once
    EXPECT_EQ(b.addressRegister(4), (1 << 1) + (1 << 6));  // first 2 in slots 0-2 and 4-6
    EXPECT_EQ(b.controlRegister(), 0x20);
    const size_t before = b.frames().size();
    ASSERT_EQ(rt.stopCap(0), 1);
    const auto f = b.frames();
    ASSERT_EQ(f.size(), before + 2);
    EXPECT_EQ(f[before], (std::vector<uint8_t>{0x5A, 0x0F, 0x77, 0x07, 0x7E}));
    EXPECT_EQ(f[before + 1], (std::vector<uint8_t>{0x5A, 0x0F, 0x77, 0x00}));
    // One sequence of three slots: register 4 holds 1 << 2; no count-1 mask with flag bit 2.
    Capture seq(64, 100);
    seq.record.field[kTrLevels] = 3;
    seq.record.field[kTrFlags] = kTrFlagSecondSet;
    ASSERT_EQ(rt.captureData(0, seq.get()), 1);
    EXPECT_EQ(b.addressRegister(2), 0);
    EXPECT_EQ(b.addressRegister(4), 34);
    seq.record.field[kTrFlags] = 0;
    ASSERT_EQ(rt.captureData(0, seq.get()), 1);
    EXPECT_EQ(b.addressRegister(4), 1 << 2);
}

TEST_F(CaptureTest, IsaCardReadsEightBanksIntoLanes) {
    HalvexRuntime& rt = load("isa0=1164");
    ASSERT_EQ(open(136), 136);
    Capture c(64, 1000);
    const auto s = capture(136, c, 16);
    ASSERT_EQ(s.size(), 0x8000u);
    EXPECT_EQ(outOfOrder(s, ~0ull, 2), 0u);
    EXPECT_EQ(s[1000] & 0xFFFF, kMark);
    // At 200 MHz the card says its banks come pairwise swapped; the lanes still come out in order.
    sys.board("isa0")->isaSwapped = true;
    Capture fast(64, 1000, 200000000);
    const auto f = capture(136, fast, 16);
    EXPECT_EQ(outOfOrder(f, ~0ull, 1), 0u);
    EXPECT_EQ(f[1000] & 0xFFFF, kMark);
    EXPECT_EQ(rt.getHwInfo(136, kHwAlignCorrection), 0u);
}

TEST_F(CaptureTest, NanlynBoardReadsTheNewestSamplesWithItsDividerAndStatus) {
    HalvexRuntime& rt = load("usb0=2036");
    ASSERT_EQ(open(0), 0);
    ASSERT_EQ(rt.setHwInfo(0, kHwSelectMode, 4056), 1);
    Capture c(64, 1500);
    c.nanlynMark(0x2468);  // the inputs advance by 2 per sample at 100 MHz (divider 1)
    EXPECT_EQ(rt.captureData(0, c.get()), 1);
    EXPECT_EQ(rt.isDataReady(0), 1);
    const uint32_t bytes = rt.getHwInfo(0, kHwReadBytes);
    ASSERT_EQ(bytes, 4000u * 8);
    std::vector<uint8_t> out(bytes + 16);
    ASSERT_EQ(rt.readCapData(0, out.data(), 0, 0xFF), 1);
    std::vector<uint64_t> s(4000);
    for (size_t i = 0; i < s.size(); ++i) s[i] = getLe64(&out[8 * i]);
    EXPECT_EQ(outOfOrder(s, kNanlynChannelBits, 2), 0u);
    EXPECT_EQ(s[1500] & 0xFFFF, 0x2468u);
    // Live status: measured rate from the status block, progress complete.
    uint8_t state[16];
    uint8_t rate[8];
    int progress = 0;
    ASSERT_EQ(rt.getInstantData(0, 1, state, rate, &progress), 1);
    EXPECT_EQ(getLe64(rate), 100000u);
    EXPECT_EQ(progress, 1000);

    // 400 MHz: memory words of two phases; the output holds the words, the trigger's at P / 2.
    ASSERT_EQ(rt.setHwInfo(0, kHwSelectMode, 4059), 1);
    Capture fast(64, 1000, 400000000);
    fast.nanlynMark(kMark);
    ASSERT_EQ(rt.captureData(0, fast.get()), 1);
    ASSERT_EQ(rt.isDataReady(0), 1);
    std::vector<uint8_t> words(2000 * 8 + 16 + 8, 0xEE);
    ASSERT_EQ(rt.readCapData(0, words.data(), 0, 0xFF), 1);
    EXPECT_EQ(words[2000 * 8 + 16], 0xEE);  // 4000 samples / 2 phases x 8 bytes, then 16
    std::vector<uint64_t> w(2000);
    for (size_t i = 0; i < w.size(); ++i) w[i] = getLe64(&words[8 * i]);
    EXPECT_EQ(outOfOrder(w, kNanlynChannelBits, 1), 0u);
    EXPECT_EQ(w[500] & 0xFFFF, kMark);
    EXPECT_EQ(rt.getHwInfo(0, kHwFirstSamplePhase), 0u);
}

TEST_F(CaptureTest, NanlynCaptureStoppedEarlyReadsWhatWasRecorded) {
    HalvexRuntime& rt = load("usb0=2036");
    ASSERT_EQ(open(0), 0);
    ASSERT_EQ(rt.setHwInfo(0, kHwSelectMode, 4056), 1);
    VirtualBoard& b = *sys.board("usb0");
    b.sampleLimit = 10000;  // the board runs this long, then waits for the stop
    Capture c(64, 1500);
    c.nanlynMark(1ull << 35);  // channel 35 never goes high
    for (int i = 0; i < 6; ++i) c.pattern[kNanlynCareMasks + 6 * 15 + i] = static_cast<uint8_t>(0xFFFFFFFFFull >> (8 * i));
    ASSERT_EQ(rt.captureData(0, c.get()), 1);
    EXPECT_EQ(rt.isDataReady(0), 0);
    int progress = 0;
    ASSERT_EQ(rt.getInstantData(0, 0, nullptr, nullptr, &progress), 1);
    EXPECT_LT(progress, 1000);
    EXPECT_EQ(rt.stopCap(0), 0);  // the Nanlyn stop answers 0
    std::vector<uint8_t> out(4000 * 8 + 16, 0xEE);
    ASSERT_EQ(rt.readCapData(0, out.data(), 1, 0xFF), 1);
    // 10000 samples through a 4000-sample memory: the write position is 2000; those 2000 newest
    // samples end the output and the rest stays zero.
    EXPECT_EQ(rt.getHwInfo(0, kHwUnwrittenSamples), 2000u);
    EXPECT_EQ(getLe64(&out[8 * 1999]), 0u);
    EXPECT_EQ(getLe64(&out[8 * 2000]), 2u * 8000);
    EXPECT_EQ(getLe64(&out[8 * 3999]), 2u * 9999);
}

TEST_F(CaptureTest, NanlynFastModesSkipThePhaseAndSumTheTimeStamps) {
    HalvexRuntime& rt = load("usb0=2036");
    ASSERT_EQ(open(0), 0);
    VirtualBoard& b = *sys.board("usb0");
    b.fastPhase = 7;
    ASSERT_EQ(rt.setHwInfo(0, kHwSetCaptureLength, 2500), 1);
    for (int mode : {4005, 4051}) {
        ASSERT_EQ(rt.setHwInfo(0, kHwSelectMode, static_cast<uint32_t>(mode)), 1);
        // Time-stamp mode: every block's last word says it skipped 3 idle periods of 20 samples.
        b.signalBase = mode == 4051 ? 3ull << 46 : 0;
        Capture c(64, 1000, 4000000000ull);
        c.nanlynMark(0x1234);
        ASSERT_EQ(rt.captureData(0, c.get()), 1);
        ASSERT_EQ(rt.isDataReady(0), 1);
        std::vector<uint8_t> out(2500 * 8 + 16);
        ASSERT_EQ(rt.readCapData(0, out.data(), 0, 0xFF), 1) << mode;
        std::vector<uint64_t> s(2500);
        for (size_t i = 0; i < s.size(); ++i) s[i] = getLe64(&out[8 * i]);
        EXPECT_EQ(outOfOrder(s, ~0ull, 1), 0u) << mode;
        EXPECT_EQ(s[1000] & 0xFFFF, kMark) << mode;
        EXPECT_EQ(rt.getHwInfo(0, kHwFirstSamplePhase), 7u);
        EXPECT_EQ(rt.getHwInfo(0, kHwTimeStampTotal), mode == 4051 ? 128u * 80 : 0u);
        EXPECT_EQ(rt.getHwInfo(0, kHwTimeStampPre), mode == 4051 ? 50u * 80 : 0u);
    }
}

TEST_F(CaptureTest, StatusRatesEventOutputsAndBuffersTooSmall) {
    EXPECT_EQ(measuredRate(1000, 2000), 100000u);
    EXPECT_EQ(measuredRate(2000, 1000), 47683u);
    EXPECT_EQ(measuredRate(0, 1000), 0u);
    uint8_t small[16] = {};
    env.writable = [&](void* p, size_t n) { return p != nullptr && (p != small || n <= sizeof small); };
    HalvexRuntime& rt = load("usb0=usb2epp:1132:1");
    ASSERT_EQ(open(0), 0);
    VirtualBoard& b = *sys.board("usb0");
    EXPECT_EQ(rt.eventOut(0, 0xFF), 1);
    EXPECT_EQ(b.frames().back(), (std::vector<uint8_t>{0x5A, 0x0F, 0x33, 0xE2, 0x00}));
    Capture c(64, 100);
    ASSERT_EQ(rt.captureData(0, c.get()), 1);
    const size_t before = b.log().size();
    EXPECT_EQ(rt.readCapData(0, small, 0, 0xFF), 0);
    EXPECT_EQ(b.log().size(), before);
    for (uint8_t v : small) EXPECT_EQ(v, 0);
    EXPECT_EQ(rt.readCapData(5, small, 0, 0xFF), 0);
    // A capture length the caller set out of reason reads nothing.
    ASSERT_EQ(rt.setHwInfo(0, kHwSetCaptureLength, 0xFFFFFFFFu), 1);
    std::vector<uint8_t> big(1 << 20);
    EXPECT_EQ(rt.readCapData(0, big.data(), 0, 0xFF), 0);
    EXPECT_EQ(rt.stopCap(0), 1);
    EXPECT_EQ(rt.eventOut(7, 1), 0);
}

TEST_F(CaptureTest, SingleDeviceCaptureAndReadUseTheCallersBuffers) {
    HalvexRuntime& rt = load("usb0=pocket:1216");
    ASSERT_EQ(rt.ukvInit(), 1);
    Capture c(16, 800);
    c.get();
    // The record's own buffers are replaced by the two the caller passes.
    std::vector<uint8_t> pattern(c.pattern), counts(c.counts);
    c.record.pattern = nullptr;
    c.record.counts = nullptr;
    writeTriggerCall(c.record, c.call);
    ASSERT_EQ(rt.ukvCapture(c.call, counts.data(), pattern.data()), 1);
    EXPECT_EQ(rt.ukvGetHwInfo(1), 1u);
    std::vector<uint8_t> out(rt.ukvGetHwInfo(2) + 16, 0xEE);
    ASSERT_EQ(rt.ukvRead(out.data(), 0xFF), 1);
    EXPECT_EQ(getLe16(&out[8 * 800]), kMark);
    EXPECT_EQ(getLe16(&out[8 * 801]), kMark + 1);
    EXPECT_EQ(out[rt.ukvGetHwInfo(2)], 0xEE);
    EXPECT_EQ(rt.ukvShutdown(), 1);
}

TEST_F(CaptureTest, LoggerStreamsForTwentySecondsAndRestoresTheImage) {
    uint64_t clock = 0;
    env.nowMs = [&clock]() { return clock += 1000; };
    HalvexRuntime& rt = load("usb0=2036");
    ASSERT_EQ(open(0), 0);
    ASSERT_EQ(rt.setHwInfo(0, kHwSelectMode, 4056), 1);
    const std::string path = testing::TempDir() + "kv_logger_test.bin";
    VirtualBoard& b = *sys.board("usb0");
    const size_t before = b.log().size();
    ASSERT_EQ(rt.logger(0, 99, path.c_str()), 1);
    size_t reads = 0;
    for (size_t i = before; i < b.log().size(); ++i)
        if (b.log()[i].op == Exchange::Op::BulkIn && b.log()[i].data.size() == 2048) ++reads;
    EXPECT_EQ(reads, 19u);
    EXPECT_EQ(rt.device(0)->loadedImage, 4056);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    std::remove(path.c_str());
    EXPECT_EQ(rt.logger(0, 99, nullptr), 0);
}

}  // namespace
}  // namespace kv
