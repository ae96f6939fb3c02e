#include "viewer/display/trace_blocks.h"

#include <algorithm>

namespace kv {
namespace {

// Collects finished columns and joins neighbours with the same span into one block.
class BlockSink {
public:
    explicit BlockSink(std::vector<SolidBlock>& out) : out_(out) {}

    // Columns [x0, x1) all light rows [top, bottom].
    void columns(int32_t x0, int32_t x1, int32_t top, int32_t bottom) {
        if (x0 >= x1) return;
        if (open_ && block_.rect.right == x0 && block_.rect.top == top && block_.rect.bottom == bottom + 1) {
            block_.rect.right = x1;
            return;
        }
        flush();
        block_.rect = Rect{x0, top, x1, bottom + 1};
        open_ = true;
    }
    void flush() {
        if (open_) out_.push_back(block_);
        open_ = false;
    }

private:
    std::vector<SolidBlock>& out_;
    SolidBlock block_;
    bool open_ = false;
};

// The column being walked and the span it has lit so far.
struct Column {
    int32_t x = 0;
    int32_t top = 0, bottom = -1;
    bool lit() const { return top <= bottom; }
    void light(int32_t from, int32_t to) {
        if (!lit()) {
            top = from;
            bottom = to;
        } else {
            top = std::min(top, from);
            bottom = std::max(bottom, to);
        }
    }
};

}  // namespace

bool traceBlocks(const Point* points, uint32_t count, std::vector<SolidBlock>& out) {
    for (uint32_t k = 1; k < count; ++k) {
        const Point a = points[k - 1], b = points[k];
        if (b.x < a.x || (a.x != b.x && a.y != b.y)) return false;
    }
    if (count < 2) return true;
    BlockSink sink(out);
    Column column;
    column.x = points[0].x;
    const auto finishColumn = [&] {
        if (column.lit()) sink.columns(column.x, column.x + 1, column.top, column.bottom);
    };
    for (uint32_t k = 1; k < count; ++k) {
        const Point a = points[k - 1], b = points[k];
        if (a == b) continue;
        if (a.x == b.x) {
            // A stroke: its pixels from a towards b, b itself left to the next segment.
            if (a.y < b.y) column.light(a.y, b.y - 1);
            else column.light(b.y + 1, a.y);
            continue;
        }
        // A level from a.x to b.x: a's column ends with a's pixel, the columns between hold the
        // level alone, and b's column starts dark (b is the next segment's first pixel).
        column.light(a.y, a.y);
        finishColumn();
        sink.columns(a.x + 1, b.x, a.y, a.y);
        column = Column{};
        column.x = b.x;
    }
    finishColumn();
    sink.flush();
    return true;
}

bool drawAsBlocks(const Point* points, uint32_t count, std::vector<SolidBlock>& out) {
    out.clear();
    return traceBlocks(points, count, out) && out.size() * 4 <= count;
}

}  // namespace kv
