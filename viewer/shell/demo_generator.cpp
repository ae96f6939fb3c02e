#include "viewer/shell/demo_generator.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace kv {

const uint32_t kDemoRates[kDemoRateCount] = {
    200000000, 100000000, 50000000, 20000000, 10000000, 5000000, 2000000, 1000000,
    500000,    200000,    100000,   50000,    20000,    10000,   5000,    2000,
    1000,      500,       200,      100,      50,       20,      10,
};

const char* const kDemoFunctionNames[kDemoFunctionCount] = {
    "Up Counter", "Down Counter", "Random data", "All LOW", "All HIGH", "Rotate Data", "Sine", "Unsigned Sine",
};

uint32_t demoRate(int index) {
    if (index < 0 || index >= kDemoRateCount) index = kDefaultDemoRateIndex;
    return kDemoRates[index];
}

std::string demoRateText(uint32_t hz) {
    char text[32];
    if (hz >= 1000000 && hz % 1000000 == 0)
        std::snprintf(text, sizeof text, "%u MHz", hz / 1000000);
    else if (hz >= 1000 && hz % 1000 == 0)
        std::snprintf(text, sizeof text, "%u KHz", hz / 1000);
    else
        std::snprintf(text, sizeof text, "%u Hz", hz);
    return text;
}

uint8_t demoSineByte(int64_t phaseAndAdvances) {
    const double s = std::sin(static_cast<double>(phaseAndAdvances) * kDemoSineStep);
    return static_cast<uint8_t>(static_cast<int32_t>(127.0 * s) & 0xFF);
}

uint8_t demoUnsignedSineByte(int64_t phaseAndAdvances) {
    const double s = std::sin(static_cast<double>(phaseAndAdvances) * kDemoSineStep);
    return static_cast<uint8_t>(static_cast<int32_t>(127.0 * (s + 1.0)));
}

// --- random numbers -----------------------------------------------------------------------------

namespace {
constexpr uint32_t kRandomMultiplier = 214013u;
constexpr uint32_t kRandomIncrement = 2531011u;
}  // namespace

uint32_t DemoRandom::next() {
    state_ = state_ * kRandomMultiplier + kRandomIncrement;
    return (state_ >> 16) & 0x7FFF;
}

uint32_t DemoRandom::nextAfter(uint64_t n) {
    if (n == 0) return (state_ >> 16) & 0x7FFF;
    if (n != skipN_) {
        // n steps of x -> a·x + c compose into one x -> A·x + C, built by squaring (mod 2^32).
        uint32_t mul = 1, add = 0;
        uint32_t stepMul = kRandomMultiplier, stepAdd = kRandomIncrement;
        for (uint64_t k = n; k; k >>= 1) {
            if (k & 1) {
                mul *= stepMul;
                add = add * stepMul + stepAdd;
            }
            stepAdd = (stepMul + 1) * stepAdd;
            stepMul *= stepMul;
        }
        skipN_ = n;
        skipMul_ = mul;
        skipAdd_ = add;
    }
    state_ = skipMul_ * state_ + skipAdd_;
    return (state_ >> 16) & 0x7FFF;
}

// --- advances -----------------------------------------------------------------------------------

namespace {

// One side of the rule's comparison. The win tree builds this file with SSE arithmetic, so the
// quotient is rounded to double once, as the rule means, and not kept in an 80-bit register.
double quotient(int64_t a, int64_t b) { return static_cast<double>(a) / static_cast<double>(b); }

// Counters this close to step × f / rate (in units of 1 / (f · rate)) may compare equal in double
// although they differ exactly; anything farther apart than a few units in the last place of a
// value below 1 cannot. 2^-48 leaves a wide margin over the 2^-51 that two roundings need.
uint64_t tieWindowOf(int64_t frequency, int64_t rate) {
    return (static_cast<uint64_t>(frequency) * static_cast<uint64_t>(rate)) >> 48;
}

}  // namespace

int64_t demoCounterByLoop(int64_t step, int64_t rate, int64_t frequency, int64_t counter) {
    if (frequency <= 0 || rate <= 0) return counter;
    while (quotient(step, rate) > quotient(counter, frequency)) ++counter;
    return counter;
}

int64_t demoCounterAt(int64_t step, int64_t rate, int64_t frequency) {
    if (frequency <= 0 || rate <= 0 || step <= 0) return 0;
    // The exact smallest c with c / f >= s / rate rounds to a double that is at least as large
    // (rounding keeps order), so it always stops the loop; only c - 1 can also stop it, when both
    // quotients round to the same double.
    int64_t c = (step * frequency + rate - 1) / rate;
    const double target = quotient(step, rate);
    while (c > 0 && quotient(c - 1, frequency) >= target) --c;
    return c;
}

// --- trigger ------------------------------------------------------------------------------------

DemoTrigger::DemoTrigger() { std::memset(conditions, kConditionDontCare, sizeof conditions); }

DemoTrigger demoTriggerOf(const TriggerSetup& setup) {
    DemoTrigger t;
    readOneLevel(setup.current, t.conditions);
    t.passCount = setup.current.passCount;
    t.flags = setup.current.flags;
    t.triggerPosition = setup.triggerPosition;
    return t;
}

bool isConditionCode(uint8_t code) {
    switch (code) {
        case kConditionLow:
        case kConditionHigh:
        case kConditionRising:
        case kConditionFalling:
        case kConditionEitherEdge: return true;
        default: return false;
    }
}

bool triggerIsNone(const DemoTrigger& trigger) {
    if (trigger.passCount < 0) return true;
    const int channels = trigger.memoryStack() ? kTriggerChannels / 2 : kTriggerChannels;
    for (int c = 0; c < channels; ++c)
        if (isConditionCode(trigger.conditions[c])) return false;
    return true;
}

DemoTriggerMasks demoTriggerMasks(const DemoTrigger& setup) {
    DemoTriggerMasks m;
    const int channels = setup.memoryStack() ? kTriggerChannels / 2 : kTriggerChannels;
    for (int c = 0; c < channels; ++c) {
        const uint64_t bit = uint64_t{1} << c;
        switch (setup.conditions[c]) {
            case kConditionHigh: m.levelPattern |= bit; /* fall through */
            case kConditionLow: m.levelMask |= bit; break;
            case kConditionRising:
            case kConditionFalling:
            case kConditionEitherEdge:
                m.edgeMask |= bit;
                m.edgeKind = setup.conditions[c];
                break;
            default: break;
        }
    }
    return m;
}

bool demoSampleMatches(const DemoTriggerMasks& m, uint64_t previous, uint64_t current) {
    if ((current & m.levelMask) != m.levelPattern) return false;
    switch (m.edgeKind) {
        case kConditionRising: return (~previous & current & m.edgeMask) != 0;
        case kConditionFalling: return (previous & ~current & m.edgeMask) != 0;
        case kConditionEitherEdge: return ((previous ^ current) & m.edgeMask) != 0;
        default: return true;
    }
}

// --- generator ----------------------------------------------------------------------------------

void DemoGenerator::begin(const DemoRequest& request, uint8_t* ring, int32_t ringBytes) {
    const DemoTrigger& trigger = request.trigger;
    bytesPerSample_ = trigger.memoryStack() ? 4 : 8;
    int32_t length = request.captureLength;
    if (length < 0) length = 0;
    if (length > ringBytes) length = ringBytes;
    // Whole samples only, so that no sample is split by the ring's end.
    length -= length % bytesPerSample_;
    ring_ = ring;
    captureBytes_ = length;
    samples_ = length / bytesPerSample_;
    ringPosition_ = captureBytes_ > 0 ? ringPosition_ % captureBytes_ : 0;
    if (length > 0) std::memset(ring_, 0, static_cast<size_t>(length));

    rate_ = request.rate > 0 ? request.rate : 1;
    step_ = 0;
    generated_ = 0;
    masks_ = demoTriggerMasks(trigger);
    int32_t position = trigger.triggerPosition;
    if (position > samples_ - 1) position = samples_ - 1;
    if (position < 0) position = 0;
    triggerPosition_ = position;
    firstSample_ = true;
    lastMatch_ = false;
    previous_ = 0;
    if (samples_ == 0) {
        triggered_ = true;
        remaining_ = 0;
    } else if (triggerIsNone(trigger)) {
        triggered_ = true;
        remaining_ = samples_;
    } else {
        triggered_ = false;
        changesToSee_ = 2 * static_cast<int64_t>(trigger.passCount) + 1;
        remaining_ = static_cast<int64_t>(samples_) - triggerPosition_ - 1;
    }

    for (int g = 0; g < kDemoGroups; ++g) {
        Lane& lane = lanes_[g];
        lane = Lane{};
        lane.function = request.groups[g].function;
        // A negative frequency (only a damaged registry value can hold one) would make the rule's
        // loop endless; it stands still like a frequency of 0.
        lane.frequency = request.groups[g].frequency > 0 ? request.groups[g].frequency : 0;
        lane.value = static_cast<uint8_t>(random_.next() & 0xFF);
        lane.phase = static_cast<int64_t>(random_.next()) * 123;
        lane.wholeStep = lane.frequency / rate_;
        lane.partStep = lane.frequency % rate_;
        lane.tieWindow = tieWindowOf(lane.frequency, rate_);
    }
}

void DemoGenerator::skipToStep(int64_t step) {
    step_ = step < 0 ? 0 : step % rate_;
    for (Lane& lane : lanes_) {
        lane.counter = demoCounterAt(step_, rate_, lane.frequency);
        lane.whole = step_ * lane.frequency / rate_;
        lane.part = step_ * lane.frequency % rate_;
    }
}

void DemoGenerator::apply(Lane& lane, int64_t n) {
    if (n <= 0) return;
    lane.advances += n;
    switch (lane.function) {
        case kDemoUpCounter: lane.value = static_cast<uint8_t>(lane.value + (n & 0xFF)); break;
        case kDemoDownCounter: lane.value = static_cast<uint8_t>(lane.value - (n & 0xFF)); break;
        case kDemoRandom:
            lane.value = static_cast<uint8_t>((n == 1 ? random_.next() : random_.nextAfter(static_cast<uint64_t>(n))) & 0xFF);
            break;
        case kDemoAllLow: lane.value = 0; break;
        case kDemoAllHigh: lane.value = 0xFF; break;
        case kDemoRotate: {
            const unsigned k = static_cast<unsigned>(n & 7);
            if (k) lane.value = static_cast<uint8_t>((lane.value >> k) | (lane.value << (8 - k)));
            break;
        }
        case kDemoSine: lane.value = demoSineByte(lane.phase + lane.advances); break;
        case kDemoUnsignedSine: lane.value = demoUnsignedSineByte(lane.phase + lane.advances); break;
        default: break;  // an unknown kind (damaged settings) holds its byte
    }
}

uint8_t DemoGenerator::advanceClosedForm(Lane& lane) {
    if (lane.frequency == 0) return lane.value;
    lane.whole += lane.wholeStep;
    lane.part += lane.partStep;
    if (lane.part >= rate_) {
        lane.part -= rate_;
        ++lane.whole;
    }
    int64_t counter = lane.whole + (lane.part > 0);
    // Only a counter this close to the exact ratio can compare equal in double (tieWindowOf).
    if (lane.part > 0 && static_cast<uint64_t>(lane.part) <= lane.tieWindow &&
        quotient(counter - 1, lane.frequency) >= quotient(step_, rate_))
        --counter;
    if (counter != lane.counter) apply(lane, counter - lane.counter);
    lane.counter = counter;
    if (step_ == rate_) {
        lane.counter -= lane.frequency;
        lane.whole = lane.part = 0;
    }
    return lane.value;
}

uint8_t DemoGenerator::advanceLiteral(Lane& lane) {
    if (lane.frequency == 0) return lane.value;
    while (quotient(step_, rate_) > quotient(lane.counter, lane.frequency)) {
        ++lane.counter;
        apply(lane, 1);
    }
    if (step_ == rate_) lane.counter -= lane.frequency;
    return lane.value;
}

void DemoGenerator::generateOne() {
    ++step_;
    uint64_t sample = 0;
    for (int g = 0; g < bytesPerSample_; ++g) {
        Lane& lane = lanes_[g];
        // A group no faster than the rate advances at most twice a sample: the rule's own loop is
        // then the cheaper way to its result.
        const bool literal = advance_ == DemoAdvance::Literal ||
                             (advance_ == DemoAdvance::Fastest && lane.frequency <= rate_);
        sample |= static_cast<uint64_t>(literal ? advanceLiteral(lane) : advanceClosedForm(lane)) << (8 * g);
    }
    if (ringPosition_ + bytesPerSample_ <= captureBytes_) {
        for (int g = 0; g < bytesPerSample_; ++g) ring_[ringPosition_ + g] = static_cast<uint8_t>(sample >> (8 * g));
        ringPosition_ += bytesPerSample_;
        if (ringPosition_ == captureBytes_) ringPosition_ = 0;
    } else {
        // A position carried over from a capture of another sample width: the sample wraps.
        for (int g = 0; g < bytesPerSample_; ++g) {
            ring_[ringPosition_] = static_cast<uint8_t>(sample >> (8 * g));
            if (++ringPosition_ >= captureBytes_) ringPosition_ = 0;
        }
    }
    if (step_ == rate_) step_ = 0;  // one virtual second has passed
    ++generated_;

    // Every sample is judged against the one generated just before it, across the ring's end too.
    if (!triggered_) {
        const bool match = demoSampleMatches(masks_, previous_, sample);
        if (firstSample_) {
            firstSample_ = false;  // it has no predecessor of this acquisition: it never counts
        } else if (match != lastMatch_) {
            lastMatch_ = match;
            if (--changesToSee_ <= 0) triggered_ = true;
        }
    } else {
        --remaining_;
    }
    previous_ = sample;
}

DemoOutcome DemoGenerator::run(const volatile long* stop) {
    for (;;) {
        if (stop && *stop) return DemoOutcome::Stopped;
        if (complete()) return DemoOutcome::Completed;
        generateOne();
    }
}

bool DemoGenerator::runFor(int64_t maxSamples) {
    for (int64_t n = 0; n < maxSamples && !complete(); ++n) generateOne();
    return complete();
}

void DemoGenerator::copyOut(uint8_t* out) const {
    if (captureBytes_ <= 0) return;
    const size_t tail = static_cast<size_t>(captureBytes_ - ringPosition_);
    std::memcpy(out, ring_ + ringPosition_, tail);
    std::memcpy(out + tail, ring_, static_cast<size_t>(ringPosition_));
}

}  // namespace kv
