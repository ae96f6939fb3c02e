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

double redrawMilliseconds(kv::WaveView& view, int zoomIn, int zoomOut) {
    view.zoomIn = zoomIn;
    view.zoomOut = zoomOut;
    LARGE_INTEGER f, a, b;
    QueryPerformanceFrequency(&f);
    const int runs = 10;
    QueryPerformanceCounter(&a);
    for (int i = 0; i < runs; ++i) kv::DrawWavesDispatch(view, 0, -1, 0, 0);
    GdiFlush();
    QueryPerformanceCounter(&b);
    return 1000.0 * static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(f.QuadPart) / runs;
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

    // CH-00 to CH-07 as one bus, least significant first.
    std::vector<std::string> members, rest;
    for (int c = 0; c < 8; ++c) members.push_back("CH-0" + std::to_string(c));
    for (int c = 8; c < 64; ++c) rest.push_back((c < 10 ? "CH-0" : "CH-") + std::to_string(c));
    ASSERT_EQ(kv::combineLabels(g_viewer->labels, "BUS0", members, rest), 0);
    kv::labelsChanged();
    for (int i = 0; i < 5; ++i) SendMessageW(panel(), WM_COMMAND, kv::kIdZoomIn, 0);
    pump(100);
    saveWindowPicture(mainWindow(), "demo-bus-zoomed");

    // Figures only: the time of a full redraw of the area into the memory surface.
    kv::WaveView& view = kv::waveViewState().view;
    const int keepIn = view.zoomIn, keepOut = view.zoomOut;
    RECT area;
    GetClientRect(panelItem(kv::kIdWaveArea), &area);
    std::printf("full redraw of a %ldx%ld area, 2,097,152 samples: zoomOut 11 %.2f ms, zoom 0 %.2f ms, "
                "zoomIn 6 %.2f ms\n",
                area.right, area.bottom, redrawMilliseconds(view, 0, 11), redrawMilliseconds(view, 0, 0),
                redrawMilliseconds(view, 6, 0));
    view.zoomIn = keepIn;
    view.zoomOut = keepOut;
}

}  // namespace
}  // namespace kvtest
