#include "viewer/trigger/trigger_record.h"

#include <algorithm>
#include <cstring>

#include "viewer/trigger/serial_trigger.h"

namespace kv {

bool operator==(const TriggerRecord& a, const TriggerRecord& b) {
    uint32_t fa[kTriggerDataWords], fb[kTriggerDataWords];
    triggerFields(a, fa);
    triggerFields(b, fb);
    return std::memcmp(fa, fb, sizeof fa) == 0 && a.links == b.links && a.data == b.data;
}

void triggerFields(const TriggerRecord& r, uint32_t f[kTriggerDataWords]) {
    f[0] = r.flags;
    f[1] = r.levelStride;
    f[2] = r.levelCount;
    f[3] = r.delay;
    f[4] = static_cast<uint32_t>(r.width);
    f[5] = static_cast<uint32_t>(r.passCount);
    f[6] = r.frequencyLow;
    f[7] = r.levelRepeat;
    f[8] = r.mode;
    f[9] = r.clock;
    f[10] = r.triggerPosition;
    f[11] = r.frequencyHigh;
    f[12] = r.reserved;
    f[13] = r.conditionCounts;
}

void setTriggerFields(TriggerRecord& r, const uint32_t f[kTriggerDataWords]) {
    r.flags = f[0];
    r.levelStride = f[1];
    r.levelCount = f[2];
    r.delay = f[3];
    r.width = static_cast<int32_t>(f[4]);
    r.passCount = static_cast<int32_t>(f[5]);
    r.frequencyLow = f[6];
    r.levelRepeat = f[7];
    r.mode = f[8];
    r.clock = f[9];
    r.triggerPosition = f[10];
    r.frequencyHigh = f[11];
    r.reserved = f[12];
    r.conditionCounts = f[13];
}

bool isNanlynProduct(int32_t code) { return code == 0x2036 || code == 0x2136 || code == 0x2236; }

bool isDirectTriggerFamily(int32_t code) {
    const int32_t low = code & 0xFF;
    return (code & 0x7000) != 0x2000 || low == 0x16 || low == 0x36 || code == 0x2031 || code == 0x2032 ||
           code == 0x2064;
}

bool offersEitherEdge(const TriggerDevice& d) {
    const int32_t code = d.productCode;
    if (code == 0x2031 || code == 0x2032 || code == 0x2064) return false;
    const int32_t low = code & 0xFF;
    return d.nanlyn || low == 0x16 || ((code & 0x7000) == 0x2000 && low != 0x16 && low != 0x36);
}

void resetTriggerRecord(TriggerRecord& r, int mode, const TriggerDevice& d) {
    const uint32_t none[kTriggerDataWords] = {};
    setTriggerFields(r, none);
    r.levelStride = kTriggerLevelBytes;
    r.setFrequency(100000000);
    r.levelRepeat = 1;
    r.clock = 1;
    r.mode = static_cast<uint32_t>(mode);
    r.links.fill(kLinkContinuous);
    // The Nanlyn block holds masks, in which zero means "don't care"; the byte levels say it with 8.
    r.data.fill(d.nanlyn ? 0 : kConditionDontCare);
    const auto oneLevel = [&r] {
        r.links[0] = kLinkEnd;
        r.levelCount = 1;
    };
    switch (mode) {
        case kModeSingle:
            oneLevel();
            if (d.nanlyn) {
                r.setFrequency(4000000000ull);
                r.flags |= kTriggerFlagPreTrigger;
            }
            break;
        case kModeMulti:
            r.links[7] = kLinkDiscontinuous;
            r.links[15] = kLinkEnd;
            r.levelCount = 16;
            if (d.nanlyn) r.flags |= kTriggerFlagPreTrigger;
            break;
        case kModeDual:
            r.links[3] = kLinkEnd;
            r.links[7] = kLinkEnd;
            break;
        case kModeWidth: oneLevel(); break;
        case kModeNoTrigger: r.passCount = -1; break;
        case kModeSerial:
            oneLevel();
            if (d.nanlyn) {
                r.flags |= kTriggerFlagPreTrigger;
                r.setFrequency(9600 * 16);  // sixteen samples per bit at the default 9600 baud
                writeSerialDefaults(r, mode);
            }
            break;
        case kModeGlitch:
            if (d.nanlyn) oneLevel();
            break;
        default:  // I2C, SPI, I2S
            oneLevel();
            if (d.nanlyn) {
                r.flags |= kTriggerFlagPreTrigger;
                writeSerialDefaults(r, mode);
            }
            break;
    }
}

// --- 64-channel single level --------------------------------------------------------------------

namespace {

bool isEdge(uint8_t code) {
    return code == kConditionRising || code == kConditionFalling || code == kConditionEitherEdge;
}

// Links of a stored single level: one level, an edge as two, an either-edge as two paths of two.
void setSingleLevelLinks(TriggerRecord& r, bool edge, bool either) {
    if (!edge) {
        r.links[0] = kLinkEnd;
        r.levelCount = 1;
        return;
    }
    r.links[0] = kLinkContinuous;
    r.links[1] = kLinkEnd;
    r.levelCount = 2;
    if (either) {
        r.links[4] = kLinkContinuous;
        r.links[5] = kLinkEnd;
    }
}

}  // namespace

void storeOneLevel(TriggerRecord& r, const uint8_t oneLevel[kTriggerChannels], int channelCount) {
    r.flags &= ~kTriggerFlagEitherEdge;
    bool edge = false;
    uint8_t* l0 = r.level(0);
    uint8_t* l1 = r.level(1);
    uint8_t* l4 = r.level(4);
    uint8_t* l5 = r.level(5);
    for (int c = 0; c < kTriggerChannels; ++c) {
        if (c >= channelCount) {
            l0[c] = l1[c] = kConditionDontCare;
            continue;
        }
        switch (oneLevel[c]) {
            case kConditionLow:
            case kConditionHigh: l0[c] = l1[c] = l4[c] = l5[c] = oneLevel[c]; break;
            case kConditionRising:
                l0[c] = kConditionLow;
                l1[c] = kConditionHigh;
                edge = true;
                break;
            case kConditionFalling:
                l0[c] = kConditionHigh;
                l1[c] = kConditionLow;
                edge = true;
                break;
            case kConditionEitherEdge:
                l0[c] = l5[c] = kConditionLow;
                l1[c] = l4[c] = kConditionHigh;
                r.flags |= kTriggerFlagEitherEdge;
                edge = true;
                break;
            default: l0[c] = l1[c] = l4[c] = l5[c] = kConditionDontCare; break;
        }
    }
    setSingleLevelLinks(r, edge, (r.flags & kTriggerFlagEitherEdge) != 0);
}

void readOneLevel(const TriggerRecord& r, uint8_t oneLevel[kTriggerChannels]) {
    const uint8_t* l0 = r.level(0);
    const uint8_t* l1 = r.level(1);
    const bool pairs = r.levelCount != 1 && r.links[0] == kLinkContinuous;
    const bool either = (r.flags & kTriggerFlagEitherEdge) != 0;
    for (int c = 0; c < kTriggerChannels; ++c) {
        uint8_t code = l0[c];
        if (pairs && l0[c] == kConditionLow && l1[c] == kConditionHigh)
            code = either ? kConditionEitherEdge : kConditionRising;
        else if (pairs && l0[c] == kConditionHigh && l1[c] == kConditionLow)
            code = either ? kConditionEitherEdge : kConditionFalling;
        oneLevel[c] = code;
    }
}

// --- Nanlyn layout ------------------------------------------------------------------------------

namespace {

size_t maskOffset(int condition, int slot) {
    return static_cast<size_t>(kNanlynMaskBytes * (kTriggerLevels * condition + slot));
}

// Bit n of the 48-bit mask at `offset`.
bool maskBit(const TriggerRecord& r, size_t offset, int n) { return (r.data[offset + n / 8] >> (n % 8)) & 1; }
void setMaskBit(TriggerRecord& r, size_t offset, int n) {
    r.data[offset + n / 8] = static_cast<uint8_t>(r.data[offset + n / 8] | 1u << (n % 8));
}

bool careBit(const TriggerRecord& r, int cond, int slot, int ch) {
    return maskBit(r, kNanlynCareOffset + maskOffset(cond, slot), ch);
}
bool valueBit(const TriggerRecord& r, int cond, int slot, int ch) { return maskBit(r, maskOffset(cond, slot), ch); }
void setCare(TriggerRecord& r, int cond, int slot, int ch) { setMaskBit(r, kNanlynCareOffset + maskOffset(cond, slot), ch); }
void setValue(TriggerRecord& r, int cond, int slot, int ch) { setMaskBit(r, maskOffset(cond, slot), ch); }

uint32_t linkWord(const TriggerRecord& r, int cond) { return getLe32(r.data.data() + kNanlynLinkOffset + 4 * cond); }
void setLinkWord(TriggerRecord& r, int cond, uint32_t w) { putLe32(r.data.data() + kNanlynLinkOffset + 4 * cond, w); }

// Slot links of the Nanlyn layout.
enum : uint32_t { kSlotUnused = 0, kSlotDiscontinuous = 2, kSlotContinuous = 3 };

// The edge a channel shows in slots 14 and 15 of a condition: rising, falling or none (0).
uint8_t slotEdge(const TriggerRecord& r, int cond, int ch) {
    if (!careBit(r, cond, 14, ch)) return 0;
    const bool before = valueBit(r, cond, 14, ch), after = valueBit(r, cond, 15, ch);
    if (before == after) return 0;
    return after ? kConditionRising : kConditionFalling;
}

}  // namespace

void storeOneLevelNanlyn(TriggerRecord& r, const uint8_t oneLevel[kTriggerChannels]) {
    std::fill(r.data.begin(), r.data.begin() + kNanlynLayoutBytes, 0);
    bool edge = false, either = false;
    for (int ch = 0; ch < kNanlynChannels; ++ch) {
        const uint8_t code = oneLevel[ch];
        if (code != kConditionLow && code != kConditionHigh && !isEdge(code)) continue;
        for (int cond = 0; cond < 2; ++cond)
            for (int slot = 14; slot < 16; ++slot) {
                setCare(r, cond, slot, ch);
                if (code == kConditionHigh) setValue(r, cond, slot, ch);
            }
        if (code == kConditionRising) {
            setValue(r, 0, 15, ch);
            setValue(r, 1, 15, ch);
        } else if (code == kConditionFalling) {
            setValue(r, 0, 14, ch);
            setValue(r, 1, 14, ch);
        } else if (code == kConditionEitherEdge) {
            setValue(r, 0, 15, ch);  // rising in condition 0
            setValue(r, 1, 14, ch);  // falling in condition 1
            either = true;
        }
        edge = edge || isEdge(code);
    }
    // The top byte of a link word covers slots 12-15: 0xC0 is slot 15 alone, 0xF0 slots 14 and 15
    // continuous.
    setLinkWord(r, 0, (edge ? 0xF0u : 0xC0u) << 24);
    if (either) setLinkWord(r, 1, 0xF0u << 24);
    setSingleLevelLinks(r, edge, false);
}

void readOneLevelNanlyn(const TriggerRecord& r, uint8_t oneLevel[kTriggerChannels]) {
    for (int ch = 0; ch < kTriggerChannels; ++ch) {
        if (ch >= kNanlynChannels) {
            oneLevel[ch] = kConditionDontCare;
            continue;
        }
        const uint8_t edge = slotEdge(r, 0, ch);
        if (edge) {
            const uint8_t other = slotEdge(r, 1, ch);
            oneLevel[ch] = other && other != edge ? static_cast<uint8_t>(kConditionEitherEdge) : edge;
        } else if (!careBit(r, 0, 15, ch)) {
            oneLevel[ch] = kConditionDontCare;
        } else {
            oneLevel[ch] = valueBit(r, 0, 15, ch) ? kConditionHigh : kConditionLow;
        }
    }
}

void storeOneLevelFor(TriggerRecord& r, const uint8_t oneLevel[kTriggerChannels], const TriggerDevice& d) {
    if (d.nanlyn)
        storeOneLevelNanlyn(r, oneLevel);
    else
        storeOneLevel(r, oneLevel, d.channelCount);
}

void readOneLevelFor(const TriggerRecord& r, uint8_t oneLevel[kTriggerChannels], const TriggerDevice& d) {
    if (d.nanlyn)
        readOneLevelNanlyn(r, oneLevel);
    else
        readOneLevel(r, oneLevel);
}

void readNanlynLevels(const TriggerRecord& r, int cond, int count, TriggerRecord& work) {
    if (&work != &r) work = r;
    count = std::clamp(count, 0, static_cast<int>(kTriggerLevels));
    TriggerRecord source = r;  // the masks, before the levels overwrite them
    work.data.fill(kConditionDontCare);
    work.links.fill(kLinkContinuous);
    for (int l = 0; l < count; ++l) {
        const int slot = kTriggerLevels - count + l;
        uint8_t* level = work.level(l);
        for (int ch = 0; ch < kNanlynChannels; ++ch)
            level[ch] = !careBit(source, cond, slot, ch)   ? kConditionDontCare
                        : valueBit(source, cond, slot, ch) ? kConditionHigh
                                                           : kConditionLow;
        const uint32_t link = linkWord(source, cond) >> (2 * slot) & 3;
        work.links[l] = link == kSlotDiscontinuous ? kLinkDiscontinuous : kLinkContinuous;
    }
    if (count > 0) work.links[count - 1] = kLinkEnd;
}

void storeNanlynLevels(TriggerRecord& r, int cond, const TriggerRecord& work, int count) {
    count = std::clamp(count, 0, static_cast<int>(kTriggerLevels));
    TriggerRecord source = work;  // `work` may be `r` itself
    for (int slot = 0; slot < kTriggerLevels; ++slot) {
        std::memset(r.data.data() + maskOffset(cond, slot), 0, kNanlynMaskBytes);
        std::memset(r.data.data() + kNanlynCareOffset + maskOffset(cond, slot), 0, kNanlynMaskBytes);
    }
    uint32_t links = 0;
    for (int l = 0; l < count; ++l) {
        const int slot = kTriggerLevels - count + l;
        const uint8_t* level = source.level(l);
        for (int ch = 0; ch < kNanlynChannels; ++ch) {
            if (level[ch] != kConditionLow && level[ch] != kConditionHigh) continue;
            setCare(r, cond, slot, ch);
            if (level[ch] == kConditionHigh) setValue(r, cond, slot, ch);
        }
        const uint32_t link = source.links[l] == kLinkDiscontinuous ? kSlotDiscontinuous : kSlotContinuous;
        links |= link << (2 * slot);
    }
    setLinkWord(r, cond, links);
}

int levelsToEnd(const TriggerRecord& r, int first) {
    for (int l = first; l < kTriggerLevels; ++l)
        if (r.links[l] == kLinkEnd) return l - first + 1;
    return 0;
}

namespace {

// Links from `first` before the first end, plus one; 16 - first + 1 without an end, as a sequence
// that runs to the last level.
int countToEnd(const TriggerRecord& r, int first) {
    const int n = levelsToEnd(r, first);
    return n ? n : kTriggerLevels - first;
}

}  // namespace

void completeTriggerRecord(TriggerRecord& r, int mode, const TriggerDevice& d, const TriggerRecord* conditions) {
    switch (mode) {
        case kModeSingle:
            r.levelCount = countToEnd(r, (r.flags & kTriggerFlagEitherEdge) ? 4 : 0);
            r.width = 0;
            r.levelRepeat = 1;
            break;
        case kModeMulti: {
            r.levelCount = std::min(countToEnd(r, 0), 16);
            r.width = 0;
            r.levelRepeat = 1;
            if (d.nanlyn) {
                const TriggerRecord levels = conditions ? *conditions : r;
                std::fill(r.data.begin(), r.data.begin() + kNanlynLayoutBytes, 0);
                storeNanlynLevels(r, 0, levels, static_cast<int>(r.levelCount));
            }
            break;
        }
        case kModeDual:
            r.width = 0;
            r.levelRepeat = 1;
            if (d.nanlyn && conditions) {
                std::fill(r.data.begin(), r.data.begin() + kNanlynLayoutBytes, 0);
                uint32_t counts = 0;
                int most = 0;
                for (int c = 0; c < kNanlynConditions; ++c) {
                    const int n = levelsToEnd(conditions[c]);
                    storeNanlynLevels(r, c, conditions[c], n);
                    counts |= static_cast<uint32_t>(n) << (8 * c);
                    most = std::max(most, n);
                }
                r.conditionCounts = counts;
                // The runtime refuses a record without levels; the longest condition tells how
                // many slots the conditions use.
                r.levelCount = static_cast<uint32_t>(std::max(most, 1));
            } else {
                if (!levelsToEnd(r, 0) || levelsToEnd(r, 0) > 4) r.links[3] = kLinkEnd;
                if (!levelsToEnd(r, 4) || levelsToEnd(r, 4) > 4) r.links[7] = kLinkEnd;
                r.levelCount = countToEnd(r, 4);
            }
            break;
        case kModeWidth:
            r.levelCount = 1;
            r.links[0] = kLinkEnd;
            r.levelRepeat = 1;
            break;
        case kModeNoTrigger:
            r.delay = 0;
            r.width = 0;
            r.levelCount = 1;
            r.levelRepeat = 1;
            r.passCount = -1;
            std::fill(r.data.begin(), r.data.begin() + kTriggerLevelBytes, kConditionDontCare);
            r.links[0] = kLinkEnd;
            break;
        default: break;
    }
    r.mode = static_cast<uint32_t>(mode);
}

void prepareForProgramming(TriggerRecord& r, const TriggerDevice& d) {
    r.levelStride = kTriggerLevelBytes;
    if (!d.nanlyn && isDirectTriggerFamily(d.productCode)) {
        r.delay = 0;
        r.width = 0;
        r.levelRepeat = r.clock == 1 && r.levelCount != 2 ? 2 : 1;
    }
}

KvTriggerSpec triggerSpecOf(const TriggerRecord& r, uint8_t links[4 * kTriggerLevels]) {
    KvTriggerSpec s;
    triggerFields(r, s.field);
    for (int l = 0; l < kTriggerLevels; ++l) putLe32(links + 4 * l, r.links[l]);
    s.counts = links;
    s.pattern = r.data.data();
    return s;
}

}  // namespace kv
