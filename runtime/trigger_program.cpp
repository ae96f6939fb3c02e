#include "runtime/trigger_program.h"

#include <algorithm>
#include <cstring>

#include "runtime/board_caps.h"
#include "runtime/le_bytes.h"
#include "runtime/rate_tables.h"
#include "runtime/sample_clock.h"

namespace kv {

namespace {

enum : uint8_t {
    kCmdLoadTrigger = 0x02,
    kCmdPocketPattern = 0x02,
    kCmdPocketMask = 0x05,
    kCmdStartAddress = 0x0F,
};
enum : uint16_t { kIsaLoadTrigger = 0x9800, kIsaShiftCondition = 0x9C00 };
enum : int { kGroupChannels = 16, kGroups = 4, kTableSlots = 8, kIsaHalfBytes = 30, kIsaSettleMs = 500 };
enum : uint8_t { kBankTrigger = 8, kBankTriggerSecond = 12 };
enum : int { kAddrRegSlots = 4 };
constexpr uint32_t kNanlynUart = 224, kNanlynI2c = 208, kNanlynSpi = 80, kNanlynI2s = 144;
enum : int { kNanlynLevelBlockBytes = 784, kNanlynChannels = 36 };

uint8_t conditionAt(const TriggerCopy& t, int slot, int channel) {
    const size_t at = static_cast<size_t>(slot) * t.patternSize + channel;
    return channel < t.patternSize && at < t.patterns.size() ? t.patterns[at] : static_cast<uint8_t>(kCondDontCare);
}

int loadCommand(KvDevice& d) {
    if (d.slot.family == kFamily1) return d.io.sendFrame({kFrameSync0, kFrameSync1, kFrameFamily1, kCmdLoadTrigger});
    return d.io.sendFrame({kFrameSync0, kFrameSync1, kFrameFamily3, kCmdLoadTrigger});
}

int writeTable(KvDevice& d, std::vector<uint8_t>& table) {
    // The board's address counter wraps after the last byte: byte 0 goes once more.
    table.push_back(table[0]);
    const int ok = d.io.writeBlock(table.data(), table.size());
    table.pop_back();
    return ok;
}

int programPocket(KvDevice& d, const TriggerCopy& t) {
    writeCaptureAddress(d, 0);
    const PocketTriggerWords w = pocketTriggerWords(t);
    const uint8_t n = (t.flags & kTrFlagSecondSet) ? 17 : static_cast<uint8_t>(t.slotCount - 1);
    int ok = d.io.sendFrame({kFrameSync0, kFrameSync1, kFramePocket, kCmdPocketPattern, static_cast<uint8_t>(w.a),
                             static_cast<uint8_t>(w.a >> 8), static_cast<uint8_t>(w.c),
                             static_cast<uint8_t>(w.c >> 8), n});
    ok &= d.io.sendFrame({kFrameSync0, kFrameSync1, kFramePocket, kCmdPocketMask, static_cast<uint8_t>(w.mask),
                          static_cast<uint8_t>(w.mask >> 8), 0x00});
    return ok;
}

int programTriggerMemory(KvDevice& d, const TriggerCopy& t) {
    writeCaptureAddress(d, 0);
    resetBoard(d);
    std::vector<uint8_t> table;
    int ok = 1;
    for (int n = 0; n < kGroups; ++n) {
        buildTriggerTable(t, n, 0, std::min(t.slotCount, static_cast<int>(kTableSlots)), false, table);
        ok &= writeBankRegister(d, static_cast<uint8_t>(kBankTrigger + n));
        ok &= loadCommand(d);
        ok &= writeTable(d, table);
        resetBoard(d);
    }
    ok &= writeBankRegister(d, 0);
    ok &= writeAddressRegister(d, kAddrRegSlots, static_cast<uint16_t>(t.slotCount));
    return ok;
}

int program512K(KvDevice& d, const RuntimeEnv& env, const TriggerCopy& t) {
    setupSampleClock(d, env, kNoInternalRate, t.clockSource, false);
    writeCaptureAddress(d, 0);
    resetBoard(d);
    std::vector<uint8_t> table;
    int ok = 1;
    for (int p = 0; p < 2; ++p) {
        const int base = p == 0 ? kBankTrigger : kBankTriggerSecond;
        const int slots = ((p == 0 && t.slotCount > 7) || t.slotCount == 16) ? 8 : t.slotCount % 8;
        for (int g = 0; g < kGroups; ++g) {
            buildTriggerTable(t, g, 8 * p, slots, true, table);
            ok &= writeBankRegister(d, static_cast<uint8_t>(base + g));
            ok &= d.io.sendFrame({kFrameSync0, kFrameSync1, kFrameFamily3, kCmdStartAddress, 0xFF, 0xFF});
            ok &= loadCommand(d);
            ok &= writeTable(d, table);
            resetBoard(d);
        }
    }
    ok &= writeBankRegister(d, 0);
    return ok;
}

uint8_t isaCondition(const TriggerCopy& t, int channel) {
    const uint8_t h = conditionAt(t, 0, channel);
    if (t.slotCount < 2) return h;
    const uint8_t g = conditionAt(t, 1, channel);
    if (h == kCondLow && g == kCondLow) return kCondLow;
    if (h == kCondHigh && g == kCondHigh) return kCondHigh;
    if (h == kCondHigh && g == kCondLow) return kCondFalling;
    if (h == kCondLow && g == kCondHigh) return kCondRising;
    return kCondDontCare;
}

int programIsa(KvDevice& d, const RuntimeEnv& env, const TriggerCopy& t) {
    uint8_t halves[2][kIsaHalfBytes];
    for (int i = 0; i < kIsaHalfBytes; ++i) {
        if (t.flags & kTrFlagHalfRate) {
            // Half rate interleaves the two halves on the same channels.
            halves[0][i] = halves[1][i] = isaCondition(t, i);
        } else {
            halves[0][i] = isaCondition(t, i);
            halves[1][i] = isaCondition(t, kIsaHalfBytes + i);
        }
    }
    writeControlRegister(d, 0);
    if (env.sleepMs) env.sleepMs(kIsaSettleMs);
    int ok = 1;
    // The chain shifts toward its far end: the last condition of the second half goes in first.
    for (int h = 1; h >= 0; --h)
        for (int i = kIsaHalfBytes - 1; i >= 0; --i)
            ok &= d.io.writeIsaCommand(static_cast<uint16_t>(kIsaShiftCondition | halves[h][i]));
    return ok;
}

int programNanlyn(KvDevice& d, const TriggerCopy& t) {
    BoardIo& io = d.io;
    if (d.mode.triggerBlock == 16 && d.mode.triggerBlock2 == 4) {
        uint32_t offset = 0;
        if (d.mode.features & kModeFeatureUart) offset = kNanlynUart;
        else if (d.mode.features & kModeFeatureI2c) offset = kNanlynI2c;
        else if (d.mode.features & kModeFeatureSpi) offset = kNanlynSpi;
        else if (d.mode.features & kModeFeatureI2s) offset = kNanlynI2s;
        uint16_t words[4 + kNanlynLevelBlockBytes / 2] = {kFrameSync0, kFrameSync1, kFramePocket, kCmdLoadTrigger};
        for (int i = 0; i < kNanlynLevelBlockBytes / 2; ++i) words[4 + i] = getLe16(t.patterns.data() + offset + 2 * i);
        io.writeAddress(kNanlynCtlArm);
        io.writeAddress(kNanlynCtlRun);
        return io.sendWordFrame(words, sizeof words / sizeof words[0]);
    }
    // The level trigger of the fast modes: channels that must be high, that must change and that do
    // not matter, from the last slot of the first condition (where a one-level trigger sits), and a
    // mode word with the 9-channel groups that take no part.
    const uint64_t high = nanlynMask(t.patterns.data(), kNanlynValueMasks, 0, kNanlynSlots - 1);
    const uint64_t care = nanlynMask(t.patterns.data(), kNanlynCareMasks, 0, kNanlynSlots - 1);
    const uint64_t change = 0;
    const uint64_t dontCare = ~care & kNanlynChannelBits;
    uint16_t groupsUsed = 0;
    for (int g = 0; g < 4; ++g)
        if (care & (0x1FFull << (9 * g))) groupsUsed = static_cast<uint16_t>(groupsUsed | 1u << g);
    const uint16_t modeWord = static_cast<uint16_t>((care ? 0xC000 : 0x8000) | (~groupsUsed & 0xF));
    auto w = [](uint64_t m, int i) { return static_cast<uint16_t>(m >> (16 * i)); };
    const uint16_t block[14] = {kFrameSync0, kFrameSync1, kFramePocket, kCmdLoadTrigger, w(high, 0), w(high, 1),
                                w(high, 2), w(change, 0), w(change, 1), w(change, 2), w(dontCare, 0), w(dontCare, 1),
                                w(dontCare, 2), modeWord};
    return io.sendWordFrame(block, 14);
}

}  // namespace

bool expandTrigger(const KvDevice& d, const KvTriggerSpec& s, TriggerCopy& t) {
    t = TriggerCopy();
    const int64_t levels = static_cast<int32_t>(s.field[kTrLevels]);
    const int64_t slots = static_cast<int32_t>(s.field[kTrSlotsPerLevel]);
    const int64_t size = static_cast<int32_t>(s.field[kTrPatternSize]);
    const int64_t unit = d.slot.patternUnit;
    if (levels <= 0 || slots <= 0 || size <= 0 || !s.counts || !s.pattern) return false;
    if (levels * slots > unit || levels * slots * size > unit * 64) return false;
    t.flags = s.field[kTrFlags];
    t.patternSize = static_cast<int>(size);
    t.levels = static_cast<int>(levels);
    t.slotsPerLevel = static_cast<int>(slots);
    t.slotCount = static_cast<int>(levels * slots);
    t.delay = static_cast<int32_t>(s.field[kTrDelay]);
    t.width = static_cast<int32_t>(s.field[kTrWidth]);
    t.passCount = static_cast<int32_t>(s.field[kTrPassCount]);
    t.rate = triggerRate(s);
    t.kind = static_cast<int32_t>(s.field[kTrKind]);
    t.clockSource = s.field[kTrClockSource];
    t.position = static_cast<int32_t>(s.field[kTrPosition]);
    t.counts.assign(static_cast<size_t>(unit), 0);
    if (d.isNanlyn()) {
        t.patterns.assign(s.pattern, s.pattern + kTriggerPatternBytes);
        for (int j = 0; j < t.levels; ++j) t.counts[j] = getLe32(s.counts + 4 * j);
    } else {
        t.patterns.assign(static_cast<size_t>(unit * 64), kCondDontCare);
        // A negative pass count switches the trigger off: every channel is don't care.
        if (t.passCount >= 0) {
            const bool second = (t.flags & kTrFlagSecondSet) && d.is512K;
            int i = 0;
            for (int j = 0; j < t.levels; ++j) {
                for (int k = 0; k < t.slotsPerLevel; ++k, ++i) {
                    std::memcpy(&t.patterns[static_cast<size_t>(i) * size], s.pattern + j * size, size);
                    if (second && j + 4 < t.levels && (i + 5) * size <= unit * 64)
                        std::memcpy(&t.patterns[static_cast<size_t>(i + 4) * size], s.pattern + (j + 4) * size, size);
                }
                t.counts[i - 1] = getLe32(s.counts + 4 * j);
                if (second && j + 4 < t.levels && i + 3 < unit) t.counts[i + 3] = getLe32(s.counts + 4 * (j + 4));
            }
        }
    }
    t.valid = true;
    return true;
}

bool triggerUnchanged(const KvDevice& d, const TriggerCopy& t) {
    const TriggerCopy& o = d.trigger;
    return o.valid && o.flags == t.flags && o.patternSize == t.patternSize && o.clockSource == t.clockSource &&
           o.rate == t.rate && o.slotCount == t.slotCount && o.kind == t.kind && o.patterns == t.patterns &&
           o.counts == t.counts;
}

PocketTriggerWords pocketTriggerWords(const TriggerCopy& t) {
    PocketTriggerWords w;
    w.a = w.c = 0xFFFF;
    for (int k = 0; k < 16; ++k) {
        const uint16_t b = static_cast<uint16_t>(1u << k);
        bool aSet = false, cSet = false, care = true;
        const uint8_t h = conditionAt(t, 0, k);
        if (t.passCount < 0) {
            care = false;
        } else if (t.slotCount < 2) {
            if (h == kCondLow) aSet = cSet = true;
            else if (h != kCondHigh) care = false;
        } else {
            const uint8_t g = conditionAt(t, 1, k);
            if (h == kCondLow && g == kCondLow) aSet = cSet = true;
            else if (h == kCondHigh && g == kCondHigh) {
            } else if (h == kCondLow && g == kCondHigh) aSet = true;
            else if (h == kCondHigh && g == kCondLow) cSet = true;
            else care = false;
        }
        if (!care) w.mask = static_cast<uint16_t>(w.mask | b);
        if (!care || !aSet) w.a = static_cast<uint16_t>(w.a & ~b);
        if (!care || !cSet) w.c = static_cast<uint16_t>(w.c & ~b);
    }
    return w;
}

void buildTriggerTable(const TriggerCopy& t, int group, int firstSlot, int slots, bool reversed,
                       std::vector<uint8_t>& table) {
    table.assign(kTriggerTableBytes, 0xFF);
    if (kGroupChannels * (group + 1) > t.patternSize) return;
    uint16_t mask[kTableSlots] = {}, value[kTableSlots] = {};
    slots = std::min(slots, static_cast<int>(kTableSlots));
    for (int k = 0; k < slots; ++k)
        for (int c = 0; c < kGroupChannels; ++c) {
            const uint8_t v = conditionAt(t, firstSlot + k, kGroupChannels * group + c);
            if (v == kCondLow || v == kCondHigh) mask[k] = static_cast<uint16_t>(mask[k] | 1u << c);
            if (v == kCondHigh) value[k] = static_cast<uint16_t>(value[k] | 1u << c);
        }
    for (uint32_t v = 0; v < static_cast<uint32_t>(kTriggerTableBytes); ++v) {
        uint8_t bits = 0;
        for (int k = 0; k < slots; ++k)
            if ((v & mask[k]) == value[k]) bits = static_cast<uint8_t>(bits | 1u << k);
        table[reversed ? 0xFFFF - v : v] = bits;
    }
}

int programTrigger(KvDevice& d, const RuntimeEnv& env, TriggerCopy t) {
    d.statusRequest = static_cast<uint8_t>((d.statusRequest & ~1u) | ((t.flags & kTrFlagStatusBit) ? 1 : 0));
    if (d.isNanlyn()) {
        d.triggerSet = std::any_of(t.patterns.begin() + kNanlynCareMasks, t.patterns.begin() + kNanlynLinkWords,
                                   [](uint8_t v) { return v != 0; });
    } else {
        const size_t checked = static_cast<size_t>(t.slotCount) * t.patternSize;
        d.triggerSet = std::any_of(t.patterns.begin(), t.patterns.begin() + static_cast<long>(checked),
                                   [](uint8_t v) { return v != kCondDontCare; });
    }
    d.trigger = std::move(t);
    const TriggerCopy& c = d.trigger;
    if (d.isPocket) return programPocket(d, c);
    if (d.is4K) return programIsa(d, env, c);
    if (d.is512K) return program512K(d, env, c);
    if (d.isNanlyn()) return programNanlyn(d, c);
    return programTriggerMemory(d, c);
}

int setTrigger(KvDevice& d, const RuntimeEnv& env, const KvTriggerSpec& s) {
    TriggerCopy t;
    if (!expandTrigger(d, s, t)) return 0;
    return programTrigger(d, env, std::move(t)) ? 1 : 0;
}

uint64_t nanlynMask(const uint8_t* block, int base, int condition, int slot) {
    const uint8_t* p = block + base + kNanlynMaskBytes * (kNanlynSlots * condition + slot);
    uint64_t m = 0;
    for (int i = 0; i < kNanlynMaskBytes; ++i) m |= static_cast<uint64_t>(p[i]) << (8 * i);
    return m & kNanlynChannelBits;
}

void convertNanlynRecord(const uint8_t* pattern, const uint8_t* counts, int levels, uint8_t out[kTriggerPatternBytes]) {
    std::memset(out, 0, kTriggerPatternBytes);
    uint32_t links = 0;
    const int n = std::max(0, std::min(levels, static_cast<int>(kNanlynMaxLevels)));
    for (int j = 0; j < n; ++j) {
        const uint8_t* level = pattern + j * kNanlynLevelStride;
        uint64_t care = 0, high = 0;
        for (int c = 0; c < kNanlynChannels; ++c) {
            if (level[c] == kCondLow || level[c] == kCondHigh) care |= 1ull << c;
            if (level[c] == kCondHigh) high |= 1ull << c;
        }
        // Levels sit right-aligned in the slots of the first condition: the last level in slot 15.
        const int slot = kNanlynSlots - n + j;
        for (int i = 0; i < kNanlynMaskBytes; ++i) {
            out[kNanlynValueMasks + kNanlynMaskBytes * slot + i] = static_cast<uint8_t>(high >> (8 * i));
            out[kNanlynCareMasks + kNanlynMaskBytes * slot + i] = static_cast<uint8_t>(care >> (8 * i));
        }
        const uint32_t count = counts ? getLe32(counts + 4 * j) : 0;
        links |= (2u | (count != 1 ? 1u : 0u)) << (2 * slot);
    }
    putLe32(out + kNanlynLinkWords, links);
}

}  // namespace kv
