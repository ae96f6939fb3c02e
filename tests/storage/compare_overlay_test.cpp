// The comparison overlay: the compare capture's single-channel traces go under the current ones,
// for the channels it has and up to its own length, whatever the current capture's length.
#include "viewer/display/wave_render.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kv {
namespace {

// Packed samples with the spare word a fetch of the last one may read.
struct Capture {
    std::vector<uint64_t> words;
    SampleStore store;
    // `bits`-bit samples, one per 64-bit word; channel c of sample i is bit c of pattern(i).
    template <class F>
    Capture(int32_t count, int32_t bits, F pattern) {
        for (int32_t i = 0; i < count; ++i) words.push_back(pattern(i));
        words.push_back(0);
        store.attach(reinterpret_cast<uint8_t*>(words.data()), count * 8, 64, bits, bits, kStoragePacked);
    }
};

WaveRow row(RowKind kind, std::vector<int32_t> channels, int32_t index) {
    WaveRow r;
    r.kind = kind;
    r.firstEntry = r.lastEntry = r.rowIndex = index;
    r.top = 24 * index;
    r.height = 24;
    r.colorIndex = 3 + index;
    r.channels = std::move(channels);
    return r;
}

std::vector<Point> runPoints(const PrimitiveList& p, const PolyRun& run) {
    return std::vector<Point>(p.points.begin() + run.first, p.points.begin() + run.first + run.count);
}

TEST(CompareOverlay, ComparedTracesGoUnderTheCurrentOnesForTheChannelsAndLengthTheyHave) {
    // Current: 100 64-bit samples, channel 0 high from sample 20 on, channel 40 toggling.
    Capture current(100, 64, [](int32_t i) { return uint64_t(i >= 20) | (uint64_t(i / 10 % 2) << 40); });
    // Compared: 60 36-bit samples (no channel 40), channel 0 high from sample 30 on.
    Capture compared(60, 36, [](int32_t i) { return uint64_t(i >= 30); });
    const std::vector<WaveRow> rows = {row(RowKind::Digital, {0}, 0), row(RowKind::Digital, {40}, 1),
                                       row(RowKind::Bus, {1, 0}, 2)};
    PaneGeometry pane;
    pane.zoomIn = 1;   // 2 pixels per sample
    pane.width = 240;
    pane.height = 100;
    RenderStyle style;
    style.waveHeight = 24;
    style.pulseTiming = true;   // pulse widths are the current capture's only
    style.measure = [](const std::string& t) { return TextSize{static_cast<int32_t>(t.size()) * 6, 12}; };
    style.pulseText = [](int64_t n) { return std::to_string(n); };
    style.valueText = [](uint32_t v, int32_t, int32_t, uint32_t) { return std::to_string(v); };

    WaveRenderer renderer;
    WaveFrame plain, frame;
    renderer.render(current.store, pane, rows, style, DrawRequest{}, plain);
    renderer.render(current.store, pane, rows, style, DrawRequest{}, frame);
    renderer.renderCompare(compared.store, pane, rows, style, DrawRequest{}, kCompareColorIndex, frame);

    // One compared trace, for channel 0 only, drawn first.
    ASSERT_EQ(frame.prims.polylines.size(), plain.prims.polylines.size() + 1);
    const PolyRun& under = frame.prims.polylines[0];
    EXPECT_EQ(under.colorIndex, kCompareColorIndex);
    const int32_t margin = style.margin();
    const std::vector<Point> expected = {{0, 24 - margin}, {60, 24 - margin}, {60, margin}, {120, margin}};
    EXPECT_EQ(runPoints(frame.prims, under), expected);   // it ends with the compared capture, at x 120

    // The current capture's primitives follow unchanged, texts included; none are added.
    for (size_t k = 0; k < plain.prims.polylines.size(); ++k) {
        const PolyRun& mine = frame.prims.polylines[k + 1];
        EXPECT_EQ(mine.colorIndex, plain.prims.polylines[k].colorIndex);
        EXPECT_EQ(runPoints(frame.prims, mine), runPoints(plain.prims, plain.prims.polylines[k]));
    }
    EXPECT_EQ(frame.prims.texts, plain.prims.texts);
    EXPECT_EQ(frame.fills.size(), plain.fills.size());
    EXPECT_EQ(frame.grid.xs, plain.grid.xs);

    // A longer, 64-bit compared capture: channel 40 is overlaid too, and both reach the pane's edge.
    Capture longer(400, 64, [](int32_t i) { return uint64_t(i >= 30); });
    WaveFrame wide;
    renderer.renderCompare(longer.store, pane, rows, style, DrawRequest{}, kCompareColorIndex, wide);
    ASSERT_EQ(wide.prims.polylines.size(), 2u);
    EXPECT_EQ(runPoints(wide.prims, wide.prims.polylines[0]).back(), (Point{pane.width, margin}));
    EXPECT_EQ(runPoints(wide.prims, wide.prims.polylines[1]).back(), (Point{pane.width, 48 - margin}));
}

}  // namespace
}  // namespace kv
