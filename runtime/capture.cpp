#include "runtime/capture.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "runtime/board_caps.h"
#include "runtime/le_bytes.h"
#include "runtime/rate_tables.h"
#include "runtime/sample_clock.h"
#include "runtime/trigger_program.h"

namespace kv {

namespace {

// The read buffer keeps room before and after the output: the trigger alignment moves the read
// position across the output's ends by at most a few dozen samples.
constexpr size_t kReadLead = 512;

enum : uint32_t { kPrefillTop = 0x100000 };
enum : uint8_t { kModeNoTrigger = 0x40, kModeCompress = 0x80, kModeKind2 = 0x01, kModeWidth = 0x04, kModeDelay = 0x08 };
enum : uint8_t { kAddrRegLevelMask = 2, kAddrRegSequence = 4 };
enum : uint16_t {
    kNwValue = 0x22, kNwStart = 0x0F, kNwPosition = 0x06, kNwDivider = 0x24, kNwGroup = 0x25, kNwWidth = 0x29,
    kNwPassCount = 0x0A, kNwGo = 0x01, kNwSerial = 0x28, kNwStatusByte = 0x20, kNwStatus = 0x04, kNwHalt = 0x00,
    kNwReadMark = 0x30, kNwRead = 0x03,
};
constexpr uint64_t kRate4G = 4000000000ull, kRate2G = 2000000000ull, kRate200M = 200000000ull;
enum : int { kNanlynReadHeader = 288, kNanlynReadExtra = 360, kNanlynStoppedHeader = 80, kNanlynTrailer = 16 };
enum : int { kStatusPhase = 30, kTimeStampBlocks = 128, kTimeStampBlock = 20 };
enum : size_t { kFastReadBytes2G = 41120, kGlitchReadBytes = 20800, kTimeStampReadBytes = 20640 };
enum : int { kLoggerSeconds = 20, kLoggerBlock = 2048, kLoggerImage = 4045 };

bool familyUsesFrames(int family) {
    return family == kFamily1 || family == kFamily3 || family == kFamilyPocket || family == kFamilyPocketB ||
           family == kFamilyPocketPlus;
}

uint8_t familyByte(const KvDevice& d) {
    if (d.slot.family == kFamily1) return kFrameFamily1;
    if (d.slot.family == kFamily3) return kFrameFamily3;
    return kFramePocket;
}

int startCommand(KvDevice& d) {
    if (d.is4K) return d.io.writeIsaCommand(kIsaStart);
    return d.io.sendFrame({kFrameSync0, kFrameSync1, familyByte(d), kCmdStart});
}

int passCountOf(const TriggerCopy& t) { return t.passCount < 0 ? 0 : t.passCount; }

int64_t positionSamples(const KvDevice& d) {
    int64_t p = d.trigger.position / std::max(1, static_cast<int>(d.slot.wordsPerSample));
    if (d.trigger.flags & kTrFlagHalfRate) p /= 2;
    return p;
}

int armGeneric(KvDevice& d, const RuntimeEnv& env) {
    const TriggerCopy& t = d.trigger;
    writeCaptureAddress(d, 0);
    if (!setupSampleClock(d, env, t.rate, t.clockSource, t.flags & kTrFlagHalfRate)) return 0;
    const int64_t depth = d.slot.depth;
    int64_t start = depth - positionSamples(d) - d.slot.triggerDelay - 1;
    if (!d.triggerSet || start > depth - 1) start = depth - 1;
    if (start < 0) start = 0;
    d.startAddress = start;
    int ok = writeCaptureAddress(d, static_cast<uint32_t>(start));
    ok &= sendValueCommand(d, kCmdPassCount, static_cast<uint32_t>(passCountOf(t)));
    ok &= startCommand(d);
    if (env.sleepMs) env.sleepMs(100);
    return ok;
}

int armPocket(KvDevice& d, const RuntimeEnv& env) {
    const TriggerCopy& t = d.trigger;
    writeCaptureAddress(d, 0);
    if (!setupSampleClock(d, env, t.rate, t.clockSource, t.flags & kTrFlagHalfRate)) return 0;
    const bool revised = d.slot.family == kFamilyPocketB || d.slot.family == kFamilyPocketPlus;
    const int64_t depth = d.slot.depth;
    const int64_t base = revised ? d.slot.captureLength : depth;
    const int64_t start = d.triggerSet ? std::max<int64_t>(1, base - positionSamples(d) - d.slot.triggerDelay - 1)
                                       : base - 1;
    d.startAddress = start;
    int ok = writeCaptureAddress(d, static_cast<uint32_t>(start));
    if (revised) {
        const bool statusBit = d.statusRequest & 1;
        int64_t prefill = depth;
        if (d.triggerSet) prefill = statusBit ? std::max<int64_t>(0, depth + start - d.slot.captureLength) : 0;
        ok &= sendValueCommand(d, kCmdPrefill, static_cast<uint32_t>(prefill));
        uint8_t mode = 0;
        if (!d.triggerSet || statusBit) mode |= kModeNoTrigger;
        if (t.flags & kTrFlagModeBit7) mode |= kModeCompress;
        d.modeRegister = mode;
        ok &= sendValueCommand(d, kCmdModeRegister, mode);
    }
    ok &= sendValueCommand(d, kCmdPassCount, static_cast<uint32_t>(passCountOf(t)));
    ok &= startCommand(d);
    return ok;
}

int arm512K(KvDevice& d, const RuntimeEnv& env) {
    const TriggerCopy& t = d.trigger;
    writeCaptureAddress(d, 0);
    if (!setupSampleClock(d, env, t.rate, t.clockSource, t.flags & kTrFlagHalfRate)) return 0;
    const int64_t cl = d.slot.captureLength, depth = d.slot.depth, pd = d.slot.triggerDelay;
    const int64_t p = t.position;
    int64_t start = cl - 1;
    if (d.triggerSet) {
        start = (t.flags & kTrFlagHalfRate) ? cl + t.delay - p / 2 - pd - 3 : cl + t.delay - p - pd - 2;
        start = std::max<int64_t>(1, start);
    }
    d.startAddress = start;
    int ok = writeCaptureAddress(d, static_cast<uint32_t>(start));
    uint16_t levelMask = 0;
    if (!(t.flags & kTrFlagSecondSet)) {
        const int slots = t.kind == 2 ? std::min(8, t.slotCount) : std::min(16, t.slotCount);
        for (int k = 0; k < slots; ++k)
            if (t.counts[k] == 1) levelMask = static_cast<uint16_t>(levelMask | 1u << k);
    }
    ok &= writeAddressRegister(d, kAddrRegLevelMask, levelMask);
    uint8_t mode = 0;
    if (t.flags & kTrFlagStatusBit) {
        ok &= sendValueCommand(d, kCmdPrefill, static_cast<uint32_t>(std::max<int64_t>(0, depth - p)));
        mode |= kModeNoTrigger;
    } else {
        ok &= sendValueCommand(d, kCmdPrefill, static_cast<uint32_t>(kPrefillTop - depth));
    }
    if (t.kind == 3) mode |= kModeWidth;
    if (t.delay != 0) mode |= kModeDelay;
    if (t.kind == 2 || (t.flags & kTrFlagSecondSet)) mode |= kModeKind2;
    d.modeRegister = mode;
    ok &= sendValueCommand(d, kCmdModeRegister, mode);
    ok &= sendValueCommand(d, kCmdPassCount, static_cast<uint32_t>(passCountOf(t)));
    ok &= sendValueCommand(d, kCmdDelay, static_cast<uint32_t>(t.delay < 0 ? -static_cast<int64_t>(t.delay) : t.delay));
    uint16_t sequence;
    if (t.flags & kTrFlagSecondSet) {
        sequence = 34;
    } else if (t.kind == 2) {
        auto firstTwo = [&](int from, int to, int none) {
            for (int k = from; k <= to; ++k)
                if (k < t.slotCount && t.counts[k] == 2) return k;
            return none;
        };
        sequence = static_cast<uint16_t>((1u << firstTwo(0, 2, 3)) + (1u << firstTwo(4, 6, 7)));
    } else {
        sequence = static_cast<uint16_t>(1u << std::max(0, std::min(15, t.slotCount - 1)));
    }
    ok &= writeAddressRegister(d, kAddrRegSequence, sequence);
    ok &= startCommand(d);
    return ok;
}

int armIsa(KvDevice& d, const RuntimeEnv& env) {
    const TriggerCopy& t = d.trigger;
    int code = 31;
    codeOfRate(t.rate, code);
    BoardIo& io = d.io;
    writeControlRegister(d, code >= 16 ? 31 : 7);
    io.writeIsaCommand(kIsaStart);
    io.writeIsaCommand(kIsaStop);
    writeCaptureAddress(d, 0x3FFF);
    writeControlRegister(d, static_cast<uint8_t>(code));
    uint32_t address = 8191, pass = 511;
    if (d.triggerSet) {
        const int64_t p = (t.flags & kTrFlagHalfRate) ? t.position / 16 : t.position / 8;
        address = static_cast<uint32_t>(-p - 4) & 0x1FFF;
        pass = t.passCount < 0 ? 511u : static_cast<uint32_t>(t.passCount) & 0x1FF;
    }
    d.startAddress = address;
    int ok = writeCaptureAddress(d, address);
    ok &= io.writeIsaCommand(static_cast<uint16_t>(kIsaPassCount + pass));
    io.writeIsaCommand(kIsaStop);
    io.writeIsaCommand(kIsaStatus);
    io.readRegister();
    if (env.sleepMs) env.sleepMs(1);
    ok &= io.writeIsaCommand(kIsaStart);
    if (env.sleepMs) env.sleepMs(100);
    return ok;
}

uint16_t lo16(int64_t v) { return static_cast<uint16_t>(static_cast<uint64_t>(v) & 0xFFFF); }
uint16_t hi16(int64_t v) { return static_cast<uint16_t>((static_cast<uint64_t>(v) >> 16) & 0xFFFF); }

uint32_t nanlynSerialWord(const KvDevice& d, int64_t rate, uint32_t& divider) {
    const uint8_t* b = d.trigger.patterns.data();
    auto word = [&](int at) { return getLe32(b + at); };
    const uint32_t f = d.mode.features;
    const uint64_t safeRate = rate > 0 ? static_cast<uint64_t>(rate) : 1;
    divider = 0;
    if (f & kModeFeatureUart) {
        uint32_t w = word(4);
        const uint32_t bits = word(16);
        if (bits == 6 || bits == 7 || bits == 8) w = ((w >> 8) & 0xFF) | (bits - 5);
        if (word(20) == 1) w |= 12;
        else if (word(20) == 2) w |= 4;
        if (word(24) == 2) w |= 16;
        if (word(0) & 1) w |= 32;
        if (word(0) & 2) w |= 64;
        const uint32_t baud = word(12);
        divider = baud ? 100000000u / (16u * baud) - 1 : 0;
        return w;
    }
    if (f & kModeFeatureI2c) {
        divider = static_cast<uint32_t>(kRate200M / safeRate - 1);
        return word(4) & 0x3F;
    }
    if (f & kModeFeatureSpi) {
        uint32_t w = ((word(0) << 6) & 0xFFF) | (word(4) & 0x3F);
        const uint32_t opts = word(12);
        if (opts & 1) w |= 0x1000;
        if (opts & 2) w |= 0x2000;
        if (opts & 4) w |= 0x4000;
        divider = static_cast<uint32_t>(kRate200M / safeRate - 1);
        return w;
    }
    if (f & kModeFeatureI2s) {
        divider = static_cast<uint32_t>(kRate200M / safeRate - 1);
        return ((word(0) << 6) & 0xFFF) | (word(4) & 0x3F);
    }
    if (f & 0x2) divider = static_cast<uint32_t>(d.mode.highestRate / safeRate - 1);
    return 0;
}

int armNanlyn(KvDevice& d, const RuntimeEnv& env) {
    const TriggerCopy& t = d.trigger;
    BoardIo& io = d.io;
    setupSampleClock(d, env, t.rate, t.clockSource, false);
    const int64_t usable = d.mode.usableDepth, p = t.position, pass = passCountOf(t);
    if (t.rate == kRate4G || t.rate == kRate2G) {
        const int64_t phases = t.rate == kRate4G ? 20 : 10;
        int64_t start = (usable - p) / phases - 5;
        if (t.rate == kRate4G && d.mode.modeId == 4046) start -= 2;
        d.nanlynStart = start;
        d.nanlynEnd = usable / phases;
        d.nanlynPost = 0;
        io.writeAddress(kNanlynCtlArm);
        io.writeAddress(kNanlynCtlRun);
        return io.sendWordFrame({kNwValue, lo16(start), hi16(start), kNwStart, 0, kNwPosition, 0, kNwValue, lo16(pass),
                                 hi16(pass), kNwPassCount, 0, kNwGo});
    }
    uint32_t divider = 0;
    const uint32_t serial = nanlynSerialWord(d, static_cast<int64_t>(t.rate), divider);
    int a = 0, g = 1;
    if (d.mode.features & kModeFeatureSampleGroup) {
        int g2 = 0;
        sampleGroupNumbers(d.sampleGroup, a, g2);
        g = g2 + 1;
    }
    if (d.mode.features & kModeFeatureExtClock) a |= static_cast<int>(t.clockSource & 0x30);
    const int64_t pack = std::max(1, static_cast<int>(d.mode.samplesPerWord));
    const int64_t start = (t.flags & kTrFlagStatusBit) ? (usable - p / g) / pack - 5 : usable;
    const int64_t position = (d.slot.captureLength - p) / g / pack + 2;
    uint32_t width = 0;
    if (t.kind == 3) {
        const int32_t w = t.width;
        if (w < 0) width = w == INT32_MIN ? 0x80000000u : (0x80000000u | static_cast<uint32_t>(~w));
        else if (w >= 2) width = static_cast<uint32_t>(w - 2) | 0xC0000000u;
        else width = 0xC0000000u;
    }
    d.nanlynStart = start;
    d.nanlynEnd = usable;
    d.nanlynPost = position;
    d.nanlynGroup = g;
    d.clockDivider = divider;
    io.writeAddress(kNanlynCtlArm);
    io.writeAddress(kNanlynCtlRun);
    int ok = io.sendWordFrame({kNwValue, lo16(serial), hi16(serial), kNwSerial, 0});
    uint16_t frame[64] = {kNwValue,    lo16(start),    hi16(start),    kNwStart,    0,
                          kNwValue,    lo16(position), hi16(position), kNwPosition, 0,
                          kNwValue,    lo16(divider),  hi16(divider),  kNwDivider,  0,
                          kNwGroup,    static_cast<uint16_t>(a),
                          kNwValue,    lo16(width),    hi16(width),    kNwWidth,    0,
                          kNwValue,    lo16(pass),     hi16(pass),     kNwPassCount, 0,
                          kNwGo};
    ok &= io.sendWordFrame(frame, 64);
    return ok;
}

// --- read-back ---

uint8_t* prepareOutput(KvDevice& d, size_t bytes) {
    d.readBuffer.assign(kReadLead + bytes + kReadLead, 0);
    d.readPosition = kReadLead;
    d.readLength = bytes;
    return d.readBuffer.data() + kReadLead;
}

// The output's first and last 128 bytes mirrored outside it, so a search near either end reads on.
void mirrorEnds(KvDevice& d) {
    const size_t n = std::min<size_t>(128, d.readLength);
    uint8_t* out = d.readBuffer.data() + kReadLead;
    std::memcpy(out - n, out + d.readLength - n, n);
    std::memcpy(out + d.readLength, out, n);
}

int readPocket(KvDevice& d) {
    uint32_t code = 0, second = 0, third = 0;
    if (!d.io.readIdentity(code, second, third)) return 0;
    const size_t depth = static_cast<size_t>(d.slot.depth);
    const bool wrapped = second & d.wrapBit;
    const size_t write = (second & (d.wrapBit - 1)) % depth;
    std::vector<uint8_t> banks[2];
    for (int bank = 0; bank < 2; ++bank) {
        banks[bank].assign(depth * 2, 0);
        writeBankRegister(d, static_cast<uint8_t>(bank));
        if (!d.io.readBlock(banks[bank].data(), banks[bank].size(), false)) return 0;
    }
    writeBankRegister(d, 0);
    std::vector<uint8_t> ordered[2];
    size_t unwritten = 0;
    for (int bank = 0; bank < 2; ++bank) {
        ordered[bank].assign(depth * 2, 0);
        unwritten = timeOrder(banks[bank].data(), depth, 2, write, wrapped, ordered[bank].data());
    }
    // Run-length memory: each (value, repeat) pair stands for repeat + 1 samples of the value.
    if (d.trigger.flags & kTrFlagModeBit7) {
        std::vector<uint8_t> values(depth * 2, 0), repeats(depth * 2, 0);
        size_t o = 0;
        for (size_t i = unwritten; i < depth && o < depth; ++i) {
            const uint16_t v = getLe16(&ordered[0][2 * i]), r = getLe16(&ordered[1][2 * i]);
            for (uint32_t k = 0; k <= r && o < depth; ++k, ++o) putLe16(&values[2 * o], v);
        }
        ordered[0].swap(values);
        ordered[1].swap(repeats);
        unwritten = 0;
    }
    const size_t cl = std::min(depth, static_cast<size_t>(std::max(0, d.slot.captureLength)));
    uint8_t* out = prepareOutput(d, cl * 8);
    const size_t from = depth - cl;
    for (size_t i = 0; i < cl; ++i) {
        std::memcpy(out + 8 * i, &ordered[0][2 * (from + i)], 2);
        std::memcpy(out + 8 * i + 4, &ordered[1][2 * (from + i)], 2);
    }
    d.unwrittenSamples = static_cast<uint32_t>(unwritten > from ? unwritten - from : 0);
    return 1;
}

int readGeneric(KvDevice& d, uint32_t groupMask) {
    uint32_t code = 0, second = 0, third = 0;
    if (!d.io.readIdentity(code, second, third)) return 0;
    const bool wrapped = second & d.wrapBit;
    const size_t address = second & kGenericAddressMask;
    const size_t start = d.triggerSet ? genericTriggerStart(d, third) : 0;
    uint8_t* out = prepareOutput(d, kGenericGroupBytes * 8);
    const bool half = d.trigger.flags & kTrFlagHalfRate;
    const int groups = half ? 8 : 4;
    std::vector<uint8_t> raw(kGenericWrappedBytes), ordered(kGenericGroupBytes);
    size_t unwritten = 0;
    for (int g = 0; g < groups; ++g) {
        if (!(groupMask & (1u << g))) continue;
        int bankGroup = g;
        if (d.optionFlag && half && d.trigger.rate < 100000000ull) bankGroup = (g + 4) % 8;
        writeBankRegister(d, static_cast<uint8_t>(8 + 4 * (bankGroup & 1) + bankGroup / 2));
        writeCaptureAddress(d, 0);
        const size_t n = wrapped ? kGenericWrappedBytes : std::min(kGenericGroupBytes, address * 4 + 4);
        if (!d.io.readBlock(raw.data(), n, false)) return 0;
        unwritten = orderGenericGroup(raw.data(), n, wrapped, address, ordered.data());
        for (size_t i = 0; i + start < kGenericGroupBytes; ++i) out[8 * i + g] = ordered[i + start];
    }
    writeBankRegister(d, 0);
    // Unwritten samples lead the time order; the trigger start may have dropped some of them.
    d.unwrittenSamples = static_cast<uint32_t>(unwritten > start ? unwritten - start : 0);
    mirrorEnds(d);
    return 1;
}

bool rereadsWrap(int code) { return code == 0x2232 || code == 0x2264 || code == 0x2332 || code == 0x2364; }

int read512K(KvDevice& d, uint32_t groupMask) {
    uint32_t code = 0, second = 0, third = 0;
    if (!d.io.readIdentity(code, second, third)) return 0;
    const size_t depth = static_cast<size_t>(d.slot.depth);
    const bool wrapped = second & d.wrapBit;
    const size_t write = (second & (d.wrapBit - 1)) % depth;
    const size_t oldest = wrapped ? write : 0;
    const size_t cl = std::min(depth, static_cast<size_t>(std::max(0, d.slot.captureLength)));
    uint8_t* out = prepareOutput(d, cl * 8);
    const size_t bytes = static_cast<size_t>(d.slot.wordsPerSample) * depth;
    std::vector<uint8_t> stream(bytes + 16), ordered(depth);
    const bool half = d.trigger.flags & kTrFlagHalfRate;
    const int groups = half ? 8 : 4;
    size_t unwritten = 0;
    for (int g = 0; g < groups; ++g) {
        if (!(groupMask & (1u << g))) continue;
        writeBankRegister(d, static_cast<uint8_t>(8 + g / 2 + 4 * (g & 1)));
        writeCaptureAddress(d, static_cast<uint32_t>(oldest + depth - 1) % static_cast<uint32_t>(depth));
        if (!d.io.readBlock(stream.data(), stream.size(), false)) return 0;
        // The stream starts at the oldest sample; unwritten memory comes first in time order.
        std::fill(ordered.begin(), ordered.end(), 0);
        if (wrapped) {
            std::memcpy(ordered.data(), stream.data(), depth);
            unwritten = 0;
            if (rereadsWrap(d.slot.productCode)) {
                // These boards may garble the bytes next to the wrap point in a block read: the two
                // on each side are read again one at a time.
                for (size_t k : {depth - 2, depth - 1, size_t{0}, size_t{1}}) {
                    writeCaptureAddress(d, static_cast<uint32_t>((oldest + k + depth - 1) % depth));
                    if (!d.io.readBlock(&ordered[k], 1, false)) return 0;
                }
            }
        } else {
            unwritten = depth - write;
            std::memcpy(ordered.data() + unwritten, stream.data(), write);
        }
        for (size_t i = 0; i < cl; ++i) out[8 * i + g] = ordered[depth - cl + i];
    }
    writeBankRegister(d, 0);
    d.unwrittenSamples = static_cast<uint32_t>(unwritten > depth - cl ? unwritten - (depth - cl) : 0);
    return 1;
}

int readIsa(KvDevice& d) {
    BoardIo& io = d.io;
    io.writeIsaCommand(kIsaStop);
    writeCaptureAddress(d, 0x3FFF);
    bool swapped = false;
    if (d.trigger.rate == kRate200M) {
        io.writeIsaCommand(kIsaStatus);
        swapped = io.readRegister() & 1;
    }
    static const int kSwapped[kIsaBanks] = {2, 3, 0, 1, 6, 7, 4, 5};
    const size_t entries = kIsaBankWords;
    uint8_t* out = prepareOutput(d, entries * 16);
    for (int bank = 0; bank < kIsaBanks; ++bank) {
        io.writeIsaCommand(static_cast<uint16_t>(kIsaReadBank + bank));
        const int lane = swapped ? kSwapped[bank] : bank;
        for (size_t i = 0; i < entries; ++i) putLe16(out + 16 * i + 2 * lane, static_cast<uint16_t>(io.readRegister()));
    }
    d.unwrittenSamples = 0;
    return 1;
}

int readNanlynStatusBlock(KvDevice& d, std::initializer_list<uint16_t> request) {
    BoardIo& io = d.io;
    std::vector<uint16_t> first(request);
    int ok = io.sendWordFrame(first.data(), first.size());
    ok &= io.sendWordFrame({kNwStatus});
    ok &= io.readBlock(d.statusBlock, kStatusBlockBytes, true);
    return ok;
}

void decodeStatus(KvDevice& d, bool invertBit7) {
    const uint8_t* s = d.statusBlock;
    uint16_t status = getLe16(s);
    if (invertBit7) status ^= 0x80;
    d.nanlynStatusWord = status;
    d.nanlynPosition = (status & 0x80) ? getLe16(s + 6) : getLe16(s + 2);
    std::memset(d.liveState, 0, sizeof d.liveState);
    std::memcpy(d.liveState, s + 10, 5);
    std::memcpy(d.liveState + 8, s + 16, 5);
    const uint32_t a = getLe16(s + 22) | static_cast<uint32_t>(getLe16(s + 24)) << 16;
    const uint32_t b = getLe16(s + 26) | static_cast<uint32_t>(getLe16(s + 28)) << 16;
    d.liveRate = measuredRate(a, b);
}

// Read start: the board streams its memory from `start` on.
int nanlynReadStart(KvDevice& d, int64_t start, bool mark) {
    std::vector<uint16_t> frame = {kNwValue, 0, 0, kNwPassCount, 0, kNwDivider, 0, kNwPosition, 0, kNwGroup, 0,
                                   kNwValue, lo16(start), hi16(start), kNwStart, 0};
    if (mark) frame.push_back(kNwReadMark);
    frame.push_back(kNwRead);
    return d.io.sendWordFrame(frame.data(), frame.size());
}

// 2 and 4 GHz and the time-stamp mode: the whole memory in one read, the first valid sample at the
// phase the status block reports.
int readNanlynFast(KvDevice& d, uint8_t* out, int64_t samples) {
    const TriggerCopy& t = d.trigger;
    size_t bytes = kFastReadBytes2G;
    if (d.mode.features & kModeFeatureTimeStamp) bytes = kTimeStampReadBytes;
    else if (t.rate == kRate4G) bytes = d.mode.modeId == 4046 ? kGlitchReadBytes : static_cast<size_t>(d.mode.usableDepth) * 8 + 160;
    nanlynReadStart(d, 0, true);
    std::vector<uint8_t> raw(bytes);
    const int ok = d.io.readBlock(raw.data(), raw.size(), true);
    d.io.writeAddress(kNanlynCtlArm);
    d.io.writeAddress(kNanlynCtlRun);
    if (!ok) return 0;
    const size_t phase = getLe16(d.statusBlock + kStatusPhase);
    d.firstSamplePhase = static_cast<uint32_t>(phase);
    const size_t available = raw.size() > phase * 8 ? raw.size() - phase * 8 : 0;
    std::memcpy(out, raw.data() + phase * 8, std::min(available, static_cast<size_t>(samples) * 8));
    d.timeStampBefore = d.timeStampTotal = 0;
    if (d.mode.features & kModeFeatureTimeStamp) {
        // 128 blocks of 20 samples; the last word of a block counts the idle periods it skipped.
        const int64_t triggerBlock = t.position / kTimeStampBlock;
        uint64_t total = 0, before = 0;
        const uint8_t* blocks = raw.data() + phase * 8;
        const size_t count = std::min<size_t>(kTimeStampBlocks, available / 8 / kTimeStampBlock);
        for (size_t b = 0; b < count; ++b) {
            const uint64_t last = getLe64(&blocks[(b * kTimeStampBlock + kTimeStampBlock - 1) * 8]);
            const uint64_t span = (last >> 46) * kTimeStampBlock + kTimeStampBlock;
            if (static_cast<int64_t>(b) < triggerBlock) before += span;
            total += span;
        }
        d.timeStampTotal = static_cast<uint32_t>(total);
        d.timeStampBefore = static_cast<uint32_t>(before);
    }
    d.unwrittenSamples = 0;
    return 1;
}

int readNanlyn(KvDevice& d, const RuntimeEnv& env, bool stopped) {
    const TriggerCopy& t = d.trigger;
    setupSampleClock(d, env, t.rate, t.clockSource, false);
    if (!readNanlynStatusBlock(d, {kNwHalt, 0})) return 0;
    decodeStatus(d, !(t.flags & kTrFlagStatusBit));
    const int64_t usable = d.mode.usableDepth;
    const int64_t pack = std::max(1, static_cast<int>(d.mode.samplesPerWord));
    int a = 0, g2 = 0;
    if (d.mode.features & kModeFeatureSampleGroup) sampleGroupNumbers(d.sampleGroup, a, g2);
    const int64_t g = g2 + 1;
    const int64_t cl = d.slot.captureLength;
    const size_t outBytes = static_cast<size_t>(cl * 8 / g / pack) + (d.readForUkv ? 0 : kNanlynTrailer);
    uint8_t* out = prepareOutput(d, outBytes);
    const int64_t samples = cl / g / pack;
    if (t.rate == kRate4G || t.rate == kRate2G || (d.mode.features & kModeFeatureTimeStamp))
        return readNanlynFast(d, out, samples);
    const int64_t written = d.nanlynPosition;
    int64_t count = samples, header = kNanlynReadHeader, extra = kNanlynReadExtra;
    if (stopped) {
        count = std::min<int64_t>(samples, written);
        header = kNanlynStoppedHeader;
        extra = kNanlynStoppedHeader;
    }
    int64_t start = written - count;
    if (start < 0) start += usable / pack;
    // At 400-1,600 MHz a memory word holds 2, 4 or 8 phases of a 200 MHz period.
    nanlynReadStart(d, start, pack == 1);
    std::vector<uint8_t> raw(static_cast<size_t>(count * 8 + extra));
    const int ok = d.io.readBlock(raw.data(), raw.size(), true);
    d.io.writeAddress(kNanlynCtlArm);
    d.io.writeAddress(kNanlynCtlRun);
    if (!ok) return 0;
    // The newest samples end the output; what the board never wrote before them stays zero.
    const size_t skip = static_cast<size_t>(samples - count) * 8;
    std::memcpy(out + skip, raw.data() + header, static_cast<size_t>(count) * 8);
    d.unwrittenSamples = static_cast<uint32_t>(samples - count);
    d.firstSamplePhase = static_cast<uint32_t>((t.position / g) % pack);
    return 1;
}

// Moves the read position so that the sample meeting the programmed condition falls on the trigger
// position, searching the board's margin window around it.
void alignTrigger(KvDevice& d, size_t sampleBytes) {
    std::fill(std::begin(d.alignResults), std::end(d.alignResults), 0);
    const TriggerCopy& t = d.trigger;
    if (!d.triggerSet || t.slotCount <= 0 || sampleBytes == 0) return;
    const int64_t samples = static_cast<int64_t>(d.readLength / sampleBytes);
    const int64_t expected = t.position;
    const bool fastHalf = (t.flags & kTrFlagHalfRate) && t.rate >= kRate200M;
    const int lowMargin = fastHalf ? d.margins[2] : d.margins[0];
    const int highMargin = fastHalf ? d.margins[3] : d.margins[1];
    const uint8_t* base = d.readBuffer.data() + kReadLead;
    auto bit = [&](int64_t i, int c) { return (base[i * static_cast<int64_t>(sampleBytes) + c / 8] >> (c % 8)) & 1; };
    auto matches = [&](int64_t i, int slot) {
        if (i < 0 || i >= samples) return false;
        for (int c = 0; c < std::min(64, t.patternSize); ++c) {
            const uint8_t v = t.patterns[static_cast<size_t>(slot) * t.patternSize + c];
            if (v == kCondLow && bit(i, c)) return false;
            if (v == kCondHigh && !bit(i, c)) return false;
        }
        return true;
    };
    const int last = t.slotCount - 1;
    const int64_t from = expected + lowMargin, to = expected + highMargin;
    int64_t found = -1;
    for (int64_t i = from; i <= to && found < 0; ++i)
        if (matches(i, last) && (last == 0 || d.isPocket == false || matches(i - 1, last - 1))) found = i;
    d.alignResults[1] = static_cast<uint32_t>(expected);
    d.alignResults[2] = static_cast<uint32_t>(found);
    d.alignResults[3] = static_cast<uint32_t>(from);
    d.alignResults[4] = static_cast<uint32_t>(to);
    if (found < 0) return;
    const int64_t correction = found - expected;
    d.alignResults[0] = static_cast<uint32_t>(correction);
    const int64_t moved = correction * static_cast<int64_t>(sampleBytes);
    if (moved < 0 && static_cast<size_t>(-moved) > kReadLead) return;
    if (moved > 0 && static_cast<size_t>(moved) > kReadLead) return;
    d.readPosition = static_cast<size_t>(static_cast<int64_t>(kReadLead) + moved);
}

}  // namespace

int sendValueCommand(KvDevice& d, uint8_t command, uint32_t value) {
    if (!familyUsesFrames(d.slot.family)) return 0;
    return d.io.sendFrame({kFrameSync0, kFrameSync1, familyByte(d), command, static_cast<uint8_t>(value),
                           static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16)});
}

void sampleGroupNumbers(uint32_t word, int& a, int& g) {
    switch (word) {
        case 2: a = 1; g = 1; break;
        case 4: a = 2; g = 2; break;
        case 8: a = 3; g = 3; break;
        case 16: a = 4; g = 5; break;
        case 32: a = 5; g = 8; break;
        case 256: a = 6; g = 17; break;
        case 512: a = 7; g = 35; break;
        default: a = 0; g = 0; break;
    }
}

uint64_t measuredRate(uint32_t a, uint32_t b) {
    if (a == 0 || b == 0) return 0;
    if (b >= a) return kRate200M / b;
    return static_cast<uint64_t>(a) * 1000000000ull / 41943040ull;
}

size_t timeOrder(const uint8_t* ring, size_t depth, size_t bytes, size_t write, bool wrapped, uint8_t* out) {
    if (depth == 0) return 0;
    write %= depth;
    if (wrapped) {
        std::memcpy(out, ring + write * bytes, (depth - write) * bytes);
        std::memcpy(out + (depth - write) * bytes, ring, write * bytes);
        return 0;
    }
    const size_t unwritten = depth - write;
    std::memset(out, 0, unwritten * bytes);
    std::memcpy(out + unwritten * bytes, ring, write * bytes);
    return unwritten;
}

size_t orderGenericGroup(uint8_t* raw, size_t bytes, bool wrapped, size_t address, uint8_t* out) {
    const size_t write = (address * 4 + 4) % kGenericGroupBytes;
    if (!wrapped) {
        // Only the written words were read: the rest of the bank counts as zero.
        std::vector<uint8_t> bank(kGenericGroupBytes, 0);
        std::memcpy(bank.data(), raw, std::min(bytes, kGenericGroupBytes));
        return timeOrder(bank.data(), kGenericGroupBytes, 1, write, false, out);
    }
    // The read pipeline delivers the bank's first 256 bytes after the rest: first they go back to
    // the front of the 65,792 bytes, then the bank is rotated so that the oldest byte comes first.
    if (bytes < kGenericWrappedBytes) {
        std::memset(out, 0, kGenericGroupBytes);
        return kGenericGroupBytes;
    }
    std::rotate(raw, raw + kGenericWrappedBytes - kGenericWrapLead, raw + kGenericWrappedBytes);
    return timeOrder(raw, kGenericGroupBytes, 1, write, true, out);
}

size_t genericTriggerStart(const KvDevice& d, uint32_t status) {
    const int64_t computed = 4 * (static_cast<int64_t>(kGenericAddressMask) -
                                  static_cast<int64_t>(d.trigger.position) * d.slot.wordsPerSample -
                                  d.slot.triggerDelay);
    // The board latches the window's first word in the status word: it wins over the computed one
    // whenever the two differ and once the capture completed.
    const int64_t latched = 4 * static_cast<int64_t>(status & kGenericAddressMask);
    const int64_t start = (computed != latched || (status & d.readyMask)) ? latched : computed;
    return static_cast<size_t>(start);
}

size_t readBackBytes(const KvDevice& d) {
    if (d.slot.captureLength <= 0) return 0;
    if (d.isNanlyn()) {
        int a = 0, g2 = 0;
        if (d.mode.features & kModeFeatureSampleGroup) sampleGroupNumbers(d.sampleGroup, a, g2);
        const int64_t pack = std::max(1, static_cast<int>(d.mode.samplesPerWord));
        return static_cast<size_t>(static_cast<int64_t>(d.slot.captureLength) * 8 / (g2 + 1) / pack) +
               (d.readForUkv ? 0 : kNanlynTrailer);
    }
    return static_cast<size_t>(std::max(0, d.slot.captureLength)) * static_cast<size_t>(d.slot.wordsPerSample) * 8;
}

int armCapture(KvDevice& d, const RuntimeEnv& env) {
    d.captureComplete = false;
    if (d.is4K) return armIsa(d, env);
    if (d.is512K) return arm512K(d, env);
    if (d.isPocket) return armPocket(d, env);
    if (d.isNanlyn()) return armNanlyn(d, env);
    return armGeneric(d, env);
}

int nanlynStatus(KvDevice& d) {
    const uint16_t request = static_cast<uint16_t>((d.statusRequest & 0xC0) | (d.statusOption & 0x3F));
    if (!readNanlynStatusBlock(d, {kNwStatusByte, request})) return 0;
    decodeStatus(d, false);
    const uint16_t status = d.nanlynStatusWord;
    const int64_t span = d.nanlynPost + d.nanlynEnd - d.nanlynStart;
    int progress = 1000;
    if ((status & 1) == 0 && (status & 2) != 0 && span > 0) {
        const int64_t pos = d.nanlynPosition;
        const int64_t done = (status & 0x80) ? (span - (pos - d.nanlynStart)) : (pos - d.nanlynStart);
        progress = static_cast<int>(std::min<int64_t>(999, std::max<int64_t>(0, done * 1000 / span)));
    }
    d.progress = progress;
    return status & 1;
}

int isDataReady(KvDevice& d) {
    BoardIo& io = d.io;
    switch (d.slot.family) {
        case kFamilyIsa:
            io.writeIsaCommand(kIsaStatus);
            return (io.readRegister() & 2) ? 1 : 0;
        case kFamily1: {
            uint32_t code = 0, second = 0, third = 0;
            if (!io.readIdentity(code, second, third)) return 0;
            return productCodeAccepted(d.slot.interfaceCode, static_cast<int>(code & ~kOptionFlagBit)) ? 1 : 0;
        }
        case kFamily4: return 0;
        case kFamilyNanlyn: return nanlynStatus(d);
        default: {
            uint32_t c1 = 0, s1 = 0, t1 = 0, c2 = 0, s2 = 0, t2 = 0;
            if (!io.readIdentity(c1, s1, t1) || !io.readIdentity(c2, s2, t2)) return 0;
            if (c1 != c2 || s1 != s2 || t1 != t2) return 0;
            if (!productCodeAccepted(d.slot.interfaceCode, static_cast<int>(c1 & ~kOptionFlagBit))) return 0;
            return (t1 & d.readyMask) && t1 < 0x40000000u ? 1 : 0;
        }
    }
}

int stopCapture(KvDevice& d) {
    BoardIo& io = d.io;
    if (d.is512K) {
        const int code = (d.controlShadow >> 5) & 7;
        if (code >= 1 && code <= 5) {
            const uint8_t v = code == 1 ? 0x7E : code == 3 ? 0x3E : code == 4 ? 0x5E : 0x9E;
            writeControlRegister(d, v);
        }
    }
    if (d.slot.family == kFamilyIsa) return io.writeIsaCommand(kIsaStop);
    if (d.isNanlyn()) {
        io.sendWordFrame({kFrameSync0, kFrameSync1, kFramePocket, 0x00});
        return 0;
    }
    return io.sendFrame({kFrameSync0, kFrameSync1, familyByte(d), kCmdStop});
}

int readCapture(KvDevice& d, const RuntimeEnv& env, bool stopped, uint32_t groupMask) {
    int r = 0;
    size_t sampleBytes = 8;
    if (d.isNanlyn()) r = readNanlyn(d, env, stopped);
    else if (d.is4K) {
        r = readIsa(d);
        sampleBytes = 16;
    } else if (d.isPocket) r = readPocket(d);
    else if (d.is512K) r = read512K(d, groupMask);
    else r = readGeneric(d, groupMask);
    if (r && !d.isNanlyn()) alignTrigger(d, sampleBytes);
    d.readForUkv = false;
    return r;
}

int eventOut(KvDevice& d, uint32_t mask) {
    d.eventMask = static_cast<uint8_t>(mask & 0xE2);
    d.io.sendFrame({kFrameSync0, kFrameSync1, kFrameAddress, d.eventMask, 0x00});
    return 1;
}

int runLogger(KvDevice& d, const RuntimeEnv& env, uint32_t divider, const char* fileName) {
    if (!fileName) return 0;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(fileName, "w+b"), std::fclose);
    if (!file) return 0;
    const int previous = d.loadedImage;
    if (!loadFpgaImage(d, env, kLoggerImage)) return 0;
    BoardIo& io = d.io;
    io.writeAddress(kNanlynCtlArm);
    io.writeAddress(kNanlynCtlRun);
    io.sendWordFrame({kNwValue, lo16(divider), hi16(divider), kNwDivider, 0, kNwGo});
    uint64_t fake = 0;
    auto now = [&]() { return env.nowMs ? env.nowMs() : (fake += 10); };
    const uint64_t begin = now();
    std::vector<uint8_t> block(kLoggerBlock);
    while (now() - begin < static_cast<uint64_t>(kLoggerSeconds) * 1000) {
        if (!d.usb->bulkRead(block.data(), kLoggerBlock, kBulkTargetCommand)) break;
        for (int r = 0; r < kLoggerBlock / 8; ++r) {
            const uint8_t* rec = block.data() + 8 * r;
            if (static_cast<int32_t>(getLe32(rec + 4)) >= 0) std::fwrite(rec, 1, 8, file.get());
        }
    }
    file.reset();
    if (previous >= 0) loadFpgaImage(d, env, previous);
    return 1;
}

}  // namespace kv
