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

TEST(TriggerRecordTest, DefaultsPerModeAndDeviceLine) {
    TriggerRecord r;
    r.data.fill(0x55);
    r.links.fill(9);
    resetTriggerRecord(r, kModeSingle, kSixtyFour);
    EXPECT_EQ(r.levelStride, 64u);
    EXPECT_EQ(r.frequency(), 100000000u);
    EXPECT_EQ(r.levelRepeat, 1u);
    EXPECT_EQ(r.clock, 1u);
    EXPECT_EQ(r.links[0], kLinkEnd);
    EXPECT_EQ(r.levelCount, 1u);
    EXPECT_EQ(r.flags, 0u);
    for (uint8_t b : r.data) ASSERT_EQ(b, kConditionDontCare);

    resetTriggerRecord(r, kModeSingle, kNanlyn);
    EXPECT_EQ(r.frequency(), 4000000000ull);
    EXPECT_EQ(r.flags, kTriggerFlagPreTrigger);
    for (int i = 0; i < kNanlynLayoutBytes; ++i) ASSERT_EQ(r.data[i], 0) << i;

    resetTriggerRecord(r, kModeMulti, kSixtyFour);
    EXPECT_EQ(r.links[7], kLinkDiscontinuous);
    EXPECT_EQ(r.links[15], kLinkEnd);
    EXPECT_EQ(r.links[14], kLinkContinuous);
    EXPECT_EQ(r.levelCount, 16u);
    EXPECT_EQ(r.mode, 1u);

    resetTriggerRecord(r, kModeDual, kSixtyFour);
    EXPECT_EQ(r.links[3], kLinkEnd);
    EXPECT_EQ(r.links[7], kLinkEnd);
    EXPECT_EQ(r.levelCount, 0u);

    resetTriggerRecord(r, kModeNoTrigger, kSixtyFour);
    EXPECT_EQ(r.passCount, -1);
    EXPECT_EQ(r.levelCount, 0u);

    resetTriggerRecord(r, kModeSerial, kNanlyn);
    EXPECT_EQ(r.frequency(), 153600u);
    EXPECT_EQ(r.flags, kTriggerFlagPreTrigger);
    resetTriggerRecord(r, kModeGlitch, kSixtyFour);
    EXPECT_EQ(r.levelCount, 0u);
    resetTriggerRecord(r, kModeGlitch, kNanlyn);
    EXPECT_EQ(r.levelCount, 1u);
    EXPECT_EQ(r.mode, 6u);
}

TEST(TriggerRecordTest, DeviceClassifications) {
    EXPECT_TRUE(isNanlynProduct(0x2036));
    EXPECT_TRUE(isNanlynProduct(0x2236));
    EXPECT_FALSE(isNanlynProduct(0x2132));
    for (int32_t direct : {0x1164, 0x1032, 0x2216, 0x2136, 0x2031, 0x2032, 0x2064, 0x3132})
        EXPECT_TRUE(isDirectTriggerFamily(direct)) << std::hex << direct;
    for (int32_t choice : {0x2132, 0x2164, 0x2232, 0x2364}) EXPECT_FALSE(isDirectTriggerFamily(choice)) << std::hex << choice;
    EXPECT_TRUE(offersEitherEdge(kNanlyn));
    EXPECT_TRUE(offersEitherEdge(kSixtyFour));
    EXPECT_TRUE(offersEitherEdge({0x1216, false}));
    EXPECT_FALSE(offersEitherEdge({0x1164, false}));
    EXPECT_FALSE(offersEitherEdge({0x2064, false}));
}

TEST(TriggerRecordTest, ARisingEdgeStoresTwoLevelsWithTheOtherChannelsCopied) {
    TriggerRecord r;
    resetTriggerRecord(r, kModeSingle, kSixtyFour);
    storeOneLevel(r, Pattern().set(3, kConditionRising).set(5, kConditionHigh).set(6, kConditionLow).codes, 64);
    EXPECT_EQ(r.level(0)[3], kConditionLow);
    EXPECT_EQ(r.level(1)[3], kConditionHigh);
    for (int l : {0, 1}) {
        EXPECT_EQ(r.level(l)[5], kConditionHigh);
        EXPECT_EQ(r.level(l)[6], kConditionLow);
        EXPECT_EQ(r.level(l)[7], kConditionDontCare);
    }
    EXPECT_EQ(r.links[0], kLinkContinuous);
    EXPECT_EQ(r.links[1], kLinkEnd);
    EXPECT_EQ(r.levelCount, 2u);
    EXPECT_EQ(r.flags & kTriggerFlagEitherEdge, 0u);

    // A falling edge swaps the two levels; no edge gives one level.
    storeOneLevel(r, Pattern().set(3, kConditionFalling).codes, 64);
    EXPECT_EQ(r.level(0)[3], kConditionHigh);
    EXPECT_EQ(r.level(1)[3], kConditionLow);
    storeOneLevel(r, Pattern().set(3, kConditionHigh).codes, 64);
    EXPECT_EQ(r.links[0], kLinkEnd);
    EXPECT_EQ(r.levelCount, 1u);

    // Channels beyond the device's count are "don't care" whatever the buffer says.
    storeOneLevel(r, Pattern().set(40, kConditionHigh).codes, 32);
    EXPECT_EQ(r.level(0)[40], kConditionDontCare);
    EXPECT_EQ(r.level(1)[40], kConditionDontCare);
}

TEST(TriggerRecordTest, EitherEdgeRunsAsTwoPathsOnSixtyFourChannelDevices) {
    TriggerRecord r;
    resetTriggerRecord(r, kModeSingle, kSixtyFour);
    storeOneLevel(r, Pattern().set(9, kConditionEitherEdge).set(2, kConditionHigh).codes, 64);
    EXPECT_EQ(r.level(0)[9], kConditionLow);
    EXPECT_EQ(r.level(1)[9], kConditionHigh);
    EXPECT_EQ(r.level(4)[9], kConditionHigh);
    EXPECT_EQ(r.level(5)[9], kConditionLow);
    for (int l : {0, 1, 4, 5}) EXPECT_EQ(r.level(l)[2], kConditionHigh) << l;
    EXPECT_EQ(r.flags & kTriggerFlagEitherEdge, kTriggerFlagEitherEdge);
    EXPECT_EQ(r.links[0], kLinkContinuous);
    EXPECT_EQ(r.links[1], kLinkEnd);
    EXPECT_EQ(r.links[4], kLinkContinuous);
    EXPECT_EQ(r.links[5], kLinkEnd);
    // Completing mode 0 counts path 2.
    completeTriggerRecord(r, kModeSingle, kSixtyFour);
    EXPECT_EQ(r.levelCount, 2u);

    // Storing a plain pattern again clears the flag.
    storeOneLevel(r, Pattern().codes, 64);
    EXPECT_EQ(r.flags & kTriggerFlagEitherEdge, 0u);
}

TEST(TriggerRecordTest, ReadBackPairsEdgesOnlyForAContinuousSequence) {
    TriggerRecord r;
    resetTriggerRecord(r, kModeSingle, kSixtyFour);
    uint8_t shown[kTriggerChannels];
    for (uint8_t code : {kConditionRising, kConditionFalling, kConditionEitherEdge}) {
        storeOneLevel(r, Pattern().set(11, code).set(12, kConditionLow).codes, 64);
        readOneLevel(r, shown);
        EXPECT_EQ(shown[11], code);
        EXPECT_EQ(shown[12], kConditionLow);
        EXPECT_EQ(shown[13], kConditionDontCare);
    }
    storeOneLevel(r, Pattern().set(11, kConditionRising).codes, 64);
    // Level count 1: level 0 as it is.
    r.levelCount = 1;
    readOneLevel(r, shown);
    EXPECT_EQ(shown[11], kConditionLow);
    // Link 0 not continuous: no pairing either.
    r.levelCount = 2;
    r.links[0] = kLinkDiscontinuous;
    readOneLevel(r, shown);
    EXPECT_EQ(shown[11], kConditionLow);
}

TEST(TriggerRecordTest, NanlynSingleLevelStoresAndReadsBackEveryCode) {
    TriggerRecord r;
    resetTriggerRecord(r, kModeSingle, kNanlyn);
    r.data.fill(0xEE);
    const auto care = [&r](int cond, int slot, int ch) { return (r.data[384 + 6 * (16 * cond + slot) + ch / 8] >> (ch % 8)) & 1; };
    const auto value = [&r](int cond, int slot, int ch) { return (r.data[6 * (16 * cond + slot) + ch / 8] >> (ch % 8)) & 1; };

    const Pattern levels = Pattern().set(0, kConditionLow).set(35, kConditionHigh).set(20, kConditionDontCare);
    storeOneLevelNanlyn(r, levels.codes);
    for (int cond : {0, 1})
        for (int slot : {14, 15}) {
            EXPECT_EQ(care(cond, slot, 0), 1);
            EXPECT_EQ(value(cond, slot, 0), 0);
            EXPECT_EQ(care(cond, slot, 35), 1);
            EXPECT_EQ(value(cond, slot, 35), 1);
            EXPECT_EQ(care(cond, slot, 20), 0);
        }
    EXPECT_EQ(care(0, 13, 0), 0);
    EXPECT_EQ(r.data[767], 0);  // masks beyond channel 35 stay clear
    EXPECT_EQ(getLe32(r.data.data() + 768), 0xC0000000u);
    EXPECT_EQ(getLe32(r.data.data() + 772), 0u);
    EXPECT_EQ(r.data[784], 0xEE);  // beyond the layout nothing is touched
    uint8_t shown[kTriggerChannels];
    readOneLevelNanlyn(r, shown);
    EXPECT_EQ(0, std::memcmp(shown, levels.codes, sizeof shown));

    for (uint8_t edge : {kConditionRising, kConditionFalling}) {
        storeOneLevelNanlyn(r, Pattern().set(7, edge).set(8, kConditionHigh).codes);
        const int high = edge == kConditionRising ? 15 : 14;
        for (int cond : {0, 1}) {
            EXPECT_EQ(care(cond, 14, 7) & care(cond, 15, 7), 1);
            EXPECT_EQ(value(cond, high, 7), 1);
            EXPECT_EQ(value(cond, 29 - high, 7), 0);
        }
        EXPECT_EQ(getLe32(r.data.data() + 768), 0xF0000000u);
        EXPECT_EQ(getLe32(r.data.data() + 772), 0u);
        EXPECT_EQ(r.levelCount, 2u);
        readOneLevelNanlyn(r, shown);
        EXPECT_EQ(shown[7], edge);
        EXPECT_EQ(shown[8], kConditionHigh);
        EXPECT_EQ(shown[9], kConditionDontCare);
    }

    storeOneLevelNanlyn(r, Pattern().set(30, kConditionEitherEdge).codes);
    EXPECT_EQ(value(0, 15, 30), 1);  // rising in condition 0
    EXPECT_EQ(value(0, 14, 30), 0);
    EXPECT_EQ(value(1, 14, 30), 1);  // falling in condition 1
    EXPECT_EQ(value(1, 15, 30), 0);
    EXPECT_EQ(getLe32(r.data.data() + 768), 0xF0000000u);
    EXPECT_EQ(getLe32(r.data.data() + 772), 0xF0000000u);
    readOneLevelNanlyn(r, shown);
    EXPECT_EQ(shown[30], kConditionEitherEdge);
    // Channels the Nanlyn boards do not have show "X".
    EXPECT_EQ(shown[40], kConditionDontCare);
}

TEST(TriggerRecordTest, NanlynLevelsAreRightAlignedAndReadBack) {
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
    // Level 0 in slot 13, the last level in slot 15; links 3 continuous, 2 discontinuous.
    EXPECT_EQ(r.data[384 + 6 * 13], 0x02);
    EXPECT_EQ(r.data[6 * 13], 0x02);
    EXPECT_EQ(r.data[384 + 6 * 14], 0x04);
    EXPECT_EQ(r.data[6 * 14], 0x00);
    EXPECT_EQ(r.data[384 + 6 * 15 + 4], 0x08);
    EXPECT_EQ(getLe32(r.data.data() + 768), 3u << 26 | 2u << 28 | 3u << 30);

    TriggerRecord back;
    readNanlynLevels(r, 0, 3, back);
    for (int l = 0; l < 3; ++l)
        for (int ch = 0; ch < 64; ++ch) EXPECT_EQ(back.level(l)[ch], ch == 40 ? uint8_t{kConditionDontCare} : work.level(l)[ch]) << l << " " << ch;
    EXPECT_EQ(back.links[0], kLinkContinuous);
    EXPECT_EQ(back.links[1], kLinkDiscontinuous);
    EXPECT_EQ(back.links[2], kLinkEnd);
    EXPECT_EQ(back.level(3)[1], kConditionDontCare);

    // Multi-condition: four working copies, counts per condition (0 without an end link).
    TriggerRecord conditions[4];
    for (TriggerRecord& c : conditions) c = work;
    conditions[1].links[2] = kLinkContinuous;
    conditions[1].links[0] = kLinkEnd;
    conditions[3].links.fill(kLinkContinuous);
    completeTriggerRecord(r, kModeDual, kNanlyn, conditions);
    EXPECT_EQ(r.conditionCounts, 3u | 1u << 8 | 3u << 16 | 0u << 24);
    EXPECT_EQ(r.levelCount, 3u);
    EXPECT_EQ(r.mode, 2u);
    readNanlynLevels(r, 1, 1, back);
    EXPECT_EQ(back.level(0)[1], kConditionHigh);
    EXPECT_EQ(back.links[0], kLinkEnd);
    EXPECT_EQ(getLe32(r.data.data() + 780), 0u);
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
    EXPECT_EQ(r.levelCount, 5u);
    EXPECT_EQ(r.width, 0);
    EXPECT_EQ(r.levelRepeat, 1u);

    // Dual paths get their end links.
    resetTriggerRecord(r, kModeDual, kSixtyFour);
    r.links.fill(kLinkContinuous);
    r.links[5] = kLinkEnd;
    completeTriggerRecord(r, kModeDual, kSixtyFour);
    EXPECT_EQ(r.links[3], kLinkEnd);
    EXPECT_EQ(r.links[7], kLinkContinuous);
    EXPECT_EQ(r.levelCount, 2u);

    resetTriggerRecord(r, kModeWidth, kSixtyFour);
    r.width = -300;
    r.links[0] = kLinkContinuous;
    completeTriggerRecord(r, kModeWidth, kSixtyFour);
    EXPECT_EQ(r.width, -300);
    EXPECT_EQ(r.links[0], kLinkEnd);
    EXPECT_EQ(r.levelCount, 1u);

    r.delay = 50;
    r.level(0)[3] = kConditionHigh;
    completeTriggerRecord(r, kModeNoTrigger, kSixtyFour);
    EXPECT_EQ(r.passCount, -1);
    EXPECT_EQ(r.delay, 0u);
    EXPECT_EQ(r.width, 0);
    EXPECT_EQ(r.level(0)[3], kConditionDontCare);
    EXPECT_EQ(r.mode, 4u);
}

TEST(TriggerSetupTest, SlotsSwitchingAndCarriedFields) {
    TriggerSetup s(kSixtyFour);
    // Mode 1 with its own levels, then mode 3, then back.
    switchTriggerMode(s, kModeMulti, false);
    s.current.level(2)[5] = kConditionHigh;
    s.current.setFrequency(50000000);
    s.current.clock = 1;
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
    EXPECT_EQ(s.current.mode, 1u);
    EXPECT_EQ(s.current.level(2)[5], kConditionHigh);  // mode 1's own set-up
    EXPECT_EQ(s.current.frequency(), 20000000u);       // carried from mode 3
    EXPECT_EQ(s.current.clock, 0x40u);
    EXPECT_EQ(s.current.flags & kTriggerFlagMemoryStack, kTriggerFlagMemoryStack);
    switchTriggerMode(s, kModeWidth, false);
    EXPECT_EQ(s.current.width, 99);

    // Keep-nothing loads the slot as stored; mode 4 always does.
    switchTriggerMode(s, kModeMulti, true);
    EXPECT_EQ(s.current.frequency(), 50000000u);
    switchTriggerMode(s, kModeNoTrigger, false);
    EXPECT_EQ(s.current, s.slots[kModeNoTrigger]);

    // Modes 5-9 on a 64-channel device load the single-level slot; on Nanlyn boards their own.
    s.slots[kModeSingle].passCount = 17;
    for (int mode = kModeSerial; mode <= kModeI2s; ++mode) {
        switchTriggerMode(s, mode, true);
        EXPECT_EQ(s.current, s.slots[kModeSingle]) << mode;
    }
    TriggerSetup n(kNanlyn);
    switchTriggerMode(n, kModeSpi, true);
    EXPECT_EQ(n.current.mode, 8u);
    // A damaged mode word counts as mode 0.
    switchTriggerMode(n, 77, true);
    EXPECT_EQ(n.current.mode, 0u);

    // Copies never share buffers.
    TriggerRecord copy = s.current;
    copy.data[0] = 1;
    copy.links[0] = 1;
    EXPECT_NE(copy.data.data(), s.current.data.data());
    EXPECT_NE(s.current.data[0], 1);
}

int g_calls = 0;
KvTriggerSpec g_seen;
uint32_t g_seenLinks[16];
uint8_t g_seenPattern[1024];
int recordingProgrammer(int index, void* call) {
    ++g_calls;
    g_seen = readTriggerCall(static_cast<const uint8_t*>(call));
    for (int l = 0; l < 16; ++l) g_seenLinks[l] = getLe32(g_seen.counts + 4 * l);
    std::memcpy(g_seenPattern, g_seen.pattern, 1024);
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
        r.links[0] = kLinkEnd;
        g_calls = 0;
        EXPECT_EQ(programTrigger(r, d, 3, recordingProgrammer), 1);
        EXPECT_EQ(programTrigger(r, d, 0, recordingProgrammer), 0);  // the runtime's answer is returned
        EXPECT_EQ(g_calls, 2);
        EXPECT_EQ(g_seen.field[1], 64u);
        EXPECT_EQ(g_seen.field[6], 100000000u);
        EXPECT_EQ(g_seenLinks[0], kLinkEnd);
        EXPECT_EQ(g_seenPattern[6], kConditionHigh);
        const bool direct = d.productCode == 0x1164;
        EXPECT_EQ(g_seen.field[3], direct ? 0u : 40u);
        EXPECT_EQ(g_seen.field[4], direct ? 0u : 5u);
        // Direct-trigger boards hold a level two clocks on the internal clock, an edge pair one.
        EXPECT_EQ(g_seen.field[7], direct ? 2u : 1u);
        r.levelCount = 2;
        programTrigger(r, d, 3, recordingProgrammer);
        EXPECT_EQ(g_seen.field[7], 1u);
    }
}

}  // namespace
}  // namespace kv
