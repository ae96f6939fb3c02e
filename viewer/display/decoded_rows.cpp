#include "viewer/display/decoded_rows.h"

#include <algorithm>

namespace kv {

Protocol waveRowProtocol(const WaveRow& r) {
    if (r.kind != RowKind::Decoded) return Protocol::None;
    if (r.channels.size() == 1) return (r.flags & kLabelUart) ? Protocol::Uart : Protocol::None;
    if (r.channels.size() == 2) return (r.flags & kLabelI2c) ? Protocol::I2c : Protocol::None;
    if (r.channels.size() == 3) {
        if (r.flags & kLabelI2s) return Protocol::I2s;
        if (r.flags & kLabelSpi) return Protocol::Spi;
    }
    return Protocol::None;
}

int32_t decodedWidthBits(Protocol p, uint32_t flags) {
    switch (p) {
        case Protocol::I2s: return i2sWordBits(flags);
        case Protocol::Spi: return (spiOptions(flags) & kSpi16Bits) ? 16 : 8;
        default: return 8;
    }
}

bool decodedItemText(Protocol p, uint32_t value, const WaveRow& r, const RenderStyle& style, std::string& text,
                     int32_t& colorIndex) {
    if (!style.valueText) return false;
    colorIndex = r.colorIndex;
    const int32_t width = decodedWidthBits(p, r.flags);
    switch (p) {
        case Protocol::Uart: text = style.valueText(value & 0xFF, r.format, 8, r.flags); return true;
        case Protocol::I2c:
            if (value == static_cast<uint32_t>(kI2cStartMarker)) return false;
            if (value & kI2cAddress) colorIndex = kAddressColorIndex;
            text = style.valueText(value & 0xFF, r.format, 8, r.flags);
            return true;
        case Protocol::I2s:
            if (value & kI2sFirstWord) return false;
            text = ((value & kI2sRight) ? "R_" : "L_") +
                   style.valueText(value & kI2sSampleMask & ((1u << width) - 1), r.format, width, r.flags);
            return true;
        case Protocol::Spi:
            if (value & kSpiMarkers) return false;
            text = style.valueText(value & ((1u << width) - 1), r.format, width, r.flags);
            return true;
        case Protocol::None: break;
    }
    return false;
}

std::string decodedValueText(const WaveRow& r, const RenderStyle& style, int64_t s, bool suffix) {
    const Protocol p = waveRowProtocol(r);
    uint32_t value = 0;
    std::string text;
    int32_t color = 0;
    if (!r.decoded || !decodedValueAt(p, *r.decoded, s, value)) return std::string();
    // decodedValueAt gives I2C and UART as bytes; the item's own word tells markers apart.
    const size_t k = static_cast<size_t>(
        std::upper_bound(r.decoded->positions.begin(), r.decoded->positions.begin() + r.decoded->size(), s) -
        r.decoded->positions.begin());
    const size_t item = itemsStartAtPositions(p) ? k - 1 : k;
    if (!decodedItemText(p, static_cast<uint32_t>(r.decoded->values[item]), r, style, text, color)) return std::string();
    static const char kSuffix[] = {'h', 'd', 'o', 'b'};
    if (suffix && r.format >= 0 && r.format < 4) text += kSuffix[r.format];
    return text;
}

}  // namespace kv
