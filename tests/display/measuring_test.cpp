// The value column's live modes and the measuring line's texts.
#include <gtest/gtest.h>

#include "viewer/display/measuring.h"

using namespace kv;

TEST(Measuring, InstantStatusTextsPerRow) {
    uint8_t state[16] = {0x05, 0, 0, 0, 0, 0, 0, 0x80,  /* levels: channels 0, 2, 63 */
                         0x02, 0, 0, 0, 0, 0, 0, 0};    /* activity: channel 1 */
    const uint32_t rate[2] = {1500000, 0};
    const InstantStatus s = instantStatusFrom(state, rate);
    EXPECT_EQ(s.frequencyHz, 1500000u);
    WaveRow r;
    r.kind = RowKind::Digital;
    const char* expected[4] = {"1", "|", "1", "0"};
    for (int c = 0; c < 4; ++c) {
        r.channels = {c};
        EXPECT_EQ(instantValueText(r, s, kValueInstant, 2), expected[c]) << c;
    }
    r.channels = {63};
    EXPECT_EQ(instantValueText(r, s, kValueInstant, 0), "1");
    r.channels = {2};
    EXPECT_EQ(instantValueText(r, s, kValueInstantFrequency, 2), "1 1.5 MHz");
    EXPECT_EQ(instantValueText(r, s, kValueInstantFrequency, 3), "1");
    // Buses and a status not yet read show nothing.
    r.kind = RowKind::Bus;
    r.channels = {0, 1};
    EXPECT_EQ(instantValueText(r, s, kValueInstant, 0), "");
    r.kind = RowKind::Digital;
    r.channels = {0};
    EXPECT_EQ(instantValueText(r, InstantStatus{}, kValueInstant, 0), "");
}

TEST(Measuring, VoltagesByMagnitudeAndTheStatusText) {
    EXPECT_EQ(voltageText(0), "0 uV");
    EXPECT_EQ(voltageText(999), "999 uV");
    EXPECT_EQ(voltageText(-250), "-250 uV");
    EXPECT_EQ(voltageText(5000), "5 mV");
    EXPECT_EQ(voltageText(12340), "12.34 mV");
    EXPECT_EQ(voltageText(3000000), "3 V");
    EXPECT_EQ(voltageText(-3300000), "-3.30 V");
    EXPECT_EQ(voltageText(999990000), "999.99 V");
    EXPECT_EQ(voltageText(1000000000), "1 kV");
    EXPECT_EQ(voltageText(2500000000), "2.50 kV");
    EXPECT_EQ(voltageText(INT64_MIN).substr(0, 1), "-");
    // 100 pixels at 100 MHz, one sample per pixel: 1 us, 1 MHz; zoomed out twice: 4 us.
    EXPECT_EQ(measuringLineText(100, 0, 0, 100000000, true, 1500000), "Volt = 1.50 V, Freq = 1 MHz(1 us)");
    EXPECT_EQ(measuringLineText(-100, 0, 2, 100000000, false, 0), "Volt = ??, Freq = 250 KHz(4 us)");
    EXPECT_EQ(measuringLineText(100, 2, 0, 100000000, false, 0), "Volt = ??, Freq = 4 MHz(250 ns)");
}

// The line is erased before each new stroke, the end stays inside the waves, and a repaint or the
// release leaves nothing to erase twice.
TEST(Measuring, LineStrokesEraseBeforeDrawingAndStayInsideTheWaves) {
    MeasuringLine m;
    EXPECT_FALSE(moveMeasuringLine(m, 10, 10).draw);  // no button down: nothing
    beginMeasuringLine(m, 50, 40, 20, 0, 420, 300);
    LineSteps s = moveMeasuringLine(m, 150, 90);
    EXPECT_FALSE(s.erase);
    ASSERT_TRUE(s.draw);
    EXPECT_EQ(s.drawn.x0, 50);
    EXPECT_EQ(s.drawn.y0, 40);
    EXPECT_EQ(s.drawn.x1, 150);
    EXPECT_EQ(s.drawn.y1, 90);
    s = moveMeasuringLine(m, 900, -30);  // beyond the right and top edges
    ASSERT_TRUE(s.erase);
    EXPECT_EQ(s.erased.x1, 150);
    EXPECT_EQ(s.erased.y1, 90);
    EXPECT_EQ(s.drawn.x1, 419);
    EXPECT_EQ(s.drawn.y1, 0);
    forgetMeasuringStroke(m);  // the waves were painted over it
    s = moveMeasuringLine(m, 5, 400);
    EXPECT_FALSE(s.erase);
    EXPECT_EQ(s.drawn.x1, 20);
    EXPECT_EQ(s.drawn.y1, 299);
    s = endMeasuringLine(m);
    EXPECT_TRUE(s.erase);
    EXPECT_EQ(s.erased.x1, 20);
    EXPECT_FALSE(endMeasuringLine(m).erase);
    EXPECT_FALSE(moveMeasuringLine(m, 60, 60).draw);
}
