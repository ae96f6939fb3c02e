#include "viewer/display/scope_rows.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kv {

int32_t scopeY(const WaveRow& r, int32_t margin, const ScopeTrace& trace, double microvolts) {
    const int32_t upper = r.top + margin, lower = r.top + r.height - margin;
    const double span = trace.top - trace.bottom;
    if (!(span > 0)) return (upper + lower) / 2;
    const double f = std::clamp((trace.top - microvolts) / span, 0.0, 1.0);
    return upper + static_cast<int32_t>(std::lround(f * (lower - upper)));
}

double scopeVoltsAtY(const WaveRow& r, int32_t margin, const ScopeTrace& trace, int32_t y) {
    const int32_t upper = r.top + margin, lower = r.top + r.height - margin;
    if (lower <= upper) return trace.top * 1e-6;
    const double f = static_cast<double>(y - upper) / (lower - upper);
    return (trace.top - f * (trace.top - trace.bottom)) * 1e-6;
}

int64_t scopeLineMicrovolts(const WaveRow& r, int32_t margin, const ScopeTrace& trace, int32_t y0, int32_t y1) {
    const int32_t span = r.height - 2 * margin;
    if (span <= 0) return 0;
    // Pixels to microvolts by the row's scale; outside the margins the scale simply extends.
    return std::llround(static_cast<double>(y0 - y1) * (trace.top - trace.bottom) / span);
}

std::string scopeScaleText(double microvolts) {
    char text[32];
    const double a = std::fabs(microvolts);
    if (a >= 1e6)
        std::snprintf(text, sizeof text, "%.3gV", microvolts * 1e-6);
    else if (a >= 1e3)
        std::snprintf(text, sizeof text, "%.3gmV", microvolts * 1e-3);
    else
        std::snprintf(text, sizeof text, "%.3guV", microvolts);
    return text;
}

void renderScopeRow(const PaneGeometry& pane, const WaveRow& r, const RenderStyle& style, const Band& band,
                    const ScopeMapping& mapping, const ScopeTrace& trace, PrimitiveList& out) {
    if (!trace.samples || trace.count <= 0 || !mapping.timeToIndex || band.right <= band.left) return;
    const int32_t margin = style.margin();
    const int64_t unit = int64_t{1} << pane.zoomIn;
    const int64_t perColumn = int64_t{1} << pane.zoomOut;
    {
        PolylineBuilder line(out, r.colorIndex, kTracePointBatch);
        // One column per logic sample group; zoomed in, one column per pixel so a scope holding
        // several samples per logic sample still shows them.
        for (int32_t x = band.left; x < band.right; ++x) {
            const int64_t s = pane.firstSample + (x / unit) * perColumn;
            int64_t i0, i1;
            if (unit > 1) {
                // Between logic samples: the scope index by the fraction of the sample's width.
                const int64_t a = mapping.indexOf(s), b = mapping.indexOf(s + 1);
                i0 = a + (b - a) * (x % unit) / unit;
                i1 = a + (b - a) * (x % unit + 1) / unit;
            } else {
                i0 = mapping.indexOf(s);
                i1 = mapping.indexOf(s + perColumn);
            }
            if (i1 <= i0) i1 = i0 + 1;
            i0 = std::max<int64_t>(i0, 0);
            i1 = std::min<int64_t>(i1, trace.count);
            if (i0 >= i1) {
                line.finish();  // outside the scope's record: nothing to draw here
                continue;
            }
            const double first = trace.samples[i0];
            double hi = first, lo = first;
            for (int64_t i = i0 + 1; i < i1; ++i) {
                hi = std::max(hi, trace.samples[i]);
                lo = std::min(lo, trace.samples[i]);
            }
            line.add(x, scopeY(r, margin, trace, first));
            if (i1 - i0 > 1) {
                line.add(x, scopeY(r, margin, trace, hi));
                line.add(x, scopeY(r, margin, trace, lo));
                line.add(x, scopeY(r, margin, trace, trace.samples[i1 - 1]));
            }
        }
        line.finish();
    }
    if (!style.measure || band.left > 0) return;
    // The scale: the top and bottom values at the row's left edge; a row too low for both shows
    // the top one.
    const std::string texts[2] = {scopeScaleText(trace.top), scopeScaleText(trace.bottom)};
    for (int k = 0; k < 2; ++k) {
        const TextSize size = style.measure(texts[k]);
        if (size.height * (k + 1) > r.height) break;
        TextBox t;
        t.colorIndex = r.colorIndex;
        t.text = texts[k];
        t.box.left = 2;
        t.box.right = 2 + size.width;
        t.box.top = k == 0 ? r.top : r.top + r.height - size.height;
        t.box.bottom = t.box.top + size.height;
        out.texts.push_back(t);
    }
}

}  // namespace kv
