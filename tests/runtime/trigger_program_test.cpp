// Trigger records as the boards take them: refusals, expansion, the unchanged test and each path's
// registers or tables.
#include <cstring>

#include "runtime/le_bytes.h"
#include "runtime/trigger_program.h"
#include "tests/runtime/capture_fixture.h"

namespace kv {
namespace {

// A record in its call form with its own buffers.
struct Record {
    KvTriggerSpec spec;
    std::vector<uint8_t> pattern;
    std::vector<uint8_t> counts;
    uint8_t call[kTriggerCallBytes] = {};
    Record(int patternSize, int levels, int slots, uint8_t fill = kCondDontCare) {
        pattern.assign(static_cast<size_t>(std::max(static_cast<int>(kTriggerPatternBytes), patternSize * levels)), fill);
        counts.assign(4 * 16, 0);
        spec.field[kTrPatternSize] = static_cast<uint32_t>(patternSize);
        spec.field[kTrLevels] = static_cast<uint32_t>(levels);
        spec.field[kTrSlotsPerLevel] = static_cast<uint32_t>(slots);
        spec.field[kTrRateLow] = 100000000;
        spec.field[kTrClockSource] = 1;
    }
    void* get() {
        spec.pattern = pattern.data();
        spec.counts = counts.data();
        writeTriggerCall(spec, call);
        return call;
    }
};

using TriggerTest = CaptureFixture;

TEST_F(TriggerTest, PocketWordsAndMaskFollowConditionsAndPassCount) {
    HalvexRuntime& rt = load("usb0=pocket:1216");
    ASSERT_EQ(open(0), 0);
    VirtualBoard& b = *sys.board("usb0");
    Record all8(16, 1, 1, kCondDontCare);
    ASSERT_EQ(rt.trigger(0, all8.get()), 1);
    auto f = b.frames();
    ASSERT_GE(f.size(), 2u);
    EXPECT_EQ(f[f.size() - 2], (std::vector<uint8_t>{0x5A, 0x0F, 0x66, 0x02, 0, 0, 0, 0, 0}));
    EXPECT_EQ(f.back(), (std::vector<uint8_t>{0x5A, 0x0F, 0x66, 0x05, 0xFF, 0xFF, 0}));
    Record all0(16, 1, 1, kCondLow);
    ASSERT_EQ(rt.trigger(0, all0.get()), 1);
    f = b.frames();
    EXPECT_EQ(f[f.size() - 2], (std::vector<uint8_t>{0x5A, 0x0F, 0x66, 0x02, 0xFF, 0xFF, 0xFF, 0xFF, 0}));
    EXPECT_EQ(f.back(), (std::vector<uint8_t>{0x5A, 0x0F, 0x66, 0x05, 0, 0, 0}));
    all0.spec.field[kTrPassCount] = static_cast<uint32_t>(-1);
    ASSERT_EQ(rt.trigger(0, all0.get()), 1);
    EXPECT_EQ(b.frames().back(), (std::vector<uint8_t>{0x5A, 0x0F, 0x66, 0x05, 0xFF, 0xFF, 0}));
    // Two slots: channel 0 rising, 1 falling, 2 high, 3 low, second set flag gives n = 17.
    Record edge(16, 1, 2);
    edge.pattern[0] = kCondLow;
    edge.pattern[1] = kCondHigh;
    edge.pattern[2] = kCondHigh;
    edge.pattern[3] = kCondLow;
    edge.spec.field[kTrPatternSize] = 16;
    edge.spec.field[kTrLevels] = 1;
    edge.spec.field[kTrSlotsPerLevel] = 2;
    edge.spec.field[kTrFlags] = kTrFlagSecondSet;
    TriggerCopy t;
    KvTriggerSpec s = edge.spec;
    s.pattern = edge.pattern.data();
    s.counts = edge.counts.data();
    ASSERT_TRUE(expandTrigger(*rt.device(0), s, t));
    // Both slots of the level carry the level's pattern: channel 0 low/low, 1 high/high.
    const PocketTriggerWords w = pocketTriggerWords(t);
    EXPECT_EQ(w.a, 0x0009);
    EXPECT_EQ(w.c, 0x0009);
    EXPECT_EQ(w.mask, 0xFFF0);
    ASSERT_EQ(rt.trigger(0, edge.get()), 1);
    EXPECT_EQ(b.frames()[b.frames().size() - 2].back(), 17);
    // Refusals send nothing.
    const size_t before = b.log().size();
    Record none(16, 0, 1);
    EXPECT_EQ(rt.trigger(0, none.get()), 0);
    Record tooMany(16, 17, 1);
    EXPECT_EQ(rt.trigger(0, tooMany.get()), 0);
    Record tooWide(64, 16, 1);
    tooWide.spec.field[kTrPatternSize] = 65;
    EXPECT_EQ(rt.trigger(0, tooWide.get()), 0);
    Record noBuffer(16, 1, 1);
    noBuffer.get();
    noBuffer.spec.pattern = nullptr;
    writeTriggerCall(noBuffer.spec, noBuffer.call);
    EXPECT_EQ(rt.trigger(0, noBuffer.call), 0);
    EXPECT_EQ(rt.trigger(1, all8.get()), 0);
    EXPECT_EQ(b.log().size(), before);
}

TEST(TriggerTables, EachByteHoldsTheSlotsItsValueMatches) {
    TriggerCopy t;
    t.patternSize = 64;
    t.slotCount = 2;
    t.patterns.assign(64 * 16, kCondDontCare);
    t.patterns[0] = kCondHigh;      // slot 0: channel 0 high, channel 1 low
    t.patterns[1] = kCondLow;
    t.patterns[64 + 17] = kCondHigh;  // slot 1: channel 17 high (group 1, bit 1)
    std::vector<uint8_t> table;
    buildTriggerTable(t, 0, 0, 2, false, table);
    ASSERT_EQ(table.size(), 0x10000u);
    EXPECT_EQ(table[0x0001], 0x3);  // slot 0 matches, slot 1 does not care about group 0
    EXPECT_EQ(table[0x0003], 0x2);
    EXPECT_EQ(table[0x0000], 0x2);
    buildTriggerTable(t, 1, 0, 2, false, table);
    EXPECT_EQ(table[0x0002], 0x3);
    EXPECT_EQ(table[0x0000], 0x1);
    buildTriggerTable(t, 0, 0, 2, true, table);  // 512K boards: stored from the top address down
    EXPECT_EQ(table[0xFFFF - 0x0001], 0x3);
    t.patternSize = 16;                          // groups beyond the pattern are all ones
    buildTriggerTable(t, 2, 0, 2, false, table);
    EXPECT_EQ(table[0x1234], 0xFF);
}

TEST_F(TriggerTest, IdenticalSecondCaptureSendsNoTablesAndChangedOneDoes) {
    HalvexRuntime& rt = load("usb0=usb2epp:1132:1;usb1=usb20:2232:3");
    ASSERT_EQ(open(0), 0);
    ASSERT_EQ(open(1), 1);
    VirtualBoard& f1 = *sys.board("usb0");
    Record r(64, 1, 1);
    r.pattern[3] = kCondHigh;
    r.counts[0] = 1;
    ASSERT_EQ(rt.captureData(0, r.get()), 1);
    EXPECT_EQ(f1.triggerTableLoads(), 4);  // one 65,537-byte table per 16-channel group
    int loads = f1.triggerTableLoads();
    r.spec.field[kTrPosition] = 100;  // position and pass count are not part of the test
    ASSERT_EQ(rt.captureData(0, r.get()), 1);
    EXPECT_EQ(f1.triggerTableLoads(), loads);
    r.pattern[4] = kCondLow;
    ASSERT_EQ(rt.captureData(0, r.get()), 1);
    EXPECT_EQ(f1.triggerTableLoads(), loads + 4);
    // A 512K board loads two passes of four reversed tables.
    VirtualBoard& big = *sys.board("usb1");
    ASSERT_EQ(rt.trigger(1, r.get()), 1);
    EXPECT_EQ(big.triggerTableLoads(), 8);
}

TEST(NanlynConversion, LevelsBecomeRightAlignedMasksWithLinks) {
    std::vector<uint8_t> pattern(kTriggerPatternBytes, kCondDontCare);
    pattern[0] = kCondHigh;        // level 0: channel 0 high, channel 35 low
    pattern[35] = kCondLow;
    pattern[64 + 1] = kCondHigh;   // level 1: channel 1 high
    uint8_t counts[8] = {1, 0, 0, 0, 5, 0, 0, 0};
    uint8_t out[kTriggerPatternBytes];
    convertNanlynRecord(pattern.data(), counts, 2, out);
    EXPECT_EQ(nanlynMask(out, kNanlynValueMasks, 0, 14), 0x1ull);
    EXPECT_EQ(nanlynMask(out, kNanlynCareMasks, 0, 14), 0x1ull | 1ull << 35);
    EXPECT_EQ(nanlynMask(out, kNanlynValueMasks, 0, 15), 0x2ull);
    EXPECT_EQ(nanlynMask(out, kNanlynCareMasks, 0, 15), 0x2ull);
    EXPECT_EQ(getLe32(out + kNanlynLinkWords), 2u << 28 | 3u << 30);
    EXPECT_EQ(nanlynMask(out, kNanlynCareMasks, 0, 13), 0u);
}

}  // namespace
}  // namespace kv
