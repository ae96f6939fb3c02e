// The waveform view's drawing primitives: the dense-data rule, the zoom mapping, texts that fit,
// buses, staircases, decoded rows, shading, grid, columns, the state listing, and the fast renderer
// against the plain one on random captures at every zoom.
#include "viewer/display/decoded_rows.h"
#include "viewer/display/wave_render.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace kv {
namespace {

constexpr int32_t kCharWidth = 6;
constexpr int32_t kTextHeight = 12;

// A packed 64-bit capture with the spare word a fetch of the last sample may read.
struct Capture {
    std::vector<uint64_t> words;
    SampleStore store;

    explicit Capture(std::vector<uint64_t> samples) : words(std::move(samples)) {
        const size_t n = words.size();
        words.push_back(0);
        store.attach(reinterpret_cast<uint8_t*>(words.data()), static_cast<int32_t>(n * 8), 64, 64, 64,
                     kStoragePacked);
    }
};

// Channel c of sample i is bit c of pattern(i).
template <class F>
std::vector<uint64_t> samplesOf(int64_t count, F pattern) {
    std::vector<uint64_t> s(static_cast<size_t>(count));
    for (int64_t i = 0; i < count; ++i) s[static_cast<size_t>(i)] = pattern(i);
    return s;
}

RenderStyle testStyle() {
    RenderStyle s;
    s.waveHeight = 24;
    s.measure = [](const std::string& t) { return TextSize{static_cast<int32_t>(t.size()) * kCharWidth, kTextHeight}; };
    s.pulseText = [](int64_t n) { return std::to_string(n) + "s"; };
    s.valueText = [](uint32_t v, int32_t format, int32_t bits, uint32_t) {
        char text[40];
        std::snprintf(text, sizeof text, format == kFormatDec ? "%u" : "%X", v);
        return std::string(text);
    };
    s.suffixedValueText = [](uint32_t v, int32_t, int32_t, uint32_t) {
        char text[40];
        std::snprintf(text, sizeof text, "%Xh", v);
        return std::string(text);
    };
    return s;
}

// Label tables written entry by entry, as a file or the label dialogs leave them.
struct TableBuilder {
    LabelTable table;
    int next = 0;

    TableBuilder& single(int32_t channel, uint32_t flags = 0, int32_t color = 1) {
        LabelEntry& e = table.entries[next++];
        e = LabelEntry{};
        e.channel = channel;
        e.kind = kLabelSingle;
        e.flags = flags;
        e.colorIndex = color;
        std::snprintf(e.name, sizeof e.name, "CH-%02d", channel);
        return *this;
    }
    // Members most significant first.
    TableBuilder& group(const std::vector<int32_t>& channels, int32_t format = kFormatHex, uint32_t invertMask = 0,
                        uint32_t flags = 0) {
        const int base = next;
        for (size_t k = 0; k < channels.size(); ++k) {
            LabelEntry& e = table.entries[next++];
            e = LabelEntry{};
            e.channel = channels[k];
            e.kind = k + 1 == channels.size() ? kLabelLastMember : kLabelFirstMember + static_cast<int32_t>(k);
            e.format = format;
            e.flags = flags | (((invertMask >> k) & 1u) ? kLabelInvert : 0u);
            e.colorIndex = 2;
            std::snprintf(e.name, sizeof e.name, "BUS%d", base);
        }
        return *this;
    }
    LabelTable done() {
        table.entries[next] = LabelEntry{};
        return table;
    }
};

PaneGeometry pane(int32_t first, int32_t zoomIn, int32_t zoomOut, int32_t width = 1000, int32_t height = 600) {
    PaneGeometry g;
    g.firstSample = first;
    g.zoomIn = zoomIn;
    g.zoomOut = zoomOut;
    g.width = width;
    g.height = height;
    g.gridSpacing = 50;
    return g;
}

std::vector<Point> runPoints(const WaveFrame& f, size_t run) {
    const PolyRun& r = f.prims.polylines[run];
    return std::vector<Point>(f.prims.points.begin() + r.first, f.prims.points.begin() + r.first + r.count);
}

// All points of the runs drawn in one colour, joined (a batch's repeated first point dropped).
std::vector<Point> tracePoints(const WaveFrame& f, int32_t color) {
    std::vector<Point> pts;
    for (size_t k = 0; k < f.prims.polylines.size(); ++k) {
        if (f.prims.polylines[k].colorIndex != color) continue;
        for (const Point& p : runPoints(f, k))
            if (pts.empty() || pts.back() != p) pts.push_back(p);
    }
    return pts;
}

// Vertical strokes per x of a joined trace.
std::map<int32_t, int> strokesPerX(const std::vector<Point>& pts) {
    std::map<int32_t, int> strokes;
    for (size_t k = 1; k < pts.size(); ++k)
        if (pts[k].x == pts[k - 1].x && pts[k].y != pts[k - 1].y) ++strokes[pts[k].x];
    return strokes;
}

struct Renderers {
    WaveRenderer fast;
    void both(SampleStore& store, const PaneGeometry& g, const std::vector<WaveRow>& rows, const RenderStyle& style,
              const DrawRequest& req, WaveFrame& fastFrame, WaveFrame& plainFrame) {
        fast.render(store, g, rows, style, req, fastFrame);
        renderWavesReference(store, g, rows, style, req, plainFrame);
    }
};

std::string describe(const Rect& r) {
    std::ostringstream s;
    s << "(" << r.left << "," << r.top << "," << r.right << "," << r.bottom << ")";
    return s.str();
}

void expectSameFrame(const WaveFrame& a, const WaveFrame& b, const std::string& where) {
    SCOPED_TRACE(where);
    EXPECT_EQ(describe(a.clip), describe(b.clip));
    ASSERT_EQ(a.fills.size(), b.fills.size());
    for (size_t k = 0; k < a.fills.size(); ++k) {
        EXPECT_EQ(describe(a.fills[k].rect), describe(b.fills[k].rect));
        EXPECT_EQ(a.fills[k].kind, b.fills[k].kind);
    }
    ASSERT_EQ(a.prims.polylines.size(), b.prims.polylines.size());
    for (size_t k = 0; k < a.prims.polylines.size(); ++k) ASSERT_EQ(a.prims.polylines[k], b.prims.polylines[k]) << k;
    ASSERT_EQ(a.prims.points.size(), b.prims.points.size());
    for (size_t k = 0; k < a.prims.points.size(); ++k) {
        ASSERT_EQ(a.prims.points[k], b.prims.points[k])
            << "point " << k << ": " << a.prims.points[k].x << "," << a.prims.points[k].y << " vs "
            << b.prims.points[k].x << "," << b.prims.points[k].y;
    }
    ASSERT_EQ(a.prims.texts.size(), b.prims.texts.size());
    for (size_t k = 0; k < a.prims.texts.size(); ++k)
        EXPECT_TRUE(a.prims.texts[k] == b.prims.texts[k]) << a.prims.texts[k].text << " vs " << b.prims.texts[k].text;
    EXPECT_EQ(a.grid.xs, b.grid.xs);
}

// ---------------------------------------------------------------------------------------------
// Dense data and the zoom mapping

TEST(WaveRenderDigital, TogglingEverySampleAtZoomOut11DrawsTwoStrokesPerColumnAndEndsAtTheLastLevel) {
    // From sample 4,096 on (the sample before it gives the starting level), 100 full pixel columns
    // of 2,048 samples, plus one sample more or not: the last sample's level differs between the two.
    for (int64_t extra : {0, 1}) {
        const int64_t count = 4096 + 2048 * 100 + extra;
        Capture cap(samplesOf(count, [](int64_t i) { return static_cast<uint64_t>(i & 1); }));
        const std::vector<WaveRow> rows = layoutRows(TableBuilder().single(0).done(), 0, 600, 24, 64);
        ASSERT_EQ(rows.size(), 1u);
        Renderers r;
        WaveFrame fast, plain;
        r.both(cap.store, pane(4096, 0, 11), rows, testStyle(), DrawRequest{}, fast, plain);
        expectSameFrame(fast, plain, "extra " + std::to_string(extra));
        const std::vector<Point> pts = tracePoints(fast, 1);
        const std::map<int32_t, int> strokes = strokesPerX(pts);
        // The extra sample is one more transition in column 100: one stroke there.
        ASSERT_EQ(strokes.size(), 100u + extra);
        for (const auto& s : strokes) EXPECT_EQ(s.second, s.first < 100 ? 2 : 1) << "x " << s.first;
        // The capture ends in column 100 (extra sample) or 99: the final level runs to its end.
        const int32_t margin = 24 / 6;
        const int32_t high = margin, low = 24 - margin;
        ASSERT_FALSE(pts.empty());
        const bool lastHigh = ((count - 1) & 1) != 0;
        EXPECT_EQ(pts.back().y, lastHigh ? high : low);
        EXPECT_EQ(pts.back().x, static_cast<int32_t>((count - 4096) >> 11));
    }
}

TEST(WaveRenderDigital, AtZoomIn6TransitionsFallOnMultiplesOf64) {
    Capture cap(samplesOf(1000, [](int64_t i) { return static_cast<uint64_t>(i & 1) | (static_cast<uint64_t>(i / 3 & 1) << 5); }));
    const std::vector<WaveRow> rows = layoutRows(TableBuilder().single(0).single(5, 0, 2).done(), 0, 600, 24, 64);
    Renderers r;
    WaveFrame fast, plain;
    r.both(cap.store, pane(37, 6, 0), rows, testStyle(), DrawRequest{}, fast, plain);
    expectSameFrame(fast, plain, "zoom in 6");
    for (int32_t color : {1, 2}) {
        const std::map<int32_t, int> strokes = strokesPerX(tracePoints(fast, color));
        ASSERT_FALSE(strokes.empty());
        for (const auto& s : strokes) {
            EXPECT_EQ(s.first % 64, 0) << s.first;
            EXPECT_EQ(s.second, 1);
        }
    }
    // Channel 0 toggles every sample: a stroke at every sample inside the area (16 of them, the
    // first at x = 0 where sample 37 begins); channel 5 only every third sample.
    std::set<int32_t> xs;
    for (const Point& p : fast.prims.points)
        if (p.y < 24) xs.insert(p.x);
    EXPECT_TRUE(xs.count(0));
    EXPECT_TRUE(xs.count(64 * 15));
}

TEST(WaveRenderDigital, OddTransitionCountsKeepTwoStrokesAndTheRightLevelsAtEveryZoomOut) {
    // Three transitions per 8 samples, so columns hold odd and even counts depending on the zoom.
    Capture cap(samplesOf(20000, [](int64_t i) {
        const int64_t k = i % 8;
        return static_cast<uint64_t>(k >= 2 && k != 4 && k < 6);
    }));
    const std::vector<WaveRow> rows = layoutRows(TableBuilder().single(0).done(), 0, 600, 24, 64);
    Renderers r;
    for (int32_t zo = 0; zo <= 11; ++zo) {
        WaveFrame fast, plain;
        r.both(cap.store, pane(3, 0, zo, 400), rows, testStyle(), DrawRequest{}, fast, plain);
        expectSameFrame(fast, plain, "zoom out " + std::to_string(zo));
        const std::vector<Point> pts = tracePoints(fast, 1);
        // Each column's level at its end is that of its last sample: the next point joins it.
        for (size_t k = 0; k + 1 < pts.size(); ++k) {
            if (pts[k].x == pts[k + 1].x || pts[k].y != pts[k + 1].y) continue;
            // A horizontal run from x1 to x2 is the level of the samples in between.
            if (pts[k + 1].x - pts[k].x < 2) continue;
            const int64_t sample = 3 + static_cast<int64_t>(pts[k + 1].x - 1) * (int64_t{1} << zo);
            if (sample >= 20000) continue;
            const bool high = cap.store.sample(static_cast<int32_t>(sample)) & 1u;
            EXPECT_EQ(pts[k].y, high ? 4 : 20) << "zoom out " << zo << " x " << pts[k].x;
        }
    }
}

TEST(WaveRenderDigital, InvertedLabelsSwapLevelsAndTheCaptureEndStopsTheLastLine) {
    Capture cap(samplesOf(100, [](int64_t i) { return static_cast<uint64_t>(i >= 50); }));
    const std::vector<WaveRow> rows = layoutRows(TableBuilder().single(0, kLabelInvert).done(), 0, 600, 24, 64);
    Renderers r;
    WaveFrame fast, plain;
    r.both(cap.store, pane(0, 1, 0), rows, testStyle(), DrawRequest{}, fast, plain);
    expectSameFrame(fast, plain, "invert");
    const std::vector<Point> pts = tracePoints(fast, 1);
    // High (inverted low) up to sample 50 at x 100, low afterwards up to the end of sample 99.
    const std::vector<Point> expected = {{0, 4}, {100, 4}, {100, 20}, {200, 20}};
    EXPECT_EQ(pts, expected);
}

TEST(WaveRenderDigital, LongTracesAreBatchedWithoutGaps) {
    Capture cap(samplesOf(20000, [](int64_t i) { return static_cast<uint64_t>(i & 1); }));
    const std::vector<WaveRow> rows = layoutRows(TableBuilder().single(0).done(), 0, 600, 24, 64);
    Renderers r;
    WaveFrame fast, plain;
    r.both(cap.store, pane(0, 0, 1, 9000), rows, testStyle(), DrawRequest{}, fast, plain);
    expectSameFrame(fast, plain, "batched");
    ASSERT_GE(fast.prims.polylines.size(), 3u);
    for (size_t k = 0; k < fast.prims.polylines.size(); ++k) {
        EXPECT_LE(fast.prims.polylines[k].count, static_cast<uint32_t>(kTracePointBatch));
        if (k == 0) continue;
        // Each batch starts where the one before ended.
        EXPECT_EQ(runPoints(fast, k).front(), runPoints(fast, k - 1).back());
    }
    EXPECT_EQ(fast.prims.polylines[0].count, static_cast<uint32_t>(kTracePointBatch));
}

// ---------------------------------------------------------------------------------------------
// Texts inside pulses and segments

TEST(WaveRenderTexts, PulseWidthsAreWrittenOnlyWhenTheyFitAndNotForThePulseCutByTheLeftEdge) {
    // Pulses of 20, 3 and 20 samples at 1 sample per 2 pixels (zoomIn 1): "20s" is 18 pixels wide
    // and fits in 40; "3s" (12) does not fit in 6.
    Capture cap(samplesOf(200, [](int64_t i) {
        return static_cast<uint64_t>((i >= 10 && i < 30) || (i >= 50 && i < 53) || i >= 80);
    }));
    const std::vector<WaveRow> rows = layoutRows(TableBuilder().single(0).done(), 0, 600, 24, 64);
    RenderStyle style = testStyle();
    style.pulseTiming = true;
    Renderers r;
    WaveFrame fast, plain;
    r.both(cap.store, pane(0, 1, 0, 400), rows, style, DrawRequest{}, fast, plain);
    expectSameFrame(fast, plain, "pulses");
    std::vector<std::string> texts;
    for (const TextBox& t : fast.prims.texts) texts.push_back(t.text);
    // 10..30 high (20), 30..50 low (20), 50..53 high (3, no room), 53..80 low (27).
    EXPECT_EQ(texts, (std::vector<std::string>{"20s", "20s", "27s"}));
    const TextBox& first = fast.prims.texts[0];
    EXPECT_EQ(first.box.left, 20 + (40 - 18) / 2);
    EXPECT_EQ(first.box.right - first.box.left, 18);
    EXPECT_EQ(first.box.top, (24 - kTextHeight) / 2);

    // Scrolled so that the pulse of samples 10..30 starts left of the area: it is not labelled.
    r.both(cap.store, pane(15, 1, 0, 400), rows, style, DrawRequest{}, fast, plain);
    expectSameFrame(fast, plain, "scrolled pulses");
    texts.clear();
    for (const TextBox& t : fast.prims.texts) texts.push_back(t.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"20s", "27s"}));

    // A pulse exactly two pixels wider than its text is labelled; one pixel less is not.
    Capture tight(samplesOf(100, [](int64_t i) { return static_cast<uint64_t>(i >= 10 && i < 30); }));
    style.pulseText = [](int64_t) { return std::string("abcdef"); };  // 36 pixels
    r.both(tight.store, pane(0, 0, 0, 400), rows, style, DrawRequest{}, fast, plain);
    EXPECT_TRUE(fast.prims.texts.empty());  // 20 pixels
    style.measure = [](const std::string&) { return TextSize{18, kTextHeight}; };
    r.both(tight.store, pane(0, 0, 0, 400), rows, style, DrawRequest{}, fast, plain);
    ASSERT_EQ(fast.prims.texts.size(), 1u);
    style.measure = [](const std::string&) { return TextSize{19, kTextHeight}; };
    r.both(tight.store, pane(0, 0, 0, 400), rows, style, DrawRequest{}, fast, plain);
    EXPECT_TRUE(fast.prims.texts.empty());
}

TEST(WaveRenderBus, GroupValuesTakeTheFirstMemberAsMostSignificantAndCrossAtEachChange) {
    // Channels 4 (MSB), 1, 0 (LSB, inverted). Sample value v of channels 0..4 changes every 25 samples.
    Capture cap(samplesOf(100, [](int64_t i) {
        static const uint64_t words[4] = {0x00, 0x12, 0x03, 0x11};
        return words[i / 25];
    }));
    const std::vector<WaveRow> rows =
        layoutRows(TableBuilder().group({4, 1, 0}, kFormatHex, 0x4).done(), 0, 600, 24, 64);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].kind, RowKind::Bus);
    EXPECT_EQ(groupValue(rows[0], 0x00), 1u);   // 0,0, inverted 0 -> 1
    EXPECT_EQ(groupValue(rows[0], 0x12), 7u);   // 1,1, inverted 0 -> 1
    EXPECT_EQ(groupValue(rows[0], 0x03), 2u);
    EXPECT_EQ(groupValue(rows[0], 0x11), 4u);
    Renderers r;
    WaveFrame fast, plain;
    r.both(cap.store, pane(0, 2, 0, 400), rows, testStyle(), DrawRequest{}, fast, plain);
    expectSameFrame(fast, plain, "bus");
    ASSERT_EQ(fast.prims.polylines.size(), 2u);
    const std::vector<Point> upper = runPoints(fast, 0), lower = runPoints(fast, 1);
    // Crossings at x = 100, 200, 300: the outlines meet in the middle of the row, 2 pixels either side.
    const std::vector<Point> expectUpper = {{0, 4},   {98, 4},  {100, 12}, {102, 4},  {198, 4},
                                            {200, 12}, {202, 4}, {298, 4},  {300, 12}, {302, 4}, {400, 4}};
    EXPECT_EQ(upper, expectUpper);
    for (size_t k = 0; k < lower.size(); ++k) {
        EXPECT_EQ(lower[k].x, upper[k].x);
        EXPECT_EQ(lower[k].y, upper[k].y == 4 ? 20 : 12);
    }
    std::vector<std::string> texts;
    for (const TextBox& t : fast.prims.texts) texts.push_back(t.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"1", "7", "2", "4"}));
    EXPECT_EQ(fast.prims.texts[1].box.left, 100 + (100 - kCharWidth) / 2);
}

TEST(WaveRenderBus, DenseChangesGiveOneCrossingPerColumnAndSegmentsTooNarrowStayBlank) {
    Capture cap(samplesOf(4096, [](int64_t i) { return static_cast<uint64_t>(i & 0xFF); }));
    const std::vector<WaveRow> rows =
        layoutRows(TableBuilder().group({7, 6, 5, 4, 3, 2, 1, 0}).done(), 0, 600, 24, 64);
    Renderers r;
    WaveFrame fast, plain;
    r.both(cap.store, pane(0, 0, 4, 256), rows, testStyle(), DrawRequest{}, fast, plain);
    expectSameFrame(fast, plain, "dense bus");
    std::map<int32_t, int> middles;
    for (const Point& p : runPoints(fast, 0))
        if (p.y == 12) ++middles[p.x];
    EXPECT_EQ(middles.size(), 256u);  // one crossing in each column, however many changes it holds
    for (const auto& m : middles) EXPECT_EQ(m.second, 1);
    EXPECT_TRUE(fast.prims.texts.empty());
}

TEST(WaveRenderAnalog, StaircaseHeightFollowsTheGroupValue) {
    Capture cap(samplesOf(64, [](int64_t i) { return static_cast<uint64_t>(i / 4); }));
    const std::vector<WaveRow> rows =
        layoutRows(TableBuilder().group({3, 2, 1, 0}, kFormatAnalog).done(), 0, 600, 48, 64);
    ASSERT_EQ(rows[0].kind, RowKind::Analog);
    const int32_t margin = 48 / 6;
    // y = top + height - margin - 1 - ((height - 2 margin) v) / 2^n
    EXPECT_EQ(staircaseY(rows[0], margin, 0), 48 - 8 - 1);
    EXPECT_EQ(staircaseY(rows[0], margin, 15), 48 - 8 - 1 - (32 * 15) / 16);
    RenderStyle style = testStyle();
    style.waveHeight = 48;
    Renderers r;
    WaveFrame fast, plain;
    r.both(cap.store, pane(0, 2, 0, 400), rows, style, DrawRequest{}, fast, plain);
    expectSameFrame(fast, plain, "staircase");
    const std::vector<Point> pts = tracePoints(fast, 2);
    std::set<int32_t> ys;
    for (const Point& p : pts) ys.insert(p.y);
    EXPECT_EQ(ys.size(), 16u);
    EXPECT_EQ(pts.back(), (Point{256, staircaseY(rows[0], margin, 15)}));
}

TEST(WaveRenderDecoded, RowsWithoutResultsShowTwoFlatLinesAndResultsCrossAtTheirPositions) {
    Capture cap(samplesOf(200, [](int64_t) { return uint64_t{0}; }));
    const LabelTable table = TableBuilder().single(3, kLabelUart).single(4, kLabelUart).done();
    DecodedItems items;
    items.positions = {20, 60, 150};
    items.values = {0x41, 0x1FF, 0x7};
    const std::vector<WaveRow> rows =
        layoutRows(table, 0, 600, 24, 64, [&](int32_t first) { return first == 1 ? &items : nullptr; });
    ASSERT_EQ(rows[0].kind, RowKind::Decoded);
    Renderers r;
    WaveFrame fast, plain;
    r.both(cap.store, pane(0, 1, 0, 300), rows, testStyle(), DrawRequest{}, fast, plain);
    expectSameFrame(fast, plain, "decoded");
    ASSERT_EQ(fast.prims.polylines.size(), 4u);
    EXPECT_EQ(runPoints(fast, 0), (std::vector<Point>{{0, 4}, {300, 4}}));
    EXPECT_EQ(runPoints(fast, 1), (std::vector<Point>{{0, 20}, {300, 20}}));
    // Second row (top 24): crossings at 40, 120, 300 (the last at the right edge).
    std::set<int32_t> crossings;
    for (const Point& p : runPoints(fast, 2))
        if (p.y == 24 + 12) crossings.insert(p.x);
    EXPECT_EQ(crossings, (std::set<int32_t>{40, 120, 300}));
    std::vector<std::string> texts;
    for (const TextBox& t : fast.prims.texts) texts.push_back(t.text);
    // Values are shown as 8-bit: 0x1FF reads FF. The last item has no room left of the edge.
    EXPECT_EQ(texts, (std::vector<std::string>{"41", "FF"}));
}

TEST(WaveRenderDecoded, EachProtocolShowsItsItemsOnItsSegments) {
    Capture cap(samplesOf(200, [](int64_t) { return uint64_t{0}; }));
    LabelTable table = TableBuilder()
                           .group({0, 1}, kFormatHex, 0, kLabelI2c)
                           .group({2, 3, 4}, kFormatHex, 0, kLabelI2s | (16u << kLabelParamShift))
                           .group({5, 6, 7}, kFormatHex, 0, kLabelSpi | (8u << kLabelParamShift))
                           .done();
    for (int e = 0; e < 8; ++e) table.entries[e].colorIndex = 5;
    DecodedItems i2c, i2s, spi;
    i2c.positions = {10, 50, 90, 140};
    i2c.values = {kI2cStartMarker, 0xA0 | kI2cAddress, 0x5A | kI2cStopFollows, kI2cStartMarker};
    i2s.positions = {20, 60, 100};
    i2s.values = {kI2sFirstWord, 0x1234, 0x5678 | kI2sRight};
    spi.positions = {10, 30, 60, 80, 200};
    spi.values = {kSpiStartMarker, 0xC3, kSpiIncomplete, kSpiEndMarker, kSpiEndMarker};
    const std::vector<WaveRow> rows = layoutRows(table, 0, 600, 24, 64, [&](int32_t first) -> const DecodedItems* {
        return first == 0 ? &i2c : first == 2 ? &i2s : first == 5 ? &spi : nullptr;
    });
    Renderers r;
    WaveFrame fast, plain;
    r.both(cap.store, pane(0, 1, 0, 400), rows, testStyle(), DrawRequest{}, fast, plain);
    expectSameFrame(fast, plain, "protocols");
    std::vector<std::pair<std::string, int32_t>> texts;
    for (const TextBox& t : fast.prims.texts) texts.emplace_back(t.text, t.colorIndex);
    // I2C: items end at their positions, the address byte in red, markers without text; I2S with
    // the channel in front; SPI items start at theirs, frame markers and incomplete words silent.
    EXPECT_EQ(texts, (std::vector<std::pair<std::string, int32_t>>{
                         {"A0", kAddressColorIndex}, {"5A", 5}, {"L_1234", 5}, {"R_5678", 5}, {"C3", 5}}));
    // The value column reads the same spans: I2C at 60 is the byte ending at 90.
    const RenderStyle style = testStyle();
    EXPECT_EQ(rowValueText(cap.store, rows[0], style, 60), "5Ah");
    EXPECT_EQ(rowValueText(cap.store, rows[0], style, 30), "A0h");
    EXPECT_EQ(rowValueText(cap.store, rows[0], style, 5), "");
    EXPECT_EQ(rowValueText(cap.store, rows[1], style, 99), "R_5678h");
    EXPECT_EQ(rowValueText(cap.store, rows[2], style, 45), "C3h");
    EXPECT_EQ(rowValueText(cap.store, rows[2], style, 65), "");
}

// ---------------------------------------------------------------------------------------------
// Rows, shading, bands, grid

TEST(WaveRenderRows, OddRowsOfTheTableAreShadedEvenWhenScrolled) {
    Capture cap(samplesOf(100, [](int64_t) { return uint64_t{0}; }));
    TableBuilder b;
    for (int c = 0; c < 10; ++c) b.single(c);
    const LabelTable table = b.done();
    RenderStyle style = testStyle();
    style.partition = true;
    WaveRenderer fast;
    for (int32_t firstRow : {0, 1, 3, 4}) {
        const std::vector<WaveRow> rows = layoutRows(table, firstRow, 600, 24, 64);
        WaveFrame frame;
        fast.render(cap.store, pane(0, 0, 0, 200), rows, style, DrawRequest{}, frame);
        std::vector<int32_t> shadedTops;
        for (const AreaFill& f : frame.fills)
            if (f.kind == FillKind::Shade) shadedTops.push_back(f.rect.top);
        std::vector<int32_t> expected;
        for (int32_t row = firstRow; row < 10; ++row)
            if (row & 1) expected.push_back((row - firstRow) * 24);
        EXPECT_EQ(shadedTops, expected) << "first row " << firstRow;
    }
    // Without the setting nothing is shaded; a disabled row is neither shaded nor drawn.
    style.partition = false;
    WaveFrame frame;
    fast.render(cap.store, pane(0, 0, 0, 200), layoutRows(table, 0, 600, 24, 64), style, DrawRequest{}, frame);
    EXPECT_EQ(frame.fills.size(), 1u);
    style.partition = true;
    const std::vector<WaveRow> rows = layoutRows(table, 0, 600, 24, 4);
    EXPECT_FALSE(rows[3].disabled);
    EXPECT_TRUE(rows[5].disabled);
    fast.render(cap.store, pane(0, 0, 0, 200), rows, style, DrawRequest{}, frame);
    for (const AreaFill& f : frame.fills) EXPECT_NE(f.rect.top, 5 * 24);
    EXPECT_EQ(frame.prims.polylines.size(), 4u);
}

TEST(WaveRenderRows, LayoutStacksRowsWithTheirOwnHeightsAndStopsBelowTheArea) {
    TableBuilder b;
    b.single(0).group({3, 2, 1, 0}).single(64).single(5);
    LabelTable table = b.done();
    table.entries[0].height = 40u << 16;
    table.entries[6].flags |= kLabelScope;
    const std::vector<WaveRow> rows = layoutRows(table, 0, 80, 24, 64);
    ASSERT_EQ(rows.size(), 3u);  // the fourth row would start at 88
    EXPECT_EQ(rows[0].height, 40);
    EXPECT_EQ(rows[1].top, 40);
    EXPECT_EQ(rows[1].firstEntry, 1);
    EXPECT_EQ(rows[1].lastEntry, 4);
    EXPECT_EQ(rows[2].top, 64);
    // Channel 64 is beyond every device: disabled.
    EXPECT_TRUE(rows[2].disabled);
    const std::vector<WaveRow> all = layoutRows(table, 0, 1000, 24, 64);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[3].kind, RowKind::Scope);
    EXPECT_FALSE(all[3].disabled);
}

TEST(WaveRenderBands, APartialRepaintErasesAndRedrawsOnlyItsBand) {
    Capture cap(samplesOf(5000, [](int64_t i) { return static_cast<uint64_t>((i / 7) & 1) | (static_cast<uint64_t>(i / 5) << 1); }));
    TableBuilder b;
    b.single(0).group({4, 3, 2, 1});
    for (int c = 5; c < 12; ++c) b.single(c);
    const std::vector<WaveRow> rows = layoutRows(b.done(), 0, 600, 24, 64);
    Renderers r;
    WaveFrame fast, plain;
    DrawRequest req;
    req.fromOffset = 100;
    req.toOffset = 300;
    req.firstRowToDraw = 1;
    req.rowCount = 3;
    RenderStyle style = testStyle();
    style.partition = true;
    r.both(cap.store, pane(1000, 0, 1, 400), rows, style, req, fast, plain);
    expectSameFrame(fast, plain, "band");
    EXPECT_EQ(describe(fast.clip), describe(Rect{50, 24, 151, 96}));
    ASSERT_FALSE(fast.fills.empty());
    EXPECT_EQ(fast.fills[0].kind, FillKind::Background);
    EXPECT_EQ(describe(fast.fills[0].rect), describe(fast.clip));
    // Rows 1 and 3 are shaded; only the rows asked for have traces.
    EXPECT_EQ(fast.fills.size(), 3u);
    for (const PolyRun& run : fast.prims.polylines) EXPECT_NE(run.colorIndex, 1 + 100);
    EXPECT_EQ(fast.grid.xs, (std::vector<int32_t>{50, 100, 150}));
    // The whole area when the offsets say so.
    req.fromOffset = 10;
    req.toOffset = 10;
    req.rowCount = 0;
    req.firstRowToDraw = 0;
    r.both(cap.store, pane(1000, 0, 1, 400), rows, style, req, fast, plain);
    expectSameFrame(fast, plain, "whole");
    EXPECT_EQ(describe(fast.clip), describe(Rect{0, 0, 400, 600}));
    EXPECT_EQ(fast.grid.xs, (std::vector<int32_t>{0, 50, 100, 150, 200, 250, 300, 350}));
    EXPECT_EQ(fast.grid.top, 2);
    EXPECT_EQ(fast.grid.bottom, 598);
}

TEST(WaveRenderBands, GridSpacingBelowOneDrawsEvery50Pixels) {
    Capture cap(samplesOf(10, [](int64_t) { return uint64_t{0}; }));
    PaneGeometry g = pane(0, 0, 0, 120, 100);
    g.gridSpacing = 0;
    g.gridStyle = 3;
    g.gridColorIndex = 9;
    WaveRenderer fast;
    WaveFrame frame;
    fast.render(cap.store, g, {}, testStyle(), DrawRequest{}, frame);
    EXPECT_TRUE(frame.grid.draw);
    EXPECT_EQ(frame.grid.xs, (std::vector<int32_t>{0, 50, 100}));
    EXPECT_EQ(frame.grid.style, 3);
    EXPECT_EQ(frame.grid.colorIndex, 9);
}

TEST(WaveRenderBands, EmptyAndScrolledPastCapturesDrawNoTraces) {
    const LabelTable table = TableBuilder().single(0).group({2, 1}).done();
    Capture cap(samplesOf(100, [](int64_t i) { return static_cast<uint64_t>(i); }));
    WaveRenderer fast;
    WaveFrame frame;
    fast.render(cap.store, pane(500, 0, 0, 200), layoutRows(table, 0, 600, 24, 64), testStyle(), DrawRequest{}, frame);
    EXPECT_TRUE(frame.prims.polylines.empty());
    SampleStore empty;
    fast.render(empty, pane(0, 0, 0, 200), layoutRows(table, 0, 600, 24, 64), testStyle(), DrawRequest{}, frame);
    EXPECT_TRUE(frame.prims.polylines.empty());
    EXPECT_EQ(frame.fills.size(), 1u);
}

// ---------------------------------------------------------------------------------------------
// The fast renderer against the plain one

// Channels of very different activity: every sample, random with falling probability, in bursts.
std::vector<uint64_t> randomCapture(std::mt19937_64& rng, int64_t count) {
    std::vector<uint64_t> s(static_cast<size_t>(count));
    double p[64];
    for (int c = 0; c < 64; ++c) p[c] = c == 0 ? 1.0 : 1.0 / static_cast<double>(uint64_t{1} << (c % 15));
    std::uniform_real_distribution<double> u(0, 1);
    uint64_t w = rng();
    int64_t burst = 0;
    for (int64_t i = 0; i < count; ++i) {
        uint64_t flip = 0;
        for (int c = 0; c < 48; ++c)
            if (u(rng) < p[c]) flip |= uint64_t{1} << c;
        if (burst > 0) {
            flip |= rng() & 0xFFFF000000000000ull;
            --burst;
        } else if (u(rng) < 0.0005) {
            burst = static_cast<int64_t>(rng() % 5000);
        }
        w ^= flip;
        s[static_cast<size_t>(i)] = w;
    }
    return s;
}

LabelTable randomTable(std::mt19937_64& rng) {
    TableBuilder b;
    int rows = 0;
    while (b.next < 60 && rows < 24) {
        const int kind = static_cast<int>(rng() % 6);
        const int32_t ch = static_cast<int32_t>(rng() % 66);
        if (kind <= 2) {
            b.single(ch, (rng() % 3 == 0) ? kLabelInvert : 0u, 1 + static_cast<int32_t>(rng() % 8));
        } else {
            const int n = 2 + static_cast<int>(rng() % 8);
            std::vector<int32_t> chans;
            for (int k = 0; k < n; ++k) chans.push_back(static_cast<int32_t>(rng() % 64));
            const int32_t format = kind == 5 ? kFormatAnalog : static_cast<int32_t>(rng() % 5);
            b.group(chans, format, static_cast<uint32_t>(rng()));
        }
        ++rows;
    }
    b.single(7, kLabelUart);
    return b.done();
}

TEST(WaveRenderFast, GivesTheSamePrimitivesAsThePlainRendererOnRandomCapturesAtEveryZoom) {
    std::mt19937_64 rng(20240607);
    DecodedItems items;
    for (int32_t p = 5; p < 60000; p += 37 + static_cast<int32_t>(rng() % 400)) {
        items.positions.push_back(p);
        items.values.push_back(static_cast<int32_t>(rng() % 300));
    }
    Renderers r;
    // The comparison must cover every kind of primitive: count what the frames held.
    size_t pulseTexts = 0, otherTexts = 0, runs = 0;
    for (int round = 0; round < 3; ++round) {
        const int64_t count = 30000 + static_cast<int64_t>(rng() % 30000);
        Capture cap(randomCapture(rng, count));
        const LabelTable table = randomTable(rng);
        RenderStyle style = testStyle();
        style.pulseTiming = round != 1;
        style.partition = round == 2;
        for (int32_t zoom = -6; zoom <= 11; ++zoom) {
            const int32_t zi = zoom < 0 ? -zoom : 0, zo = zoom > 0 ? zoom : 0;
            const int32_t width = 150 + static_cast<int32_t>(rng() % 300);
            const int32_t first = static_cast<int32_t>(rng() % count);
            const std::vector<WaveRow> rows = layoutRows(table, static_cast<int32_t>(rng() % 3), 2000, 24, 60,
                                                         [&](int32_t) { return &items; });
            WaveFrame fast, plain;
            std::string where = "round " + std::to_string(round) + " zoom " + std::to_string(zoom);
            r.both(cap.store, pane(first, zi, zo, width, 2000), rows, style, DrawRequest{}, fast, plain);
            expectSameFrame(fast, plain, where);
            runs += fast.prims.polylines.size();
            for (const TextBox& t : fast.prims.texts) (t.text.back() == 's' ? pulseTexts : otherTexts) += 1;
            // From the start of the capture, and a band with a row range.
            r.both(cap.store, pane(0, zi, zo, width, 2000), rows, style, DrawRequest{}, fast, plain);
            expectSameFrame(fast, plain, where + " from 0");
            DrawRequest band;
            band.fromOffset = static_cast<int32_t>(rng() % 500);
            band.toOffset = band.fromOffset + 1 + static_cast<int32_t>(rng() % 3000);
            band.firstRowToDraw = static_cast<int32_t>(rng() % 4);
            band.rowCount = static_cast<int32_t>(rng() % 6);
            r.both(cap.store, pane(first, zi, zo, width, 2000), rows, style, band, fast, plain);
            expectSameFrame(fast, plain, where + " band");
            if (::testing::Test::HasFatalFailure()) return;
        }
    }
    EXPECT_GT(pulseTexts, 20u);
    EXPECT_GT(otherTexts, 20u);
    EXPECT_GT(runs, 500u);
}

TEST(WaveRenderFast, NarrowAndInvertedSamplesGiveTheSamePrimitivesAsThePlainRenderer) {
    // Formats the fast renderer cannot read in place: several samples per word, and inverted
    // 64-bit samples. Pulse widths on, so every pass over a column is exercised.
    struct Format {
        int32_t wordBits, rowBits, sampleBits;
        bool invert;
    };
    const Format formats[] = {{32, 32, 32, false}, {64, 64, 16, true}, {64, 36, 36, false}, {64, 64, 64, true}};
    std::mt19937_64 rng(11);
    const std::vector<uint64_t> samples = randomCapture(rng, 40000);
    TableBuilder b;
    for (int c = 0; c < 12; ++c) b.single(c, c % 3 == 0 ? kLabelInvert : 0u);
    b.group({7, 6, 5, 4}).group({15, 14, 13, 12}, kFormatAnalog).single(40);
    const std::vector<WaveRow> rows = layoutRows(b.done(), 0, 900, 24, 64);
    RenderStyle style = testStyle();
    style.pulseTiming = true;
    Renderers r;
    for (const Format& f : formats) {
        // The random samples packed into memory words of this format.
        std::vector<uint8_t> bytes(samples.size() * 8 + 8, 0);
        SampleStore store;
        const int32_t perWord = f.rowBits / f.sampleBits, wordBytes = f.wordBits / 8;
        const int32_t words = static_cast<int32_t>(samples.size()) / perWord;
        ASSERT_GT(store.attach(bytes.data(), words * wordBytes, f.wordBits, f.rowBits, f.sampleBits, kStoragePacked), 0);
        for (int32_t i = 0; i < store.logicalCount(); ++i) store.store(i, samples[static_cast<size_t>(i)]);
        store.setInvert(f.invert);
        for (int32_t zo = 0; zo <= 11; ++zo) {
            WaveFrame fast, plain;
            const std::string where = std::to_string(f.wordBits) + "/" + std::to_string(f.rowBits) + "/" +
                                      std::to_string(f.sampleBits) + (f.invert ? " inverted" : "") + " zoom out " +
                                      std::to_string(zo);
            r.both(store, pane(static_cast<int32_t>(rng() % 5000), 0, zo, 400, 900), rows, style, DrawRequest{},
                   fast, plain);
            expectSameFrame(fast, plain, where);
            if (::testing::Test::HasFatalFailure()) return;
        }
    }
}

TEST(WaveRenderFast, BlockRepeatCapturesGiveTheSamePrimitivesAsThePlainRenderer) {
    // Blocks of 20 stored samples; equal blocks carry repeat fields, so runs replay.
    std::mt19937_64 rng(7);
    std::vector<uint64_t> words;
    for (int block = 0; block < 400; ++block) {
        const bool equal = rng() % 2;
        const uint64_t base = rng() & kBlockChannelMask;
        for (int k = 0; k < kBlockSamples; ++k)
            words.push_back(equal ? base : ((base ^ (rng() & 0xF)) & kBlockChannelMask));
        if (equal) words.back() |= static_cast<uint64_t>(rng() % 8) << kRepeatFieldShift;
    }
    const size_t n = words.size();
    words.push_back(0);
    SampleStore store;
    ASSERT_GT(store.attach(reinterpret_cast<uint8_t*>(words.data()), static_cast<int32_t>(n * 8), 64, 64, 64,
                           kStorageBlockRepeat),
              0);
    TableBuilder b;
    for (int c = 0; c < 6; ++c) b.single(c);
    b.group({3, 2, 1, 0}).group({35, 34, 33}, kFormatAnalog);
    const std::vector<WaveRow> rows = layoutRows(b.done(), 0, 600, 24, 36);
    RenderStyle style = testStyle();
    style.pulseTiming = true;
    Renderers r;
    for (int32_t zo = 0; zo <= 11; zo += 1) {
        WaveFrame fast, plain;
        r.both(store, pane(13, 0, zo, 300), rows, style, DrawRequest{}, fast, plain);
        expectSameFrame(fast, plain, "block repeat zoom out " + std::to_string(zo));
    }
}

// ---------------------------------------------------------------------------------------------
// Columns, value column, panes, state listing

TEST(WaveColumns, ChannelListsShowRangesAscendingOrDescendingElseCommaLists) {
    EXPECT_EQ(channelListText({5}), "5");
    EXPECT_EQ(channelListText({7, 6, 5, 4, 3, 2, 1, 0}), "7..0");
    EXPECT_EQ(channelListText({8, 9, 10, 11}), "8..11");
    EXPECT_EQ(channelListText({3, 4}), "3..4");
    EXPECT_EQ(channelListText({1, 3, 2}), "1,3,2");
    EXPECT_EQ(channelListText({7, 6, 4}), "7,6,4");
    EXPECT_EQ(channelListText({}), "");

    // Through the label table: a group's members in entry order, centred in its row.
    Capture cap(samplesOf(10, [](int64_t) { return uint64_t{0xA5}; }));
    const LabelTable table = TableBuilder().single(12).group({7, 6, 5, 4, 3, 2, 1, 0}).group({0, 2, 4}).done();
    const std::vector<WaveRow> rows = layoutRows(table, 0, 600, 24, 64);
    ColumnWidths widths{80, 60, 70};
    const PrimitiveList texts = columnTexts(cap.store, rows, testStyle(), widths, 3);
    std::vector<std::string> got;
    for (const TextBox& t : texts.texts) got.push_back(t.text);
    EXPECT_EQ(got, (std::vector<std::string>{"12", "0", "7..0", "A5h", "0,2,4", "6h"}));
    EXPECT_EQ(texts.texts[2].box.left, 82);
    EXPECT_EQ(texts.texts[2].box.top, 24 + (24 - kTextHeight) / 2);
    EXPECT_EQ(texts.texts[3].box.left, 142);
    EXPECT_EQ(texts.texts[2].colorIndex, 2);
}

TEST(WaveColumns, DraggedBordersSetTheColumnLeftOfThemAtLeastFivePixelsWide) {
    ColumnWidths w{80, 60, 70};
    EXPECT_EQ(columnBorderAt(w, 81), 0);
    EXPECT_EQ(columnBorderAt(w, 138), 1);
    EXPECT_EQ(columnBorderAt(w, 212), 2);
    EXPECT_EQ(columnBorderAt(w, 100), -1);
    dropColumnBorder(w, 1, 170);
    EXPECT_EQ(w.channel, 170 - 80 + 5);
    dropColumnBorder(w, 0, 20);
    EXPECT_EQ(w.name, 25);
    dropColumnBorder(w, 2, 10);
    EXPECT_EQ(w.value, 5);
    EXPECT_EQ(w.total(), 25 + 95 + 5);
}

TEST(WaveColumns, SplitViewDrawsTheSecondPaneFirst) {
    const std::vector<PanePass> one = panePasses(100, false, 5000, false);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].pane, 0);
    const std::vector<PanePass> two = panePasses(100, true, 5000, true);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0].pane, 1);
    EXPECT_EQ(two[0].firstSample, 5000);
    EXPECT_EQ(two[1].firstSample, 100);
    EXPECT_TRUE(two[1].stateList);
}

TEST(WaveStateList, OneRowPerStateWithTheFirstTenOfEveryTwentyHighlighted) {
    Capture cap(samplesOf(200, [](int64_t i) { return static_cast<uint64_t>(i); }));
    const LabelTable table = TableBuilder().single(0).group({3, 2, 1, 0}, kFormatDec).done();
    const std::vector<WaveRow> rows = layoutRows(table, 0, 600, 24, 64);
    WaveFrame frame;
    renderStateList(cap.store, pane(15, 0, 0, 300, 16 * 12), rows, table, testStyle(), frame);
    EXPECT_FALSE(frame.grid.draw);
    // A header and 11 states (15..25) fit; 20..25 are among the first ten of their twenty.
    std::vector<int32_t> highlighted;
    for (const AreaFill& f : frame.fills)
        if (f.kind == FillKind::Highlight) highlighted.push_back(f.rect.top / 16 - 1 + 15);
    EXPECT_EQ(highlighted, (std::vector<int32_t>{20, 21, 22, 23, 24, 25}));
    std::vector<std::string> texts;
    for (const TextBox& t : frame.prims.texts) texts.push_back(t.text);
    ASSERT_EQ(texts.size(), 2u + 11 * 3);
    EXPECT_EQ(texts[0], "CH-00");
    EXPECT_EQ(texts[2], "15");
    EXPECT_EQ(texts[3], "1");
    EXPECT_EQ(texts[4], "15");
    EXPECT_EQ(texts[5], "16");
    EXPECT_EQ(texts[6], "0");
    EXPECT_EQ(texts[7], "0");  // 16 & 0xF
}

}  // namespace
}  // namespace kv
