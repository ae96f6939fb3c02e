// The Nanlyn sample-mode tables, the memory-stack and depth rules, the main window's Nanlyn texts.
#include <gtest/gtest.h>

#include <vector>

#include "viewer/acquire/environment.h"
#include "viewer/acquire/sample_modes.h"

namespace kv {
namespace {

std::vector<int> channelsOf(const std::vector<int>& columns) {
    std::vector<int> c;
    for (int j : columns) c.push_back(columnChannels(j));
    return c;
}

TEST(SampleModesTest, EachRowOffersItsConfigurationsOnEveryProduct) {
    for (int32_t product : {0x2036, 0x2136, 0x2236, 0x9999}) {
        const int t = nanlynTableOf(product);
        // "Nanlyn 4GHz": 36 x1, 18 x2, 9 x4, 4 x8.
        EXPECT_EQ(nanlynColumns(t, kRowFourGhz), (std::vector<int>{0, 1, 3, 6})) << product;
        EXPECT_EQ(channelsOf(nanlynColumns(t, kRowFourGhz)), (std::vector<int>{36, 18, 9, 4}));
        for (int row : {1, 2, 3}) EXPECT_EQ(nanlynColumns(t, row), std::vector<int>{0});
        EXPECT_EQ(nanlynColumns(t, 4), std::vector<int>{6});
        EXPECT_EQ(nanlynColumns(t, 5), std::vector<int>{3});
        EXPECT_EQ(nanlynColumns(t, 6), std::vector<int>{1});
        for (int row = 7; row < kNanlynModeRows; ++row)
            EXPECT_EQ(channelsOf(nanlynColumns(t, row)), (std::vector<int>{36, 18, 12, 9, 6, 4, 2, 1})) << row;
    }
}

TEST(SampleModesTest, ColumnsDivideTheDepthAndNameTheSampleGroup) {
    EXPECT_EQ(depthForColumn(1001, 3), 1000);   // divisor 4
    EXPECT_EQ(depthForColumn(1001, 0), 1001);
    EXPECT_EQ(depthForColumn(100, 9), 72);      // divisor 36
    EXPECT_EQ(memorySelectColumn(1 << 8), 8);
    EXPECT_EQ(memorySelectDivisor(1 << 8), 18);
    EXPECT_EQ(memorySelectColumn(3), -1);
    EXPECT_EQ(memorySelectDivisor(3), 1);
    EXPECT_EQ(fixedRateText(0x40, 0), "4 GHz");
    EXPECT_EQ(fixedRateText(0x20022, 153600), "Baud*16");
    EXPECT_EQ(fixedRateText(0x1A1, 200000000), "EXT");
    EXPECT_EQ(fixedRateText(0x122, 100000000), "");
}

TEST(SampleModesTest, MemoryStackAndDepthRange) {
    EXPECT_EQ(stackChoices(18, 64).single, 16);
    EXPECT_EQ(stackChoices(3, 64).single, 64);
    EXPECT_EQ(stackChoices(3, 32).single, 32);
    EXPECT_EQ(stackRule(1, 2), StackRule::Off);   // an external clock never stacks
    EXPECT_EQ(stackRule(0, 2), StackRule::On);
    EXPECT_EQ(stackRule(0, 3), StackRule::Free);

    // Stacking doubles the range; un-stacking halves it again.
    DepthRange r = deviceDepthRange(0x20000, 0x10000, false);
    EXPECT_EQ(r.minimum, 256);
    EXPECT_EQ(r.maximum, 0x20000);
    const DepthRange s = restackDepthRange(r, true);
    EXPECT_EQ(s.minimum, 512);
    EXPECT_EQ(s.maximum, 0x40000);
    EXPECT_EQ(s.position, 0x20000);
    EXPECT_EQ(restackDepthRange(s, false).position, r.position);
    EXPECT_EQ(settleDepthField(5, r, false), 256);
    EXPECT_EQ(settleDepthField(1001, s, true), 1000);
    EXPECT_EQ(settleDepthField(0x7FFFFFFF, s, true), 0x40000);
    EXPECT_EQ(depthToSend(2002, true), 1001);

    // Without a device: "giBufSizeDemo" in bytes of 64-bit samples.
    EXPECT_EQ(demoDepthRange(40000, false).position, 5000);
    EXPECT_EQ(demoDepthRange(40000, true).position, 10000);
    EXPECT_EQ(demoDepthRange(0, false).position, 5000);
    EXPECT_EQ(demoBufferBytes(10000, true), 40000);
    EXPECT_EQ(demoBufferBytes(5000, false), 40000);
    EXPECT_TRUE(depthAdjustable(false, 0x2216));
    EXPECT_FALSE(depthAdjustable(false, 0x1164));

    uint64_t hz = 7;
    EXPECT_TRUE(parseExternalClock("1", hz));
    EXPECT_EQ(hz, 1u);
    EXPECT_TRUE(parseExternalClock(" 25000000 ", hz));
    EXPECT_EQ(hz, 25000000u);
    for (const char* bad : {"0", "", "-5", "12k", "99999999999999999999999"}) EXPECT_FALSE(parseExternalClock(bad, hz)) << bad;
    EXPECT_EQ(hz, 25000000u);
}

TEST(SampleModesTest, ApplyingANanlynModeSetsTheTriggerAndTheShownRate) {
    // "UART Trigger": trigger mode 5 at 16 x the baud rate, 153,600 Hz at the default 9600 baud.
    const ModeRecord uart{4058, 200000000, kFeatureUart | 0x22, 36, 4096, 4000, 1};
    std::vector<uint8_t> block(1024, 0);
    ModeApplication a = applyNanlynMode(uart, 0, 100000000, 1, uartBaudOf(block.data(), block.size()));
    EXPECT_EQ(a.triggerMode, 5);
    EXPECT_TRUE(a.keepNothing);
    EXPECT_EQ(a.frequency, 153600u);
    EXPECT_EQ(a.fixedRate, "Baud*16");
    block[224 + 12] = 0x00;
    block[224 + 13] = 0xC2;
    block[224 + 14] = 0x01;   // 115200
    EXPECT_EQ(applyNanlynMode(uart, 0, 0, 1, uartBaudOf(block.data(), block.size())).frequency, 1843200u);
    // Glitch: mode 6 with pre-trigger at the mode's 4 GHz.
    a = applyNanlynMode(ModeRecord{4046, 4000000000ull, kFeatureGlitch, 36, 2560, 2500, 1}, 0, 100000000, 1, 9600);
    EXPECT_EQ(a.triggerMode, 6);
    EXPECT_TRUE(a.preTrigger);
    EXPECT_EQ(a.frequency, 4000000000u);
    EXPECT_EQ(a.fixedRate, "4 GHz");
    // Protocol modes keep the frequency unless the previous mode was the UART one or above 200 MHz.
    const ModeRecord i2c{4072, 200000000, kFeatureI2c | 0x22, 36, 4096, 4000, 1};
    EXPECT_FALSE(applyNanlynMode(i2c, 0, 100000000, 1, 9600).keepNothing);
    EXPECT_TRUE(applyNanlynMode(i2c, 5, 100000000, 1, 9600).keepNothing);
    EXPECT_TRUE(applyNanlynMode(i2c, 0, 400000000, 1, 9600).keepNothing);
    // External clock: the remembered pattern mode, the qualifier list and clock word 128.
    a = applyNanlynMode(ModeRecord{4068, 200000000, kFeatureExternalClock | 0x121, 36, 0x200000, 2048000, 1}, 0, 0, 2, 9600);
    EXPECT_EQ(a.triggerMode, 2);
    EXPECT_TRUE(a.qualifierList);
    EXPECT_EQ(a.clock, 128u);
    // Standard modes: below 400 MHz the rate list stays; from 400 MHz the rate is fixed.
    a = applyNanlynMode(ModeRecord{4056, 200000000, 0x122, 36, 4096, 4000, 1}, 1, 50000000, 1, 9600);
    EXPECT_EQ(a.triggerMode, 1);
    EXPECT_FALSE(a.setFrequency);
    EXPECT_TRUE(a.selectRate);
    EXPECT_EQ(a.clock, 1u);
    a = applyNanlynMode(ModeRecord{4059, 400000000, 0, 18, 8192, 8000, 2}, 6, 400000000, 1, 9600);
    EXPECT_EQ(a.triggerMode, 0);
    EXPECT_TRUE(a.switchMode);
    EXPECT_TRUE(a.preTrigger);
    EXPECT_EQ(a.fixedRate, "400 MHz");
}

TEST(SampleModesTest, TheModeInForceIsFoundInTheTablesOrRowZeroIsTaken) {
    // Cell k's mode is 4000 + k.
    const auto id = [](int cell) { return cell < 0 ? -1 : 4000 + cell; };
    NanlynSelection s = findNanlynSelection(1, 4000 + 19, 1 << 8, id);
    EXPECT_EQ(s.row, 7);
    EXPECT_EQ(s.column, 8);
    EXPECT_FALSE(s.fellBack);
    s = findNanlynSelection(0, 4000 + 13, 1 << 6, id);
    EXPECT_EQ(s.row, 0);
    EXPECT_EQ(s.column, 6);
    s = findNanlynSelection(0, 4000 + 13, 1, id);   // the mode exists, not in that column
    EXPECT_TRUE(s.fellBack);
    EXPECT_EQ(s.row, 0);
    EXPECT_EQ(s.column, 0);
    EXPECT_EQ(waveHeightOfIndex(4), 24);
    EXPECT_EQ(waveHeightIndex(24), 4);
}

}  // namespace
}  // namespace kv
