// The level editors' rules that need no window.
#include <gtest/gtest.h>

#include <cstring>

#include "viewer/trigger/trigger_editor.h"

namespace kv {
namespace {

const TriggerDevice kDemo{0x1164, false, 64, 256};
const TriggerDevice kChoice{0x2132, false, 64, 256};
const TriggerDevice kNanlyn{0x2136, true, 36, 65535};

TEST(TriggerEditorTest, PopupsSpinBarsAndTheModeChoice) {
    EXPECT_EQ(conditionCharacter(77), 'X');
    EXPECT_EQ(channelMenu(kModeSingle, false, kNanlyn), ChannelMenu::Full);
    EXPECT_EQ(channelMenu(kModeSingle, false, {0x2064, false}), ChannelMenu::Edges);
    EXPECT_EQ(channelMenu(kModeWidth, false, kNanlyn), ChannelMenu::Levels);
    // Spin bars: Nanlyn widths clamp to 2..65535 (beyond the 1023 that OK accepts); delays wrap.
    EXPECT_EQ(spinWidth(65535, 1, true), 65535);
    EXPECT_EQ(spinWidth(2, -1, true), 2);
    EXPECT_EQ(spinWidth(1023, 1, true), 1024);
    EXPECT_EQ(spinDelay(0x0FFFFFFF, 1), 0u);
    EXPECT_EQ(spinDelay(0, -1), 0x0FFFFFFFu);
    EXPECT_EQ(shownPassCount(-5), 4);
    // Nanlyn sample modes that decide the trigger mode themselves.
    EXPECT_EQ(nanlynForcedMode(0x20000 | 0x40, 100000000), kModeSerial);
    EXPECT_EQ(nanlynForcedMode(0x100000, 0), kModeI2s);
    EXPECT_EQ(nanlynForcedMode(0x40, 4000000000ull), kModeGlitch);
    EXPECT_EQ(nanlynForcedMode(0x100, 400000000), kModeSingle);
    EXPECT_EQ(nanlynForcedMode(0, 399999999), -1);
}

LevelEditorInput input() {
    LevelEditorInput in;
    std::memset(in.captions, 'X', sizeof in.captions);
    for (bool& e : in.enabled) e = true;
    return in;
}

TEST(TriggerEditorTest, OkValidatesAndWritesBack) {
    TriggerRecord r;
    resetTriggerRecord(r, kModeWidth, kChoice);
    uint8_t one[kTriggerChannels];
    std::memset(one, 0x33, sizeof one);

    LevelEditorInput in = input();
    in.captions[0] = '/';
    in.captions[1] = '|';
    EXPECT_EQ(applyLevelEditor(in, kModeSingle, kChoice, r, one), kStrTooManyEdges);
    in.enabled[1] = false;  // a disabled button counts as "X"
    in.passCount = 257;
    EXPECT_EQ(applyLevelEditor(in, kModeSingle, kChoice, r, one), kStrPassCountRange);
    in.passCount = 3;
    in.width = 1024;
    EXPECT_EQ(applyLevelEditor(in, kModeWidth, kChoice, r, one), kStrWidthTooBig);
    EXPECT_EQ(applyLevelEditor(in, kModeWidth, kNanlyn, r, one), kStrWidthTooBig);
    in.width = 1023;
    in.delay = 0x10000000;
    EXPECT_EQ(applyLevelEditor(in, kModeWidth, kChoice, r, one), kStrDelayTooBig);
    EXPECT_EQ(one[0], 0x33);  // nothing written while refused
    EXPECT_EQ(r.passCount, 0);

    in.delay = 77;
    in.longer = false;
    in.preTrigger = true;
    in.captions[2] = '1';
    EXPECT_EQ(applyLevelEditor(in, kModeWidth, kChoice, r, one), 0);
    EXPECT_EQ(one[0], kConditionRising);
    EXPECT_EQ(one[1], kConditionDontCare);
    EXPECT_EQ(one[2], kConditionHigh);
    EXPECT_EQ(r.passCount, 3);
    EXPECT_EQ(r.width, -1023);
    EXPECT_EQ(r.delay, 77u);
    EXPECT_EQ(r.flags & kTriggerFlagPreTrigger, kTriggerFlagPreTrigger);

    // Direct-trigger boards take neither width, delay nor pre-trigger from the editor.
    TriggerRecord d;
    resetTriggerRecord(d, kModeSingle, kDemo);
    in.delay = 0x7FFFFFFF;
    EXPECT_EQ(applyLevelEditor(in, kModeSingle, kDemo, d, one), 0);
    EXPECT_EQ(d.delay, 0u);
    EXPECT_EQ(d.flags, 0u);
    // The dual paths have no pass count.
    in.passCount = -4;
    in.delay = 0;
    EXPECT_EQ(applyLevelEditor(in, kModeDual, kChoice, d, one), 0);
    EXPECT_EQ(d.passCount, 3);
}

TEST(TriggerEditorTest, LabelRowsBecomeCaptions) {
    LabelState labels;
    ASSERT_EQ(addSingleLabel(labels, "CLK", 5, 1, 64), 0);
    ASSERT_EQ(addSingleLabel(labels, "D0", 8, 1, 64), 0);
    ASSERT_EQ(addSingleLabel(labels, "D1", 9, 1, 64), 0);
    ASSERT_EQ(addSingleLabel(labels, "D2", 10, 1, 64), 0);
    ASSERT_EQ(addSingleLabel(labels, "D3", 11, 1, 64), 0);
    // BUS: D3 first (most significant) ... D0 last.
    ASSERT_EQ(combineLabels(labels, "BUS", {"D0", "D1", "D2", "D3"}, {"CLK"}), 0);
    const LabelTable& t = labels.table;
    std::vector<LabelRow> rows = triggerLabelRows(t);
    ASSERT_EQ(rows.size(), 2u);
    if (rows[0].group()) std::swap(rows[0], rows[1]);
    EXPECT_EQ(labelConditions(t, rows[0], kModeMulti), (std::vector<std::string>{"0", "1"}));
    EXPECT_EQ(defaultRadix(kFormatOct), "Oct");

    // The last channel (D0, channel 8) takes bit 0.
    char captions[kTriggerChannels];
    captionsFromLabelRows(t, {{"BUS", "Dec", "12"}}, captions);
    EXPECT_EQ(std::string(captions + 8, 4), "0011");
    EXPECT_EQ(captions[5], 'X');
    captionsFromLabelRows(t, {{"BUS", "Oct", "17"}}, captions);
    EXPECT_EQ(std::string(captions + 8, 4), "1111");
    captionsFromLabelRows(t, {{"BUS", "Asc", "A"}}, captions);  // 0x41: low four bits 0001
    EXPECT_EQ(std::string(captions + 8, 4), "1000");
    // Bin: the last character to the last channel, characters unchanged; later rows win.
    captionsFromLabelRows(t, {{"BUS", "Bin", "1X/"}, {"CLK", "1", ""}, {"NONE", "1", ""}}, captions);
    EXPECT_EQ(std::string(captions + 8, 4), "/X1X");
    EXPECT_EQ(captions[5], '1');
    EXPECT_EQ(checkNewLabelRow({{"CLK", "0", ""}}, "\\"), 0);
    EXPECT_FALSE(acceptsValueCharacter("Oct", '8'));
    EXPECT_TRUE(acceptsValueCharacter("Bin", '|'));
    EXPECT_FALSE(acceptsValueCharacter("Bin", '2'));
    EXPECT_TRUE(acceptsValueCharacter("Asc", '%'));
}

TEST(TriggerEditorTest, TimeTextsAndTheMultiLevelLayout) {
    TriggerRecord r;
    resetTriggerRecord(r, kModeWidth, kChoice);
    EXPECT_EQ(widthText(3, editorTimeBase(r, 1000000)), "Width = 30 ns");
    r.flags |= kTriggerFlagMemoryStack;
    EXPECT_EQ(delayText(3, editorTimeBase(r, 1000000)), "Delay Time = 60 ns");
    r.clock = 0x40;  // external clock
    EXPECT_EQ(delayText(1, editorTimeBase(r, 1000000)), "Delay Time = 2 us");
    EXPECT_EQ(widthText(0, 0), "Width = 0 ns");

    EXPECT_EQ(nextLinkCode(kLinkEnd, 3, kModeMulti, false), kLinkContinuous);
    EXPECT_EQ(nextLinkCode(kLinkEnd, 7, kModeMulti, true), kLinkContinuous);
    EXPECT_EQ(nextLinkCode(kLinkEnd, 7, kModeDual, false), kLinkContinuous);

    resetTriggerRecord(r, kModeMulti, kChoice);
    EXPECT_EQ(shownLevels(kModeDual, true), 16);
    r.links[2] = kLinkEnd;
    r.links[1] = kLinkDiscontinuous;
    EXPECT_EQ(levelTops(r, 4, 10, 20), (std::vector<int>{10, 31, 67, 103}));

    // Path 2 is edited in levels 0-3 and put back; path 1 comes back unchanged.
    resetTriggerRecord(r, kModeDual, kChoice);
    r.level(0)[0] = kConditionHigh;
    r.level(4)[0] = kConditionLow;
    r.links[5] = kLinkEnd;
    const TriggerRecord before = r;
    beginPath2Edit(r);
    EXPECT_EQ(r.level(0)[0], kConditionLow);
    EXPECT_EQ(r.links[1], kLinkEnd);
    r.level(1)[1] = kConditionHigh;
    endPath2Edit(r);
    EXPECT_EQ(r.level(0)[0], kConditionHigh);
    EXPECT_EQ(r.level(4)[0], kConditionLow);
    EXPECT_EQ(r.level(5)[1], kConditionHigh);
    for (int l = 0; l < 8; ++l) EXPECT_EQ(r.links[l], before.links[l]) << l;
}

}  // namespace
}  // namespace kv
