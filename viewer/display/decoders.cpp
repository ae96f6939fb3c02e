#include "viewer/display/decoders.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "viewer/display/sample_runs.h"

namespace kv {

const int32_t kUartDetectRates[16] = {110,   300,   600,   1200,   2400,   4800,   9600,   14400,
                                      19200, 28800, 38400, 57600, 115200, 230400, 460800, 921600};

uint32_t uartFramingOptions(int32_t index) {
    if (index < 0 || index >= kUartFramings) index = 0;
    // Within each parity the list runs 8, 8, 7, 7, 6, 6, 5, 5 data bits, odd entries with two stops.
    const uint32_t dataCode = 3u - static_cast<uint32_t>((index % 8) / 2);
    const int32_t parity = index / 8;
    uint32_t o = dataCode << kUartDataBitsShift;
    if (parity != 0) o |= kUartParity;
    if (parity == 2) o |= kUartOddParity;
    if (index % 2) o |= kUartTwoStop;
    return o;
}

int32_t uartProtocolIndex(const std::string& name) {
    for (int32_t i = 0; i < kUartFramings; ++i)
        if (name == kUartProtocols[i]) return i;
    return -1;
}

namespace {

// The protocol index of a framing word (bits 8..12), the inverse of uartFramingOptions.
int32_t framingIndex(uint32_t o) {
    const int32_t data = 3 - static_cast<int32_t>((o >> kUartDataBitsShift) & 3u);
    const int32_t parity = (o & kUartParity) ? ((o & kUartOddParity) ? 2 : 1) : 0;
    return parity * 8 + data * 2 + ((o & kUartTwoStop) ? 1 : 0);
}

inline bool bitOf(uint64_t w, int32_t channel) { return ((w >> (channel & 63)) & 1u) != 0; }

}  // namespace

// --- UART -------------------------------------------------------------------------------------------

bool UartDecoder::run(uint32_t options, SampleStore& store, int32_t channel, double sampleFrequency, int32_t baud) {
    items.clear();
    changes_.clear();
    cells_.clear();
    working_ = 0;
    protocol_ = -1;
    baud_ = 0;
    const int32_t count = store.logicalCount();
    if (count < 2 || channel < 0 || channel > 63 || !(sampleFrequency > 0)) return false;

    // Step 1: every level change, and the shortest complete run between two of them.
    bool first = true, level = false;
    int64_t shortest = INT64_MAX;
    forEachSampleRun(store, 0, count, [&](const uint64_t* w, int32_t at, int32_t n) {
        int32_t j = 0;
        if (first) {
            level = bitOf(w[0], channel);
            first = false;
            j = 1;
        }
        for (; j < n; ++j) {
            if (bitOf(w[j], channel) == level) continue;
            level = !level;
            const int32_t i = at + j;
            if (!changes_.empty()) shortest = std::min<int64_t>(shortest, i - changes_.back());
            changes_.push_back(i);
        }
        return true;
    });
    const bool explicitFraming = (options & kUartExplicit) != 0;
    if (changes_.size() < 3) return false;
    if (!explicitFraming && shortest < 3) return false;
    const bool startLevel = (store.sample(0) >> (channel & 63)) & 1u;  // level of the first run
    changes_.push_back(count - 1);

    if (explicitFraming) {
        baud_ = (baud < kUartMinBaud || baud > kUartMaxBaud) ? kUartFallbackBaud : baud;
    } else {
        const double estimate = sampleFrequency / static_cast<double>(shortest);
        baud_ = kUartDetectRates[0];
        for (int32_t r : kUartDetectRates)
            if (std::fabs(estimate - r) < std::fabs(estimate - baud_)) baud_ = r;
    }
    const double samplesPerBit = sampleFrequency / baud_;
    // Bits shorter than a sample cannot be told apart, and would make more cells than samples.
    if (samplesPerBit < 1.0) return false;

    // Step 2: every run cut into bit cells.
    const bool idleHigh = (options & kUartIdleHigh) != 0;
    bool runLevel = startLevel;
    int32_t runBegin = 0;
    size_t finalRunFirstCell = 0;
    int64_t finalRunCells = 0;
    for (size_t k = 0; k < changes_.size(); ++k) {
        const int32_t runEnd = changes_[k];
        const int64_t length = runEnd - runBegin;
        int64_t n = static_cast<int64_t>(std::floor(static_cast<double>(length) / samplesPerBit + 0.5));
        if (k == 0) n = std::max<int64_t>(n, 1);
        finalRunFirstCell = cells_.size();
        finalRunCells = n;
        // Cells share the run evenly, so each knows the sample it begins at.
        for (int64_t j = 0; j < n; ++j)
            cells_.push_back(Cell{static_cast<int32_t>(runBegin + j * length / n), runLevel == idleHigh});
        runBegin = runEnd;
        runLevel = !runLevel;
    }
    scanEnd_ = finalRunCells >= kUartIdleTailCells ? finalRunFirstCell : cells_.size();

    // Presized to one eighth of the samples: a frame is seven bit times or more, so the arrays
    // rarely have to grow while bytes are stored.
    items.positions.reserve(static_cast<size_t>(count) / 8);
    items.values.reserve(static_cast<size_t>(count) / 8);

    // Step 3: the framing as given, or the first of all 24 that decodes.
    if (explicitFraming) {
        const uint32_t framing = options & (0x300u | kUartParity | kUartOddParity | kUartTwoStop);
        if (!scanFrames(framing, items)) return false;
        protocol_ = framingIndex(framing);
        working_ = 1u << protocol_;
        return true;
    }
    DecodedItems trial;
    for (int32_t parity = 0; parity < 3; ++parity)
        for (int32_t stops = 1; stops <= 2; ++stops)
            for (int32_t data = 8; data >= 5; --data) {
                const int32_t index = parity * 8 + (8 - data) * 2 + (stops - 1);
                const uint32_t framing = uartFramingOptions(index);
                if (protocol_ < 0) {
                    if (!scanFrames(framing, items)) continue;
                    protocol_ = index;
                } else if (!scanFrames(framing, trial)) {
                    continue;
                }
                working_ |= 1u << index;
            }
    if (protocol_ < 0) items.clear();
    return protocol_ >= 0;
}

bool UartDecoder::scanFrames(uint32_t framing, DecodedItems& out) {
    const int32_t data = 5 + static_cast<int32_t>((framing >> kUartDataBitsShift) & 3u);
    const bool parity = (framing & kUartParity) != 0, odd = (framing & kUartOddParity) != 0;
    const bool twoStops = (framing & kUartTwoStop) != 0;
    const size_t frame = 1 + data + (parity ? 1 : 0) + (twoStops ? 2 : 1);
    const size_t total = cells_.size();

    size_t candidates[kUartSeenCandidates];
    int32_t found = 0;
    for (size_t k = 1; k < scanEnd_ && found < kUartSeenCandidates; ++k)
        if (cells_[k - 1].idle && !cells_[k].idle) candidates[found++] = k;

    for (int32_t t = 0; t < std::min(found, kUartMaxCandidates); ++t) {
        out.clear();
        size_t c = candidates[t];
        size_t closing = 0;
        bool ok = false;
        for (;;) {
            if (c >= scanEnd_ || total - c < frame + 1) {
                ok = out.size() > 0;
                break;
            }
            const Cell* f = &cells_[c];
            bool valid = !f[0].idle && f[frame - 1].idle && (!twoStops || f[frame - 2].idle);
            if (valid && parity) {
                bool x = f[data + 1].idle;
                for (int32_t b = 1; b <= data; ++b) x ^= f[b].idle;
                valid = x == odd;
            }
            if (!valid) {
                // A frame cut off by the end of the scan ends the decode; elsewhere the candidate fails.
                ok = c + frame > scanEnd_ && out.size() > 0;
                break;
            }
            int32_t byte = 0;
            for (int32_t b = data; b >= 1; --b) byte = (byte << 1) | (f[b].idle ? 1 : 0);
            out.add(f[0].start, byte);
            c += frame;
            closing = c;
            while (c < scanEnd_ && cells_[c].idle) ++c;
        }
        if (ok) {
            out.add(cells_[closing].start, 0);
            return true;
        }
    }
    out.clear();
    return false;
}

bool decodeUart(UartDecoder& d, uint32_t options, SampleStore& store, int32_t channel, double sampleFrequency,
                int32_t baud) {
    return d.run(options, store, channel, sampleFrequency, baud) ||
           d.run(options ^ kUartIdleHigh, store, channel, sampleFrequency, baud);
}

uint32_t uartOptions(const LabelEntry& label) {
    // The invert flag marks a line at RS-232 levels: idle low.
    uint32_t o = (label.flags & kLabelInvert) ? 0u : kUartIdleHigh;
    if (label.flags & kLabelExplicit) {
        o |= kUartExplicit;
        o |= uartFramingOptions(static_cast<int32_t>((label.flags & kLabelParamMask) >> kLabelParamShift));
    }
    return o;
}

// --- I2C --------------------------------------------------------------------------------------------

bool I2cDecoder::run(SampleStore& store, int32_t scl, int32_t sda) {
    items.clear();
    const int32_t count = store.logicalCount();
    if (count < 2 || scl < 0 || scl > 63 || sda < 0 || sda > 63) return false;
    const uint64_t mask = (uint64_t{1} << scl) | (uint64_t{1} << sda);

    uint64_t prev = store.sample(0);
    bool open = false;           // inside a transfer: after a START, before a STOP
    bool afterStop = false;      // the previous event was a STOP
    bool storedSinceEvent = false;  // a byte was stored since the last START or STOP
    uint32_t clocks = 0;         // rising SCL edges since the START
    int32_t byte = 0;
    auto appendByte = [&](int32_t at, int32_t extra) {
        items.add(at, byte | (clocks == 9 ? kI2cAddress : 0) | extra);
        byte = 0;
        storedSinceEvent = true;
    };
    forEachSampleRun(store, 1, count, [&](const uint64_t* w, int32_t at, int32_t n) {
        for (int32_t j = 0; j < n; ++j) {
            const uint64_t now = w[j];
            if (((now ^ prev) & mask) == 0) continue;
            const int32_t i = at + j;
            const bool sclBefore = bitOf(prev, scl), sclNow = bitOf(now, scl);
            const bool sdaBefore = bitOf(prev, sda), sdaNow = bitOf(now, sda);
            prev = now;
            if (sclBefore && sclNow && sdaBefore && !sdaNow) {  // START
                const bool repeated = clocks > 9 && clocks % 9 == 1;  // a byte stored at the clock after its ninth
                if (items.size() == 0) {
                    items.add(i, kI2cStartMarker);
                } else if (afterStop || repeated) {
                    items.positions.back() = i;
                } else if (storedSinceEvent) {
                    items.add(i, kI2cStartMarker);
                } else {
                    items.positions.back() = i;
                }
                open = true;
                afterStop = false;
                storedSinceEvent = false;
                clocks = 0;
                byte = 0;
            } else if (sclBefore && sclNow && !sdaBefore && sdaNow) {  // STOP
                if (items.size() == 0) continue;
                if (open && storedSinceEvent && clocks > 9 && clocks % 9 == 1) {
                    // The byte stored at the clock that raised SCL for the STOP ends here.
                    items.positions.back() = i;
                    items.values.back() |= kI2cStopFollows;
                } else if (open && clocks > 0 && clocks % 9 == 0) {
                    // SDA rose while the ninth clock was still high: the byte is not lost.
                    appendByte(i, kI2cStopFollows);
                } else if (storedSinceEvent) {
                    items.add(i, kI2cStartMarker);
                } else {
                    items.positions.back() = i;
                }
                open = false;
                afterStop = true;
                storedSinceEvent = false;
            } else if (open && !sclBefore && sclNow) {  // data clock
                if (clocks > 0 && clocks % 9 == 0) appendByte(i, 0);
                const uint32_t inGroup = clocks % 9;
                if (inGroup < 8) {
                    byte = ((byte << 1) | (sdaNow ? 1 : 0)) & 0xFF;
                } else if (sdaNow) {
                    byte |= kI2cNak;
                }
                ++clocks;
            }
        }
        return true;
    });
    if (items.size() == 0 || (items.size() == 1 && items.values[0] == kI2cStartMarker)) {
        items.clear();
        return false;
    }
    items.add(count - 1, kI2cStartMarker);
    return true;
}

bool decodeI2c(I2cDecoder& d, SampleStore& store, int32_t headChannel, int32_t tailChannel) {
    return d.run(store, tailChannel, headChannel) || d.run(store, headChannel, tailChannel);
}

// --- I2S --------------------------------------------------------------------------------------------

bool I2sDecoder::run(int32_t wordBits, SampleStore& store, int32_t sck, int32_t ws, int32_t sd) {
    items.clear();
    if (wordBits <= 0 || wordBits > kI2sMaxWordBits) return true;
    const int32_t count = store.logicalCount();
    if (count < 2 || sck < 0 || sck > 63 || ws < 0 || ws > 63 || sd < 0 || sd > 63) return false;

    uint64_t prev = store.sample(0);
    bool seenEdge = false, wsAtEdge = false, collecting = false, pending = false;
    int32_t word = 0, received = 0, finished = 0;
    forEachSampleRun(store, 1, count, [&](const uint64_t* w, int32_t at, int32_t n) {
        for (int32_t j = 0; j < n; ++j) {
            const uint64_t now = w[j];
            const bool before = bitOf(prev, sck), clock = bitOf(now, sck);
            prev = now;
            if (before == clock) continue;
            if (!clock) {
                if (pending) {
                    items.add(at + j, finished | (bitOf(now, ws) ? 0 : kI2sRight));
                    pending = false;
                }
                continue;
            }
            const bool select = bitOf(now, ws), data = bitOf(now, sd);
            if (!seenEdge) {
                seenEdge = true;
                wsAtEdge = select;
                continue;
            }
            if (select != wsAtEdge) {
                wsAtEdge = select;
                if (collecting) {
                    // The bit of this clock is the word's least significant; a short word is
                    // left-aligned to the word length.
                    if (received < wordBits) {
                        word = (word << 1) | (data ? 1 : 0);
                        word <<= wordBits - received - 1;
                    }
                    finished = word & kI2sSampleMask;
                } else {
                    collecting = true;
                    finished = kI2sFirstWord;
                }
                pending = true;
                word = 0;
                received = 0;
            } else if (collecting && received < wordBits) {
                word = (word << 1) | (data ? 1 : 0);
                ++received;
            }
        }
        return true;
    });
    return items.size() > 0;
}

int32_t i2sWordBits(uint32_t flags) {
    const int32_t bits = static_cast<int32_t>((flags & kLabelParamMask) >> kLabelParamShift);
    return bits >= 8 && bits <= kI2sMaxWordBits ? bits : 8;
}

// --- SPI --------------------------------------------------------------------------------------------

bool SpiDecoder::run(uint32_t options, SampleStore& store, int32_t sck, int32_t cs, int32_t dataChannel) {
    items.clear();
    bitPositions_.clear();
    bits_.clear();
    const int32_t count = store.logicalCount();
    if (count < 2 || sck < 0 || sck > 63 || cs < 0 || cs > 63 || dataChannel < 0 || dataChannel > 63) return false;
    const bool falling = (options & kSpiFallingEdge) != 0, activeHigh = (options & kSpiCsActiveHigh) != 0;
    const int32_t wordBits = (options & kSpi16Bits) ? 16 : 8;

    // Steps 1 and 2: the data bit at every active clock edge, and the chip-select periods as
    // [first active sample, last active sample].
    struct Period {
        int32_t first, last;
    };
    std::vector<Period> periods;
    uint64_t prev = store.sample(0);
    const bool activeAtStart = bitOf(prev, cs) == activeHigh;
    int32_t periodStart = activeAtStart ? 0 : -1;
    bool csChanged = false;
    const uint64_t mask = (uint64_t{1} << sck) | (uint64_t{1} << cs);
    forEachSampleRun(store, 1, count, [&](const uint64_t* w, int32_t at, int32_t n) {
        for (int32_t j = 0; j < n; ++j) {
            const uint64_t now = w[j];
            const uint64_t change = (now ^ prev) & mask;
            if (change == 0) continue;
            const int32_t i = at + j;
            if (change & (uint64_t{1} << sck)) {
                if (bitOf(now, sck) != falling) {
                    if (bits_.size() == bits_.capacity()) {
                        bits_.reserve(bits_.size() + kSpiBitGrowth);
                        bitPositions_.reserve(bitPositions_.size() + kSpiBitGrowth);
                    }
                    bits_.push_back(bitOf(now, dataChannel) ? 1 : 0);
                    bitPositions_.push_back(i);
                }
            }
            if (change & (uint64_t{1} << cs)) {
                csChanged = true;
                if (bitOf(now, cs) == activeHigh) {
                    periodStart = i;
                } else if (periodStart >= 0) {
                    periods.push_back(Period{periodStart, i - 1});
                    periodStart = -1;
                }
            }
            prev = now;
        }
        return true;
    });
    if (bits_.empty()) return false;
    // A period still open at the end of the capture ends with it: its bits are kept.
    if (periodStart >= 0 && csChanged) periods.push_back(Period{periodStart, count - 1});

    auto addWords = [&](size_t from, size_t to) {
        size_t k = from;
        for (; k + wordBits <= to; k += wordBits) {
            int32_t v = 0;
            for (int32_t b = 0; b < wordBits; ++b) v = (v << 1) | bits_[k + b];
            items.add(bitPositions_[k], v);
        }
        if (k < to) items.add(bitPositions_[k], kSpiIncomplete);
    };
    if (csChanged) {
        size_t k = 0;
        for (const Period& p : periods) {
            while (k < bits_.size() && bitPositions_[k] < p.first) ++k;
            size_t end = k;
            while (end < bits_.size() && bitPositions_[end] <= p.last) ++end;
            items.add(p.first, kSpiStartMarker);
            addWords(k, end);
            items.add(p.last + 1, kSpiEndMarker);
            k = end;
        }
    } else {
        // No chip select: the words are aligned so that the last one ends at the last bit.
        addWords(bits_.size() % wordBits, bits_.size());
        items.add(bitPositions_.back() + 1, kSpiEndMarker);
    }
    if (items.positions.back() < count) items.add(count, kSpiEndMarker);
    return true;
}

uint32_t spiOptions(uint32_t flags) {
    uint32_t o = 0;
    if (((flags & kLabelParamMask) >> kLabelParamShift) == 16) o |= kSpi16Bits;
    if (flags & kLabelExplicit) o |= kSpiCsActiveHigh;
    if (flags & kLabelSpiFalling) o |= kSpiFallingEdge;
    return o;
}

// --- the pass ---------------------------------------------------------------------------------------

Protocol rowProtocol(const LabelTable& table, const LabelRow& row) {
    const LabelEntry& tail = table.entries[row.last];
    if (tail.flags & kLabelScope) return Protocol::None;
    if (!row.group()) return (tail.kind == kLabelSingle && (tail.flags & kLabelUart)) ? Protocol::Uart : Protocol::None;
    if (row.size() == 2 && (tail.flags & kLabelI2c)) return Protocol::I2c;
    if (row.size() == 3 && (tail.flags & kLabelI2s)) return Protocol::I2s;
    if (row.size() == 3 && (tail.flags & kLabelSpi)) return Protocol::Spi;
    return Protocol::None;
}

namespace {

template <class D>
D& decoderOf(DecodeStores::Slot<D>& slot) {
    if (!slot.decoder) slot.decoder = std::make_unique<D>();
    return *slot.decoder;
}

// The ordinal of the row among the rows of its protocol, or -1 for a UART or plain row.
int32_t busOrdinal(const LabelTable& table, int32_t firstEntry, Protocol& protocol) {
    int32_t ordinal[5] = {0, 0, 0, 0, 0};
    for (const LabelRow& r : labelRows(table)) {
        const Protocol p = rowProtocol(table, r);
        if (r.first == firstEntry) {
            protocol = p;
            return p == Protocol::None || p == Protocol::Uart ? -1 : ordinal[static_cast<int>(p)];
        }
        ++ordinal[static_cast<int>(p)];
    }
    protocol = Protocol::None;
    return -1;
}

}  // namespace

void decodeAllLabels(DecodeStores& stores, const LabelTable& table, SampleStore& store, double sampleFrequency) {
    for (auto& s : stores.uart) s.valid = false;
    for (auto& s : stores.i2c) s.valid = false;
    for (auto& s : stores.i2s) s.valid = false;
    for (auto& s : stores.spi) s.valid = false;
    int32_t ordinal[5] = {0, 0, 0, 0, 0};
    for (const LabelRow& r : labelRows(table)) {
        const Protocol p = rowProtocol(table, r);
        if (p == Protocol::None) continue;
        const int32_t n = ordinal[static_cast<int>(p)]++;
        const LabelEntry& head = table.entries[r.first];
        const LabelEntry& tail = table.entries[r.last];
        switch (p) {
            case Protocol::Uart: {
                if (head.channel < 0 || head.channel >= DecodeStores::kUartSlots) break;
                auto& slot = stores.uart[head.channel];
                UartDecoder& d = decoderOf(slot);
                slot.valid = decodeUart(d, uartOptions(head), store, head.channel, sampleFrequency, head.baud);
                break;
            }
            case Protocol::I2c: {
                if (n >= DecodeStores::kBusSlots) break;
                auto& slot = stores.i2c[n];
                slot.valid = decodeI2c(decoderOf(slot), store, head.channel, tail.channel);
                break;
            }
            case Protocol::I2s: {
                if (n >= DecodeStores::kBusSlots) break;
                auto& slot = stores.i2s[n];
                const LabelEntry& ws = table.entries[r.first + 1];
                slot.valid = decoderOf(slot).run(i2sWordBits(tail.flags), store, tail.channel, ws.channel, head.channel);
                break;
            }
            case Protocol::Spi: {
                if (n >= DecodeStores::kBusSlots) break;
                auto& slot = stores.spi[n];
                const LabelEntry& cs = table.entries[r.first + 1];
                slot.valid = decoderOf(slot).run(spiOptions(tail.flags), store, tail.channel, cs.channel, head.channel);
                break;
            }
            case Protocol::None: break;
        }
    }
    // A failed slot keeps no results.
    for (auto& s : stores.uart)
        if (!s.valid && s.decoder) s.decoder->items.clear();
    for (auto& s : stores.i2c)
        if (!s.valid && s.decoder) s.decoder->items.clear();
    for (auto& s : stores.i2s)
        if (!s.valid && s.decoder) s.decoder->items.clear();
    for (auto& s : stores.spi)
        if (!s.valid && s.decoder) s.decoder->items.clear();
}

const DecodedItems* decodedItemsFor(const DecodeStores& stores, const LabelTable& table, int32_t firstEntry) {
    Protocol p = Protocol::None;
    const int32_t n = busOrdinal(table, firstEntry, p);
    auto items = [](const auto& slot) -> const DecodedItems* {
        return slot.valid && slot.decoder ? &slot.decoder->items : nullptr;
    };
    switch (p) {
        case Protocol::Uart: {
            const int32_t c = table.entries[firstEntry].channel;
            return c >= 0 && c < DecodeStores::kUartSlots ? items(stores.uart[c]) : nullptr;
        }
        case Protocol::I2c: return n < DecodeStores::kBusSlots ? items(stores.i2c[n]) : nullptr;
        case Protocol::I2s: return n < DecodeStores::kBusSlots ? items(stores.i2s[n]) : nullptr;
        case Protocol::Spi: return n < DecodeStores::kBusSlots ? items(stores.spi[n]) : nullptr;
        case Protocol::None: break;
    }
    return nullptr;
}

bool decodedValueAt(Protocol protocol, const DecodedItems& items, int64_t s, uint32_t& value) {
    const size_t n = items.size();
    if (n == 0 || s < 0) return false;
    const auto begin = items.positions.begin(), end = items.positions.begin() + static_cast<std::ptrdiff_t>(n);
    // The first item whose position is greater than s.
    const size_t above = static_cast<size_t>(std::upper_bound(begin, end, s) - begin);
    switch (protocol) {
        case Protocol::Uart:
        case Protocol::Spi:
            // The last item starting at or before s; the final entry only closes the one before it.
            if (above == 0 || above == n) return false;
            value = static_cast<uint32_t>(items.values[above - 1]);
            if (protocol == Protocol::Uart) value &= 0xFF;
            return true;
        case Protocol::I2c:
        case Protocol::I2s:
            if (above == n) return false;
            value = static_cast<uint32_t>(items.values[above]);
            if (protocol == Protocol::I2c) value &= 0xFF;
            return true;
        case Protocol::None: break;
    }
    return false;
}

}  // namespace kv
