// Stacking at the device seam: a virtual pocket board and a virtual scope whose channel is tied to
// the board's channel 3. The logic capture triggers where channel 3 rises; the scope's trace of
// the tied signal, read through the scope library, shows the same edges at the same times.
#include <cstring>

#include "runtime/halvex_api.h"
#include "runtime/le_bytes.h"
#include "runtime/trigger_program.h"
#include "simulator/virtual_scope.h"
#include "tests/runtime/capture_fixture.h"
#include "scope_runtime/scope_image.h"
#include "scope_runtime/zentro_runtime.h"

namespace kv {
namespace {

class StackingTest : public CaptureFixture {};

TEST_F(StackingTest, TiedScopeTraceLinesUpWithTheLogicChannelAroundTheTrigger) {
    HalvexRuntime& rt = load("usb0=pocket:1216;usb1=scope:abcd:ch1=tie3:ch2=sine");
    ASSERT_EQ(open(0), 0);
    zentro::ZentroEnv zenv;
    zenv.fpgaImage = embeddedScopeImage;
    zenv.sleepMs = [](uint32_t) {};
    zentro::ZentroRuntime scope(zenv);
    ASSERT_EQ(scope.init(20), 1);  // the board open in the logic runtime is passed over

    // The scope is armed first, then the logic capture at 50 MHz triggers on channels 15..0 = 0x1238
    // (a count the board's inputs reach after the pre-trigger samples): channels 3..0 are 1000
    // there, so it is the sample where channel 3 rises.
    const uint64_t rate = 50000000;
    zentro::CaptureRecord r;
    r.flags = 0x210000;
    r.rate = rate;
    r.length = 64000;
    r.voltsPerDiv[0] = r.voltsPerDiv[1] = 1000000;
    std::vector<uint8_t> record(zentro::kCaptureRecordBytes);
    zentro::writeCaptureRecord(r, record.data());
    ASSERT_EQ(scope.capture(record.data()), 1);

    const int position = 1000;
    KvTriggerSpec trigger;
    std::vector<uint8_t> pattern(kTriggerPatternBytes, kCondDontCare), counts(64, 0);
    trigger.field[kTrPatternSize] = 16;
    trigger.field[kTrLevels] = 1;
    trigger.field[kTrSlotsPerLevel] = 1;
    trigger.field[kTrRateLow] = static_cast<uint32_t>(rate);
    trigger.field[kTrClockSource] = 1;
    trigger.field[kTrPosition] = position;
    counts[0] = 1;
    for (int c = 0; c < 16; ++c) pattern[static_cast<size_t>(c)] = ((0x1238 >> c) & 1) ? kCondHigh : kCondLow;
    trigger.pattern = pattern.data();
    trigger.counts = counts.data();
    uint8_t call[kTriggerCallBytes];
    writeTriggerCall(trigger, call);
    ASSERT_EQ(rt.captureData(0, call), 1);
    ASSERT_NE(rt.isDataReady(0), 0);
    const uint32_t bytes = rt.getHwInfo(0, kHwReadBytes);
    std::vector<uint8_t> logic(bytes + 64);
    ASSERT_EQ(rt.readCapData(0, logic.data(), 0, 0xFF), 1);

    std::vector<double> analog(2 * 64000);
    std::vector<uint8_t> request(zentro::kReadRequestBytes, 0);
    putLe32(request.data(), zentro::kReadDoubles);
    double* p = analog.data();
    std::memcpy(request.data() + 12, &p, sizeof p);
    ASSERT_EQ(scope.read(request.data()), 1);

    // Both at 20 ns a sample: logic sample position + n and scope sample 32,768 + n are the same
    // moment. Channel 3 is high for 40 ns and low for 40 ns, from its rising edge at the trigger.
    int edges = 0;
    for (int n = -40; n < 40; ++n) {
        const bool logicHigh = (getLe64(&logic[static_cast<size_t>(position + n) * 8]) >> 3) & 1;
        const double volts = analog[static_cast<size_t>(32768 + n)] / 1e6;
        EXPECT_NEAR(volts, logicHigh ? kTiedHighVolts : 0.0, 0.05) << n;
        if (n > -40) {
            const bool before = (getLe64(&logic[static_cast<size_t>(position + n - 1) * 8]) >> 3) & 1;
            edges += before != logicHigh;
        }
    }
    EXPECT_EQ(edges, 39);  // an edge every second sample
    const bool atTrigger = (getLe64(&logic[static_cast<size_t>(position) * 8]) >> 3) & 1;
    const bool beforeTrigger = (getLe64(&logic[static_cast<size_t>(position - 1) * 8]) >> 3) & 1;
    EXPECT_TRUE(atTrigger && !beforeTrigger);
}

}  // namespace
}  // namespace kv
