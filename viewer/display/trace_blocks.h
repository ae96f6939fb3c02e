// Traces as solid blocks. A trace is a polyline of horizontal and vertical segments whose x never
// decreases; in a pixel column it lights one vertical span. Where many changes crowd the columns
// (every column of a zoomed-out capture), a trace is thousands of short strokes but only a few
// runs of columns with the same span: one rectangle fill each draws the same pixels far faster
// than the line calls.
#pragma once

#include <cstdint>
#include <vector>

#include "viewer/display/wave_render.h"

namespace kv {

// A rectangle of pixels (right and bottom exclusive) in one colour.
struct SolidBlock {
    Rect rect;
    bool operator==(const SolidBlock& o) const {
        return rect.left == o.rect.left && rect.top == o.rect.top && rect.right == o.rect.right &&
               rect.bottom == o.rect.bottom;
    }
};

// The pixels a 1-pixel line through `count` points lights, as blocks appended to `out`: every
// segment from its start point up to, not including, its end point (so the final point stays
// dark), as the screen's line calls draw it. Returns false, appending nothing, when the line is
// not a trace (a slanted segment, or a step back to the left): it must then be drawn as a line.
bool traceBlocks(const Point* points, uint32_t count, std::vector<SolidBlock>& out);

// Whether a line is better drawn as its blocks, which are then in `out` (cleared first): it is a
// trace and the blocks take at most a quarter of its points. A fill costs about what three line
// points cost, so sparse traces and bus outlines (which slant) stay lines.
bool drawAsBlocks(const Point* points, uint32_t count, std::vector<SolidBlock>& out);

}  // namespace kv
