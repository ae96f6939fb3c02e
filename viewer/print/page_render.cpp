#include "viewer/print/page_render.h"

#include <algorithm>
#include <cstdio>

#include "viewer/display/search.h"

namespace kv {

const char* const kHorzSizeTexts[kHorzSizeCount] = {"32",  "16",  " 8",  " 4",   " 2",   " 1",
                                                    "1/2", "1/4", "1/8", "1/16", "1/32", "1/64"};
const char* const kGridSizeTexts[kGridSizeCount] = {
    "No Grid", "  50 ns", " 100 ns", " 500 ns", "   1 us", "   5 us", "  10 us", "  50 us", " 100 us", " 500 us", "   1 ms",
    "   5 ms", "  10 ms", "  50 ms", " 100 ms", " 500 ms", "   1 s",  "   5 s",  "  10 s",  "  50 s",  " 100 s"};

namespace {

// The grid spacing of each list entry in picoseconds (entry 0: no grid).
const double kGridPicoseconds[kGridSizeCount] = {0,     5e4,   1e5,   5e5,   1e6,   5e6,   1e7,
                                                 5e7,   1e8,   5e8,   1e9,   5e9,   1e10,  5e10,
                                                 1e11,  5e11,  1e12,  5e12,  1e13,  5e13,  1e14};

constexpr int32_t kScreenDpi = 96;
constexpr int32_t kFlagHeight = 14;    // screen pixels: the flags stand in a band this high over the waves
constexpr int32_t kFlagHalfWidth = 6;
constexpr int32_t kTextInset = 2;
constexpr int32_t kMinRowHeight = 4;
constexpr int64_t kMaxGridLines = 20000;
const char kCursorLetters[] = "TABCDE";

int32_t clampIndex(int32_t v, int32_t count, int32_t fallback) { return v >= 0 && v < count ? v : fallback; }

int32_t scaled(int64_t v, int64_t num, int64_t den) { return static_cast<int32_t>(v * num / den); }

std::string trimmed(const char* s) {
    while (*s == ' ') ++s;
    return s;
}

}  // namespace

std::string vertSizeText(int index) {
    char text[16];
    std::snprintf(text, sizeof text, "%3d %%", vertSizePercent(index));
    return text;
}

int32_t vertSizePercent(int index) { return 30 + 10 * clampIndex(index, kVertSizeCount, 7); }

PrintChoice printChoiceFrom(const Settings& s) {
    PrintChoice c;
    const int32_t fit = s.printOption - kIdFitPaper;
    c.fit = fit >= kFitPaper && fit <= kFitCustom ? fit : kFitPaper;
    c.allLabels = s.printVertRange != kIdLabelsParts;
    c.horzSize = clampIndex(s.printHorzSize, kHorzSizeCount, kHorzSizeOne);
    c.vertSize = clampIndex(s.printVertSize, kVertSizeCount, 7);
    c.gridSize = clampIndex(s.printGridSize, kGridSizeCount, 0);
    c.color = s.printColor != 0;
    return c;
}

void storePrintChoice(const PrintChoice& c, Settings& s) {
    s.printOption = kIdFitPaper + c.fit;
    s.printVertRange = c.allLabels ? kIdLabelsAll : kIdLabelsParts;
    s.printHorzSize = c.horzSize;
    s.printVertSize = c.vertSize;
    s.printGridSize = c.gridSize;
    s.printColor = c.color ? 1 : 0;
}

int checkClipboardSize(int64_t width, int64_t height) {
    if (width < kClipMinWidth || width > kClipMaxWidth) return kStrClipWidth;
    if (height < kClipMinHeight || height > kClipMaxHeight) return kStrClipHeight;
    return 0;
}

std::string printHeaderText(const std::string& device, const std::string& version, const std::string& date,
                            const std::string& time, const std::string& clock1, const std::string& clock2,
                            const std::string& clock3) {
    return (device.empty() ? std::string("Demo Mode ") : device) + " - KV Viewer " + version + "  Date:" + date +
           "  Time:" + time + "   Sample Clock: " + clock1 + ", " + clock2 + ", " + clock3;
}

std::string bitmapPageName(const std::string& prefix, int page) {
    char number[16];
    std::snprintf(number, sizeof number, "%04d.BMP", page);
    return prefix + number;
}

void printRange(const PrintChoice& c, const int32_t cursors[6], int64_t sampleCount, int64_t& first, int64_t& last) {
    SearchSetting s;
    s.startPosition = c.startPosition;
    s.endPosition = c.endPosition;
    searchInterval(s, cursors, sampleCount, first, last);
    const int64_t lastSample = std::max<int64_t>(sampleCount - 1, 0);
    first = std::min(std::max<int64_t>(first, 0), lastSample);
    last = std::min(std::max<int64_t>(last, 0), lastSample);
}

void horizontalRatio(const PrintChoice& c, int64_t span, int32_t width, int32_t dpiX, int64_t& num, int64_t& den) {
    if (c.fit == kFitPaper || c.fit == kFitVertSize) {
        num = std::max(width - 1, 1);
        den = std::max<int64_t>(span, 1);
        return;
    }
    const int32_t h = clampIndex(c.horzSize, kHorzSizeCount, kHorzSizeOne);
    num = (h <= kHorzSizeOne ? int64_t{1} << (kHorzSizeOne - h) : 1) * std::max(dpiX, 1);
    den = (h <= kHorzSizeOne ? 1 : int64_t{1} << (h - kHorzSizeOne)) * kScreenDpi;
}

namespace {

// What every page of one output shares.
struct PagePlan {
    int64_t first = 0, last = 0;          // the range
    int64_t num = 1, den = 1;             // horizontal ratio
    int64_t perPage = 1;                  // samples per page across
    Rect waves;                           // on every page
    int32_t headerLine = 0;               // height of one header line
    int32_t flagBand = 0;
    int32_t unitX = 1, unitY = 1;         // target units per screen pixel (at least 1)
    RenderStyle style;                    // scaled
    std::vector<WaveRow> rows;            // scaled, tops from 0 on the first row
    std::vector<std::pair<size_t, size_t>> rowPages;   // [from, to) of rows per page down
    int64_t acrossPages = 1;
};

PagePlan planPages(const PrintSource& src, const PrintChoice& choice, const PageTarget& t) {
    PagePlan p;
    const int64_t count = src.store ? src.store->logicalCount() : 0;
    printRange(choice, src.cursorPositions, count, p.first, p.last);
    p.unitX = std::max(1, t.dpiX / kScreenDpi);
    p.unitY = std::max(1, t.dpiY / kScreenDpi);
    const int32_t header = t.measureHeader ? std::max(1, t.measureHeader("Ag").height) : 12 * p.unitY;
    p.headerLine = header;
    p.flagBand = kFlagHeight * t.dpiY / kScreenDpi;
    const int32_t labelsWidth = choice.omitLabels ? 0
                                                  : static_cast<int32_t>(int64_t{src.nameWidth + src.channelWidth + src.valueWidth} *
                                                                         t.dpiX / kScreenDpi);
    p.waves.left = std::min(labelsWidth, t.width / 2);
    p.waves.top = 2 * header + header / 2 + p.flagBand;
    p.waves.right = std::max(p.waves.left + 1, t.width);
    p.waves.bottom = std::max(p.waves.top + 1, t.height);
    const int32_t wavesWidth = p.waves.right - p.waves.left, wavesHeight = p.waves.bottom - p.waves.top;

    horizontalRatio(choice, p.last - p.first, wavesWidth, t.dpiX, p.num, p.den);
    // Sample i is on the page while its x is left of the right edge: x = (i - first) * num / den <= width - 1.
    p.perPage = (int64_t{wavesWidth - 1} * p.den) / p.num + 1;
    p.acrossPages = (p.last - p.first) / p.perPage + 1;

    // Rows at the screen's size, the selected ones only for "Parts of labels", then scaled.
    const int32_t waveHeight = src.style.waveHeight > 0 ? src.style.waveHeight : 24;
    std::vector<WaveRow> all;
    if (src.table)
        all = layoutRows(*src.table, 0, INT32_MAX, waveHeight, src.deviceChannels, src.decodedFor);
    int64_t total = 0;
    for (WaveRow& r : all) {
        const LabelEntry& tail = src.table->entries[r.lastEntry];
        if (!choice.allLabels && !(tail.flags & kLabelSelected)) continue;
        total += r.height;
        p.rows.push_back(std::move(r));
    }
    int64_t vNum = int64_t{vertSizePercent(choice.vertSize)} * t.dpiY, vDen = int64_t{100} * kScreenDpi;
    if ((choice.fit == kFitPaper || choice.fit == kFitHorzSize) && total > 0) {
        vNum = wavesHeight;
        vDen = total;
    }
    p.style = src.style;
    p.style.waveHeight = std::max(kMinRowHeight, scaled(waveHeight, vNum, vDen));
    p.style.measure = t.measureRow;
    int32_t top = 0;
    for (WaveRow& r : p.rows) {
        const int32_t h = std::max(kMinRowHeight, scaled(r.height, vNum, vDen));
        r.top = top;
        r.height = h;
        top += h;
    }
    // Rows down the pages: as many whole rows as fit; a row taller than the area gets a page.
    size_t from = 0;
    while (from < p.rows.size()) {
        size_t to = from + 1;
        while (to < p.rows.size() && p.rows[to].top + p.rows[to].height - p.rows[from].top <= wavesHeight) ++to;
        p.rowPages.emplace_back(from, to);
        from = to;
    }
    if (p.rowPages.empty()) p.rowPages.emplace_back(0, 0);
    return p;
}

void addText(Page& page, int32_t x, int32_t y, const std::string& text, int32_t color, PageFont font) {
    PageText t;
    t.x = x;
    t.y = y;
    t.text = text;
    t.colorIndex = color;
    t.font = font;
    page.texts.push_back(std::move(t));
}

// Header line, grid caption and page number.
void pageHeading(const PrintSource& src, const PrintChoice& choice, const PageTarget& t, const PagePlan& p,
                 Page& page, const std::string& pageText) {
    addText(page, 0, 0, src.header, 0, PageFont::Header);
    if (choice.gridSize > 0 && choice.gridSize < kGridSizeCount)
        addText(page, 0, p.headerLine, "Grid Size = " + trimmed(kGridSizeTexts[choice.gridSize]), 0, PageFont::Header);
    const int32_t w = t.measureHeader ? t.measureHeader(pageText).width : 0;
    addText(page, std::max(0, t.width - w), p.headerLine, pageText, 0, PageFont::Header);
}

// The page number in the language's text ("Page %d"); the text is not used as a format, so a
// stray conversion in it cannot read what is not there.
std::string pageNumberText(const std::string& format, int number) {
    const std::string n = std::to_string(number);
    const size_t at = format.find("%d");
    if (at == std::string::npos) return format.empty() ? "Page " + n : format + " " + n;
    return format.substr(0, at) + n + format.substr(at + 2);
}

Page renderPage(const PrintSource& src, const PrintChoice& choice, const PageTarget& t, const PagePlan& p,
                int64_t across, size_t down, WaveRenderer& renderer) {
    Page page;
    page.number = static_cast<int>(across * static_cast<int64_t>(p.rowPages.size()) + static_cast<int64_t>(down) + 1);
    page.firstSample = p.first + across * p.perPage;
    page.lastSample = std::min(p.last, page.firstSample + p.perPage - 1);
    page.waves = p.waves;
    pageHeading(src, choice, t, p, page, pageNumberText(src.pageFormat, page.number));

    // This page's rows, from the top of the waves.
    std::vector<WaveRow> rows(p.rows.begin() + static_cast<ptrdiff_t>(p.rowPages[down].first),
                              p.rows.begin() + static_cast<ptrdiff_t>(p.rowPages[down].second));
    const int32_t base = rows.empty() ? 0 : rows.front().top;
    for (WaveRow& r : rows) r.top -= base;

    PaneGeometry pane;
    pane.firstSample = static_cast<int32_t>(page.firstSample);
    pane.width = p.waves.right - p.waves.left;
    pane.height = p.waves.bottom - p.waves.top;
    pane.ratioNum = p.num;
    pane.ratioDen = p.den;
    pane.gridColorIndex = src.gridColorIndex;
    DrawRequest request;
    const int64_t span = page.lastSample - page.firstSample;
    if (span > 0 && span < samplesInWidth(pane, pane.width)) request.toOffset = static_cast<int32_t>(span);
    if (src.store && !rows.empty()) renderer.render(*src.store, pane, rows, p.style, request, page.frame);
    page.frame.grid = GridLines{};   // the screen's pixel grid: paper has the time grid below

    // Name, channel and value columns (values at the page's first sample).
    if (!choice.omitLabels && src.table && src.store) {
        const ColumnWidths widths{src.nameWidth * t.dpiX / kScreenDpi, src.channelWidth * t.dpiX / kScreenDpi,
                                  src.valueWidth * t.dpiX / kScreenDpi};
        for (const WaveRow& r : rows) {
            const std::string name = src.table->entries[r.firstEntry].name;
            const TextSize size = p.style.measure ? p.style.measure(name) : TextSize{};
            addText(page, kTextInset * p.unitX, p.waves.top + r.top + (r.height - size.height) / 2, name, r.colorIndex,
                    PageFont::Row);
        }
        const PrimitiveList cols = columnTexts(*src.store, rows, p.style, widths, page.firstSample);
        for (const TextBox& b : cols.texts)
            addText(page, b.box.left, p.waves.top + b.box.top, b.text, b.colorIndex, PageFont::Row);
    }

    // The time grid, counted from the range's first sample so that it runs on across pages.
    if (choice.gridSize > 0 && choice.gridSize < kGridSizeCount && src.sampleFrequency > 0) {
        const double step = kGridPicoseconds[choice.gridSize] * static_cast<double>(src.sampleFrequency) / 1e12;
        const double stepX = step * static_cast<double>(p.num) / static_cast<double>(p.den);
        if (stepX >= 2.0) {
            const double offset = static_cast<double>(page.firstSample - p.first);
            int64_t k = static_cast<int64_t>(offset / step);
            for (int64_t n = 0; n < kMaxGridLines; ++n, ++k) {
                const double x = (static_cast<double>(k) * step - offset) * static_cast<double>(p.num) /
                                 static_cast<double>(p.den);
                if (x >= pane.width) break;
                if (x >= 0) page.gridXs.push_back(static_cast<int32_t>(x));
            }
        }
    }

    // Cursors in the page's samples.
    for (int c = 0; c < 6; ++c) {
        const int64_t pos = src.cursorPositions[c];
        if ((src.hiddenCursors >> c) & 1u) continue;
        if (pos < page.firstSample || pos > page.lastSample) continue;
        PageCursor pc;
        pc.index = c;
        pc.penIndex = src.cursorPens[c];
        pc.letter = kCursorLetters[c];
        pc.x = p.waves.left + static_cast<int32_t>(sampleX(pane, pos));
        pc.top = p.waves.top;
        pc.bottom = p.waves.bottom;
        const int32_t half = kFlagHalfWidth * p.unitX, top = p.waves.top - p.flagBand, h = p.flagBand;
        pc.flag = {Point{pc.x - half, top},         Point{pc.x + half, top},     Point{pc.x + half, top + h * 2 / 3},
                   Point{pc.x, p.waves.top - 1},    Point{pc.x - half, top + h * 2 / 3}, Point{pc.x - half, top}};
        pc.letterBox = Rect{pc.x - half + 1, top + 1, pc.x + half, top + h * 2 / 3};
        page.cursors.push_back(pc);
    }
    return page;
}

}  // namespace

std::vector<Page> renderPages(const PrintSource& src, const PrintChoice& choice, const PageTarget& target) {
    const PagePlan plan = planPages(src, choice, target);
    std::vector<Page> pages;
    WaveRenderer renderer;
    for (int64_t a = 0; a < plan.acrossPages; ++a)
        for (size_t d = 0; d < plan.rowPages.size(); ++d)
            pages.push_back(renderPage(src, choice, target, plan, a, d, renderer));
    return pages;
}

// --- text ---------------------------------------------------------------------------------------

namespace {

std::vector<const WaveRow*> listedRows(const std::vector<WaveRow>& rows) {
    std::vector<const WaveRow*> out;
    for (const WaveRow& r : rows)
        if (!r.disabled && r.kind != RowKind::Scope) out.push_back(&r);
    return out;
}

// A column wide enough for its name and the widest value its format gives.
size_t columnWidth(const WaveRow& r, const LabelTable& table, const RenderStyle& style) {
    const int32_t members = static_cast<int32_t>(std::min<size_t>(r.channels.size(), kMaxGroupChannels));
    const uint32_t widest = members >= 32 ? 0xFFFFFFFFu : (1u << members) - 1;
    size_t w = std::string(table.entries[r.firstEntry].name).size();
    if (r.kind == RowKind::Digital) return std::max<size_t>(w, 1);
    if (style.valueText) w = std::max(w, style.valueText(widest, r.format, members, r.flags).size());
    // Character names ("<NUL>") are wider than the widest value's text.
    return r.format == kFormatAsc ? std::max<size_t>(w, 5) : w;
}

}  // namespace

void RenderText(SampleStore& store, const std::vector<WaveRow>& rows, const LabelTable& table, const RenderStyle& style,
                int64_t first, int64_t last, TextKind kind, const std::function<std::string(int64_t)>& command,
                const std::function<void(const std::string&)>& write) {
    const std::vector<const WaveRow*> shown = listedRows(rows);
    std::vector<size_t> widths;
    for (const WaveRow* r : shown) widths.push_back(kind == TextKind::Txt ? columnWidth(*r, table, style) : 0);
    auto pad = [](std::string s, size_t w) {
        if (s.size() < w) s.append(w - s.size(), ' ');
        return s;
    };
    std::string line;
    for (size_t k = 0; k < shown.size(); ++k) {
        const std::string name = table.entries[shown[k]->firstEntry].name;
        if (kind == TextKind::Csv) line += (k ? ",\"" : "\"") + name + "\"";
        else line += (k ? "  " : "") + (k + 1 < shown.size() ? pad(name, widths[k]) : name);
    }
    write(line + "\r\n");
    const int64_t count = store.logicalCount();
    last = std::min(last, count - 1);
    for (int64_t s = std::max<int64_t>(first, 0); s <= last; ++s) {
        line.clear();
        for (size_t k = 0; k < shown.size(); ++k) {
            const std::string v = stateValueText(store, *shown[k], style, s);
            if (kind == TextKind::Csv) line += (k ? ",  " : "") + v;
            else line += (k ? "  " : "") + (k + 1 < shown.size() || command ? pad(v, widths[k]) : v);
        }
        if (command) {
            const std::string c = command(s);
            line += (kind == TextKind::Csv ? ", " : " ") + c;
        }
        write(line + "\r\n");
    }
}

std::vector<Page> renderTextPages(const PrintSource& src, const PrintChoice& choice, const PageTarget& target,
                                  const std::function<std::string(int64_t)>& command) {
    std::vector<Page> pages;
    if (!src.store || !src.table) return pages;
    const int64_t count = src.store->logicalCount();
    int64_t first = 0, last = 0;
    printRange(choice, src.cursorPositions, count, first, last);
    const std::vector<WaveRow> rows =
        layoutRows(*src.table, 0, INT32_MAX, 16, src.deviceChannels, src.decodedFor);
    std::vector<WaveRow> listed;
    for (const WaveRow& r : rows)
        if (choice.allLabels || (src.table->entries[r.lastEntry].flags & kLabelSelected)) listed.push_back(r);
    std::vector<std::string> lines;
    RenderText(*src.store, listed, *src.table, src.style, first, last, TextKind::Txt, command,
               [&lines](const std::string& l) { lines.push_back(l.substr(0, l.size() - 2)); });
    const int32_t header = target.measureHeader ? std::max(1, target.measureHeader("Ag").height) : 12;
    const int32_t lineHeight = target.measureRow ? std::max(1, target.measureRow("Ag").height) : 12;
    const int32_t top = 3 * header;
    const size_t perPage = static_cast<size_t>(std::max(1, (target.height - top) / lineHeight - 1));
    PagePlan plan;
    plan.headerLine = header;
    // The names' line heads every page.
    for (size_t from = 1; from < lines.size() || pages.empty(); from += perPage) {
        Page page;
        page.number = static_cast<int>(pages.size()) + 1;
        pageHeading(src, choice, target, plan, page, pageNumberText(src.pageFormat, page.number));
        addText(page, 0, top, lines[0], 0, PageFont::Fixed);
        for (size_t k = 0; k < perPage && from + k < lines.size(); ++k)
            addText(page, 0, top + static_cast<int32_t>(k + 1) * lineHeight, lines[from + k], 0, PageFont::Fixed);
        pages.push_back(std::move(page));
        if (from >= lines.size()) break;
    }
    return pages;
}

}  // namespace kv
