// A full redraw of the waveform view as primitives (no GDI): a 16 MiB capture of 2,097,152 samples,
// 64 single-channel rows and 8 eight-channel bus rows, 1,000 pixels wide, at the widest zoom out, at
// one sample per pixel and at the deepest zoom in. The plain row-by-row renderer is measured beside
// the fast one at the widest zoom, where the two differ most; and the redraw with a compared capture
// under the current one.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "viewer/display/wave_render.h"

namespace {

constexpr int32_t kSamples = 2097152;   // 16 MiB of 64-bit samples
constexpr int32_t kWidth = 1000;

// Signals of the kind the demo target produces: counters of every speed, clocks, slow control
// lines and noisy lines.
std::vector<uint64_t> demoWords() {
    std::vector<uint64_t> words(static_cast<size_t>(kSamples) + 1, 0);
    std::mt19937_64 rng(1);
    uint64_t noisy = 0, slow = 0;
    for (int32_t i = 0; i < kSamples; ++i) {
        const uint64_t counter = static_cast<uint64_t>(i) & 0xFFFF;           // channels 0-15
        const uint64_t divided = (static_cast<uint64_t>(i) >> 5) & 0xFFFF;    // channels 16-31
        if ((rng() & 1023) == 0) slow ^= (uint64_t{1} << (rng() % 16));      // channels 32-47
        if ((rng() & 63) == 0) noisy ^= (rng() & 0xFFFF);                    // channels 48-63
        words[static_cast<size_t>(i)] = counter | divided << 16 | slow << 32 | noisy << 48;
    }
    return words;
}

struct Scene {
    std::vector<uint64_t> words = demoWords();
    kv::SampleStore store;
    kv::LabelTable table;
    std::vector<kv::WaveRow> rows;
    kv::RenderStyle style;

    Scene() {
        store.attach(reinterpret_cast<uint8_t*>(words.data()), kSamples * 8, 64, 64, 64, kv::kStoragePacked);
        int e = 0;
        for (int c = 0; c < 64; ++c) {
            kv::LabelEntry& l = table.entries[e++];
            l.channel = c;
            l.kind = kv::kLabelSingle;
            std::snprintf(l.name, sizeof l.name, "CH-%02d", c);
        }
        for (int g = 0; g < 8; ++g) {
            for (int k = 0; k < 8; ++k) {
                kv::LabelEntry& l = table.entries[e++];
                l.channel = g * 8 + 7 - k;
                l.kind = k == 7 ? kv::kLabelLastMember : kv::kLabelFirstMember + k;
                std::snprintf(l.name, sizeof l.name, "BUS%d", g);
            }
        }
        table.entries[e] = kv::LabelEntry{};
        rows = kv::layoutRows(table, 0, 100000, 16, 64);
        style.waveHeight = 16;
        style.measure = [](const std::string& t) { return kv::TextSize{static_cast<int32_t>(t.size()) * 7, 13}; };
        kv::useStandardTexts(style, 100000000);
    }

    kv::PaneGeometry pane(int32_t zoomIn, int32_t zoomOut) const {
        kv::PaneGeometry g;
        g.zoomIn = zoomIn;
        g.zoomOut = zoomOut;
        g.width = kWidth;
        g.height = 100000;
        return g;
    }
};

Scene& scene() {
    static Scene s;
    return s;
}

void redraw(benchmark::State& state, int32_t zoomIn, int32_t zoomOut, bool pulseTiming) {
    Scene& s = scene();
    kv::RenderStyle style = s.style;
    style.pulseTiming = pulseTiming;
    kv::WaveRenderer renderer;
    kv::WaveFrame frame;
    for (auto _ : state) {
        renderer.render(s.store, s.pane(zoomIn, zoomOut), s.rows, style, kv::DrawRequest{}, frame);
        benchmark::DoNotOptimize(frame.prims.points.data());
    }
    state.counters["rows"] = static_cast<double>(s.rows.size());
    state.counters["points"] = static_cast<double>(frame.prims.points.size());
    state.counters["texts"] = static_cast<double>(frame.prims.texts.size());
}

void BM_RedrawZoomOut11(benchmark::State& state) { redraw(state, 0, 11, false); }
BENCHMARK(BM_RedrawZoomOut11)->Unit(benchmark::kMillisecond);

void BM_RedrawZoomOut11PulseWidths(benchmark::State& state) { redraw(state, 0, 11, true); }
BENCHMARK(BM_RedrawZoomOut11PulseWidths)->Unit(benchmark::kMillisecond);

void BM_RedrawZoom0(benchmark::State& state) { redraw(state, 0, 0, false); }
BENCHMARK(BM_RedrawZoom0)->Unit(benchmark::kMillisecond);

void BM_RedrawZoomIn6(benchmark::State& state) { redraw(state, 6, 0, false); }
BENCHMARK(BM_RedrawZoomIn6)->Unit(benchmark::kMillisecond);

// Comparison mode: the same redraw with a compared capture of the same size under it, every 64th
// sample of it different.
void redrawWithCompare(benchmark::State& state, int32_t zoomIn, int32_t zoomOut) {
    Scene& s = scene();
    static std::vector<uint64_t> other = [&s] {
        std::vector<uint64_t> w = s.words;
        for (size_t i = 0; i < w.size(); i += 64) w[i] = ~w[i];
        return w;
    }();
    kv::SampleStore compared;
    compared.attach(reinterpret_cast<uint8_t*>(other.data()), kSamples * 8, 64, 64, 64, kv::kStoragePacked);
    kv::WaveRenderer renderer;
    kv::WaveFrame frame;
    for (auto _ : state) {
        renderer.render(s.store, s.pane(zoomIn, zoomOut), s.rows, s.style, kv::DrawRequest{}, frame);
        renderer.renderCompare(compared, s.pane(zoomIn, zoomOut), s.rows, s.style, kv::DrawRequest{},
                               kv::kCompareColorIndex, frame);
        benchmark::DoNotOptimize(frame.prims.points.data());
    }
    state.counters["points"] = static_cast<double>(frame.prims.points.size());
}

void BM_RedrawWithCompareZoomOut11(benchmark::State& state) { redrawWithCompare(state, 0, 11); }
BENCHMARK(BM_RedrawWithCompareZoomOut11)->Unit(benchmark::kMillisecond);

void BM_RedrawWithCompareZoom0(benchmark::State& state) { redrawWithCompare(state, 0, 0); }
BENCHMARK(BM_RedrawWithCompareZoom0)->Unit(benchmark::kMillisecond);

void BM_ReferenceZoomOut11(benchmark::State& state) {
    Scene& s = scene();
    kv::WaveFrame frame;
    for (auto _ : state) {
        kv::renderWavesReference(s.store, s.pane(0, 11), s.rows, s.style, kv::DrawRequest{}, frame);
        benchmark::DoNotOptimize(frame.prims.points.data());
    }
}
BENCHMARK(BM_ReferenceZoomOut11)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
