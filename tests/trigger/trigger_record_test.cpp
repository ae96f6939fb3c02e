// The trigger record's rules: defaults, the two level-data layouts, completion, slots and the
// hand-off to the runtime.
#include <gtest/gtest.h>

#include <cstring>

#include "viewer/trigger/trigger_setup.h"

namespace kv {
namespace {

const TriggerDevice kSixtyFour{0x2132, false, 64, 256};
const TriggerDevice kNanlyn{0x2136, true, 36, 65535};

struct Pattern {
    uint8_t codes[kTriggerChannels];
    Pattern() { std::memset(codes, kConditionDontCare, sizeof codes); }
    Pattern& set(int channel, uint8_t code) {
        codes[channel] = code;
        return *this;
    }
};

// Bits of the Nanlyn masks: care and value of condition c, slot s, channel n.
int care(const TriggerRecord& r, int c, int s, int n) { return (r.data[384 + 6 * (16 * c + s) + n / 8] >> (n % 8)) & 1; }
int value(const TriggerRecord& r, int c, int s, int n) { return (r.data[6 * (16 * c + s) + n / 8] >> (n % 8)) & 1; }
uint32_t linkWord(const TriggerRecord& r, int c) { return getLe32(r.data.data() + 768 + 4 * c); }

TEST(TriggerRecordTest, DefaultsPerModeAndDeviceLine) {
    TriggerRecord r;
    r.data.fill(0x55);
    resetTriggerRecord(r, kModeSingle, kSixtyFour);
    EXPECT_EQ(r.levelStride, 64u);
    EXPECT_EQ(r.frequency(), 100000000u);
    EXPECT_EQ(r.levelRepeat + r.clock + r.levelCount, 3u);
    EXPECT_EQ(r.links[0], kLinkEnd);
    for (uint8_t b : r.data) ASSERT_EQ(b, kConditionDontCare);
    resetTriggerRecord(r, kModeSingle, kNanlyn);
    EXPECT_EQ(r.frequency(), 4000000000ull);
    EXPECT_EQ(r.flags, kTriggerFlagPreTrigger);
    EXPECT_EQ(r.data[0] | r.data[783], 0);
    resetTriggerRecord(r, kModeMulti, kSixtyFour);
    EXPECT_EQ(r.links[7], kLinkDiscontinuous);
    EXPECT_EQ(r.links[15], kLinkEnd);
    EXPECT_EQ(r.levelCount, 16u);
    resetTriggerRecord(r, kModeDual, kSixtyFour);
    EXPECT_EQ(r.links[3] + r.links[7], 2 * kLinkEnd);
    EXPECT_EQ(r.levelCount, 0u);
    resetTriggerRecord(r, kModeNoTrigger, kSixtyFour);
    EXPECT_EQ(r.passCount, -1);
    resetTriggerRecord(r, kModeSerial, kNanlyn);
    EXPECT_EQ(r.frequency(), 153600u);
    resetTriggerRecord(r, kModeGlitch, kSixtyFour);
    EXPECT_EQ(r.levelCount, 0u);
    resetTriggerRecord(r, kModeGlitch, kNanlyn);
    EXPECT_EQ(r.levelCount, 1u);
    EXPECT_EQ(r.mode, 6u);

    for (int32_t direct : {0x1164, 0x2216, 0x2136, 0x2031, 0x2064, 0x3132}) EXPECT_TRUE(isDirectTriggerFamily(direct)) << direct;
    for (int32_t choice : {0x2132, 0x2164, 0x2364}) EXPECT_FALSE(isDirectTriggerFamily(choice)) << choice;
    EXPECT_TRUE(isNanlynProduct(0x2236));
    EXPECT_TRUE(offersEitherEdge(kNanlyn) && offersEitherEdge(kSixtyFour) && offersEitherEdge({0x1216, false}));
    EXPECT_FALSE(offersEitherEdge({0x1164, false}) || offersEitherEdge({0x2064, false}));
}

TEST(TriggerRecordTest, SingleLevelEdgesOnSixtyFourChannelDevices) {
    TriggerRecord r;
    resetTriggerRecord(r, kModeSingle, kSixtyFour);
    // One rising edge: two levels, the other channels copied to both, continuous then end.
    storeOneLevel(r, Pattern().set(3, kConditionRising).set(5, kConditionHigh).set(6, kConditionLow).codes, 64);
    EXPECT_EQ(r.level(0)[3], kConditionLow);
    EXPECT_EQ(r.level(1)[3], kConditionHigh);
    for (int l : {0, 1}) EXPECT_EQ(r.level(l)[5] + r.level(l)[6] + r.level(l)[7], 6 + 0 + 8);
    EXPECT_EQ(r.links[0], kLinkContinuous);
    EXPECT_EQ(r.links[1], kLinkEnd);
    EXPECT_EQ(r.levelCount, 2u);
    storeOneLevel(r, Pattern().set(3, kConditionFalling).codes, 64);
    EXPECT_EQ(r.level(0)[3] * 10 + r.level(1)[3], 60);
    // Either edge: levels 0-1 rising, 4-5 falling, flags bit 2, links 0/4 continuous, 1/5 end.
    storeOneLevel(r, Pattern().set(9, kConditionEitherEdge).set(2, kConditionHigh).codes, 64);
    EXPECT_EQ((std::vector<int>{r.level(0)[9], r.level(1)[9], r.level(4)[9], r.level(5)[9]}), (std::vector<int>{0, 6, 6, 0}));
    for (int l : {0, 1, 4, 5}) EXPECT_EQ(r.level(l)[2], kConditionHigh) << l;
    EXPECT_EQ(r.flags, kTriggerFlagEitherEdge);
    EXPECT_EQ((std::vector<uint32_t>{r.links[0], r.links[1], r.links[4], r.links[5]}),
              (std::vector<uint32_t>{kLinkContinuous, kLinkEnd, kLinkContinuous, kLinkEnd}));
    completeTriggerRecord(r, kModeSingle, kSixtyFour);
    EXPECT_EQ(r.levelCount, 2u);  // counted on path 2
    // No edge: one level and the flag gone; channels beyond the device are "don't care".
    storeOneLevel(r, Pattern().set(40, kConditionHigh).codes, 32);
    EXPECT_EQ(r.flags, 0u);
    EXPECT_EQ(r.links[0], kLinkEnd);
    EXPECT_EQ(r.levelCount, 1u);
    EXPECT_EQ(r.level(0)[40], kConditionDontCare);

    // Read-back pairs the two levels only when the count is not 1 and link 0 is continuous.
    uint8_t shown[kTriggerChannels];
    for (uint8_t code : {kConditionRising, kConditionFalling, kConditionEitherEdge}) {
        storeOneLevel(r, Pattern().set(11, code).set(12, kConditionLow).codes, 64);
        readOneLevel(r, shown);
        EXPECT_EQ(0, std::memcmp(shown, Pattern().set(11, code).set(12, kConditionLow).codes, 64)) << int(code);
    }
    storeOneLevel(r, Pattern().set(11, kConditionRising).codes, 64);
    r.levelCount = 1;
    readOneLevel(r, shown);
    EXPECT_EQ(shown[11], kConditionLow);
    r.levelCount = 2;
    r.links[0] = kLinkDiscontinuous;
    readOneLevel(r, shown);
    EXPECT_EQ(shown[11], kConditionLow);
}

TEST(TriggerRecordTest, NanlynSingleLevelStoresAndReadsBackEveryCode) {
    TriggerRecord r;
    resetTriggerRecord(r, kModeSingle, kNanlyn);
    r.data.fill(0xEE);
    uint8_t shown[kTriggerChannels];
    const Pattern levels = Pattern().set(0, kConditionLow).set(35, kConditionHigh);
    storeOneLevelNanlyn(r, levels.codes);
    for (int c : {0, 1})
        for (int s : {14, 15}) EXPECT_EQ((std::vector<int>{care(r, c, s, 0), value(r, c, s, 0), care(r, c, s, 35), value(r, c, s, 35),
                                                           care(r, c, s, 20)}),
                                         (std::vector<int>{1, 0, 1, 1, 0}));
    EXPECT_EQ(care(r, 0, 13, 0), 0);
    EXPECT_EQ(linkWord(r, 0), 0xC0000000u);
    EXPECT_EQ(linkWord(r, 1), 0u);
    EXPECT_EQ(r.data[784], 0xEE);  // beyond the layout nothing is touched
    readOneLevelNanlyn(r, shown);
    EXPECT_EQ(0, std::memcmp(shown, levels.codes, sizeof shown));

    for (uint8_t edge : {kConditionRising, kConditionFalling}) {
        storeOneLevelNanlyn(r, Pattern().set(7, edge).set(8, kConditionHigh).codes);
        const int high = edge == kConditionRising ? 15 : 14;
        for (int c : {0, 1}) EXPECT_EQ(care(r, c, 14, 7) + care(r, c, 15, 7) + value(r, c, high, 7) + value(r, c, 29 - high, 7), 3);
        EXPECT_EQ(linkWord(r, 0), 0xF0000000u);
        EXPECT_EQ(r.levelCount, 2u);
        readOneLevelNanlyn(r, shown);
        EXPECT_EQ(0, std::memcmp(shown, Pattern().set(7, edge).set(8, kConditionHigh).codes, sizeof shown));
    }
    // Either edge: rising in condition 0, falling in condition 1, both link words 0xF0.
    storeOneLevelNanlyn(r, Pattern().set(30, kConditionEitherEdge).codes);
    EXPECT_EQ((std::vector<int>{value(r, 0, 14, 30), value(r, 0, 15, 30), value(r, 1, 14, 30), value(r, 1, 15, 30)}),
              (std::vector<int>{0, 1, 1, 0}));
    EXPECT_EQ(linkWord(r, 1), 0xF0000000u);
    readOneLevelNanlyn(r, shown);
    EXPECT_EQ(0, std::memcmp(shown, Pattern().set(30, kConditionEitherEdge).codes, sizeof shown));
}

TEST(TriggerRecordTest, NanlynLevelsAreRightAlignedPerCondition) {
    TriggerRecord work;
    resetTriggerRecord(work, kModeMulti, kSixtyFour);
    work.links.fill(kLinkContinuous);
    work.level(0)[1] = kConditionHigh;
    work.level(1)[2] = kConditionLow;
    work.level(2)[35] = kConditionHigh;
    work.level(2)[40] = kConditionHigh;  // beyond the board: dropped
    work.links[1] = kLinkDiscontinuous;
    work.links[2] = kLinkEnd;
    TriggerRecord r;
    resetTriggerRecord(r, kModeMulti, kNanlyn);
    r.links = work.links;
    completeTriggerRecord(r, kModeMulti, kNanlyn, &work);
    EXPECT_EQ(r.levelCount, 3u);
    // Level 0 in slot 13, the last in slot 15; links 3 continuous, 2 discontinuous.
    EXPECT_EQ(care(r, 0, 13, 1) + value(r, 0, 13, 1) + care(r, 0, 14, 2) + value(r, 0, 14, 2) + value(r, 0, 15, 35), 4);
    EXPECT_EQ(linkWord(r, 0), 3u << 26 | 2u << 28 | 3u << 30);
    TriggerRecord back;
    readNanlynLevels(r, 0, 3, back);
    work.level(2)[40] = kConditionDontCare;
    EXPECT_EQ(0, std::memcmp(back.data.data(), work.data.data(), 3 * 64));
    EXPECT_EQ((std::vector<uint32_t>{back.links[0], back.links[1], back.links[2]}),
              (std::vector<uint32_t>{kLinkContinuous, kLinkDiscontinuous, kLinkEnd}));

    // Multi-condition: counts per condition (0 without an end link) in the header's bytes.
    TriggerRecord conditions[4] = {work, work, work, work};
    conditions[1].links[0] = kLinkEnd;
    conditions[3].links.fill(kLinkContinuous);
    completeTriggerRecord(r, kModeDual, kNanlyn, conditions);
    EXPECT_EQ(r.conditionCounts, 3u | 1u << 8 | 3u << 16);
    EXPECT_EQ(r.levelCount, 3u);
    readNanlynLevels(r, 1, 1, back);
    EXPECT_EQ(back.level(0)[1], kConditionHigh);
    EXPECT_EQ(back.links[0], kLinkEnd);
    EXPECT_EQ(linkWord(r, 3), 0u);
}

TEST(TriggerRecordTest, CompletingEachMode) {
    TriggerRecord r;
    resetTriggerRecord(r, kModeMulti, kSixtyFour);
    r.width = 7;
    r.levelRepeat = 3;
    r.links.fill(kLinkContinuous);
    completeTriggerRecord(r, kModeMulti, kSixtyFour);
    EXPECT_EQ(r.levelCount, 16u);  // no end: all sixteen
    r.links[4] = kLinkEnd;
    completeTriggerRecord(r, kModeMulti, kSixtyFour);
    EXPECT_EQ(r.levelCount * 100 + r.width * 10 + r.levelRepeat, 501u);

    resetTriggerRecord(r, kModeDual, kSixtyFour);
    r.links.fill(kLinkContinuous);
    r.links[5] = kLinkEnd;
    completeTriggerRecord(r, kModeDual, kSixtyFour);
    EXPECT_EQ(r.links[3], kLinkEnd);  // path 1 gets its end
    EXPECT_EQ(r.links[7], kLinkContinuous);
    EXPECT_EQ(r.levelCount, 2u);

    resetTriggerRecord(r, kModeWidth, kSixtyFour);
    r.width = -300;
    r.links[0] = kLinkContinuous;
    completeTriggerRecord(r, kModeWidth, kSixtyFour);
    EXPECT_EQ(r.width, -300);
    EXPECT_EQ(r.links[0], kLinkEnd);

    r.delay = 50;
    r.level(0)[3] = kConditionHigh;
    completeTriggerRecord(r, kModeNoTrigger, kSixtyFour);
    EXPECT_EQ((std::vector<int64_t>{r.passCount, r.delay, r.width, r.level(0)[3], r.mode}), (std::vector<int64_t>{-1, 0, 0, 8, 4}));
}

TEST(TriggerSetupTest, SlotsSwitchingAndCarriedFields) {
    TriggerSetup s(kSixtyFour);
    // 1 -> 3 -> 1: each mode keeps its set-up; frequency, clock and memory stack are carried.
    switchTriggerMode(s, kModeMulti, false);
    s.current.level(2)[5] = kConditionHigh;
    s.current.setFrequency(50000000);
    storeTriggerSlot(s, s.current);
    switchTriggerMode(s, kModeWidth, false);
    EXPECT_EQ(s.current.mode, 3u);
    EXPECT_EQ(s.current.frequency(), 50000000u);
    s.current.width = 99;
    s.current.setFrequency(20000000);
    s.current.clock = 0x40;
    s.current.flags |= kTriggerFlagMemoryStack;
    storeTriggerSlot(s, s.current);
    switchTriggerMode(s, kModeMulti, false);
    EXPECT_EQ(s.current.level(2)[5], kConditionHigh);
    EXPECT_EQ(s.current.frequency(), 20000000u);
    EXPECT_EQ(s.current.clock, 0x40u);
    EXPECT_EQ(s.current.flags, kTriggerFlagMemoryStack);
    switchTriggerMode(s, kModeWidth, false);
    EXPECT_EQ(s.current.width, 99);
    // Keep-nothing loads the slot as stored; mode 4 always does.
    switchTriggerMode(s, kModeMulti, true);
    EXPECT_EQ(s.current.frequency(), 50000000u);
    switchTriggerMode(s, kModeNoTrigger, false);
    EXPECT_EQ(s.current, s.slots[kModeNoTrigger]);

    // Modes 5-9 on a 64-channel device load the single-level slot; on Nanlyn boards their own; a
    // damaged mode word counts as 0.
    s.slots[kModeSingle].passCount = 17;
    for (int mode = kModeSerial; mode <= kModeI2s; ++mode) {
        switchTriggerMode(s, mode, true);
        EXPECT_EQ(s.current, s.slots[kModeSingle]) << mode;
    }
    TriggerSetup n(kNanlyn);
    switchTriggerMode(n, kModeSpi, true);
    EXPECT_EQ(n.current.mode, 8u);
    switchTriggerMode(n, 77, true);
    EXPECT_EQ(n.current.mode, 0u);
    // Copies never share buffers.
    TriggerRecord copy = s.current;
    copy.data[0] = 1;
    EXPECT_NE(s.current.data[0], 1);
}

KvTriggerSpec g_seen;
uint32_t g_seenLink0;
uint8_t g_seenPattern6;
int recordingProgrammer(int index, void* call) {
    g_seen = readTriggerCall(static_cast<const uint8_t*>(call));
    g_seenLink0 = getLe32(g_seen.counts);
    g_seenPattern6 = g_seen.pattern[6];
    return index == 3 ? 1 : 0;
}

TEST(TriggerSetupTest, TheHandOffPreparesTheRecordAndPassesItsBuffers) {
    for (const TriggerDevice& d : {TriggerDevice{0x1164, false, 64, 256}, kSixtyFour}) {
        TriggerRecord r;
        resetTriggerRecord(r, kModeSingle, d);
        r.levelStride = 12;
        r.delay = 40;
        r.width = 5;
        r.level(0)[6] = kConditionHigh;
        EXPECT_EQ(programTrigger(r, d, 3, recordingProgrammer), 1);
        EXPECT_EQ(programTrigger(r, d, 0, recordingProgrammer), 0);  // the runtime's answer is returned
        EXPECT_EQ(g_seen.field[1], 64u);
        EXPECT_EQ(g_seen.field[6], 100000000u);
        EXPECT_EQ(g_seenLink0, kLinkEnd);
        EXPECT_EQ(g_seenPattern6, kConditionHigh);
        // Direct-trigger boards: no delay or width; a level held two clocks, an edge pair one.
        const bool direct = d.productCode == 0x1164;
        EXPECT_EQ((std::vector<uint32_t>{g_seen.field[3], g_seen.field[4], g_seen.field[7]}),
                  direct ? (std::vector<uint32_t>{0, 0, 2}) : (std::vector<uint32_t>{40, 5, 1}));
        r.levelCount = 2;
        programTrigger(r, d, 3, recordingProgrammer);
        EXPECT_EQ(g_seen.field[7], 1u);
    }
}

}  // namespace
}  // namespace kv
