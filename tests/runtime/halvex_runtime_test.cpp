// The runtime against virtual boards: discovery fills the shared table, opening re-checks the
// board, thresholds, resets and FPGA loading reach the board as the exchanges below, and the
// single-device family and the demo index answer as documented.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/shared_section.h"
#include "runtime/board_names.h"
#include "runtime/fpga_image.h"
#include "runtime/halvex_api.h"
#include "runtime/halvex_runtime.h"
#include "runtime/le_bytes.h"
#include "simulator/virtual_system.h"

namespace kv {
namespace {

// A 64-byte record as the probe writes it: kind, interface, family, sub-index, code at their
// offsets, the slot's own index at 56, everything else zero.
std::vector<uint8_t> goldenRecord(uint32_t kind, int ifc, int family, int sub, int code, int index) {
    std::vector<uint8_t> r(64, 0);
    const uint32_t words[5] = {kind, static_cast<uint32_t>(ifc), static_cast<uint32_t>(family),
                               static_cast<uint32_t>(sub), static_cast<uint32_t>(code)};
    for (int w = 0; w < 5; ++w)
        for (int b = 0; b < 4; ++b) r[4 * w + b] = static_cast<uint8_t>(words[w] >> (8 * b));
    r[56] = static_cast<uint8_t>(index);
    return r;
}

// What a board took in after a given point of its cumulative record.
template <typename T>
std::vector<T> since(const std::vector<T>& all, size_t from) {
    return std::vector<T>(all.begin() + static_cast<std::ptrdiff_t>(std::min(from, all.size())), all.end());
}

class RuntimeTest : public testing::Test {
protected:
    void SetUp() override {
        setDeviceIo(&sys);
        setSharedSections(&sections);
        env.registry = &registry;
        env.fpgaImage = embeddedFpgaImage;
        env.sleepMs = [this](uint32_t ms) { slept += ms; };
        env.writable = [](void* p, size_t) { return p != nullptr; };
    }
    void TearDown() override {
        runtimes.clear();  // detach before the seams go
        setDeviceIo(nullptr);
        setSharedSections(nullptr);
    }
    HalvexRuntime& load() {
        runtimes.push_back(std::make_unique<HalvexRuntime>(env));
        EXPECT_TRUE(runtimes.back()->attach());
        return *runtimes.back();
    }
    std::vector<uint8_t> slot(HalvexRuntime& rt, int index) {
        const uint8_t* p = rt.table() + index * 64;
        return std::vector<uint8_t>(p, p + 64);
    }
    void setSwitch(const char* name, uint32_t value) {
        registry.createKey(RegRoot::LocalMachine, "Software\\Ombix\\KV", "");
        regWriteDword(registry, RegRoot::LocalMachine, "Software\\Ombix\\KV", name, value);
    }
    size_t totalLog() {
        size_t n = 0;
        for (VirtualBoard* b : sys.boards()) n += b->log().size();
        return n;
    }
    void clearLogs() {
        for (VirtualBoard* b : sys.boards()) b->clearLog();
    }
    // Bulk writes with target 130 that the board saw, as byte blocks.
    static std::vector<std::vector<uint8_t>> commandBlocks(const VirtualBoard& b) {
        std::vector<std::vector<uint8_t>> out;
        for (const Exchange& e : b.log())
            if (e.op == Exchange::Op::BulkOut && e.address == kBulkTargetCommand) out.push_back(e.data);
        return out;
    }

    VirtualSystem sys;
    LocalSharedSections sections;
    MemoryRegistry registry;
    RuntimeEnv env;
    uint32_t slept = 0;
    std::vector<std::unique_ptr<HalvexRuntime>> runtimes;
};

TEST_F(RuntimeTest, EveryProbePathFillsItsSlotRecord) {
    ASSERT_TRUE(sys.addFromConfig(
        "usb0=2136;usb1=pocket:2216:6;usb2=usb2epp:1132:1;usb3=usb20:2232:3;usb4=pocket:1216;"
        "pci0=pci:2364:3;lpt0=epp19:2032:3;lpt1=epp17:2132:3;isa0=1164;isa3=1032"));
    HalvexRuntime& rt = load();
    EXPECT_EQ(slot(rt, 0), goldenRecord(0x101, kIfUsb20, 7, 0, 0x2136, 0));
    EXPECT_EQ(slot(rt, 1), goldenRecord(0x101, kIfUsbPocket, 6, 1, 0x2216, 1));
    EXPECT_EQ(slot(rt, 2), goldenRecord(0x101, kIfUsb2Epp, 1, 2, 0x1132, 2));
    EXPECT_EQ(slot(rt, 3), goldenRecord(0x101, kIfUsb20, 3, 3, 0x2232, 3));
    EXPECT_EQ(slot(rt, 4), goldenRecord(0x101, kIfUsbPocket, 2, 4, 0x1216, 4));
    EXPECT_EQ(slot(rt, 128), goldenRecord(0x102, kIfPci, 3, 0, 0x2364, 128));
    EXPECT_EQ(slot(rt, 134), goldenRecord(0x103, kIfEpp19At378, 3, 0, 0x2032, 134));
    EXPECT_EQ(slot(rt, 135), goldenRecord(0x103, kIfEpp17At278, 3, 1, 0x2132, 135));
    EXPECT_EQ(slot(rt, 136), goldenRecord(0x104, kIfIsa268, 0, 0, 0x1164, 136));
    EXPECT_EQ(slot(rt, 139), goldenRecord(0x104, kIfIsa36C, 0, 3, 0x1032, 139));
    // A literal record, byte by byte: the Nanlyn board of slot 0.
    const uint8_t nanlyn[64] = {0x01, 0x01, 0, 0, 0x10, 0, 0, 0, 0x07, 0, 0, 0, 0, 0, 0, 0, 0x36, 0x21};
    EXPECT_EQ(0, std::memcmp(rt.table(), nanlyn, 64));
    // Empty slots carry only their index.
    EXPECT_EQ(slot(rt, 5), goldenRecord(0, 0, 0, 0, 0, 5));
    EXPECT_EQ(slot(rt, 137), goldenRecord(0, 0, 0, 0, 0, 137));
    for (int i = 140; i < 192; ++i) EXPECT_EQ(getLe32(rt.table() + 64 * i), 0u) << i;
    // The USB channel is closed after every probe: no device number is left marked open.
    auto usbShared = sharedSections().open(kUsbSharedSectionName, kUsbSharedSectionSize);
    for (int n = 0; n < 128; ++n) ASSERT_EQ(usbShared->word(4 * n), 0u) << n;
}

TEST_F(RuntimeTest, ParallelPortTriesEachModeAndRestoresTheExtendedControlRegister) {
    ASSERT_TRUE(sys.addFromConfig("lpt1=bidi:2064:1"));
    HalvexRuntime& rt = load();
    EXPECT_EQ(slot(rt, 135), goldenRecord(0x103, kIfBidiAt278, 1, 1, 0x2064, 135));
}

TEST_F(RuntimeTest, RefusedProductCodesLeaveTheSlotEmpty) {
    ASSERT_TRUE(sys.addFromConfig(
        "usb0=pocket:1316;usb1=usb20:1064:3;usb2=nanlyn:2032;usb3=usb2epp:2016:1;pci1=pci:1016:3;"
        "isa1=isa:2032;lpt0=epp19:1064:3"));
    HalvexRuntime& rt = load();
    for (int i : {0, 1, 2, 3, 129, 137, 134}) EXPECT_EQ(getLe32(rt.table() + 64 * i), 0u) << "slot " << i;
}

TEST_F(RuntimeTest, PocketRevisionComesFromTheEepromName) {
    VirtualBoardConfig plus;
    plus.kind = VirtualKind::Pocket;
    plus.slot = 0;
    plus.code = 0x2216;
    plus.eepromName = kPlusLongProductName;
    sys.add(plus);
    VirtualBoardConfig b = plus;
    b.slot = 1;
    b.eepromName = "PQKV Logic Analyzer";
    sys.add(b);
    VirtualBoardConfig optioned = b;
    optioned.slot = 2;
    optioned.code = 0x2216 | 0x800;
    sys.add(optioned);
    VirtualBoardConfig older = plus;  // 0x1xxx boards are never asked for their name
    older.slot = 3;
    older.code = 0x1516;
    sys.add(older);
    HalvexRuntime& rt = load();
    EXPECT_EQ(getLe32(rt.table() + 8), 6u);
    EXPECT_EQ(getLe32(rt.table() + 64 + 8), 5u);
    EXPECT_EQ(getLe32(rt.table() + 128 + 8), 2u);
    EXPECT_EQ(getLe32(rt.table() + 128 + 16), 0x2216u);  // the option flag is not part of the code
    EXPECT_EQ(getLe32(rt.table() + 192 + 8), 2u);
    char name[64];
    EXPECT_EQ(rt.interfaceName(-1, rt.table(), 0, name, sizeof name), 1);
    EXPECT_STREQ(name, modelName(kIfUsbPocket, 6, 0x2216).c_str());
    bool askedEeprom = false;
    for (const Exchange& e : sys.board("usb3")->log())
        if (e.op == Exchange::Op::RegWrite && e.address == kUsbRegPinDir) askedEeprom = true;
    EXPECT_FALSE(askedEeprom);
}

TEST_F(RuntimeTest, OpeningCopiesTheRecordAndSetsCapabilities) {
    ASSERT_TRUE(sys.addFromConfig("usb0=usb20:2332:3;usb1=2236"));
    HalvexRuntime& rt = load();
    ASSERT_EQ(rt.hasHw(rt.table()), 0);
    EXPECT_EQ(getLe32(rt.table()), 0x001u);  // free mark cleared in the shared slot
    EXPECT_EQ(rt.getHwInfo(0, kHwKind), 0x101u);
    EXPECT_EQ(rt.getHwInfo(0, kHwProductCode), 0x2132u);  // 0x2332 reads as 0x2132
    EXPECT_EQ(rt.getHwInfo(0, kHwChannelCount), 32u);
    EXPECT_EQ(rt.getHwInfo(0, kHwDepth), 0x100000u);
    EXPECT_EQ(rt.getHwInfo(0, kHwCaptureLength), 0x100000u);
    EXPECT_EQ(rt.getHwInfo(0, kHwMemoryBytes), 0x100000u * 8);
    EXPECT_EQ(rt.getHwInfo(0, kHwLargestCount), 4095u);
    EXPECT_EQ(rt.getHwInfo(0, kHwTriggerDelay), 4u);
    EXPECT_EQ(rt.getHwInfo(0, kHwBitsPerWord), 64u);
    EXPECT_EQ(rt.getHwInfo(0, kHwSamplesPerWord), 1u);
    EXPECT_EQ(rt.getHwInfo(0, 0x96949999u), 0u);
    EXPECT_EQ(rt.getHwInfo(140, kHwKind), 0u);
    rt.setHwInfo(0, kHwSetCaptureLength, 1000);
    EXPECT_EQ(rt.getHwInfo(0, kHwCaptureLength), 1000u);
    EXPECT_EQ(rt.getHwInfo(0, kHwReadBytes), 8000u);
    // The transport stays open while the device is open, and marks its device number.
    auto usbShared = sharedSections().open(kUsbSharedSectionName, kUsbSharedSectionSize);
    EXPECT_EQ(usbShared->word(0), 0x8000u + 0x0139u);

    ASSERT_EQ(rt.hasHw(rt.table() + 64), 1);
    EXPECT_EQ(rt.getHwInfo(1, kHwFamily), 7u);
    EXPECT_EQ(rt.getHwInfo(1, kHwChannelCount), 36u);
    EXPECT_EQ(rt.getHwInfo(1, kHwCaptureLength), 60000u);
    EXPECT_EQ(rt.getHwInfo(1, kHwDepth), 0u);  // a Nanlyn board's depth is its selected mode's
    rt.setHwInfo(1, kHwSelectMode, 4043);
    EXPECT_EQ(rt.getHwInfo(1, kHwDepth), 2048000u);
    EXPECT_EQ(rt.getHwInfo(1, kHwLargestCount), 0xFFFFFu);
    EXPECT_EQ(rt.getHwInfo(1, kHwMemoryBytes), 2048000u * 8);
    EXPECT_EQ(rt.getHwInfo(1, kHwUsbVersion), 0x0200u);
}

TEST_F(RuntimeTest, SecondOpenInTheSameProcessFailsWithoutTouchingTheBoard) {
    ASSERT_TRUE(sys.addFromConfig("usb0=2136"));
    HalvexRuntime& rt = load();
    ASSERT_EQ(rt.hasHw(rt.table()), 0);
    clearLogs();
    EXPECT_EQ(rt.hasHw(rt.table()), -1);
    EXPECT_EQ(totalLog(), 0u);
    // Addresses that are not a slot of the table are refused the same way.
    uint8_t foreign[64] = {0x01, 0x01};
    EXPECT_EQ(rt.hasHw(foreign), -1);
    EXPECT_EQ(rt.hasHw(rt.table() + 32), -1);
    EXPECT_EQ(rt.hasHw(rt.table() + 64 * 140), -1);
    EXPECT_EQ(rt.hasHw(rt.table() + 64 * 5), -1);  // empty slot
    EXPECT_EQ(rt.hasHw(nullptr), -1);
    EXPECT_EQ(totalLog(), 0u);
}

TEST_F(RuntimeTest, ABoardThatNoLongerAnswersIsNotOpened) {
    ASSERT_TRUE(sys.addFromConfig("usb0=usb20:2032:3"));
    HalvexRuntime& rt = load();
    sys.board("usb0")->unplugged = true;
    EXPECT_EQ(rt.hasHw(rt.table()), -1);
    EXPECT_EQ(rt.device(0), nullptr);
    EXPECT_EQ(getLe32(rt.table()), 0x101u);  // still free: nobody holds it
    EXPECT_EQ(rt.shutdown(0), 0);             // and no free mark is set by a process that never held it
    sys.board("usb0")->unplugged = false;
    EXPECT_EQ(rt.hasHw(rt.table()), 0);
}

TEST_F(RuntimeTest, ShutdownRestsTheBoardAndFreesTheSlot) {
    ASSERT_TRUE(sys.addFromConfig("usb0=2136;isa0=1164"));
    HalvexRuntime& rt = load();
    ASSERT_EQ(rt.hasHw(rt.table()), 0);
    VirtualBoard& board = *sys.board("usb0");
    const size_t mark = board.controlWrites().size();
    EXPECT_EQ(rt.shutdown(0), 1);
    EXPECT_EQ(getLe32(rt.table()), 0x101u);
    EXPECT_EQ(rt.device(0), nullptr);
    const std::vector<uint8_t> rest = {0xA5, 0xF2, 0xF6, 0x00, 167, 150, 0, 242};
    EXPECT_EQ(since(board.controlWrites(), mark), rest);
    auto usbShared = sharedSections().open(kUsbSharedSectionName, kUsbSharedSectionSize);
    EXPECT_EQ(usbShared->word(0), 0u);
    EXPECT_EQ(rt.shutdown(0), 0);

    ASSERT_EQ(rt.hasHw(rt.table() + 64 * 136), 136);
    VirtualBoard& isa = *sys.board("isa0");
    const size_t isaMark = isa.isaCommands().size();
    EXPECT_EQ(rt.shutdown(136), 1);
    const std::vector<uint16_t> isaRest = {0x941F, 0x3C00};
    EXPECT_EQ(since(isa.isaCommands(), isaMark), isaRest);
}

TEST_F(RuntimeTest, ResetPerInterface) {
    ASSERT_TRUE(sys.addFromConfig("usb0=pocket:1216;usb1=usb20:2032:3;isa0=1164"));
    HalvexRuntime& rt = load();
    ASSERT_EQ(rt.hasHw(rt.table()), 0);
    ASSERT_EQ(rt.hasHw(rt.table() + 64), 1);
    ASSERT_EQ(rt.hasHw(rt.table() + 64 * 136), 136);
    const size_t m0 = sys.board("usb0")->controlWrites().size();
    const size_t m1 = sys.board("usb1")->controlWrites().size();
    const size_t m2 = sys.board("isa0")->isaCommands().size();
    EXPECT_EQ(rt.reset(0), 1);
    EXPECT_EQ(rt.reset(1), 1);
    EXPECT_EQ(rt.reset(136), 1);
    EXPECT_EQ(rt.reset(2), 0);
    EXPECT_EQ(rt.reset(-1), 0);
    EXPECT_EQ(rt.reset(140), 0);
    EXPECT_EQ(since(sys.board("usb0")->controlWrites(), m0), (std::vector<uint8_t>{0xF2, 0xA7}));
    EXPECT_EQ(since(sys.board("usb1")->controlWrites(), m1), (std::vector<uint8_t>{0xA5, 0xF2, 0xF6, 0xF0, 0xA7, 0xAB}));
    EXPECT_EQ(since(sys.board("isa0")->isaCommands(), m2), (std::vector<uint16_t>{0x3C00, 0xBC00}));
}

TEST_F(RuntimeTest, ThresholdsByVoltage) {
    ASSERT_TRUE(sys.addFromConfig("usb0=usb20:2032:3;usb1=2136;usb2=usb2epp:1132:1;isa0=1164;usb3=pocket:1216"));
    HalvexRuntime& rt = load();
    for (int i : {0, 1, 2, 3}) ASSERT_EQ(rt.hasHw(rt.table() + 64 * i), i);
    ASSERT_EQ(rt.hasHw(rt.table() + 64 * 136), 136);
    for (VirtualBoard* b : sys.boards()) b->clearLog();

    // Family 3: 0 mV gives DAC 125.
    EXPECT_EQ(rt.thresVolt(0, 1, 0), 1);
    ASSERT_FALSE(sys.board("usb0")->frames().empty());
    EXPECT_EQ(sys.board("usb0")->frames().back(), (std::vector<uint8_t>{0x5A, 0x0F, 0x77, 0x08, 1, 125}));
    // Out of range: refused, nothing sent.
    const size_t before = sys.board("usb0")->log().size();
    EXPECT_EQ(rt.thresVolt(0, 0, 2860 - 10061), 0);
    EXPECT_EQ(rt.thresVolt(0, 4, 0), 0);
    EXPECT_EQ(sys.board("usb0")->log().size(), before);

    // Nanlyn: 0 mV gives DAC 131, 7000 mV is taken as 6000 (DAC 20). The shadows hold 255 - DAC.
    EXPECT_EQ(rt.thresVolt(1, 0, 0), 1);
    EXPECT_EQ(rt.thresVolt(1, 1, 7000), 1);
    auto blocks = commandBlocks(*sys.board("usb1"));
    ASSERT_EQ(blocks.size(), 2u);
    for (const auto& b : blocks) ASSERT_EQ(b.size(), 40u);
    EXPECT_EQ(getLe16(&blocks[0][6]), 0x21);
    EXPECT_EQ(getLe16(&blocks[0][8]), 175 * 256 + (255 - 131));
    EXPECT_EQ(getLe16(&blocks[1][8]), (255 - 20) * 256 + (255 - 131));
    EXPECT_EQ(getLe16(&blocks[1][10]), (255 - 20) * 256 + (255 - 131));
    for (int i = 12; i < 40; ++i) EXPECT_EQ(blocks[1][i], 0) << i;
    EXPECT_EQ(rt.thresData(1, 2, 10), 0);
    EXPECT_EQ(rt.thresData(1, 0, 256), 0);
    EXPECT_EQ(rt.thresData(1, -1, 10), 0);  // the internal re-send is not the caller's

    // Family 1: frame command 0x86 for group 1; ISA: command word 0xA500 + DAC for group 3.
    EXPECT_EQ(rt.thresData(2, 1, 0x40), 1);
    EXPECT_EQ(sys.board("usb2")->frames().back(), (std::vector<uint8_t>{0x5A, 0x0F, 0x22, 0x86, 0x40, 0x00}));
    EXPECT_EQ(rt.thresVolt(136, 3, 0), 1);
    EXPECT_EQ(sys.board("isa0")->isaCommands().back(), 0xA500 + 125);
    // Pocket boards take groups 0 and 1 only; the offset of -170 mV counts.
    const size_t f3 = sys.board("usb3")->frames().size();
    EXPECT_EQ(rt.thresData(3, 2, 10), 0);
    EXPECT_EQ(rt.thresVolt(3, 0, 0), 1);
    const auto pocketFrames = since(sys.board("usb3")->frames(), f3);
    ASSERT_EQ(pocketFrames.size(), 3u);  // control register with the group bit, threshold, control register
    EXPECT_EQ(pocketFrames[0], (std::vector<uint8_t>{0x5A, 0x0F, 0x66, 0x07, 0x00}));
    EXPECT_EQ(pocketFrames[1], (std::vector<uint8_t>{0x5A, 0x0F, 0x66, 0x08, (6880 - 170) / 55}));
    EXPECT_EQ(pocketFrames[2], (std::vector<uint8_t>{0x5A, 0x0F, 0x66, 0x07, 0x00}));
    EXPECT_EQ(rt.thresData(3, 1, 10), 1);
    EXPECT_EQ(since(sys.board("usb3")->frames(), f3)[3], (std::vector<uint8_t>{0x5A, 0x0F, 0x66, 0x07, 0x10}));
}

TEST_F(RuntimeTest, NanlynModeSelectedTwiceLoadsItsImageOnce) {
    ASSERT_TRUE(sys.addFromConfig("usb0=2136"));
    HalvexRuntime& rt = load();
    ASSERT_EQ(rt.hasHw(rt.table()), 0);
    VirtualBoard& board = *sys.board("usb0");
    board.clearLog();
    EXPECT_EQ(rt.setHwInfo(0, kHwSelectMode, 4062), 1);
    std::vector<uint8_t> image;
    ASSERT_TRUE(embeddedFpgaImage(4062, image));
    const size_t streamBytes = (image.size() - 4) * 32;
    EXPECT_EQ(board.configBytes(), streamBytes);
    auto blocks = commandBlocks(board);
    // Load command with the two header words, the stream, the feature-bit command, the thresholds
    // re-sent, and the final command.
    ASSERT_EQ(blocks.size(), 5u);
    EXPECT_EQ(blocks[0], (std::vector<uint8_t>{0x5A, 0, 0x0F, 0, 0x66, 0, 0x35, 0, image[0], image[1], image[2], image[3]}));
    EXPECT_EQ(blocks[1].size(), streamBytes);
    EXPECT_EQ(getLe16(&blocks[1][0]), image[4] & 1);
    EXPECT_EQ(getLe16(&blocks[1][2]), (image[4] & 1) | 2);
    EXPECT_EQ(blocks[2], (std::vector<uint8_t>{0x5A, 0, 0x0F, 0, 0x66, 0, 0x26, 0, 1, 0}));  // feature bit 0 of 0x123
    EXPECT_EQ(blocks[3].size(), 40u);
    EXPECT_EQ(blocks[4], (std::vector<uint8_t>{0x5A, 0, 0x0F, 0, 0x66, 0, 0x23, 0, 0, 0}));
    EXPECT_EQ(slept, 20u);

    board.clearLog();
    EXPECT_EQ(rt.setHwInfo(0, kHwSelectMode, 4062), 1);
    EXPECT_TRUE(board.log().empty());
    // Another mode loads again; an unknown id loads nothing and keeps the mode.
    rt.setHwInfo(0, kHwSelectMode, 4064);
    EXPECT_EQ(board.configBytes(), 2 * streamBytes);
    board.clearLog();
    rt.setHwInfo(0, kHwSelectMode, 4044);
    EXPECT_TRUE(board.log().empty());
    uint8_t rec[192];
    ASSERT_EQ(rt.getHwInfoEx(0, kHwModeInfo, -1, rec), 1);
    EXPECT_EQ(getLe32(rec + 8), 4064u);
}

TEST_F(RuntimeTest, ModeRecordsThroughGetHwInfoEx) {
    ASSERT_TRUE(sys.addFromConfig("usb0=2036;usb1=usb20:2032:3"));
    HalvexRuntime& rt = load();
    ASSERT_EQ(rt.hasHw(rt.table()), 0);
    ASSERT_EQ(rt.hasHw(rt.table() + 64), 1);
    uint8_t rec[192];
    std::memset(rec, 0xEE, sizeof rec);
    EXPECT_EQ(rt.getHwInfoEx(0, kHwModeInfo, -1, rec), 0);  // nothing selected yet
    EXPECT_EQ(rec[0], 0xEE);
    ASSERT_EQ(rt.getHwInfoEx(0, kHwModeInfo, 34, rec), 1);
    EXPECT_EQ(getLe32(rec + 8), 4080u);
    EXPECT_EQ(rt.getHwInfoEx(0, kHwModeInfo, 35, rec), 0);
    EXPECT_EQ(rt.getHwInfoEx(0, kHwModeInfo, -2, rec), 0);
    ASSERT_EQ(rt.getHwInfoEx(0, kHwEquivalentMode, 4043, rec), 1);  // board 0x2036: map C
    EXPECT_EQ(getLe32(rec + 8), 4056u);
    ASSERT_EQ(rt.getHwInfoEx(1, kHwEquivalentMode, 4056, rec), 1);   // no variant: map B
    EXPECT_EQ(getLe32(rec + 8), 4043u);
    EXPECT_EQ(rt.getHwInfoEx(0, kHwEquivalentMode, 4044, rec), 0);
    EXPECT_EQ(rt.getHwInfoEx(0, 0x96940017u, 0, rec), 0);
    EXPECT_EQ(rt.getHwInfoEx(0, kHwModeInfo, 0, nullptr), 0);
    EXPECT_EQ(rt.getHwInfoEx(-1, kHwModeInfo, 0, rec), 0);
    // A buffer the caller may not write is refused before anything is copied.
    runtimes.clear();
    env.writable = [](void*, size_t) { return false; };
    HalvexRuntime& guarded = load();
    ASSERT_EQ(guarded.hasHw(guarded.table()), 0);
    EXPECT_EQ(guarded.getHwInfoEx(0, kHwModeInfo, 0, rec), 0);
}

TEST_F(RuntimeTest, InterfaceNames) {
    ASSERT_TRUE(sys.addFromConfig("usb7=usb20:2332:3;pci0=pci:2132:3"));
    HalvexRuntime& rt = load();
    char out[32];
    ASSERT_EQ(rt.interfaceName(-1, rt.table() + 64 * 7, 1, out, sizeof out), 1);
    EXPECT_STREQ(out, "USB 2.0 - Slot 7");
    ASSERT_EQ(rt.interfaceName(-1, rt.table() + 64 * 128, 1, out, sizeof out), 1);
    EXPECT_STREQ(out, "PCI PnP Card - Slot 0");
    // 0x2132 and 0x2332 share one model name.
    char a[32], b[32];
    ASSERT_EQ(rt.interfaceName(-1, rt.table() + 64 * 7, 0, a, sizeof a), 1);
    ASSERT_EQ(rt.interfaceName(-1, rt.table() + 64 * 128, 0, b, sizeof b), 1);
    EXPECT_STREQ(a, b);
    // No room for the NUL: 0, and only the first byte changes.
    const size_t len = std::strlen("USB 2.0 - Slot 7");
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(rt.interfaceName(-1, rt.table() + 64 * 7, 1, out, static_cast<int>(len)), 0);
    EXPECT_EQ(out[0], 0);
    for (size_t i = 1; i < sizeof out; ++i) ASSERT_EQ(out[i], 'x') << i;
    EXPECT_EQ(rt.interfaceName(-1, rt.table() + 64 * 7, 1, out, static_cast<int>(len) + 1), 1);
    // Size 0, no record, an empty record, an unknown what.
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(rt.interfaceName(-1, rt.table() + 64 * 7, 1, out, 0), 0);
    EXPECT_EQ(out[0], 'x');
    EXPECT_EQ(rt.interfaceName(-1, nullptr, 1, out, sizeof out), 0);
    EXPECT_EQ(rt.interfaceName(-1, rt.table() + 64 * 8, 1, out, sizeof out), 0);
    EXPECT_EQ(rt.interfaceName(-1, rt.table() + 64 * 7, 2, out, sizeof out), 0);
    // An open device is named from its own record, whatever slot is passed.
    ASSERT_EQ(rt.hasHw(rt.table() + 64 * 7), 7);
    ASSERT_EQ(rt.interfaceName(7, nullptr, 1, out, sizeof out), 1);
    EXPECT_STREQ(out, "USB 2.0 - Slot 7");
}

TEST_F(RuntimeTest, DemoIndexAnswersZeroAndSetsNothing) {
    ASSERT_TRUE(sys.addFromConfig("usb0=2136"));
    HalvexRuntime& rt = load();
    clearLogs();
    uint8_t rec[192];
    EXPECT_EQ(rt.getHwInfo(-1, kHwKind), 0u);
    EXPECT_EQ(rt.getHwInfoEx(-1, kHwModeInfo, 0, rec), 0);
    EXPECT_EQ(rt.setHwInfo(-1, kHwSelectMode, 4062), 1);
    EXPECT_EQ(rt.setHwInfo(-1, kHwHold, 1), 1);
    EXPECT_EQ(rt.thresVolt(-1, 0, 0), 0);
    EXPECT_EQ(rt.thresData(-1, 0, 0), 0);
    EXPECT_EQ(rt.reset(-1), 0);
    EXPECT_EQ(rt.shutdown(-1), 0);
    EXPECT_EQ(totalLog(), 0u);
}

TEST_F(RuntimeTest, SingleDeviceFamily) {
    ASSERT_TRUE(sys.addFromConfig("usb3=2236;usb5=usb20:2032:3"));
    HalvexRuntime& rt = load();
    EXPECT_EQ(rt.ukvSetHwInfo(2, 4096), 0);  // nothing held: no memory
    ASSERT_EQ(rt.ukvInit(), 1);
    EXPECT_EQ(rt.ukvIndex(), 3);
    EXPECT_EQ(rt.ukvInit(), 1);
    EXPECT_EQ(rt.ukvIndex(), 3);
    EXPECT_EQ(rt.ukvGetHwInfo(0), 0x2236u);
    char name[32];
    EXPECT_EQ(rt.ukvGetModelName(name, sizeof name), 1);
    EXPECT_STREQ(name, "KV2236P");
    ASSERT_EQ(rt.ukvSetHwInfo(5, 400), 1);  // variant 4: mode 4001, sample-group word 2
    KvDevice* d = rt.device(3);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->loadedImage, 4001);
    EXPECT_EQ(d->sampleGroup, 2u);
    EXPECT_EQ(rt.ukvGetHwInfo(2), 4096000u * 8);

    clearLogs();
    EXPECT_EQ(rt.ukvSetHwInfo(2, 255), 0);
    EXPECT_EQ(rt.ukvSetHwInfo(2, 4096000u * 8 + 1), 0);
    EXPECT_EQ(rt.ukvSetHwInfo(5, 102), 1);
    EXPECT_EQ(rt.ukvSetHwInfo(5, 4), 0);
    EXPECT_EQ(rt.ukvSetHwInfo(7, 1), 0);
    EXPECT_EQ(d->loadedImage, 4001);
    EXPECT_EQ(d->sampleGroup, 2u);
    EXPECT_EQ(d->slot.captureLength, 60000);
    EXPECT_EQ(totalLog(), 0u);
    EXPECT_EQ(rt.ukvSetHwInfo(2, 4096), 1);
    EXPECT_EQ(rt.getHwInfo(3, kHwCaptureLength), 512u);

    EXPECT_EQ(rt.ukvThreshold(0, 0), 1);
    EXPECT_EQ(rt.ukvShutdown(), 1);
    EXPECT_EQ(rt.ukvIndex(), -1);
    EXPECT_EQ(rt.ukvShutdown(), 0);
    EXPECT_EQ(rt.ukvGetModelName(name, sizeof name), 0);
}

TEST_F(RuntimeTest, ASecondLoaderSeesTheTableAndDoesNotProbeAgain) {
    ASSERT_TRUE(sys.addFromConfig("usb0=2136;usb1=usb20:2032:3;isa0=1164"));
    HalvexRuntime& first = load();
    ASSERT_EQ(first.hasHw(first.table()), 0);
    ASSERT_EQ(first.hasHw(first.table() + 64 * 136), 136);
    clearLogs();
    HalvexRuntime& second = load();
    EXPECT_EQ(second.table(), first.table());  // one section, seen by both
    EXPECT_EQ(totalLog(), 0u);                 // every board's slot was filled already
    // Slot 0 is held by the first: no free mark, so the second cannot open it.
    EXPECT_EQ(getLe32(second.table()) & kFreeMark, 0u);
    EXPECT_EQ(second.hasHw(second.table()), -1);
    EXPECT_EQ(second.hasHw(second.table() + 64), 1);

    // The first unloads: its USB slot is emptied for the next loader to probe, its ISA slot stays.
    runtimes.front()->detach();
    EXPECT_EQ(getLe32(second.table()), 0u);
    EXPECT_EQ(getLe32(second.table() + 56), 0u);
    EXPECT_EQ(getLe32(second.table() + 64 * 136), 0x004u);
    EXPECT_EQ(getLe32(second.table() + 64), 0x001u);  // the second still holds slot 1
}

TEST_F(RuntimeTest, InterfaceSwitchesKeepKindsFromBeingProbedOrOpened) {
    ASSERT_TRUE(sys.addFromConfig("usb0=2136;isa0=1164;pci0=pci:2132:3"));
    HalvexRuntime& first = load();
    ASSERT_EQ(getLe32(first.table()), 0x101u);
    setSwitch("USB Interface", 0);
    setSwitch("PCI Interface", 0);
    clearLogs();
    // An older process filled slot 0; with USB switched off it can no longer be opened.
    HalvexRuntime& second = load();
    EXPECT_EQ(second.hasHw(second.table()), -1);
    EXPECT_EQ(sys.board("usb0")->log().size(), 0u);
    runtimes.clear();  // every process gone: the table goes with them

    HalvexRuntime& third = load();
    for (int i = 0; i < 128; ++i) ASSERT_EQ(getLe32(third.table() + 64 * i), 0u) << i;
    EXPECT_EQ(getLe32(third.table() + 64 * 128), 0u);
    EXPECT_EQ(getLe32(third.table() + 64 * 136), 0x104u);
    EXPECT_TRUE(sys.board("usb0")->log().empty());
    EXPECT_TRUE(sys.board("pci0")->log().empty());
    // A value that is not 0 leaves the kind enabled.
    runtimes.clear();
    setSwitch("USB Interface", 7);
    HalvexRuntime& fourth = load();
    EXPECT_EQ(getLe32(fourth.table()), 0x101u);
}

TEST_F(RuntimeTest, PortKindsNeedThePortDriverOnNtSystems) {
    ASSERT_TRUE(sys.addFromConfig("isa0=1164;lpt0=epp19:2032:3"));
    sys.portDriver = false;
    HalvexRuntime& rt = load();
    EXPECT_EQ(getLe32(rt.table() + 64 * 136), 0u);
    EXPECT_EQ(getLe32(rt.table() + 64 * 134), 0u);
}

}  // namespace
}  // namespace kv

namespace kv {
namespace {

TEST_F(RuntimeTest, ControlRegisterAndCaptureAddressPerFamily) {
    ASSERT_TRUE(sys.addFromConfig("usb0=usb2epp:1132:1;usb1=usb20:2032:3;usb2=pocket:1216;isa0=1164"));
    HalvexRuntime& rt = load();
    for (int i : {0, 1, 2}) ASSERT_EQ(rt.hasHw(rt.table() + 64 * i), i);
    ASSERT_EQ(rt.hasHw(rt.table() + 64 * 136), 136);
    using Frames = std::vector<std::vector<uint8_t>>;
    auto framesOf = [&](const char* board, auto&& action) {
        const size_t mark = sys.board(board)->frames().size();
        action();
        return since(sys.board(board)->frames(), mark);
    };
    // Family 1.
    EXPECT_EQ(framesOf("usb0", [&] { writeControlRegister(*rt.device(0), 0x98); }),
              (Frames{{0x5A, 0x0F, 0x22, 0x40, 0x98, 0x00}}));
    EXPECT_EQ(framesOf("usb0", [&] { writeCaptureAddress(*rt.device(0), 0x3FFF); }),
              (Frames{{0x5A, 0x0F, 0x22, 0x10, 0x3F, 0xFF, 0x00}}));
    // Family 3: the address goes through address registers 2 and 4, which are restored after.
    EXPECT_EQ(framesOf("usb1", [&] { writeControlRegister(*rt.device(1), 7); }),
              (Frames{{0x5A, 0x0F, 0x77, 0x07, 7}}));
    EXPECT_EQ(framesOf("usb1", [&] { writeCaptureAddress(*rt.device(1), 0x01234567); }),
              (Frames{{0x5A, 0x0F, 0x33, 0x02, 0x01, 0x00},
                      {0x5A, 0x0F, 0x33, 0x04, 0x45, 0x23},
                      {0x5A, 0x0F, 0x77, 0x06, 0x67},
                      {0x5A, 0x0F, 0x33, 0x02, 0x00, 0x00},
                      {0x5A, 0x0F, 0x33, 0x04, 0x00, 0x00}}));
    // Pocket boards: the two address latches, command 0x06, the latches restored.
    EXPECT_EQ(framesOf("usb2", [&] { writeControlRegister(*rt.device(2), 0x51); }),
              (Frames{{0x5A, 0x0F, 0x66, 0x07, 0x51}}));
    EXPECT_EQ(rt.device(2)->controlShadow, 0x51);
    EXPECT_EQ(framesOf("usb2", [&] { writeCaptureAddress(*rt.device(2), 0x1FFFF); }),
              (Frames{{0x5A, 0x0F, 0x33, 0x00, 0xFF, 0xFF},
                      {0x5A, 0x0F, 0x33, 0x01, 0x01, 0x00},
                      {0x5A, 0x0F, 0x66, 0x06},
                      {0x5A, 0x0F, 0x33, 0x00, 0x00, 0x00},
                      {0x5A, 0x0F, 0x33, 0x01, 0x00, 0x00}}));
    // ISA: one command word each.
    VirtualBoard& isa = *sys.board("isa0");
    const size_t mark = isa.isaCommands().size();
    writeControlRegister(*rt.device(136), 0x1F);
    writeCaptureAddress(*rt.device(136), 0x3FFF);
    EXPECT_EQ(since(isa.isaCommands(), mark), (std::vector<uint16_t>{0x941F, 0xFFFF}));
}

TEST_F(RuntimeTest, PciCardsAreFoundThroughTheirDriverNames) {
    ASSERT_TRUE(sys.addFromConfig("pci1=pci:2132:3"));
    HalvexRuntime& rt = load();
    EXPECT_EQ(slot(rt, 129), goldenRecord(0x102, kIfPci, 3, 1, 0x2132, 129));
    const auto& tried = sys.openAttempts;
    EXPECT_NE(std::find(tried.begin(), tried.end(), "\\\\.\\OmbixPCI"), tried.end());
    EXPECT_NE(std::find(tried.begin(), tried.end(), "\\\\.\\OmbixPCI2"), tried.end());
    EXPECT_EQ(std::find(tried.begin(), tried.end(), "\\\\.\\KV1000"), tried.end());
}

TEST_F(RuntimeTest, BeforeVersion5OnlyTheFirstCardHasADriverName) {
    sys.os.major = 4;
    ASSERT_TRUE(sys.addFromConfig("pci1=pci:2132:3"));
    HalvexRuntime& rt = load();
    EXPECT_EQ(getLe32(rt.table() + 64 * 129), 0u);
    const auto& tried = sys.openAttempts;
    EXPECT_NE(std::find(tried.begin(), tried.end(), "\\\\.\\KV1000"), tried.end());
    EXPECT_EQ(std::find(tried.begin(), tried.end(), "\\\\.\\OmbixPCI2"), tried.end());
}

TEST_F(RuntimeTest, OpeningAPlusRevisionSwitchesTheProcessToTheExtendedRateTable) {
    VirtualBoardConfig plus;
    plus.kind = VirtualKind::Pocket;
    plus.slot = 0;
    plus.code = 0x2216;
    plus.eepromName = kPlusShortProductName;
    sys.add(plus);
    ASSERT_TRUE(sys.addFromConfig("usb1=pocket:1216"));
    HalvexRuntime& rt = load();
    ASSERT_EQ(rt.hasHw(rt.table() + 64), 1);
    EXPECT_FALSE(rt.extendedRateTable());
    ASSERT_EQ(rt.hasHw(rt.table()), 0);
    EXPECT_TRUE(rt.extendedRateTable());
    EXPECT_EQ(rt.device(0)->thresholdOffset, 27);
    EXPECT_EQ(rt.device(1)->thresholdOffset, -170);
}

TEST_F(RuntimeTest, TheHoldSwitchKeepsEveryUsbExchangeFromTheBoard) {
    ASSERT_TRUE(sys.addFromConfig("usb0=usb20:2032:3"));
    HalvexRuntime& rt = load();
    ASSERT_EQ(rt.hasHw(rt.table()), 0);
    EXPECT_EQ(rt.setHwInfo(0, kHwHold, 1), 1);
    clearLogs();
    EXPECT_EQ(rt.thresVolt(0, 0, 0), 0);
    EXPECT_EQ(rt.reset(0), 0);
    EXPECT_EQ(totalLog(), 0u);
    rt.setHwInfo(0, kHwHold, 0);
    EXPECT_EQ(rt.thresVolt(0, 0, 0), 1);
    // Settings that only Nanlyn boards have are ignored elsewhere; the status option keeps 6 bits.
    rt.setHwInfo(0, kHwSampleGroup, 8);
    EXPECT_EQ(rt.device(0)->sampleGroup, 1u);
    rt.setHwInfo(0, kHwStatusOption, 0xFFu);
    EXPECT_EQ(rt.device(0)->statusOption, 0x3Fu);
}

}  // namespace
}  // namespace kv
