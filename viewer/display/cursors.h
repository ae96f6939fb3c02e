// The six cursors of the waveform view (trigger and A to E): where their lines and bar markers go,
// bringing one into view, moving them with keys and by dragging (edge scrolling, snapping to a
// transition, cursor E following with Ctrl), and the three measurement readouts between pairs of them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "viewer/display/time_base.h"
#include "viewer/trigger/trigger_setup.h"   // kMinTriggerPosition: the trigger cursor never stands before it

namespace kv {

enum CursorIndex : int32_t {
    kCursorTrigger = 0,
    kCursorA = 1,
    kCursorB = 2,
    kCursorC = 3,
    kCursorD = 4,
    kCursorE = 5,
    kCursorCount = 6,
};

enum : int32_t {
    kReadoutCount = 3,
    kMarkerWidth = 13,          // the marker bitmaps of the cursor bar are 13 pixels wide
    kMarkerEndInset = 10,       // a marker that would pass the bar's right end stands this far before it
    kCursorGrabPixels = 2,      // a press this close to a cursor line grabs it
    kEdgeHoldPixels = 3,        // a cursor dragged past an edge is held this far inside it
    kSnapWindowPixels = 5,      // snapping looks this far either side for a transition
};

// String numbers of the cursor texts: the six names ("Cursor Trigger", "Cursor A" ... "Cursor E")
// and the three readout captions, one per measurement mode, each with two %s for the cursor names.
enum : uint16_t {
    kStrCursorNameFirst = 950,      // 950-955
    kStrCaptionTiming = 956,        // "Timing (Form %s to %s)"
    kStrCaptionFrequency = 957,     // "Frequency (Form %s to %s)"
    kStrCaptionClocks = 958,        // "Sample Clocks (From %s to %s)"
};

constexpr uint32_t kCursorFlagHidden = 1u;

// Names of the cursors' values in a project ("Cursor Trigger", "Cursor A" ... "Cursor E"; the flag
// word's value adds " flag"). Registry names stay English whatever the language shown.
extern const char* const kCursorValueNames[6];
extern const char* const kCursorFocusValueName;   // "Cursor Focus"

struct Cursor {
    int32_t position = 0;   // sample index
    int32_t drawnX = -1;    // x of the line in the waveform area, -1 when not drawn
    int32_t markerX = -1;   // centre x of the marker in the cursor bar, -1 when not shown
    int32_t penIndex = 0;   // the cursor's pen in the pen table
    uint32_t flags = 0;     // bit 0: hidden
};

// The cursors with what goes with them: the focused cursor ("Cursor Focus"), the three measurement
// pairs and the measurement mode.
struct CursorSet {
    Cursor cursors[kCursorCount];
    int32_t focus = kCursorTrigger;
    // Pair k feeds readout k: the readout measures from the first cursor to the second.
    int32_t pairs[kReadoutCount][2] = {{kCursorA, kCursorB}, {kCursorTrigger, kCursorA}, {kCursorTrigger, kCursorB}};
    int32_t measureMode = 0;   // 0 time, 1 frequency, 2 sample clocks

    CursorSet();   // pens 0..5, trigger at sample 16, A-E spread over the first samples
};

// After a repaint of the waves no cursor line is on the screen any more: nothing is left to erase.
void markCursorsNotDrawn(CursorSet& set);

// A cursor position kept inside the capture (0..sampleCount - 1), and for the trigger cursor not
// below 16.
int32_t clampCursorPosition(int32_t index, int64_t position, int32_t sampleCount);
// Sets a cursor's position through clampCursorPosition.
void setCursorPosition(CursorSet& set, int32_t index, int64_t position, int32_t sampleCount);

// The value column (mode "Channel Value") shows the values at the focused cursor: one standing at or
// past the last sample is first brought back to sample 100 (kept inside a shorter capture). True
// when it moved.
bool parkFocusedCursor(CursorSet& set, int32_t sampleCount);

// A cursor line to draw with the XOR raster operation.
struct CursorLine {
    int32_t index;
    int32_t x;
};

// Computes drawnX of every cursor for an area `areaWidth` pixels wide (-1 outside it or hidden) and
// returns the lines to draw: when several cursors fall on one x only the lowest index is drawn, so that
// XOR does not cancel them (the others keep that x as drawnX: their line is the one shown). The shell
// draws these; drawing the same list again erases them.
std::vector<CursorLine> layoutCursorLines(CursorSet& set, const WaveView& v, int32_t areaWidth);

// Places the markers of the drawn cursors (drawnX >= 0) from left to right in a bar `barWidth` pixels
// wide: each centred on its line but never overlapping the marker to its left, and one that would pass
// the right end at barWidth - 10. Cursors not drawn get markerX = -1.
void layoutCursorMarkers(CursorSet& set, int32_t barWidth);

// The cursor whose drawn line is within 2 pixels of x (the nearest, the lowest index on a tie), or -1.
int32_t cursorAtLine(const CursorSet& set, int32_t x);
// The cursor whose marker covers x in the cursor bar (the nearest marker centre, the lowest index on
// a tie), or -1.
int32_t cursorAtMarker(const CursorSet& set, int32_t x);

// The cursor that a "Search ... Cursor" command (1022-1024, 1031-1033) brings into view, or -1.
int32_t cursorForSearchCommand(int32_t commandId);

// Brings a cursor into view: the cursor is first kept inside the capture; when it is outside the
// visible span the view is centred on it (clamped to the capture). The cursor becomes the focused one.
// Returns true when firstSample changed (repaint); the cursors must be redrawn in any case.
bool searchCursor(CursorSet& set, int32_t index, WaveView& v, int32_t areaWidth, int32_t sampleCount);

// Moves the focused cursor by `pixels` pixel columns (negative: to the left), at least one sample per
// column, kept inside the capture; when it leaves the visible span the view scrolls just enough to show
// it. Returns true when firstSample changed.
bool moveFocusedCursor(CursorSet& set, int32_t pixels, WaveView& v, int32_t areaWidth, int32_t sampleCount);

// Keys of the waveform view, as WM_KEYDOWN delivers them (Windows virtual-key codes): Left and Right
// move the focused cursor one pixel column (ten with Ctrl), Page Up and Page Down scroll one visible
// span, Home and End go to the ends of the capture.
enum : int32_t {
    kKeyPageUp = 0x21,
    kKeyPageDown = 0x22,
    kKeyEnd = 0x23,
    kKeyHome = 0x24,
    kKeyLeft = 0x25,
    kKeyRight = 0x27,
    kCtrlCursorStep = 10,   // pixel columns a cursor moves per key with Ctrl held
};
struct ViewKeyResult {
    bool handled = false;       // the key is one of the view's
    bool scrolled = false;      // firstSample changed: repaint and move the scroll bar
    bool cursorMoved = false;   // the focused cursor moved: redraw cursors, readouts and values
};
ViewKeyResult handleViewKey(int32_t virtualKey, bool ctrl, CursorSet& set, WaveView& v, int32_t areaWidth,
                            int32_t sampleCount);

// Sample source for snapping: sample i of the capture.
using SampleReader = std::function<uint64_t(int32_t)>;

// The channel bits of a label row for snapping: the or of its member channels' bits (channels
// outside 0..63 have none).
uint64_t channelMaskOf(const std::vector<int32_t>& channels);

// Snapping to a transition: looks for a change of the masked channels between two neighbouring
// samples within 5 pixels of `sample`, nearest first (offsets 0, +1, -1, +2, -2 ...), and returns the
// first sample after it; `sample` unchanged when there is none, the mask is 0 or the window is empty.
// `mask` is the label's channel bit, or the or of a group's member bits.
int32_t SnapToEdge(int32_t sample, uint64_t mask, const WaveView& v, int32_t sampleCount, const SampleReader& read);

// A cursor drag in progress.
struct CursorDrag {
    int32_t index = -1;       // the cursor being dragged, -1 when none
    int32_t offsetE = 0;      // position of cursor E minus that of the dragged cursor when the drag began
};
void beginCursorDrag(CursorDrag& drag, const CursorSet& set, int32_t index);
void endCursorDrag(CursorDrag& drag);

// What the shell must do after a drag step.
struct DragStep {
    bool moved = false;          // some cursor moved: redraw the cursors and the readouts
    bool scrolled = false;       // firstSample changed: repaint the waves and move the scroll bar
    bool refreshValues = false;  // the dragged cursor has the focus: refresh the value column
    bool redrawAll = false;      // trigger cursor with a stacked scope: repaint the whole view
};

// One mouse move of a drag. `mouseX` is relative to the left edge of the waveform area, `areaWidth`
// its width. `snapMask` gives the channels of the label row under the mouse (0 for none or an
// oscilloscope row); snapping applies only when `snapOn` and no scrolling happened. With `ctrl`, cursor
// E keeps the distance it had when the drag began. `scopeStacked` tells whether an oscilloscope is
// stacked (a dragged trigger cursor then asks for a whole repaint unless Ctrl is held).
DragStep dragCursorTo(CursorDrag& drag, CursorSet& set, WaveView& v, int32_t mouseX, int32_t areaWidth,
                      int32_t sampleCount, bool ctrl, bool snapOn, uint64_t snapMask, bool scopeStacked,
                      const SampleReader& read);

// The three readout texts: FormatMeasure(mode, frequency, position(second) - position(first), 3) for
// each pair. `frequencyHz` is that of the current sample mode, or the external clock value in
// external-clock mode. A readout whose text cannot be made keeps its previous text.
void UpdateReadouts(const CursorSet& set, int64_t frequencyHz, std::string texts[kReadoutCount]);

// The measure button: time, then frequency, then sample clocks, then time again.
void nextMeasureMode(CursorSet& set);

// A cursor-choice button of a readout (1025-1030: upper then lower button of each readout) picks the
// next cursor for that end of the pair. Returns false for another id.
bool cycleMeasureCursor(CursorSet& set, int32_t buttonId);

// String number of the caption of the current measurement mode.
uint16_t readoutCaptionString(int32_t measureMode);

// Fills a caption format such as "Timing (Form %s to %s)" with the two cursor names. Only "%s" and
// "%%" are interpreted, so a translated text can never read beyond the two names.
std::string formatReadoutCaption(const std::string& format, const std::string& first, const std::string& second);

}  // namespace kv
