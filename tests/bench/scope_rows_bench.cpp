// Redraw of six stacked scope rows as primitives, 1,000 pixels wide: the maker's 512K record
// (512,000 samples a channel) mapped onto a logic capture at the same rate, at one sample per
// pixel and zoomed out so far that each pixel column spans 512 scope samples.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "viewer/display/scope_rows.h"

namespace {

constexpr int64_t kRecord = 512000;

struct Scene {
    std::vector<double> samples = std::vector<double>(kRecord);
    std::vector<kv::WaveRow> rows;
    kv::RenderStyle style;
    kv::ScopeMapping mapping;
    Scene() {
        for (int64_t i = 0; i < kRecord; ++i) samples[static_cast<size_t>(i)] = 1e6 * std::sin(i * 0.001) + (i % 7) * 1e3;
        for (int r = 0; r < 6; ++r) {
            kv::WaveRow row;
            row.kind = kv::RowKind::Scope;
            row.top = 24 * r;
            row.height = 24;
            rows.push_back(row);
        }
        style.measure = [](const std::string& t) { return kv::TextSize{static_cast<int32_t>(t.size()) * 7, 13}; };
        mapping.triggerSample = 0;
        mapping.logicPeriod = 1e-8;
        mapping.timeToIndex = [](double s) { return static_cast<int64_t>(s / 1e-8 + 0.5); };
    }
};

void redraw(benchmark::State& state) {
    static Scene scene;
    kv::PaneGeometry pane;
    pane.width = 1000;
    pane.height = 24 * 6;
    pane.zoomOut = static_cast<int32_t>(state.range(0));
    kv::Band band;
    band.left = 0;
    band.right = 1000;
    kv::ScopeTrace trace{scene.samples.data(), kRecord, 1.1e6, -1.1e6};
    kv::PrimitiveList out;
    for (auto _ : state) {
        out.clear();
        for (const kv::WaveRow& r : scene.rows) kv::renderScopeRow(pane, r, scene.style, band, scene.mapping, trace, out);
        benchmark::DoNotOptimize(out.points.data());
    }
    state.counters["points"] = static_cast<double>(out.points.size());
}
BENCHMARK(redraw)->Arg(0)->Arg(9)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
