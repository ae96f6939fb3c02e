// The virtual target system of demo mode: eight byte lanes of synthesised signals, a trigger
// imitation with pass count and edges, written into a ring and copied out as a finished capture
// with the triggering sample at the trigger position.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "viewer/shell/settings.h"
#include "viewer/trigger/trigger_setup.h"

namespace kv {

// --- sample rates of demo mode (list 1043, in list order) ----------------------------------------

enum : int32_t {
    kDemoRateCount = 23,
    // 100 MHz: the default groups (13 to 20 MHz) then change every five to eight samples, which
    // shows as counters and clocks at the first zoom level.
    kDefaultDemoRateIndex = 1,
};
extern const uint32_t kDemoRates[kDemoRateCount];

// The rate of a list index; an index outside the list (no selection) gives the default rate.
uint32_t demoRate(int index);
// The list text of a rate: "200 MHz", "500 KHz", "10 Hz".
std::string demoRateText(uint32_t hz);

// --- group functions ----------------------------------------------------------------------------

enum DemoFunction : int32_t {
    kDemoUpCounter = 0,
    kDemoDownCounter = 1,
    kDemoRandom = 2,
    kDemoAllLow = 3,
    kDemoAllHigh = 4,
    kDemoRotate = 5,
    kDemoSine = 6,
    kDemoUnsignedSine = 7,
    kDemoFunctionCount = 8,
};
// Combo-box texts of the functions, by kind.
extern const char* const kDemoFunctionNames[kDemoFunctionCount];

// The sine step of one advance: the single-precision value of pi, divided by 360 in double. The
// generator has always used it, so a period is 720 advances plus a hair.
constexpr double kDemoSineStep = 0.008726646502812704;

// The byte a sine function shows after `advances` advances from `phase`.
uint8_t demoSineByte(int64_t phaseAndAdvances);
uint8_t demoUnsignedSineByte(int64_t phaseAndAdvances);

// The process-wide 15-bit pseudo-random generator (a 32-bit linear congruential generator whose
// bits 16-30 are the output). Any number of steps can be skipped at the cost of a few multiplies,
// which the random-data function needs when a group advances millions of times per sample.
class DemoRandom {
public:
    void seed(uint32_t value) { state_ = value; }
    uint32_t state() const { return state_; }
    // The next number, 0 to 32,767.
    uint32_t next();
    // The n-th next number (n >= 1): the numbers before it are skipped.
    uint32_t nextAfter(uint64_t n);

private:
    uint32_t state_ = 1;
    // The composed step of the last skip: a group advancing a fixed number of times per sample
    // asks for the same n again and again.
    uint64_t skipN_ = 0;
    uint32_t skipMul_ = 1, skipAdd_ = 0;
};

// --- how often a group advances -----------------------------------------------------------------
//
// The generator's rule: at each sample step s = 1 ... rate of one virtual second, a group of
// frequency f advances while (double)s / rate > (double)counter / f, one advance at a time; at
// s = rate the counter drops by f. A group at 50 MHz and a 10 Hz rate would run that loop 5,000,000
// times per sample. The counter after step s is the smallest c >= 0 with fl(c / f) >= fl(s / rate);
// these give it without the loop, with exactly the loop's result.

// The loop itself, from `counter` at step s: the counter it stops at. Kept as the reference the
// closed form is checked against.
int64_t demoCounterByLoop(int64_t step, int64_t rate, int64_t frequency, int64_t counter);
// The same counter in closed form (counter before step s at most the result, as in the generator).
int64_t demoCounterAt(int64_t step, int64_t rate, int64_t frequency);

// --- trigger imitation --------------------------------------------------------------------------

// What the imitation reads of the trigger in force: its single-level pattern, pass count, flags
// and the trigger position the acquisition arms with.
struct DemoTrigger {
    uint8_t conditions[kTriggerChannels];  // one code per channel
    int32_t passCount = 0;                 // occurrences to let pass; -1: no trigger
    uint32_t flags = 0;
    int32_t triggerPosition = kDefaultTriggerPosition;

    DemoTrigger();                          // every channel "don't care", pass count 0
    bool memoryStack() const { return (flags & kTriggerFlagMemoryStack) != 0; }
};

// The imitation of the trigger set-up in force: the pattern read back from the record in force.
DemoTrigger demoTriggerOf(const TriggerSetup& setup);

// True when a code asks something of its channel (low, high or an edge).
bool isConditionCode(uint8_t code);

// No trigger: the pass count is negative, or no channel that takes part (channels 0-31 in
// memory-stack mode, all 64 otherwise) carries a condition.
bool triggerIsNone(const DemoTrigger& trigger);

struct DemoTriggerMasks {
    uint64_t levelMask = 0;     // channels that must be at a level
    uint64_t levelPattern = 0;  // their levels
    uint64_t edgeMask = 0;      // channels that must show the edge
    uint8_t edgeKind = 0;       // kConditionRising, kConditionFalling, kConditionEitherEdge, 0: none
};

// The masks of a set-up; in memory-stack mode only channels 0-31 take part. With edge channels of
// several kinds, the last channel's kind decides for all.
DemoTriggerMasks demoTriggerMasks(const DemoTrigger& trigger);
// Whether `current` (following `previous`) meets the condition.
bool demoSampleMatches(const DemoTriggerMasks& masks, uint64_t previous, uint64_t current);

// --- the generator ------------------------------------------------------------------------------

struct DemoRequest {
    DemoGroupSetting groups[kDemoGroups];  // function and frequency (Hz) of each group
    uint32_t rate = 100000000;             // sample rate, Hz
    int32_t captureLength = 40000;         // bytes
    DemoTrigger trigger;                   // conditions, pass count, memory-stack flag, position
};

enum class DemoOutcome { Completed, Stopped };

// How the groups advance; all three give the same capture.
enum class DemoAdvance {
    Fastest,     // the rule's loop for groups no faster than the rate, the closed form above it
    ClosedForm,  // the closed form for every group
    Literal,     // one step at a time as the rule states (the reference for tests and benchmarks)
};

class DemoGenerator {
public:
    explicit DemoGenerator(DemoAdvance advance = DemoAdvance::Fastest) : advance_(advance) {}

    DemoRandom& random() { return random_; }

    // Prepares one acquisition into `ring` (ringBytes long, caller-owned): zeroes the capture's part
    // of it, resets the groups (random start bytes and phases), builds the trigger masks. The
    // capture length is cut to whole samples and to the ring; the ring position carries over from
    // the previous acquisition (reduced to the new length).
    void begin(const DemoRequest& request, uint8_t* ring, int32_t ringBytes);

    // Generates until the capture is complete or *stop becomes non-zero (polled once per sample).
    DemoOutcome run(const volatile long* stop);
    // Generates at most `maxSamples` more samples; Completed when the capture is complete.
    bool runFor(int64_t maxSamples);

    // Copies the finished capture out of the ring, oldest sample first: the byte at the ring
    // position becomes byte 0. `out` receives captureBytes() bytes.
    void copyOut(uint8_t* out) const;

    int32_t captureBytes() const { return captureBytes_; }
    int32_t samples() const { return samples_; }
    int32_t bytesPerSample() const { return bytesPerSample_; }
    // The trigger position the capture has: the requested one, kept within the capture.
    int32_t triggerPosition() const { return triggerPosition_; }
    bool triggered() const { return triggered_; }
    bool complete() const { return triggered_ && remaining_ < 1; }
    int32_t ringPosition() const { return ringPosition_; }
    void setRingPosition(int32_t bytes) { ringPosition_ = bytes < 0 ? 0 : bytes; }
    int64_t samplesGenerated() const { return generated_; }
    // Moves the virtual clock to `step` samples into its second without generating, as a long
    // wait for a trigger would (the groups' counters follow, their bytes do not change).
    void skipToStep(int64_t step);

private:
    struct Lane {
        int32_t function = 0;
        int64_t frequency = 0;     // Hz; 0 never advances
        uint8_t value = 0;
        int64_t phase = 0;
        int64_t counter = 0;       // the rule's counter within the virtual second
        int64_t advances = 0;      // advances since the acquisition began
        // Closed form: step × frequency = whole × rate + part, kept as the steps go.
        int64_t whole = 0, part = 0;
        int64_t wholeStep = 0, partStep = 0;  // frequency / rate, frequency mod rate
        uint64_t tieWindow = 0;    // parts this small need the double comparison
    };

    uint8_t advanceClosedForm(Lane& lane);
    uint8_t advanceLiteral(Lane& lane);
    void apply(Lane& lane, int64_t n);
    void generateOne();

    DemoAdvance advance_;
    DemoRandom random_;
    Lane lanes_[kDemoGroups];
    uint8_t* ring_ = nullptr;
    int32_t captureBytes_ = 0;
    int32_t samples_ = 0;
    int32_t bytesPerSample_ = 8;
    int32_t ringPosition_ = 0;
    int64_t rate_ = 1;
    int64_t step_ = 0;
    DemoTriggerMasks masks_;
    int32_t triggerPosition_ = 0;
    bool triggered_ = true;
    int64_t remaining_ = 0;
    int64_t changesToSee_ = 0;
    bool lastMatch_ = false;
    bool firstSample_ = true;
    uint64_t previous_ = 0;
    int64_t generated_ = 0;
};

}  // namespace kv
