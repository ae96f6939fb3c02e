#include "transport/usb_channel.h"

#include <vector>

#include "transport_fixture.h"

namespace kv {
namespace {

using Lines = std::vector<std::string>;
using UsbChannelTest = VirtualHardwareTest;

TEST(UsbRecords, RegisterRequestAndBulkSetupAreLittleEndianFieldByField) {
    UsbRegisterRequest r;
    r.reg = 0x8C;
    r.length = 1;
    r.bufferAddress = 0x11223344;
    r.index = 0x20;
    uint8_t b[UsbRegisterRequest::kSize];
    r.store(b);
    const uint8_t want[16] = {0x8C, 0, 0, 0, 1, 0, 0, 0, 0x44, 0x33, 0x22, 0x11, 0x20, 0, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(b, b + 16), std::vector<uint8_t>(want, want + 16));
    UsbRegisterRequest back = UsbRegisterRequest::load(b);
    EXPECT_EQ(back.reg, 0x8Cu);
    EXPECT_EQ(back.bufferAddress, 0x11223344u);
    EXPECT_EQ(back.index, 0x20u);

    BulkSetup s;
    s.direction = 1;
    s.target = 130;
    s.length = 27120;
    uint8_t c[BulkSetup::kSize];
    s.store(c);
    const uint8_t wantSetup[8] = {1, 0, 0x82, 0, 0xF0, 0x69, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(c, c + 8), std::vector<uint8_t>(wantSetup, wantSetup + 8));
    EXPECT_EQ(BulkSetup::load(c).length, 27120u);
}

TEST_F(UsbChannelTest, OpenReadsIdsDescriptorAndMarksTheSharedTable) {
    board("usb3=usb20:2032:3");
    UsbChannel ch;
    ASSERT_EQ(ch.open(3, 0x05E3, 0x0139, 0), 1);
    EXPECT_EQ(ch.deviceNumber(), 3);
    EXPECT_EQ(ch.vendorId(), 0x05E3);
    EXPECT_EQ(ch.productId(), 0x0139);
    EXPECT_EQ(ch.usbVersion(), 0x0200);
    EXPECT_EQ(ch.descriptor()[0], 18);
    EXPECT_FALSE(ch.legacyDriver());
    EXPECT_EQ(system.openAttempts, Lines{"\\\\.\\usbscan3"});

    auto table = sharedSections().open(kUsbSharedSectionName, kUsbSharedSectionSize);
    EXPECT_EQ(table->word(3 * 4), 0x8000u + 0x0139u);
    ch.close();
    EXPECT_EQ(table->word(3 * 4), 0u);
    EXPECT_EQ(ch.deviceNumber(), -1);
}

TEST_F(UsbChannelTest, DeviceHandleIsTheOpenFilesHandleAndZeroWhenClosed) {
    board("usb3=pocket:2216:6");
    board("usb4=usb20:2032:3");
    UsbChannel ch, other;
    EXPECT_EQ(ch.deviceHandle(), 0u);
    ASSERT_EQ(ch.open(3, 0x05E3, 0x0136, 0), 1);
    ASSERT_EQ(other.open(4, 0x05E3, 0x0139, 0), 1);
    EXPECT_NE(ch.deviceHandle(), 0u);
    EXPECT_NE(ch.deviceHandle(), other.deviceHandle());
    const uint32_t first = ch.deviceHandle();
    ch.close();
    EXPECT_EQ(ch.deviceHandle(), 0u);
    // A refused open leaves no handle behind.
    EXPECT_EQ(ch.open(4, 0x05E3, 0x0139, 0), 0);
    EXPECT_EQ(ch.deviceHandle(), 0u);
    ASSERT_EQ(ch.open(3, 0x05E3, 0x0136, 0), 1);
    EXPECT_NE(ch.deviceHandle(), first);  // reopening gives a new handle
}

TEST_F(UsbChannelTest, HighSpeedCheckSetsUpTheBridgeAndFullSpeedDoesNot) {
    VirtualBoard& high = board("usb0=usb20:2032:3");
    UsbChannel a;
    ASSERT_EQ(a.open(0, 0, 0, 0), 1);
    EXPECT_EQ(a.speedMode(), 2);
    EXPECT_EQ(high.logLines(), (Lines{"IOCTL 80002018", "IOCTL 80002020", "R 8E = 00", "W 8C/0010 84",
                                      "R 8E/0020 = 01", "W 8C/000F 01", "R 8E/0020 = 01"}));

    VirtualBoard& full = board("usb1=usb20:2032:3:full");
    UsbChannel b;
    ASSERT_EQ(b.open(1, 0, 0, 0), 1);
    EXPECT_EQ(b.speedMode(), 1);
    EXPECT_EQ(full.logLines(), (Lines{"IOCTL 80002018", "IOCTL 80002020", "R 8E = 08"}));

    VirtualBoard& old = board("usb2=usb2epp:1032:1");
    UsbChannel c;
    ASSERT_EQ(c.open(2, 0, 0, 0), 1);
    EXPECT_EQ(c.usbVersion(), 0x0110);
    EXPECT_EQ(c.speedMode(), 1);
    EXPECT_EQ(old.logLines(), (Lines{"IOCTL 80002018", "IOCTL 80002020"}));

    // Closing a USB 2.0 device hands the bridge back first; a USB 1.1 device just closes.
    high.clearLog();
    a.close();
    EXPECT_EQ(high.logLines(), (Lines{"W 8C/0012 78", "R 8E/0020 = 01"}));
    old.clearLog();
    c.close();
    EXPECT_TRUE(old.logLines().empty());
}

TEST_F(UsbChannelTest, ADeviceOpenElsewhereIsRefusedWithoutTouchingTheDriverUnlessForced) {
    board("usb5=pocket:2216:2");
    auto table = sharedSections().open(kUsbSharedSectionName, kUsbSharedSectionSize);
    table->setWord(5 * 4, 0x8000 + 0x0136);
    UsbChannel ch;
    EXPECT_EQ(ch.open(5, 0x05E3, 0x0136, 0), 0);
    EXPECT_TRUE(system.openAttempts.empty());
    EXPECT_EQ(ch.open(5, 0x05E3, 0x0136, 1), 1);

    // Two channels of one process see the same table.
    UsbChannel other;
    EXPECT_EQ(other.open(5, 0x05E3, 0x0136, 0), 0);
}

TEST_F(UsbChannelTest, WrongIdsCloseTheDeviceAgainAndLeaveNoMark) {
    board("usb0=pocket:2216:2");
    UsbChannel ch;
    EXPECT_EQ(ch.open(0, 0x05E3, 0x0139, 0), 0);
    EXPECT_FALSE(ch.isOpen());
    EXPECT_EQ(ch.open(0, 0x1234, 0x0136, 0), 0);
    auto table = sharedSections().open(kUsbSharedSectionName, kUsbSharedSectionSize);
    EXPECT_EQ(table->word(0), 0u);
    EXPECT_EQ(ch.open(0, 0x05E3, 0x0136, 0), 1);
    EXPECT_EQ(ch.open(1, 0, 0, 0), 0);  // nothing there; the channel is closed by the attempt
    EXPECT_FALSE(ch.isOpen());
    EXPECT_EQ(table->word(0), 0u);
    EXPECT_EQ(ch.open(-1, 0, 0, 0), 0);
    EXPECT_EQ(ch.open(128, 0, 0, 0), 0);
}

TEST_F(UsbChannelTest, TheOlderDriverNameIsTriedExceptOnWindows2000) {
    VirtualBoard& b = board("usb4=usb2epp:1032:1:legacy");
    {
        UsbChannel ch;
        ASSERT_EQ(ch.open(4, 0x05E3, 0x0138, 0), 1);
        EXPECT_TRUE(ch.legacyDriver());
        EXPECT_EQ(system.openAttempts, (Lines{"\\\\.\\usbscan4", "\\\\.\\Geneusb4"}));
        EXPECT_EQ(b.logLines(), Lines{"IOCTL 80002000"});  // ids and version from the one descriptor
        EXPECT_EQ(ch.usbVersion(), 0x0110);
    }
    system.openAttempts.clear();
    system.os.major = 5;
    UsbChannel ch;
    EXPECT_TRUE(ch.isWin2000());
    EXPECT_EQ(ch.open(4, 0x05E3, 0x0138, 0), 0);
    EXPECT_EQ(system.openAttempts, Lines{"\\\\.\\usbscan4"});
}

TEST_F(UsbChannelTest, BulkWriteToAUsb11DeviceGoesIn61440ByteChunksEachAnnounced) {
    VirtualBoard& b = board("usb0=pocket:1216:2:usb11");
    UsbChannel ch;
    ASSERT_EQ(ch.open(0, 0x05E3, 0x0136, 0), 1);
    b.clearLog();
    std::vector<uint8_t> data(150000, 0x33);
    ASSERT_EQ(ch.bulkWrite(data.data(), 150000, kBulkTargetData), 1);
    EXPECT_EQ(b.logLines(), (Lines{"W 82 01 00 00 00 00 F0 00 00", "OUT 0 [61440 bytes]",
                                   "W 82 01 00 00 00 00 F0 00 00", "OUT 0 [61440 bytes]",
                                   "W 82 01 00 00 00 F0 69 00 00", "OUT 0 [27120 bytes]"}));
    size_t total = 0;
    for (const Exchange& e : b.log())
        if (e.op == Exchange::Op::BulkOut) total += e.data.size();
    EXPECT_EQ(total, 150000u);

    // Raw writes carry the raw flag; command targets their number.
    b.clearLog();
    const uint8_t frame[4] = {0x5A, 0x0F, 0x66, 0x04};
    ASSERT_EQ(ch.rawWrite(frame, 4), 1);
    ASSERT_EQ(ch.bulkWrite(frame, 4, kBulkTargetCommand), 1);
    EXPECT_EQ(b.logLines(), (Lines{"W 82 01 01 00 00 04 00 00 00", "RAW 5A 0F 66 04",
                                   "W 82 01 00 82 00 04 00 00 00", "OUT 130 5A 0F 66 04"}));
}

TEST_F(UsbChannelTest, ZeroLengthTransfersSendNothingAndSucceed) {
    VirtualBoard& b = board("usb0=usb20:2032:3");
    UsbChannel ch;
    ASSERT_EQ(ch.open(0, 0, 0, 0), 1);
    b.clearLog();
    uint8_t buf[1] = {};
    EXPECT_EQ(ch.bulkWrite(buf, 0, 0), 1);
    EXPECT_EQ(ch.bulkRead(buf, 0, 0), 1);
    EXPECT_TRUE(b.logLines().empty());
}

TEST_F(UsbChannelTest, BulkReadIsAnnouncedOnceOnUsb20AndPerChunkOnUsb11) {
    VirtualBoard& fast = board("usb0=usb20:2032:3");
    UsbChannel a;
    ASSERT_EQ(a.open(0, 0, 0, 0), 1);
    fast.clearLog();
    std::vector<uint8_t> buf(100000);
    ASSERT_EQ(a.bulkRead(buf.data(), 100000, kBulkTargetData), 1);
    EXPECT_EQ(withoutReadyPolls(fast.logLines()), (Lines{"W 82 00 00 00 00 A0 86 01 00", "IN 0 [100000 bytes]"}));

    VirtualBoard& slow = board("usb1=usb2epp:1032:1");
    UsbChannel c;
    ASSERT_EQ(c.open(1, 0, 0, 0), 1);
    slow.clearLog();
    ASSERT_EQ(c.bulkRead(buf.data(), 100000, kBulkTargetCommand), 1);
    EXPECT_EQ(slow.logLines(), (Lines{"W 82 00 00 82 00 00 F0 00 00", "IN 130 [61440 bytes]",
                                      "W 82 00 00 82 00 A0 96 00 00", "IN 130 [38560 bytes]"}));
}

TEST_F(UsbChannelTest, RegisterWritesOnUsb20RepeatUntilTheBridgeIsReady) {
    VirtualBoard& b = board("usb0=usb20:2032:3");
    UsbChannel ch;
    ASSERT_EQ(ch.open(0, 0, 0, 0), 1);
    b.clearLog();
    b.busyReadyReads = 2;
    EXPECT_EQ(ch.writeControl(0xA5), 1);
    EXPECT_EQ(b.logLines(), (Lines{"W 83 A5", "R 8E/0020 = 00", "W 83 A5", "R 8E/0020 = 00", "W 83 A5",
                                   "R 8E/0020 = 01"}));
    EXPECT_EQ(b.controlWrites(), (std::vector<uint8_t>{0xA5, 0xA5, 0xA5}));

    // A bridge that never gets ready does not hold the caller forever.
    b.busyReadyReads = -1;
    EXPECT_EQ(ch.writeControl(0xF2), 0);
}

TEST_F(UsbChannelTest, HoldAndUnpluggedMakeEveryExchangeFail) {
    VirtualBoard& b = board("usb0=pocket:2216:2");
    UsbChannel ch;
    ASSERT_EQ(ch.open(0, 0, 0, 0), 1);
    b.clearLog();
    ch.setHold(1);
    uint8_t buf[128] = {};
    EXPECT_EQ(ch.writeControl(1), 0);
    EXPECT_EQ(ch.readStatus(), -1);
    EXPECT_EQ(ch.bulkWrite(buf, 4, 0), 0);
    EXPECT_EQ(ch.bulkRead(buf, 4, 0), 0);
    EXPECT_EQ(ch.readEeprom(0, 1, buf, sizeof buf), 0);
    EXPECT_EQ(ch.writeEepromWord(0, 1), 0);
    EXPECT_TRUE(b.logLines().empty());
    ch.setHold(0);
    EXPECT_EQ(ch.writeControl(1), 1);
    b.unplugged = true;
    EXPECT_EQ(ch.writeControl(1), 0);
    EXPECT_EQ(ch.readStatus(), -1);

    UsbChannel closed;
    EXPECT_EQ(closed.writeControl(1), 0);
    EXPECT_EQ(closed.readStatus(), -1);
}

TEST_F(UsbChannelTest, EepromReadClocksThe93C46ProtocolAndReturnsLittleEndianWords) {
    VirtualBoard& b = board("usb0=pocket:2216:6");
    b.setEepromWord(10, 0xA55A);
    b.setEepromWord(11, 0x0102);
    UsbChannel ch;
    ASSERT_EQ(ch.open(0, 0, 0, 0), 1);
    b.clearLog();
    uint8_t out[128] = {};
    ASSERT_EQ(ch.readEeprom(10, 2, out, sizeof out), 1);
    EXPECT_EQ(out[0], 0x5A);
    EXPECT_EQ(out[1], 0xA5);
    EXPECT_EQ(out[2], 0x02);
    EXPECT_EQ(out[3], 0x01);

    // The exact exchange: pin direction, write enable, read command with address 10, 32 received
    // bits (each: select, clock up, sample, clock down), write disable, pins released.
    Lines want;
    auto pins = [&](int v) {
        char t[16];
        std::snprintf(t, sizeof t, "W 8B %02X", v);
        want.push_back(t);
        want.push_back("R 8E/0020 = 01");
    };
    auto bits = [&](const char* s) {
        for (; *s; ++s) {
            if (*s == '0') pins(1), pins(3), pins(1);
            else pins(5), pins(7), pins(5);
        }
    };
    want.push_back("W 89 07");
    want.push_back("R 8E/0020 = 01");
    pins(4), pins(5), bits("1001100000"), pins(0);
    pins(4), pins(5), bits("110001010");
    const uint32_t stream = 0xA55A0102;
    for (int i = 31; i >= 0; --i) {
        pins(1), pins(3);
        want.push_back(((stream >> i) & 1) ? "R 8A = 0B" : "R 8A = 03");
        pins(1);
    }
    pins(4), pins(5), bits("1000000000"), pins(0);
    want.push_back("W 89 00");
    want.push_back("R 8E/0020 = 01");
    EXPECT_EQ(b.logLines(), want);
}

TEST_F(UsbChannelTest, EepromNameOfAPlusBoardReadsBackAndWordWritesStick) {
    board("usb0=pocket:2216:6");
    UsbChannel ch;
    ASSERT_EQ(ch.open(0, 0, 0, 0), 1);
    uint8_t out[128] = {};
    ASSERT_EQ(ch.readEeprom(32, 16, out, sizeof out), 1);
    std::string name(reinterpret_cast<char*>(out + 1), out[0]);
    EXPECT_EQ(name, kVirtualPlusShortName);

    ASSERT_EQ(ch.writeEepromWord(63, 0xBEEF), 1);
    ASSERT_EQ(ch.readEeprom(62, 2, out, sizeof out), 1);
    EXPECT_EQ(out[2], 0xEF);
    EXPECT_EQ(out[3], 0xBE);
    EXPECT_EQ(system.board("usb0")->eepromWord(63), 0xBEEF);
}

TEST_F(UsbChannelTest, EepromReadRefusesSmallBuffersAndWordsOutsideTheMemory) {
    VirtualBoard& b = board("usb0=pocket:2216:2");
    UsbChannel ch;
    ASSERT_EQ(ch.open(0, 0, 0, 0), 1);
    b.clearLog();
    uint8_t out[128] = {};
    EXPECT_EQ(ch.readEeprom(0, 1, out, 127), 0);
    EXPECT_EQ(ch.readEeprom(0, 1, nullptr, 128), 0);
    EXPECT_EQ(ch.readEeprom(60, 8, out, sizeof out), 0);
    EXPECT_EQ(ch.readEeprom(-1, 1, out, sizeof out), 0);
    EXPECT_EQ(ch.writeEepromWord(64, 0), 0);
    EXPECT_TRUE(b.logLines().empty());
}

}  // namespace
}  // namespace kv
