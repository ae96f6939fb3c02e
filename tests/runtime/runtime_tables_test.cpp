// Tables and records of the runtime: slot and mode records byte for byte, the mode table, names,
// accepted codes, capabilities, threshold conversion and the FPGA image stream.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <set>
#include <string>

#include "runtime/board_caps.h"
#include "runtime/board_names.h"
#include "runtime/fpga_image.h"
#include "runtime/le_bytes.h"
#include "runtime/mode_table.h"
#include "runtime/slot_record.h"
#include "runtime/trigger_call.h"

namespace kv {
namespace {

TEST(SlotRecord, EncodesFieldByFieldLittleEndian) {
    KvDeviceSlot s;
    s.kind = 0x101;
    s.interfaceCode = 16;
    s.family = 7;
    s.subIndex = 3;
    s.productCode = 0x2136;
    s.channels = 36;
    s.depth = 520000;
    s.slotIndex = 3;
    s.captureLength = -2;
    uint8_t b[kSlotRecordBytes];
    encodeSlot(s, b);
    const uint8_t golden[kSlotRecordBytes] = {
        0x01, 0x01, 0, 0, 16, 0, 0, 0, 7, 0, 0, 0, 3, 0, 0, 0,            // kind, interface, family, sub-index
        0x36, 0x21, 0, 0, 36, 0, 0, 0, 0x40, 0xEF, 0x07, 0, 0, 0, 0, 0,   // code, channels, depth, delay
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                   // words/sample, unit, bits, reserved
        0, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 3, 0, 0, 0, 0, 0, 0, 0,       // open, length, index, reserved
    };
    EXPECT_EQ(0, std::memcmp(b, golden, sizeof b));
    EXPECT_TRUE(decodeSlot(b) == s);
}

TEST(TriggerSpec, CallFormCarriesWordsLittleEndianAndTheCallersBuffersStoredFormZeroesThem) {
    const uint8_t counts[8] = {2, 0, 0, 0, 0, 0, 0, 0};
    const uint8_t pattern[128] = {};
    KvTriggerSpec s;
    for (int i = 0; i < kTriggerDataWords; ++i) s.field[i] = 0x01020304u * (i + 1);
    s.field[5] = static_cast<uint32_t>(-1);
    s.counts = counts;
    s.pattern = pattern;
    uint8_t call[kTriggerCallBytes];
    writeTriggerCall(s, call);
    EXPECT_EQ(kTriggerCallBytes, sizeof(void*) == 4 ? 64u : 72u);
    EXPECT_EQ(call[0], 0x04);
    EXPECT_EQ(call[3], 0x01);
    EXPECT_EQ(getLe32(call + 20), 0xFFFFFFFFu);
    const KvTriggerSpec back = readTriggerCall(call);
    EXPECT_EQ(0, std::memcmp(back.field, s.field, sizeof s.field));
    EXPECT_EQ(back.counts, counts);
    EXPECT_EQ(back.pattern, pattern);

    uint8_t stored[kTriggerStoredBytes];
    std::memset(stored, 0xCC, sizeof stored);
    writeTriggerStored(s.field, stored);
    EXPECT_EQ(0, std::memcmp(stored, call, 4 * kTriggerDataWords));
    for (int i = 4 * kTriggerDataWords; i < kTriggerStoredBytes; ++i) EXPECT_EQ(stored[i], 0) << i;
    uint32_t fields[kTriggerDataWords];
    readTriggerStored(stored, fields);
    EXPECT_EQ(0, std::memcmp(fields, s.field, sizeof fields));
}

TEST(SlotRecord, ProbeRangesCoverTheFirst140SlotsInKindOrder) {
    int next = 0;
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(kProbeRanges[k].kind, k);
        EXPECT_EQ(kProbeRanges[k].firstSlot, next);
        next += kProbeRanges[k].count;
    }
    EXPECT_EQ(next, kSlotsUsed);
    EXPECT_EQ(probeKindOf(kIfUsbPocket), kProbeUsb);
    EXPECT_EQ(probeKindOf(kIfEpp17At278), kProbeParallel);
    EXPECT_EQ(probeKindOf(kIfIsa36C), kProbeIsa);
    EXPECT_EQ(probeKindOf(13), -1);
}

TEST(ModeTable, IdsAreTheImageIdsAndEachAppearsOnce) {
    const std::set<int> imageIds = {4001, 4002, 4003, 4004, 4005, 4043, 4045, 4046, 4047, 4049, 4050, 4051,
                                    4056, 4057, 4058, 4059, 4060, 4061, 4062, 4064, 4065, 4067, 4068, 4069,
                                    4070, 4071, 4072, 4073, 4074, 4075, 4076, 4077, 4078, 4079, 4080};
    std::set<int> seen;
    for (const KvModeInfo& m : kModeTable) {
        EXPECT_TRUE(seen.insert(m.modeId).second) << m.modeId;
        EXPECT_LT(std::strlen(m.description), static_cast<size_t>(kModeTextBytes));
        EXPECT_TRUE(m.group == 1 || m.group == 2 || m.group == 4 || m.group == 7) << m.modeId;
        std::vector<uint8_t> image;
        EXPECT_TRUE(embeddedFpgaImage(m.modeId, image)) << m.modeId;
    }
    EXPECT_EQ(seen, imageIds);
}

TEST(ModeTable, FeatureBitsMatchTheDescriptions) {
    for (const KvModeInfo& m : kModeTable) {
        const std::string d = m.description;
        EXPECT_EQ((m.features & kModeFeatureUart) != 0, d.rfind("UART", 0) == 0) << d;
        EXPECT_EQ((m.features & kModeFeatureI2c) != 0, d.rfind("I2C ", 0) == 0) << d;
        EXPECT_EQ((m.features & kModeFeatureSpi) != 0, d.rfind("SPI", 0) == 0) << d;
        EXPECT_EQ((m.features & kModeFeatureI2s) != 0, d.rfind("I2S", 0) == 0) << d;
        EXPECT_EQ((m.features & kModeFeatureExtClock) != 0, d.find("FREQ = EXT") != std::string::npos) << d;
        EXPECT_EQ((m.features & kModeFeatureGlitch) != 0, d.find("Glitch") != std::string::npos) << d;
        EXPECT_EQ((m.features & kModeFeatureTimeStamp) != 0, d.find("Time Stamp") != std::string::npos) << d;
        EXPECT_EQ((m.features & kModeFeatureLogger) != 0, d == "Digital Data Logger") << d;
        EXPECT_EQ(m.triggerBlock == 16, m.triggerBlock2 == 4) << d;
    }
}

TEST(ModeTable, RecordOfTheUartModeByteForByte) {
    uint8_t b[kModeRecordBytes];
    std::memset(b, 0xCC, sizeof b);
    encodeModeInfo(kModeTable[6], b);
    EXPECT_EQ(getLe32(b + 0), 4u);
    EXPECT_EQ(getLe32(b + 4), 0u);
    EXPECT_EQ(getLe32(b + 8), 4057u);
    EXPECT_EQ(getLe32(b + 12), 0u);
    EXPECT_EQ(getLe64(b + 16), 200000000ull);
    EXPECT_STREQ(reinterpret_cast<const char*>(b + 24), "UART(RS232) H/W Trigger");
    for (int i = 24 + 23; i < 152; ++i) ASSERT_EQ(b[i], 0) << i;  // the text is padded with NULs
    const uint32_t tail[] = {0x20023, 36, 0x200000, 2048000, 1, 1023, 0xFFFFF, 16, 4, 1};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(getLe32(b + 152 + 4 * i), tail[i]) << 152 + 4 * i;
    // A description with double blanks is kept exactly.
    encodeModeInfo(kModeTable[1], b);
    EXPECT_STREQ(reinterpret_cast<const char*>(b + 24), "FREQ <= 400MHz, CH = 18, MEM <=  4M, TR RES = 5ns");
    EXPECT_EQ(getLe64(b + 16), 400000000ull);
}

TEST(ModeTable, EquivalentModesPerVariant) {
    // The 4 GHz common mode is its own equivalent everywhere.
    for (int v : {0, 1, 2, 4}) EXPECT_EQ(equivalentModePosition(4005, v), 5);
    // The 200 MHz mode of board 0x2236 maps to each board's own 200 MHz mode.
    EXPECT_EQ(kModeTable[equivalentModePosition(4043, 1)].modeId, 4056);
    EXPECT_EQ(kModeTable[equivalentModePosition(4043, 2)].modeId, 4062);
    EXPECT_EQ(kModeTable[equivalentModePosition(4043, 4)].modeId, 4043);
    // Every equivalent of a variant's mode belongs to that variant or to the common group.
    for (int v : {1, 2, 4})
        for (const KvModeInfo& m : kModeTable) {
            const KvModeInfo& e = kModeTable[equivalentModePosition(m.modeId, v)];
            EXPECT_TRUE(e.group == v || e.group == 7) << m.modeId << " variant " << v;
        }
    EXPECT_EQ(equivalentModePosition(4044, 1), -1);
}

TEST(ModeTable, SingleDeviceModeNumbers) {
    UkvModeChoice c = ukvModeChoice(300, 2);
    EXPECT_TRUE(c.known);
    EXPECT_EQ(c.modeId, 4065);
    EXPECT_EQ(c.sampleGroup, 8u);
    c = ukvModeChoice(506, 1);
    EXPECT_EQ(c.modeId, 4056);
    EXPECT_EQ(c.sampleGroup, 256u);
    c = ukvModeChoice(2, 4);
    EXPECT_EQ(c.modeId, 4049);
    EXPECT_EQ(c.sampleGroup, 8u);
    c = ukvModeChoice(200, 0);  // a board without a variant bit only gets the word
    EXPECT_TRUE(c.known);
    EXPECT_EQ(c.modeId, -1);
    EXPECT_EQ(c.sampleGroup, 64u);
    c = ukvModeChoice(102, 4);
    EXPECT_TRUE(c.known);
    EXPECT_TRUE(c.doesNothing);
    EXPECT_FALSE(ukvModeChoice(4, 4).known);
    EXPECT_FALSE(ukvModeChoice(508, 4).known);
}

TEST(BoardNames, InterfaceNames) {
    EXPECT_EQ(interfaceName(kIfPci, 2), "PCI PnP Card - Slot 2");
    EXPECT_EQ(interfaceName(kIfUsb20, 17), "USB 2.0 - Slot 17");
    EXPECT_EQ(interfaceName(kIfUsbPocket, 0), "USB - Slot 0");
    EXPECT_EQ(interfaceName(kIfUsb2Epp, 5), "USB2EPP - Slot 5");
    EXPECT_EQ(interfaceName(kIfIsa26C, 1), "ISA Port 26Ch");
    EXPECT_EQ(interfaceName(kIfBidiAt278, 1), "LPT Bi-Di Port 278h");
    EXPECT_EQ(interfaceName(kIfEpp17At378, 0), "EPP 1.7 Port 378h");
    EXPECT_EQ(interfaceName(13, 0), "");
    EXPECT_EQ(interfaceName(0, 0), "");
}

TEST(BoardNames, ModelNames) {
    EXPECT_EQ(modelName(kIfUsbPocket, 2, 0x1216), "PQKV1216");
    EXPECT_EQ(modelName(kIfUsbPocket, 2, 0x216), "PQKV 216");
    EXPECT_EQ(modelName(kIfIsa268, 0, 0x1064), "KV1064");
    EXPECT_EQ(modelName(kIfUsb20, 3, 0x1132), "KV1132P");
    EXPECT_EQ(modelName(kIfUsb20, 7, 0x2136), "KV2136P");
    // Three revisions of one board share a name; the pocket codes have one name per revision.
    EXPECT_EQ(modelName(kIfUsb20, 3, 0x2132), modelName(kIfPci, 3, 0x2332));
    EXPECT_EQ(modelName(kIfUsb20, 3, 0x2232), modelName(kIfUsb20, 1, 0x2132));
    EXPECT_EQ(modelName(kIfUsb20, 3, 0x2164), modelName(kIfUsb20, 3, 0x2364));
    EXPECT_NE(modelName(kIfUsb20, 3, 0x2132), modelName(kIfUsb20, 3, 0x2164));
    std::set<std::string> pocket;
    for (int code : {0x2116, 0x2216, 0x2416})
        for (int family : {2, 5, 6}) pocket.insert(modelName(kIfUsbPocket, family, code));
    EXPECT_EQ(pocket.size(), 9u);
    std::set<std::string> fixed;
    for (int code : {0x2031, 0x2032, 0x2064, 0x2132, 0x2164}) fixed.insert(modelName(kIfUsb2Epp, 1, code));
    EXPECT_EQ(fixed.size(), 5u);
}

TEST(BoardNames, PlusRevisionFromTheEepromName) {
    auto block = [](const std::string& name, int length) {
        std::vector<unsigned char> b(32, 0xFF);
        b[0] = static_cast<unsigned char>(length);
        std::memcpy(b.data() + 1, name.data(), std::min<size_t>(name.size(), 31));
        return b;
    };
    const std::string longName = kPlusLongProductName, shortName = kPlusShortProductName;
    auto b = block(longName, static_cast<int>(longName.size()));
    EXPECT_TRUE(eepromNamesPlusRevision(b.data(), 32));
    b = block(shortName, static_cast<int>(shortName.size()));
    EXPECT_TRUE(eepromNamesPlusRevision(b.data(), 32));
    // A prefix of the name, a zero length and a blank EEPROM (length byte 0xFF) are not the name.
    b = block(shortName, 4);
    EXPECT_FALSE(eepromNamesPlusRevision(b.data(), 32));
    b = block(shortName, 0);
    EXPECT_FALSE(eepromNamesPlusRevision(b.data(), 32));
    std::vector<unsigned char> blank(32, 0xFF);
    EXPECT_FALSE(eepromNamesPlusRevision(blank.data(), 32));
    b = block("PQKV Standard", 13);
    EXPECT_FALSE(eepromNamesPlusRevision(b.data(), 32));
}

TEST(ProductCodes, AcceptedPerInterface) {
    for (int c : {0x1032, 0x1064, 0x1132, 0x1164}) EXPECT_TRUE(productCodeAccepted(kIfIsa368, c)) << c;
    EXPECT_FALSE(productCodeAccepted(kIfIsa368, 0x2032));
    EXPECT_FALSE(productCodeAccepted(kIfIsa368, 0x1016));
    // Pocket boards: the listed codes with or without bit 15, and the whole 0x2016 class.
    for (int c : {0x1016, 0x9116, 0x1216, 0x1516, 0x1616, 0x2016, 0x2116, 0x2216, 0x2416, 0xA416})
        EXPECT_TRUE(productCodeAccepted(kIfUsbPocket, c)) << std::hex << c;
    for (int c : {0x1316, 0x1032, 0x2017, 0x2036}) EXPECT_FALSE(productCodeAccepted(kIfUsbPocket, c)) << std::hex << c;
    for (int c : {0x1032, 0x1132, 0x1164, 0x2031, 0x2036, 0x2364}) {
        EXPECT_TRUE(productCodeAccepted(kIfUsb20, c)) << std::hex << c;
        EXPECT_TRUE(productCodeAccepted(kIfPci, c)) << std::hex << c;
        EXPECT_TRUE(productCodeAccepted(kIfEpp19At378, c)) << std::hex << c;
    }
    for (int c : {0x1064, 0x2016, 0x2464, 0x0000, 0xFFFF}) EXPECT_FALSE(productCodeAccepted(kIfUsb2Epp, c)) << std::hex << c;
}

TEST(ProductCodes, Folding) {
    EXPECT_EQ(foldedProductCode(0x2031), 0x2032);
    for (int c : {0x2132, 0x2232, 0x2332}) EXPECT_EQ(foldedProductCode(c), 0x2132);
    for (int c : {0x2164, 0x2264, 0x2364}) EXPECT_EQ(foldedProductCode(c), 0x2164);
    EXPECT_EQ(foldedProductCode(0x2036), 0x2036);
}

TEST(Capabilities, PerBoard) {
    BoardCaps c = boardCapabilities(kIfUsb20, kFamilyNanlyn, 0x2036);
    EXPECT_EQ(c.nanlynVariant, 1);
    EXPECT_EQ(c.depth, 25000);
    EXPECT_EQ(c.captureLength, 4000);
    EXPECT_EQ(c.channels, 36);
    EXPECT_FALSE(c.is512K);
    c = boardCapabilities(kIfUsb20, kFamilyNanlyn, 0x2236);
    EXPECT_EQ(c.nanlynVariant, 4);
    EXPECT_EQ(c.depth, 2100000);
    EXPECT_EQ(c.captureLength, 60000);

    c = boardCapabilities(kIfIsa26C, kFamilyIsa, 0x1164);
    EXPECT_TRUE(c.is4K);
    EXPECT_EQ(c.channels, 64);
    EXPECT_EQ(c.depth, 0x4000);
    EXPECT_EQ(c.wordsPerSample, 4);
    EXPECT_EQ(c.patternUnit, 2);
    EXPECT_EQ(c.wrapBit, 0x8000u);

    c = boardCapabilities(kIfUsbPocket, kFamilyPocketPlus, 0x2216);
    EXPECT_TRUE(c.isPocket);
    EXPECT_EQ(c.channels, 16);
    EXPECT_EQ(c.depth, 0x20000);
    EXPECT_EQ(c.readyMask, 0x20000u);
    EXPECT_EQ(c.captureLength, 0x20000);
    EXPECT_EQ(c.thresholdOffset, 27);
    EXPECT_FALSE(c.is512K);  // low byte 0x16 is not above 0x16
    EXPECT_EQ(boardCapabilities(kIfUsbPocket, kFamilyPocket, 0x2216).thresholdOffset, 60);
    EXPECT_EQ(boardCapabilities(kIfUsbPocket, kFamilyPocket, 0x1516).depth, 0x100000);
    EXPECT_EQ(boardCapabilities(kIfUsbPocket, kFamilyPocket, 0x1516).thresholdOffset, -170);
    EXPECT_EQ(boardCapabilities(kIfUsbPocket, kFamilyPocket, 0x2416).depth, 0x80000);
    EXPECT_EQ(boardCapabilities(kIfUsbPocket, kFamilyPocket, 0x1016).depth, 0x10000);

    c = boardCapabilities(kIfUsb2Epp, kFamily1, 0x1132);
    EXPECT_EQ(c.channels, 32);
    EXPECT_EQ(c.depth, 0x4000);
    EXPECT_EQ(c.triggerDelay, 3);
    EXPECT_FALSE(c.is4K);

    c = boardCapabilities(kIfPci, kFamily3, 0x2364);
    EXPECT_EQ(c.depth, 0x100000);
    EXPECT_EQ(c.readyMask, 0x20000000u);
    EXPECT_EQ(c.wrapBit, 0x800000u);
    EXPECT_TRUE(c.is512K);
    EXPECT_EQ(boardCapabilities(kIfPci, kFamily3, 0x2264).depth, 0x40000);
    EXPECT_EQ(boardCapabilities(kIfPci, kFamily3, 0x1164).depth, 0x10000);
    EXPECT_FALSE(boardCapabilities(kIfPci, kFamily3, 0x1164).is512K);
    EXPECT_EQ(boardCapabilities(kIfPci, kFamily3, 0x1164).thresholdOffset, 0);
}

TEST(Thresholds, VoltageToDac) {
    EXPECT_EQ(thresholdDac(false, 0, 0, 0), 125);          // 6880 / 55 = 125 remainder 5
    EXPECT_EQ(thresholdDac(true, 0, 0, 0), 131);
    EXPECT_EQ(thresholdDac(true, 1, 7000, 0), 20);         // clamped to 6000 mV
    EXPECT_EQ(thresholdDac(true, 1, 6000, 0), 20);
    EXPECT_EQ(thresholdDac(true, 0, -7000, 0), thresholdDac(true, 0, -6000, 0));
    EXPECT_EQ(thresholdDac(false, 0, 32, 0), 125);         // 6848 = 124 * 55 + 28 rounds up
    EXPECT_EQ(thresholdDac(false, 0, 33, 0), 124);         // 6847 = 124 * 55 + 27 does not
    EXPECT_EQ(thresholdDac(false, 2, 0, 60), 126);         // the board offset counts before rounding
    EXPECT_EQ(thresholdDac(false, 0, 2860 - 10060, 0), 255);  // 14080 / 55 = 256, clamped
    EXPECT_EQ(thresholdDac(false, 0, 2860 - 10061, 0), -1);
    EXPECT_EQ(thresholdDac(false, 0, 2860 + 4021, 0), -1);
    EXPECT_EQ(thresholdDac(false, 0, 2860 + 4020, -170), 0);  // below zero, clamped
    EXPECT_EQ(thresholdDac(false, 4, 0, 0), -1);
    EXPECT_EQ(thresholdDac(false, -1, 0, 0), -1);
    EXPECT_EQ(thresholdDac(false, 0, INT32_MIN, 0), -1);  // no overflow on extreme input
    EXPECT_EQ(thresholdDac(false, 0, INT32_MAX, 0), -1);
    EXPECT_EQ(thresholdDac(true, 0, INT32_MIN, 0), thresholdDac(true, 0, -6000, 0));
}

TEST(FpgaImage, HeaderAndStream) {
    std::vector<uint8_t> image = {0x34, 0x12, 0x02, 0x00, 0x81, 0x00};
    FpgaImageHeader h;
    ASSERT_TRUE(readFpgaHeader(image, h));
    EXPECT_EQ(h.word0, 0x1234);
    EXPECT_EQ(h.word1, 0x0002);
    const std::vector<uint8_t> s = expandFpgaStream(image);
    ASSERT_EQ(s.size(), 64u);
    // 0x81: bit 0 first, so the first and the eighth bit are 1.
    const uint16_t first[] = {1, 3, 0, 2, 0, 2, 0, 2, 0, 2, 0, 2, 0, 2, 1, 3};
    for (int i = 0; i < 16; ++i) EXPECT_EQ(getLe16(&s[2 * i]), first[i]) << i;
    for (int i = 16; i < 32; ++i) EXPECT_EQ(getLe16(&s[2 * i]), i % 2 ? 2 : 0) << i;
    EXPECT_FALSE(readFpgaHeader({1, 2, 3}, h));
    EXPECT_TRUE(expandFpgaStream({1, 2, 3, 4}).empty());
}

TEST(FpgaImage, EmbeddedImagesCarryTheirIdInTheHeader) {
    std::vector<uint8_t> a, b;
    ASSERT_TRUE(embeddedFpgaImage(4001, a));
    ASSERT_TRUE(embeddedFpgaImage(4080, b));
    FpgaImageHeader h;
    ASSERT_TRUE(readFpgaHeader(a, h));
    EXPECT_EQ(h.word0, 4001);
    EXPECT_EQ(h.word1 + 4u, a.size());
    EXPECT_NE(a, b);
    EXPECT_FALSE(embeddedFpgaImage(4044, a));
}

}  // namespace
}  // namespace kv
