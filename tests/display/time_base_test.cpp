// The time base of the waveform view: sample/pixel mapping, zoom that keeps the centre, the zoom
// limits, the persisted zoom value, scroll ranges, scrolling by keys, wheel, drag and momentum.
#include "viewer/display/time_base.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace kv {
namespace {

WaveView viewAt(int32_t first, int32_t zoomIn, int32_t zoomOut) {
    WaveView v;
    v.firstSample = first;
    v.zoomIn = zoomIn;
    v.zoomOut = zoomOut;
    return v;
}

// The sample shown at the pixel that zooming keeps fixed: half the width rounded to 32 pixels.
int64_t centreSample(const WaveView& v, int32_t width) { return xToSample(v, (width / 64) * 32); }

// ---------------------------------------------------------------------------------------------
// Mapping

TEST(SampleMapping, EachSampleIsSixtyFourPixelsWideAtZoomInSix) {
    const WaveView v = viewAt(1000, 6, 0);
    EXPECT_EQ(sampleToX(v, 1000), 0);
    EXPECT_EQ(sampleToX(v, 1001), 64);
    EXPECT_EQ(sampleToX(v, 1003), 192);
    EXPECT_EQ(sampleToX(v, 999), -64);
    for (int32_t x = 0; x < 64; ++x) EXPECT_EQ(xToSample(v, x), 1000) << x;
    EXPECT_EQ(xToSample(v, 64), 1001);
    EXPECT_EQ(xToSample(v, -1), 999);
}

TEST(SampleMapping, TwoThousandFortyEightSamplesShareAColumnAtZoomOutEleven) {
    const WaveView v = viewAt(0, 0, 11);
    EXPECT_EQ(sampleToX(v, 0), 0);
    EXPECT_EQ(sampleToX(v, 2047), 0);
    EXPECT_EQ(sampleToX(v, 2048), 1);
    EXPECT_EQ(sampleToX(v, 4095), 1);
    EXPECT_EQ(xToSample(v, 1), 2048);
    EXPECT_EQ(samplesInWidth(v, 1000), 2048000);
    EXPECT_EQ(samplesPerPixelStep(v), 2048);
}

TEST(SampleMapping, SamplesLeftOfTheAreaRoundTowardsEarlierColumns) {
    const WaveView v = viewAt(100, 0, 2);
    EXPECT_EQ(sampleToX(v, 99), -1);
    EXPECT_EQ(sampleToX(v, 96), -1);
    EXPECT_EQ(sampleToX(v, 95), -2);
    EXPECT_EQ(xToSample(v, -1), 96);
}

TEST(SampleMapping, PixelAndSampleRoundTripAtEveryZoom) {
    for (int32_t zi = 0; zi <= kMaxZoomIn; ++zi) {
        const WaveView v = viewAt(12345, zi, 0);
        for (int32_t x = -300; x <= 300; x += 7) {
            const int64_t s = xToSample(v, x);
            // The sample's left column is at or left of x, less than one sample width away.
            EXPECT_LE(sampleToX(v, s), x);
            EXPECT_GT(sampleToX(v, s) + (1 << zi), x);
        }
    }
    for (int32_t zo = 0; zo <= kMaxZoomOut; ++zo) {
        const WaveView v = viewAt(12345, 0, zo);
        for (int32_t x = -300; x <= 300; x += 7) EXPECT_EQ(sampleToX(v, xToSample(v, x)), x) << zo << " " << x;
    }
}

TEST(SampleMapping, FarSamplesSaturateInsteadOfWrapping) {
    const WaveView v = viewAt(0, 6, 0);
    EXPECT_EQ(sampleToX(v, INT32_MAX), INT32_MAX);
    EXPECT_EQ(sampleToX(viewAt(INT32_MAX, 6, 0), 0), INT32_MIN);
    EXPECT_EQ(samplesInWidth(v, 0), 0);
    EXPECT_EQ(samplesInWidth(v, -5), 0);
}

TEST(ViewColumns, AreaLeftAndGridSpacing) {
    WaveView v;
    v.nameWidth = 80;
    v.channelWidth = 40;
    v.valueWidth = 60;
    EXPECT_EQ(waveAreaLeft(v), 180);
    v.gridSpacing = 0;
    EXPECT_EQ(effectiveGridSpacing(v), 50);
    v.gridSpacing = -3;
    EXPECT_EQ(effectiveGridSpacing(v), 50);
    v.gridSpacing = 1;
    EXPECT_EQ(effectiveGridSpacing(v), 1);
}

// ---------------------------------------------------------------------------------------------
// Zoom

TEST(Zoom, ZoomInKeepsTheCentre) {
    const int32_t w = 1000;   // fixed point at pixel 480
    for (const WaveView& start : {viewAt(1000, 0, 0), viewAt(1000, 3, 0), viewAt(40000, 0, 3), viewAt(0, 0, 11)}) {
        WaveView v = start;
        const int64_t before = centreSample(v, w);
        ASSERT_TRUE(ZoomIn(v, w, 10000000));
        EXPECT_EQ(centreSample(v, w), before) << start.zoomIn << "/" << start.zoomOut;
    }
}

TEST(Zoom, ZoomInStepsZoomOutDownBeforeZoomInUp) {
    WaveView v = viewAt(0, 0, 2);
    ZoomIn(v, 1000, 10000000);
    EXPECT_EQ(v.zoomOut, 1);
    EXPECT_EQ(v.zoomIn, 0);
    ZoomIn(v, 1000, 10000000);
    ZoomIn(v, 1000, 10000000);
    EXPECT_EQ(v.zoomOut, 0);
    EXPECT_EQ(v.zoomIn, 1);
}

TEST(Zoom, ZoomInOnACaptureThatFitsStartsAtSampleZero) {
    WaveView v = viewAt(300, 0, 0);
    ASSERT_TRUE(ZoomIn(v, 1000, 900));   // 1,000 columns show more than the 900 samples
    EXPECT_EQ(v.firstSample, 0);
    // Near the end: the advanced first sample would leave the capture.
    WaveView w = viewAt(1990, 0, 0);
    ASSERT_TRUE(ZoomIn(w, 1000, 2000));
    EXPECT_EQ(w.firstSample, 0);
}

TEST(Zoom, ZoomOutKeepsTheCentreUnlessItPassesSampleZero) {
    const int32_t w = 1000;
    for (const WaveView& start : {viewAt(10000, 2, 0), viewAt(10000, 1, 0), viewAt(100000, 0, 0), viewAt(100000, 0, 4)}) {
        WaveView v = start;
        const int64_t before = centreSample(v, w);
        ASSERT_TRUE(ZoomOut(v, w));
        EXPECT_EQ(centreSample(v, w), before) << start.zoomIn << "/" << start.zoomOut;
    }
    WaveView v = viewAt(100, 0, 0);
    ASSERT_TRUE(ZoomOut(v, w));
    EXPECT_EQ(v.firstSample, 0);
    EXPECT_EQ(v.zoomOut, 1);
}

TEST(Zoom, ZoomOutMovesBothPanesByTheSameAmount) {
    WaveView v = viewAt(1000, 0, 0);
    int32_t second = 300;
    ASSERT_TRUE(ZoomOut(v, 1000, &second));   // shift 480, limited by the second pane to 300
    EXPECT_EQ(second, 0);
    EXPECT_EQ(v.firstSample, 700);
    WaveView u = viewAt(5000, 0, 0);
    int32_t other = 9000;
    ZoomOut(u, 1000, &other);
    EXPECT_EQ(u.firstSample, 4520);
    EXPECT_EQ(other, 8520);
}

TEST(Zoom, InThenOutReturnsToTheSameView) {
    const int32_t w = 1280;
    WaveView v = viewAt(50000, 0, 5);
    const WaveView start = v;
    for (int i = 0; i < 8; ++i) ASSERT_TRUE(ZoomIn(v, w, 100000000));
    for (int i = 0; i < 8; ++i) ASSERT_TRUE(ZoomOut(v, w));
    EXPECT_EQ(v.firstSample, start.firstSample);
    EXPECT_EQ(v.zoomIn, start.zoomIn);
    EXPECT_EQ(v.zoomOut, start.zoomOut);
}

TEST(Zoom, LimitsRefuseAndDisableTheButtons) {
    WaveView v = viewAt(500, 0, 11);
    EXPECT_FALSE(canZoomOut(v));
    EXPECT_FALSE(ZoomOut(v, 1000));
    EXPECT_EQ(v.zoomOut, 11);
    EXPECT_EQ(v.firstSample, 500);
    EXPECT_TRUE(canZoomIn(v));

    // All the way in: 17 steps from 2,048 samples per pixel to 64 pixels per sample.
    int steps = 0;
    while (ZoomIn(v, 1000, 100000000)) ++steps;
    EXPECT_EQ(steps, 17);
    EXPECT_EQ(v.zoomIn, 6);
    EXPECT_EQ(v.zoomOut, 0);
    EXPECT_FALSE(canZoomIn(v));
    EXPECT_TRUE(canZoomOut(v));
    const int32_t first = v.firstSample;
    EXPECT_FALSE(ZoomIn(v, 1000, 100000000));
    EXPECT_EQ(v.firstSample, first);
    EXPECT_EQ(v.zoomIn, 6);
}

TEST(Zoom, NeverBothExponentsNonZero) {
    WaveView v = viewAt(0, 0, 0);
    for (int i = 0; i < 20; ++i) {
        ZoomOut(v, 800);
        EXPECT_TRUE(v.zoomIn == 0 || v.zoomOut == 0);
    }
    for (int i = 0; i < 20; ++i) {
        ZoomIn(v, 800, 1000000);
        EXPECT_TRUE(v.zoomIn == 0 || v.zoomOut == 0);
    }
}

// ---------------------------------------------------------------------------------------------
// Persisted zoom

TEST(ZoomSetting, EncodesOneSignedValue) {
    EXPECT_EQ(encodeZoom(viewAt(0, 3, 0)), 3);
    EXPECT_EQ(encodeZoom(viewAt(0, 0, 4)), -4);
    EXPECT_EQ(encodeZoom(viewAt(0, 0, 0)), 0);
}

TEST(ZoomSetting, DecodesStoredValues) {
    struct Case {
        bool present;
        int32_t stored;
        int32_t zoomIn, zoomOut;
    };
    const Case cases[] = {
        {true, 1, 1, 0},   {true, 6, 6, 0},    {true, -1, 0, 1},  {true, -10, 0, 10}, {true, 0, 0, 0},
        {false, 0, 1, 0},  {false, 3, 1, 0},   {true, 7, 1, 0},   {true, -11, 1, 0},  {true, INT32_MIN, 1, 0},
        {true, INT32_MAX, 1, 0},
    };
    for (const Case& c : cases) {
        WaveView v = viewAt(0, 5, 5);
        decodeZoom(v, c.present, c.stored);
        EXPECT_EQ(v.zoomIn, c.zoomIn) << c.present << " " << c.stored;
        EXPECT_EQ(v.zoomOut, c.zoomOut) << c.present << " " << c.stored;
    }
}

TEST(ZoomSetting, EveryStorableZoomComesBack) {
    for (int32_t zi = 0; zi <= kMaxZoomIn; ++zi) {
        WaveView v;
        decodeZoom(v, true, encodeZoom(viewAt(0, zi, 0)));
        EXPECT_EQ(v.zoomIn, zi);
        EXPECT_EQ(v.zoomOut, 0);
    }
    for (int32_t zo = 1; zo <= 10; ++zo) {
        WaveView v;
        decodeZoom(v, true, encodeZoom(viewAt(0, 0, zo)));
        EXPECT_EQ(v.zoomIn, 0);
        EXPECT_EQ(v.zoomOut, zo);
    }
}

// ---------------------------------------------------------------------------------------------
// Scroll bars and scrolling

TEST(ScrollBars, HorizontalRangeEndsWhereTheLastSampleMeetsTheRightEdge) {
    const WaveView v = viewAt(2500, 0, 0);
    const ScrollState s = horizontalScroll(v, 1000, 10000);
    EXPECT_EQ(s.min, 0);
    EXPECT_EQ(s.max, 9999);
    EXPECT_EQ(s.page, 1000);
    EXPECT_EQ(s.pos, 2500);
    EXPECT_EQ(s.max - s.page + 1, maxFirstSample(v, 1000, 10000));
    // A capture narrower than the area: one page covers it all.
    const ScrollState small = horizontalScroll(viewAt(0, 0, 0), 1000, 500);
    EXPECT_EQ(small.page, 500);
    EXPECT_EQ(small.max, 499);
    EXPECT_EQ(small.pos, 0);
    const ScrollState empty = horizontalScroll(viewAt(0, 0, 0), 1000, 0);
    EXPECT_EQ(empty.max, 0);
    EXPECT_EQ(empty.page, 0);
}

TEST(ScrollBars, VerticalRangeOverTheRows) {
    WaveView v;
    v.firstRow = 4;
    ScrollState s = verticalScroll(v, 20, 8);
    EXPECT_EQ(s.max, 19);
    EXPECT_EQ(s.page, 8);
    EXPECT_EQ(s.pos, 4);
    v.firstRow = 50;
    s = verticalScroll(v, 20, 30);
    EXPECT_EQ(s.page, 20);
    EXPECT_EQ(s.pos, 19);
}

TEST(Scrolling, PagesLinesAndEnds) {
    WaveView v = viewAt(5000, 0, 1);   // 2,000 samples visible in 1,000 pixels
    EXPECT_TRUE(scrollView(v, ScrollRequest::PageRight, 1000, 100000));
    EXPECT_EQ(v.firstSample, 7000);
    EXPECT_TRUE(scrollView(v, ScrollRequest::PageLeft, 1000, 100000));
    EXPECT_EQ(v.firstSample, 5000);
    EXPECT_TRUE(scrollView(v, ScrollRequest::LineRight, 1000, 100000));
    EXPECT_EQ(v.firstSample, 5032);
    EXPECT_TRUE(scrollView(v, ScrollRequest::End, 1000, 100000));
    EXPECT_EQ(v.firstSample, 98000);
    EXPECT_FALSE(scrollView(v, ScrollRequest::PageRight, 1000, 100000));
    EXPECT_EQ(v.firstSample, 98000);
    EXPECT_TRUE(scrollView(v, ScrollRequest::Home, 1000, 100000));
    EXPECT_EQ(v.firstSample, 0);
    EXPECT_FALSE(scrollView(v, ScrollRequest::LineLeft, 1000, 100000));
    EXPECT_EQ(v.firstSample, 0);
}

TEST(Scrolling, AtSixtyFourPixelsPerSampleALineIsStillOneSample) {
    WaveView v = viewAt(10, 6, 0);
    scrollView(v, ScrollRequest::LineRight, 1000, 1000);
    EXPECT_EQ(v.firstSample, 11);
}

TEST(Scrolling, ThumbPositionIsClamped) {
    WaveView v = viewAt(0, 0, 0);
    EXPECT_TRUE(scrollViewTo(v, 9500, 1000, 10000));
    EXPECT_EQ(v.firstSample, 9000);
    EXPECT_TRUE(scrollViewTo(v, -5, 1000, 10000));
    EXPECT_EQ(v.firstSample, 0);
    EXPECT_FALSE(scrollViewTo(v, 0, 1000, 10000));
    v.firstSample = 9999;
    EXPECT_TRUE(clampFirstSample(v, 1000, 10000));
    EXPECT_EQ(v.firstSample, 9000);
}

TEST(Wheel, NotchScrollsAQuarterOfTheVisibleSpan) {
    WheelState wheel;
    WaveView v = viewAt(5000, 0, 0);
    WheelResult r = applyWheel(wheel, v, -120, false, 1000, 100000);
    EXPECT_TRUE(r.changed);
    EXPECT_FALSE(r.zoomed);
    EXPECT_EQ(v.firstSample, 5250);
    r = applyWheel(wheel, v, 240, false, 1000, 100000);
    EXPECT_EQ(v.firstSample, 4750);
    // Parts of a notch add up.
    r = applyWheel(wheel, v, 60, false, 1000, 100000);
    EXPECT_FALSE(r.changed);
    EXPECT_EQ(v.firstSample, 4750);
    r = applyWheel(wheel, v, 60, false, 1000, 100000);
    EXPECT_TRUE(r.changed);
    EXPECT_EQ(v.firstSample, 4500);
    // Not before the start.
    for (int i = 0; i < 40; ++i) applyWheel(wheel, v, 120, false, 1000, 100000);
    EXPECT_EQ(v.firstSample, 0);
    EXPECT_FALSE(applyWheel(wheel, v, 120, false, 1000, 100000).changed);
}

TEST(Wheel, CtrlZoomsOneStepPerNotch) {
    WheelState wheel;
    WaveView v = viewAt(5000, 0, 0);
    WheelResult r = applyWheel(wheel, v, 120, true, 1000, 100000);
    EXPECT_TRUE(r.zoomed);
    EXPECT_EQ(v.zoomIn, 1);
    r = applyWheel(wheel, v, -360, true, 1000, 100000);
    EXPECT_TRUE(r.zoomed);
    EXPECT_EQ(v.zoomIn, 0);
    EXPECT_EQ(v.zoomOut, 2);
    WaveView top = viewAt(0, 6, 0);
    r = applyWheel(wheel, top, 120, true, 1000, 100000);
    EXPECT_FALSE(r.zoomed);
    EXPECT_FALSE(r.changed);
    EXPECT_EQ(top.zoomIn, 6);
}

TEST(DragScroll, TheGrabbedSampleFollowsTheMouse) {
    const WaveView v = viewAt(5000, 0, 1);
    EXPECT_EQ(dragScrollFirstSample(v, 5000, 100, 1000, 100000), 4800);    // drag right: earlier
    EXPECT_EQ(dragScrollFirstSample(v, 5000, -100, 1000, 100000), 5200);
    EXPECT_EQ(dragScrollFirstSample(v, 5000, 10000, 1000, 100000), 0);
    EXPECT_EQ(dragScrollFirstSample(v, 5000, -100000, 1000, 100000), 98000);
}

// ---------------------------------------------------------------------------------------------
// Momentum

TEST(Inertial, ShortOrSlowDragsStartNothing) {
    InertialScroll s;
    EXPECT_FALSE(startInertialScroll(s, 199, 500));
    EXPECT_FALSE(startInertialScroll(s, 500, 99));
    EXPECT_FALSE(startInertialScroll(s, 500, -99));
    EXPECT_FALSE(s.running);
    EXPECT_TRUE(startInertialScroll(s, 200, -100));
    EXPECT_TRUE(s.running);
    EXPECT_EQ(s.direction, -1);
    EXPECT_DOUBLE_EQ(s.speed, 0.5);
    EXPECT_DOUBLE_EQ(s.deceleration, 5 * 0.5 / 200);
}

TEST(Inertial, SlowsDownAndStops) {
    InertialScroll s;
    ASSERT_TRUE(startInertialScroll(s, 400, -400));   // drag to the left: later samples come in
    WaveView v = viewAt(1000, 0, 0);
    int32_t previous = v.firstSample;
    int32_t previousStep = INT32_MAX;
    int ticks = 0;
    while (inertialScrollTick(s, v, 1000, 100000000)) {
        const int32_t stepped = v.firstSample - previous;
        EXPECT_GE(stepped, 0);
        EXPECT_LE(stepped, previousStep);
        previousStep = stepped;
        previous = v.firstSample;
        ASSERT_LT(++ticks, 1000);
    }
    EXPECT_FALSE(s.running);
    EXPECT_GT(v.firstSample, 1000);
    // The first tick moves 2^0 * (a * 5000 + v) = 0.0125 * 5000 + 1 = 63.5, so 63 whole samples.
    InertialScroll t;
    startInertialScroll(t, 400, -400);
    WaveView u = viewAt(1000, 0, 0);
    inertialScrollTick(t, u, 1000, 100000000);
    EXPECT_EQ(u.firstSample, 1063);
}

TEST(Inertial, StepScalesWithTheZoom) {
    InertialScroll s;
    startInertialScroll(s, 400, 400);   // to the right: earlier samples
    WaveView v = viewAt(1000000, 0, 3);
    inertialScrollTick(s, v, 1000, 100000000);
    EXPECT_EQ(v.firstSample, 1000000 - 508);   // 8 * 63.5
}

TEST(Inertial, StopsAtEitherEndOfTheCapture) {
    InertialScroll s;
    startInertialScroll(s, 200, 1000);
    WaveView v = viewAt(30, 0, 0);
    EXPECT_FALSE(inertialScrollTick(s, v, 1000, 100000));
    EXPECT_EQ(v.firstSample, 0);
    EXPECT_FALSE(s.running);

    InertialScroll t;
    startInertialScroll(t, 200, -1000);
    WaveView u = viewAt(98990, 0, 0);
    EXPECT_FALSE(inertialScrollTick(t, u, 1000, 100000));
    EXPECT_EQ(u.firstSample, 100000 - 1000 - 1);
    // A capture shorter than the area.
    InertialScroll w;
    startInertialScroll(w, 200, -1000);
    WaveView z = viewAt(0, 0, 0);
    EXPECT_FALSE(inertialScrollTick(w, z, 1000, 300));
    EXPECT_EQ(z.firstSample, 0);
}

}  // namespace
}  // namespace kv
