#include "viewer/display/wave_render.h"

#include "viewer/display/decoded_rows.h"

#include <algorithm>
#include <cstdio>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "viewer/display/formatting.h"

namespace kv {

PaneGeometry paneGeometry(const WaveView& view, int32_t width, int32_t height) {
    PaneGeometry g;
    g.firstSample = view.firstSample;
    g.zoomIn = view.zoomIn;
    g.zoomOut = view.zoomOut;
    g.width = width;
    g.height = height;
    g.gridSpacing = view.gridSpacing;
    g.gridStyle = view.gridStyle;
    g.gridColorIndex = view.gridColorIndex;
    return g;
}

void useStandardTexts(RenderStyle& style, int64_t frequencyHz) {
    style.pulseText = [frequencyHz](int64_t samples) {
        std::string text;
        FormatTimeCompact(frequencyHz, samples, 3, &text);
        return text;
    };
    style.valueText = [](uint32_t value, int32_t format, int32_t widthBits, uint32_t flags) {
        std::string text;
        FormatValue(flags, value, format, widthBits, &text);
        return text;
    };
    style.suffixedValueText = [](uint32_t value, int32_t format, int32_t widthBits, uint32_t flags) {
        std::string text;
        FormatValueSuffixed(flags, value, format, widthBits, &text);
        return text;
    };
}

// --- primitive lists ------------------------------------------------------------------------------

void PrimitiveList::append(const PrimitiveList& other) {
    const uint32_t offset = static_cast<uint32_t>(points.size());
    points.insert(points.end(), other.points.begin(), other.points.end());
    for (PolyRun run : other.polylines) {
        run.first += offset;
        polylines.push_back(run);
    }
    texts.insert(texts.end(), other.texts.begin(), other.texts.end());
}

void WaveFrame::clear() {
    clip = Rect{};
    fills.clear();
    prims.clear();
    grid = GridLines{};
}

void PolylineBuilder::start(int32_t x, int32_t y) {
    const Point p{x, y};
    if (!open_) {
        out_->polylines.push_back(PolyRun{color_, static_cast<uint32_t>(out_->points.size()), 0});
        open_ = true;
    } else if (out_->polylines.back().count >= batch_) {
        // The batch is full: the next run repeats the last point so that no gap opens.
        out_->polylines.push_back(PolyRun{color_, static_cast<uint32_t>(out_->points.size()), 1});
        out_->points.push_back(last_);
    }
    out_->points.push_back(p);
    ++out_->polylines.back().count;
    last_ = p;
}

void PolylineBuilder::finish() {
    if (open_ && out_->polylines.back().count < 2) {
        out_->points.resize(out_->points.size() - out_->polylines.back().count);
        out_->polylines.pop_back();
    }
    open_ = false;
}

void TraceBuilder::change(int32_t x, int32_t newY) {
    if (!open_ || x != x_) {
        commit();
        line_.add(prevX_, y_);
        line_.add(x, y_);
        open_ = true;
        x_ = x;
        firstY_ = newY;
    }
    y_ = newY;
}

void TraceBuilder::commit() {
    if (!open_) return;
    line_.add(x_, firstY_);
    line_.add(x_, y_);   // the second stroke, unless the column ended where its first one did
    prevX_ = x_;
    open_ = false;
}

void TraceBuilder::finish(int32_t endX) {
    commit();
    line_.add(prevX_, y_);
    line_.add(endX, y_);
    line_.finish();
}

// --- rows -----------------------------------------------------------------------------------------

bool rowEnabled(const LabelTable& table, const LabelRow& row, int32_t deviceChannels) {
    if (row.first < 0) return false;
    if (table.entries[row.first].flags & kLabelScope) return true;
    const int32_t limit = std::min<int32_t>(deviceChannels, 64);
    for (int e = row.first; e <= row.last; ++e) {
        const int32_t c = table.entries[e].channel;
        if (c < 0 || c >= limit) return false;
    }
    return true;
}

std::vector<WaveRow> layoutRows(const LabelTable& table, int32_t firstRow, int32_t areaHeight, int32_t waveHeight,
                                int32_t deviceChannels,
                                const std::function<const DecodedItems*(int32_t firstEntry)>& decodedFor) {
    std::vector<WaveRow> rows;
    int32_t top = 0;
    int32_t index = 0;
    for (const LabelRow& lr : labelRows(table)) {
        const int32_t rowIndex = index++;
        if (rowIndex < firstRow) continue;
        if (top >= areaHeight) break;
        const LabelEntry& head = table.entries[lr.first];
        const LabelEntry& tail = table.entries[lr.last];
        WaveRow r;
        r.firstEntry = lr.first;
        r.lastEntry = lr.last;
        r.rowIndex = rowIndex;
        r.top = top;
        const int32_t own = static_cast<int32_t>(labelRowHeight(head.height));
        r.height = own ? own : waveHeight;
        r.colorIndex = head.colorIndex;
        r.format = tail.format;
        r.flags = tail.flags;
        r.disabled = !rowEnabled(table, lr, deviceChannels);
        const int members = std::min(lr.size(), static_cast<int>(kMaxGroupChannels));
        for (int k = 0; k < members; ++k) {
            const LabelEntry& e = table.entries[lr.first + k];
            r.channels.push_back(e.channel);
            if (e.flags & kLabelInvert) r.invertBits |= 1u << k;
        }
        if (head.flags & kLabelScope) {
            r.kind = RowKind::Scope;
        } else if (!lr.group()) {
            r.kind = (head.flags & kLabelUart) ? RowKind::Decoded : RowKind::Digital;
        } else if (tail.flags & (kLabelI2c | kLabelI2s | kLabelSpi)) {
            r.kind = RowKind::Decoded;
        } else {
            r.kind = tail.format == kFormatAnalog ? RowKind::Analog : RowKind::Bus;
        }
        if (r.kind == RowKind::Decoded && decodedFor) r.decoded = decodedFor(lr.first);
        top += r.height;
        rows.push_back(std::move(r));
    }
    return rows;
}

std::string channelListText(const std::vector<int32_t>& channels) {
    char text[16];
    if (channels.empty()) return std::string();
    if (channels.size() == 1) {
        std::snprintf(text, sizeof text, "%d", channels[0]);
        return text;
    }
    bool ascending = true, descending = true;
    for (size_t k = 1; k < channels.size(); ++k) {
        ascending = ascending && channels[k] == channels[k - 1] + 1;
        descending = descending && channels[k] == channels[k - 1] - 1;
    }
    if (ascending || descending) {
        std::snprintf(text, sizeof text, "%d..%d", channels.front(), channels.back());
        return text;
    }
    std::string list;
    for (size_t k = 0; k < channels.size(); ++k) {
        std::snprintf(text, sizeof text, k + 1 < channels.size() ? "%d," : "%d", channels[k]);
        list += text;
    }
    return list;
}

uint32_t groupValue(const WaveRow& r, uint64_t word) {
    uint32_t v = 0;
    const size_t n = std::min<size_t>(r.channels.size(), kMaxGroupChannels);
    for (size_t k = 0; k < n; ++k) {
        const uint32_t bit = static_cast<uint32_t>(word >> (r.channels[k] & 63)) & 1u;
        v = (v << 1) | (bit ^ ((r.invertBits >> k) & 1u));
    }
    return v;
}

int32_t staircaseY(const WaveRow& r, int32_t margin, uint32_t value) {
    const int64_t span = r.height - 2 * margin;
    const int n = static_cast<int>(std::min<size_t>(r.channels.size(), kMaxGroupChannels));
    return static_cast<int32_t>(r.top + r.height - margin - 1 - ((span * value) >> n));
}

namespace {

uint64_t channelMask(const WaveRow& r) {
    uint64_t m = 0;
    for (int32_t c : r.channels) m |= uint64_t{1} << (c & 63);
    return m;
}

int32_t clampInt(int64_t v, int64_t lo, int64_t hi) { return static_cast<int32_t>(std::max(lo, std::min(hi, v))); }

void addText(const WaveRow& r, int32_t left, const std::string& text, TextSize size, PrimitiveList& out) {
    TextBox t;
    t.box.left = left;
    t.box.top = r.top + (r.height - size.height) / 2;
    t.box.right = left + size.width;
    t.box.bottom = t.box.top + size.height;
    t.colorIndex = r.colorIndex;
    t.text = text;
    out.texts.push_back(std::move(t));
}

}  // namespace

void pulseLabel(const WaveRow& r, const RenderStyle& style, int64_t from, int32_t fromX, int64_t to, int32_t toX,
                PrimitiveList& out) {
    const int32_t span = toX - fromX;
    // A text needs at least a pixel clear on either side of it.
    if (span < 2 || !style.pulseText || !style.measure) return;
    const std::string text = style.pulseText(to - from);
    const TextSize size = style.measure(text);
    if (size.width + 2 > span) return;
    addText(r, fromX + (span - size.width) / 2, text, size, out);
}

void segmentLabel(const WaveRow& r, const RenderStyle& style, uint32_t value, int32_t widthBits, int32_t fromX,
                  int32_t toX, PrimitiveList& out) {
    const int32_t span = toX - fromX;
    // The crossings take kCrossingHalfWidth pixels of the segment at either end.
    if (span < 2 * kCrossingHalfWidth || !style.valueText || !style.measure) return;
    const std::string text = style.valueText(value, r.format, widthBits, r.flags);
    const TextSize size = style.measure(text);
    if (size.width + 2 * kCrossingHalfWidth > span) return;
    addText(r, fromX + (span - size.width) / 2, text, size, out);
}

void busCrossing(PolylineBuilder& upper, PolylineBuilder& lower, const WaveRow& r, int32_t margin, int32_t x) {
    const int32_t hi = levelY(r, margin, true), lo = levelY(r, margin, false), mid = r.top + r.height / 2;
    upper.add(x - kCrossingHalfWidth, hi);
    upper.add(x, mid);
    upper.add(x + kCrossingHalfWidth, hi);
    lower.add(x - kCrossingHalfWidth, lo);
    lower.add(x, mid);
    lower.add(x + kCrossingHalfWidth, lo);
}

void renderDecodedRow(const PaneGeometry& pane, const WaveRow& r, const RenderStyle& style, const Band& band,
                      PrimitiveList& out) {
    const int32_t margin = style.margin();
    const int32_t hi = levelY(r, margin, true), lo = levelY(r, margin, false);
    PrimitiveList upperList, lowerList;
    PolylineBuilder upper(upperList, r.colorIndex, kOutlinePointBatch);
    PolylineBuilder lower(lowerList, r.colorIndex, kOutlinePointBatch);
    const int32_t xStart = static_cast<int32_t>(sampleX(pane, band.start));
    upper.add(xStart, hi);
    lower.add(xStart, lo);
    const DecodedItems* d = r.decoded;
    const size_t n = d ? d->size() : 0;
    const Protocol protocol = waveRowProtocol(r);
    // Segment k runs from position k-1 to position k (k = 0: from the band's start); it shows the
    // item starting at k-1 (UART, SPI) or the item ending at k (I2C, I2S).
    auto label = [&](size_t segment, int32_t fromX, int32_t toX) {
        const bool starts = itemsStartAtPositions(protocol);
        if (starts ? (segment == 0 || segment >= n) : segment >= n) return;
        const size_t item = starts ? segment - 1 : segment;
        std::string text;
        int32_t color = r.colorIndex;
        if (!decodedItemText(protocol, static_cast<uint32_t>(d->values[item]), r, style, text, color)) return;
        const int32_t span = toX - fromX;
        if (span < 2 * kCrossingHalfWidth || !style.measure) return;
        const TextSize size = style.measure(text);
        if (size.width + 2 * kCrossingHalfWidth > span) return;
        addText(r, fromX + (span - size.width) / 2, text, size, upperList);
        upperList.texts.back().colorIndex = color;
    };
    if (n) {
        // The segment in progress at the band's start.
        size_t next = static_cast<size_t>(
            std::upper_bound(d->positions.begin(), d->positions.begin() + n, band.start) - d->positions.begin());
        int32_t segmentX = std::max(xStart, 0);
        bool crossed = false;
        int32_t crossX = 0;
        for (; next < n && d->positions[next] <= band.end; ++next) {
            const int32_t x = static_cast<int32_t>(sampleX(pane, d->positions[next]));
            if (next > 0 || !itemsStartAtPositions(protocol)) label(next, segmentX, x);
            if (!crossed || x != crossX) busCrossing(upper, lower, r, margin, x);
            crossed = true;
            crossX = x;
            segmentX = x;
        }
        label(next, segmentX, band.lineEnd);
    }
    upper.add(band.lineEnd, hi);
    lower.add(band.lineEnd, lo);
    upper.finish();
    lower.finish();
    out.append(upperList);
    out.append(lowerList);
}

// --- frames ---------------------------------------------------------------------------------------

PaneGeometry normalisedPane(const PaneGeometry& p) {
    PaneGeometry g = p;
    g.zoomIn = std::max(0, std::min<int32_t>(g.zoomIn, kMaxZoomIn));
    g.zoomOut = std::max(0, std::min<int32_t>(g.zoomOut, kMaxZoomOut));
    g.firstSample = std::max(0, g.firstSample);
    g.width = std::max(0, g.width);
    g.height = std::max(0, g.height);
    return g;
}

Band bandOf(const PaneGeometry& pane, int64_t sampleCount, const DrawRequest& request, size_t rowTotal) {
    Band b;
    const int64_t span = samplesInWidth(pane, pane.width);
    int64_t from = request.fromOffset;
    int64_t to = request.toOffset == -1 ? span : request.toOffset;
    if (from >= to) {
        from = 0;
        to = span;
    }
    from = std::max<int64_t>(from, 0);
    to = std::min(to, span);
    if (from > to) from = to;
    if (pane.ratio()) {
        b.left = clampInt(sampleX(pane, pane.firstSample + from), 0, pane.width);
        b.right = from == 0 && to == span ? pane.width : clampInt(sampleX(pane, pane.firstSample + to + 1), 0, pane.width);
    } else {
        const int64_t unit = int64_t{1} << pane.zoomIn;
        b.left = clampInt((from >> pane.zoomOut) * unit, 0, pane.width);
        b.right = from == 0 && to == span ? pane.width : clampInt((to >> pane.zoomOut) * unit + unit, 0, pane.width);
    }

    const int64_t rowCount = request.rowCount == 0 ? kAllRows : request.rowCount;
    b.rowFirst = clampInt(request.firstRowToDraw, 0, static_cast<int64_t>(rowTotal));
    b.rowLast = clampInt(b.rowFirst + rowCount - 1, -1, static_cast<int64_t>(rowTotal) - 1);

    const int64_t first = pane.firstSample;
    b.start = std::max<int64_t>(0, first + from - 1);
    b.end = std::min(first + to, sampleCount - 1);
    b.empty = sampleCount <= 0 || b.start >= sampleCount || pane.width <= 0;
    if (b.empty) b.end = b.start;
    // The capture may end before the band: the last level then ends with the last sample.
    b.lineEnd = first + to >= sampleCount ? clampInt(sampleX(pane, sampleCount), b.left, b.right) : b.right;
    b.lineEnd = std::max<int32_t>(b.lineEnd, static_cast<int32_t>(std::min<int64_t>(sampleX(pane, b.end), b.right)));
    return b;
}

void beginFrame(const PaneGeometry& pane, const std::vector<WaveRow>& rows, const RenderStyle& style,
                const Band& band, WaveFrame& frame) {
    frame.clear();
    const bool allRows = band.rowFirst == 0 && band.rowLast == static_cast<int32_t>(rows.size()) - 1;
    frame.clip.left = band.left;
    frame.clip.right = band.right;
    if (allRows) {
        frame.clip.top = 0;
        frame.clip.bottom = pane.height;
    } else if (band.rowLast >= band.rowFirst) {
        frame.clip.top = rows[band.rowFirst].top;
        frame.clip.bottom = std::min(pane.height, rows[band.rowLast].top + rows[band.rowLast].height);
    }
    frame.fills.push_back(AreaFill{frame.clip, FillKind::Background});
    if (!style.partition) return;
    for (int32_t k = band.rowFirst; k <= band.rowLast; ++k) {
        const WaveRow& r = rows[k];
        if (r.disabled || (r.rowIndex & 1) == 0) continue;
        frame.fills.push_back(
            AreaFill{Rect{band.left, r.top, band.right, std::min(pane.height, r.top + r.height)}, FillKind::Shade});
    }
}

void endFrame(const PaneGeometry& pane, const Band& band, WaveFrame& frame) {
    GridLines& g = frame.grid;
    g.draw = true;
    g.style = pane.gridStyle;
    g.colorIndex = pane.gridColorIndex;
    g.top = kGridInset;
    g.bottom = pane.height - kGridInset;
    const int32_t spacing = pane.gridSpacing < 1 ? kDefaultGridSpacing : pane.gridSpacing;
    // XOR lines: only those inside the band, or a second pass would erase the ones outside it.
    for (int32_t x = (band.left + spacing - 1) / spacing * spacing; x < band.right && x < pane.width; x += spacing)
        g.xs.push_back(x);
}

// --- the fast renderer ------------------------------------------------------------------------------

namespace {

int ctz64(uint64_t v) { return __builtin_ctzll(v); }

// Partial change masks join in any order: a channel changed twice if it did so in one part, or
// changed in two parts.
struct ChangeMasks {
    uint64_t once = 0, twice = 0;
    void join(uint64_t o, uint64_t t) {
        twice |= t | (once & o);
        once |= o;
    }
};

// Which channels change in the words word(0) .. word(n - 1) after `before` (once) and which change
// more than once (twice). Four interleaved accumulators keep the dependency chains short.
template <class Word>
void columnChanges(Word word, int32_t n, uint64_t before, uint64_t& once, uint64_t& twice) {
    uint64_t o0 = 0, o1 = 0, o2 = 0, o3 = 0, t0 = 0, t1 = 0, t2 = 0, t3 = 0;
    uint64_t prev = before;
    int32_t j = 0;
    for (; j + 4 <= n; j += 4) {
        const uint64_t w0 = word(j), w1 = word(j + 1), w2 = word(j + 2), w3 = word(j + 3);
        const uint64_t d0 = w0 ^ prev, d1 = w1 ^ w0, d2 = w2 ^ w1, d3 = w3 ^ w2;
        t0 |= o0 & d0;
        o0 |= d0;
        t1 |= o1 & d1;
        o1 |= d1;
        t2 |= o2 & d2;
        o2 |= d2;
        t3 |= o3 & d3;
        o3 |= d3;
        prev = w3;
    }
    for (; j < n; ++j) {
        const uint64_t w = word(j);
        const uint64_t d = w ^ prev;
        t0 |= o0 & d;
        o0 |= d;
        prev = w;
    }
    ChangeMasks m;
    m.join(o0, t0);
    m.join(o1, t1);
    m.join(o2, t2);
    m.join(o3, t3);
    once = m.once;
    twice = m.twice;
}

// columnChanges for samples stored as consecutive little-endian 64-bit words from `at`. With
// SSE2 (the Windows build requires it) two neighbouring words are compared per instruction, which
// matters most in the 32-bit build, where a 64-bit mask otherwise takes two registers.
void columnChangesInPlace(const uint8_t* at, int32_t n, uint64_t before, uint64_t& once, uint64_t& twice) {
    const auto word = [at](int32_t j) { return loadLe64(at + 8 * static_cast<size_t>(j)); };
#if defined(__SSE2__)
    if (n >= 9) {
        ChangeMasks m;
        m.join(word(0) ^ before, 0);
        __m128i oA = _mm_setzero_si128(), tA = oA, oB = oA, tB = oA;
        int32_t j = 1;
        for (; j + 4 <= n; j += 4) {
            const uint8_t* p = at + 8 * static_cast<size_t>(j);
            // Lanes (j, j + 1) and (j + 2, j + 3), each against the word before it.
            const __m128i d0 = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
                                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(p - 8)));
            const __m128i d1 = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)),
                                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8)));
            tA = _mm_or_si128(tA, _mm_and_si128(oA, d0));
            oA = _mm_or_si128(oA, d0);
            tB = _mm_or_si128(tB, _mm_and_si128(oB, d1));
            oB = _mm_or_si128(oB, d1);
        }
        uint64_t o[4], t[4];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), oA);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 2), oB);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(t), tA);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(t + 2), tB);
        for (int k = 0; k < 4; ++k) m.join(o[k], t[k]);
        for (; j < n; ++j) m.join(word(j) ^ word(j - 1), 0);
        once = m.once;
        twice = m.twice;
        return;
    }
#endif
    columnChanges(word, n, before, once, twice);
}

}  // namespace

void WaveRenderer::render(SampleStore& store, const PaneGeometry& paneIn, const std::vector<WaveRow>& rows,
                          const RenderStyle& styleIn, const DrawRequest& request, WaveFrame& frame) {
    if (paneIn.ratio()) {
        renderWavesReference(store, paneIn, rows, styleIn, request, frame);
        return;
    }
    // Pulse widths and bus values repeat along a trace: each text is formatted and measured once
    // per redraw (measuring asks the screen's font, the dearest step of a text).
    RenderStyle style = styleIn;
    sizes_.clear();
    pulseTexts_.clear();
    if (styleIn.measure) {
        style.measure = [this, &styleIn](const std::string& text) {
            const auto known = sizes_.find(text);
            if (known != sizes_.end()) return known->second;
            const TextSize size = styleIn.measure(text);
            sizes_.emplace(text, size);
            return size;
        };
    }
    if (styleIn.pulseText) {
        style.pulseText = [this, &styleIn](int64_t samples) {
            const auto known = pulseTexts_.find(samples);
            if (known != pulseTexts_.end()) return known->second;
            return pulseTexts_.emplace(samples, styleIn.pulseText(samples)).first->second;
        };
    }
    const PaneGeometry pane = normalisedPane(paneIn);
    const Band band = bandOf(pane, store.logicalCount(), request, rows.size());
    beginFrame(pane, rows, style, band, frame);
    if (band.empty) {
        endFrame(pane, band, frame);
        return;
    }
    const int32_t margin = style.margin();
    const bool pulses = style.pulseTiming && style.pulseText && style.measure;
    const uint64_t w0 = store.sample(static_cast<int32_t>(band.start));
    const int32_t xStart = static_cast<int32_t>(sampleX(pane, band.start));

    // One primitive list per drawn row (two for a bus: its outlines), in row order.
    states_.clear();
    size_t listCount = 0;
    for (int32_t k = band.rowFirst; k <= band.rowLast; ++k) {
        const WaveRow& r = rows[k];
        if (r.disabled || r.kind == RowKind::Scope) continue;
        RowState s;
        s.row = &r;
        s.list = listCount;
        listCount += r.kind == RowKind::Bus ? 2 : 1;
        states_.push_back(s);
    }
    if (lists_.size() < listCount) lists_.resize(listCount);
    for (size_t k = 0; k < listCount; ++k) lists_[k].clear();

    std::vector<TraceBuilder> traces;
    std::vector<PolylineBuilder> outlines;
    traces.reserve(states_.size());
    outlines.reserve(2 * states_.size());
    uint64_t digitalMask = 0, anyMask = 0;
    for (RowState& s : states_) {
        const WaveRow& r = *s.row;
        s.mask = channelMask(r);
        switch (r.kind) {
            case RowKind::Digital:
                s.channel = r.channels.empty() ? 0 : r.channels[0] & 63;
                s.inverted = (r.invertBits & 1u) != 0;
                s.value = (((w0 >> s.channel) & 1u) != 0) != s.inverted ? 1u : 0u;
                s.trace = traces.size();
                traces.emplace_back(lists_[s.list], r.colorIndex, xStart, levelY(r, margin, s.value != 0));
                digitalMask |= s.mask;
                anyMask |= s.mask;
                break;
            case RowKind::Analog:
                s.value = groupValue(r, w0);
                s.trace = traces.size();
                traces.emplace_back(lists_[s.list], r.colorIndex, xStart, staircaseY(r, margin, s.value));
                anyMask |= s.mask;
                break;
            case RowKind::Bus:
                s.value = groupValue(r, w0);
                s.segmentX = std::max(xStart, 0);
                s.trace = outlines.size();
                outlines.emplace_back(lists_[s.list], r.colorIndex, kOutlinePointBatch);
                outlines.emplace_back(lists_[s.list + 1], r.colorIndex, kOutlinePointBatch);
                outlines[s.trace].add(xStart, levelY(r, margin, true));
                outlines[s.trace + 1].add(xStart, levelY(r, margin, false));
                anyMask |= s.mask;
                break;
            case RowKind::Decoded: renderDecodedRow(pane, r, style, band, lists_[s.list]); break;
            case RowKind::Scope: break;
        }
    }
    const uint64_t timingMask = pulses ? digitalMask : 0;

    // Walk the band a pixel column at a time. Each sample word is read once for the changes of all
    // rows; per column only which channels changed, which changed more than once, where they
    // first and last changed (pulse widths) and the column's words are looked at: that is all the
    // drawing rules can show at one x.
    const int64_t first = pane.firstSample;
    const int32_t zoomOut = pane.zoomOut;
    const int64_t pixelsPerColumn = int64_t{1} << pane.zoomIn;
    int64_t firstChange[64] = {};   // per channel, within the current column
    int64_t lastChange[64] = {};
    uint64_t prev = w0;
    int64_t i = band.start + 1;

    // One column of n samples from i, read through word(j), j < n; changes(before, once, twice)
    // gives the column's change masks.
    const auto column = [&](const auto& word, const auto& changes, int32_t n) {
        const int32_t x = static_cast<int32_t>(((i - first) >> zoomOut) * pixelsPerColumn);
        const uint64_t before = prev;
        const auto change = [&](int32_t j) { return word(j) ^ (j ? word(j - 1) : before); };
        uint64_t once = 0, twice = 0;
        changes(before, once, twice);
        prev = word(n - 1);
        // Where the timed channels first changed. A channel that changed once holds its old level
        // up to the change and the new one after it: a binary search finds the change. The others
        // share one forward pass, which stops when every one of them has been seen.
        for (uint64_t single = once & ~twice & timingMask; single; single &= single - 1) {
            const int c = ctz64(single);
            const uint64_t bit = uint64_t{1} << c;
            int32_t lo = 0, hi = n - 1;   // the change is at hi; before lo there is none
            while (lo < hi) {
                const int32_t mid = lo + (hi - lo) / 2;
                if ((word(mid) ^ before) & bit) hi = mid;
                else lo = mid + 1;
            }
            firstChange[c] = i + lo;
        }
        if (const uint64_t need = twice & timingMask) {
            uint64_t found = 0;
            for (int32_t j = 0; found != need; ++j) {
                for (uint64_t hit = change(j) & need & ~found; hit; hit &= hit - 1) {
                    firstChange[ctz64(hit)] = i + j;
                    found |= hit & (~hit + 1);
                }
            }
            // And where they changed last: one backward pass.
            found = 0;
            for (int32_t j = n - 1; found != need; --j) {
                for (uint64_t hit = change(j) & need & ~found; hit; hit &= hit - 1) {
                    lastChange[ctz64(hit)] = i + j;
                    found |= hit & (~hit + 1);
                }
            }
        }
        if (!(once & anyMask)) return;
        for (RowState& s : states_) {
            if (!(once & s.mask)) continue;
            const WaveRow& r = *s.row;
            switch (r.kind) {
                case RowKind::Digital: {
                    if (pulses) {
                        const int64_t f = firstChange[s.channel];
                        if (s.lastTransition >= 0)
                            pulseLabel(r, style, s.lastTransition, s.lastTransitionX, f, x, lists_[s.list]);
                        s.lastTransition = ((twice >> s.channel) & 1u) ? lastChange[s.channel] : f;
                        s.lastTransitionX = x;
                    }
                    // The first change goes to the other level; an even number of changes
                    // returns to this one, which is the second stroke.
                    const uint32_t exit = (((prev >> s.channel) & 1u) != 0) != s.inverted ? 1u : 0u;
                    TraceBuilder& t = traces[s.trace];
                    t.change(x, levelY(r, margin, s.value == 0));
                    if (exit == s.value) t.change(x, levelY(r, margin, exit != 0));
                    s.value = exit;
                    break;
                }
                case RowKind::Analog: {
                    // The first new value is the first stroke; the column's last one ends the second.
                    int32_t j = 0;
                    while (j < n && !(change(j) & s.mask)) ++j;
                    TraceBuilder& t = traces[s.trace];
                    const uint32_t firstValue = groupValue(r, word(j));
                    t.change(x, staircaseY(r, margin, firstValue));
                    s.value = groupValue(r, prev);
                    if (s.value != firstValue) t.change(x, staircaseY(r, margin, s.value));
                    break;
                }
                case RowKind::Bus: {
                    const int32_t widthBits = static_cast<int32_t>(std::min<size_t>(r.channels.size(), 32));
                    segmentLabel(r, style, s.value, widthBits, s.segmentX, x, lists_[s.list]);
                    if (!s.crossed || x != s.crossX) busCrossing(outlines[s.trace], outlines[s.trace + 1], r, margin, x);
                    s.crossed = true;
                    s.crossX = x;
                    s.segmentX = x;
                    s.value = groupValue(r, prev);
                    break;
                }
                default: break;
            }
        }
    };

    // Where the stored words are the samples (one 64-bit sample per word, nothing inverted) they
    // are read in place; every other format is fetched a column at a time into scratch space.
    const bool inPlace = store.storageMode() != kStorageBlockRepeat && store.samplesPerWord() == 1 &&
                         store.bytesPerWord() == 8 && store.valueMask() == ~uint64_t{0} && store.invertMask() == 0;
    if (!inPlace) column_.resize(size_t{1} << zoomOut);
    while (i <= band.end) {
        const int64_t col = (i - first) >> zoomOut;
        const int64_t colEnd = std::min(band.end, first + ((col + 1) << zoomOut) - 1);
        const int32_t n = static_cast<int32_t>(colEnd - i + 1);
        if (inPlace) {
            const uint8_t* at = store.data() + ((static_cast<size_t>(store.startOffset()) + static_cast<size_t>(i)) << 3);
            column([at](int32_t j) { return loadLe64(at + 8 * static_cast<size_t>(j)); },
                   [at, n](uint64_t before, uint64_t& once, uint64_t& twice) {
                       columnChangesInPlace(at, n, before, once, twice);
                   },
                   n);
        } else {
            uint64_t* words = column_.data();
            if (store.storageMode() == kStorageBlockRepeat) {
                for (int32_t j = 0; j < n; ++j) words[j] = store.fetchBlock(static_cast<int32_t>(i + j));
            } else {
                store.fetchRun(static_cast<int32_t>(i), n, words);
            }
            const auto word = [words](int32_t j) { return words[j]; };
            column(word,
                   [&word, n](uint64_t before, uint64_t& once, uint64_t& twice) {
                       columnChanges(word, n, before, once, twice);
                   },
                   n);
        }
        i = colEnd + 1;
    }

    for (RowState& s : states_) {
        const WaveRow& r = *s.row;
        switch (r.kind) {
            case RowKind::Digital:
            case RowKind::Analog: traces[s.trace].finish(band.lineEnd); break;
            case RowKind::Bus: {
                const int32_t widthBits = static_cast<int32_t>(std::min<size_t>(r.channels.size(), 32));
                segmentLabel(r, style, s.value, widthBits, s.segmentX, band.lineEnd, lists_[s.list]);
                outlines[s.trace].add(band.lineEnd, levelY(r, margin, true));
                outlines[s.trace + 1].add(band.lineEnd, levelY(r, margin, false));
                outlines[s.trace].finish();
                outlines[s.trace + 1].finish();
                break;
            }
            default: break;
        }
    }
    for (size_t k = 0; k < listCount; ++k) frame.prims.append(lists_[k]);
    endFrame(pane, band, frame);
}

void WaveRenderer::renderCompare(SampleStore& compare, const PaneGeometry& pane, const std::vector<WaveRow>& rows,
                                 const RenderStyle& style, const DrawRequest& request, int32_t colorIndex,
                                 WaveFrame& frame) {
    // Block-repeat samples carry channels in bits 0-35 only; the bits above are the repeat field.
    const int32_t channels = compare.storageMode() == kStorageBlockRepeat ? 36 : compare.sampleBits();
    std::vector<WaveRow> traces = rows;
    for (WaveRow& r : traces) {
        // Rows that are not drawn keep their places, so the request's row range still applies.
        if (r.kind != RowKind::Digital || r.channels.empty() || r.channels[0] >= channels) r.disabled = true;
        r.colorIndex = colorIndex;
    }
    RenderStyle plain = style;
    plain.pulseTiming = false;
    WaveFrame compared;
    render(compare, pane, traces, plain, request, compared);
    compared.prims.append(frame.prims);
    frame.prims = std::move(compared.prims);
}

// --- columns, values, panes -------------------------------------------------------------------------

int32_t columnBorderAt(const ColumnWidths& w, int32_t x, int32_t grip) {
    const int32_t borders[3] = {w.name, w.name + w.channel, w.total()};
    for (int32_t b = 0; b < 3; ++b)
        if (x >= borders[b] - grip && x <= borders[b] + grip) return b;
    return -1;
}

void dropColumnBorder(ColumnWidths& w, int32_t border, int32_t x) {
    int32_t* widths[3] = {&w.name, &w.channel, &w.value};
    if (border < 0 || border > 2) return;
    int32_t left = 0;
    for (int32_t k = 0; k < border; ++k) left += *widths[k];
    *widths[border] = std::max<int32_t>(kMinColumnWidth, x - left + kColumnGrip);
}

std::string rowValueText(SampleStore& store, const WaveRow& r, const RenderStyle& style, int64_t sample) {
    if (r.disabled || sample < 0 || sample >= store.logicalCount()) return std::string();
    const int32_t members = static_cast<int32_t>(std::min<size_t>(r.channels.size(), kMaxGroupChannels));
    switch (r.kind) {
        case RowKind::Digital: {
            const uint64_t w = store.sample(static_cast<int32_t>(sample));
            return ((((w >> (r.channels[0] & 63)) & 1u) != 0) != ((r.invertBits & 1u) != 0)) ? "1" : "0";
        }
        case RowKind::Bus:
        case RowKind::Analog:
            if (!style.suffixedValueText) return std::string();
            return style.suffixedValueText(groupValue(r, store.sample(static_cast<int32_t>(sample))), r.format, members,
                                           r.flags);
        case RowKind::Decoded: return decodedValueText(r, style, sample, true);
        case RowKind::Scope: break;
    }
    return std::string();
}

PrimitiveList columnTexts(SampleStore& store, const std::vector<WaveRow>& rows, const RenderStyle& style,
                          const ColumnWidths& widths, int64_t sample) {
    PrimitiveList out;
    for (const WaveRow& r : rows) {
        const std::string channels = r.kind == RowKind::Scope ? std::string() : channelListText(r.channels);
        if (!channels.empty() && style.measure) addText(r, widths.name + 2, channels, style.measure(channels), out);
        const std::string value = rowValueText(store, r, style, sample);
        if (!value.empty() && style.measure)
            addText(r, widths.name + widths.channel + 2, value, style.measure(value), out);
    }
    return out;
}

std::vector<PanePass> panePasses(int32_t mainFirstSample, bool split, int32_t secondFirstSample, bool stateMode) {
    std::vector<PanePass> passes;
    if (split) passes.push_back(PanePass{1, secondFirstSample, stateMode});
    passes.push_back(PanePass{0, mainFirstSample, stateMode});
    return passes;
}

// --- state listing ----------------------------------------------------------------------------------

std::string stateValueText(SampleStore& store, const WaveRow& r, const RenderStyle& style, int64_t state) {
    const int32_t members = static_cast<int32_t>(std::min<size_t>(r.channels.size(), kMaxGroupChannels));
    switch (r.kind) {
        case RowKind::Digital:
        case RowKind::Bus:
        case RowKind::Analog:
            if (r.kind != RowKind::Digital && style.valueText)
                return style.valueText(groupValue(r, store.sample(static_cast<int32_t>(state))), r.format, members,
                                       r.flags);
            return rowValueText(store, r, style, state);
        case RowKind::Decoded: return decodedValueText(r, style, state, true);
        case RowKind::Scope: break;
    }
    return std::string();
}

void renderStateList(SampleStore& store, const PaneGeometry& paneIn, const std::vector<WaveRow>& rows,
                     const LabelTable& table, const RenderStyle& style, WaveFrame& frame) {
    const PaneGeometry pane = normalisedPane(paneIn);
    frame.clear();
    frame.clip = Rect{0, 0, pane.width, pane.height};
    frame.fills.push_back(AreaFill{frame.clip, FillKind::Background});
    if (!style.measure) return;
    const int64_t count = store.logicalCount();

    // Columns: the state number, then one per row wide enough for its name and its widest value.
    char number[16];
    std::snprintf(number, sizeof number, "%d", static_cast<int>(std::max<int64_t>(count - 1, 0)));
    std::vector<int32_t> xs;
    int32_t x = 4 + style.measure(number).width + 12;
    std::vector<const WaveRow*> shown;
    for (const WaveRow& r : rows) {
        if (r.disabled || r.kind == RowKind::Scope) continue;
        shown.push_back(&r);
        xs.push_back(x);
        const int32_t members = static_cast<int32_t>(std::min<size_t>(r.channels.size(), kMaxGroupChannels));
        const uint32_t widest = members >= 32 ? 0xFFFFFFFFu : (1u << members) - 1;
        std::string sample = r.kind == RowKind::Digital ? "1" : style.valueText ? style.valueText(widest, r.format, members, r.flags) : "";
        const int32_t w = std::max(style.measure(table.entries[r.firstEntry].name).width, style.measure(sample).width);
        x += w + 12;
    }
    const int32_t commandX = x;
    auto cell = [&](int32_t top, int32_t left, const std::string& text, int32_t color) {
        const TextSize size = style.measure(text);
        TextBox t;
        t.box = Rect{left, top + (kStateRowHeight - size.height) / 2, left + size.width,
                     top + (kStateRowHeight - size.height) / 2 + size.height};
        t.colorIndex = color;
        t.text = text;
        frame.prims.texts.push_back(std::move(t));
    };
    for (size_t k = 0; k < shown.size(); ++k)
        cell(0, xs[k], table.entries[shown[k]->firstEntry].name, shown[k]->colorIndex);
    int32_t top = kStateRowHeight;
    for (int64_t state = pane.firstSample; state < count && top < pane.height; ++state, top += kStateRowHeight) {
        if (state % (2 * kStateBlock) < kStateBlock)
            frame.fills.push_back(AreaFill{Rect{0, top, pane.width, top + kStateRowHeight}, FillKind::Highlight});
        std::snprintf(number, sizeof number, "%d", static_cast<int>(state));
        cell(top, 4, number, pane.gridColorIndex);
        for (size_t k = 0; k < shown.size(); ++k)
            cell(top, xs[k], stateValueText(store, *shown[k], style, state), shown[k]->colorIndex);
        if (style.stateCommand) {
            const std::string command = style.stateCommand(state);
            if (!command.empty()) cell(top, commandX, command, pane.gridColorIndex);
        }
    }
}

}  // namespace kv
