// The waveform area as the user sees it: pixels read back from its off-screen surface after the
// viewer drew a known capture, and its name buttons.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "viewer/display/label_dialogs_win.h"
#include "viewer/display/wave_view_win.h"
#include "viewer/shell/panel_commands.h"
#include "tests/ui/ui_harness.h"

namespace kvtest {
namespace {

using kv::g_viewer;

class ViewTest : public ViewerTest {
protected:
    // Channel 0 toggles every sample, starting low; channel 1 stays high.
    std::vector<uint64_t> words_ = std::vector<uint64_t>(4097, 0);

    void showCapture(int zoomIn, int zoomOut) {
        for (size_t i = 0; i + 1 < words_.size(); ++i) words_[i] = (i & 1) | 2;
        pump(200);   // the start-up's own label set-up comes first
        kv::Viewer& v = *g_viewer;
        v.store.attach(reinterpret_cast<uint8_t*>(words_.data()), 4096 * 8, 64, 64, 64, kv::kStoragePacked);
        v.settings.wavePartition = 0;
        v.settings.systemWaveTiming = 0;
        v.settings.waveHeight = 24;
        kv::LabelTable& t = v.labels.table;
        for (kv::LabelEntry& e : t.entries)
            if (e.rowButton) DestroyWindow(static_cast<HWND>(e.rowButton));
        t = kv::LabelTable{};
        const int channels[3] = {0, 1, 70};   // channel 70 exists on no device
        for (int k = 0; k < 3; ++k) {
            t.entries[k].channel = channels[k];
            t.entries[k].kind = kv::kLabelSingle;
            t.entries[k].colorIndex = 2;
            wsprintfA(t.entries[k].name, "L%d", k);
        }
        kv::WaveView& view = kv::waveViewState().view;
        view.firstSample = 0;
        view.firstRow = 0;
        view.zoomIn = zoomIn;
        view.zoomOut = zoomOut;
        view.gridSpacing = 50;
        kv::waveViewState().valueSample = 3;
        HWND area = panelItem(kv::kIdWaveArea);
        RedrawWindow(area, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        pump(50);
    }
    void TearDown() override {
        if (g_viewer) g_viewer->store.attach(nullptr, 0, 64, 64, 64, kv::kStoragePacked);
        ViewerTest::TearDown();
    }
};

TEST_F(ViewTest, AtZoomIn6AChannelTogglingEverySampleChangesLevelEvery64Pixels) {
    ASSERT_TRUE(startViewer());
    showCapture(6, 0);
    HWND area = panelItem(kv::kIdWaveArea);
    const RECT waves = kv::paneWavesRect(area, 0);
    ASSERT_GT(waves.right - waves.left, 64 * 4);
    const COLORREF trace = kv::labelColor(2);
    const int high = 24 / 6, low = 24 - 24 / 6;
    const int samples = (waves.right - waves.left) / 64;
    for (int i = 0; i < samples; ++i) {
        // Inside each sample, away from its edges and from the grid lines every 50 pixels.
        int x = waves.left + 64 * i + 20;
        if ((x - waves.left) % 50 == 0) ++x;
        const bool isHigh = (i & 1) != 0;
        EXPECT_EQ(kv::waveSurfacePixel(x, isHigh ? high : low), trace) << "sample " << i;
        EXPECT_NE(kv::waveSurfacePixel(x, isHigh ? low : high), trace) << "sample " << i;
        // A vertical stroke where each sample begins, none between.
        if (i > 0) {
            EXPECT_EQ(kv::waveSurfacePixel(waves.left + 64 * i, 12), trace) << "edge " << i;
        }
        EXPECT_NE(kv::waveSurfacePixel(waves.left + 64 * i + 32, 12), trace) << "middle " << i;
    }
    // The steady channel: high all along its row.
    EXPECT_EQ(kv::waveSurfacePixel(waves.left + 30, 24 + high), trace);
}

TEST_F(ViewTest, NameButtonsFollowTheRowsAndAreDisabledBeyondTheDevicesChannels) {
    ASSERT_TRUE(startViewer());
    showCapture(0, 0);
    const kv::LabelTable& t = g_viewer->labels.table;
    for (int k = 0; k < 3; ++k) {
        HWND b = static_cast<HWND>(t.entries[k].rowButton);
        ASSERT_NE(b, nullptr) << k;
        EXPECT_TRUE(IsWindowVisible(b));
        RECT r;
        GetWindowRect(b, &r);
        MapWindowPoints(nullptr, panelItem(kv::kIdWaveArea), reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.top, 24 * k);
        EXPECT_EQ(r.right - r.left, kv::waveViewState().view.nameWidth);
        EXPECT_EQ(IsWindowEnabled(b) != FALSE, k < 2) << k;
    }
    // The disabled row is not drawn: nothing in its row of the waves.
    HWND area = panelItem(kv::kIdWaveArea);
    const RECT waves = kv::paneWavesRect(area, 0);
    for (int x = waves.left + 1; x < waves.left + 40; ++x) {
        if ((x - waves.left) % 50 == 0) continue;
        EXPECT_NE(kv::waveSurfacePixel(x, 48 + 4), kv::labelColor(2));
        EXPECT_NE(kv::waveSurfacePixel(x, 48 + 20), kv::labelColor(2));
    }
}

}  // namespace
}  // namespace kvtest
