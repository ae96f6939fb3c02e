// Stacked oscilloscope rows of the waveform view: each pixel column of a row shows the scope
// samples that fall into the logic samples of that column, placed by the scope's own time
// mapping, scaled between the row's top and bottom values, with those values written at the left.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "viewer/display/wave_render.h"

namespace kv {

// Logic sample s is (s - triggerSample) * logicPeriod seconds from the trigger; the scope is asked
// for that time shifted by the stack delay.
struct ScopeMapping {
    int64_t triggerSample = 0;
    double logicPeriod = 0;   // seconds
    double stackDelay = 0;    // seconds
    std::function<int64_t(double seconds)> timeToIndex;
    int64_t indexOf(int64_t logicSample) const {
        return timeToIndex(static_cast<double>(logicSample - triggerSample) * logicPeriod + stackDelay);
    }
};

struct ScopeTrace {
    const double* samples = nullptr;  // microvolts
    int64_t count = 0;
    double top = 0, bottom = 0;       // microvolts at the row's top and bottom margins
};

// The y of a value in a row: top at the upper margin, bottom at the lower one (the middle when
// they are equal); values outside are clamped into the row.
int32_t scopeY(const WaveRow& r, int32_t margin, const ScopeTrace& trace, double microvolts);
// "1.65V", "-200mV", "50uV": a scale value as written beside the trace.
std::string scopeScaleText(double microvolts);

void renderScopeRow(const PaneGeometry& pane, const WaveRow& r, const RenderStyle& style, const Band& band,
                    const ScopeMapping& mapping, const ScopeTrace& trace, PrimitiveList& out);

// The voltage of a scope row at a y of the area, by the row's scale.
double scopeVoltsAtY(const WaveRow& r, int32_t margin, const ScopeTrace& trace, int32_t y);
// The measuring line from y0 to y1 on a scope row: the voltage difference it spans, microvolts
// (positive when it rises).
int64_t scopeLineMicrovolts(const WaveRow& r, int32_t margin, const ScopeTrace& trace, int32_t y0, int32_t y1);

}  // namespace kv
