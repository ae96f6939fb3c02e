#include <gtest/gtest.h>

#include "viewer/shell/hardware_info.h"

namespace kv {
namespace {

TEST(HardwareInfo, MemoryDepthInKiloOrMegaBitsPerChannel) {
    EXPECT_EQ(memoryDepthText(1, 4096), "8K bits per Channel(Max.)");
    EXPECT_EQ(memoryDepthText(1, 523776), "1023K bits per Channel(Max.)");
    EXPECT_EQ(memoryDepthText(1, 524288), "1M bits per Channel(Max.)");
    EXPECT_EQ(memoryDepthText(4, 524288), "4M bits per Channel(Max.)");
    // A depth whose product does not fit 32 bits still gives the right figure.
    EXPECT_EQ(memoryDepthText(4, 0x40000000), "8192M bits per Channel(Max.)");
}

TEST(HardwareInfo, ReportOfAStandardBoard) {
    BoardDescription b;
    b.model = "KV1164";
    b.interfaceName = "USB 2.0";
    b.wordsPerSample = 1;
    b.depth = 4096;
    EXPECT_EQ(hardwareInfoText("Logic Analyzer Auto Setting Ok.", b),
              "Logic Analyzer Auto Setting Ok.\r\n\r\n        Model: KV1164\r\n    Interface: USB 2.0\r\n"
              " Memory Depth: 8K bits per Channel(Max.)\r\n");
}

TEST(HardwareInfo, NanlynBoardsNameTheSeriesAndTheProductCode) {
    BoardDescription b;
    b.nanlyn = true;
    b.productCode = 0x2136;
    b.model = "ignored";
    EXPECT_EQ(hardwareInfoText("Logic Analyzer Auto Setting Ok.", b),
              "Mobrix Logic MX2x36 Series\r\n\r\n        Model: MX2136\r\n    Interface: USB 2.0\r\n");
}

}  // namespace
}  // namespace kv
