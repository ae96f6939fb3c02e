#include "viewer/display/cursors.h"

#include <algorithm>

#include "viewer/display/formatting.h"

namespace kv {
namespace {

enum : int32_t {
    kPickFirstId = 1025,
    kPickLastId = 1030,
    kValueParkSample = 100,
};

bool validCursor(int32_t index) { return index >= 0 && index < kCursorCount; }

bool shown(const Cursor& c) { return (c.flags & kCursorFlagHidden) == 0; }

}  // namespace

const char* const kCursorValueNames[6] = {"Cursor Trigger", "Cursor A", "Cursor B", "Cursor C", "Cursor D", "Cursor E"};
const char* const kCursorFocusValueName = "Cursor Focus";

CursorSet::CursorSet() {
    for (int32_t i = 0; i < kCursorCount; ++i) {
        cursors[i].penIndex = i;
        cursors[i].position = i == kCursorTrigger ? kMinTriggerPosition : 100 * i;
    }
}

void markCursorsNotDrawn(CursorSet& set) {
    for (Cursor& c : set.cursors) c.drawnX = -1;
}

int32_t clampCursorPosition(int32_t index, int64_t position, int32_t sampleCount) {
    const int64_t last = sampleCount > 0 ? static_cast<int64_t>(sampleCount) - 1 : 0;
    if (position > last) position = last;
    if (position < 0) position = 0;
    // The hardware needs 16 samples before the trigger, even when the capture is shorter.
    if (index == kCursorTrigger && position < kMinTriggerPosition) position = kMinTriggerPosition;
    return static_cast<int32_t>(position);
}

void setCursorPosition(CursorSet& set, int32_t index, int64_t position, int32_t sampleCount) {
    if (!validCursor(index)) return;
    set.cursors[index].position = clampCursorPosition(index, position, sampleCount);
}

bool parkFocusedCursor(CursorSet& set, int32_t sampleCount) {
    if (!validCursor(set.focus) || sampleCount <= 0) return false;
    const int32_t before = set.cursors[set.focus].position;
    if (before < sampleCount - 1) return false;
    setCursorPosition(set, set.focus, kValueParkSample, sampleCount);
    return set.cursors[set.focus].position != before;
}

std::vector<CursorLine> layoutCursorLines(CursorSet& set, const WaveView& v, int32_t areaWidth) {
    std::vector<CursorLine> lines;
    for (int32_t i = 0; i < kCursorCount; ++i) {
        Cursor& c = set.cursors[i];
        c.drawnX = -1;
        if (!shown(c)) continue;
        const int32_t x = sampleToX(v, c.position);
        if (x < 0 || x >= areaWidth) continue;
        c.drawnX = x;
        // A second XOR stroke on the same column would erase the first: one line per column.
        bool taken = false;
        for (const CursorLine& l : lines) taken = taken || l.x == x;
        if (!taken) lines.push_back(CursorLine{i, x});
    }
    return lines;
}

void layoutCursorMarkers(CursorSet& set, int32_t barWidth) {
    int32_t order[kCursorCount];
    int32_t n = 0;
    for (int32_t i = 0; i < kCursorCount; ++i) {
        set.cursors[i].markerX = -1;
        if (set.cursors[i].drawnX >= 0) order[n++] = i;
    }
    std::stable_sort(order, order + n,
                     [&](int32_t a, int32_t b) { return set.cursors[a].drawnX < set.cursors[b].drawnX; });
    const int32_t half = kMarkerWidth / 2;
    bool first = true;
    int32_t previous = 0;
    for (int32_t k = 0; k < n; ++k) {
        Cursor& c = set.cursors[order[k]];
        int32_t centre = c.drawnX;
        // Markers of cursors close together stand side by side, so each can still be grabbed.
        if (!first && centre < previous + kMarkerWidth) centre = previous + kMarkerWidth;
        if (centre - half + kMarkerWidth > barWidth) centre = barWidth - kMarkerEndInset;
        c.markerX = centre;
        previous = centre;
        first = false;
    }
}

namespace {

// The shown cursor whose position (line or marker x) is nearest to x, within maxDistance pixels;
// -1 when none is. A position below 0 means "not drawn".
int32_t nearestCursor(const CursorSet& set, int32_t x, int32_t maxDistance, int32_t Cursor::*position) {
    int32_t best = -1;
    int32_t bestDistance = maxDistance + 1;
    for (int32_t i = 0; i < kCursorCount; ++i) {
        const Cursor& c = set.cursors[i];
        const int32_t at = c.*position;
        if (at < 0 || !shown(c)) continue;
        const int32_t d = at > x ? at - x : x - at;
        if (d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

}  // namespace

int32_t cursorAtLine(const CursorSet& set, int32_t x) { return nearestCursor(set, x, kCursorGrabPixels, &Cursor::drawnX); }

int32_t cursorAtMarker(const CursorSet& set, int32_t x) {
    return nearestCursor(set, x, kMarkerWidth / 2, &Cursor::markerX);
}

int32_t cursorForSearchCommand(int32_t commandId) {
    static const int32_t kCommands[kCursorCount] = {1022, 1023, 1024, 1031, 1032, 1033};
    for (int32_t i = 0; i < kCursorCount; ++i)
        if (kCommands[i] == commandId) return i;
    return -1;
}

bool searchCursor(CursorSet& set, int32_t index, WaveView& v, int32_t areaWidth, int32_t sampleCount) {
    if (!validCursor(index)) return false;
    setCursorPosition(set, index, set.cursors[index].position, sampleCount);
    set.focus = index;
    const int64_t position = set.cursors[index].position;
    const int64_t span = samplesInWidth(v, areaWidth);
    if (position >= v.firstSample && position < v.firstSample + span) return false;
    const int32_t before = v.firstSample;
    v.firstSample = static_cast<int32_t>(std::max<int64_t>(0, position - span / 2));
    clampFirstSample(v, areaWidth, sampleCount);
    return v.firstSample != before;
}

bool moveFocusedCursor(CursorSet& set, int32_t pixels, WaveView& v, int32_t areaWidth, int32_t sampleCount) {
    if (!validCursor(set.focus)) return false;
    const int32_t index = set.focus;
    const int64_t step = static_cast<int64_t>(samplesPerPixelStep(v)) * pixels;
    setCursorPosition(set, index, set.cursors[index].position + step, sampleCount);
    const int64_t position = set.cursors[index].position;
    int64_t span = samplesInWidth(v, areaWidth);
    if (span < 1) span = 1;
    const int32_t before = v.firstSample;
    int64_t first = v.firstSample;
    if (position < first) first = position;
    if (position >= first + span) first = position - span + 1;
    v.firstSample = static_cast<int32_t>(first);
    if (v.firstSample != before) clampFirstSample(v, areaWidth, sampleCount);
    return v.firstSample != before;
}

ViewKeyResult handleViewKey(int32_t virtualKey, bool ctrl, CursorSet& set, WaveView& v, int32_t areaWidth,
                            int32_t sampleCount) {
    ViewKeyResult r;
    switch (virtualKey) {
    case kKeyLeft:
    case kKeyRight: {
        if (!validCursor(set.focus)) return r;
        const int32_t columns = (ctrl ? kCtrlCursorStep : 1) * (virtualKey == kKeyLeft ? -1 : 1);
        const int32_t before = set.cursors[set.focus].position;
        r.handled = true;
        r.scrolled = moveFocusedCursor(set, columns, v, areaWidth, sampleCount);
        r.cursorMoved = set.cursors[set.focus].position != before;
        return r;
    }
    case kKeyPageUp:
        r.handled = true;
        r.scrolled = scrollView(v, ScrollRequest::PageLeft, areaWidth, sampleCount);
        return r;
    case kKeyPageDown:
        r.handled = true;
        r.scrolled = scrollView(v, ScrollRequest::PageRight, areaWidth, sampleCount);
        return r;
    case kKeyHome:
        r.handled = true;
        r.scrolled = scrollView(v, ScrollRequest::Home, areaWidth, sampleCount);
        return r;
    case kKeyEnd:
        r.handled = true;
        r.scrolled = scrollView(v, ScrollRequest::End, areaWidth, sampleCount);
        return r;
    default:
        return r;
    }
}

uint64_t channelMaskOf(const std::vector<int32_t>& channels) {
    uint64_t mask = 0;
    for (int32_t c : channels)
        if (c >= 0 && c < 64) mask |= uint64_t{1} << c;
    return mask;
}

int32_t SnapToEdge(int32_t sample, uint64_t mask, const WaveView& v, int32_t sampleCount, const SampleReader& read) {
    const int64_t window = samplesInWidth(v, kSnapWindowPixels);
    if (window <= 0 || mask == 0 || !read) return sample;
    const int64_t last = static_cast<int64_t>(sampleCount) - 1;
    for (int64_t k = 0; k < window; ++k) {
        // Nearest first: 0, +1, -1, +2, -2 ...
        for (int sign = 1; sign >= -1; sign -= 2) {
            if (k == 0 && sign < 0) continue;
            const int64_t a = sample + sign * k;
            if (a < 0 || a + 1 > last) continue;
            const int32_t i = static_cast<int32_t>(a);
            if (((read(i) ^ read(i + 1)) & mask) != 0) return i + 1;
        }
    }
    return sample;
}

void beginCursorDrag(CursorDrag& drag, const CursorSet& set, int32_t index) {
    drag.index = validCursor(index) ? index : -1;
    drag.offsetE = drag.index >= 0 ? set.cursors[kCursorE].position - set.cursors[drag.index].position : 0;
}

void endCursorDrag(CursorDrag& drag) { drag.index = -1; }

DragStep dragCursorTo(CursorDrag& drag, CursorSet& set, WaveView& v, int32_t mouseX, int32_t areaWidth,
                      int32_t sampleCount, bool ctrl, bool snapOn, uint64_t snapMask, bool scopeStacked,
                      const SampleReader& read) {
    DragStep step;
    if (!validCursor(drag.index)) return step;
    const int32_t index = drag.index;
    const int32_t firstBefore = v.firstSample;
    int32_t x = mouseX;
    if (x > areaWidth - kEdgeHoldPixels) {
        // Past the right edge: the waves scroll under the cursor, which stays just inside the area.
        const int64_t amount = (static_cast<int64_t>(x) - areaWidth + 8) / 5;
        const int64_t hi = maxFirstSample(v, areaWidth, sampleCount);
        int64_t first = v.firstSample + amount;
        if (first > hi) first = std::max<int64_t>(hi, v.firstSample);
        v.firstSample = static_cast<int32_t>(first);
        x = areaWidth - kEdgeHoldPixels;
    } else if (x < kEdgeHoldPixels) {
        const int64_t amount = (static_cast<int64_t>(x) - 5) / 5;   // negative or 0
        v.firstSample = static_cast<int32_t>(std::max<int64_t>(0, v.firstSample + amount));
        x = kEdgeHoldPixels;
    }
    step.scrolled = v.firstSample != firstBefore;

    int64_t sample = xToSample(v, x < 0 ? 0 : x);
    const int64_t last = sampleCount > 0 ? static_cast<int64_t>(sampleCount) - 1 : 0;
    sample = std::min(std::max<int64_t>(sample, 0), last);
    if (!step.scrolled && snapOn && snapMask != 0)
        sample = SnapToEdge(static_cast<int32_t>(sample), snapMask, v, sampleCount, read);

    const int32_t oldPosition = set.cursors[index].position;
    const int32_t oldE = set.cursors[kCursorE].position;
    setCursorPosition(set, index, sample, sampleCount);
    if (ctrl && index != kCursorE)
        setCursorPosition(set, kCursorE, static_cast<int64_t>(set.cursors[index].position) + drag.offsetE, sampleCount);
    step.moved = set.cursors[index].position != oldPosition || set.cursors[kCursorE].position != oldE;
    step.refreshValues = index == set.focus;
    step.redrawAll = index == kCursorTrigger && scopeStacked && !ctrl;
    return step;
}

void UpdateReadouts(const CursorSet& set, int64_t frequencyHz, std::string texts[kReadoutCount]) {
    for (int32_t k = 0; k < kReadoutCount; ++k) {
        const int32_t from = set.pairs[k][0];
        const int32_t to = set.pairs[k][1];
        if (!validCursor(from) || !validCursor(to)) continue;
        const int64_t count = static_cast<int64_t>(set.cursors[to].position) - set.cursors[from].position;
        FormatMeasure(set.measureMode, frequencyHz, count, 3, &texts[k]);
    }
}

void nextMeasureMode(CursorSet& set) {
    set.measureMode = (set.measureMode >= kMeasureTime && set.measureMode < kMeasureClocks) ? set.measureMode + 1
                                                                                           : kMeasureTime;
}

bool cycleMeasureCursor(CursorSet& set, int32_t buttonId) {
    if (buttonId < kPickFirstId || buttonId > kPickLastId) return false;
    const int32_t k = (buttonId - kPickFirstId) / 2;
    const int32_t end = (buttonId - kPickFirstId) % 2;
    const int32_t current = set.pairs[k][end];
    set.pairs[k][end] = validCursor(current) ? (current + 1) % kCursorCount : 0;
    return true;
}

uint16_t readoutCaptionString(int32_t measureMode) {
    switch (measureMode) {
    case kMeasureFrequency: return kStrCaptionFrequency;
    case kMeasureClocks: return kStrCaptionClocks;
    default: return kStrCaptionTiming;
    }
}

std::string formatReadoutCaption(const std::string& format, const std::string& first, const std::string& second) {
    std::string out;
    int used = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            if (format[i + 1] == 's') {
                out += used == 0 ? first : used == 1 ? second : std::string();
                ++used;
                ++i;
                continue;
            }
            if (format[i + 1] == '%') {
                out += '%';
                ++i;
                continue;
            }
        }
        out += format[i];
    }
    return out;
}

}  // namespace kv
