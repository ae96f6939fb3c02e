// The four protocol decoders and the decode pass, on generated traffic: the edge cases of detection,
// idle tails, role and polarity retries, I2C item order, I2S word lengths, SPI incomplete words, and
// reading through the SampleStore in runs (offset, inversion, block-repeat format).
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/support/bus_traffic.h"
#include "viewer/display/decoders.h"
#include "viewer/display/sample_runs.h"

using namespace kv;
using kvtest::Traffic;

namespace {

// A capture of one byte per sample, with the spare bytes a fetch of the last sample reads.
struct Capture {
    std::vector<uint8_t> bytes;
    SampleStore store;
    explicit Capture(const std::vector<uint8_t>& samples) : bytes(samples) {
        bytes.resize(samples.size() + 16, 0);
        store.attach(bytes.data(), static_cast<int32_t>(samples.size()), 8, 8, 8, kStoragePacked);
    }
};

std::vector<int32_t> dataBytes(const DecodedItems& d) {
    // Every item but the closing one.
    return std::vector<int32_t>(d.values.begin(), d.values.end() - (d.size() ? 1 : 0));
}

}  // namespace

TEST(UartDecoder, DetectsRateAndFramingAndDecodesBothPolarities) {
    const std::vector<uint8_t> text = {'H', 'e', 'l', 'l', 'o', 0x00, 0xFF, 0x55};
    // 115,200 baud at 100 MHz: 868.06 samples per bit; N-8-1 is tried first and fits.
    Traffic t(1);
    t.hold(5000);
    kvtest::uartBytes(t, 0, 100e6 / 115200, "N-8-1", text, true, 3);
    t.hold(20000);
    Capture c(t.samples());
    UartDecoder d;
    ASSERT_TRUE(d.run(kUartIdleHigh, c.store, 0, 100e6, 0));
    EXPECT_EQ(d.usedBaud(), 115200);
    EXPECT_EQ(d.usedProtocol(), 0);
    EXPECT_EQ(dataBytes(d.items), std::vector<int32_t>(text.begin(), text.end()));
    EXPECT_EQ(d.items.positions[0], 5000);          // the start bit's edge
    EXPECT_EQ(d.items.values.back(), 0);            // the closing entry
    EXPECT_GT(d.items.positions.back(), d.items.positions[d.items.size() - 2]);

    // Explicit even parity, two stop bits, 7 data bits, at RS-232 levels (idle low).
    Traffic r(0);
    r.hold(300);
    kvtest::uartBytes(r, 3, 10.0, "E-7-2", {0x41, 0x7F, 0x00}, false, 1);
    r.hold(300);
    Capture rc(r.samples());
    const uint32_t e72 = kUartExplicit | uartFramingOptions(uartProtocolIndex("E-7-2"));
    ASSERT_TRUE(d.run(e72, rc.store, 3, 1e6, 100000));
    EXPECT_EQ(dataBytes(d.items), (std::vector<int32_t>{0x41, 0x7F, 0x00}));
    // The polarity retry: told idle high, the line idles low, the second try decodes it.
    EXPECT_FALSE(d.run(e72 | kUartIdleHigh, rc.store, 3, 1e6, 100000));
    EXPECT_TRUE(d.items.positions.empty());
    ASSERT_TRUE(decodeUart(d, e72 | kUartIdleHigh, rc.store, 3, 1e6, 100000));
    EXPECT_EQ(dataBytes(d.items), (std::vector<int32_t>{0x41, 0x7F, 0x00}));
    // An out-of-range explicit baud falls back to 9600: 104 samples per bit at 1 MHz.
    Traffic s(1);
    s.hold(500);
    kvtest::uartBytes(s, 0, 1e6 / 9600, "N-8-1", {0x12, 0x34});
    s.hold(5000);
    Capture sc(s.samples());
    ASSERT_TRUE(d.run(kUartIdleHigh | kUartExplicit | uartFramingOptions(0), sc.store, 0, 1e6, 20000000));
    EXPECT_EQ(d.usedBaud(), 9600);
    EXPECT_EQ(dataBytes(d.items), (std::vector<int32_t>{0x12, 0x34}));
}

TEST(UartDecoder, RefusesTooFewEdgesShortPulsesAndSubSampleBits) {
    UartDecoder d;
    Traffic quiet(1);
    quiet.hold(1000);
    quiet.set(0, false);  // two edges: one low pulse
    quiet.hold(50);
    quiet.set(0, true);
    quiet.hold(1000);
    Capture q(quiet.samples());
    EXPECT_FALSE(decodeUart(d, kUartIdleHigh, q.store, 0, 1e6, 0));
    EXPECT_EQ(d.items.size(), 0u);

    // Pulses of 2 samples without a baud rate: nothing to measure a bit by.
    Traffic fast(1);
    fast.hold(10);
    kvtest::uartBytes(fast, 0, 2.0, "N-8-1", {0x55, 0x55});
    fast.hold(100);
    Capture f(fast.samples());
    EXPECT_FALSE(d.run(kUartIdleHigh, f.store, 0, 1e6, 0));
    // Given a baud rate above the sample frequency, a bit is shorter than a sample.
    EXPECT_FALSE(d.run(kUartIdleHigh | kUartExplicit, f.store, 0, 100.0, 9600));
}

TEST(UartDecoder, IdleTailOfThirteenBitsIsNotScanned) {
    // Bytes, then the line held at the start level to the end (a break). A final run of 13 cells is
    // taken as idle and not scanned: the bytes stand. At 12 cells it is scanned as a frame start
    // whose stop bit is missing, which abandons the candidate.
    for (int breakBits : {13, 20, 12}) {
        Traffic t(1);
        t.hold(100);
        kvtest::uartBytes(t, 0, 10.0, "N-8-1", {0xA5, 0x3C}, true, 2);
        t.set(0, false);
        t.hold(breakBits * 10 + 1);
        Capture c(t.samples());
        UartDecoder d;
        const bool ok = d.run(kUartIdleHigh | kUartExplicit | uartFramingOptions(0), c.store, 0, 1e6, 100000);
        SCOPED_TRACE(breakBits);
        EXPECT_EQ(ok, breakBits >= kUartIdleTailCells);
        if (ok) {
            EXPECT_EQ(dataBytes(d.items), (std::vector<int32_t>{0xA5, 0x3C}));
        }
    }
}

TEST(I2cDecoder, TwoByteWriteRepeatedStartNakAndSwappedRoles) {
    Traffic t(3);
    t.hold(40);
    kvtest::i2cTransfer(t, 1, 0, 10, {0xA0, 0x5A});  // SCL channel 1, SDA channel 0
    t.hold(40);
    Capture c(t.samples());
    I2cDecoder d;
    ASSERT_TRUE(d.run(c.store, 1, 0));
    ASSERT_EQ(d.items.size(), 4u);
    EXPECT_EQ(d.items.values[0], kI2cStartMarker);
    EXPECT_EQ(d.items.values[1], 0xA0 | kI2cAddress);
    EXPECT_EQ(d.items.values[2], 0x5A | kI2cStopFollows);
    EXPECT_EQ(d.items.values[3], kI2cStartMarker);
    EXPECT_EQ(d.items.positions[3], c.store.logicalCount() - 1);
    EXPECT_TRUE(std::is_sorted(d.items.positions.begin(), d.items.positions.end()));

    // A group whose head is SCL and tail SDA: the first try (SCL = tail) finds nothing, the swap decodes.
    EXPECT_TRUE(decodeI2c(d, c.store, 1, 0));
    EXPECT_EQ(d.items.values[1], 0xA0 | kI2cAddress);
    EXPECT_FALSE(d.run(c.store, 0, 1));

    // A read with a repeated start and a NAK on its last byte.
    Traffic r(3);
    r.hold(40);
    kvtest::i2cTransfer(r, 1, 0, 10, {0x90, 0x01}, {}, true);
    kvtest::i2cTransfer(r, 1, 0, 10, {0x91, 0x7E}, {1});
    r.hold(40);
    Capture rc(r.samples());
    ASSERT_TRUE(d.run(rc.store, 1, 0));
    EXPECT_EQ(d.items.values, (std::vector<int32_t>{kI2cStartMarker, 0x90 | kI2cAddress, 0x01, 0x91 | kI2cAddress,
                                                    0x7E | kI2cNak | kI2cStopFollows, kI2cStartMarker}));

    // A lone START is no decode.
    Traffic s(3);
    s.hold(10);
    s.set(0, false);
    s.hold(10);
    Capture sc(s.samples());
    EXPECT_FALSE(decodeI2c(d, sc.store, 0, 1));
    EXPECT_EQ(d.items.size(), 0u);
}

TEST(I2sDecoder, WordsLeftRightAndWordLengths) {
    const std::vector<uint32_t> samples = {0x1234, 0xABCD, 0x0F0F, 0x8001, 0x7FFE, 0x0001};
    Traffic t(0);
    kvtest::i2sFrames(t, 2, 1, 0, 2, samples, 16, 16);  // SCK 2, WS 1, SD 0
    Capture c(t.samples());
    I2sDecoder d;
    ASSERT_TRUE(d.run(16, c.store, 2, 1, 0));
    // The first change of word select only starts collecting: its word is a marker.
    ASSERT_EQ(d.items.size(), samples.size());
    EXPECT_EQ(d.items.values[0] & kI2sFirstWord, kI2sFirstWord);
    for (size_t k = 1; k < samples.size(); ++k) {
        EXPECT_EQ(d.items.values[k] & kI2sSampleMask, static_cast<int32_t>(samples[k])) << k;
        EXPECT_EQ((d.items.values[k] & kI2sRight) != 0, k % 2 == 1) << k;
    }
    // 24-bit words in 32-clock slots.
    Traffic w(0);
    kvtest::i2sFrames(w, 2, 1, 0, 2, {0x800001, 0x123456, 0xFEDCBA}, 24, 32);
    Capture wc(w.samples());
    ASSERT_TRUE(d.run(24, wc.store, 2, 1, 0));
    EXPECT_EQ(d.items.values[1] & kI2sSampleMask, 0x123456);
    EXPECT_EQ(d.items.values[2] & kI2sSampleMask, 0xFEDCBA);

    // A label word length of 25 is read as 8: 8-bit words from the 16-bit stream.
    EXPECT_EQ(i2sWordBits(25u << kLabelParamShift), 8);
    EXPECT_EQ(i2sWordBits(24u << kLabelParamShift), 24);
    ASSERT_TRUE(d.run(i2sWordBits(25u << kLabelParamShift), c.store, 2, 1, 0));
    EXPECT_EQ(d.items.values[1] & kI2sSampleMask, 0xAB);
    // A word length the decoder cannot hold decodes nothing, successfully.
    EXPECT_TRUE(d.run(25, c.store, 2, 1, 0));
    EXPECT_EQ(d.items.size(), 0u);
}

TEST(SpiDecoder, FramesEdgesChipSelectLevelsAndIncompleteWords) {
    for (int variant = 0; variant < 4; ++variant) {
        const bool csHigh = variant & 1, falling = variant & 2;
        Traffic t(0);
        kvtest::spiFrame(t, 2, 1, 0, 3, {0xC3, 0x5A}, 8, csHigh, falling);
        kvtest::spiFrame(t, 2, 1, 0, 3, {0xBEEF}, 16, csHigh, falling);
        Capture c(t.samples());
        SpiDecoder d;
        const uint32_t edge = (falling ? uint32_t{kSpiFallingEdge} : 0u) | (csHigh ? uint32_t{kSpiCsActiveHigh} : 0u);
        SCOPED_TRACE(variant);
        ASSERT_TRUE(d.run(edge, c.store, 2, 1, 0));
        EXPECT_EQ(d.items.values, (std::vector<int32_t>{kSpiStartMarker, 0xC3, 0x5A, kSpiEndMarker, kSpiStartMarker,
                                                        0xBE, 0xEF, kSpiEndMarker, kSpiEndMarker}));
        ASSERT_TRUE(d.run(edge | kSpi16Bits, c.store, 2, 1, 0));
        EXPECT_EQ(d.items.values, (std::vector<int32_t>{kSpiStartMarker, 0xC35A, kSpiEndMarker, kSpiStartMarker,
                                                        0xBEEF, kSpiEndMarker, kSpiEndMarker}));
        EXPECT_EQ(d.items.positions.back(), c.store.logicalCount());
    }
    // Chip select ends after 12 clocks of 8-bit words: one word and one incomplete-word item.
    Traffic t(0);
    kvtest::spiFrame(t, 2, 1, 0, 3, {0xA5, 0xF0}, 8, false, false, 12);
    Capture c(t.samples());
    SpiDecoder d;
    ASSERT_TRUE(d.run(0, c.store, 2, 1, 0));
    EXPECT_EQ(d.items.values,
              (std::vector<int32_t>{kSpiStartMarker, 0xA5, kSpiIncomplete, kSpiEndMarker, kSpiEndMarker}));
    // Without chip-select activity the words end at the last bit; leading bits are dropped.
    Traffic n(0);
    kvtest::spiFrame(n, 2, 1, 0, 3, {0x1, 0x5A}, 4, false, false);  // CS toggles on channel 1 only
    Capture nc(n.samples());
    ASSERT_TRUE(d.run(0, nc.store, 2, 5, 0));  // channel 5 never moves
    EXPECT_EQ(d.items.values, (std::vector<int32_t>{0x1A, kSpiEndMarker, kSpiEndMarker}));
    // No clock edge at all: failure.
    EXPECT_FALSE(d.run(0, nc.store, 6, 1, 0));
}

TEST(SampleRuns, RunsGiveTheValuesOfFetchAndBlockRepeatDecodesAlike) {
    // 36-bit samples one per word, a start offset and inversion: runs equal single fetches.
    std::vector<uint8_t> raw(8 * 10000 + 16);
    for (size_t k = 0; k < raw.size(); ++k) raw[k] = static_cast<uint8_t>(k * 37 + (k >> 7));
    SampleStore s;
    s.attach(raw.data(), 8 * 10000, 64, 36, 36, kStoragePacked);
    s.setStartOffset(7);
    s.setInvert(true);
    std::vector<uint64_t> runs;
    forEachSampleRun(s, 3, 9000, [&](const uint64_t* w, int32_t, int32_t n) {
        runs.insert(runs.end(), w, w + n);
        return true;
    });
    ASSERT_EQ(runs.size(), 8997u);
    for (int32_t i = 3; i < 9000; i += 97) EXPECT_EQ(runs[i - 3], s.fetch(i)) << i;

    // The same UART traffic packed and in block-repeat format (idle stretches as repeated blocks).
    Traffic t(1);
    t.hold(400);
    kvtest::uartBytes(t, 0, 20.0, "N-8-1", {0x31, 0x32, 0x33}, true, 4);
    t.hold(400);
    std::vector<uint8_t>& plain = t.samples();
    plain.resize((plain.size() + 19) / 20 * 20, 1);
    std::vector<uint8_t> blocks;
    std::vector<uint8_t> packed;
    for (size_t b = 0; b < plain.size(); b += 20) {
        const bool flat = std::all_of(plain.begin() + b, plain.begin() + b + 20, [&](uint8_t v) { return v == plain[b]; });
        // A flat block followed by flat blocks of the same level is stored once with a repeat.
        uint32_t repeat = 0;
        while (flat && b + 20 * (repeat + 1) < plain.size() &&
               std::all_of(plain.begin() + b + 20 * (repeat + 1), plain.begin() + b + 20 * (repeat + 2),
                           [&](uint8_t v) { return v == plain[b]; }))
            ++repeat;
        for (int k = 0; k < 20; ++k) {
            uint64_t v = plain[b + k];
            if (k == 19) v |= uint64_t{repeat} << kRepeatFieldShift;
            for (int byte = 0; byte < 8; ++byte) blocks.push_back(static_cast<uint8_t>(v >> (8 * byte)));
        }
        b += 20 * repeat;
    }
    const int32_t storedBytes = static_cast<int32_t>(blocks.size());
    blocks.resize(blocks.size() + 16, 0);
    SampleStore br;
    ASSERT_EQ(br.attach(blocks.data(), storedBytes, 64, 64, 64, kStorageBlockRepeat),
              static_cast<int32_t>(plain.size()));
    Capture pc(plain);
    UartDecoder a, b;
    ASSERT_TRUE(a.run(kUartIdleHigh, pc.store, 0, 1e6, 0));
    ASSERT_TRUE(b.run(kUartIdleHigh, br, 0, 1e6, 0));
    EXPECT_EQ(a.items.values, b.items.values);
    EXPECT_EQ(a.items.positions, b.items.positions);
}

TEST(DecodePass, FillsStoresByChannelAndOrdinalAndEmptiesFailedSlots) {
    // UART on channel 0, I2C on channels 1 (SDA, head) and 2 (SCL, tail), SPI on 3 (data), 4 (CS), 5 (SCK).
    Traffic t(0x17);  // chip select (channel 4) inactive high
    t.hold(50);
    kvtest::uartBytes(t, 0, 1e6 / 9600, "N-8-1", {0x4B, 0x4C});
    t.hold(200);
    kvtest::i2cTransfer(t, 2, 1, 8, {0x42, 0x99});
    kvtest::spiFrame(t, 5, 4, 3, 3, {0x66}, 8, false, false);
    t.hold(400);
    Capture c(t.samples());

    LabelTable table;
    auto single = [&](int e, int ch, uint32_t flags) {
        table.entries[e].kind = kLabelSingle;
        table.entries[e].channel = ch;
        table.entries[e].flags = flags;
    };
    single(0, 0, kLabelUart);
    single(1, 6, kLabelUart);  // a quiet line: its slot fails
    const int i2c[] = {1, 2}, spi[] = {3, 4, 5};
    for (int k = 0; k < 2; ++k) {
        table.entries[2 + k].kind = k == 1 ? int32_t{kLabelLastMember} : int32_t{kLabelFirstMember};
        table.entries[2 + k].channel = i2c[k];
        table.entries[2 + k].flags = kLabelI2c;
    }
    for (int k = 0; k < 3; ++k) {
        table.entries[4 + k].kind = k == 2 ? int32_t{kLabelLastMember} : int32_t{kLabelFirstMember} + k;
        table.entries[4 + k].channel = spi[k];
        table.entries[4 + k].flags = kLabelSpi | (8u << kLabelParamShift);
    }
    DecodeStores stores;
    decodeAllLabels(stores, table, c.store, 1e6);
    const DecodedItems* uart = decodedItemsFor(stores, table, 0);
    ASSERT_NE(uart, nullptr);
    EXPECT_EQ(uart->values[0], 0x4B);
    EXPECT_EQ(decodedItemsFor(stores, table, 1), nullptr);
    EXPECT_FALSE(stores.uart[6].valid);
    const DecodedItems* bus = decodedItemsFor(stores, table, 2);
    ASSERT_NE(bus, nullptr);
    EXPECT_EQ(bus->values[1], 0x42 | kI2cAddress);
    const DecodedItems* spiItems = decodedItemsFor(stores, table, 4);
    ASSERT_NE(spiItems, nullptr);
    EXPECT_EQ(spiItems->values[1], 0x66);

    // Value lookup: UART items start at their positions, I2C items end at theirs.
    uint32_t v = 0;
    EXPECT_TRUE(decodedValueAt(Protocol::Uart, *uart, uart->positions[0], v));
    EXPECT_EQ(v, 0x4Bu);
    EXPECT_FALSE(decodedValueAt(Protocol::Uart, *uart, uart->positions[0] - 1, v));
    EXPECT_FALSE(decodedValueAt(Protocol::Uart, *uart, uart->positions.back(), v));
    EXPECT_TRUE(decodedValueAt(Protocol::I2c, *bus, bus->positions[1] - 1, v));
    EXPECT_EQ(v, 0x42u);
    EXPECT_FALSE(decodedValueAt(Protocol::I2c, *bus, bus->positions.back(), v));

    // The label turned back to plain: its slot no longer counts.
    table.entries[0].flags = 0;
    decodeAllLabels(stores, table, c.store, 1e6);
    EXPECT_EQ(decodedItemsFor(stores, table, 0), nullptr);
    EXPECT_FALSE(stores.uart[0].valid);
}
