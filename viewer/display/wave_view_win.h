// The waveform area of the main panel ("KvWaveArea"): name buttons, channel and value columns and the
// waves, drawn from the portable primitives into an off-screen bitmap and copied in one transfer.
#pragma once

#include <windows.h>

#include <functional>

#include "viewer/display/time_base.h"
#include "viewer/display/wave_render.h"

namespace kv {

// The compared capture's traces (comparison mode): pink, a colour outside the label colours.
const COLORREF kCompareTraceColor = RGB(255, 128, 192);

// The view's state that outlives one repaint.
struct WaveViewState {
    WaveView view;                   // the main pane (the second pane substitutes its first sample)
    bool stateMode = false;          // the state listing instead of the timing view
    int32_t secondFirstSample = -1;  // split view: the second pane's first sample (-1: not yet placed)
    bool secondPane = false;         // set while the second pane is being drawn
    int32_t valueSample = 0;         // the value column shows the values at this sample (focused cursor)
    int64_t sampleFrequency = 100000000;  // for pulse widths
    bool suspended = false;          // drawing suspended
};
WaveViewState& waveViewState();

// Defaults of the view record before the settings are applied.
void resetWaveView(WaveView& view);

// The window procedure of class "KvWaveArea".
LRESULT CALLBACK waveAreaProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Repaints the waveform area; the arguments as the portable DrawRequest. In the state listing the
// state list is drawn instead; with the split view on the second pane is drawn first.
void DrawWavesDispatch(WaveView& view, int32_t fromOffset, int32_t toOffset, int32_t firstRowToDraw, int32_t rowCount);
void DrawWaves(WaveView& view, int32_t fromOffset, int32_t toOffset, int32_t firstRowToDraw, int32_t rowCount);
// The two halves of a full repaint: every pane into the off-screen surface, then the surface to
// the window with the cursors over it.
void drawWavesToSurface(WaveView& view);
void transferWaveSurface();
// The channel-list (and value) column into the pane's memory surface.
void DrawChannelColumn(WaveView& view);
// The vertical grid lines, with XOR: a second call erases them.
void DrawGrid(WaveView& view);

// "Timing & State Analysis Switch": toggles the state listing and repaints.
void toggleStateListing();

// Called after every repaint with the window's DC and the waves' rectangle of a pane, so that the
// cursors are drawn again over the fresh waves.
void setAfterWavesHook(std::function<void(HWND area, HDC dc, int32_t paneIndex, const RECT& waves)> hook);

// Mouse messages of the area that the column borders leave (button down outside a border, moves,
// button up, lost capture) go first to this hook; true when it used the message.
void setAreaMouseHook(std::function<bool(HWND area, UINT message, WPARAM wParam, LPARAM lParam)> hook);

// A pixel of the area's off-screen surface as last drawn (CLR_INVALID outside it), for checks of
// what the view shows.
COLORREF waveSurfacePixel(int32_t x, int32_t y);

// The rectangle of a pane's waves inside the area's client rectangle.
RECT paneWavesRect(HWND area, int32_t paneIndex);

}  // namespace kv
