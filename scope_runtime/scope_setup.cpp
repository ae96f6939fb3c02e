#include "scope_runtime/scope_setup.h"

#include <algorithm>
#include <cstring>

#include "runtime/le_bytes.h"

namespace kv {
namespace zentro {

const uint64_t kRates[kRateCount] = {
    5000000000ull, 2500000000ull, 200000000, 100000000,
    80000000, 50000000, 40000000, 25000000, 20000000, 10000000, 8000000, 5000000, 4000000, 2500000, 2000000, 1000000,
    800000, 500000, 400000, 250000, 200000, 100000, 80000, 50000, 40000, 25000, 20000, 10000, 8000, 5000, 4000, 2500,
    2000, 1000,
    800, 500, 400, 250, 200, 100,
};

const uint64_t kVoltsPerDiv[kRangeCount] = {2000,    5000,    10000,   20000,   50000,   100000,
                                            200000,  500000,  1000000, 2000000, 5000000, 10000000};

bool isScopeModel(uint32_t model) { return model >= kModelAbcc && model <= kModelAbcf; }

uint32_t memoryPerChannel(uint32_t model) {
    if (model == kModelAbcf) return 0x200000;
    if (model == kModelAbce) return 0x80000;
    return 0x10000;
}

int rangeIndex(uint64_t microvoltsPerDiv) {
    for (int i = 0; i < kRangeCount; ++i)
        if (kVoltsPerDiv[i] == microvoltsPerDiv) return i;
    return -1;
}

bool isTableRate(uint64_t hz) { return std::find(kRates, kRates + kRateCount, hz) != kRates + kRateCount; }

RatePlan planRate(uint32_t model, uint64_t rate, uint32_t modeFlags) {
    // The 0xABCC converters clock at 50 MHz at most, the others at 100 MHz.
    const uint64_t direct = model == kModelAbcc ? 50000000 : 100000000;
    RatePlan p;
    if (rate <= direct) {
        const bool half = (modeFlags & kModeHalfRate) != 0;
        p.path = half ? SamplingPath::HalfRate : SamplingPath::Direct;
        p.clockHz = half ? rate / 2 : rate;
    } else if (rate == 2 * direct) {
        p.path = SamplingPath::HalfRate;
        p.clockHz = direct;
    } else {
        p.path = SamplingPath::Equivalent;
        p.clockHz = direct;
        p.passes = static_cast<uint32_t>(rate / direct);
    }
    return p;
}

GainCodes gainCodes(uint64_t microvoltsPerDiv) {
    struct Row {
        uint64_t millivolts;
        GainCodes codes;
    };
    static const Row kRows[] = {
        {2, {0x0101, 0xC404}},    {5, {0x0101, 0xC404}},    {10, {0x0101, 0xC404}},   {20, {0x1101, 0x8404}},
        {50, {0x2101, 0x4404}},   {100, {0x0106, 0xC403}},  {200, {0x1106, 0x8403}},  {500, {0x2106, 0x4403}},
        {1000, {0x0606, 0xC303}}, {2000, {0x1606, 0x8303}}, {5000, {0x2606, 0x4303}}, {10000, {0x3606, 0x0303}},
    };
    for (const Row& r : kRows)
        if (r.millivolts * 1000 == microvoltsPerDiv) return r.codes;
    return {0x0606, 0xC303};  // any other range is set up as 1 V per division
}

uint64_t frontEndRange(uint64_t microvoltsPerDiv) {
    if (microvoltsPerDiv == 2000 || microvoltsPerDiv == 5000) return 10000;
    return rangeIndex(microvoltsPerDiv) < 0 ? 1000000 : microvoltsPerDiv;
}

MemoryPlan planMemory(uint32_t model, int32_t recordLength) {
    MemoryPlan p;
    for (uint32_t o = 128; o >= 1; o /= 2) {
        if (static_cast<int64_t>(65536 / o) >= recordLength || o == 1) {
            p.decimation = o;
            p.samples = 65536 / o;
            break;
        }
    }
    if (p.decimation == 1 && (model == kModelAbcf || model == kModelAbce)) p.samples = memoryPerChannel(model);
    return p;
}

TriggerAddress triggerAddress(int64_t positionSamples, uint32_t samples, uint64_t rate, uint32_t jitter) {
    TriggerAddress t;
    int64_t a = positionSamples + samples / 2 + (samples == 0x80000 ? 0x8000 : 0);
    a = std::max<int64_t>(0, std::min<int64_t>(a, samples));
    t.address = static_cast<uint32_t>(a);
    t.post = samples - t.address + 1;
    // The trigger comparator's address register is 16 bits wide.
    const uint64_t raised = rate < 20000000 ? uint64_t{t.address} + 1 : uint64_t{t.address} + 0x7FFF + (jitter % 100);
    t.sent = static_cast<uint32_t>(std::min<uint64_t>(raised, 0xFFFF));
    return t;
}

CaptureRecord readCaptureRecord(const uint8_t* in, const std::function<bool(const void* p, size_t n)>& pairsReadable) {
    CaptureRecord r;
    r.flags = getLe32(in);
    r.rate = getLe64(in + 8);
    r.level = static_cast<int64_t>(getLe64(in + 16));
    std::memcpy(&r.pairs, in + 184, sizeof(void*));
    const uint8_t* pairs = in + 24;
    if (r.pairs && (!pairsReadable || pairsReadable(r.pairs, kChannelPairBytes))) pairs = r.pairs;
    else r.pairs = nullptr;
    for (int c = 0; c < 2; ++c) {
        r.voltsPerDiv[c] = getLe64(pairs + 16 * c);
        r.second[c] = getLe64(pairs + 16 * c + 8);
    }
    r.positionPs = static_cast<int64_t>(getLe64(in + 120));
    r.holdOff = static_cast<int64_t>(getLe64(in + 128));
    r.length = static_cast<int32_t>(getLe32(in + 136));
    return r;
}

void writeCaptureRecord(const CaptureRecord& r, uint8_t* out) {
    std::memset(out, 0, kCaptureRecordBytes);
    putLe32(out, r.flags);
    putLe64(out + 8, r.rate);
    putLe64(out + 16, static_cast<uint64_t>(r.level));
    for (int c = 0; c < 2; ++c) {
        putLe64(out + 24 + 16 * c, r.voltsPerDiv[c]);
        putLe64(out + 32 + 16 * c, r.second[c]);
    }
    putLe64(out + 120, static_cast<uint64_t>(r.positionPs));
    putLe64(out + 128, static_cast<uint64_t>(r.holdOff));
    putLe32(out + 136, static_cast<uint32_t>(r.length));
    std::memcpy(out + 184, &r.pairs, sizeof(void*));
}

int64_t positionSamples(int64_t positionPs, uint64_t rate) {
    if (rate == 0) return 0;
    // Picoseconds over the sample period 10^12 / rate; long double keeps 5 GHz x 10^12 exact enough.
    const long double samples = static_cast<long double>(positionPs) * static_cast<long double>(rate) / 1e12L;
    if (samples > 9e18L) return INT64_MAX;
    if (samples < -9e18L) return INT64_MIN;
    return static_cast<int64_t>(samples);
}

int validateCapture(CaptureRecord& r, uint32_t model, int scopes) {
    if (scopes <= 0) return kErrNoScope;
    if (!isTableRate(r.rate) || (r.rate == 5000000000ull && model == kModelAbcc)) return kErrRate;
    for (int c = 0; c < 2; ++c)
        if (rangeIndex(r.voltsPerDiv[c]) < 0) return kErrRange;
    const bool equivalent = planRate(model, r.rate, r.flags).path == SamplingPath::Equivalent;
    const int32_t limit = equivalent ? 50000 : model == kModelAbcf ? 2048000 : model == kModelAbce ? 512000 : 64000;
    if (r.length < 1 || r.length > limit) return kErrLength;
    const uint32_t mode = r.flags & kModeFieldMask;
    if (mode >= kModeExtended) {
        if (model == kModelAbcc) return kErrExtendedModel;
        if (equivalent) return kErrExtendedEquivalent;
    }
    const int64_t pos = positionSamples(r.positionPs, r.rate);
    if (equivalent) {
        if (pos < -255 || pos > 255) return kErrPosition;
    } else if (pos < -32767 || pos > 32767 || pos < -(r.length / 2) || pos > r.length / 2) {
        return kErrPosition;
    }
    const int channel = (r.flags & kModeTriggerChannel2) ? 1 : 0;
    if (r.flags & kModeRawLevel) {
        if (r.level < 0 || r.level > kCodeMax) return kErrLevel;
    } else {
        const long double limitUv = 8.0L * static_cast<long double>(r.voltsPerDiv[channel]);
        if (static_cast<long double>(r.level) > limitUv || static_cast<long double>(r.level) < -limitUv) return kErrLevel;
    }
    if (mode >= kModeExtended) {
        r.flags |= kHoldOffClassMask;
        if (r.holdOff == 0) r.holdOff = mode == 0xC0000 ? 635000000LL : mode == 0xD0000 ? 20000000000LL : 100000000000LL;
    }
    return kCaptureOk;
}

}  // namespace zentro
}  // namespace kv
