// The view record of the waveform area and its time base: the power-of-two zoom that keeps the
// centre, the mapping between sample indices and pixels, scroll ranges, scrolling by keys, wheel and
// inertial drag, and the single "Zoom In" value that persists the zoom.
#pragma once

#include <cstdint>

namespace kv {

struct LabelEntry;   // the label table's entry (labels and groups)

// Zoom limits: each sample at most 64 pixels wide, at most 2,048 samples per pixel column.
enum : int32_t {
    kMaxZoomIn = 6,
    kMaxZoomOut = 11,
    kDefaultGridSpacing = 50,   // used when the stored grid spacing is below 1
};

// One pane of the waveform view. The Win32 handles are opaque here: the shell stores its HWND and HDC
// values in them and nothing portable looks through them.
struct WaveView {
    int32_t nameWidth = 0;       // label-name column ("Name Width")
    int32_t valueWidth = 0;      // value column ("Value Width")
    int32_t firstSample = 0;     // sample at the left edge of the waveform area ("Start Time")
    int32_t firstRow = 0;        // first label row shown ("Start Channel")
    int32_t zoomIn = 0;          // each sample is 2^zoomIn pixels wide, 0..6
    int32_t zoomOut = 0;         // 2^zoomOut samples share one pixel, 0..11
    int32_t gridSpacing = 0;     // pixels between vertical grid lines ("Grid Size")
    int32_t gridStyle = 0;       // pen style of the grid ("Grid Type")
    int32_t gridColorIndex = 0;  // colour-table index of the grid ("Grid Color")
    int32_t paneIndex = 0;       // entry of this pane in the per-pane pen and brush tables
    int32_t channelWidth = 0;    // channel-list column ("Channel Width")
    int32_t remarkWidth = 0;     // height of the remark band at the bottom ("Remark Width")
    void* window = nullptr;        // the waveform child window
    void* memoryDC = nullptr;      // the pane's off-screen drawing surface
    void* targetWindow = nullptr;  // where the pane is copied to (substituted for the second pane)
    LabelEntry* labels = nullptr;  // the label table, ended by an entry of kind 0
};

// Left edge of the waveform area inside the view: the three label columns.
int32_t waveAreaLeft(const WaveView& v);

// Grid spacing as drawn: a stored value below 1 gives 50 pixels.
int32_t effectiveGridSpacing(const WaveView& v);

// x offset from the left edge of the waveform area of sample i: ((i - firstSample) >> zoomOut) <<
// zoomIn, rounding towards earlier samples also left of the area. Saturates to the int32 range.
int32_t sampleToX(const WaveView& v, int64_t sample);

// Sample under the pixel offset x of the waveform area (x may be negative): firstSample +
// ((x << zoomOut) >> zoomIn). Not limited to the capture.
int64_t xToSample(const WaveView& v, int32_t x);

// Samples that fit in `width` pixels: (width << zoomOut) >> zoomIn; 0 for a width below 1.
int64_t samplesInWidth(const WaveView& v, int32_t width);

// Width in samples of one pixel column, at least one sample.
int32_t samplesPerPixelStep(const WaveView& v);

// Largest first sample that still fills the area: sampleCount - visible span, not below 0.
int32_t maxFirstSample(const WaveView& v, int32_t areaWidth, int32_t sampleCount);

// Keeps firstSample within 0..maxFirstSample. Returns true when it changed.
bool clampFirstSample(WaveView& v, int32_t areaWidth, int32_t sampleCount);

// Zoom buttons: zoom in stays enabled while zoomIn < 6, zoom out while zoomOut < 11.
bool canZoomIn(const WaveView& v);
bool canZoomOut(const WaveView& v);

// One power of two in, keeping the centre of an area `areaWidth` pixels wide. False (view unchanged)
// when zoomIn is already 6.
bool ZoomIn(WaveView& v, int32_t areaWidth, int32_t sampleCount);

// One power of two out, keeping the centre. With the split view on, `secondFirstSample` is the other
// pane's first sample: both move back by the same amount, neither below 0. False (unchanged) when
// zoomOut is already 11.
bool ZoomOut(WaveView& v, int32_t areaWidth, int32_t* secondFirstSample = nullptr);

// The persisted zoom: zoomIn when it is positive, -zoomOut when zoomOut is, 0 for one sample per pixel.
int32_t encodeZoom(const WaveView& v);
// Restores the zoom from a stored value (`present` false when the value is missing): 1..6 give zoomIn,
// -10..-1 zoomOut, 0 both 0; anything else gives zoomIn = 1.
void decodeZoom(WaveView& v, bool present, int32_t stored);

// A scroll bar's state in the Win32 sense: range min..max, page size, position.
struct ScrollState {
    int32_t min = 0;
    int32_t max = 0;
    int32_t page = 0;
    int32_t pos = 0;
};

// Horizontal scroll bar over the capture: range 0..sampleCount - 1, page the visible span (so the
// thumb's furthest position is maxFirstSample), position firstSample.
ScrollState horizontalScroll(const WaveView& v, int32_t areaWidth, int32_t sampleCount);

// Vertical scroll bar over the label rows: range 0..rowCount - 1, page the rows that fit, position
// firstRow.
ScrollState verticalScroll(const WaveView& v, int32_t rowCount, int32_t visibleRows);

// Horizontal scrolling requests of the scroll bar, the keyboard and the wheel.
enum class ScrollRequest {
    LineLeft,    // 16 pixel columns' worth earlier, at least one sample (scroll bar arrow)
    LineRight,
    PageLeft,    // one visible span earlier (Page Up, scroll bar page)
    PageRight,   // Page Down
    Home,        // the start of the capture
    End,         // the end of the capture
};

// Applies a scrolling request. Returns true when firstSample changed.
bool scrollView(WaveView& v, ScrollRequest request, int32_t areaWidth, int32_t sampleCount);

// Moves the view to the first sample `position` (a scroll bar thumb), clamped. True when it changed.
bool scrollViewTo(WaveView& v, int32_t position, int32_t areaWidth, int32_t sampleCount);

// Mouse wheel, as WM_MOUSEWHEEL delivers it (120 units a notch; high-resolution wheels send parts
// of a notch, which are kept until a notch is complete). Without Ctrl a notch scrolls a quarter of the
// visible span, away from the user (positive delta) towards earlier samples; with Ctrl a notch zooms,
// away from the user zooming in.
struct WheelState {
    int32_t pending = 0;   // delta not yet used
};
struct WheelResult {
    bool changed = false;   // firstSample or the zoom changed: repaint and update the scroll bar
    bool zoomed = false;    // the zoom changed: update the zoom buttons too
};
WheelResult applyWheel(WheelState& wheel, WaveView& v, int32_t delta, bool ctrl, int32_t areaWidth,
                       int32_t sampleCount);

// Dragging the waves: the first sample that keeps the sample grabbed at press under the mouse after
// the mouse moved dx pixels (a drag to the right shows earlier samples), clamped.
int32_t dragScrollFirstSample(const WaveView& v, int32_t firstAtPress, int32_t dx, int32_t areaWidth,
                              int32_t sampleCount);

// Scrolling with momentum after a drag of the waves (the "Inertial" setting), driven by a 100 ms
// timer.
struct InertialScroll {
    bool running = false;
    double speed = 0;          // v, pixels per millisecond
    double deceleration = 0;   // a
    int32_t direction = 0;     // sign of the drag: +1 to the right, -1 to the left
};
enum : int32_t {
    kInertialTimerId = 888,
    kInertialTickMs = 100,
    kInertialMinMs = 200,       // a shorter drag starts no momentum
    kInertialMinPixels = 100,   // nor does a shorter one
};
// On release of a drag that lasted `elapsedMs` and moved `dx` pixels. True when the timer must start.
bool startInertialScroll(InertialScroll& s, int32_t elapsedMs, int32_t dx);
// One timer tick: moves firstSample. False when the timer must stop (the movement ended, or the view
// reached either end of the capture).
bool inertialScrollTick(InertialScroll& s, WaveView& v, int32_t areaWidth, int32_t sampleCount);

}  // namespace kv
