// The plain renderer: each row walks its samples one by one through the store and applies the
// drawing rules as they read. Slow on purpose; the fast renderer must give the same frame.
#include "viewer/display/wave_render.h"

#include <algorithm>

namespace kv {
namespace {

bool level(SampleStore& store, const WaveRow& r, int64_t i) {
    const uint64_t w = store.sample(static_cast<int32_t>(i));
    return (((w >> (r.channels[0] & 63)) & 1u) != 0) != ((r.invertBits & 1u) != 0);
}

void digitalRow(SampleStore& store, const PaneGeometry& pane, const WaveRow& r, const RenderStyle& style,
                const Band& band, PrimitiveList& out) {
    const int32_t margin = style.margin();
    bool kept = level(store, r, band.start);
    TraceBuilder t(out, r.colorIndex, static_cast<int32_t>(sampleX(pane, band.start)), levelY(r, margin, kept));
    int64_t lastTransition = -1;
    int32_t lastTransitionX = 0;
    for (int64_t i = band.start + 1; i <= band.end; ++i) {
        const bool now = level(store, r, i);
        if (now == kept) continue;
        const int32_t x = static_cast<int32_t>(sampleX(pane, i));
        if (style.pulseTiming && lastTransition >= 0) pulseLabel(r, style, lastTransition, lastTransitionX, i, x, out);
        lastTransition = i;
        lastTransitionX = x;
        t.change(x, levelY(r, margin, now));
        kept = now;
    }
    t.finish(band.lineEnd);
}

void analogRow(SampleStore& store, const PaneGeometry& pane, const WaveRow& r, const RenderStyle& style,
               const Band& band, PrimitiveList& out) {
    const int32_t margin = style.margin();
    uint32_t value = groupValue(r, store.sample(static_cast<int32_t>(band.start)));
    TraceBuilder t(out, r.colorIndex, static_cast<int32_t>(sampleX(pane, band.start)), staircaseY(r, margin, value));
    for (int64_t i = band.start + 1; i <= band.end; ++i) {
        const uint32_t now = groupValue(r, store.sample(static_cast<int32_t>(i)));
        if (now == value) continue;
        t.change(static_cast<int32_t>(sampleX(pane, i)), staircaseY(r, margin, now));
        value = now;
    }
    t.finish(band.lineEnd);
}

void busRow(SampleStore& store, const PaneGeometry& pane, const WaveRow& r, const RenderStyle& style,
            const Band& band, PrimitiveList& out) {
    const int32_t margin = style.margin();
    const int32_t widthBits = static_cast<int32_t>(std::min<size_t>(r.channels.size(), kMaxGroupChannels));
    PrimitiveList upperList, lowerList;
    PolylineBuilder upper(upperList, r.colorIndex, kOutlinePointBatch);
    PolylineBuilder lower(lowerList, r.colorIndex, kOutlinePointBatch);
    const int32_t xStart = static_cast<int32_t>(sampleX(pane, band.start));
    upper.add(xStart, levelY(r, margin, true));
    lower.add(xStart, levelY(r, margin, false));
    uint32_t value = groupValue(r, store.sample(static_cast<int32_t>(band.start)));
    int32_t segmentX = std::max(xStart, 0);
    bool crossed = false;
    int32_t crossX = 0;
    for (int64_t i = band.start + 1; i <= band.end; ++i) {
        const uint32_t now = groupValue(r, store.sample(static_cast<int32_t>(i)));
        if (now == value) continue;
        const int32_t x = static_cast<int32_t>(sampleX(pane, i));
        segmentLabel(r, style, value, widthBits, segmentX, x, upperList);
        // One crossing marks a pixel column however many changes fall into it.
        if (!crossed || x != crossX) busCrossing(upper, lower, r, margin, x);
        crossed = true;
        crossX = x;
        segmentX = x;
        value = now;
    }
    segmentLabel(r, style, value, widthBits, segmentX, band.lineEnd, upperList);
    upper.add(band.lineEnd, levelY(r, margin, true));
    lower.add(band.lineEnd, levelY(r, margin, false));
    upper.finish();
    lower.finish();
    out.append(upperList);
    out.append(lowerList);
}

}  // namespace

void renderWavesReference(SampleStore& store, const PaneGeometry& paneIn, const std::vector<WaveRow>& rows,
                          const RenderStyle& styleIn, const DrawRequest& request, WaveFrame& frame) {
    const PaneGeometry pane = normalisedPane(paneIn);
    RenderStyle style = styleIn;
    style.pulseTiming = style.pulseTiming && style.pulseText && style.measure;
    const Band band = bandOf(pane, store.logicalCount(), request, rows.size());
    beginFrame(pane, rows, style, band, frame);
    if (!band.empty) {
        for (int32_t k = band.rowFirst; k <= band.rowLast; ++k) {
            const WaveRow& r = rows[k];
            if (r.disabled) continue;
            PrimitiveList out;
            switch (r.kind) {
                case RowKind::Digital: digitalRow(store, pane, r, style, band, out); break;
                case RowKind::Analog: analogRow(store, pane, r, style, band, out); break;
                case RowKind::Bus: busRow(store, pane, r, style, band, out); break;
                case RowKind::Decoded: renderDecodedRow(pane, r, style, band, out); break;
                case RowKind::Scope: break;
            }
            frame.prims.append(out);
        }
    }
    endFrame(pane, band, frame);
}

}  // namespace kv
