#include "runtime/board_caps.h"

#include <cstddef>

#include "runtime/slot_record.h"

namespace kv {

namespace {
const int kGeneralCodes[] = {0x1032, 0x1132, 0x1164, 0x2031, 0x2032, 0x2036, 0x2064, 0x2132,
                             0x2136, 0x2164, 0x2232, 0x2236, 0x2264, 0x2332, 0x2364};
const int kIsaCodes[] = {0x1032, 0x1064, 0x1132, 0x1164};
const int kPocketCodes[] = {0x1016, 0x1116, 0x1216, 0x1516, 0x1616};

template <size_t N>
bool listed(const int (&codes)[N], int code) {
    for (int c : codes)
        if (c == code) return true;
    return false;
}

void setMargins(BoardCaps& c, int a, int b, int d, int e, int f, int g) {
    const int m[6] = {a, b, d, e, f, g};
    for (int i = 0; i < 6; ++i) c.margins[i] = m[i];
}

int channelsByCode(int code) {
    const int low = code & 0xFF;
    if (low == 0x16) return 16;
    if (low == 0x31 || low == 0x32) return 32;
    return 64;
}

// ISA cards and the first family share one memory layout: 16K positions of four words a sample.
void setFourWordLayout(BoardCaps& c) {
    c.depth = 0x4000;
    c.triggerDelay = 3;
    c.wordsPerSample = 4;
    c.patternUnit = 2;
    c.readyMask = 0x4000;
    c.wrapBit = 0x8000;
}

}  // namespace

bool productCodeAccepted(int interfaceCode, int code) {
    if (isIsaInterface(interfaceCode)) return listed(kIsaCodes, code);
    if (interfaceCode == kIfUsbPocket) return listed(kPocketCodes, code & 0x7FFF) || (code & 0x70FF) == 0x2016;
    return listed(kGeneralCodes, code);
}

int foldedProductCode(int code) {
    switch (code) {
        case 0x2031: return 0x2032;
        case 0x2232: case 0x2332: return 0x2132;
        case 0x2264: case 0x2364: return 0x2164;
        default: return code;
    }
}

int nanlynVariantOf(int code) {
    switch (code) {
        case 0x2036: return 1;
        case 0x2136: return 2;
        case 0x2236: return 4;
        default: return 0;
    }
}
bool isNanlynCode(int code) { return nanlynVariantOf(code) != 0; }

BoardCaps boardCapabilities(int interfaceCode, int family, int code) {
    BoardCaps c;
    c.bitsPerWord = 64;
    if (family == kFamilyNanlyn) {
        c.nanlynVariant = nanlynVariantOf(code);
        c.channels = 36;
        c.depth = c.nanlynVariant == 1 ? 25000 : c.nanlynVariant == 2 ? 520000 : 2100000;
        c.triggerDelay = 0;
        c.wordsPerSample = 1;
        c.patternUnit = 16;
        c.readyMask = 0x200000;
        c.wrapBit = 0x400000;
        c.captureLength = c.nanlynVariant == 1 ? 4000 : 60000;
        setMargins(c, -30, 60, -6, 20, 0, 0);
        return c;
    }
    c.channels = channelsByCode(code);
    c.is512K = (code & 0x7000) == 0x2000 && (code & 0xFF) > 0x16;
    if (isIsaInterface(interfaceCode)) {
        c.is4K = true;
        setFourWordLayout(c);
        setMargins(c, -3, 12, -6, 20, 0, 0);
    } else if (interfaceCode == kIfUsbPocket) {
        c.isPocket = true;
        if (code == 0x1216 || code == 0x2216) c.depth = 0x20000;
        else if (code == 0x1516) c.depth = 0x100000;
        else if (code == 0x1616 || code == 0x2416) c.depth = 0x80000;
        else c.depth = 0x10000;
        c.triggerDelay = 4;
        c.wordsPerSample = 1;
        c.patternUnit = 16;
        c.readyMask = static_cast<uint32_t>(c.depth);
        c.wrapBit = 0x400000;
        if (isSynthPocketCode(code)) {
            const int w = family == kFamilyPocketPlus ? 4 : 2;
            setMargins(c, -2, w, -2, w, -2, w);
        } else {
            setMargins(c, -1, 1, 0, 4, -2, 4);
        }
        if (code == 0x2116 || code == 0x2216 || code == 0x2416)
            c.thresholdOffset = (family == kFamilyPocketB || family == kFamilyPocketPlus) ? 27 : 60;
        else
            c.thresholdOffset = -170;
    } else if (family == kFamily1) {
        setFourWordLayout(c);
        setMargins(c, -6, 12, -10, 24, -14, 24);
    } else {
        if (code == 0x2232 || code == 0x2264) c.depth = 0x40000;
        else if (code == 0x2332 || code == 0x2364) c.depth = 0x100000;
        else c.depth = 0x10000;
        c.triggerDelay = 4;
        c.wordsPerSample = 1;
        c.patternUnit = 16;
        c.readyMask = 0x20000000;
        c.wrapBit = 0x800000;
        setMargins(c, -2, 6, 4, 2, 2, 6);
    }
    c.captureLength = c.depth;
    return c;
}

int thresholdDac(bool nanlyn, int group, int v, int offset) {
    if (nanlyn) {
        if (v > 6000) v = 6000;
        if (v < -6000) v = -6000;
        return ((((1230 - 57 * v / 201) * 201 / 144) + 1100) * 256) / 5480;
    }
    // Any int may arrive from a caller: work in 64 bits so the difference cannot overflow.
    int64_t d = static_cast<int64_t>(kThresholdReferenceMv) - v;
    if (d > kThresholdUpperMv || d < kThresholdLowerMv || group < 0 || group > 3) return -1;
    d = d + offset + 4020;
    int64_t dac = d / 55 + (d % 55 > 27 ? 1 : 0);
    if (dac < 0) dac = 0;
    if (dac > 255) dac = 255;
    return static_cast<int>(dac);
}

}  // namespace kv
