// The waveform view as drawing primitives: a band of the capture becomes polyline points, bus
// crossings, texts with their boxes, fills and grid lines, in coordinates of the waveform area.
// Nothing here draws; the Win32 shell (and later the printer and bitmap output) only replays what a
// frame holds, so everything a user sees can be checked without a screen.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "viewer/display/decoded_items.h"
#include "viewer/display/label_table.h"
#include "viewer/display/time_base.h"
#include "viewer/shell/panel_layout.h"
#include "viewer/shell/sample_store.h"

namespace kv {

enum : int32_t {
    kAllRows = 9999,             // a row count of 0 asks for every row
    kGridInset = 2,              // grid lines keep this far from the top and bottom
    kCrossingHalfWidth = 2,      // a bus crossing reaches this far either side of its x
    kTracePointBatch = 8192,     // points per Polyline call for traces
    kOutlinePointBatch = 8180,   // and for bus outlines
    kStateRowHeight = 16,
    kStateBlock = 10,            // states per highlighted block in the state listing
    kMinColumnWidth = 5,
    kColumnGrip = 5,             // added to the mouse x when a column border is released
    kCompareColorIndex = 16,     // the compared capture's traces: a colour of their own, past the colour table
};

struct Point {
    int32_t x = 0, y = 0;
    bool operator==(const Point& o) const { return x == o.x && y == o.y; }
    bool operator!=(const Point& o) const { return !(*this == o); }
};

// Points [first, first + count) of a frame's point list, drawn as one Polyline call.
struct PolyRun {
    int32_t colorIndex = 0;
    uint32_t first = 0;
    uint32_t count = 0;
    bool operator==(const PolyRun& o) const {
        return colorIndex == o.colorIndex && first == o.first && count == o.count;
    }
};

struct TextBox {
    Rect box;                    // where the measured text goes: it always fits whole
    int32_t colorIndex = 0;
    std::string text;
    bool operator==(const TextBox& o) const {
        return box.left == o.box.left && box.top == o.box.top && box.right == o.box.right &&
               box.bottom == o.box.bottom && colorIndex == o.colorIndex && text == o.text;
    }
};

enum class FillKind : uint8_t {
    Background,   // the pane's background pen and brush (colour table entry 0)
    Shade,        // the dark-gray stock brush of "WavePartition"
    Highlight,    // the highlighted blocks of the state listing
};

struct AreaFill {
    Rect rect;
    FillKind kind = FillKind::Background;
};

// Polylines and texts, in drawing order.
struct PrimitiveList {
    std::vector<Point> points;
    std::vector<PolyRun> polylines;
    std::vector<TextBox> texts;
    void clear() {
        points.clear();
        polylines.clear();
        texts.clear();
    }
    // Appends `other`, keeping its runs pointing at its points.
    void append(const PrimitiveList& other);
};

// Vertical grid lines, drawn with the XOR raster operation so that drawing them again erases them.
struct GridLines {
    bool draw = false;
    int32_t style = 0;           // pen style, passed to pen creation as is
    int32_t colorIndex = 0;
    int32_t top = 0, bottom = 0;
    std::vector<int32_t> xs;
};

// One redraw: erase and shade (fills), then traces and texts, then the grid. Everything outside
// `clip` must stay as it was on the screen, so the shell clips every primitive to it.
struct WaveFrame {
    Rect clip;
    std::vector<AreaFill> fills;
    PrimitiveList prims;
    GridLines grid;
    void clear();
};

// What the view knows of one pane: where it is in the capture and how large it is.
struct PaneGeometry {
    int32_t firstSample = 0;
    int32_t zoomIn = 0;          // each sample 2^zoomIn pixels wide
    int32_t zoomOut = 0;         // 2^zoomOut samples share a pixel
    int32_t width = 0;           // waveform area, pixels
    int32_t height = 0;
    int32_t gridSpacing = kDefaultGridSpacing;
    int32_t gridStyle = 2;
    int32_t gridColorIndex = 3;
    // Printed pages map samples by a ratio instead, so that a range can fill any width:
    // x = ((i - first) * ratioNum) / ratioDen when ratioDen > 0.
    int64_t ratioNum = 0;
    int64_t ratioDen = 0;
    bool ratio() const { return ratioDen > 0 && ratioNum > 0; }
};

// The pane of a view record whose waveform area is width x height pixels.
PaneGeometry paneGeometry(const WaveView& view, int32_t width, int32_t height);

// Pixel offset of sample i from the left edge of the area: ((i - first) >> zoomOut) << zoomIn.
// Samples before the first one give negative offsets (the shift rounds towards minus infinity).
inline int64_t sampleX(const PaneGeometry& g, int64_t i) {
    if (g.ratio()) {
        const int64_t scaled = (i - g.firstSample) * g.ratioNum;
        // Rounds towards minus infinity like the shift.
        return scaled >= 0 ? scaled / g.ratioDen : -((-scaled + g.ratioDen - 1) / g.ratioDen);
    }
    return ((i - g.firstSample) >> g.zoomOut) * (int64_t{1} << g.zoomIn);
}
// Samples that fit w pixels: (w << zoomOut) >> zoomIn.
inline int64_t samplesInWidth(const PaneGeometry& g, int64_t w) {
    if (g.ratio()) return w * g.ratioDen / g.ratioNum;
    return (w << g.zoomOut) >> g.zoomIn;
}

struct TextSize {
    int32_t width = 0, height = 0;
};

// Settings and services the renderers take from outside.
struct RenderStyle {
    int32_t waveHeight = 24;
    bool partition = false;      // "WavePartition"
    bool pulseTiming = false;    // "System WaveTiming"
    std::function<TextSize(const std::string&)> measure;
    // Width of a pulse of `samples` samples, as written inside it.
    std::function<std::string(int64_t samples)> pulseText;
    // A bus or decoded value in a label format (widthBits: the bits the value has).
    std::function<std::string(uint32_t value, int32_t format, int32_t widthBits, uint32_t flags)> valueText;
    // The same with the radix suffix, for the value column.
    std::function<std::string(uint32_t value, int32_t format, int32_t widthBits, uint32_t flags)> suffixedValueText;
    // The state listing: the command text naming a state (empty: none), set while a command set
    // is active.
    std::function<std::string(int64_t state)> stateCommand;

    int32_t margin() const { return waveHeight / 6; }
};

// Binds the texts to the viewer's formatting: pulse widths in the compact time format (precision
// 3) at `frequencyHz`, values with FormatValue and FormatValueSuffixed.
void useStandardTexts(RenderStyle& style, int64_t frequencyHz);


enum class RowKind : uint8_t {
    Digital,   // a single channel
    Bus,       // a group, its value as text between crossings
    Analog,    // a group drawn as a staircase
    Decoded,   // UART, I2C, I2S or SPI results
    Scope,     // reserved for a stacked oscilloscope trace
};

// A row of the view as the renderers need it.
struct WaveRow {
    RowKind kind = RowKind::Digital;
    int32_t firstEntry = 0;      // entries of the label table: the row's first ...
    int32_t lastEntry = 0;       // ... and last (its name button belongs to this one)
    int32_t rowIndex = 0;        // running row index from the first row of the table
    int32_t top = 0;             // in pixels from the top of the area (first shown row at 0)
    int32_t height = 0;
    int32_t colorIndex = 0;
    int32_t format = kFormatHex;
    uint32_t flags = 0;          // of the row's first entry
    bool disabled = false;       // name button disabled: not drawn, still takes its place
    std::vector<int32_t> channels;  // member channels, most significant first
    uint32_t invertBits = 0;     // bit k set: member k is inverted
    const DecodedItems* decoded = nullptr;
};

// The rows of the table from `firstRow` on, stacked from the top while they start inside
// `areaHeight`. A row whose channel (any member's) is at or beyond `deviceChannels` is disabled.
// Decode results are looked up by the row's first entry; a null function gives none.
std::vector<WaveRow> layoutRows(const LabelTable& table, int32_t firstRow, int32_t areaHeight, int32_t waveHeight,
                                int32_t deviceChannels,
                                const std::function<const DecodedItems*(int32_t firstEntry)>& decodedFor = {});

// Whether the name button of a row is enabled: every channel on the device (oscilloscope rows
// always).
bool rowEnabled(const LabelTable& table, const LabelRow& row, int32_t deviceChannels);

// The channel-list column's text of a row: "%d" for one channel, "first..last" for consecutive
// ascending or descending members, else the comma list.
std::string channelListText(const std::vector<int32_t>& channels);

// What one call of DrawWaves repaints. Offsets are samples from the pane's first sample;
// toOffset = -1 means up to the right edge; fromOffset >= toOffset means the whole area. Rows are
// counted from the first shown row; rowCount = 0 means all rows.
struct DrawRequest {
    int32_t fromOffset = 0;
    int32_t toOffset = -1;
    int32_t firstRowToDraw = 0;
    int32_t rowCount = 0;
};

// The fast renderer: each sample of the band is fetched once, and every row is derived from the
// fetched words a pixel column at a time. Keeps its scratch space between redraws. A pane with a
// ratio mapping (printed pages) has no power-of-two columns: it is walked sample by sample.
class WaveRenderer {
public:
    void render(SampleStore& store, const PaneGeometry& pane, const std::vector<WaveRow>& rows,
                const RenderStyle& style, const DrawRequest& request, WaveFrame& frame);

    // Comparison mode, after render: the compare capture's single-channel traces in `colorIndex`
    // go under the frame's traces, for the rows whose channel the compare capture has (up to its
    // own length). Where the two captures agree the current trace covers the compared one, so
    // only the differences show in that colour.
    void renderCompare(SampleStore& compare, const PaneGeometry& pane, const std::vector<WaveRow>& rows,
                       const RenderStyle& style, const DrawRequest& request, int32_t colorIndex, WaveFrame& frame);

    // Per-row progress through the band.
    struct RowState {
        const WaveRow* row = nullptr;
        int32_t channel = 0;     // digital rows
        uint64_t mask = 0;       // the row's channels as bits of a sample word
        bool inverted = false;
        uint32_t value = 0;      // current level (digital) or group value
        size_t trace = 0;        // digital and staircase rows: index of the row's trace
        int32_t segmentX = 0;    // bus: where the current segment began
        int32_t crossX = 0;      // bus: x of the last crossing drawn
        bool crossed = false;
        int64_t lastTransition = -1;  // digital, pulse widths: sample of the last transition
        int32_t lastTransitionX = 0;
        size_t list = 0;         // index of the row's primitive list (bus: also list + 1)
    };

private:
    std::vector<RowState> states_;
    std::vector<PrimitiveList> lists_;
    std::vector<uint64_t> column_;
    std::unordered_map<std::string, TextSize> sizes_;     // texts measured in this redraw
    std::unordered_map<int64_t, std::string> pulseTexts_;  // pulse widths formatted in this redraw
};

// The plain renderer: row by row, sample by sample, exactly as the drawing rules read. It is the
// yardstick the fast renderer is tested against.
void renderWavesReference(SampleStore& store, const PaneGeometry& pane, const std::vector<WaveRow>& rows,
                          const RenderStyle& style, const DrawRequest& request, WaveFrame& frame);

// --- pieces shared by both renderers ------------------------------------------------------------

// A pane with its zooms within their limits and no negative position or size.
PaneGeometry normalisedPane(const PaneGeometry& p);

// The samples and pixels one request covers.
struct Band {
    bool empty = true;           // nothing of the capture in the band
    int64_t start = 0;           // the sample before the band, which gives the starting levels
    int64_t end = 0;             // last sample walked (inclusive)
    int32_t left = 0, right = 0; // pixel band
    int32_t lineEnd = 0;         // where the final level of a trace ends
    int32_t rowFirst = 0, rowLast = 0;  // shown rows in the request (indexes into the row list)
};
Band bandOf(const PaneGeometry& pane, int64_t sampleCount, const DrawRequest& request, size_t rowTotal);

// Erase, shading and grid of a frame; the traces are added by the renderers.
void beginFrame(const PaneGeometry& pane, const std::vector<WaveRow>& rows, const RenderStyle& style,
                const Band& band, WaveFrame& frame);
void endFrame(const PaneGeometry& pane, const Band& band, WaveFrame& frame);

// Polylines with repeated points dropped, split into runs of at most `batch` points; a new run
// starts at the last point of the one before, so the line stays joined.
class PolylineBuilder {
public:
    PolylineBuilder(PrimitiveList& out, int32_t colorIndex, uint32_t batch)
        : out_(&out), color_(colorIndex), batch_(batch) {}
    void add(int32_t x, int32_t y) {
        if (open_ && x == last_.x && y == last_.y) return;
        if (open_ && out_->polylines.back().count < batch_) {
            // The common case, kept inline: one more point of the open run.
            out_->points.push_back(Point{x, y});
            ++out_->polylines.back().count;
            last_ = Point{x, y};
            return;
        }
        start(x, y);
    }
    // Ends the line; a line of a single point draws nothing and is dropped.
    void finish();

private:
    // The first point of a line, or the first of a new batch.
    void start(int32_t x, int32_t y);

    PrimitiveList* out_;
    int32_t color_;
    uint32_t batch_;
    bool open_ = false;
    Point last_;
};

// A digital or staircase trace, one pixel column at a time. The first change at an x draws a
// stroke from the arriving level; every further change at that x only moves the end of a second
// stroke. A column so holds at most two strokes however many changes fall into it, and the trace
// always stands at the true level when it leaves the column, so nothing has to be joined later.
class TraceBuilder {
public:
    TraceBuilder(PrimitiveList& out, int32_t colorIndex, int32_t startX, int32_t startY)
        : line_(out, colorIndex, kTracePointBatch), prevX_(startX), y_(startY) {}
    void change(int32_t x, int32_t newY);
    // Extends the final level to endX and ends the line.
    void finish(int32_t endX);
    int32_t y() const { return y_; }

private:
    void commit();

    PolylineBuilder line_;
    int32_t prevX_;          // x of the last column with a change (or of the start)
    int32_t y_;              // current level
    bool open_ = false;      // a column with changes is being collected at x_
    int32_t x_ = 0;
    int32_t firstY_ = 0;     // where the column's first stroke goes
};

// Level y of a digital trace; value y of an analog staircase of `bits` members.
inline int32_t levelY(const WaveRow& r, int32_t margin, bool high) {
    return high ? r.top + margin : r.top + r.height - margin;
}
int32_t staircaseY(const WaveRow& r, int32_t margin, uint32_t value);

// The value of a group from a sample word: first member most significant, inverted members
// flipped.
uint32_t groupValue(const WaveRow& r, uint64_t word);

// The width of the pulse from transition sample `from` (at x fromX) to `to` (at x toX), written
// centred in the pulse when it fits.
void pulseLabel(const WaveRow& r, const RenderStyle& style, int64_t from, int32_t fromX, int64_t to, int32_t toX,
                PrimitiveList& out);
// A bus segment's value, centred between its crossings when it fits.
void segmentLabel(const WaveRow& r, const RenderStyle& style, uint32_t value, int32_t widthBits, int32_t fromX,
                  int32_t toX, PrimitiveList& out);
// A bus crossing at x on both outlines.
void busCrossing(PolylineBuilder& upper, PolylineBuilder& lower, const WaveRow& r, int32_t margin, int32_t x);
// Decoded rows draw from their results only; both renderers share this.
void renderDecodedRow(const PaneGeometry& pane, const WaveRow& r, const RenderStyle& style, const Band& band,
                      PrimitiveList& out);

// --- columns, split view, state listing -----------------------------------------------------------

// The widths of the three columns left of the waves.
struct ColumnWidths {
    int32_t name = 0, channel = 0, value = 0;
    int32_t total() const { return name + channel + value; }
};
// Border b (0 after the name column, 1 after the channel column, 2 after the value column) under
// mouse x, or -1; `grip` pixels either side count.
int32_t columnBorderAt(const ColumnWidths& w, int32_t x, int32_t grip = 3);
// Releasing border b at mouse x: the column left of it becomes x minus the columns before it plus
// 5, at least 5.
void dropColumnBorder(ColumnWidths& w, int32_t border, int32_t x);

// A row's value at one state as the state listing shows it (decoded rows: the item holding it).
std::string stateValueText(SampleStore& store, const WaveRow& r, const RenderStyle& style, int64_t state);

// The value column's text of a row at sample i.
std::string rowValueText(SampleStore& store, const WaveRow& r, const RenderStyle& style, int64_t sample);

// The channel-list and value columns of the shown rows: texts in the row's colour, vertically
// centred in the row, from 2 pixels into their column (coordinates of the whole view, the name
// column starting at x = 0). The values are those at `sample` (the focused cursor).
PrimitiveList columnTexts(SampleStore& store, const std::vector<WaveRow>& rows, const RenderStyle& style,
                          const ColumnWidths& widths, int64_t sample);

// DrawWavesDispatch: which panes a repaint draws, in order. With the split view on, the second
// pane first (its own first sample, into its own surface), then the main one.
struct PanePass {
    int32_t pane = 0;            // 0 main, 1 second
    int32_t firstSample = 0;
    bool stateList = false;
};
std::vector<PanePass> panePasses(int32_t mainFirstSample, bool split, int32_t secondFirstSample, bool stateMode);

// The state listing: one text row of 16 pixels per sample from the pane's first sample, with a
// header of the label names; the first ten states of every twenty are highlighted.
void renderStateList(SampleStore& store, const PaneGeometry& pane, const std::vector<WaveRow>& rows,
                     const LabelTable& table, const RenderStyle& style, WaveFrame& frame);

}  // namespace kv
