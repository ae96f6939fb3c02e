// Protocol decoders of serial-bus labels: UART on one channel, I2C on two, I2S and SPI on three.
// Each decoder reads the capture only through its SampleStore, in runs, and keeps its results in
// two arrays (positions and value words) that the view, search and kvdecode read. The decode pass
// walks the label table after a capture, a file load or a label change and fills the result stores.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "viewer/display/decoded_items.h"
#include "viewer/display/label_table.h"
#include "viewer/shell/sample_store.h"

namespace kv {

enum class Protocol : uint8_t { None, Uart, I2c, I2s, Spi };

// UART options word.
enum : uint32_t {
    kUartIdleHigh = 0x1,       // clear: idle low, start bit high, a data 1 is low (RS-232 line levels)
    kUartExplicit = 0x2,       // framing and baud given; else both detected
    kUartDataBitsShift = 8,    // bits 8..9: 0 -> 5 data bits ... 3 -> 8
    kUartParity = 0x400,
    kUartOddParity = 0x800,
    kUartTwoStop = 0x1000,
};

// I2C value word.
enum : int32_t {
    kI2cNak = 0x100,           // SDA high at the ninth clock
    kI2cStartMarker = 0x800,   // alone: a START without data
    kI2cAddress = 0x1000,      // first byte after a START
    kI2cStopFollows = 0x2000,
};

// I2S value word.
enum : int32_t {
    kI2sSampleMask = 0xFFFFFF,
    kI2sRight = 0x20000000,    // word select was high during the word
    kI2sFirstWord = 0x40000000,  // marker without data
};

// SPI options and value word.
enum : uint32_t {
    kSpi16Bits = 0x1,
    kSpiFallingEdge = 0x10,
    kSpiCsActiveHigh = 0x20,
};
enum : int32_t {
    kSpiStartMarker = 0x1000000,
    kSpiEndMarker = 0x2000000,
    kSpiIncomplete = 0x4000000,
    kSpiMarkers = kSpiStartMarker | kSpiEndMarker | kSpiIncomplete,
};

constexpr int32_t kUartFramings = 24;      // the protocol list "N-8-1" .. "O-5-2"
constexpr int32_t kUartMaxCandidates = 5;  // frame starts tried before giving up
constexpr int32_t kUartSeenCandidates = 6;
constexpr int32_t kUartIdleTailCells = 13; // a final run this long is idle, not data
constexpr int32_t kUartMinBaud = 1;
constexpr int32_t kUartMaxBaud = 10000000;
constexpr int32_t kUartFallbackBaud = 9600;
constexpr int32_t kI2sMaxWordBits = 24;
constexpr size_t kSpiBitGrowth = 65536;     // the SPI bit list grows in steps of this many entries

// The rates a detected baud rate is rounded to.
extern const int32_t kUartDetectRates[16];

// Framing bits (8..12) of the options word for protocol index 0..23 of the list.
uint32_t uartFramingOptions(int32_t protocolIndex);
// Protocol index of a framing name such as "E-7-2", or -1.
int32_t uartProtocolIndex(const std::string& name);

class UartDecoder {
public:
    // Decodes `channel` with the polarity and framing of `options`. Fails on fewer than 3 level
    // changes, pulses shorter than 3 samples without a given baud rate, bits shorter than a
    // sample, or no valid frame in five candidate starts; the results are then empty.
    bool run(uint32_t options, SampleStore& store, int32_t channel, double sampleFrequency, int32_t baud);

    DecodedItems items;          // byte values, start positions, and a closing entry of value 0
    int32_t usedBaud() const { return baud_; }
    int32_t usedProtocol() const { return protocol_; }      // index of the framing that decoded
    uint32_t workingFramings() const { return working_; }   // bit i: protocol index i decoded

private:
    struct Cell {
        int32_t start;
        bool idle;
    };
    bool scanFrames(uint32_t framing, DecodedItems& out);

    std::vector<int32_t> changes_;
    std::vector<Cell> cells_;
    size_t scanEnd_ = 0;
    int32_t baud_ = 0;
    int32_t protocol_ = -1;
    uint32_t working_ = 0;
};

class I2cDecoder {
public:
    bool run(SampleStore& store, int32_t sclChannel, int32_t sdaChannel);
    DecodedItems items;
};

class I2sDecoder {
public:
    // A word length of 0 or above 24 decodes nothing and succeeds. Fails when no word arrived.
    bool run(int32_t wordBits, SampleStore& store, int32_t sckChannel, int32_t wsChannel, int32_t sdChannel);
    DecodedItems items;
};

class SpiDecoder {
public:
    // Fails when the clock has no active edge.
    bool run(uint32_t options, SampleStore& store, int32_t sckChannel, int32_t csChannel, int32_t dataChannel);
    DecodedItems items;

private:
    std::vector<int32_t> bitPositions_;
    std::vector<uint8_t> bits_;
};

// The decodes with their retries, as the pass and kvdecode run them: UART once more with the
// polarity flipped; I2C first with SCL = tail and SDA = head, then with the two swapped.
bool decodeUart(UartDecoder& d, uint32_t options, SampleStore& store, int32_t channel, double sampleFrequency,
                int32_t baud);
bool decodeI2c(I2cDecoder& d, SampleStore& store, int32_t headChannel, int32_t tailChannel);

// Parameters from a label (its tail entry for groups).
uint32_t uartOptions(const LabelEntry& label);
int32_t i2sWordBits(uint32_t flags);    // 8..24; anything else in the label gives 8
uint32_t spiOptions(uint32_t flags);

// The protocol a row is decoded as, from its label entries (Protocol::None for plain rows).
Protocol rowProtocol(const LabelTable& table, const LabelRow& row);

// The result stores: UART by channel, the others by the ordinal of the label among the labels of
// its protocol. Decoder objects are made on first use and kept; a slot whose last decode failed
// holds no results.
struct DecodeStores {
    static constexpr int kUartSlots = 64;
    static constexpr int kBusSlots = 32;
    template <class D>
    struct Slot {
        std::unique_ptr<D> decoder;
        bool valid = false;
    };
    std::array<Slot<UartDecoder>, kUartSlots> uart;
    std::array<Slot<I2cDecoder>, kBusSlots> i2c;
    std::array<Slot<I2sDecoder>, kBusSlots> i2s;
    std::array<Slot<SpiDecoder>, kBusSlots> spi;
};

// DecodeAllLabels: decodes every serial-bus label of the table over the whole capture. Slots of
// labels no longer in the table are emptied. Never changes the capture or the table.
void decodeAllLabels(DecodeStores& stores, const LabelTable& table, SampleStore& store, double sampleFrequency);

// The results of the row whose first entry is `firstEntry`, or null (not decoded or failed).
const DecodedItems* decodedItemsFor(const DecodeStores& stores, const LabelTable& table, int32_t firstEntry);

// The decoded value of a row at sample s: the item whose span holds s (UART and SPI items start at
// their positions, I2C and I2S items end at theirs), with I2C compared by its low byte and UART as
// a byte. False before the first UART/SPI item or past the last I2C/I2S item.
bool decodedValueAt(Protocol protocol, const DecodedItems& items, int64_t s, uint32_t& value);

}  // namespace kv
