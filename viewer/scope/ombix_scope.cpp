#include "viewer/scope/ombix_scope.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kv {
namespace {

const uint64_t kRates[] = {200000000, 100000000, 50000000, 20000000, 10000000, 5000000, 2000000,
                           1000000,   500000,    200000,   100000,   50000,    20000,    10000,
                           5000,      2000,      1000,     500,      200,      100};
const uint64_t kRanges[] = {10000000, 5000000, 2000000, 1000000, 500000, 200000,
                            100000,   50000,   20000,   10000,   5000,   2000};

void putLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void putLe64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t getLe32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// The first entry of a highest-first list not above the request; the last when all are.
template <size_t N>
uint64_t firstNotAbove(const uint64_t (&list)[N], uint64_t request) {
    for (uint64_t v : list)
        if (v <= request) return v;
    return list[N - 1];
}

}  // namespace

void writeScopeRequest(uint8_t out[kScopeRequestBytes], uint64_t rate, const uint64_t range[2], int32_t length) {
    std::memset(out, 0, kScopeRequestBytes);
    putLe32(out, kScopeRequestFlags);
    putLe64(out + 8, rate);
    putLe64(out + 16, kScopeTriggerLevel);
    // The library checks both channel ranges against its table: cleared ones are refused.
    putLe64(out + 24, range[0]);
    putLe64(out + 40, range[1]);
    putLe32(out + 136, static_cast<uint32_t>(length));
}

OmbixScope::OmbixScope(std::function<bool(ZentroCalls&)> bind) : bind_(std::move(bind)) {}

bool OmbixScope::openDefault() {
    open_ = false;
    ZentroCalls calls;
    if (!bind_ || !bind_(calls)) return false;
    if (!calls.init || !calls.hwInfo || !calls.stop || !calls.capture || !calls.status || !calls.dataReady || !calls.read)
        return false;
    calls_ = std::move(calls);
    const int scopes = calls_.init();
    if (scopes <= 0) return false;
    channels_ = std::min(2 * scopes, kMaxChannels);
    model_ = 0;
    calls_.hwInfo(0, 5, &model_);
    recordLength_ = model_ == kModelZs1202 ? 512000 : 64000;
    position_ = defaultPosition();
    offset_ = -kTriggerPathDelay;
    buffer_.assign(static_cast<size_t>(recordLength_) * static_cast<size_t>(2 * scopes), 0.0);
    rate_ = 100000000;
    period_ = 1e-8;
    std::fill(std::begin(range_), std::end(range_), 100000);
    flags_ = 0;
    std::fill(std::begin(maximum_), std::end(maximum_), 0.0);
    std::fill(std::begin(minimum_), std::end(minimum_), 0.0);
    overallMax_ = overallMin_ = 0;
    samplesRead_ = 0;
    open_ = true;
    return true;
}

uint64_t OmbixScope::setSampleRate(uint64_t hz) {
    rate_ = firstNotAbove(kRates, hz);
    period_ = 1.0 / static_cast<double>(rate_);
    return rate_;
}

void OmbixScope::setChannelRange(int channel, uint64_t microvoltsPerDiv) {
    if (channel < 0 || channel >= channels_) return;
    range_[channel] = firstNotAbove(kRanges, microvoltsPerDiv);
}

uint64_t OmbixScope::channelRange(int channel) {
    return channel >= 0 && channel < kMaxChannels ? range_[channel] : 0;
}

bool OmbixScope::setFlag(int bit, bool on) {
    if ((bit & 15) >= channels_) return false;
    flags_ = on ? flags_ | (1u << bit) : flags_ & ~(1u << bit);
    return true;
}

bool OmbixScope::setTriggerPosition(double* percent) {
    if (!percent) return false;
    const double p = *percent;
    if (!(p >= 0 && p <= highestPosition())) {
        *percent = defaultPosition();
        return false;
    }
    position_ = p;
    offset_ = (p - defaultPosition()) * recordLength_ * period_ * 0.01 - kTriggerPathDelay;
    return true;
}

bool OmbixScope::arm() {
    if (!open_) return false;
    readingFinished_ = 0;
    uint8_t request[kScopeRequestBytes];
    writeScopeRequest(request, rate_, range_, recordLength_);
    return calls_.capture(request) != 0;
}

bool OmbixScope::read() {
    readingFinished_ = 1;
    if (!open_) return false;
    calls_.stop();
    double* out = buffer_.data();
    uint8_t request[12 + sizeof(void*)] = {};
    putLe32(request, 4);  // microvolts as doubles
    std::memcpy(request + 12, &out, sizeof out);
    if (!calls_.read(request)) {
        samplesRead_ = 0;
        return false;
    }
    fraction_ = getLe32(request + 8);
    samplesRead_ = recordLength_;
    overallMax_ = overallMin_ = 0;
    const size_t n = static_cast<size_t>(recordLength_);
    for (int c = 0; c < channels_; ++c) {
        const double* p = out + static_cast<size_t>(c) * n;
        const auto mm = std::minmax_element(p, p + n);
        maximum_[c] = std::round(*mm.second);
        minimum_[c] = std::round(*mm.first);
        if (c == 0 || maximum_[c] > overallMax_) overallMax_ = maximum_[c];
        if (c == 0 || minimum_[c] < overallMin_) overallMin_ = minimum_[c];
    }
    return true;
}

double* OmbixScope::channelBuffer(int channel) {
    if (channel < 0 || channel >= channels_ || buffer_.empty()) return nullptr;
    return buffer_.data() + static_cast<size_t>(channel) * static_cast<size_t>(recordLength_);
}

int64_t OmbixScope::timeToIndex(double seconds) {
    const double base = period_ * static_cast<double>(triggerSample());
    return static_cast<int64_t>((base + offset_ + fraction_ * 1e-12 - kTriggerPathDelay + seconds) / period_ + 0.5);
}

void OmbixScope::extremes(int64_t& maximum, int64_t& minimum) {
    maximum = std::llround(overallMax_);
    minimum = std::llround(overallMin_);
}

void OmbixScope::channelExtremes(int channel, int64_t& maximum, int64_t& minimum) {
    const bool inside = channel >= 0 && channel < kMaxChannels;
    maximum = inside ? std::llround(maximum_[channel]) : 0;
    minimum = inside ? std::llround(minimum_[channel]) : 0;
}

}  // namespace kv
