// The virtual target system: rates, the random generator, the closed-form advances against the
// rule's own loop, the group functions, the trigger imitation and the Demo dialog's rules.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

#include "viewer/shell/demo_dialog.h"
#include "viewer/shell/demo_generator.h"
#include "viewer/trigger/trigger_setup.h"

namespace kv {
namespace {

// --- helpers ------------------------------------------------------------------------------------

DemoRequest quietRequest(uint32_t rate, int32_t captureLength) {
    DemoRequest r;
    r.rate = rate;
    r.captureLength = captureLength;
    for (DemoGroupSetting& g : r.groups) g = {kDemoAllLow, 0, 0};
    return r;
}

struct Capture {
    std::vector<uint8_t> bytes;
    int32_t bytesPerSample = 8;
    int32_t triggerPosition = 0;
    DemoOutcome outcome = DemoOutcome::Completed;
    int64_t generated = 0;

    int32_t samples() const { return static_cast<int32_t>(bytes.size()) / bytesPerSample; }
    uint64_t sample(int32_t i) const {
        uint64_t v = 0;
        for (int k = 0; k < bytesPerSample; ++k) v |= static_cast<uint64_t>(bytes[i * bytesPerSample + k]) << (8 * k);
        return v;
    }
    uint8_t lane(int32_t i, int g) const { return bytes[i * bytesPerSample + g]; }
};

Capture acquire(DemoGenerator& gen, std::vector<uint8_t>& ring, const DemoRequest& request) {
    gen.begin(request, ring.data(), static_cast<int32_t>(ring.size()));
    Capture c;
    const long stop = 0;
    c.outcome = gen.run(&stop);
    c.bytes.assign(static_cast<size_t>(gen.captureBytes()), 0);
    gen.copyOut(c.bytes.data());
    c.bytesPerSample = gen.bytesPerSample();
    c.triggerPosition = gen.triggerPosition();
    c.generated = gen.samplesGenerated();
    return c;
}

Capture acquire(const DemoRequest& request, uint32_t seed = 12345, int32_t ringPosition = 0) {
    DemoGenerator gen;
    gen.random().seed(seed);
    gen.setRingPosition(ringPosition);
    std::vector<uint8_t> ring(static_cast<size_t>(request.captureLength > 0 ? request.captureLength : 0) + 64);
    return acquire(gen, ring, request);
}

// --- sample rates -------------------------------------------------------------------------------

TEST(DemoRates, TwentyThreeRatesInA125SequenceFrom200MHzDownTo10Hz) {
    EXPECT_EQ(kDemoRates[0], 200000000u);
    EXPECT_EQ(kDemoRates[kDemoRateCount - 1], 10u);
    for (int i = 1; i < kDemoRateCount; ++i) {
        const uint32_t ratio10 = kDemoRates[i - 1] * 10 / kDemoRates[i];
        EXPECT_TRUE(ratio10 == 20 || ratio10 == 25) << i;  // steps of 2 and 2.5
    }
    EXPECT_EQ(demoRate(kDefaultDemoRateIndex), 100000000u);
    EXPECT_EQ(demoRate(-1), 100000000u);   // no selection
    EXPECT_EQ(demoRate(23), 100000000u);
    EXPECT_EQ(demoRate(22), 10u);
    EXPECT_EQ(demoRateText(200000000), "200 MHz");
    EXPECT_EQ(demoRateText(500000), "500 KHz");
    EXPECT_EQ(demoRateText(1000), "1 KHz");
    EXPECT_EQ(demoRateText(500), "500 Hz");
    EXPECT_EQ(demoRateText(10), "10 Hz");
}

// --- random numbers -----------------------------------------------------------------------------

TEST(DemoRandom, FifteenBitNumbersAndSkippingEqualsStepping) {
    DemoRandom r;
    r.seed(987654321u);
    std::set<uint32_t> seen;
    for (int i = 0; i < 100000; ++i) {
        const uint32_t v = r.next();
        ASSERT_LE(v, 32767u);
        seen.insert(v);
    }
    EXPECT_GT(seen.size(), 30000u);  // spread over the whole range

    for (uint64_t n : {1ull, 2ull, 3ull, 7ull, 256ull, 1000ull, 65537ull, 5000000ull}) {
        DemoRandom stepped, skipped;
        stepped.seed(42u + static_cast<uint32_t>(n));
        skipped.seed(42u + static_cast<uint32_t>(n));
        uint32_t last = 0;
        for (uint64_t k = 0; k < n; ++k) last = stepped.next();
        EXPECT_EQ(skipped.nextAfter(n), last) << n;
        EXPECT_EQ(skipped.state(), stepped.state()) << n;
    }
}

// --- advances: closed form against the loop -----------------------------------------------------

// Steps s where s·f mod rate is tiny: the exact counter and its predecessor are then so close
// that their quotients can round to the same double.
std::vector<int64_t> nearTieSteps(int64_t rate, int64_t f) {
    std::vector<int64_t> steps;
    // Extended Euclid for the inverse of f mod rate (when they are coprime).
    int64_t a = f % rate, m = rate, x0 = 0, x1 = 1;
    if (a == 0) return steps;
    while (a > 1 && m) {
        const int64_t q = a / m;
        int64_t t = m;
        m = a % m, a = t;
        t = x0;
        x0 = x1 - q * x0, x1 = t;
    }
    if (a != 1) return steps;
    const int64_t inverse = ((x1 % rate) + rate) % rate;
    for (int64_t k = 1; k <= 40; ++k) {
        const int64_t s = (inverse * k) % rate;
        if (s > 0) steps.push_back(s);
    }
    return steps;
}

TEST(DemoAdvances, ClosedFormGivesTheLoopsCounterForEveryStep) {
    struct Pair {
        int64_t rate, f;
    };
    std::vector<Pair> pairs;
    for (uint32_t rate : kDemoRates)
        for (int64_t f : {0ll, 1ll, 3ll, 7ll, 999ll, 13000000ll, 19999999ll, 20000000ll, 33333333ll, 49999999ll,
                          50000000ll, 2147483647ll})
            pairs.push_back({rate, f});
    for (uint32_t rate : kDemoRates) pairs.push_back({rate, rate}), pairs.push_back({rate, rate - 1}),
                                     pairs.push_back({rate, rate + 1}), pairs.push_back({rate, rate / 3});

    int ties = 0;
    for (const Pair& p : pairs) {
        std::vector<int64_t> steps;
        if (p.rate <= 20000 && p.f <= 1000000) {  // every step, while the loop stays short
            for (int64_t s = 1; s <= p.rate; ++s) steps.push_back(s);
        } else {
            for (int64_t s : std::initializer_list<int64_t>{1, 2, 3, p.rate / 2, p.rate - 1, p.rate}) steps.push_back(s);
            for (int64_t k = 1; k < 200; ++k) steps.push_back(1 + (k * 7919 * 104729) % p.rate);
            for (int64_t s : nearTieSteps(p.rate, p.f)) steps.push_back(s);
        }
        for (int64_t s : steps) {
            if (s < 1 || s > p.rate) continue;
            // The loop starts from the counter of the step before (the loop never goes back).
            const int64_t before = demoCounterAt(s - 1, p.rate, p.f);
            if (p.f / p.rate > 20000) continue;  // the loop would take too long; covered below
            const int64_t byLoop = demoCounterByLoop(s, p.rate, p.f, before);
            ASSERT_EQ(demoCounterAt(s, p.rate, p.f), byLoop) << "rate " << p.rate << " f " << p.f << " step " << s;
            if (p.f > 0 && byLoop * p.rate < s * p.f) ++ties;  // the double comparison stopped early
        }
    }
    // The set holds steps where the loop stops one short of the exact counter.
    EXPECT_GT(ties, 0);
}

TEST(DemoAdvances, ManyAdvancesPerSampleAtLowRates) {
    // 50 MHz at 10 Hz: five million advances per sample, computed without the loop.
    for (int64_t s = 1; s <= 10; ++s) EXPECT_EQ(demoCounterAt(s, 10, 50000000), 5000000 * s);
    EXPECT_EQ(demoCounterByLoop(3, 10, 50000000, demoCounterAt(2, 10, 50000000)), 15000000);
    // A stopped group never advances, whatever the step.
    EXPECT_EQ(demoCounterAt(7, 10, 0), 0);
    EXPECT_EQ(demoCounterByLoop(7, 10, 0, 0), 0);
}

TEST(DemoGeneratorTest, ClosedFormGeneratorWritesTheSameCaptureAsTheLiteralLoop) {
    struct Case {
        uint32_t rate;
        int32_t f[8];
        int32_t kinds[8];
        uint32_t flags;
        int32_t length;
    };
    const Case cases[] = {
        {200000000, {20000000, 19000000, 18000000, 17000000, 16000000, 15000000, 14000000, 13000000},
         {0, 2, 1, 2, 2, 1, 2, 0}, 0, 40000},
        {200000000, {49999999, 50000000, 33333333, 199999999, 200000000, 1, 3, 7}, {0, 1, 2, 5, 6, 7, 0, 2}, 0, 16000},
        {100000000, {49999999, 2147483647, 33333333, 99999999, 1, 100000000, 0, -5}, {6, 7, 5, 2, 0, 1, 4, 3}, 0, 8000},
        {1000, {999, 1001, 3000, 50000, 1, 7, 2500, 333}, {0, 1, 2, 5, 6, 7, 2, 0}, 0, 8000},
        {10, {13, 27, 99, 1000, 5, 3, 10, 11}, {2, 6, 7, 0, 1, 5, 2, 2}, 0, 4000},
        {50, {70, 30, 10, 40, 60, 80, 90, 100}, {0, 1, 2, 5, 6, 7, 0, 1}, kTriggerFlagMemoryStack, 4004},
    };
    for (const Case& c : cases) {
        DemoRequest r = quietRequest(c.rate, c.length);
        r.trigger.flags = c.flags;
        for (int g = 0; g < 8; ++g) r.groups[g] = {c.kinds[g], 2, c.f[g]};
        for (uint32_t seed : {1u, 777u, 0xDEADBEEFu}) {
            DemoGenerator closed(DemoAdvance::ClosedForm), fastest, literal(DemoAdvance::Literal);
            closed.random().seed(seed);
            fastest.random().seed(seed);
            literal.random().seed(seed);
            std::vector<uint8_t> ringA(static_cast<size_t>(c.length)), ringB(static_cast<size_t>(c.length)),
                ringC(static_cast<size_t>(c.length));
            // Two acquisitions in a row: the ring position and the random state carry over.
            for (int round = 0; round < 2; ++round) {
                const Capture a = acquire(closed, ringA, r);
                const Capture b = acquire(literal, ringB, r);
                const Capture f = acquire(fastest, ringC, r);
                ASSERT_EQ(a.bytes, b.bytes) << "rate " << c.rate << " seed " << seed << " round " << round;
                ASSERT_EQ(f.bytes, b.bytes) << "rate " << c.rate << " seed " << seed << " round " << round;
                EXPECT_EQ(closed.ringPosition(), literal.ringPosition());
                EXPECT_EQ(closed.random().state(), literal.random().state());
                EXPECT_EQ(fastest.random().state(), literal.random().state());
            }
        }
    }
}

TEST(DemoGeneratorTest, ClosedFormGeneratorMatchesTheLoopWhereQuotientsTie) {
    // Late in a virtual second (a long wait for a trigger) step / rate and counter / f can round
    // to the same double although they differ: the loop then stops one advance earlier.
    const int64_t rate = 200000000;
    int ties = 0;
    for (int64_t f : {49999999ll, 33333333ll, 2147483647ll}) {
        for (int64_t tie : nearTieSteps(rate, f)) {
            if (demoCounterAt(tie, rate, f) * rate >= tie * f) continue;  // no tie at this step
            ++ties;
            DemoRequest r = quietRequest(static_cast<uint32_t>(rate), 8 * 16);
            for (DemoGroupSetting& g : r.groups) g = {kDemoUpCounter, 2, static_cast<int32_t>(f)};
            r.groups[1].function = kDemoRandom;
            r.groups[2].function = kDemoSine;
            DemoGenerator fast(DemoAdvance::ClosedForm), literal(DemoAdvance::Literal);
            std::vector<uint8_t> ringA(128), ringB(128);
            fast.random().seed(5);
            literal.random().seed(5);
            fast.begin(r, ringA.data(), 128);
            literal.begin(r, ringB.data(), 128);
            fast.skipToStep(tie - 8);
            literal.skipToStep(tie - 8);
            fast.runFor(16);
            literal.runFor(16);
            ASSERT_EQ(ringA, ringB) << "f " << f << " step " << tie;
        }
    }
    EXPECT_GT(ties, 0);
}

// --- group functions ----------------------------------------------------------------------------

TEST(DemoFunctions, CountersFollowTheRateSampleBySample) {
    DemoRequest r = quietRequest(50000000, 8 * 600);
    r.groups[0] = {kDemoUpCounter, 0, 50000000};    // frequency = rate: one advance per sample
    r.groups[1] = {kDemoUpCounter, 0, 25000000};    // half the rate: every second sample
    r.groups[2] = {kDemoDownCounter, 0, 50000000};
    r.groups[3] = {kDemoAllHigh, 0, 1000};
    r.groups[4] = {kDemoUpCounter, 0, 0};           // stopped: keeps its random start byte
    const Capture c = acquire(r);
    ASSERT_EQ(c.samples(), 600);
    for (int i = 1; i < c.samples(); ++i) {
        EXPECT_EQ(c.lane(i, 0), static_cast<uint8_t>(c.lane(i - 1, 0) + 1)) << i;
        EXPECT_EQ(c.lane(i, 2), static_cast<uint8_t>(c.lane(i - 1, 2) - 1)) << i;
        EXPECT_EQ(c.lane(i, 4), c.lane(0, 4));
    }
    int steps = 0;
    for (int i = 1; i < c.samples(); ++i) {
        const uint8_t d = static_cast<uint8_t>(c.lane(i, 1) - c.lane(i - 1, 1));
        ASSERT_LE(d, 1);
        steps += d;
        if (i >= 2) {
            EXPECT_EQ(static_cast<uint8_t>(c.lane(i, 1) - c.lane(i - 2, 1)), 1) << i;
        }
    }
    EXPECT_EQ(steps, 299);
    // 1 kHz at 50 MHz: the first advance comes on the first sample, after which the byte stays.
    for (int i = 0; i < c.samples(); ++i) EXPECT_EQ(c.lane(i, 3), 0xFF);
}

TEST(DemoFunctions, SineCoversOnePeriodIn720AdvancesAndUnsignedSineStaysIn0To254) {
    int signChanges = 0, highest = -128, lowest = 128;
    int previous = static_cast<int8_t>(demoSineByte(0));
    for (int64_t a = 1; a <= 720; ++a) {
        const int v = static_cast<int8_t>(demoSineByte(a));
        ASSERT_GE(v, -127);
        ASSERT_LE(v, 127);
        if ((v > 0 && previous <= 0) || (v < 0 && previous >= 0)) ++signChanges;
        if (v != 0) previous = v;
        highest = std::max(highest, v);
        lowest = std::min(lowest, v);
    }
    EXPECT_EQ(signChanges, 2);
    EXPECT_GE(highest, 126);
    EXPECT_LE(lowest, -126);
    EXPECT_EQ(demoSineByte(0), 0);
    EXPECT_EQ(demoUnsignedSineByte(0), 127);
    for (int64_t a = 0; a < 5000; ++a) ASSERT_LE(demoUnsignedSineByte(a * 37 + 11), 254);

    // In a capture, a sine group at the sample rate steps one advance per sample.
    DemoRequest r = quietRequest(1000, 8 * 800);
    r.groups[0] = {kDemoSine, 2, 1000};
    r.groups[1] = {kDemoUnsignedSine, 2, 1000};
    const Capture c = acquire(r);
    for (int i = 0; i + 720 < c.samples(); ++i) {
        const int a = static_cast<int8_t>(c.lane(i, 0)), b = static_cast<int8_t>(c.lane(i + 720, 0));
        EXPECT_LE(std::abs(a - b), 1) << i;  // one period later (the step is a hair above pi/360)
        EXPECT_LE(c.lane(i, 1), 254);
    }
}

TEST(DemoFunctions, RotateAllLowAllHighAndRandom) {
    DemoRequest r = quietRequest(1000, 8 * 64);
    r.groups[0] = {kDemoRotate, 2, 1000};
    r.groups[1] = {kDemoRotate, 2, 8000};   // eight advances per sample: back where it was
    r.groups[2] = {kDemoAllLow, 2, 1000};
    r.groups[3] = {kDemoAllHigh, 2, 1000};
    r.groups[4] = {kDemoRandom, 2, 1000};
    r.groups[5] = {kDemoRotate, 2, 3000};
    const Capture c = acquire(r);
    std::set<uint8_t> randoms;
    for (int i = 1; i < c.samples(); ++i) {
        const uint8_t p = c.lane(i - 1, 0);
        EXPECT_EQ(c.lane(i, 0), static_cast<uint8_t>((p >> 1) | (p << 7))) << i;
        EXPECT_EQ(c.lane(i, 1), c.lane(0, 1));
        const uint8_t q = c.lane(i - 1, 5);
        EXPECT_EQ(c.lane(i, 5), static_cast<uint8_t>((q >> 3) | (q << 5))) << i;
        EXPECT_EQ(c.lane(i, 2), 0);
        EXPECT_EQ(c.lane(i, 3), 0xFF);
        randoms.insert(c.lane(i, 4));
    }
    EXPECT_GT(randoms.size(), 20u);
}

// --- acquisition and trigger --------------------------------------------------------------------

TEST(DemoGeneratorTest, WithoutATriggerTheCaptureIsExactlyOneBufferOfTheLatestSamples) {
    DemoRequest r = quietRequest(1000000, 40000);
    r.groups[0] = {kDemoUpCounter, 0, 1000000};
    r.groups[7] = {kDemoUpCounter, 0, 1000000};
    DemoGenerator gen;
    std::vector<uint8_t> ring(1 << 20);
    gen.setRingPosition(8 * 123);
    const Capture c = acquire(gen, ring, r);
    EXPECT_EQ(c.outcome, DemoOutcome::Completed);
    EXPECT_EQ(c.generated, 5000);
    EXPECT_EQ(c.samples(), 5000);
    EXPECT_EQ(gen.ringPosition(), 8 * 123);  // one whole turn of the ring
    for (int i = 1; i < c.samples(); ++i) ASSERT_EQ(c.lane(i, 7), static_cast<uint8_t>(c.lane(i - 1, 7) + 1));

    // A pass count of -1 is no trigger either, whatever the channels ask for.
    r.trigger.conditions[0] = kConditionRising;
    r.trigger.passCount = kPassCountNoTrigger;
    EXPECT_EQ(acquire(gen, ring, r).generated, 5000);
}

// The index of the first sample generated in this acquisition: group 4 is all-high from the first
// sample on, while the ring was zeroed before.
int firstGenerated(const Capture& c) {
    for (int i = 0; i < c.samples(); ++i)
        if (c.lane(i, 4) == 0xFF) return i;
    return -1;
}

TEST(DemoTrigger, RisingEdgeWithPassCountPutsThePPlusFirstEdgeAtTheTriggerPosition) {
    for (int32_t pass : {0, 1, 2, 5, 17}) {
        for (int32_t ringStart : {0, 4000 - 8, 4000 - 16, 4000 - 24, 8 * 77}) {
            DemoRequest r = quietRequest(20000000, 4000);  // 500 samples
            r.groups[0] = {kDemoUpCounter, 0, 20000000};    // channel 0 toggles every sample
            r.groups[4] = {kDemoAllHigh, 0, 20000000};
            r.trigger.conditions[0] = kConditionRising;
            r.trigger.passCount = pass;
            r.trigger.triggerPosition = 100;
            const Capture c = acquire(r, 99u + static_cast<uint32_t>(pass), ringStart);
            ASSERT_EQ(c.outcome, DemoOutcome::Completed);
            const int first = firstGenerated(c);
            ASSERT_GE(first, 0);
            // The first generated sample has no predecessor and never counts.
            int edges = 0, at = -1;
            for (int i = first + 1; i < c.samples() && at < 0; ++i)
                if (!(c.sample(i - 1) & 1) && (c.sample(i) & 1) && ++edges == pass + 1) at = i;
            EXPECT_EQ(at, 100) << "pass " << pass << " ring start " << ringStart;
            EXPECT_EQ(c.triggerPosition, 100);
            EXPECT_EQ(c.samples() - 1 - 100, c.generated - 1 - (100 - first));  // samples after the trigger
        }
    }
}

TEST(DemoTrigger, LevelAndFallingEdgeConditions) {
    // Level: channels 8-15 equal to 0x5A; the counter passes it once every 256 samples.
    DemoRequest r = quietRequest(1000, 8 * 2000);
    r.groups[1] = {kDemoUpCounter, 2, 1000};
    for (int c = 0; c < 8; ++c) r.trigger.conditions[8 + c] = (0x5A >> c) & 1 ? kConditionHigh : kConditionLow;
    r.trigger.passCount = 2;
    r.trigger.triggerPosition = 1000;
    Capture c = acquire(r, 5u);
    ASSERT_EQ(c.outcome, DemoOutcome::Completed);
    EXPECT_EQ(c.lane(1000, 1), 0x5A);
    EXPECT_NE(c.lane(999, 1), 0x5A);

    // Falling edge of channel 16 while channel 24 is high.
    r = quietRequest(1000, 8 * 300);
    r.groups[2] = {kDemoUpCounter, 2, 1000};
    r.groups[3] = {kDemoAllHigh, 2, 1000};
    r.trigger.conditions[16] = kConditionFalling;
    r.trigger.conditions[24] = kConditionHigh;
    r.trigger.triggerPosition = 150;
    c = acquire(r, 6u);
    EXPECT_EQ(c.lane(149, 2) & 1, 1);
    EXPECT_EQ(c.lane(150, 2) & 1, 0);

    // Either edge: the first change of channel 40 after the first sample.
    r = quietRequest(1000, 8 * 300);
    r.groups[5] = {kDemoUpCounter, 2, 1000};
    r.trigger.conditions[40] = kConditionEitherEdge;
    r.trigger.triggerPosition = 50;
    c = acquire(r, 7u);
    EXPECT_NE(c.lane(49, 5) & 1, c.lane(50, 5) & 1);
}

TEST(DemoTrigger, MasksAndMatching) {
    DemoTrigger t;
    t.conditions[0] = kConditionHigh;
    t.conditions[1] = kConditionLow;
    t.conditions[63] = kConditionHigh;
    t.conditions[5] = kConditionRising;
    t.conditions[9] = kConditionFalling;  // the last edge channel decides the kind
    const DemoTriggerMasks m = demoTriggerMasks(t);
    EXPECT_EQ(m.levelMask, (uint64_t{1} << 63) | 3u);
    EXPECT_EQ(m.levelPattern, (uint64_t{1} << 63) | 1u);
    EXPECT_EQ(m.edgeMask, (1u << 5) | (1u << 9));
    EXPECT_EQ(m.edgeKind, kConditionFalling);
    const uint64_t level = (uint64_t{1} << 63) | 1u;
    EXPECT_TRUE(demoSampleMatches(m, level | (1u << 9), level));
    EXPECT_FALSE(demoSampleMatches(m, level, level | (1u << 5)));
    EXPECT_FALSE(demoSampleMatches(m, level | (1u << 9) | 2u, level | 2u));

    // Memory-stack mode: only channels 0-31 take part.
    t.flags = kTriggerFlagMemoryStack;
    const DemoTriggerMasks low = demoTriggerMasks(t);
    EXPECT_EQ(low.levelMask, 3u);
    DemoTrigger high;
    high.conditions[40] = kConditionHigh;
    EXPECT_FALSE(triggerIsNone(high));
    high.flags = kTriggerFlagMemoryStack;
    EXPECT_TRUE(triggerIsNone(high));
}

TEST(DemoTrigger, ATriggerThatNeverMatchesRunsUntilStopped) {
    DemoRequest r = quietRequest(1000, 8 * 100);
    r.groups[7] = {kDemoAllLow, 2, 1000};
    r.trigger.conditions[56] = kConditionHigh;
    DemoGenerator gen;
    std::vector<uint8_t> ring(800);
    gen.begin(r, ring.data(), 800);
    EXPECT_FALSE(gen.runFor(100000));
    EXPECT_FALSE(gen.triggered());
    const long stop = 1;
    EXPECT_EQ(gen.run(&stop), DemoOutcome::Stopped);
}

TEST(DemoGeneratorTest, MemoryStackCapturesAreFourByteSamplesOfGroups0To3) {
    DemoRequest r = quietRequest(1000, 40000);
    r.trigger.flags = kTriggerFlagMemoryStack;
    for (DemoGroupSetting& g : r.groups) g = {kDemoAllHigh, 2, 1000};
    const Capture c = acquire(r);
    EXPECT_EQ(c.bytesPerSample, 4);
    EXPECT_EQ(c.samples(), 10000);
    EXPECT_EQ(c.generated, 10000);
    for (uint8_t b : c.bytes) ASSERT_EQ(b, 0xFF);
}

TEST(DemoGeneratorTest, OddLengthsAndPositionsStayWithinTheCapture) {
    // A length that is not whole samples is cut; a position past the end keeps the trigger sample
    // in the capture (its last sample) instead of returning an untriggered, empty capture.
    DemoRequest r = quietRequest(1000, 8 * 50 + 5);
    r.groups[0] = {kDemoUpCounter, 2, 1000};
    r.groups[4] = {kDemoAllHigh, 2, 1000};
    r.trigger.conditions[0] = kConditionRising;
    r.trigger.triggerPosition = 5000;
    Capture c = acquire(r, 3u);
    EXPECT_EQ(c.bytes.size(), 400u);
    EXPECT_EQ(c.triggerPosition, 49);
    EXPECT_EQ(c.lane(49, 0) & 1, 1);
    EXPECT_EQ(c.lane(48, 0) & 1, 0);
    EXPECT_EQ(c.lane(49, 4), 0xFF);

    r.trigger.triggerPosition = 49;  // the last sample exactly
    c = acquire(r, 3u);
    EXPECT_EQ(c.lane(49, 0) & 1, 1);
    EXPECT_EQ(c.lane(48, 0) & 1, 0);

    // Less than one sample: an empty capture, at once.
    r.captureLength = 7;
    c = acquire(r);
    EXPECT_EQ(c.outcome, DemoOutcome::Completed);
    EXPECT_TRUE(c.bytes.empty());

    // The ring is shorter than asked: the capture is cut to the ring.
    DemoGenerator gen;
    std::vector<uint8_t> ring(800);
    r.captureLength = 100000;
    r.trigger = DemoTrigger{};
    c = acquire(gen, ring, r);
    EXPECT_EQ(c.bytes.size(), 800u);
}

TEST(DemoGeneratorTest, ARingPositionBetweenSamplesStillGivesWholeSamplesInOrder) {
    // After a memory-stack capture the carried position may fall inside an 8-byte sample.
    DemoRequest r = quietRequest(1000, 96);
    for (int g = 0; g < 8; ++g) r.groups[g] = {kDemoUpCounter, 2, 1000};
    for (int32_t start : {4, 12, 92}) {
        const Capture c = acquire(r, 8u, start);
        ASSERT_EQ(c.samples(), 12);
        for (int i = 1; i < c.samples(); ++i)
            for (int g = 0; g < 8; ++g)
                ASSERT_EQ(c.lane(i, g), static_cast<uint8_t>(c.lane(i - 1, g) + 1)) << start << " " << i << " " << g;
    }
}

// --- trigger set-up -----------------------------------------------------------------------------

TEST(DemoTriggerTest, DefaultsTheLowestTriggerPositionAndThePatternInForce) {
    const DemoTrigger t;
    for (uint8_t code : t.conditions) EXPECT_EQ(code, kConditionDontCare);
    EXPECT_EQ(t.passCount, 0);
    EXPECT_EQ(t.flags, 0u);
    EXPECT_EQ(t.triggerPosition, kDefaultTriggerPosition);
    EXPECT_TRUE(triggerIsNone(t));
    DemoTrigger u;
    u.conditions[63] = kConditionFalling;
    EXPECT_FALSE(triggerIsNone(u));
    u.passCount = -1;
    EXPECT_TRUE(triggerIsNone(u));
    u.passCount = 0;
    u.conditions[63] = 99;  // not a condition
    EXPECT_TRUE(triggerIsNone(u));

    // The imitation reads the single-level pattern back from the record in force.
    TriggerSetup setup;
    setup.setTriggerPosition(3);
    EXPECT_EQ(setup.triggerPosition, 16);
    setup.setTriggerPosition(4000);
    setup.oneLevel[7] = kConditionRising;
    setup.oneLevel[8] = kConditionHigh;
    storeOneLevel(setup.current, setup.oneLevel, 64);
    setup.current.passCount = 3;
    const DemoTrigger d = demoTriggerOf(setup);
    EXPECT_EQ(d.conditions[7], kConditionRising);
    EXPECT_EQ(d.conditions[8], kConditionHigh);
    EXPECT_EQ(d.conditions[9], kConditionDontCare);
    EXPECT_EQ(d.passCount, 3);
    EXPECT_EQ(d.triggerPosition, 4000);
    switchTriggerMode(setup, kModeNoTrigger, false);
    EXPECT_TRUE(triggerIsNone(demoTriggerOf(setup)));
}

// --- Demo dialog rules --------------------------------------------------------------------------

TEST(DemoDialogRules, UnitsCycleAndRowsShowTheFrequencyInTheirUnit) {
    EXPECT_STREQ(nextDemoUnitText("MHz"), "KHz");
    EXPECT_STREQ(nextDemoUnitText("KHz"), "Hz");
    EXPECT_STREQ(nextDemoUnitText("Hz"), "MHz");
    EXPECT_STREQ(demoUnitText(0), "MHz");
    EXPECT_STREQ(demoUnitText(1), "KHz");
    EXPECT_STREQ(demoUnitText(2), "Hz");
    EXPECT_STREQ(demoUnitText(7), "Hz");
    EXPECT_EQ(demoFrequencyInUnit({0, 0, 20000000}), 20u);
    EXPECT_EQ(demoFrequencyInUnit({0, 0, 20500000}), 20u);
    EXPECT_EQ(demoFrequencyInUnit({0, 1, 20500000}), 20500u);
    EXPECT_EQ(demoFrequencyInUnit({0, 2, 1234567}), 1234567u);
}

TEST(DemoDialogRules, OkTakesTheRowsUpToTheFirstOverTheLimit) {
    DemoGroupSetting groups[kDemoGroups];
    Settings s;
    setDemoDefaults(s);
    std::memcpy(groups, s.demo, sizeof groups);
    DemoDialogRow rows[kDemoGroups];
    for (int g = 0; g < kDemoGroups; ++g) rows[g] = {kDemoRotate, "5", "MHz"};
    rows[1] = {kDemoSine, "50000", "KHz"};
    rows[2] = {kDemoRandom, "50000000", "Hz"};
    rows[3] = {kDemoUpCounter, "60", "MHz"};  // over 50 MHz
    EXPECT_EQ(applyDemoDialogRows(rows, groups), 3);
    EXPECT_EQ(groups[0].function, kDemoRotate);
    EXPECT_EQ(groups[0].frequency, 5000000);
    EXPECT_EQ(groups[1].unitMode, kDemoUnitKHz);
    EXPECT_EQ(groups[1].frequency, 50000000);
    EXPECT_EQ(groups[2].unitMode, kDemoUnitHz);
    EXPECT_EQ(groups[2].frequency, 50000000);
    for (int g = 3; g < kDemoGroups; ++g) {
        EXPECT_EQ(groups[g].function, s.demo[g].function) << g;
        EXPECT_EQ(groups[g].frequency, s.demo[g].frequency) << g;
    }

    rows[3] = {-1, " 12 ", "MHz"};  // no selection keeps the kind; blanks around the number
    rows[4] = {kDemoAllHigh, "", "KHz"};  // empty: 0, the group stands still
    rows[5] = {kDemoAllLow, "50001", "KHz"};
    EXPECT_EQ(applyDemoDialogRows(rows, groups), 5);
    EXPECT_EQ(groups[3].function, s.demo[3].function);
    EXPECT_EQ(groups[3].frequency, 12000000);
    EXPECT_EQ(groups[4].frequency, 0);
    rows[5] = {kDemoAllLow, "50000001", "Hz"};
    EXPECT_EQ(applyDemoDialogRows(rows, groups), 5);
    rows[5] = {kDemoAllLow, "99999999999999999999999", "Hz"};  // beyond 64 bits: refused, not wrapped
    EXPECT_EQ(applyDemoDialogRows(rows, groups), 5);
    rows[5] = {kDemoAllLow, "4294967297", "Hz"};  // wraps to 1 in 32 bits: still refused
    EXPECT_EQ(applyDemoDialogRows(rows, groups), 5);
    rows[5] = {kDemoAllLow, "3", "Hz"};
    EXPECT_EQ(applyDemoDialogRows(rows, groups), -1);
    EXPECT_EQ(groups[7].frequency, 5000000);
}

TEST(DemoDialogRules, NumbersReadLikeAnUnsignedEdit) {
    uint64_t v = 1;
    EXPECT_TRUE(parseDemoNumber("", v));
    EXPECT_EQ(v, 0u);
    EXPECT_TRUE(parseDemoNumber("  42abc", v));
    EXPECT_EQ(v, 42u);
    EXPECT_TRUE(parseDemoNumber("-5", v));
    EXPECT_EQ(v, 0u);
    EXPECT_TRUE(parseDemoNumber("18446744073709551615", v));
    EXPECT_FALSE(parseDemoNumber("18446744073709551616", v));
}

}  // namespace
}  // namespace kv
