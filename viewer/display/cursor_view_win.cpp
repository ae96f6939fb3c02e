// Win32 glue of the time base and the cursors. The decisions (zoom steps, scroll ranges, cursor
// layout, drag steps, readout texts) are the portable cores'; this file applies them to the panel's
// controls and draws the cursor lines and markers with XOR over what the waveform area copied to the
// screen, so that moving a cursor never needs the waves to be drawn again.
#include "viewer/display/cursor_view_win.h"

#include <windows.h>
#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <string>
#include <vector>

#include "viewer/display/formatting.h"
#include "viewer/display/label_dialogs_win.h"
#include "viewer/display/measuring.h"
#include "viewer/display/time_base.h"
#include "viewer/display/wave_render.h"
#include "viewer/display/wave_view_win.h"
#include "viewer/scope/stack_win.h"
#include "viewer/shell/app_win.h"
#include "viewer/shell/demo_generator.h"
#include "viewer/shell/panel_commands.h"
#include "viewer/shell/resources_win.h"

namespace kv {
namespace {

enum : int32_t {
    kMarkerHeight = 14,   // the markers stand in a band this high at the top of the waves
    kPaneCount = 2,
};

// Cursor colours, by pen index: trigger red, then A to E.
const COLORREF kCursorColors[kCursorCount] = {RGB(255, 0, 0),   RGB(255, 255, 0), RGB(0, 255, 0),
                                              RGB(0, 255, 255), RGB(255, 0, 255), RGB(255, 128, 0)};
const int kReadoutIds[kReadoutCount] = {kIdReadout1, kIdReadout2, kIdReadout3};

// What is on the screen of one pane, so that the same strokes can be made again to erase it.
struct DrawnPane {
    std::vector<CursorLine> lines;
    std::vector<CursorLine> markers;   // x is the marker's centre
    RECT waves = {};
    COLORREF background = 0;
};

enum class MouseMode { None, Cursor, Waves, Measure };

struct CursorViewState {
    CursorSet set;
    DrawnPane drawn[kPaneCount];
    HWND tooltip = nullptr;
    WheelState wheel;
    InertialScroll inertial;
    MouseMode mouse = MouseMode::None;
    CursorDrag drag;
    MeasuringLine line;
    int32_t pressX = 0;
    int32_t firstAtPress = 0;
    DWORD pressTime = 0;
    std::string readouts[kReadoutCount];
    // What the readouts and their tooltips last showed: every repaint comes to updateReadouts, and
    // only a change is passed on to the controls.
    std::wstring shown[kReadoutCount];
    int32_t captionKey[kReadoutCount][3] = {};   // measure mode and the pair's two cursors
    bool captionSet[kReadoutCount] = {};
    HFONT markerFont = nullptr;               // the marker letters' font, made once
    bool barSet[2] = {};                      // horizontal, vertical bar set once on this panel
};

CursorViewState g_cv;

Viewer* viewer() { return g_viewer; }

HWND panelItem(int id) {
    Viewer* v = viewer();
    return v && v->shell.panel ? GetDlgItem(v->shell.panel, id) : nullptr;
}

HWND area() { return panelItem(kIdWaveArea); }

int32_t sampleCount() {
    Viewer* v = viewer();
    return v && v->capture.allocated() ? v->store.logicalCount() : 0;
}

RECT wavesRect(int32_t pane) { return paneWavesRect(area(), pane); }

int32_t areaWidth() {
    const RECT r = wavesRect(0);
    return r.right - r.left;
}

int32_t rowHeight() {
    Viewer* v = viewer();
    return v && v->settings.waveHeight > 0 ? v->settings.waveHeight : 24;
}

COLORREF backgroundColor() {
    Viewer* v = viewer();
    return labelColor(v ? v->settings.backgroundColor : 0);
}

// The view record of a pane: the second pane of the split view differs only in its first sample.
WaveView paneView(int32_t pane) {
    WaveView view = waveViewState().view;
    if (pane == 1) view.firstSample = waveViewState().secondFirstSample;
    return view;
}

bool splitShown() {
    Viewer* v = viewer();
    return v && v->panel.split && waveViewState().secondFirstSample >= 0;
}

// One XOR stroke of a cursor: the background pen, then the cursor's own pen, so that the line shows
// in the cursor's colour on the background and a second stroke restores what was there.
void xorLine(HDC dc, const RECT& waves, int32_t x, COLORREF color, COLORREF background) {
    const int32_t sx = waves.left + x;
    for (COLORREF c : {background, color}) {
        HPEN pen = CreatePen(PS_SOLID, 1, c);
        HGDIOBJ old = SelectObject(dc, pen);
        MoveToEx(dc, sx, waves.top, nullptr);
        LineTo(dc, sx, waves.bottom);
        SelectObject(dc, old);
        DeleteObject(pen);
    }
}

// A five-sided flag pointing down at the line, outlined with XOR in the same two strokes.
void xorMarker(HDC dc, const RECT& waves, int32_t centre, COLORREF color, COLORREF background) {
    const int32_t half = kMarkerWidth / 2;
    const int32_t cx = waves.left + centre;
    const POINT outline[6] = {{cx - half, waves.top},
                              {cx + half, waves.top},
                              {cx + half, waves.top + kMarkerHeight - 4},
                              {cx, waves.top + kMarkerHeight - 1},
                              {cx - half, waves.top + kMarkerHeight - 4},
                              {cx - half, waves.top}};
    for (COLORREF c : {background, color}) {
        HPEN pen = CreatePen(PS_SOLID, 1, c);
        HGDIOBJ old = SelectObject(dc, pen);
        // The last side would pass the first point twice and erase it: Polyline leaves out its end.
        Polyline(dc, outline, 6);
        SelectObject(dc, old);
        DeleteObject(pen);
    }
}

// The cursor's letter inside its marker. Text cannot be drawn with XOR, so the letter is drawn into a
// small black bitmap in the colour (cursor XOR background) and that bitmap is XORed onto the screen:
// on the background the letter shows in the cursor's colour, and the same transfer removes it again.
void xorMarkerLetter(HDC dc, const RECT& waves, int32_t centre, char letter, COLORREF color, COLORREF background) {
    const int32_t w = kMarkerWidth - 2, h = kMarkerHeight - 5;
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, w, h);
    if (!mem || !bitmap) {
        if (mem) DeleteDC(mem);
        if (bitmap) DeleteObject(bitmap);
        return;
    }
    HGDIOBJ oldBitmap = SelectObject(mem, bitmap);
    RECT r = {0, 0, w, h};
    FillRect(mem, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    if (!g_cv.markerFont)
        g_cv.markerFont = CreateFontA(-(h - 1), 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                                      CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, DEFAULT_PITCH, "Tahoma");
    HGDIOBJ oldFont = SelectObject(mem, g_cv.markerFont ? g_cv.markerFont : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(mem, TRANSPARENT);
    SetTextColor(mem, RGB(GetRValue(color) ^ GetRValue(background), GetGValue(color) ^ GetGValue(background),
                          GetBValue(color) ^ GetBValue(background)));
    DrawTextA(mem, &letter, 1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    BitBlt(dc, waves.left + centre - w / 2, waves.top + 1, w, h, mem, 0, 0, SRCINVERT);
    SelectObject(mem, oldFont);
    SelectObject(mem, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(mem);
}

void strokePane(HDC dc, const DrawnPane& d) {
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, d.waves.left, d.waves.top, d.waves.right, d.waves.bottom);
    SetROP2(dc, R2_XORPEN);
    for (const CursorLine& l : d.lines)
        xorLine(dc, d.waves, l.x, kCursorColors[g_cv.set.cursors[l.index].penIndex % kCursorCount], d.background);
    static const char kLetters[kCursorCount + 1] = "TABCDE";
    for (const CursorLine& m : d.markers) {
        const COLORREF color = kCursorColors[g_cv.set.cursors[m.index].penIndex % kCursorCount];
        xorMarker(dc, d.waves, m.x, color, d.background);
        xorMarkerLetter(dc, d.waves, m.x, kLetters[m.index], color, d.background);
    }
    RestoreDC(dc, saved);
}

// Lays out and draws the cursors of one pane. Pane 0 keeps its layout in the cursor records (the
// mouse finds cursors there); the second pane's layout is a copy.
void drawPane(HDC dc, int32_t pane, const RECT& waves) {
    DrawnPane& d = g_cv.drawn[pane];
    d = DrawnPane{};
    if (sampleCount() <= 0 || waveViewState().stateMode) return;
    if (pane == 1 && !splitShown()) return;
    const int32_t width = waves.right - waves.left;
    if (width <= 0 || waves.bottom <= waves.top) return;
    CursorSet copy = g_cv.set;
    CursorSet& set = pane == 0 ? g_cv.set : copy;
    d.lines = layoutCursorLines(set, paneView(pane), width);
    layoutCursorMarkers(set, width);
    for (int32_t i = 0; i < kCursorCount; ++i)
        if (set.cursors[i].markerX >= 0) d.markers.push_back(CursorLine{i, set.cursors[i].markerX});
    d.waves = waves;
    d.background = backgroundColor();
    strokePane(dc, d);
}

void eraseDrawn() {
    HWND a = area();
    if (!a) return;
    HDC dc = GetDC(a);
    for (DrawnPane& d : g_cv.drawn) {
        strokePane(dc, d);
        d = DrawnPane{};
    }
    ReleaseDC(a, dc);
}

void updateReadouts() {
    UpdateReadouts(g_cv.set, readoutFrequency(), g_cv.readouts);
    for (int32_t k = 0; k < kReadoutCount; ++k) {
        HWND r = panelItem(kReadoutIds[k]);
        if (!r) continue;
        std::wstring text = widen(g_cv.readouts[k]);
        if (text != g_cv.shown[k]) {
            SetWindowTextW(r, text.c_str());
            g_cv.shown[k] = std::move(text);
        }
        const int32_t key[3] = {g_cv.set.measureMode, g_cv.set.pairs[k][0], g_cv.set.pairs[k][1]};
        if (g_cv.tooltip && !(g_cv.captionSet[k] && std::equal(key, key + 3, g_cv.captionKey[k]))) {
            std::copy(key, key + 3, g_cv.captionKey[k]);
            g_cv.captionSet[k] = true;
            const std::wstring caption = readoutCaption(k);
            TTTOOLINFOW ti = {};
            ti.cbSize = sizeof ti;
            ti.uFlags = TTF_IDISHWND;
            ti.hwnd = viewer()->shell.panel;
            ti.uId = reinterpret_cast<UINT_PTR>(r);
            ti.lpszText = const_cast<wchar_t*>(caption.c_str());
            SendMessageW(g_cv.tooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
        }
    }
}

// The value column shows the values at the focused cursor: it is drawn again when that moves.
// Mode "Channel Value" reads the values at the focused cursor; one at or past the last sample is
// first brought back (its old strokes erased, the new ones drawn).
void parkForValues(HDC paintDc) {
    Viewer* v = viewer();
    if (!v || v->settings.valueField != kValueChannel) return;
    if (paintDc) {
        // A repaint draws every cursor afresh right after this.
        parkFocusedCursor(g_cv.set, sampleCount());
        return;
    }
    if (!parkFocusedCursor(g_cv.set, sampleCount())) return;
    eraseDrawn();
    HWND a = area();
    if (!a) return;
    HDC dc = GetDC(a);
    drawPane(dc, 0, wavesRect(0));
    drawPane(dc, 1, wavesRect(1));
    ReleaseDC(a, dc);
    updateReadouts();
}

void updateValueColumn() {
    parkForValues(nullptr);
    WaveViewState& s = waveViewState();
    s.sampleFrequency = readoutFrequency();
    const int32_t focus = g_cv.set.focus >= 0 && g_cv.set.focus < kCursorCount ? g_cv.set.focus : 0;
    const int32_t sample = g_cv.set.cursors[focus].position;
    if (s.valueSample == sample) return;
    s.valueSample = sample;
    HWND a = area();
    if (!a) return;
    const WaveView& v = s.view;
    RECT client;
    GetClientRect(a, &client);
    RECT column = {v.nameWidth + v.channelWidth, 0, waveAreaLeft(v), client.bottom};
    InvalidateRect(a, &column, FALSE);
}

// Cursors moved without the waves changing: the old strokes are erased and new ones made.
void redrawCursors() {
    eraseDrawn();
    HWND a = area();
    if (a) {
        HDC dc = GetDC(a);
        drawPane(dc, 0, wavesRect(0));
        drawPane(dc, 1, wavesRect(1));
        ReleaseDC(a, dc);
    }
    updateReadouts();
    updateValueColumn();
}

void updateScrollBars();
void updateZoomButtons();

// The measuring line's strokes, XOR with white: drawing a stroke again restores what was under it.
void strokeMeasuringLine(HDC dc, const LineSteps& steps) {
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
    HGDIOBJ old = SelectObject(dc, pen);
    const int rop = SetROP2(dc, R2_XORPEN);
    auto stroke = [dc](const LineStroke& l) {
        MoveToEx(dc, l.x0, l.y0, nullptr);
        LineTo(dc, l.x1, l.y1);
        SetPixel(dc, l.x1, l.y1, GetPixel(dc, l.x1, l.y1) ^ RGB(255, 255, 255));  // LineTo leaves the end out
    };
    if (steps.erase) stroke(steps.erased);
    if (steps.draw) stroke(steps.drawn);
    SetROP2(dc, rop);
    SelectObject(dc, old);
    DeleteObject(pen);
}

void measuringStep(const LineSteps& steps) {
    HWND a = area();
    if (!a || (!steps.erase && !steps.draw)) return;
    HDC dc = GetDC(a);
    strokeMeasuringLine(dc, steps);
    ReleaseDC(a, dc);
}

// The status text of the line as pulled: its width at the view's zoom, and the voltage it spans
// when it starts on a stacked scope's row ("??" elsewhere).
void showMeasuringLine() {
    const WaveView& view = waveViewState().view;
    const LineStroke& l = g_cv.line.shown;
    int64_t microvolts = 0;
    const bool volts = measuringLineMicrovolts(l.y0 - g_cv.line.top, l.y1 - g_cv.line.top, microvolts);
    setStatusText(widen(measuringLineText(l.x1 - l.x0, view.zoomIn, view.zoomOut, readoutFrequency(), volts, microvolts)));
}

// After every transfer of the waves the screen holds no cursor: draw them all again.
void afterWaves(HWND, HDC dc, int32_t pane, const RECT& waves) {
    if (pane < 0 || pane >= kPaneCount) return;
    g_cv.drawn[pane] = DrawnPane{};
    if (pane == 0) {
        markCursorsNotDrawn(g_cv.set);
        parkForValues(dc);
    }
    drawPane(dc, pane, waves);
    if (pane == 0) {
        // The waves were painted over the measuring line: while it is pulled it is drawn again.
        forgetMeasuringStroke(g_cv.line);
        if (g_cv.line.active) strokeMeasuringLine(dc, moveMeasuringLine(g_cv.line, g_cv.line.shown.x1, g_cv.line.shown.y1));
        updateValueColumn();
        // A new capture or a changed label table arrives as a repaint: the bars follow it here.
        updateReadouts();
        updateScrollBars();
        updateZoomButtons();
    }
}

void setScroll(int id, const ScrollState& s) {
    HWND bar = panelItem(id);
    if (!bar) return;
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    // Every repaint comes here; setting a bar redraws it, so after the first time only a change
    // is set.
    bool& once = g_cv.barSet[id == kIdVScroll ? 1 : 0];
    if (once && GetScrollInfo(bar, SB_CTL, &si) && si.nMin == s.min && si.nMax == s.max &&
        si.nPage == static_cast<UINT>(s.page) && si.nPos == s.pos)
        return;
    once = true;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    si.nMin = s.min;
    si.nMax = s.max;
    si.nPage = static_cast<UINT>(s.page);
    si.nPos = s.pos;
    SetScrollInfo(bar, SB_CTL, &si, TRUE);
}

int32_t rowCount() {
    Viewer* v = viewer();
    return v ? static_cast<int32_t>(labelRows(v->labels.table).size()) : 0;
}

void updateScrollBars() {
    const WaveView& v = waveViewState().view;
    setScroll(kIdHScroll, horizontalScroll(v, areaWidth(), sampleCount()));
    const RECT w = wavesRect(0);
    setScroll(kIdVScroll, verticalScroll(v, rowCount(), (w.bottom - w.top) / rowHeight()));
}

void updateZoomButtons() {
    const WaveView& v = waveViewState().view;
    // A button losing the focus as it is disabled would leave the keys nowhere: the main window
    // takes them.
    HWND in = panelItem(kIdZoomIn), out = panelItem(kIdZoomOut);
    const HWND focus = GetFocus();
    if (in && !IsWindowEnabled(in) != !canZoomIn(v)) EnableWindow(in, canZoomIn(v));
    if (out && !IsWindowEnabled(out) != !canZoomOut(v)) EnableWindow(out, canZoomOut(v));
    if ((focus == in || focus == out) && focus && !IsWindowEnabled(focus) && viewer())
        SetFocus(viewer()->shell.mainWindow);
}

void repaintWaves() {
    if (HWND a = area()) InvalidateRect(a, nullptr, FALSE);
}

// The first sample changed (scroll bar, keys, wheel, drag): the strokes on the screen are stale,
// the repaint draws them again.
void scrolled() {
    updateScrollBars();
    repaintWaves();
}

bool controlHeld(MsgWParam wParam) { return (wParam & MK_CONTROL) != 0 || GetKeyState(VK_CONTROL) < 0; }

// The label row under a y of the area, as channel bits to snap to (0: none or a scope row).
uint64_t snapMaskAt(int32_t y) {
    Viewer* v = viewer();
    if (!v) return 0;
    const RECT w = wavesRect(0);
    const WaveView& view = waveViewState().view;
    for (const WaveRow& r : layoutRows(v->labels.table, view.firstRow, w.bottom - w.top, rowHeight(),
                                       v->device.channelCount)) {
        if (y >= r.top && y < r.top + r.height) return r.kind == RowKind::Scope ? 0 : channelMaskOf(r.channels);
    }
    return 0;
}

void stopInertial() {
    g_cv.inertial.running = false;
    if (viewer() && viewer()->shell.panel) KillTimer(viewer()->shell.panel, kTimerMomentum);
}

bool mouseHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const int32_t x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
    const RECT waves = wavesRect(0);
    WaveView& view = waveViewState().view;
    Viewer* v = viewer();
    if (!v) return false;
    switch (message) {
        case WM_LBUTTONDOWN: {
            if (x < waves.left || x >= waves.right || y < waves.top || y >= waves.bottom) return false;
            if (sampleCount() <= 0 || waveViewState().stateMode) return false;
            const int32_t local = x - waves.left;
            int32_t hit = y - waves.top < kMarkerHeight ? cursorAtMarker(g_cv.set, local) : -1;
            if (hit < 0) hit = cursorAtLine(g_cv.set, local);
            stopInertial();
            if (hit >= 0) {
                beginCursorDrag(g_cv.drag, g_cv.set, hit);
                g_cv.mouse = MouseMode::Cursor;
            } else if (v->settings.inertial && !(wParam & MK_SHIFT)) {
                g_cv.mouse = MouseMode::Waves;
                g_cv.pressX = x;
                g_cv.firstAtPress = view.firstSample;
                g_cv.pressTime = GetTickCount();
            } else {
                // Away from the cursors (with Shift also when a drag would scroll): the measuring line.
                g_cv.mouse = MouseMode::Measure;
                beginMeasuringLine(g_cv.line, x, y, waves.left, waves.top, waves.right, waves.bottom);
            }
            SetCapture(window);
            return true;
        }
        case WM_MOUSEMOVE: {
            if (g_cv.mouse == MouseMode::Cursor) {
                const bool ctrl = controlHeld(wParam);
                const int32_t before = view.firstSample;
                eraseDrawn();
                const DragStep step =
                    dragCursorTo(g_cv.drag, g_cv.set, view, x - waves.left, waves.right - waves.left, sampleCount(),
                                 ctrl, v->settings.electricGrid != 0, snapMaskAt(y - waves.top), false,
                                 [v](int32_t i) { return v->store.sample(i); });
                if (step.scrolled || view.firstSample != before) {
                    scrolled();
                    UpdateWindow(area());
                } else {
                    redrawCursors();
                }
                updateValueColumn();
                return true;
            }
            if (g_cv.mouse == MouseMode::Measure) {
                measuringStep(moveMeasuringLine(g_cv.line, x, y));
                showMeasuringLine();
                return true;
            }
            if (g_cv.mouse == MouseMode::Waves) {
                const int32_t first =
                    dragScrollFirstSample(view, g_cv.firstAtPress, x - g_cv.pressX, areaWidth(), sampleCount());
                if (first != view.firstSample) {
                    view.firstSample = first;
                    scrolled();
                }
                return true;
            }
            return false;
        }
        case WM_LBUTTONUP: {
            if (g_cv.mouse == MouseMode::None) return false;
            const MouseMode mode = g_cv.mouse;
            g_cv.mouse = MouseMode::None;
            endCursorDrag(g_cv.drag);
            measuringStep(endMeasuringLine(g_cv.line));
            if (GetCapture() == window) ReleaseCapture();
            if (mode == MouseMode::Waves && v->settings.inertial) {
                const int32_t elapsed = static_cast<int32_t>(GetTickCount() - g_cv.pressTime);
                if (startInertialScroll(g_cv.inertial, elapsed, x - g_cv.pressX))
                    SetTimer(v->shell.panel, kTimerMomentum, kInertialTickMs, nullptr);
            }
            return true;
        }
        case WM_CAPTURECHANGED:
            if (g_cv.mouse == MouseMode::None) return false;
            g_cv.mouse = MouseMode::None;
            endCursorDrag(g_cv.drag);
            measuringStep(endMeasuringLine(g_cv.line));
            return true;
    }
    return false;
}

}  // namespace

CursorSet& cursorSet() { return g_cv.set; }

COLORREF cursorPenColor(int32_t index) {
    if (index < 0 || index >= kCursorCount) index = 0;
    return kCursorColors[g_cv.set.cursors[index].penIndex % kCursorCount];
}

int64_t readoutFrequency() {
    Viewer* v = viewer();
    if (!v) return 0;
    if (v->shell.deviceIndex < 0) {
        HWND list = panelItem(kIdRateList);
        const int index = list ? static_cast<int>(SendMessageW(list, CB_GETCURSEL, 0, 0)) : -1;
        return demoRate(index);
    }
    // With a board the rate tables arrive with the sample-mode work; until then the view's rate.
    return waveViewState().sampleFrequency;
}

std::wstring readoutCaption(int32_t k) {
    if (k < 0 || k >= kReadoutCount) return std::wstring();
    const std::string format = narrow(loadString(readoutCaptionString(g_cv.set.measureMode)));
    const int32_t from = g_cv.set.pairs[k][0], to = g_cv.set.pairs[k][1];
    const auto name = [](int32_t i) {
        return i >= 0 && i < kCursorCount ? narrow(loadString(kStrCursorNameFirst + i)) : std::string();
    };
    return widen(formatReadoutCaption(format, name(from), name(to)));
}

void initCursorView(HWND panel) {
    // A new panel: nothing of an earlier one is on the screen or pending. The cursors stay where
    // the start-up project put them.
    const HFONT markerFont = g_cv.markerFont;
    const CursorSet cursors = g_cv.set;
    g_cv = CursorViewState{};
    g_cv.markerFont = markerFont;
    g_cv.set = cursors;
    markCursorsNotDrawn(g_cv.set);
    setAfterWavesHook(afterWaves);
    setAreaMouseHook(mouseHook);
    g_cv.tooltip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, panel, nullptr,
                                   viewer() ? viewer()->shell.instance : nullptr, nullptr);
    for (int id : kReadoutIds) {
        HWND r = GetDlgItem(panel, id);
        if (!r || !g_cv.tooltip) continue;
        TTTOOLINFOW ti = {};
        ti.cbSize = sizeof ti;
        ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        ti.hwnd = panel;
        ti.uId = reinterpret_cast<UINT_PTR>(r);
        ti.lpszText = const_cast<wchar_t*>(L"");
        SendMessageW(g_cv.tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }
    updateZoomButtons();
    updateScrollBars();
    updateReadouts();
}

void timeBaseChanged() {
    clampFirstSample(waveViewState().view, areaWidth(), sampleCount());
    updateZoomButtons();
    scrolled();
}

void placeCursor(int32_t index, int32_t position) {
    if (index < 0 || index >= kCursorCount) return;
    eraseDrawn();
    setCursorPosition(g_cv.set, index, position, sampleCount());
    redrawCursors();
}

void focusCursor(int32_t index) {
    if (index < 0 || index >= kCursorCount) return;
    g_cv.set.focus = index;
    updateValueColumn();
}

int32_t zoomCommand(WinHandle, uint32_t id, uint32_t, MsgLParam) {
    WaveViewState& s = waveViewState();
    stopInertial();
    bool changed = false;
    if (id == kIdZoomIn) {
        changed = ZoomIn(s.view, areaWidth(), sampleCount());
    } else {
        int32_t* second = viewer() && viewer()->panel.split && s.secondFirstSample >= 0 ? &s.secondFirstSample : nullptr;
        changed = ZoomOut(s.view, areaWidth(), second);
    }
    if (changed) timeBaseChanged();
    else updateZoomButtons();
    return 0;
}

int32_t searchCursorCommand(WinHandle, uint32_t id, uint32_t, MsgLParam) {
    const int32_t index = cursorForSearchCommand(static_cast<int32_t>(id));
    if (index < 0) return 0;
    eraseDrawn();
    if (searchCursor(g_cv.set, index, waveViewState().view, areaWidth(), sampleCount())) scrolled();
    redrawCursors();
    return 0;
}

int32_t pickCursorCommand(WinHandle, uint32_t id, uint32_t, MsgLParam) {
    if (cycleMeasureCursor(g_cv.set, static_cast<int32_t>(id))) updateReadouts();
    return 0;
}

int32_t measureModeCommand(WinHandle, uint32_t, uint32_t, MsgLParam) {
    nextMeasureMode(g_cv.set);
    updateReadouts();
    return 0;
}

int32_t timingStateCommand(WinHandle, uint32_t, uint32_t, MsgLParam) {
    eraseDrawn();
    toggleStateListing();
    return 0;
}

int32_t thumbTrackCommand(WinHandle window, uint32_t, uint32_t, MsgLParam) {
    if (viewer())
        viewer()->settings.realTimeScroll =
            IsDlgButtonChecked(static_cast<HWND>(window), kIdThumbTrack) == BST_CHECKED ? 1 : 0;
    return 0;
}

int32_t cursorViewHScroll(WinHandle, uint32_t, MsgWParam wParam, MsgLParam lParam) {
    if (reinterpret_cast<HWND>(lParam) != panelItem(kIdHScroll)) return FALSE;
    WaveView& view = waveViewState().view;
    const int32_t width = areaWidth(), count = sampleCount();
    stopInertial();
    bool changed = false;
    switch (LOWORD(wParam)) {
        case SB_LINELEFT: changed = scrollView(view, ScrollRequest::LineLeft, width, count); break;
        case SB_LINERIGHT: changed = scrollView(view, ScrollRequest::LineRight, width, count); break;
        case SB_PAGELEFT: changed = scrollView(view, ScrollRequest::PageLeft, width, count); break;
        case SB_PAGERIGHT: changed = scrollView(view, ScrollRequest::PageRight, width, count); break;
        case SB_LEFT: changed = scrollView(view, ScrollRequest::Home, width, count); break;
        case SB_RIGHT: changed = scrollView(view, ScrollRequest::End, width, count); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
            // The waves follow the thumb while it moves only with "Real Time Scroll" checked.
            const bool realTime = IsDlgButtonChecked(viewer()->shell.panel, kIdThumbTrack) == BST_CHECKED;
            if (LOWORD(wParam) == SB_THUMBTRACK && !realTime) return TRUE;
            SCROLLINFO si = {};
            si.cbSize = sizeof si;
            si.fMask = SIF_TRACKPOS;
            GetScrollInfo(reinterpret_cast<HWND>(lParam), SB_CTL, &si);
            changed = scrollViewTo(view, si.nTrackPos, width, count);
            break;
        }
        default: break;
    }
    if (changed) scrolled();
    else updateScrollBars();
    return TRUE;
}

int32_t cursorViewVScroll(WinHandle, uint32_t, MsgWParam wParam, MsgLParam lParam) {
    if (reinterpret_cast<HWND>(lParam) != panelItem(kIdVScroll)) return FALSE;
    WaveView& view = waveViewState().view;
    const int32_t rows = rowCount();
    const RECT w = wavesRect(0);
    const int32_t page = std::max<int32_t>(1, (w.bottom - w.top) / rowHeight());
    int32_t first = view.firstRow;
    switch (LOWORD(wParam)) {
        case SB_LINEUP: --first; break;
        case SB_LINEDOWN: ++first; break;
        case SB_PAGEUP: first -= page; break;
        case SB_PAGEDOWN: first += page; break;
        case SB_TOP: first = 0; break;
        case SB_BOTTOM: first = rows - 1; break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
            SCROLLINFO si = {};
            si.cbSize = sizeof si;
            si.fMask = SIF_TRACKPOS;
            GetScrollInfo(reinterpret_cast<HWND>(lParam), SB_CTL, &si);
            first = si.nTrackPos;
            break;
        }
        default: break;
    }
    // The last rows can reach the top, the way the label list scrolls.
    if (first > rows - 1) first = rows - 1;
    if (first < 0) first = 0;
    if (first != view.firstRow) {
        view.firstRow = first;
        scrolled();
    } else {
        updateScrollBars();
    }
    return TRUE;
}

void inertialTimerTick() {
    Viewer* v = viewer();
    if (!v) return;
    WaveView& view = waveViewState().view;
    const int32_t before = view.firstSample;
    const bool go = inertialScrollTick(g_cv.inertial, view, areaWidth(), sampleCount());
    if (view.firstSample != before) scrolled();
    if (!go) KillTimer(v->shell.panel, kTimerMomentum);
}

bool cursorViewKeyDown(unsigned virtualKey, bool ctrl) {
    WaveView& view = waveViewState().view;
    const ViewKeyResult r =
        handleViewKey(static_cast<int32_t>(virtualKey), ctrl, g_cv.set, view, areaWidth(), sampleCount());
    if (!r.handled) return false;
    if (r.scrolled) {
        stopInertial();
        scrolled();
    }
    // The strokes keep their x: erasing after the move still removes the old lines.
    if (r.cursorMoved || r.scrolled) redrawCursors();
    return true;
}

bool cursorViewWheel(int32_t delta, bool ctrl) {
    stopInertial();
    const WheelResult r = applyWheel(g_cv.wheel, waveViewState().view, delta, ctrl, areaWidth(), sampleCount());
    if (r.zoomed) timeBaseChanged();
    else if (r.changed) scrolled();
    return r.changed;
}

COLORREF cursorColor(int32_t penIndex) {
    return kCursorColors[static_cast<uint32_t>(penIndex) % kCursorCount];
}

}  // namespace kv
