// A demo capture of the largest size, seen whole and zoomed in on a bus: pictures for the record
// (KV_SCREENSHOT_DIR) and the time of a full redraw through GDI into the memory surface.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "viewer/display/label_dialogs_win.h"
#include "viewer/display/label_table.h"
#include "viewer/display/wave_view_win.h"
#include "viewer/shell/panel_commands.h"
#include "tests/ui/ui_harness.h"

namespace kvtest {
namespace {

using kv::g_viewer;

class PicturesTest : public ViewerTest {};

// Milliseconds per full redraw at a zoom: into the memory surface (renderer and GDI), and the
// transfer of the surface to the window with the cursors.
struct RedrawTime {
    double surface = 0, transfer = 0;
};

RedrawTime redrawTime(kv::WaveView& view, int zoomIn, int zoomOut) {
    view.zoomIn = zoomIn;
    view.zoomOut = zoomOut;
    LARGE_INTEGER f, a, b, c;
    QueryPerformanceFrequency(&f);
    const int runs = 10;
    kv::drawWavesToSurface(view);   // warm: scratch space and pens exist
    RedrawTime t;
    for (int i = 0; i < runs; ++i) {
        QueryPerformanceCounter(&a);
        kv::drawWavesToSurface(view);
        GdiFlush();
        QueryPerformanceCounter(&b);
        kv::transferWaveSurface();
        GdiFlush();
        QueryPerformanceCounter(&c);
        t.surface += static_cast<double>(b.QuadPart - a.QuadPart);
        t.transfer += static_cast<double>(c.QuadPart - b.QuadPart);
    }
    t.surface *= 1000.0 / static_cast<double>(f.QuadPart) / runs;
    t.transfer *= 1000.0 / static_cast<double>(f.QuadPart) / runs;
    return t;
}

TEST_F(PicturesTest, LargestDemoCaptureWithABusRow) {
    createSettingsKey();
    writeDword("giBufSizeDemo", 16 * 1024 * 1024);
    ASSERT_TRUE(startViewer());
    SetWindowPos(mainWindow(), nullptr, 0, 0, 1250, 900, SWP_NOZORDER);
    pump(50);

    SendMessageW(panel(), WM_COMMAND, kv::kIdAcquire, 0);
    ASSERT_TRUE(pumpUntil([] { return g_viewer->acq.thread == nullptr; }, 60000));
    EXPECT_EQ(g_viewer->store.logicalCount(), 2097152);
    pump(100);
    saveWindowPicture(mainWindow(), "demo-capture");
    // The rows below, CH-32 to CH-63.
    kv::waveViewState().view.firstRow = 32;
    InvalidateRect(panelItem(kv::kIdWaveArea), nullptr, FALSE);
    pump(100);
    saveWindowPicture(mainWindow(), "demo-capture-lower-rows");
    kv::waveViewState().view.firstRow = 0;
    InvalidateRect(panelItem(kv::kIdWaveArea), nullptr, FALSE);
    pump(50);

    // CH-00 to CH-07 as one bus, least significant first.
    std::vector<std::string> members, rest;
    for (int c = 0; c < 8; ++c) members.push_back("CH-0" + std::to_string(c));
    for (int c = 8; c < 64; ++c) rest.push_back((c < 10 ? "CH-0" : "CH-") + std::to_string(c));
    ASSERT_EQ(kv::combineLabels(g_viewer->labels, "BUS0", members, rest), 0);
    kv::labelsChanged();
    for (int i = 0; i < 5; ++i) SendMessageW(panel(), WM_COMMAND, kv::kIdZoomIn, 0);
    pump(100);
    saveWindowPicture(mainWindow(), "demo-bus-zoomed");

    // Figures only: the time of a full redraw with waves 1,000 x 800 pixels wide.
    HWND areaWindow = panelItem(kv::kIdWaveArea);
    for (int attempt = 0; attempt < 3; ++attempt) {
        const RECT waves = kv::paneWavesRect(areaWindow, 0);
        const int dx = 1000 - (waves.right - waves.left), dy = 800 - (waves.bottom - waves.top);
        if (dx == 0 && dy == 0) break;
        RECT frame;
        GetWindowRect(mainWindow(), &frame);
        SetWindowPos(mainWindow(), nullptr, 0, 0, frame.right - frame.left + dx, frame.bottom - frame.top + dy,
                     SWP_NOZORDER | SWP_NOMOVE);
        pump(50);
    }
    kv::WaveView& view = kv::waveViewState().view;
    const int keepIn = view.zoomIn, keepOut = view.zoomOut;
    const RECT waves = kv::paneWavesRect(areaWindow, 0);
    const RedrawTime out11 = redrawTime(view, 0, 11), zoom0 = redrawTime(view, 0, 0), in6 = redrawTime(view, 6, 0);
    std::printf("full redraw, waves %ldx%ld, %zu rows, 2,097,152 samples; into the memory surface / transfer with "
                "cursors: zoomOut 11 %.2f / %.2f ms, zoom 0 %.2f / %.2f ms, zoomIn 6 %.2f / %.2f ms\n",
                waves.right - waves.left, waves.bottom - waves.top, kv::labelRows(g_viewer->labels.table).size(),
                out11.surface, out11.transfer, zoom0.surface, zoom0.transfer, in6.surface, in6.transfer);
    // With the pulse widths written into the traces ("System WaveTiming").
    g_viewer->settings.systemWaveTiming = 1;
    const RedrawTime timed11 = redrawTime(view, 0, 11), timed0 = redrawTime(view, 0, 0);
    g_viewer->settings.systemWaveTiming = 0;
    std::printf("with pulse widths: zoomOut 11 %.2f / %.2f ms, zoom 0 %.2f / %.2f ms\n", timed11.surface,
                timed11.transfer, timed0.surface, timed0.transfer);
    // The whole capture at the widest zoom, where every column of the fast channels is full.
    view.zoomIn = 0;
    view.zoomOut = 11;
    view.firstSample = 0;
    kv::drawWavesToSurface(view);
    kv::transferWaveSurface();
    pump(50);
    saveWindowPicture(mainWindow(), "demo-whole-capture");
    view.zoomIn = keepIn;
    view.zoomOut = keepOut;
}

}  // namespace
}  // namespace kvtest
