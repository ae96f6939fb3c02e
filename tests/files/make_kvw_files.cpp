// Writes the KVW files the project ships and keeps: the first-run file "Demo01.kvw" and the seed
// corpus of the file fuzzer. Run natively:
//   build/native/bin/make_kvw_files viewer/res/demo/Demo01.kvw tests/fuzz/corpus/kvw
// The demo capture is synthesised here, signal by signal, so that what it shows is known: a
// counter bus, a clock, a UART line, an I2C bus and an SPI bus, 10 MHz for 40,000 samples.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "viewer/files/kvw_codec.h"
#include "viewer/files/kvw_trigger.h"

namespace {

using kv::LabelEntry;
using kv::LabelTable;

constexpr int32_t kSamples = 40000;
constexpr uint64_t kRate = 10000000;

enum Channel : int {
    kCounter0 = 0,   // channels 0-7: the counter bus
    kClock = 8,
    kUart = 9,
    kScl = 10,
    kSda = 11,
    kSck = 12,
    kMosi = 13,
    kCs = 14,
};

struct Signals {
    std::vector<uint64_t> words = std::vector<uint64_t>(kSamples, 0);
    void set(int channel, int32_t from, int32_t to, bool level) {
        for (int32_t i = std::max(from, 0); i < std::min(to, kSamples); ++i) {
            if (level)
                words[i] |= uint64_t{1} << channel;
            else
                words[i] &= ~(uint64_t{1} << channel);
        }
    }
};

// UART at 115,200 baud, 8N1, idle high: "Hello KV!" from sample 4,000.
void uart(Signals& s) {
    const double bit = double(kRate) / 115200.0;
    s.set(kUart, 0, kSamples, true);
    double t = 4000;
    for (const char* p = "Hello KV!\r\n"; *p; ++p) {
        const unsigned byte = static_cast<unsigned char>(*p);
        s.set(kUart, int32_t(t), int32_t(t + bit), false);   // start bit
        for (int b = 0; b < 8; ++b) s.set(kUart, int32_t(t + bit * (b + 1)), int32_t(t + bit * (b + 2)), (byte >> b) & 1);
        t += bit * 10 + bit;   // stop bit and one bit of idle
    }
}

// I2C at 100 kHz (100 samples per bit): a write of 0x3C 0xA5 to address 0x50, from sample 300.
void i2c(Signals& s) {
    s.set(kScl, 0, kSamples, true);
    s.set(kSda, 0, kSamples, true);
    int32_t t = 300;
    s.set(kSda, t, kSamples, false);   // start: SDA falls while SCL is high
    t += 50;
    const unsigned bytes[3] = {0x50u << 1, 0x3C, 0xA5};
    for (unsigned byte : bytes) {
        for (int b = 8; b >= 0; --b) {   // eight data bits, then the acknowledge (driven low)
            const bool level = b > 0 ? ((byte >> (b - 1)) & 1) != 0 : false;
            s.set(kScl, t, t + 50, false);
            s.set(kSda, t + 25, kSamples, level);
            t += 100;
        }
    }
    s.set(kScl, t, t + 50, false);
    s.set(kSda, t + 25, kSamples, false);
    t += 100;
    s.set(kSda, t, kSamples, true);   // stop: SDA rises while SCL is high
}

// SPI mode 0 at 500 kHz (20 samples per bit), chip select low: 0x9F 0x01 0xC2 from sample 3,300.
void spi(Signals& s) {
    s.set(kCs, 0, kSamples, true);
    int32_t t = 3300;
    s.set(kCs, t, t + 40 + 3 * 8 * 20, false);
    t += 20;
    for (unsigned byte : {0x9Fu, 0x01u, 0xC2u}) {
        for (int b = 7; b >= 0; --b) {
            s.set(kMosi, t, t + 20, (byte >> b) & 1);
            s.set(kSck, t + 10, t + 20, true);
            t += 20;
        }
    }
}

void counterAndClock(Signals& s) {
    for (int32_t i = 0; i < kSamples; ++i) {
        s.words[i] |= static_cast<uint64_t>((i / 16) & 0xFF) << kCounter0;
        if ((i / 4) & 1) s.words[i] |= uint64_t{1} << kClock;
    }
}

LabelEntry entry(const char* name, int channel, int32_t kind, int32_t color, uint32_t flags = 0) {
    LabelEntry e;
    std::snprintf(e.name, sizeof e.name, "%s", name);
    e.channel = channel;
    e.kind = kind;
    e.colorIndex = color;
    e.flags = flags;
    e.baud = 115200;
    return e;
}

LabelTable demoLabels() {
    std::vector<LabelEntry> rows;
    rows.push_back(entry("CLK", kClock, kv::kLabelSingle, 2));
    for (int b = 7; b >= 0; --b)   // first member is the most significant bit
        rows.push_back(entry("COUNT", kCounter0 + b, b ? kv::kLabelFirstMember + (7 - b) : kv::kLabelLastMember, 4));
    // UART: decoded as 115,200 baud 8N1 (explicit settings, protocol index 0).
    // Each protocol twice: the decoded row, then its raw channels.
    rows.push_back(entry("UART_TX", kUart, kv::kLabelSingle, 5, kv::kLabelUart | kv::kLabelExplicit));
    rows.push_back(entry("TX", kUart, kv::kLabelSingle, 5));
    // Group members in the decoders' order: I2C SDA then SCL; SPI data, chip select, clock.
    rows.push_back(entry("I2C", kSda, kv::kLabelFirstMember, 6, kv::kLabelI2c));
    rows.push_back(entry("I2C", kScl, kv::kLabelLastMember, 6, kv::kLabelI2c));
    rows.push_back(entry("SCL", kScl, kv::kLabelSingle, 6));
    rows.push_back(entry("SDA", kSda, kv::kLabelSingle, 7));
    // SPI: 8-bit words, chip select active low, data on the rising edge.
    const uint32_t spiFlags = kv::kLabelSpi | (8u << kv::kLabelParamShift);
    rows.push_back(entry("SPI", kMosi, kv::kLabelFirstMember, 9, spiFlags));
    rows.push_back(entry("SPI", kCs, kv::kLabelFirstMember + 1, 9, spiFlags));
    rows.push_back(entry("SPI", kSck, kv::kLabelLastMember, 9, spiFlags));
    rows.push_back(entry("CS_N", kCs, kv::kLabelSingle, 11));
    rows.push_back(entry("SCK", kSck, kv::kLabelSingle, 12));
    rows.push_back(entry("MOSI", kMosi, kv::kLabelSingle, 13));
    LabelTable t;
    for (size_t k = 0; k < rows.size(); ++k) t.entries[k] = rows[k];
    return t;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// The capture's bytes with the spare word a fetch of the last sample may read.
struct Memory {
    std::vector<uint8_t> bytes;
    kv::SampleStore store;
    explicit Memory(const std::vector<uint64_t>& words, int32_t mode = kv::kStoragePacked) {
        bytes.assign(words.size() * 8 + 16, 0);
        for (size_t k = 0; k < words.size(); ++k) kv::storeLe64(&bytes[k * 8], words[k]);
        store.attach(bytes.data(), static_cast<int32_t>(words.size() * 8), 64, 64, 64, mode);
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <Demo01.kvw> <corpus folder>\n", argv[0]);
        return 2;
    }
    Signals s;
    counterAndClock(s);
    uart(s);
    i2c(s);
    spi(s);
    Memory demo(s.words);
    const LabelTable labels = demoLabels();
    // The demo board's trigger set-up at its defaults: single level, every channel "X".
    const kv::TriggerSetup setup;
    const kv::StoredTriggerSet trigger = kv::fileTriggerRecords(setup, kRate, 200);

    kv::KvwSource src;
    src.store = &demo.store;
    src.labels = &labels;
    src.trigger = &trigger;
    kv::DisplayState& d = src.display;
    d.zoomOut = 3;                 // eight samples per pixel: I2C, SPI and the first UART bytes fit
    d.firstRow = 0;
    d.cursorPosition[0] = 200;     // trigger
    d.cursorPosition[1] = 300;     // A: the I2C start
    d.cursorPosition[2] = 3300;    // B: SPI chip select
    d.cursorPosition[3] = 4000;    // C: the UART start bit
    d.cursorPosition[4] = 3320;    // D: the first SPI clock
    d.cursorPosition[5] = 4087;    // E: one UART bit after C
    d.cursorFocus = 1;
    d.triggerPosition = 200;
    d.productCode = kv::kDemoProductCode;
    d.setFrequency(kRate);
    d.clockSelection = 1;
    if (!writeFile(argv[1], kv::writeKvw(src, kv::kKvwZlib))) return 1;

    // Seeds: the three encodings of a short varied capture, a block-repeat capture, 32-bit pairs.
    std::vector<uint64_t> few(s.words.begin() + 3990, s.words.begin() + 4150);
    Memory small(few);
    kv::KvwSource seed;
    seed.store = &small.store;
    seed.labels = &labels;
    seed.trigger = &trigger;
    const std::string dir = argv[2];
    const char* const names[3] = {"raw.kvw", "runs.kvw", "zlib.kvw"};
    for (int32_t format : {kv::kKvwRaw, kv::kKvwRunLength, kv::kKvwZlib})
        if (!writeFile(dir + "/" + names[format], kv::writeKvw(seed, format))) return 1;
    std::vector<uint64_t> blocks(40, 0x11);
    blocks[19] |= uint64_t{3} << kv::kRepeatFieldShift;
    for (int k = 20; k < 40; ++k) blocks[k] = static_cast<uint64_t>(k);
    Memory repeat(blocks, kv::kStorageBlockRepeat);
    seed.store = &repeat.store;
    if (!writeFile(dir + "/blocks.kvw", kv::writeKvw(seed, kv::kKvwZlib))) return 1;
    kv::StoredTriggerSet stack = trigger;
    stack[0].setWord(kv::kTrWordFlags, kv::kTrFlagMemoryStack);
    seed.store = &small.store;
    seed.trigger = &stack;
    seed.samples32 = true;
    seed.labels = nullptr;
    if (!writeFile(dir + "/narrow.kvw", kv::writeKvw(seed, kv::kKvwRunLength))) return 1;
    return 0;
}
