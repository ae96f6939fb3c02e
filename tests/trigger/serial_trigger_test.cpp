// The serial-protocol and glitch trigger editors' rules: row syntax, compilation into the Nanlyn
// masks, the parameter heads and the refusals.
#include "viewer/trigger/serial_trigger.h"

#include <gtest/gtest.h>

#include "runtime/le_bytes.h"

namespace kv {
namespace {

TriggerDevice nanlyn() {
    TriggerDevice d;
    d.productCode = 0x2136;
    d.nanlyn = true;
    d.channelCount = 36;
    return d;
}

TriggerRecord fresh(int mode) {
    TriggerRecord r;
    resetTriggerRecord(r, mode, nanlyn());
    return r;
}

// Slot s of condition c in a mask area starting at `masks`.
const uint8_t* valueMask(const TriggerRecord& r, size_t masks, int c, int s) { return &r.data[masks + 6 * (16 * c + s)]; }
const uint8_t* careMask(const TriggerRecord& r, size_t masks, int c, int s) { return &r.data[masks + 384 + 6 * (16 * c + s)]; }
uint32_t linkWord(const TriggerRecord& r, size_t masks, int c) { return getLe32(&r.data[masks + 768 + 4 * c]); }

TEST(SerialRows, TokensKindsModuloAndCanonicalText) {
    auto v = parseSerialRow("41h 'B' \"CD\"\t300 7fH 'A' '' x", 8);
    ASSERT_EQ(v.size(), 9u);
    const uint32_t values[9] = {0x41, 'B', 'C', 'D', 300 % 256, 0x7F, 'A', 0, 0};
    const uint8_t kinds[9] = {kSerialHex,  kSerialCharacter, kSerialString,  kSerialString, kSerialDecimal,
                              kSerialHex,  kSerialCharacter, kSerialDecimal, kSerialDecimal};
    for (size_t i = 0; i < 9; ++i) {
        EXPECT_EQ(v[i].value, values[i]) << i;
        EXPECT_EQ(v[i].kind, kinds[i]) << i;
    }
    // '' is too short for a character: a number that reads as 0, like "x".
    EXPECT_EQ(canonicalSerialRow(v, false), "41h 'B' \"CD\" 44 7Fh 'A' 0 0 ");
    EXPECT_EQ(canonicalSerialRow(parseSerialRow("5h 1234h", 16), true), "5h 1234h ");
    EXPECT_EQ(parseSerialRow("12345h", 16)[0].value, 0x2345u);
    // At most 16 values a row; a string is cut there too.
    EXPECT_EQ(parseSerialRow("1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 \"ABC\"", 8).size(), 16u);
}

TEST(SerialRows, CheckCountsEnabledIfAndThenTogether) {
    SerialRows rows;
    rows.text[0] = "1 2 3 4 5 6 7 8 9 10";
    rows.text[4] = "1 2 3 4 5 6 7";
    rows.checked[0] = rows.checked[4] = true;
    SerialRowValues out;
    EXPECT_EQ(checkSerialRows(rows, SerialProtocol::Uart, 8, out), kStrSerialTooLong);
    rows.checked[4] = false;   // THEN off: ten values are fine
    EXPECT_EQ(checkSerialRows(rows, SerialProtocol::Uart, 8, out), 0);
    EXPECT_EQ(out.enableBits, 1u << 8);
    // A THEN box counts only under a checked IF box.
    rows.checked[0] = false;
    rows.checked[4] = true;
    EXPECT_EQ(checkSerialRows(rows, SerialProtocol::Uart, 8, out), 0);
    EXPECT_EQ(out.enableBits, 0u);
    rows.text[1] = "'A'";
    checkSerialRows(rows, SerialProtocol::Uart, 8, out);
    EXPECT_EQ(rows.text[1], "'A' ");
    EXPECT_EQ(out.values[1][0].value, 65u);
    EXPECT_EQ(out.values[1][0].kind, kSerialCharacter);
}

TEST(UartTrigger, CompilesBitReversedCharactersWithTheDataBitsCared) {
    TriggerRecord r = fresh(kModeSerial);
    EXPECT_EQ(readUart(r).baud, 9600u);
    EXPECT_EQ(readUart(r).options, 2u);
    UartEdit e;
    e.channel = 3;
    e.baud = "115200";
    e.dataBits = 7;
    e.parity = 2;
    e.twoStopBits = true;
    e.preTrigger = true;
    e.rows.text[0] = "41h 'B' \"CD\"";
    e.rows.checked[0] = true;
    ASSERT_EQ(applyUartEdit(e, r), 0);
    const uint8_t expected[4] = {0x82, 0x42, 0xC2, 0x22};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(valueMask(r, 224, 0, 12 + i)[0], expected[i]) << i;
        EXPECT_EQ(careMask(r, 224, 0, 12 + i)[0], 0xFE) << i;
    }
    EXPECT_EQ(careMask(r, 224, 0, 11)[0], 0);
    EXPECT_EQ(linkWord(r, 224, 0), 0x3Fu << 24 | 2u << 30);   // 3, 3, 3, 2 in slots 12-15
    EXPECT_EQ(r.frequency(), 1843200u);
    const UartSettings s = readUart(r);
    EXPECT_EQ(s.channel, 3u);
    EXPECT_EQ(s.baud, 115200u);
    EXPECT_EQ(s.dataBits, 7u);
    EXPECT_EQ(s.parity, 2u);
    EXPECT_EQ(s.stopBits, 2u);
    EXPECT_EQ(s.options, (1u << 8) | 2u);
    EXPECT_EQ(getLe32(&r.data[0]), 1u);
    EXPECT_EQ(r.mode, static_cast<uint32_t>(kModeSerial));
    EXPECT_EQ(r.levelCount, 1u);
    EXPECT_TRUE(r.flags & kTriggerFlagPreTrigger);
    // The rows come back as they were stored.
    const SerialRows back = storedSerialRows(r, SerialProtocol::Uart);
    EXPECT_EQ(back.text[0], "41h 'B' \"CD\" ");
    EXPECT_TRUE(back.checked[0]);
    EXPECT_FALSE(back.checked[4]);

    // Without automatic detection the idle level follows the second button; a baud rate the board
    // cannot divide by, or rows too long, leave the record as it was.
    e.autoDetect = false;
    e.invertedIdle = true;
    ASSERT_EQ(applyUartEdit(e, r), 0);
    EXPECT_EQ(readUart(r).options, (1u << 8) | 1u);
    const TriggerRecord before = r;
    for (const char* bad : {"0", "", "20000001", "abc"}) {
        e.baud = bad;
        EXPECT_EQ(applyUartEdit(e, r), kStrSerialSettingError) << bad;
    }
    e.baud = "9600";
    e.rows.text[4] = "1 2 3 4 5 6 7 8 9 10 11 12 13";
    e.rows.checked[4] = true;
    EXPECT_EQ(applyUartEdit(e, r), kStrSerialTooLong);
    EXPECT_TRUE(r == before);
}

TEST(I2cAndSpiTriggers, ChannelRangesAndWordLayouts) {
    TriggerRecord r = fresh(kModeI2c);
    I2cEdit i2c;
    i2c.rows.text[0] = "A0h";
    i2c.rows.text[4] = "3Ch";
    i2c.rows.checked[0] = i2c.rows.checked[4] = true;
    i2c.sck = 35;
    EXPECT_EQ(applyI2cEdit(i2c, r), kStrSckRange34);
    i2c.sck = 34;   // SDA on 35
    ASSERT_EQ(applyI2cEdit(i2c, r), 0);
    EXPECT_EQ(readI2c(r).sck, 34u);
    EXPECT_EQ(valueMask(r, 208, 0, 14)[0], 0xA0);   // as is, most significant bit first
    EXPECT_EQ(valueMask(r, 208, 0, 15)[0], 0x3C);
    EXPECT_EQ(careMask(r, 208, 0, 15)[0], 0xFF);
    EXPECT_EQ(linkWord(r, 208, 0), 3u << 28 | 2u << 30);
    EXPECT_EQ(storedSerialRows(r, SerialProtocol::I2c).text[4], "3Ch ");

    r = fresh(kModeSpi);
    EXPECT_EQ(readSpi(r).width, 8u);
    SpiEdit spi;
    spi.clock = 34;
    spi.sixteenBits = true;
    spi.csHigh = spi.lsbFirst = true;
    spi.rows.text[1] = "9F01h 2";
    spi.rows.text[5] = "ABCDh";
    spi.rows.checked[1] = spi.rows.checked[5] = true;
    EXPECT_EQ(applySpiEdit(spi, r), kStrSckRange33);
    spi.clock = 33;
    ASSERT_EQ(applySpiEdit(spi, r), 0);
    const SpiSettings s = readSpi(r);
    EXPECT_EQ(s.width, 16u);
    EXPECT_EQ(s.options, (1u << 9) | (1u << 13) | 1u | 4u);
    EXPECT_EQ(getLe16(valueMask(r, 80, 1, 13)), 0x9F01);   // as entered, not reversed
    EXPECT_EQ(getLe16(careMask(r, 80, 1, 13)), 0xFFFF);
    EXPECT_EQ(getLe16(valueMask(r, 80, 1, 15)), 0xABCD);
    // Each row ends discontinuously: the IF part 3, 2, then the THEN part 2.
    EXPECT_EQ(linkWord(r, 80, 1), 3u << 26 | 2u << 28 | 2u << 30);
    EXPECT_EQ(r.data[16 + 16 + 0], kSerialHex);
    EXPECT_EQ(r.data[16 + 16 + 1], kSerialDecimal);
    // Read back for the dialog with the IF and THEN parts apart.
    const SerialRows back = storedSerialRows(r, SerialProtocol::Spi);
    EXPECT_EQ(back.text[1], "9F01h 2 ");
    EXPECT_EQ(back.text[5], "ABCDh ");
    EXPECT_TRUE(back.checked[5]);
}

TEST(I2sTrigger, WordsLeftAlignedWithChannelBitsAndGaps) {
    auto words = parseI2sWords("l12h r5 - 300  FFFFh", 8);
    ASSERT_EQ(words.size(), 5u);
    EXPECT_EQ(canonicalI2sText(words), "L12h R5 - 44 FFh");
    TriggerRecord r = fresh(kModeI2s);
    I2sEdit e;
    e.sck = 34;
    e.bits = 8;
    e.text = "l12h r5 - 300  FFFFh";
    EXPECT_EQ(applyI2sEdit(e, r), kStrSckRange33);
    e.sck = 2;
    ASSERT_EQ(applyI2sEdit(e, r), 0);
    EXPECT_EQ(getLe32(valueMask(r, 144, 0, 11)), 0x12u << 16);             // left channel: WS bit 0
    EXPECT_EQ(getLe32(careMask(r, 144, 0, 11)), 0xFFu << 16 | 1u << 24);
    EXPECT_EQ(getLe32(valueMask(r, 144, 0, 12)), 5u << 16 | 1u << 24);
    EXPECT_EQ(getLe32(careMask(r, 144, 0, 13)), 0u);                       // "-": any words
    EXPECT_EQ(getLe32(careMask(r, 144, 0, 14)), 0xFFu << 16);
    EXPECT_EQ(linkWord(r, 144, 0), 0xFBC00000u);   // slots 11-15: 3, 3, 2, 3, 3
    EXPECT_EQ(readI2s(r).text, "L12h R5 - 44 FFh");
    EXPECT_EQ(readI2s(r).sck, 2u);
    // 24-bit words fill the whole field; a stored width out of range reads as 8.
    words = parseI2sWords("123456h", 24);
    compileI2sMasks(r, words, 24);
    EXPECT_EQ(getLe32(valueMask(r, 144, 0, 15)), 0x123456u);
    putLe32(&r.data[4], 25);
    EXPECT_EQ(readI2s(r).bits, 8u);
    // Sixteen long words overflow the 127 characters kept: the text keeps whole words.
    std::string many;
    for (int i = 0; i < 16; ++i) many += "R16777215 ";
    e.bits = 24;
    e.text = many;
    ASSERT_EQ(applyI2sEdit(e, r), 0);
    EXPECT_EQ(readI2s(r).text.size(), 12u * 10 - 1);
    EXPECT_EQ(getLe32(valueMask(r, 144, 0, 0)), 0xFFFFFFu | 1u << 24);   // all sixteen compiled
}

TEST(GlitchTrigger, WidthInQuarterNanosecondsRoundTrips) {
    TriggerRecord r = fresh(kModeGlitch);
    applyGlitchWidth(r, glitchQuartersOfText("0.5"));
    EXPECT_EQ(getLe32(&r.data[468]), 1u);
    EXPECT_EQ(glitchWidthText(glitchQuarters(r)), "0.5");
    applyGlitchWidth(r, glitchQuartersOfText("8.25"));
    EXPECT_EQ(getLe32(&r.data[468]), 0xFFFFFFFFu);
    EXPECT_EQ(glitchWidthText(glitchQuarters(r)), "8.25");
    applyGlitchWidth(r, glitchQuartersOfText("3"));
    EXPECT_EQ(glitchWidthText(glitchQuarters(r)), "3");
    EXPECT_EQ(getLe32(&r.data[468]), 0x7FFu);
    // Out of range and nonsense are held at the ends; the scroll bar steps 0.25 within them.
    EXPECT_EQ(glitchQuartersOfText("1e9"), 33);
    EXPECT_EQ(glitchQuartersOfText("-4"), 2);
    EXPECT_EQ(glitchQuartersOfText("abc"), 2);
    EXPECT_EQ(glitchWidthText(stepGlitchWidth(33, 1)), "8.25");
    EXPECT_EQ(glitchWidthText(stepGlitchWidth(2, -1)), "0.5");
    EXPECT_EQ(glitchWidthText(stepGlitchWidth(6, 1)), "1.75");
}

}  // namespace
}  // namespace kv
