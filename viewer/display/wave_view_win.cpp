// The waveform area: GDI replays the frames the portable renderer computes. Everything is drawn into
// one off-screen bitmap per area and copied to the window with a single SRCCOPY, so partial repaints
// never flicker; the name buttons are owner-drawn children of the area.
#include "viewer/display/wave_view_win.h"

#include <windows.h>
#include <windowsx.h>

#include <algorithm>
#include <string>
#include <vector>

#include "viewer/commands/command_set_win.h"
#include "viewer/display/cursor_view_win.h"
#include "viewer/display/decode_view_win.h"
#include "viewer/display/label_dialogs_win.h"
#include "viewer/display/label_table.h"
#include "viewer/display/trace_blocks.h"
#include "viewer/display/value_column_win.h"
#include "viewer/scope/stack_win.h"
#include "viewer/shell/app_win.h"
#include "viewer/shell/panel_commands.h"

namespace kv {
namespace {

constexpr int32_t kSplitGap = 2;          // pixels between the two panes of the split view
const COLORREF kHighlightColor = RGB(0, 0, 96);

// What the area keeps between repaints: its surface, the pens it draws with, the renderers.
struct AreaState {
    HWND window = nullptr;
    HDC memoryDC = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ oldBitmap = nullptr;
    int32_t width = 0, height = 0;
    HPEN pens[17] = {};                    // the colour table's 16 colours and the compare colour
    HBRUSH brushes[17] = {};               // trace colours, for traces drawn as blocks
    HBRUSH background = nullptr;
    COLORREF backgroundColor = 0;
    WaveRenderer renderer;
    WaveFrame frame;
    std::vector<SolidBlock> blocks;
    std::vector<POINT> points;
    int32_t dragBorder = -1;               // column border being dragged
    std::function<void(HWND, HDC, int32_t, const RECT&)> afterWaves;
    std::function<bool(HWND, UINT, WPARAM, LPARAM)> mouse;
};

AreaState g_area;
WaveViewState g_state;
bool g_deferBlit = false;   // panes are being drawn: one transfer at the end
bool g_inPaint = false;     // the caller (WM_PAINT) makes the transfer itself

Viewer* viewer() { return g_viewer; }

HWND areaWindow() {
    if (g_area.window && IsWindow(g_area.window)) return g_area.window;
    Viewer* v = viewer();
    if (!v || !v->shell.panel) return nullptr;
    return GetDlgItem(v->shell.panel, kIdWaveArea);
}

int32_t waveHeight() {
    Viewer* v = viewer();
    const int32_t h = v ? v->settings.waveHeight : 24;
    return h > 0 ? h : 24;
}

HFONT rowFont() {
    Viewer* v = viewer();
    if (!v) return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    HFONT f = waveHeight() < 24 ? v->draw.smallFont : v->draw.largeFont;
    return f ? f : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

// The compared capture's traces have a colour no label can take, so that none hides them.
uint32_t traceSlot(int32_t colorIndex) {
    return colorIndex == kCompareColorIndex ? 16u : static_cast<uint32_t>(colorIndex) % 16;
}
COLORREF traceColor(int32_t colorIndex) {
    return colorIndex == kCompareColorIndex ? kCompareTraceColor : labelColor(colorIndex);
}

HPEN penFor(int32_t colorIndex) {
    HPEN& pen = g_area.pens[traceSlot(colorIndex)];
    if (!pen) pen = CreatePen(PS_SOLID, 1, traceColor(colorIndex));
    return pen;
}

HBRUSH brushFor(int32_t colorIndex) {
    HBRUSH& brush = g_area.brushes[traceSlot(colorIndex)];
    if (!brush) brush = CreateSolidBrush(traceColor(colorIndex));
    return brush;
}

void ensureSurface(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    const int32_t w = std::max<int32_t>(1, client.right), h = std::max<int32_t>(1, client.bottom);
    const int32_t bgIndex = viewer() ? viewer()->settings.backgroundColor : 0;
    const COLORREF bg = labelColor(bgIndex);
    if (!g_area.background || g_area.backgroundColor != bg) {
        if (g_area.background) DeleteObject(g_area.background);
        g_area.background = CreateSolidBrush(bg);
        g_area.backgroundColor = bg;
    }
    if (g_area.memoryDC && g_area.width == w && g_area.height == h) return;
    HDC screen = GetDC(window);
    if (!g_area.memoryDC) g_area.memoryDC = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    ReleaseDC(window, screen);
    HGDIOBJ old = SelectObject(g_area.memoryDC, bitmap);
    if (g_area.bitmap) DeleteObject(g_area.bitmap);
    else g_area.oldBitmap = old;
    g_area.bitmap = bitmap;
    g_area.width = w;
    g_area.height = h;
    RECT all = {0, 0, w, h};
    FillRect(g_area.memoryDC, &all, g_area.background);
}

void releaseSurface() {
    if (g_area.memoryDC) {
        if (g_area.oldBitmap) SelectObject(g_area.memoryDC, g_area.oldBitmap);
        DeleteDC(g_area.memoryDC);
    }
    if (g_area.bitmap) DeleteObject(g_area.bitmap);
    g_area.memoryDC = nullptr;
    g_area.bitmap = nullptr;
    g_area.oldBitmap = nullptr;
    g_area.width = g_area.height = 0;
}

ColumnWidths columnsOf(const WaveView& v) { return ColumnWidths{v.nameWidth, v.channelWidth, v.valueWidth}; }

// The rows as the view shows them now.
std::vector<WaveRow> currentRows(const WaveView& view, int32_t height) {
    Viewer* v = viewer();
    if (!v) return {};
    return layoutRows(v->labels.table, view.firstRow, height, waveHeight(), v->device.channelCount, viewDecodedItems);
}

RenderStyle currentStyle(HDC dc) {
    RenderStyle s;
    Viewer* v = viewer();
    s.waveHeight = waveHeight();
    s.partition = v && v->settings.wavePartition != 0;
    s.pulseTiming = v && v->settings.systemWaveTiming != 0;
    s.measure = [dc](const std::string& text) {
        SIZE size = {};
        GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
        return TextSize{size.cx, size.cy};
    };
    useStandardTexts(s, g_state.sampleFrequency);
    if (g_state.stateMode) s.stateCommand = activeCommandText();
    return s;
}

// Replays a frame into the memory surface; (ox, oy) is the waves' origin in the area.
void replay(const WaveFrame& f, int32_t ox, int32_t oy) {
    HDC dc = g_area.memoryDC;
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, ox + f.clip.left, oy + f.clip.top, ox + f.clip.right, oy + f.clip.bottom);
    SetViewportOrgEx(dc, ox, oy, nullptr);
    HBRUSH shade = static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH));
    HBRUSH highlight = CreateSolidBrush(kHighlightColor);
    for (const AreaFill& fill : f.fills) {
        RECT r = {fill.rect.left, fill.rect.top, fill.rect.right, fill.rect.bottom};
        FillRect(dc, &r, fill.kind == FillKind::Shade ? shade : fill.kind == FillKind::Highlight ? highlight
                                                                                                  : g_area.background);
    }
    DeleteObject(highlight);
    // A trace whose changes crowd the columns goes as blocks: the same pixels in a fraction of the
    // calls.
    std::vector<POINT>& pts = g_area.points;
    std::vector<SolidBlock>& blocks = g_area.blocks;
    for (const PolyRun& run : f.prims.polylines) {
        const Point* first = f.prims.points.data() + run.first;
        if (drawAsBlocks(first, run.count, blocks)) {
            HBRUSH brush = brushFor(run.colorIndex);
            for (const SolidBlock& b : blocks) {
                RECT r = {b.rect.left, b.rect.top, b.rect.right, b.rect.bottom};
                FillRect(dc, &r, brush);
            }
            continue;
        }
        pts.resize(run.count);
        for (uint32_t k = 0; k < run.count; ++k) pts[k] = POINT{first[k].x, first[k].y};
        SelectObject(dc, penFor(run.colorIndex));
        Polyline(dc, pts.data(), static_cast<int>(run.count));
    }
    SetBkMode(dc, TRANSPARENT);
    SelectObject(dc, rowFont());
    for (const TextBox& t : f.prims.texts) {
        SetTextColor(dc, labelColor(t.colorIndex));
        TextOutA(dc, t.box.left, t.box.top, t.text.c_str(), static_cast<int>(t.text.size()));
    }
    if (f.grid.draw && !f.grid.xs.empty()) {
        HPEN gridPen = CreatePen(f.grid.style, 1, labelColor(f.grid.colorIndex));
        HGDIOBJ old = SelectObject(dc, gridPen);
        SetROP2(dc, R2_XORPEN);
        for (int32_t x : f.grid.xs) {
            MoveToEx(dc, x, f.grid.top, nullptr);
            LineTo(dc, x, f.grid.bottom);
        }
        SetROP2(dc, R2_COPYPEN);
        SelectObject(dc, old);
        DeleteObject(gridPen);
    }
    RestoreDC(dc, saved);
}

// --- name buttons ----------------------------------------------------------------------------------

int32_t entryIndexOf(const LabelEntry* e) {
    Viewer* v = viewer();
    if (!v || !e) return -1;
    const LabelEntry* base = v->labels.table.entries.data();
    const ptrdiff_t k = e - base;
    return k >= 0 && k < static_cast<ptrdiff_t>(v->labels.table.entries.size()) ? static_cast<int32_t>(k) : -1;
}

// Every shown row gets a button over its name column, kept in its last entry; rows scrolled out of
// the area hide theirs.
void syncNameButtons(HWND area, const WaveView& view) {
    Viewer* v = viewer();
    if (!v) return;
    LabelTable& table = v->labels.table;
    RECT client;
    GetClientRect(area, &client);
    const std::vector<LabelRow> all = labelRows(table);
    const std::vector<WaveRow> shown = g_state.stateMode ? std::vector<WaveRow>{} : currentRows(view, client.bottom);
    setLabelViewGeometry(view.firstRow, view.nameWidth);
    size_t next = 0;
    for (const LabelRow& lr : all) {
        HWND button = nullptr;
        for (int e = lr.first; e <= lr.last; ++e) {
            if (table.entries[e].rowButton && !button) button = static_cast<HWND>(table.entries[e].rowButton);
            else if (table.entries[e].rowButton && table.entries[e].rowButton != button)
                DestroyWindow(static_cast<HWND>(table.entries[e].rowButton));
            table.entries[e].rowButton = nullptr;
        }
        const WaveRow* row = next < shown.size() && shown[next].firstEntry == lr.first ? &shown[next] : nullptr;
        if (row) ++next;
        if (!button && row) {
            button = CreateWindowExA(0, "BUTTON", "", WS_CHILD | BS_OWNERDRAW, 0, 0, 1, 1, area, nullptr,
                                     v->shell.instance, nullptr);
        }
        if (!button) continue;
        LabelEntry& owner = table.entries[lr.last];
        owner.rowButton = button;
        SetWindowLongPtrA(button, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&owner));
        if (row) {
            SetWindowPos(button, nullptr, 0, row->top, view.nameWidth, row->height,
                         SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
            EnableWindow(button, !row->disabled);
            InvalidateRect(button, nullptr, FALSE);
        } else {
            ShowWindow(button, SW_HIDE);
        }
    }
}

void drawNameButton(const DRAWITEMSTRUCT* d) {
    const auto* entry = reinterpret_cast<const LabelEntry*>(GetWindowLongPtrA(d->hwndItem, GWLP_USERDATA));
    const LabelEntry* head = entry;
    Viewer* v = viewer();
    if (entry && v) {
        const LabelRow row = rowOfEntry(v->labels.table, entryIndexOf(entry));
        if (row.first >= 0) head = &v->labels.table.entries[row.first];
    }
    const bool selected = head && (head->flags & kLabelSelected);
    const bool disabled = (d->itemState & ODS_DISABLED) != 0;
    RECT r = d->rcItem;
    FillRect(d->hDC, &r, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
    DrawEdge(d->hDC, &r, selected ? BDR_SUNKENINNER : BDR_RAISEDINNER, BF_RECT);
    InflateRect(&r, -3, -1);
    SetBkMode(d->hDC, TRANSPARENT);
    SetTextColor(d->hDC, GetSysColor(disabled ? COLOR_GRAYTEXT : selected ? COLOR_HIGHLIGHTTEXT : COLOR_BTNTEXT));
    HGDIOBJ old = SelectObject(d->hDC, rowFont());
    if (head) DrawTextA(d->hDC, head->name, -1, &r, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(d->hDC, old);
}

// --- drawing ---------------------------------------------------------------------------------------

bool canDraw() {
    Viewer* v = viewer();
    return v && !g_state.suspended && v->capture.allocated() && areaWindow() && g_area.memoryDC;
}

void blit(HDC target) {
    HWND area = areaWindow();
    if (!area || !g_area.memoryDC) return;
    HDC dc = target ? target : GetDC(area);
    BitBlt(dc, 0, 0, g_area.width, g_area.height, g_area.memoryDC, 0, 0, SRCCOPY);
    if (g_area.afterWaves) {
        g_area.afterWaves(area, dc, 0, paneWavesRect(area, 0));
        if (viewer() && viewer()->panel.split) g_area.afterWaves(area, dc, 1, paneWavesRect(area, 1));
    }
    if (!target) ReleaseDC(area, dc);
}

void drawValueColumn(WaveView& view) {
    if (!g_area.memoryDC) return;
    HDC dc = g_area.memoryDC;
    const ColumnWidths widths = columnsOf(view);
    RECT column = {view.nameWidth + view.channelWidth, 0, widths.total(), g_area.height};
    FillRect(dc, &column, g_area.background);
    SelectObject(dc, rowFont());
    const std::vector<WaveRow> rows = currentRows(view, g_area.height);
    const RenderStyle style = currentStyle(dc);
    const PrimitiveList texts = columnTexts(viewer()->store, rows, style, widths, g_state.valueSample);
    SetBkMode(dc, TRANSPARENT);
    std::string live;
    if (!rows.empty() && liveValueText(rows.front(), live)) {
        // Instant status: the live inputs instead of the values at the cursor.
        SetTextColor(dc, kInstantStatusColor);
        for (const WaveRow& r : rows) {
            if (!liveValueText(r, live) || live.empty()) continue;
            SIZE size = {};
            GetTextExtentPoint32A(dc, live.c_str(), static_cast<int>(live.size()), &size);
            ExtTextOutA(dc, column.left + 2, r.top + (r.height - size.cy) / 2, ETO_CLIPPED, &column, live.c_str(),
                        static_cast<UINT>(live.size()), nullptr);
        }
        return;
    }
    // The values at the focused cursor, in that cursor's colour.
    SetTextColor(dc, cursorPenColor(cursorSet().focus));
    for (const TextBox& t : texts.texts) {
        if (t.box.left < column.left) continue;
        ExtTextOutA(dc, t.box.left, t.box.top, ETO_CLIPPED, &column, t.text.c_str(), static_cast<UINT>(t.text.size()),
                    nullptr);
    }
}

void repaintAll(HDC target) {
    HWND area = areaWindow();
    if (!area) return;
    ensureSurface(area);
    syncNameButtons(area, g_state.view);
    if (!canDraw()) {
        RECT all = {0, 0, g_area.width, g_area.height};
        FillRect(g_area.memoryDC, &all, g_area.background);
        blit(target);
        return;
    }
    WaveView& view = g_state.view;
    RECT all = {0, 0, g_area.width, g_area.height};
    FillRect(g_area.memoryDC, &all, g_area.background);
    DrawChannelColumn(view);
    drawValueColumn(view);
    // The whole area, copied below in the paint's one transfer.
    drawWavesToSurface(view);
    blit(target);
}

}  // namespace

WaveViewState& waveViewState() { return g_state; }

void resetWaveView(WaveView& view) {
    view = WaveView{};
    view.nameWidth = 80;
    view.channelWidth = 48;
    view.valueWidth = 64;
    view.zoomIn = 1;
    // The grid as the settings have it ("Grid Size", "Grid Type", "Grid Color").
    const Settings defaults;
    const Settings& s = viewer() ? viewer()->settings : defaults;
    view.gridSpacing = s.gridSize;
    view.gridStyle = s.gridType;
    view.gridColorIndex = s.gridColor;
}

void setAfterWavesHook(std::function<void(HWND, HDC, int32_t, const RECT&)> hook) {
    g_area.afterWaves = std::move(hook);
}

void setAreaMouseHook(std::function<bool(HWND, UINT, WPARAM, LPARAM)> hook) { g_area.mouse = std::move(hook); }

COLORREF waveSurfacePixel(int32_t x, int32_t y) {
    if (!g_area.memoryDC || x < 0 || y < 0 || x >= g_area.width || y >= g_area.height) return CLR_INVALID;
    return GetPixel(g_area.memoryDC, x, y);
}

RECT paneWavesRect(HWND area, int32_t paneIndex) {
    RECT client = {};
    if (area) GetClientRect(area, &client);
    const int32_t left = std::min<int32_t>(columnsOf(g_state.view).total(), client.right);
    RECT r = {left, 0, client.right, client.bottom - std::max(0, g_state.view.remarkWidth)};
    if (r.bottom < r.top) r.bottom = r.top;
    const bool split = viewer() && viewer()->panel.split;
    if (!split) return r;
    // The split view shows the two panes side by side over the same rows.
    const int32_t half = (r.right - r.left - kSplitGap) / 2;
    if (paneIndex == 0) r.right = r.left + std::max(0, half);
    else r.left = r.left + std::max(0, half) + kSplitGap;
    return r;
}

void DrawChannelColumn(WaveView& view) {
    if (!g_area.memoryDC || !viewer()) return;
    HDC dc = g_area.memoryDC;
    RECT column = {view.nameWidth, 0, view.nameWidth + view.channelWidth, g_area.height};
    FillRect(dc, &column, g_area.background);
    if (g_state.stateMode) return;
    SelectObject(dc, rowFont());
    SetBkMode(dc, TRANSPARENT);
    for (const WaveRow& r : currentRows(view, g_area.height)) {
        if (r.kind == RowKind::Scope) continue;
        const std::string text = channelListText(r.channels);
        SIZE size = {};
        GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
        SetTextColor(dc, labelColor(r.colorIndex));
        ExtTextOutA(dc, column.left + 2, r.top + (r.height - size.cy) / 2, ETO_CLIPPED, &column, text.c_str(),
                    static_cast<UINT>(text.size()), nullptr);
    }
}

void DrawGrid(WaveView& view) {
    if (!g_area.memoryDC || g_state.stateMode) return;
    HWND area = areaWindow();
    const RECT waves = paneWavesRect(area, view.paneIndex);
    PaneGeometry pane = paneGeometry(view, waves.right - waves.left, waves.bottom - waves.top);
    WaveFrame f;
    Band band = bandOf(pane, 1, DrawRequest{}, 0);
    endFrame(pane, band, f);
    f.clip = Rect{0, 0, pane.width, pane.height};
    replay(f, waves.left, waves.top);
}

void DrawWaves(WaveView& view, int32_t fromOffset, int32_t toOffset, int32_t firstRowToDraw, int32_t rowCount) {
    if (!canDraw()) return;
    Viewer& v = *viewer();
    HWND area = areaWindow();
    const RECT waves = paneWavesRect(area, view.paneIndex);
    const PaneGeometry pane = paneGeometry(view, waves.right - waves.left, waves.bottom - waves.top);
    const std::vector<WaveRow> rows = currentRows(view, pane.height);
    SelectObject(g_area.memoryDC, rowFont());
    const RenderStyle style = currentStyle(g_area.memoryDC);
    DrawRequest request{fromOffset, toOffset, firstRowToDraw, rowCount};
    g_area.renderer.render(v.store, pane, rows, style, request, g_area.frame);
    if (v.panel.compare) {
        if (SampleStore* compare = v.storage.compareStore(v.panel.invert))
            g_area.renderer.renderCompare(*compare, pane, rows, style, request, kCompareColorIndex, g_area.frame);
    }
    // Scope rows draw from the scope's samples, on the logic capture's time axis.
    const Band band = bandOf(normalisedPane(pane), v.store.logicalCount(), request, rows.size());
    if (!band.empty) renderScopeRows(normalisedPane(pane), rows, style, band, g_area.frame.prims);
    replay(g_area.frame, waves.left, waves.top);
    if (!g_deferBlit) blit(nullptr);
}

void DrawWavesDispatch(WaveView& view, int32_t fromOffset, int32_t toOffset, int32_t firstRowToDraw, int32_t rowCount) {
    if (!canDraw()) return;
    Viewer& v = *viewer();
    HWND area = areaWindow();
    const bool outer = !g_deferBlit;
    g_deferBlit = true;
    if (v.panel.split) {
        const RECT second = paneWavesRect(area, 1);
        if (g_state.secondFirstSample < 0) {
            // The second pane starts where the main one ends, so the two continue each other.
            g_state.secondFirstSample =
                view.firstSample + static_cast<int32_t>(std::min<int64_t>(
                                       samplesInWidth(paneGeometry(view, second.right - second.left, 0),
                                                      second.right - second.left),
                                       INT32_MAX / 2));
        }
    }
    for (const PanePass& pass : panePasses(view.firstSample, v.panel.split, g_state.secondFirstSample, g_state.stateMode)) {
        const WaveView saved = view;
        view.firstSample = pass.firstSample;
        view.paneIndex = pass.pane;
        g_state.secondPane = pass.pane == 1;
        if (pass.stateList) {
            const RECT waves = paneWavesRect(area, pass.pane);
            const PaneGeometry pane = paneGeometry(view, waves.right - waves.left, waves.bottom - waves.top);
            SelectObject(g_area.memoryDC, rowFont());
            const RenderStyle style = currentStyle(g_area.memoryDC);
            renderStateList(v.store, pane, currentRows(view, 100000), v.labels.table, style, g_area.frame);
            replay(g_area.frame, waves.left, waves.top);
        } else {
            DrawWaves(view, fromOffset, toOffset, firstRowToDraw, rowCount);
        }
        view = saved;
        g_state.secondPane = false;
    }
    if (outer) {
        g_deferBlit = false;
        if (!g_inPaint) blit(nullptr);
    }
}

void drawWavesToSurface(WaveView& view) {
    const bool keep = g_inPaint;
    g_inPaint = true;
    DrawWavesDispatch(view, 0, -1, 0, 0);
    g_inPaint = keep;
}

void transferWaveSurface() { blit(nullptr); }

void toggleStateListing() {
    g_state.stateMode = !g_state.stateMode;
    if (HWND area = areaWindow()) InvalidateRect(area, nullptr, FALSE);
}

LRESULT CALLBACK waveAreaProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            // The name buttons are children: the transfer of the waves must not paint over them.
            SetWindowLongPtrA(window, GWL_STYLE, GetWindowLongPtrA(window, GWL_STYLE) | WS_CLIPCHILDREN);
            g_area.window = window;
            if (g_state.view.nameWidth == 0) resetWaveView(g_state.view);
            g_state.view.window = window;
            return 0;
        case WM_ERASEBKGND: return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(window, &ps);
            repaintAll(dc);
            EndPaint(window, &ps);
            return 0;
        }
        case WM_SIZE:
            g_state.secondFirstSample = -1;
            InvalidateRect(window, nullptr, FALSE);
            return 0;
        case WM_DRAWITEM: drawNameButton(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)); return TRUE;
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED && lParam) {
                const auto* entry = reinterpret_cast<const LabelEntry*>(
                    GetWindowLongPtrA(reinterpret_cast<HWND>(lParam), GWLP_USERDATA));
                const int32_t index = entryIndexOf(entry);
                if (index >= 0) labelNameClicked(index);
            }
            return 0;
        case WM_CONTEXTMENU: {
            POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            int32_t entry = -1;
            if (reinterpret_cast<HWND>(wParam) != window)
                entry = entryIndexOf(
                    reinterpret_cast<const LabelEntry*>(GetWindowLongPtrA(reinterpret_cast<HWND>(wParam), GWLP_USERDATA)));
            if (entry < 0) {
                POINT local = pt;
                ScreenToClient(window, &local);
                for (const WaveRow& r : currentRows(g_state.view, g_area.height))
                    if (local.y >= r.top && local.y < r.top + r.height) entry = r.firstEntry;
            }
            setLabelUnderMouse(entry);
            if (viewer() && viewer()->shell.panel) showLabelMenu(viewer()->shell.panel, pt.x, pt.y, entry);
            return 0;
        }
        case WM_SETCURSOR:
            if (LOWORD(lParam) == HTCLIENT) {
                POINT pt;
                GetCursorPos(&pt);
                ScreenToClient(window, &pt);
                if (g_area.dragBorder >= 0 || columnBorderAt(columnsOf(g_state.view), pt.x) >= 0) {
                    SetCursor(LoadCursorA(nullptr, IDC_SIZEWE));
                    return TRUE;
                }
            }
            break;
        case WM_LBUTTONDOWN: {
            const int32_t border = columnBorderAt(columnsOf(g_state.view), GET_X_LPARAM(lParam));
            if (border >= 0) {
                g_area.dragBorder = border;
                SetCapture(window);
            } else if (g_area.mouse) {
                g_area.mouse(window, message, wParam, lParam);
            }
            return 0;
        }
        case WM_MOUSEMOVE:
            if (g_area.dragBorder < 0 && g_area.mouse) g_area.mouse(window, message, wParam, lParam);
            return 0;
        case WM_LBUTTONUP:
            if (g_area.dragBorder >= 0) {
                ColumnWidths w = columnsOf(g_state.view);
                dropColumnBorder(w, g_area.dragBorder, GET_X_LPARAM(lParam));
                g_state.view.nameWidth = w.name;
                g_state.view.channelWidth = w.channel;
                g_state.view.valueWidth = w.value;
                g_area.dragBorder = -1;
                ReleaseCapture();
                g_state.secondFirstSample = -1;
                InvalidateRect(window, nullptr, FALSE);
            } else if (g_area.mouse) {
                g_area.mouse(window, message, wParam, lParam);
            }
            return 0;
        case WM_CAPTURECHANGED:
            g_area.dragBorder = -1;
            if (g_area.mouse) g_area.mouse(window, message, wParam, lParam);
            return 0;
        case WM_DESTROY:
            for (HPEN& p : g_area.pens)
                if (p) {
                    DeleteObject(p);
                    p = nullptr;
                }
            for (HBRUSH& b : g_area.brushes)
                if (b) {
                    DeleteObject(b);
                    b = nullptr;
                }
            if (g_area.background) DeleteObject(g_area.background);
            g_area.background = nullptr;
            releaseSurface();
            g_area.window = nullptr;
            g_state.view.window = nullptr;
            return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace kv
