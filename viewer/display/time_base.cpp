#include "viewer/display/time_base.h"

#include <cmath>

namespace kv {
namespace {

enum : int32_t {
    kWheelDelta = 120,   // one notch of a mouse wheel
    kLinePixels = 16,    // a scroll bar arrow moves the waves this many pixel columns
};

int32_t saturate(int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

// The exponents as used for shifting: a corrupt record must not make a shift undefined.
int32_t inExp(const WaveView& v) { return v.zoomIn < 0 ? 0 : v.zoomIn > 30 ? 30 : v.zoomIn; }
int32_t outExp(const WaveView& v) { return v.zoomOut < 0 ? 0 : v.zoomOut > 30 ? 30 : v.zoomOut; }

// floor(a / 2^k), also for negative a.
int64_t floorShift(int64_t a, int32_t k) {
    const int64_t d = int64_t{1} << k;
    int64_t q = a / d;
    if (a % d != 0 && a < 0) --q;
    return q;
}

int32_t clampFirst(int64_t first, const WaveView& v, int32_t areaWidth, int32_t sampleCount) {
    const int64_t hi = maxFirstSample(v, areaWidth, sampleCount);
    if (first > hi) first = hi;
    if (first < 0) first = 0;
    return static_cast<int32_t>(first);
}

// Half the area width rounded down to a multiple of 32 pixels: the zoom steps keep this point fixed.
int64_t halfWidth(int32_t areaWidth) { return (static_cast<int64_t>(areaWidth < 0 ? 0 : areaWidth) / 64) * 32; }

}  // namespace

int32_t waveAreaLeft(const WaveView& v) { return v.nameWidth + v.channelWidth + v.valueWidth; }

int32_t effectiveGridSpacing(const WaveView& v) { return v.gridSpacing < 1 ? kDefaultGridSpacing : v.gridSpacing; }

int32_t sampleToX(const WaveView& v, int64_t sample) {
    const int64_t columns = floorShift(sample - v.firstSample, outExp(v));
    // Beyond 2^40 pixels nobody looks; the limit keeps the shift below from overflowing.
    if (columns > (int64_t{1} << 40)) return INT32_MAX;
    if (columns < -(int64_t{1} << 40)) return INT32_MIN;
    return saturate(columns * (int64_t{1} << inExp(v)));
}

int64_t xToSample(const WaveView& v, int32_t x) {
    return v.firstSample + floorShift(static_cast<int64_t>(x) * (int64_t{1} << outExp(v)), inExp(v));
}

int64_t samplesInWidth(const WaveView& v, int32_t width) {
    if (width < 1) return 0;
    return (static_cast<int64_t>(width) << outExp(v)) >> inExp(v);
}

int32_t samplesPerPixelStep(const WaveView& v) {
    const int64_t n = samplesInWidth(v, 1);
    return n < 1 ? 1 : saturate(n);
}

int32_t maxFirstSample(const WaveView& v, int32_t areaWidth, int32_t sampleCount) {
    const int64_t hi = static_cast<int64_t>(sampleCount) - samplesInWidth(v, areaWidth);
    return hi < 0 ? 0 : static_cast<int32_t>(hi);
}

bool clampFirstSample(WaveView& v, int32_t areaWidth, int32_t sampleCount) {
    const int32_t first = clampFirst(v.firstSample, v, areaWidth, sampleCount);
    const bool changed = first != v.firstSample;
    v.firstSample = first;
    return changed;
}

bool canZoomIn(const WaveView& v) { return v.zoomIn < kMaxZoomIn; }
bool canZoomOut(const WaveView& v) { return v.zoomOut < kMaxZoomOut; }

bool ZoomIn(WaveView& v, int32_t areaWidth, int32_t sampleCount) {
    if (!canZoomIn(v)) return false;
    const int64_t h = halfWidth(areaWidth);
    const int64_t span = (static_cast<int64_t>(areaWidth < 0 ? 0 : areaWidth) >> inExp(v)) << outExp(v);
    const int64_t advance = ((h >> inExp(v)) << outExp(v)) / 2;
    if (span <= sampleCount && v.firstSample + advance < sampleCount)
        v.firstSample = static_cast<int32_t>(v.firstSample + advance);
    else
        v.firstSample = 0;
    if (v.zoomOut > 0)
        --v.zoomOut;
    else
        ++v.zoomIn;
    return true;
}

bool ZoomOut(WaveView& v, int32_t areaWidth, int32_t* secondFirstSample) {
    if (!canZoomOut(v)) return false;
    const int64_t h = halfWidth(areaWidth);
    int64_t shift = v.zoomIn >= 1 ? (h >> inExp(v)) : (h << outExp(v));
    // Both panes move by the same amount, so their distance stays; neither goes before sample 0.
    if (shift > v.firstSample) shift = v.firstSample < 0 ? 0 : v.firstSample;
    if (secondFirstSample != nullptr && shift > *secondFirstSample)
        shift = *secondFirstSample < 0 ? 0 : *secondFirstSample;
    v.firstSample = static_cast<int32_t>(v.firstSample - shift);
    if (secondFirstSample != nullptr) *secondFirstSample = static_cast<int32_t>(*secondFirstSample - shift);
    if (v.zoomIn > 0)
        --v.zoomIn;
    else
        ++v.zoomOut;
    return true;
}

int32_t encodeZoom(const WaveView& v) {
    if (v.zoomIn > 0) return v.zoomIn;
    if (v.zoomOut > 0) return -v.zoomOut;
    return 0;
}

void decodeZoom(WaveView& v, bool present, int32_t stored) {
    v.zoomIn = 0;
    v.zoomOut = 0;
    if (present && stored >= 1 && stored <= kMaxZoomIn)
        v.zoomIn = stored;
    else if (present && stored >= -10 && stored <= -1)
        v.zoomOut = -stored;
    else if (!(present && stored == 0))
        v.zoomIn = 1;
}

ScrollState horizontalScroll(const WaveView& v, int32_t areaWidth, int32_t sampleCount) {
    ScrollState s;
    s.max = sampleCount > 0 ? sampleCount - 1 : 0;
    const int64_t span = samplesInWidth(v, areaWidth);
    s.page = static_cast<int32_t>(span < sampleCount ? span : (sampleCount > 0 ? sampleCount : 0));
    s.pos = clampFirst(v.firstSample, v, areaWidth, sampleCount);
    return s;
}

ScrollState verticalScroll(const WaveView& v, int32_t rowCount, int32_t visibleRows) {
    ScrollState s;
    s.max = rowCount > 0 ? rowCount - 1 : 0;
    s.page = visibleRows < 0 ? 0 : (visibleRows > rowCount ? (rowCount > 0 ? rowCount : 0) : visibleRows);
    s.pos = v.firstRow < 0 ? 0 : (v.firstRow > s.max ? s.max : v.firstRow);
    return s;
}

bool scrollView(WaveView& v, ScrollRequest request, int32_t areaWidth, int32_t sampleCount) {
    int64_t first = v.firstSample;
    int64_t line = samplesInWidth(v, kLinePixels);
    if (line < 1) line = 1;
    int64_t page = samplesInWidth(v, areaWidth);
    if (page < 1) page = 1;
    switch (request) {
    case ScrollRequest::LineLeft: first -= line; break;
    case ScrollRequest::LineRight: first += line; break;
    case ScrollRequest::PageLeft: first -= page; break;
    case ScrollRequest::PageRight: first += page; break;
    case ScrollRequest::Home: first = 0; break;
    case ScrollRequest::End: first = maxFirstSample(v, areaWidth, sampleCount); break;
    }
    const int32_t clamped = clampFirst(first, v, areaWidth, sampleCount);
    const bool changed = clamped != v.firstSample;
    v.firstSample = clamped;
    return changed;
}

bool scrollViewTo(WaveView& v, int32_t position, int32_t areaWidth, int32_t sampleCount) {
    const int32_t clamped = clampFirst(position, v, areaWidth, sampleCount);
    const bool changed = clamped != v.firstSample;
    v.firstSample = clamped;
    return changed;
}

WheelResult applyWheel(WheelState& wheel, WaveView& v, int32_t delta, bool ctrl, int32_t areaWidth,
                       int32_t sampleCount) {
    WheelResult r;
    // Far beyond any real wheel; keeps the sum from overflowing.
    if (delta > 1000000) delta = 1000000;
    if (delta < -1000000) delta = -1000000;
    wheel.pending += delta;
    const int32_t notches = wheel.pending / kWheelDelta;
    wheel.pending -= notches * kWheelDelta;
    if (notches == 0) return r;
    if (ctrl) {
        const bool in = notches > 0;
        const int32_t steps = in ? notches : -notches;
        for (int32_t i = 0; i < steps; ++i) {
            const bool done = in ? ZoomIn(v, areaWidth, sampleCount) : ZoomOut(v, areaWidth);
            if (!done) break;
            r.changed = r.zoomed = true;
        }
        return r;
    }
    int64_t step = samplesInWidth(v, areaWidth) / 4;
    if (step < 1) step = 1;
    const int32_t first = clampFirst(v.firstSample - step * notches, v, areaWidth, sampleCount);
    r.changed = first != v.firstSample;
    v.firstSample = first;
    return r;
}

int32_t dragScrollFirstSample(const WaveView& v, int32_t firstAtPress, int32_t dx, int32_t areaWidth,
                              int32_t sampleCount) {
    const int64_t moved = floorShift(static_cast<int64_t>(dx) * (int64_t{1} << outExp(v)), inExp(v));
    return clampFirst(firstAtPress - moved, v, areaWidth, sampleCount);
}

bool startInertialScroll(InertialScroll& s, int32_t elapsedMs, int32_t dx) {
    s.running = false;
    const int64_t distance = dx < 0 ? -static_cast<int64_t>(dx) : dx;
    if (elapsedMs < kInertialMinMs || distance < kInertialMinPixels) return false;
    s.speed = static_cast<double>(distance) / elapsedMs;
    s.deceleration = 5.0 * s.speed / elapsedMs;
    s.direction = dx > 0 ? 1 : -1;
    s.running = true;
    return true;
}

bool inertialScrollTick(InertialScroll& s, WaveView& v, int32_t areaWidth, int32_t sampleCount) {
    if (!s.running) return false;
    const double step = std::ldexp(s.deceleration * 5000.0 + s.speed, outExp(v) - inExp(v));
    s.deceleration -= 0.0005;
    if (step < 0) {
        s.running = false;
        return false;
    }
    // A drag to the right brought earlier samples in; the momentum carries on the same way.
    const double target = static_cast<double>(v.firstSample) - s.direction * std::floor(step);
    int64_t end = static_cast<int64_t>(sampleCount) - samplesInWidth(v, areaWidth) - 1;
    if (end < 0) end = 0;
    if (target <= 0) {
        v.firstSample = 0;
        s.running = false;
    } else if (target >= static_cast<double>(end)) {
        v.firstSample = static_cast<int32_t>(end);
        s.running = false;
    } else {
        v.firstSample = static_cast<int32_t>(target);
    }
    return s.running;
}

}  // namespace kv
