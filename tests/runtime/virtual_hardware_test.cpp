// The runtime and the virtual boards checking each other where they once disagreed: a stale
// identity answer during the parallel-port probe, the address-register frames of the rest
// sequence, the plus revision's EEPROM names, and the USB device handle given to the viewer.
#include <gtest/gtest.h>

#include <memory>
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
#include "tests/runtime/capture_fixture.h"

namespace kv {
namespace {

// The runtime on virtual boards, as the capture tests set it up.
using VirtualRuntimeTest = CaptureFixture;

// Family 3 is asked first on parallel ports; a family-1 board must not be taken for family 3 by
// an identity answer left over from an earlier try.
TEST_F(VirtualRuntimeTest, FamilyOneBoardsOnEveryParallelModeKeepTheirFamily) {
    HalvexRuntime& rt = load("lpt0=epp17:1132:1;lpt1=bidi:2064:1");
    const uint8_t* epp17 = rt.table() + 64 * 134;
    EXPECT_EQ(getLe32(epp17), 0x103u);
    EXPECT_EQ(getLe32(epp17 + 4), static_cast<uint32_t>(kIfEpp17At378));
    EXPECT_EQ(getLe32(epp17 + 8), 1u);
    EXPECT_EQ(getLe32(epp17 + 16), 0x1132u);
    const uint8_t* bidi = rt.table() + 64 * 135;
    EXPECT_EQ(getLe32(bidi + 4), static_cast<uint32_t>(kIfBidiAt278));
    EXPECT_EQ(getLe32(bidi + 8), 1u);

    // Opened, it re-checks with family 1 as recorded and answers resets.
    ASSERT_EQ(rt.hasHw(const_cast<uint8_t*>(epp17)), 134);
    EXPECT_EQ(rt.getHwInfo(134, kHwFamily), 1u);
    EXPECT_EQ(rt.reset(134), 1);
}

TEST_F(VirtualRuntimeTest, FamilyThreeBoardsOnParallelPortsStillAnswerFirst) {
    HalvexRuntime& rt = load("lpt0=epp17:2132:3;lpt1=epp19:2032:3");
    EXPECT_EQ(getLe32(rt.table() + 64 * 134 + 8), 3u);
    EXPECT_EQ(getLe32(rt.table() + 64 * 134 + 4), static_cast<uint32_t>(kIfEpp17At378));
    EXPECT_EQ(getLe32(rt.table() + 64 * 135 + 8), 3u);
    EXPECT_EQ(getLe32(rt.table() + 64 * 135 + 4), static_cast<uint32_t>(kIfEpp19At278));
}

// The rest sequence parks the capture address at the end of memory: depth - 1 on pocket boards,
// 0xFFFF on the others. The board must take it from the address registers the runtime loads.
TEST_F(VirtualRuntimeTest, RestSequenceLeavesEachBoardAtItsParkingAddress) {
    HalvexRuntime& rt = load("usb0=pocket:2216:6;usb1=pocket:1516;usb2=usb20:2232:3;usb3=usb2epp:1132:1;isa0=1164");
    for (int slot : {0, 1, 2, 3, 136}) ASSERT_EQ(rt.hasHw(rt.table() + 64 * slot), slot);
    for (int slot : {0, 1, 2, 3, 136}) ASSERT_EQ(rt.shutdown(slot), 1) << slot;
    EXPECT_EQ(sys.board("usb0")->captureAddress(), 0x20000 - 1);
    EXPECT_EQ(sys.board("usb1")->captureAddress(), 0x100000 - 1);
    EXPECT_EQ(sys.board("usb2")->captureAddress(), 0xFFFF);
    EXPECT_EQ(sys.board("usb3")->captureAddress(), 0xFFFF);
    // The registers borrowed for the address hold their earlier values again.
    for (int reg : {0, 1}) EXPECT_EQ(sys.board("usb0")->addressRegister(reg), 0) << reg;
    for (int reg : {2, 4}) EXPECT_EQ(sys.board("usb2")->addressRegister(reg), 0) << reg;
    // ISA cards rest with their control word and a reset instead.
    EXPECT_EQ(sys.board("isa0")->captureAddress(), -1);
    EXPECT_EQ(sys.board("isa0")->controlRegister(), 0x1F);
}

TEST_F(VirtualRuntimeTest, VirtualPlusBoardsCarryTheNamesTheRuntimeLooksFor) {
    EXPECT_STREQ(kVirtualPlusShortName, kPlusShortProductName);
    EXPECT_STREQ(kVirtualPlusLongName, kPlusLongProductName);
    HalvexRuntime& rt = load(
        "usb0=pocket:2216:6;usb1=pocket:2416:eeprom=PQKV Logic Analyzer Plus;usb2=pocket:2116:5");
    EXPECT_EQ(getLe32(rt.table() + 8), 6u);
    EXPECT_EQ(getLe32(rt.table() + 64 + 8), 6u);
    EXPECT_EQ(getLe32(rt.table() + 128 + 8), 5u);
    char name[32];
    ASSERT_EQ(rt.interfaceName(-1, rt.table(), 0, name, sizeof name), 1);
    EXPECT_EQ(std::string(name), modelName(kIfUsbPocket, 6, 0x2216));
}

// The viewer registers for the board's removal with this handle value.
TEST_F(VirtualRuntimeTest, UsbHandleSelectorAnswersTheOpenChannelsHandle) {
    HalvexRuntime& rt = load("usb0=pocket:2216:6;usb1=usb20:2232:3;isa0=1164");
    EXPECT_EQ(rt.getHwInfo(0, kHwUsbHandle), 0u);  // not open
    ASSERT_EQ(rt.hasHw(rt.table()), 0);
    ASSERT_EQ(rt.hasHw(rt.table() + 64), 1);
    ASSERT_EQ(rt.hasHw(rt.table() + 64 * 136), 136);
    const uint32_t a = rt.getHwInfo(0, kHwUsbHandle), b = rt.getHwInfo(1, kHwUsbHandle);
    EXPECT_NE(a, 0u);
    EXPECT_NE(b, 0u);
    EXPECT_NE(a, b);
    EXPECT_EQ(a, rt.device(0)->usb->deviceHandle());
    EXPECT_EQ(rt.getHwInfo(136, kHwUsbHandle), 0u);  // an ISA card has no USB channel
    EXPECT_EQ(rt.getHwInfo(-1, kHwUsbHandle), 0u);
    ASSERT_EQ(rt.shutdown(0), 1);
    EXPECT_EQ(rt.getHwInfo(0, kHwUsbHandle), 0u);
}

}  // namespace
}  // namespace kv
