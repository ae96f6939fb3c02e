#include "viewer/trigger/serial_trigger.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/le_bytes.h"

namespace kv {

namespace {

// Offsets in the level-data block.
enum : size_t {
    kHeadMarker = 0,
    kUartChannel = 4, kUartOptions = 8, kUartBaud = 12, kUartDataBits = 16, kUartParity = 20, kUartStop = 24,
    kUartValues = 28, kUartKinds = 160, kUartMasks = 224,
    kI2cSck = 4, kI2cOptions = 8, kI2cValues = 12, kI2cKinds = 144, kI2cMasks = 208,
    kSpiWidth = 4, kSpiClock = 8, kSpiOptions = 12, kSpiKinds = 16, kSpiMasks = 80,
    kI2sBits = 4, kI2sSck = 8, kI2sText = 16, kI2sTextBytes = 128, kI2sMasks = 144,
};
enum : uint32_t { kRowEnableShift = 8, kSpiCsHigh = 1, kSpiFalling = 2, kSpiLsb = 4 };
enum : uint32_t { kUartInvertedIdle = 1, kUartAutoDetect = 2 };
enum : uint32_t { kSlotContinuous = 3, kSlotDiscontinuous = 2 };
// The glitch width: the low bits of the care mask of condition 0, slot 14.
enum : size_t { kGlitchWidthMask = kNanlynCareOffset + kNanlynMaskBytes * 14, kGlitchValueBytes = 84 };
constexpr int kGlitchMinQuarters = 2, kGlitchMaxQuarters = 33;
constexpr uint32_t kMaxBaud = 20000000;

uint32_t word(const TriggerRecord& r, size_t at) { return getLe32(r.data.data() + at); }
void setWord(TriggerRecord& r, size_t at, uint32_t v) { putLe32(r.data.data() + at, v); }

size_t masksOf(SerialProtocol p) {
    switch (p) {
        case SerialProtocol::Uart: return kUartMasks;
        case SerialProtocol::I2c: return kI2cMasks;
        case SerialProtocol::Spi: return kSpiMasks;
    }
    return kUartMasks;
}

uint8_t reverseBits(uint8_t v) {
    uint8_t out = 0;
    for (int b = 0; b < 8; ++b)
        if (v & (1u << b)) out = static_cast<uint8_t>(out | 0x80u >> b);
    return out;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::vector<std::string> tokensOf(const std::string& text) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isBlank(text[i])) ++i;
        size_t j = i;
        while (j < text.size() && !isBlank(text[j])) ++j;
        if (j > i) out.push_back(text.substr(i, j - i));
        i = j;
    }
    return out;
}

// A number token: hexadecimal with a trailing h/H, else decimal; what does not parse counts as 0.
uint32_t numberOf(const std::string& token, bool hex) {
    const std::string digits = hex ? token.substr(0, token.size() - 1) : token;
    return static_cast<uint32_t>(std::strtoul(digits.c_str(), nullptr, hex ? 16 : 10));
}

bool endsInH(const std::string& t) { return !t.empty() && (t.back() == 'h' || t.back() == 'H'); }

uint8_t* maskAt(TriggerRecord& r, size_t masks, bool care, int condition, int slot) {
    return r.data.data() + masks + (care ? kNanlynCareOffset : 0) +
           kNanlynMaskBytes * static_cast<size_t>(kTriggerLevels * condition + slot);
}

void setLink(TriggerRecord& r, size_t masks, int condition, int slot, uint32_t link) {
    uint8_t* w = r.data.data() + masks + kNanlynLinkOffset + 4 * static_cast<size_t>(condition);
    uint32_t v = getLe32(w);
    v = (v & ~(3u << (2 * slot))) | (link << (2 * slot));
    putLe32(w, v);
}

uint32_t linkOf(const TriggerRecord& r, size_t masks, int condition, int slot) {
    return (getLe32(r.data.data() + masks + kNanlynLinkOffset + 4 * static_cast<size_t>(condition)) >> (2 * slot)) & 3;
}

// Stores the rows' values and kinds (UART and I2C keep them for the dialog).
void storeRowValues(TriggerRecord& r, size_t values, size_t kinds, const SerialRowValues& rows) {
    for (int row = 0; row < kSerialRows; ++row) {
        uint64_t k = 0;
        uint8_t* v = r.data.data() + values + 16 * static_cast<size_t>(row);
        std::memset(v, 0, 16);
        const auto& list = rows.values[row];
        for (size_t i = 0; i < list.size() && i < kSerialRowValues; ++i) {
            v[i] = static_cast<uint8_t>(list[i].value);
            k |= static_cast<uint64_t>(list[i].kind & 0xF) << (4 * i);
        }
        putLe64(r.data.data() + kinds + 8 * static_cast<size_t>(row), k);
    }
}

void completeProtocolRecord(TriggerRecord& r, int mode, bool preTrigger) {
    r.mode = static_cast<uint32_t>(mode);
    r.levelCount = 1;
    r.levelRepeat = 1;
    r.flags = preTrigger ? (r.flags | kTriggerFlagPreTrigger) : (r.flags & ~kTriggerFlagPreTrigger);
}

}  // namespace

// --- rows ---------------------------------------------------------------------------------------

std::vector<SerialValue> parseSerialRow(const std::string& text, int wordBits) {
    const uint32_t mask = wordBits >= 32 ? 0xFFFFFFFFu : (1u << wordBits) - 1;
    std::vector<SerialValue> out;
    for (const std::string& t : tokensOf(text)) {
        if (out.size() >= kSerialRowValues) break;
        const size_t n = t.size();
        if (n > 2 && t.front() == '"' && t.back() == '"') {
            for (size_t i = 1; i + 1 < n && out.size() < kSerialRowValues; ++i)
                out.push_back({static_cast<uint8_t>(t[i]) & mask, kSerialString});
        } else if (n > 2 && t.front() == '\'' && t.back() == '\'') {
            out.push_back({static_cast<uint8_t>(t[1]) & mask, kSerialCharacter});
        } else if (endsInH(t)) {
            out.push_back({numberOf(t, true) & mask, kSerialHex});
        } else {
            out.push_back({numberOf(t, false) & mask, kSerialDecimal});
        }
    }
    return out;
}

std::string canonicalSerialRow(const std::vector<SerialValue>& values, bool spi) {
    std::string out;
    char text[16];
    for (size_t i = 0; i < values.size(); ++i) {
        const SerialValue& v = values[i];
        switch (v.kind) {
            case kSerialHex: std::snprintf(text, sizeof text, spi ? "%Xh " : "%02Xh ", v.value); break;
            case kSerialCharacter: std::snprintf(text, sizeof text, "'%c' ", static_cast<char>(v.value)); break;
            case kSerialString: {
                // A run of string characters is one quoted string.
                out += '"';
                while (i < values.size() && values[i].kind == kSerialString) out += static_cast<char>(values[i++].value);
                --i;
                out += "\" ";
                continue;
            }
            default: std::snprintf(text, sizeof text, "%u ", v.value); break;
        }
        out += text;
    }
    return out;
}

int checkSerialRows(SerialRows& rows, SerialProtocol p, int wordBits, SerialRowValues& out) {
    out = SerialRowValues{};
    for (int row = 0; row < kSerialRows; ++row) {
        out.values[row] = parseSerialRow(rows.text[row], wordBits);
        rows.text[row] = canonicalSerialRow(out.values[row], p == SerialProtocol::Spi);
        if (rows.enabled(row)) out.enableBits |= 1u << (kRowEnableShift + row);
    }
    for (int c = 0; c < 4; ++c) {
        size_t n = 0;
        if (rows.enabled(c)) n += out.values[c].size();
        if (rows.enabled(c + 4)) n += out.values[c + 4].size();
        if (n > kSerialRowValues) return kStrSerialTooLong;
    }
    return 0;
}

int compileSerialMasks(TriggerRecord& r, SerialProtocol p, const SerialRowValues& rows, int dataBits, int wordBits) {
    const size_t masks = masksOf(p);
    std::memset(r.data.data() + masks, 0, kNanlynLayoutBytes);
    if (p == SerialProtocol::Spi) std::memset(r.data.data() + kSpiKinds, 0, 64);
    const uint8_t uartCare = static_cast<uint8_t>(0xFFu << (8 - std::clamp(dataBits, 5, 8)));
    for (int c = 0; c < 4; ++c) {
        const bool ifOn = rows.enableBits & (1u << (kRowEnableShift + c));
        const bool thenOn = rows.enableBits & (1u << (kRowEnableShift + c + 4));
        std::vector<SerialValue> list;
        std::vector<bool> rowEnds;
        for (int part = 0; part < 2; ++part) {
            if (!(part == 0 ? ifOn : thenOn)) continue;
            const auto& values = rows.values[c + 4 * part];
            for (size_t i = 0; i < values.size(); ++i) {
                list.push_back(values[i]);
                rowEnds.push_back(i + 1 == values.size());
            }
        }
        const int n = static_cast<int>(list.size());
        if (n > kSerialRowValues) return kStrSerialSettingError;
        for (int i = 0; i < n; ++i) {
            const int slot = kSerialRowValues - n + i;
            uint8_t* value = maskAt(r, masks, false, c, slot);
            uint8_t* care = maskAt(r, masks, true, c, slot);
            const uint32_t v = list[static_cast<size_t>(i)].value;
            switch (p) {
                case SerialProtocol::Uart:
                    // Characters travel least significant bit first.
                    value[0] = reverseBits(static_cast<uint8_t>(v));
                    care[0] = uartCare;
                    break;
                case SerialProtocol::I2c:
                    value[0] = static_cast<uint8_t>(v);
                    care[0] = 0xFF;
                    break;
                case SerialProtocol::Spi:
                    value[0] = static_cast<uint8_t>(v);
                    care[0] = 0xFF;
                    if (wordBits == 16) {
                        value[1] = static_cast<uint8_t>(v >> 8);
                        care[1] = 0xFF;
                    }
                    r.data[kSpiKinds + 16 * static_cast<size_t>(c) + static_cast<size_t>(i)] = list[static_cast<size_t>(i)].kind;
                    break;
            }
            // SPI ends each row (IF, then THEN) with a discontinuous link: the THEN words may come
            // any time after the IF words; UART and I2C run the condition as one sequence.
            const bool last = p == SerialProtocol::Spi ? rowEnds[static_cast<size_t>(i)] : i + 1 == n;
            setLink(r, masks, c, slot, last ? kSlotDiscontinuous : kSlotContinuous);
        }
    }
    return 0;
}

// --- heads --------------------------------------------------------------------------------------

UartSettings readUart(const TriggerRecord& r) {
    UartSettings s;
    s.channel = word(r, kUartChannel);
    s.options = word(r, kUartOptions);
    s.baud = word(r, kUartBaud);
    s.dataBits = word(r, kUartDataBits);
    s.parity = word(r, kUartParity);
    s.stopBits = word(r, kUartStop);
    return s;
}

I2cSettings readI2c(const TriggerRecord& r) { return {word(r, kI2cSck), word(r, kI2cOptions)}; }

SpiSettings readSpi(const TriggerRecord& r) { return {word(r, kSpiWidth), word(r, kSpiClock), word(r, kSpiOptions)}; }

I2sSettings readI2s(const TriggerRecord& r) {
    I2sSettings s;
    s.bits = word(r, kI2sBits);
    if (s.bits < 1 || s.bits > 24) s.bits = 8;
    s.sck = word(r, kI2sSck);
    const char* text = reinterpret_cast<const char*>(r.data.data() + kI2sText);
    s.text.assign(text, strnlen(text, kI2sTextBytes - 1));
    return s;
}

void writeSerialDefaults(TriggerRecord& r, int mode) {
    switch (mode) {
        case kModeSerial: {
            const UartSettings d;
            setWord(r, kUartChannel, d.channel);
            setWord(r, kUartOptions, d.options);
            setWord(r, kUartBaud, d.baud);
            setWord(r, kUartDataBits, d.dataBits);
            setWord(r, kUartParity, d.parity);
            setWord(r, kUartStop, d.stopBits);
            break;
        }
        case kModeSpi: setWord(r, kSpiWidth, 8); break;
        case kModeI2s: setWord(r, kI2sBits, 8); break;
        default: break;
    }
}

SerialRows storedSerialRows(const TriggerRecord& r, SerialProtocol p) {
    SerialRows rows;
    if (p == SerialProtocol::Spi) {
        const SpiSettings s = readSpi(r);
        const bool wide = s.width == 16;
        for (int c = 0; c < 4; ++c) {
            int n = 0;
            while (n < kSerialRowValues && linkOf(r, kSpiMasks, c, kSerialRowValues - 1 - n) != 0) ++n;
            std::vector<SerialValue> part[2];
            int which = 0;
            for (int i = 0; i < n; ++i) {
                const int slot = kSerialRowValues - n + i;
                const uint8_t* v = r.data.data() + kSpiMasks + kNanlynMaskBytes * static_cast<size_t>(16 * c + slot);
                const uint8_t kind = r.data[kSpiKinds + 16 * static_cast<size_t>(c) + static_cast<size_t>(i)];
                part[which].push_back({static_cast<uint32_t>(v[0] | (wide ? v[1] << 8 : 0)), kind ? kind : uint8_t{kSerialHex}});
                if (linkOf(r, kSpiMasks, c, slot) == kSlotDiscontinuous && which == 0) which = 1;
            }
            for (int k = 0; k < 2; ++k) {
                rows.text[c + 4 * k] = canonicalSerialRow(part[k], true);
                rows.checked[c + 4 * k] = (s.options >> (kRowEnableShift + c + 4 * k)) & 1;
            }
        }
        return rows;
    }
    const size_t values = p == SerialProtocol::Uart ? kUartValues : kI2cValues;
    const size_t kinds = p == SerialProtocol::Uart ? kUartKinds : kI2cKinds;
    const uint32_t options = word(r, p == SerialProtocol::Uart ? kUartOptions : kI2cOptions);
    for (int row = 0; row < kSerialRows; ++row) {
        const uint64_t k = getLe64(r.data.data() + kinds + 8 * static_cast<size_t>(row));
        std::vector<SerialValue> list;
        for (int i = 0; i < kSerialRowValues; ++i) {
            const uint8_t kind = static_cast<uint8_t>((k >> (4 * i)) & 0xF);
            if (kind == kSerialEnd || kind > kSerialString) break;
            list.push_back({r.data[values + 16 * static_cast<size_t>(row) + static_cast<size_t>(i)], kind});
        }
        rows.text[row] = canonicalSerialRow(list, false);
        rows.checked[row] = (options >> (kRowEnableShift + row)) & 1;
    }
    return rows;
}

// --- OK of the row editors ----------------------------------------------------------------------

int applyUartEdit(UartEdit& e, TriggerRecord& r) {
    SerialRowValues rows;
    if (const int refused = checkSerialRows(e.rows, SerialProtocol::Uart, 8, rows)) return refused;
    char* end = nullptr;
    const unsigned long baud = std::strtoul(e.baud.c_str(), &end, 10);
    // A rate of 0 would leave the board's bit timer without a divisor.
    if (e.baud.empty() || baud < 1 || baud > kMaxBaud) return kStrSerialSettingError;
    TriggerRecord out = r;
    const int dataBits = std::clamp(e.dataBits, 5, 8);
    if (const int refused = compileSerialMasks(out, SerialProtocol::Uart, rows, dataBits, 8)) return refused;
    storeRowValues(out, kUartValues, kUartKinds, rows);
    setWord(out, kHeadMarker, 1);
    setWord(out, kUartChannel, static_cast<uint32_t>(std::clamp(e.channel, 0, kNanlynChannels - 1)));
    setWord(out, kUartBaud, static_cast<uint32_t>(baud));
    setWord(out, kUartDataBits, static_cast<uint32_t>(dataBits));
    setWord(out, kUartParity, e.parity == 1 ? 1u : e.parity == 2 ? 2u : 0u);
    setWord(out, kUartStop, e.twoStopBits ? 2u : 0u);
    uint32_t options = rows.enableBits;
    if (e.autoDetect) options |= kUartAutoDetect;
    else if (e.invertedIdle) options |= kUartInvertedIdle;
    setWord(out, kUartOptions, options);
    out.setFrequency(static_cast<uint64_t>(baud) * 16);
    completeProtocolRecord(out, kModeSerial, e.preTrigger);
    r = out;
    return 0;
}

int applyI2cEdit(I2cEdit& e, TriggerRecord& r) {
    SerialRowValues rows;
    if (const int refused = checkSerialRows(e.rows, SerialProtocol::I2c, 8, rows)) return refused;
    if (e.sck < 0 || e.sck > 34) return kStrSckRange34;
    TriggerRecord out = r;
    if (const int refused = compileSerialMasks(out, SerialProtocol::I2c, rows, 8, 8)) return refused;
    storeRowValues(out, kI2cValues, kI2cKinds, rows);
    setWord(out, kHeadMarker, 1);
    setWord(out, kI2cSck, static_cast<uint32_t>(e.sck));
    setWord(out, kI2cOptions, rows.enableBits);
    completeProtocolRecord(out, kModeI2c, e.preTrigger);
    r = out;
    return 0;
}

int applySpiEdit(SpiEdit& e, TriggerRecord& r) {
    const int width = e.sixteenBits ? 16 : 8;
    SerialRowValues rows;
    if (const int refused = checkSerialRows(e.rows, SerialProtocol::Spi, width, rows)) return refused;
    if (e.clock < 0 || e.clock > 33) return kStrSckRange33;
    TriggerRecord out = r;
    if (const int refused = compileSerialMasks(out, SerialProtocol::Spi, rows, 8, width)) return refused;
    setWord(out, kHeadMarker, 1);
    setWord(out, kSpiWidth, static_cast<uint32_t>(width));
    setWord(out, kSpiClock, static_cast<uint32_t>(e.clock));
    uint32_t options = rows.enableBits;
    if (e.csHigh) options |= kSpiCsHigh;
    if (e.fallingEdge) options |= kSpiFalling;
    if (e.lsbFirst) options |= kSpiLsb;
    setWord(out, kSpiOptions, options);
    completeProtocolRecord(out, kModeSpi, e.preTrigger);
    r = out;
    return 0;
}

// --- I2S ----------------------------------------------------------------------------------------

std::vector<I2sWord> parseI2sWords(const std::string& text, int bits) {
    bits = std::clamp(bits, 1, 24);
    const uint32_t mask = (1u << bits) - 1;
    std::vector<I2sWord> out;
    for (std::string t : tokensOf(text)) {
        if (out.size() >= kSerialRowValues) break;
        I2sWord w;
        if (t == "-") {
            w.any = true;
            out.push_back(w);
            continue;
        }
        const char first = static_cast<char>(std::toupper(static_cast<unsigned char>(t[0])));
        if (first == 'L' || first == 'R') {
            w.channel = first == 'R' ? 1 : 0;
            t.erase(0, 1);
        }
        w.hex = endsInH(t);
        w.value = numberOf(t, w.hex) & mask;
        out.push_back(w);
    }
    return out;
}

std::string canonicalI2sText(const std::vector<I2sWord>& words) {
    std::string out;
    char text[16];
    for (const I2sWord& w : words) {
        if (!out.empty()) out += ' ';
        if (w.any) {
            out += '-';
            continue;
        }
        if (w.channel >= 0) out += w.channel ? 'R' : 'L';
        std::snprintf(text, sizeof text, w.hex ? "%Xh" : "%u", w.value);
        out += text;
    }
    return out;
}

void compileI2sMasks(TriggerRecord& r, const std::vector<I2sWord>& words, int bits) {
    bits = std::clamp(bits, 1, 24);
    std::memset(r.data.data() + kI2sMasks, 0, kNanlynLayoutBytes);
    const int n = static_cast<int>(std::min<size_t>(words.size(), kSerialRowValues));
    const uint32_t topBits = ((1u << bits) - 1) << (24 - bits);
    for (int i = 0; i < n; ++i) {
        const I2sWord& w = words[static_cast<size_t>(i)];
        const int slot = kSerialRowValues - n + i;
        uint32_t value = 0, care = 0;
        if (!w.any) {
            value = (w.value << (24 - bits)) & topBits;
            care = topBits;
            if (w.channel >= 0) {
                care |= 1u << 24;
                if (w.channel == 1) value |= 1u << 24;
            }
        }
        putLe32(maskAt(r, kI2sMasks, false, 0, slot), value);
        putLe32(maskAt(r, kI2sMasks, true, 0, slot), care);
        setLink(r, kI2sMasks, 0, slot, w.any ? kSlotDiscontinuous : kSlotContinuous);
    }
}

int applyI2sEdit(const I2sEdit& e, TriggerRecord& r) {
    if (e.sck < 0 || e.sck > 33) return kStrSckRange33;
    const int bits = e.bits >= 1 && e.bits <= 24 ? e.bits : 8;
    const std::vector<I2sWord> words = parseI2sWords(e.text, bits);
    TriggerRecord out = r;
    compileI2sMasks(out, words, bits);
    setWord(out, kHeadMarker, 1);
    setWord(out, kI2sBits, static_cast<uint32_t>(bits));
    setWord(out, kI2sSck, static_cast<uint32_t>(e.sck));
    // The stored text has room for 127 characters: a longer one keeps its whole words only.
    std::string text = canonicalI2sText(words);
    if (text.size() > kI2sTextBytes - 1) text.erase(text.rfind(' ', kI2sTextBytes - 1));
    std::memset(out.data.data() + kI2sText, 0, kI2sTextBytes);
    std::memcpy(out.data.data() + kI2sText, text.data(), text.size());
    out.frequencyHigh = 0;
    completeProtocolRecord(out, kModeI2s, e.preTrigger);
    r = out;
    return 0;
}

// --- glitch -------------------------------------------------------------------------------------

int glitchQuarters(const TriggerRecord& r) {
    const uint64_t mask = getLe64(r.data.data() + kGlitchWidthMask);
    int n = 0;
    while (n < 32 && ((mask >> n) & 1)) ++n;
    return std::clamp(n + 1, kGlitchMinQuarters, kGlitchMaxQuarters);
}

std::string glitchWidthText(int quarters) {
    char text[16];
    std::snprintf(text, sizeof text, "%.2f", quarters / 4.0);
    std::string s = text;
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s;
}

int stepGlitchWidth(int quarters, int delta) {
    return std::clamp(quarters + delta, kGlitchMinQuarters, kGlitchMaxQuarters);
}

int glitchQuartersOfText(const std::string& text) {
    const double w = std::strtod(text.c_str(), nullptr);
    // Outside 0.5..8.25 ns the mask has no room (and a huge number no meaning): held in range.
    if (!(w > 0.5)) return kGlitchMinQuarters;
    if (w >= 8.25) return kGlitchMaxQuarters;
    return std::clamp(static_cast<int>(4 * w + 0.5), kGlitchMinQuarters, kGlitchMaxQuarters);
}

void applyGlitchWidth(TriggerRecord& r, int quarters) {
    quarters = std::clamp(quarters, kGlitchMinQuarters, kGlitchMaxQuarters);
    std::memset(r.data.data() + kGlitchValueBytes, 0, 12);
    std::memset(r.data.data() + kGlitchWidthMask, 0, kNanlynMaskBytes);
    const uint64_t bits = (uint64_t{1} << (quarters - 1)) - 1;
    putLe32(r.data.data() + kGlitchWidthMask, static_cast<uint32_t>(bits));
}

}  // namespace kv
