#include "simulator/virtual_system.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/environment.h"

namespace kv {
namespace {

void setVariable(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value ? value : "");  // an empty value removes the variable
#else
    if (value) setenv(name, value, 1);
    else unsetenv(name);
#endif
}

using Lines = std::vector<std::string>;

TEST(VirtualConfig, PlacesKindsCodesAndOptions) {
    std::vector<VirtualBoardConfig> boards;
    std::string error;
    ASSERT_TRUE(parseVirtualConfig("usb0=2136;usb1=pocket:2216:6; isa0=1164 ;lpt1=bidi:1132:1;pci2=pci:2164:3:option;"
                                   "usb9=usb2epp:1032:legacy:second=12:third=ab;usb10=1216;usb11=2032;lpt0=2232",
                                   boards, &error))
        << error;
    ASSERT_EQ(boards.size(), 9u);
    EXPECT_EQ(boards[0].kind, VirtualKind::Nanlyn);
    EXPECT_EQ(boards[0].name(), "usb0");
    EXPECT_FALSE(boards[0].usb11);
    EXPECT_EQ(boards[1].kind, VirtualKind::Pocket);
    EXPECT_EQ(boards[1].family, 6);
    EXPECT_EQ(boards[1].eepromName, kVirtualPlusShortName);
    EXPECT_EQ(boards[2].kind, VirtualKind::Isa);
    EXPECT_EQ(boards[2].code, 0x1164);
    EXPECT_EQ(boards[3].kind, VirtualKind::Bidi);
    EXPECT_EQ(boards[3].slot, 1);
    EXPECT_EQ(boards[4].code, 0x2964);  // option flag set
    EXPECT_TRUE(boards[5].legacyDriver);
    EXPECT_TRUE(boards[5].usb11);
    EXPECT_EQ(boards[5].second, 0x12u);
    EXPECT_EQ(boards[5].third, 0xABu);
    EXPECT_EQ(boards[6].kind, VirtualKind::Pocket);
    EXPECT_TRUE(boards[6].usb11);
    EXPECT_EQ(boards[7].kind, VirtualKind::Usb20);
    EXPECT_EQ(boards[8].kind, VirtualKind::Epp19);

    // Family 2 of the newer pocket codes is told apart by the option flag alone.
    boards.clear();
    ASSERT_TRUE(parseVirtualConfig("usb0=pocket:2216:2;usb1=pocket:1216:2;usb2=pocket:2216:5", boards, &error));
    EXPECT_EQ(boards[0].code, 0x2A16);
    EXPECT_EQ(boards[1].code, 0x1216);
    EXPECT_EQ(boards[2].code, 0x2216);
    EXPECT_FALSE(boards[2].eepromName.empty());
    EXPECT_NE(boards[2].eepromName, kVirtualPlusShortName);
}

TEST(VirtualConfig, BadEntriesAreRefusedWholly) {
    for (const char* bad : {"usb0", "usb128=2136", "usb0=nanlyn", "lpt2=2032", "isa0=pocket:2216", "usb0=2136:fast",
                            "usb0=2136;usb0=2236", "xyz0=1", "usb0=12345"}) {
        std::vector<VirtualBoardConfig> boards;
        std::string error;
        EXPECT_FALSE(parseVirtualConfig(bad, boards, &error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
        EXPECT_TRUE(boards.empty()) << bad;
    }
    VirtualSystem sys;
    EXPECT_FALSE(sys.addFromConfig("usb0=2136;bad"));
    EXPECT_TRUE(sys.boards().empty());
}

TEST(VirtualSystemTest, PocketEepromCarriesItsNameFromWord32) {
    VirtualSystem sys;
    ASSERT_TRUE(sys.addFromConfig("usb1=pocket:2216:eeprom=ABC"));
    VirtualBoard* b = sys.board("usb1");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->eepromWord(32), 'A' << 8 | 3);
    EXPECT_EQ(b->eepromWord(33), 'C' << 8 | 'B');
    EXPECT_EQ(b->eepromWord(0), 0xFFFF);
}

TEST(VirtualSystemTest, DeviceNamesReachTheirBoards) {
    VirtualSystem sys;
    ASSERT_TRUE(sys.addFromConfig("usb3=2136;usb4=usb2epp:1032:legacy;pci0=pci:2032;pci5=pci:2032"));
    EXPECT_NE(sys.open("\\\\.\\usbscan3", kOpenOverlapped), nullptr);
    EXPECT_NE(sys.open("\\\\.\\USBSCAN3", kOpenOverlapped), nullptr);
    EXPECT_EQ(sys.open("\\\\.\\Geneusb3", kOpenOverlapped), nullptr);
    EXPECT_EQ(sys.open("\\\\.\\usbscan4", kOpenOverlapped), nullptr);
    EXPECT_NE(sys.open("\\\\.\\Geneusb4", kOpenOverlapped), nullptr);
    EXPECT_NE(sys.open("\\\\.\\OmbixPCI", 0), nullptr);
    EXPECT_NE(sys.open("\\\\.\\KV1000", 0), nullptr);
    EXPECT_NE(sys.open("\\\\.\\OmbixPCI6", 0), nullptr);
    EXPECT_EQ(sys.open("\\\\.\\OmbixPCI2", 0), nullptr);
    EXPECT_NE(sys.open("\\\\.\\OmbixLPT", 0), nullptr);
    sys.portDriver = false;
    EXPECT_EQ(sys.open("\\\\.\\OmbixLPT", 0), nullptr);
    sys.board("usb3")->unplugged = true;
    EXPECT_EQ(sys.open("\\\\.\\usbscan3", kOpenOverlapped), nullptr);
    EXPECT_EQ(sys.openAttempts.size(), 12u);
    // Ports nobody owns float high.
    EXPECT_EQ(sys.inByte(0x3BC), 0xFF);
    EXPECT_EQ(sys.inWord(0x26A), 0xFFFF);
}

TEST(VirtualSystemTest, AFileOpenedStillWorksWhenTheSystemReplacesTheBoard) {
    VirtualSystem sys;
    sys.addFromConfig("usb0=usb20:2032");
    auto file = sys.open("\\\\.\\usbscan0", kOpenOverlapped);
    ASSERT_NE(file, nullptr);
    sys.addFromConfig("usb0=usb20:2064");
    uint8_t ids[8];
    uint32_t n = 0;
    EXPECT_TRUE(file->ioControl(0x80002018, ids, 8, ids, 8, n));
}

TEST(VirtualSystemTest, ExchangeLogFileCollectsEveryBoard) {
    const char* path = "kv_exchange_log_test.txt";
    std::remove(path);
    {
        VirtualSystem sys;
        sys.addFromConfig("isa0=1164");
        ASSERT_TRUE(sys.setLogFile(path));
        sys.addFromConfig("lpt0=epp19:2032:3");
        sys.outWord(0x268, 0x8400);
        EXPECT_EQ(sys.inWord(0x26A), 0x1164);
        sys.outByte(0x37A, 0x04);
    }
    EXPECT_EQ(readExchangeLogFile(path), (Lines{"isa0: OW 268 8400", "isa0: IW 26A = 1164", "lpt0: O 37A 04"}));
    std::remove(path);
}

TEST(Environment, ReadsWhatIsSetAndNothingElse) {
    std::string value = "untouched";
    setVariable("KV_ENVIRONMENT_TEST", nullptr);
    EXPECT_FALSE(readEnvironment("KV_ENVIRONMENT_TEST", value));
    EXPECT_EQ(value, "untouched");
    setVariable("KV_ENVIRONMENT_TEST", "usb0=2136;usb1=pocket:2216:6");
    ASSERT_TRUE(readEnvironment("KV_ENVIRONMENT_TEST", value));
    EXPECT_EQ(value, "usb0=2136;usb1=pocket:2216:6");
    setVariable("KV_ENVIRONMENT_TEST", nullptr);
    EXPECT_FALSE(readEnvironment("KV_ENVIRONMENT_TEST", value));
    EXPECT_FALSE(readEnvironment(nullptr, value));
}

TEST(VirtualSystemTest, EnvironmentSelectsTheVirtualSystemOnce) {
    NullDeviceIo real;
    setVariable("HALVEX_VIRTUAL", nullptr);
    EXPECT_EQ(installDeviceIoFromEnvironment(real), nullptr);
    EXPECT_EQ(&deviceIo(), &real);

    setVariable("HALVEX_VIRTUAL", "usb2=2236");
    setVariable("HALVEX_VIRTUAL_LOG", nullptr);
    VirtualSystem* sys = installDeviceIoFromEnvironment(real);
    ASSERT_NE(sys, nullptr);
    EXPECT_EQ(&deviceIo(), sys);
    EXPECT_EQ(environmentVirtualSystem(), sys);
    ASSERT_NE(sys->board("usb2"), nullptr);
    EXPECT_EQ(sys->board("usb2")->config().kind, VirtualKind::Nanlyn);
    EXPECT_EQ(installDeviceIoFromEnvironment(real), sys);
    setVariable("HALVEX_VIRTUAL", nullptr);
    setDeviceIo(nullptr);
}

}  // namespace
}  // namespace kv

namespace kv {
namespace {

// The board's side of threshold and control-register commands, fed the way each connection
// delivers them.
TEST(VirtualBoardLogic, ThresholdAndControlRegisterCommandsOfEachFamily) {
    VirtualSystem sys;
    ASSERT_TRUE(sys.addFromConfig("isa0=1164;lpt0=epp19:1132:1;lpt1=epp19:2132:3"));
    sys.outWord(0x268, 0xA67D);
    sys.outWord(0x268, 0x9412);
    VirtualBoard& isa = *sys.board("isa0");
    EXPECT_EQ(isa.thresholdDac(1), 0x7D);
    EXPECT_EQ(isa.thresholdDac(0), -1);
    EXPECT_EQ(isa.controlRegister(), 0x12);

    auto feed = [&](uint32_t base, std::vector<uint8_t> bytes) {
        sys.outByte(base + 0x402, 0x80);  // EPP mode
        for (uint8_t v : bytes) sys.outByte(base + 4, v);
        sys.inByte(base + 4);  // the board completes a frame when the host turns to reading
    };
    feed(0x378, {0x5A, 0x0F, 0x22, 0x81, 0x40, 0x00, 0x5A, 0x0F, 0x22, 0x40, 0x09, 0x00});
    EXPECT_EQ(sys.board("lpt0")->thresholdDac(2), 0x40);
    EXPECT_EQ(sys.board("lpt0")->controlRegister(), 9);
    feed(0x278, {0x5A, 0x0F, 0x77, 0x08, 0x03, 0x99, 0x5A, 0x0F, 0x22, 0x82, 0x11, 0x00});
    EXPECT_EQ(sys.board("lpt1")->thresholdDac(3), 0x99);
    EXPECT_EQ(sys.board("lpt1")->thresholdDac(0), -1);  // a family-1 frame means nothing to it
    EXPECT_EQ(sys.board("lpt1")->frames().size(), 2u);
}

}  // namespace
}  // namespace kv

namespace kv {
namespace {

// Byte frames over an EPP 1.7 port as the host's handshake delivers them: outputs enabled
// (control 0x04) for every write, lines turned to input (0x24) to read.
class Epp17Wire {
public:
    explicit Epp17Wire(VirtualSystem& sys) : sys_(sys) { sys_.outByte(0x378 + 0x402, 0x80); }  // EPP mode
    void data(std::initializer_list<uint8_t> bytes) {
        for (uint8_t b : bytes) {
            sys_.outByte(0x37A, 0x04);
            sys_.outByte(0x37C, b);
        }
    }
    void address(uint8_t b) {
        sys_.outByte(0x37A, 0x04);
        sys_.outByte(0x37B, b);
    }
    std::vector<uint8_t> read(int n) {
        std::vector<uint8_t> out;
        for (int i = 0; i < n; ++i) {
            sys_.outByte(0x37A, 0x24);
            out.push_back(sys_.inByte(0x37C));
        }
        return out;
    }

private:
    VirtualSystem& sys_;
};

using Bytes = std::vector<uint8_t>;

TEST(VirtualBoardLogic, AnAnswerNotReadBeforeTheNextFrameOrAResetIsGone) {
    VirtualSystem sys;
    ASSERT_TRUE(sys.addFromConfig("lpt0=epp17:1132:1:second=0102:third=0304"));
    Epp17Wire wire(sys);
    // Read at once, the identity answer comes whole.
    wire.data({0x5A, 0x0F, 0x22, 0x08});
    EXPECT_EQ(wire.read(6), (Bytes{0x11, 0x32, 0x01, 0x02, 0x03, 0x04}));
    // The host asks, then asks another family's question before reading: the family-1 board has
    // no answer to that one, and the earlier answer must not pass for it.
    wire.data({0x5A, 0x0F, 0x22, 0x08});
    wire.data({0x5A, 0x0F, 0x77, 0x04});
    EXPECT_EQ(wire.read(9), Bytes(9, 0xFF));
    // The same when a reset comes in between.
    wire.data({0x5A, 0x0F, 0x22, 0x08});
    for (uint8_t b : {0xA5, 0xF2, 0xF6, 0xF0, 0xA7, 0xAB}) wire.address(b);
    EXPECT_EQ(wire.read(6), Bytes(6, 0xFF));
    // A half-read answer is gone too once a new frame starts.
    wire.data({0x5A, 0x0F, 0x22, 0x08});
    EXPECT_EQ(wire.read(2), (Bytes{0x11, 0x32}));
    wire.data({0x5A, 0x0F, 0x22, 0x40, 0x09, 0x00});
    EXPECT_EQ(wire.read(4), Bytes(4, 0xFF));
    EXPECT_EQ(sys.board("lpt0")->controlRegister(), 9);
}

TEST(VirtualBoardLogic, IsaResetClearsTheIdentityWord) {
    VirtualSystem sys;
    ASSERT_TRUE(sys.addFromConfig("isa1=1064"));
    sys.outWord(0x26C, 0x8400);
    EXPECT_EQ(sys.inWord(0x26E), 0x1064);
    sys.outWord(0x26C, 0x3C00);
    sys.outWord(0x26C, 0xBC00);
    EXPECT_EQ(sys.inWord(0x26E), 0xFFFF);
}

TEST(VirtualBoardLogic, AddressRegisterFramesAndTheCaptureAddressOfEachFamily) {
    VirtualSystem sys;
    ASSERT_TRUE(sys.addFromConfig("lpt0=epp17:2132:3;lpt1=epp19:1132:1;isa0=1164"));
    VirtualBoard& f3 = *sys.board("lpt0");
    EXPECT_EQ(f3.captureAddress(), -1);
    Epp17Wire wire(sys);
    // Family 3: register 2 holds bits 24-31, register 4 bits 8-23, the command the low byte.
    wire.data({0x5A, 0x0F, 0x33, 0x02, 0x12, 0x00, 0x5A, 0x0F, 0x33, 0x04, 0x34, 0x56});
    // "33 04" loads register 4; it is not the family's identity command 04.
    EXPECT_EQ(wire.read(1), Bytes{0xFF});
    EXPECT_EQ(f3.addressRegister(2), 0x0012);
    EXPECT_EQ(f3.addressRegister(4), 0x5634);
    wire.data({0x5A, 0x0F, 0x77, 0x06, 0x78});
    wire.data({0x5A, 0x0F, 0x33, 0x02, 0x00, 0x00, 0x5A, 0x0F, 0x33, 0x04, 0x00, 0x00});
    wire.read(1);
    EXPECT_EQ(f3.captureAddress(), 0x12563478);
    EXPECT_EQ(f3.addressRegister(4), 0);  // restored afterwards; the address stays taken

    // Family 1: one command with the high and low byte.
    sys.outByte(0x278 + 0x402, 0x80);
    for (uint8_t b : {0x5A, 0x0F, 0x22, 0x10, 0x3F, 0xFE, 0x00}) sys.outByte(0x27C, b);
    sys.inByte(0x27C);
    EXPECT_EQ(sys.board("lpt1")->captureAddress(), 0x3FFE);

    // ISA: 0xC000 + the address.
    sys.outWord(0x268, 0xC000 + 0x3FFF);
    EXPECT_EQ(sys.board("isa0")->captureAddress(), 0x3FFF);
    EXPECT_EQ(sys.board("isa0")->controlRegister(), -1);
}

TEST(VirtualSystemTest, UsbFilesCarryDistinctNonZeroHandleValues) {
    VirtualSystem sys;
    ASSERT_TRUE(sys.addFromConfig("usb0=2136;usb1=pocket:2216;pci0=pci:2032"));
    auto a = sys.open("\\\\.\\usbscan0", kOpenOverlapped);
    auto b = sys.open("\\\\.\\usbscan1", kOpenOverlapped);
    auto again = sys.open("\\\\.\\usbscan0", kOpenOverlapped);
    ASSERT_TRUE(a && b && again);
    EXPECT_NE(a->handleValue(), 0u);
    EXPECT_EQ(a->handleValue() % 4, 0u);
    EXPECT_NE(a->handleValue(), b->handleValue());
    EXPECT_NE(a->handleValue(), again->handleValue());  // a second open is another handle
    EXPECT_EQ(sys.open("\\\\.\\OmbixPCI", 0)->handleValue(), 0u);
}

TEST(VirtualConfig, PlusBoardsCarryTheShortNameUnlessAnotherIsGiven) {
    std::vector<VirtualBoardConfig> boards;
    ASSERT_TRUE(parseVirtualConfig(std::string("usb0=pocket:2216:6;usb1=pocket:2416:6:eeprom=") + kVirtualPlusLongName,
                                   boards, nullptr));
    EXPECT_EQ(boards[0].eepromName, kVirtualPlusShortName);
    EXPECT_EQ(boards[1].eepromName, kVirtualPlusLongName);
}

}  // namespace
}  // namespace kv
