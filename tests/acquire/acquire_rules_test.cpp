// The acquisition's rules that need no board, and the threshold scale and list.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "runtime/le_bytes.h"
#include "viewer/acquire/acquire_rules.h"
#include "viewer/acquire/threshold_scale.h"
#include "viewer/display/label_table.h"
#include "viewer/shell/sample_store.h"

namespace kv {
namespace {

LabelTable labelsOn(std::vector<int32_t> channels) {
    LabelTable t;
    for (size_t i = 0; i < channels.size(); ++i) {
        t.entries[i].kind = 1;
        t.entries[i].channel = channels[i];
    }
    return t;
}

TEST(AcquireRulesTest, IdentityAndLanes) {
    const uint32_t a[4] = {1, 2, 0, 0x2136}, b[4] = {1, 2, 0, 0x2136}, c[4] = {1, 2, 1, 0x2136};
    EXPECT_TRUE(sameBoardIdentity(a, b));
    EXPECT_FALSE(sameBoardIdentity(a, c));
    // 64-bit samples: one lane per 8-channel group; every member of a group counts.
    EXPECT_EQ(laneMask(labelsOn({0, 7, 8, 63}), false), 0x83u);
    // 32-bit samples: group k from lanes k and k + 4.
    EXPECT_EQ(laneMask(labelsOn({0, 31}), true), 0x11u | 0x88u);
    EXPECT_EQ(laneMask(labelsOn({40}), true), 0x22u);
}

TEST(AcquireRulesTest, BlockRepeatArmsInTenthsOfTheModeDepthInWholeBlocks) {
    // 5 % of the capture is less than a tenth: armed at 10 % of 2560, rounded down to 240.
    EXPECT_EQ(blockRepeatArmPosition(125, 2500, 2560), 240);
    EXPECT_EQ(blockRepeatArmPosition(2500, 2500, 2560), 2300);   // at most nine tenths
    EXPECT_EQ(blockRepeatArmPosition(0, 0, 2560), 240);          // nothing shown yet
}

TEST(AcquireRulesTest, ForcedStopShowsTheUnrecordedTailFlat) {
    EXPECT_TRUE(flattensAfterStop(0x1164, false, 100, 1000));
    EXPECT_TRUE(flattensAfterStop(0x2216, false, 100, 1000));
    EXPECT_TRUE(flattensAfterStop(0x2036, false, 1000, 1000));
    EXPECT_FALSE(flattensAfterStop(0x2164, false, 100, 1000));   // 512K boards keep what they read
    EXPECT_FALSE(flattensAfterStop(0x2136, true, 100, 1000));
    EXPECT_FALSE(flattensAfterStop(0x1164, false, 1001, 1000));

    std::vector<uint8_t> data(16 * 8 + 64, 0);
    for (int i = 0; i < 16; ++i) storeLe64(&data[8 * i], 0x100 + i);
    SampleStore store;
    store.attach(data.data(), 16 * 8, 64, 64, 64, kStoragePacked);
    store.setInvert(true);   // the memory keeps raw values whatever the display shows
    flattenFromTrigger(store, 10);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(loadLe64(&data[8 * i]), i < 10 ? 0x100u + i : 0x109u) << i;
    flattenFromTrigger(store, 0);   // no sample before the trigger: nothing to hold
    EXPECT_EQ(loadLe64(&data[0]), 0x100u);
}

TEST(AcquireRulesTest, ProgressMarkerSwingsEveryTwoHundredMilliseconds) {
    ProgressAnimation a;
    a.reset(1000);
    EXPECT_TRUE(a.tick(1010, 0));    // a new progress value is drawn at once
    EXPECT_FALSE(a.tick(1100, 0));
    std::vector<int> positions;
    uint32_t now = 1000;
    for (int i = 0; i < 16; ++i) {
        now += 200;
        EXPECT_TRUE(a.tick(now, 0));
        positions.push_back(a.position);
    }
    EXPECT_EQ(positions, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 6, 5, 4, 3, 2, 1, 0, 1, 2}));
    a.lastTick = 0xFFFFFFF0u;        // the tick counter wrapped
    EXPECT_TRUE(a.tick(5, 0));
}

TEST(AcquireRulesTest, ModeRecordsDescribeTheCaptureGeometry) {
    uint8_t raw[kModeRecordSize] = {};
    putLe32(raw + 8, 4059);
    putLe64(raw + 16, 400000000);
    putLe32(raw + 152, 0);
    putLe32(raw + 156, 18);
    putLe32(raw + 160, 8192);
    putLe32(raw + 164, 8000);
    putLe32(raw + 168, 2);
    const ModeRecord m = decodeModeRecord(raw);
    EXPECT_EQ(m.modeId, 4059);
    // 400 MHz: two 18-channel samples per memory word.
    CaptureGeometry g = nanlynGeometry(m, 4000, 1);
    EXPECT_EQ(g.bytes, 2000 * 8);
    EXPECT_EQ(g.sampleBits, 18);
    EXPECT_EQ(g.rowBits, 36);
    // A sample-group mode in its 9-channel column: four samples of 9 channels per word.
    ModeRecord grouped{4056, 200000000, kFeatureSampleGroup | 0x102, 36, 4096, 4000, 1};
    g = nanlynGeometry(grouped, 4000, 4);
    EXPECT_EQ(g.bytes, 1000 * 8);
    EXPECT_EQ(g.sampleBits, 9);
    EXPECT_EQ(g.rowBits, 36);
    // Time-stamp modes: blocks of 64-bit samples.
    g = nanlynGeometry(ModeRecord{4051, 4000000000ull, kFeatureTimeStamp, 64, 2560, 2500, 1}, 2500, 1);
    EXPECT_EQ(g.storageMode, 1);
    EXPECT_EQ(g.sampleBits, 64);
    EXPECT_EQ(g.bytes, 2500 * 8);
    // Other boards: 64-bit samples, 32-bit ones when the memory is stacked.
    g = boardGeometry(0x10000, 1, 64, true);
    EXPECT_EQ(g.bytes, 0x80000);
    EXPECT_EQ(g.wordBits, 32);
}

TEST(ThresholdScaleTest, SliderPositionsAndLevelTexts) {
    EXPECT_EQ(kThresholdPositions, 255);
    EXPECT_EQ(kThresholdTicks, 13);
    EXPECT_EQ(thresholdAtPosition(0), 6880);
    EXPECT_EQ(thresholdAtPosition(255), -7145);
    EXPECT_EQ(thresholdAtPosition(96), 1600);
    EXPECT_EQ(thresholdPosition(1600), 96);
    EXPECT_EQ(thresholdPosition(-9000), 255);
    EXPECT_EQ(thresholdPosition(1490), 98);
    EXPECT_EQ(thresholdPosition(1500), 98);   // between two positions: the nearer
    EXPECT_EQ(thresholdText(6880), " 6.880 V");
    EXPECT_EQ(thresholdText(-1315), "-1.315 V");
    EXPECT_EQ(thresholdText(0), " 0.000 V");
}

TEST(ThresholdScaleTest, PodChoicesAndTheNamedList) {
    Settings s;
    const char* names[4] = {"TTL", "ECL", "TTL 3.3", "User Define"};
    const int32_t levels[4] = {1600, -1315, 1490, 0};
    for (int i = 0; i < 4; ++i) s.thresholds[i] = ThresholdEntry{names[i], levels[i], 1260};

    PodThresholds pods;
    pods.millivolts[2] = 2200;
    EXPECT_TRUE(choosePodEntry(pods, 1, 1, s));
    EXPECT_EQ(pods.millivolts[1], -1315);
    EXPECT_TRUE(choosePodEntry(pods, 2, kUserDefineEntry, s));   // the pod keeps its own level
    EXPECT_EQ(pods.millivolts[2], 2200);
    EXPECT_FALSE(choosePodEntry(pods, 0, 4, s));
    EXPECT_FALSE(choosePodEntry(pods, 4, 0, s));

    EXPECT_EQ(addThresholdEntry(s, "CMOS 5V", 2500, false), AddOutcome::Appended);
    EXPECT_EQ(addThresholdEntry(s, "CMOS 5V", 2600, false), AddOutcome::Declined);
    EXPECT_EQ(s.thresholds[4].millivolts, 2500);
    EXPECT_EQ(addThresholdEntry(s, "CMOS 5V", 2600, true), AddOutcome::Overwritten);
    EXPECT_EQ(s.thresholds[4].millivolts, 2600);
    EXPECT_EQ(addThresholdEntry(s, "", 1, false), AddOutcome::BadName);
    EXPECT_EQ(addThresholdEntry(s, std::string(32, 'n'), 1, false), AddOutcome::BadName);

    EXPECT_EQ(deleteThresholdEntry(s, "TTL 3.3"), 248);
    EXPECT_EQ(deleteThresholdEntry(s, "nothing"), 249);
    EXPECT_EQ(addThresholdEntry(s, "LVDS", 1200, false), AddOutcome::Appended);
    EXPECT_EQ(deleteThresholdEntry(s, "CMOS 5V"), 0);
    EXPECT_EQ(thresholdCount(s), 5);
    EXPECT_EQ(s.thresholds[4].name, "LVDS");   // the following entries moved up

    for (int i = thresholdCount(s); i < kThresholdSlots; ++i)
        ASSERT_EQ(addThresholdEntry(s, "L" + std::to_string(i), i, false), AddOutcome::Appended);
    EXPECT_EQ(addThresholdEntry(s, "one more", 1, false), AddOutcome::ListFull);
    EXPECT_EQ(thresholdCount(s), kThresholdSlots);
}

}  // namespace
}  // namespace kv
