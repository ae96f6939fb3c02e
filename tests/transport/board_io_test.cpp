#include "transport/board_io.h"

#include <vector>

#include "transport/kernel_driver.h"
#include "transport_fixture.h"

namespace kv {
namespace {

using Lines = std::vector<std::string>;
using BoardIoTest = VirtualHardwareTest;

// The common reset sequence of the capture logic, as address-port bytes.
const uint8_t kCommonReset[] = {0xA5, 0xF2, 0xF6, 0xF0, 0xA7, 0xAB};

BoardIo parallelBoard(int32_t interfaceCode, uint32_t base, int family) {
    BoardIo io;
    io.ports = parallelPorts(base);
    io.ports.interfaceCode = interfaceCode;
    io.ports.family = family;
    return io;
}

TEST_F(BoardIoTest, ResetOnAUsb20BoardIsControlByteWritesEachConfirmedByTheBridge) {
    VirtualBoard& b = board("usb0=usb20:2032:1");
    UsbChannel ch;
    ASSERT_EQ(ch.open(0, 0x05E3, 0x0139, 0), 1);
    b.clearLog();
    BoardIo io;
    io.ports = usbPorts(&ch);
    io.ports.interfaceCode = kIfUsb20;
    io.ports.family = 1;
    for (uint8_t v : kCommonReset) ASSERT_EQ(io.writeAddress(v), 1);
    EXPECT_EQ(b.logLines(), (Lines{"W 83 A5", "R 8E/0020 = 01", "W 83 F2", "R 8E/0020 = 01", "W 83 F6",
                                   "R 8E/0020 = 01", "W 83 F0", "R 8E/0020 = 01", "W 83 A7", "R 8E/0020 = 01",
                                   "W 83 AB", "R 8E/0020 = 01"}));
    // The data port is the second control byte; any other register number goes nowhere.
    b.clearLog();
    EXPECT_EQ(io.writeData(0x5A), 1);
    EXPECT_EQ(io.writeRegister(0x1234, 7), 1);
    EXPECT_EQ(b.logLines(), (Lines{"W 85 5A", "R 8E/0020 = 01"}));
}

TEST_F(BoardIoTest, ResetOnAPocketBoardOverUsb11) {
    VirtualBoard& b = board("usb0=pocket:1216:2");
    UsbChannel ch;
    ASSERT_EQ(ch.open(0, 0x05E3, 0x0136, 0), 1);
    b.clearLog();
    BoardIo io;
    io.ports = usbPorts(&ch);
    io.ports.interfaceCode = kIfUsbPocket;
    io.ports.family = 2;
    io.writeAddress(0xF2);
    io.writeAddress(0xA7);
    EXPECT_EQ(b.logLines(), (Lines{"W 83 F2", "W 83 A7"}));
}

TEST_F(BoardIoTest, Epp17WritesTheControlPortBeforeEveryDataOrAddressWrite) {
    VirtualBoard& b = board("lpt0=epp17:2032:3");
    BoardIo io = parallelBoard(kIfEpp17At378, 0x378, 3);
    io.writeRegister(0x378 + kEcrOffset, 0x95);  // EPP mode, as the reset sets it
    io.writeRegister(io.ports.controlPort, 0x24);
    for (uint8_t v : kCommonReset) io.writeAddress(v);
    io.sendFrame({0x5A, 0x0F, 0x77, 0x08, 1, 0x7D});
    Lines want = {"O 77A 95", "O 37A 24"};
    for (uint8_t v : kCommonReset) {
        char t[16];
        std::snprintf(t, sizeof t, "O 37B %02X", v);
        want.push_back("O 37A 04");
        want.push_back(t);
    }
    for (const char* d : {"5A", "0F", "77", "08", "01", "7D"}) {
        want.push_back("O 37A 04");
        want.push_back(std::string("O 37C ") + d);
    }
    EXPECT_EQ(b.logLines(), want);
    EXPECT_EQ(b.controlWrites(), std::vector<uint8_t>(std::begin(kCommonReset), std::end(kCommonReset)));
    ASSERT_EQ(b.frames().size(), 1u);
    EXPECT_EQ(b.frames()[0], (std::vector<uint8_t>{0x5A, 0x0F, 0x77, 0x08, 1, 0x7D}));
}

TEST_F(BoardIoTest, ParallelIdentityNeedsTheRightPortMode) {
    board("lpt0=epp17:2132:3:second=123456:third=20000000");
    BoardIo epp19 = parallelBoard(kIfEpp19At378, 0x378, 3);
    epp19.writeRegister(0x378 + kEcrOffset, 0x95);
    epp19.writeRegister(epp19.ports.controlPort, 0x04);
    uint32_t code = 0, second = 0, third = 0;
    epp19.readIdentity(code, second, third);
    EXPECT_EQ(code, 0xFFFFu);  // an EPP 1.7 board does not drive the lines without the 0x24 turn

    BoardIo epp17 = parallelBoard(kIfEpp17At378, 0x378, 3);
    epp17.writeRegister(epp17.ports.controlPort, 0x24);
    ASSERT_EQ(epp17.readIdentity(code, second, third), 1);
    EXPECT_EQ(code, 0x2132u);
    EXPECT_EQ(second, 0x123456u);
    EXPECT_EQ(third, 0x20000000u);
}

TEST_F(BoardIoTest, BidirectionalPortStrobesEveryByte) {
    VirtualBoard& b = board("lpt1=bidi:1132:1:second=0102:third=0304");
    BoardIo io = parallelBoard(kIfBidiAt278, 0x278, 1);
    io.writeRegister(0x278 + kEcrOffset, 0x35);  // byte mode
    b.clearLog();
    io.writeAddress(0xA5);
    io.writeRegister(io.ports.controlPort, 0x04);
    EXPECT_EQ(b.logLines(), (Lines{"O 27C A5", "O 27A 0D", "O 27A 05", "O 27A 04", "O 27A 04"}));
    EXPECT_EQ(b.controlWrites(), std::vector<uint8_t>{0xA5});
    b.clearLog();
    uint32_t code, second, third;
    ASSERT_EQ(io.readIdentity(code, second, third), 1);
    EXPECT_EQ(code, 0x1132u);
    EXPECT_EQ(second, 0x0102u);
    EXPECT_EQ(third, 0x0304u);
    Lines log = b.logLines();
    ASSERT_GE(log.size(), 20u);
    // The frame's first byte, then the first identity byte read back.
    EXPECT_EQ(Lines(log.begin(), log.begin() + 4), (Lines{"O 27C 5A", "O 27A 07", "O 27A 05", "O 27A 04"}));
    EXPECT_EQ(Lines(log.begin() + 16, log.begin() + 20), (Lines{"O 27A 26", "I 27C = 11", "O 27A 24", "O 27A 04"}));
}

TEST_F(BoardIoTest, FrameToAPocketBoardIsBulkOnUsb20AndRawOnUsb11) {
    board("usb0=pocket:2216:5");
    board("usb1=pocket:2216:5:usb11");
    const Lines want[2] = {{"W 82 01 00 00 00 05 00 00 00", "OUT 0 5A 0F 66 08 7D"},
                           {"W 82 01 01 00 00 05 00 00 00", "RAW 5A 0F 66 08 7D"}};
    for (int n : {0, 1}) {
        VirtualBoard& b = *system.boards()[n];
        UsbChannel ch;
        ASSERT_EQ(ch.open(n, 0x05E3, 0x0136, 0), 1);
        BoardIo io;
        io.ports = usbPorts(&ch);
        io.ports.interfaceCode = kIfUsbPocket;
        io.ports.family = 5;
        b.clearLog();
        ASSERT_EQ(io.sendFrame({0x5A, 0x0F, 0x66, 0x08, 0x7D}), 1);
        EXPECT_EQ(io.frameFill(), 0u);
        EXPECT_EQ(withoutReadyPolls(b.logLines()), want[n]);
        ASSERT_EQ(b.frames().size(), 1u);
        EXPECT_EQ(b.frames()[0], (std::vector<uint8_t>{0x5A, 0x0F, 0x66, 0x08, 0x7D}));
    }
}

TEST_F(BoardIoTest, FramesThatDoNotFitTheBufferAreRefusedWholly) {
    VirtualBoard& b = board("usb0=usb20:2032:3");
    UsbChannel ch;
    ASSERT_EQ(ch.open(0, 0, 0, 0), 1);
    b.clearLog();
    BoardIo io;
    io.ports = usbPorts(&ch);
    io.ports.interfaceCode = kIfUsb20;
    std::vector<uint8_t> big(kFrameBufferSize + 1, 0);
    EXPECT_EQ(io.sendFrame(big.data(), big.size()), 0);
    std::vector<uint16_t> words(kFrameBufferSize / 2 + 1, 0);
    EXPECT_EQ(io.sendWordFrame(words.data(), words.size()), 0);
    EXPECT_TRUE(b.logLines().empty());

    // Without send-at-once the buffer collects frames until flushed, and still never overflows.
    io.sendAtOnce = false;
    std::vector<uint8_t> half(kFrameBufferSize / 2, 1);
    EXPECT_EQ(io.sendFrame(half.data(), half.size()), 1);
    EXPECT_EQ(io.sendFrame(half.data(), half.size()), 1);
    EXPECT_EQ(io.sendFrame({0x5A}), 0);
    EXPECT_EQ(io.frameFill(), kFrameBufferSize);
    EXPECT_TRUE(b.logLines().empty());
    EXPECT_EQ(io.flushFrames(), 1);
    EXPECT_EQ(io.frameFill(), 0u);
    EXPECT_EQ(withoutReadyPolls(b.logLines()), (Lines{"W 82 01 00 00 00 00 04 00 00", "OUT 0 [1024 bytes]"}));

    // A device without a frame buffer ignores frames.
    b.clearLog();
    io.hasFrameBuffer = false;
    EXPECT_EQ(io.sendFrame({0x5A, 0x0F, 0x22, 0x08}), 1);
    EXPECT_TRUE(b.logLines().empty());
}

TEST_F(BoardIoTest, NanlynIdentityFrameLeavesAsWordsOnTheCommandTarget) {
    VirtualBoard& b = board("usb7=2136:second=0005");
    UsbChannel ch;
    ASSERT_EQ(ch.open(7, 0x05E3, 0x013B, 0), 1);
    b.clearLog();
    BoardIo io;
    io.ports = usbPorts(&ch);
    io.ports.interfaceCode = kIfUsb20;
    io.ports.family = 7;
    uint16_t code = 0;
    ASSERT_EQ(io.readNanlynWord(0x27, code), 1);
    EXPECT_EQ(code, 0x2136);
    EXPECT_EQ(withoutReadyPolls(b.logLines()),
              (Lines{"W 82 01 00 82 00 08 00 00 00", "OUT 130 5A 00 0F 00 66 00 27 00", "W 82 00 00 82 00 02 00 00 00",
                     "IN 130 36 21", "W 8C/0012 78"}));
    uint32_t c, second, third;
    ASSERT_EQ(io.readIdentity(c, second, third), 1);
    EXPECT_EQ(c, 0x2136u);
    EXPECT_EQ(second, 5u);
    ASSERT_FALSE(b.wordFrames().empty());
    EXPECT_EQ(b.wordFrames().back(), (std::vector<uint16_t>{0x5A, 0x0F, 0x66, 0x36}));
}

TEST_F(BoardIoTest, IdentityReadsOfEachUsbFamily) {
    board("usb0=pocket:2A16:2:second=012345:third=6789AB");
    board("usb1=usb20:2364:3:second=0A0B0C:third=01020304");
    board("usb2=usb2epp:1132:1:second=BEEF:third=CAFE");
    struct Case {
        int number;
        int32_t interfaceCode;
        int family;
        uint32_t code, second, third;
    } cases[] = {
        {0, kIfUsbPocket, 2, 0x2A16, 0x012345, 0x6789AB},
        {1, kIfUsb20, 3, 0x2364, 0x0A0B0C, 0x01020304},
        {2, kIfUsb2Epp, 1, 0x1132, 0xBEEF, 0xCAFE},
    };
    Lines family3Log;
    for (const Case& c : cases) {
        UsbChannel ch;
        ASSERT_EQ(ch.open(c.number, 0, 0, 0), 1);
        BoardIo io;
        io.ports = usbPorts(&ch);
        io.ports.interfaceCode = c.interfaceCode;
        io.ports.family = c.family;
        uint32_t code = 0, second = 0, third = 0;
        EXPECT_EQ(io.readIdentity(code, second, third), 1) << c.number;
        EXPECT_EQ(code, c.code) << c.number;
        EXPECT_EQ(second, c.second) << c.number;
        EXPECT_EQ(third, c.third) << c.number;
        if (c.family == 3) family3Log = withoutReadyPolls(system.board("usb1")->logLines());
    }
    // Family 3 reads its nine bytes as one framed block read.
    ASSERT_GE(family3Log.size(), 5u);
    Lines tail(family3Log.end() - 5, family3Log.end());
    EXPECT_EQ(tail, (Lines{"W 82 01 00 00 00 04 00 00 00", "OUT 0 5A 0F 77 04", "W 82 00 00 82 00 09 00 00 00",
                           "IN 130 23 64 0A 0B 0C 01 02 03 04", "W 8C/0012 78"}));
    // A family-1 board does not answer the family-3 identity frame.
    UsbChannel ch;
    ASSERT_EQ(ch.open(2, 0, 0, 0), 1);
    BoardIo wrong;
    wrong.ports = usbPorts(&ch);
    wrong.ports.interfaceCode = kIfUsb2Epp;
    wrong.ports.family = 3;
    uint32_t code = 0, second, third;
    wrong.readIdentity(code, second, third);
    EXPECT_NE(code, 0x1132u);
}

TEST_F(BoardIoTest, ThresholdsReachPocketAndNanlynBoards) {
    VirtualBoard& pocket = board("usb0=pocket:2216:6");
    VirtualBoard& nanlyn = board("usb1=2236");
    UsbChannel a, b;
    ASSERT_EQ(a.open(0, 0x05E3, 0x0136, 0), 1);
    ASSERT_EQ(b.open(1, 0x05E3, 0x013B, 0), 1);
    BoardIo p;
    p.ports = usbPorts(&a);
    p.ports.interfaceCode = kIfUsbPocket;
    p.ports.family = 6;
    // Group 1 on the 2x16 class: group bit 2 set in the control register, then the six bytes one
    // by one through the data register.
    p.sendFrame({0x5A, 0x0F, 0x66, 0x07, 0x04});
    for (uint8_t v : {0x5A, 0x0F, 0x66, 0x08, 0x83, 0x00}) p.writeData(v);
    p.sendFrame({0x5A, 0x0F, 0x66, 0x07, 0x00});
    EXPECT_EQ(pocket.thresholdDac(1), 0x83);
    EXPECT_EQ(pocket.thresholdDac(0), -1);
    EXPECT_EQ(pocket.controlRegister(), 0);

    BoardIo n;
    n.ports = usbPorts(&b);
    n.ports.interfaceCode = kIfUsb20;
    n.ports.family = 7;
    const uint16_t w = (255 - 20) << 8 | (255 - 131);
    std::vector<uint16_t> block = {0x5A, 0x0F, 0x66, 0x21, w, w};
    block.resize(20, 0);
    ASSERT_EQ(n.sendWordFrame(block.data(), block.size()), 1);
    EXPECT_EQ(nanlyn.thresholdDac(0), 131);
    EXPECT_EQ(nanlyn.thresholdDac(1), 20);
}

TEST_F(BoardIoTest, IsaIdentityIsACommandWordAndAWordRead) {
    VirtualBoard& b = board("isa2=1164");
    BoardIo io;
    io.ports = isaPorts(0x368);
    io.ports.interfaceCode = kIfIsa368;
    uint32_t code = 0, second, third;
    ASSERT_EQ(io.readIdentity(code, second, third), 1);
    EXPECT_EQ(code, 0x1164u);
    io.writeIsaCommand(0x3C00);
    io.writeIsaCommand(0xBC00);
    EXPECT_EQ(b.logLines(), (Lines{"OW 368 8400", "IW 36A = 1164", "OW 368 3C00", "OW 368 BC00"}));
    EXPECT_EQ(b.isaCommands(), (std::vector<uint16_t>{0x8400, 0x3C00, 0xBC00}));
    // Frames and blocks do not exist for ISA cards.
    b.clearLog();
    io.hasFrameBuffer = true;
    io.sendFrame({0x5A, 0x0F, 0x22, 0x08});
    EXPECT_TRUE(b.logLines().empty());
}

TEST_F(BoardIoTest, PciCardThroughItsDriver) {
    VirtualBoard& b = board("pci1=pci:2164:3:second=000001:third=00000002");
    OsVersion xp{true, 5, 1};
    BoardIo io;
    io.ports = pciPorts(0);
    io.ports.interfaceCode = kIfPci;
    io.ports.family = 3;
    io.ports.driverName = pciDriverDeviceName(1, xp);
    ASSERT_EQ(io.ports.driverName, "\\\\.\\OmbixPCI2");
    EXPECT_EQ(io.writeRegister(io.ports.controlPort, 0x11), 1);
    EXPECT_EQ(io.writeAddress(0xA5), 1);
    uint32_t code = 0, second = 0, third = 0;
    ASSERT_EQ(io.readIdentity(code, second, third), 1);
    EXPECT_EQ(code, 0x2164u);
    EXPECT_EQ(second, 1u);
    EXPECT_EQ(third, 2u);
    EXPECT_EQ(b.logLines(), (Lines{"PW 0 11", "PW C0 A5", "PW C8 5A 0F 77 04", "PR C8 = 21 64 00 00 01 00 00 00 02"}));

    // Without the card the driver does not open: writes fail, a byte read gives 0xFFFF.
    io.ports.driverName = pciDriverDeviceName(2, xp);
    EXPECT_EQ(io.writeAddress(0xA5), 0);
    EXPECT_EQ(io.readRegister(), 0xFFFF);
    EXPECT_EQ(pciReadByte("\\\\.\\OmbixPCI", 0xC8), 0xFFFFu);
}

TEST(KernelDriverNames, PciNamesDependOnTheSystem) {
    OsVersion nt4{true, 4, 0}, xp{true, 5, 1}, win98{false, 4, 10};
    EXPECT_EQ(pciDriverDeviceName(0, nt4), "\\\\.\\KV1000");
    EXPECT_EQ(pciDriverDeviceName(1, nt4), "");
    EXPECT_EQ(pciDriverDeviceName(0, xp), "\\\\.\\OmbixPCI");
    EXPECT_EQ(pciDriverDeviceName(5, xp), "\\\\.\\OmbixPCI6");
    EXPECT_EQ(pciDriverDeviceName(6, xp), "");
    EXPECT_EQ(pciDriverDeviceName(0, win98), "");
}

TEST_F(BoardIoTest, PortDriverPresenceFollowsTheDriver) {
    EXPECT_TRUE(portDriverPresent());
    system.portDriver = false;
    EXPECT_FALSE(portDriverPresent());
    setDeviceIo(nullptr);
    EXPECT_FALSE(portDriverPresent());
}

TEST_F(BoardIoTest, UnframedUsbBlockReadUsesTheDataTarget) {
    VirtualBoard& b = board("usb0=usb20:2032:3");
    UsbChannel ch;
    ASSERT_EQ(ch.open(0, 0, 0, 0), 1);
    b.clearLog();
    BoardIo io;
    io.ports = usbPorts(&ch);
    io.ports.interfaceCode = kIfUsb20;
    uint8_t buf[4];
    ASSERT_EQ(io.readBlock(buf, 4, false), 1);
    EXPECT_EQ(withoutReadyPolls(b.logLines()), (Lines{"W 82 00 00 00 00 04 00 00 00", "IN 0 FF FF FF FF"}));
    // The lock is free again afterwards.
    EXPECT_TRUE(transportLock().try_lock());
    transportLock().unlock();
}

}  // namespace
}  // namespace kv
