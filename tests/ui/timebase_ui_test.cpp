// The time base and the cursors in the running viewer: the zoom buttons and their limits, Ctrl+wheel,
// the scroll bar, the search-cursor buttons, the readouts, keys moving the focused cursor and the
// value column following it.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "viewer/display/cursor_view_win.h"
#include "viewer/display/label_dialogs_win.h"
#include "viewer/display/measuring.h"
#include "viewer/display/wave_view_win.h"
#include "viewer/shell/panel_commands.h"
#include "tests/ui/ui_harness.h"

namespace kvtest {
namespace {

using kv::g_viewer;

constexpr int32_t kSamples = 4096;

class TimeBaseTest : public ViewerTest {
protected:
    std::vector<uint64_t> words_ = std::vector<uint64_t>(kSamples + 1, 0);

    // A known capture of 4,096 samples (channel 0 toggling every sample) with two labels.
    void showCapture(int zoomIn, int zoomOut) {
        for (int32_t i = 0; i < kSamples; ++i) words_[i] = (i & 1) | 2;
        pump(200);
        kv::Viewer& v = *g_viewer;
        v.store.attach(reinterpret_cast<uint8_t*>(words_.data()), kSamples * 8, 64, 64, 64, kv::kStoragePacked);
        v.settings.waveHeight = 24;
        kv::LabelTable& t = v.labels.table;
        for (kv::LabelEntry& e : t.entries)
            if (e.rowButton) DestroyWindow(static_cast<HWND>(e.rowButton));
        t = kv::LabelTable{};
        for (int k = 0; k < 2; ++k) {
            t.entries[k].channel = k;
            t.entries[k].kind = kv::kLabelSingle;
            t.entries[k].colorIndex = 2;
            wsprintfA(t.entries[k].name, "L%d", k);
        }
        kv::WaveView& view = kv::waveViewState().view;
        view.firstSample = 0;
        view.firstRow = 0;
        view.zoomIn = zoomIn;
        view.zoomOut = zoomOut;
        kv::timeBaseChanged();
        RedrawWindow(panelItem(kv::kIdWaveArea), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        pump(50);
    }
    void command(int id) { SendMessageW(panel(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    int32_t areaWidth() {
        const RECT r = kv::paneWavesRect(panelItem(kv::kIdWaveArea), 0);
        return r.right - r.left;
    }
    const kv::WaveView& view() { return kv::waveViewState().view; }
    void TearDown() override {
        if (g_viewer) g_viewer->store.attach(nullptr, 0, 64, 64, 64, kv::kStoragePacked);
        ViewerTest::TearDown();
    }
};

TEST_F(TimeBaseTest, ZoomButtonsStopAtTheLimitsAndAreDisabledThere) {
    ASSERT_TRUE(startViewer());
    showCapture(4, 0);
    EXPECT_TRUE(IsWindowEnabled(panelItem(kv::kIdZoomIn)));
    command(kv::kIdZoomIn);
    EXPECT_EQ(view().zoomIn, 5);
    EXPECT_TRUE(IsWindowEnabled(panelItem(kv::kIdZoomIn)));
    command(kv::kIdZoomIn);
    EXPECT_EQ(view().zoomIn, 6);
    EXPECT_FALSE(IsWindowEnabled(panelItem(kv::kIdZoomIn)));
    // A command reaching the panel anyway (a key) changes nothing.
    command(kv::kIdZoomIn);
    EXPECT_EQ(view().zoomIn, 6);
    EXPECT_EQ(view().zoomOut, 0);

    // Out: six steps back to one sample per pixel, then eleven more.
    for (int i = 0; i < 6 + 10; ++i) command(kv::kIdZoomOut);
    EXPECT_EQ(view().zoomIn, 0);
    EXPECT_EQ(view().zoomOut, 10);
    EXPECT_TRUE(IsWindowEnabled(panelItem(kv::kIdZoomOut)));
    EXPECT_TRUE(IsWindowEnabled(panelItem(kv::kIdZoomIn)));
    command(kv::kIdZoomOut);
    EXPECT_EQ(view().zoomOut, 11);
    EXPECT_FALSE(IsWindowEnabled(panelItem(kv::kIdZoomOut)));
    command(kv::kIdZoomOut);
    EXPECT_EQ(view().zoomOut, 11);
    EXPECT_GE(view().firstSample, 0);
    // Zooming in again enables zoom out.
    command(kv::kIdZoomIn);
    EXPECT_EQ(view().zoomOut, 10);
    EXPECT_TRUE(IsWindowEnabled(panelItem(kv::kIdZoomOut)));
}

TEST_F(TimeBaseTest, CtrlWheelZoomsOneStepPerNotchAndThePlainWheelScrolls) {
    ASSERT_TRUE(startViewer());
    showCapture(2, 0);
    SendMessageW(mainWindow(), WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, WHEEL_DELTA), 0);
    EXPECT_EQ(view().zoomIn, 3);
    SendMessageW(mainWindow(), WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, static_cast<WORD>(-WHEEL_DELTA)), 0);
    EXPECT_EQ(view().zoomIn, 2);
    EXPECT_EQ(view().zoomOut, 0);

    // Without Ctrl: towards the user scrolls to later samples, and the scroll bar follows.
    ASSERT_EQ(view().firstSample, 0);
    SendMessageW(mainWindow(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
    EXPECT_EQ(view().zoomIn, 2);
    EXPECT_GT(view().firstSample, 0);
    EXPECT_EQ(GetScrollPos(panelItem(kv::kIdHScroll), SB_CTL), view().firstSample);
}

TEST_F(TimeBaseTest, ScrollBarMovesTheViewWithinTheCapture) {
    ASSERT_TRUE(startViewer());
    showCapture(2, 0);
    HWND bar = panelItem(kv::kIdHScroll);
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(bar, SB_CTL, &si));
    EXPECT_EQ(si.nMax, kSamples - 1);
    EXPECT_EQ(static_cast<int>(si.nPage), areaWidth() / 4);
    SendMessageW(panel(), WM_HSCROLL, SB_PAGERIGHT, reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(view().firstSample, areaWidth() / 4);
    SendMessageW(panel(), WM_HSCROLL, SB_RIGHT, reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(view().firstSample, kSamples - areaWidth() / 4);
    SendMessageW(panel(), WM_HSCROLL, SB_PAGERIGHT, reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(view().firstSample, kSamples - areaWidth() / 4);
    SendMessageW(panel(), WM_HSCROLL, SB_LEFT, reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(view().firstSample, 0);
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), 0);
}

TEST_F(TimeBaseTest, ReadoutShowsTheTimeBetweenItsCursorsAtTheSelectedRate) {
    ASSERT_TRUE(startViewer());
    showCapture(0, 0);
    // The default demo rate is 100 MHz; readout 1 measures from cursor A to cursor B.
    ASSERT_EQ(kv::readoutFrequency(), 100000000);
    kv::placeCursor(kv::kCursorA, 100);
    kv::placeCursor(kv::kCursorB, 250);
    EXPECT_EQ(textOf(panelItem(kv::kIdReadout1)), L"1.5 us");
    kv::placeCursor(kv::kCursorB, 50);
    EXPECT_EQ(textOf(panelItem(kv::kIdReadout1)), L"-500 ns");
    EXPECT_EQ(kv::readoutCaption(0), L"Timing (Form Cursor A to Cursor B)");

    // Another rate: the same distance reads differently.
    SendMessageW(panelItem(kv::kIdRateList), CB_SETCURSEL, 7, 0);   // 1 MHz
    kv::placeCursor(kv::kCursorB, 250);
    EXPECT_EQ(textOf(panelItem(kv::kIdReadout1)), L"150 us");

    // The measure button (and Space) switches to frequency, then sample clocks.
    command(kv::kIdMeasure);
    EXPECT_EQ(kv::readoutCaption(0), L"Frequency (Form Cursor A to Cursor B)");
    command(kv::kIdMeasure);
    EXPECT_EQ(textOf(panelItem(kv::kIdReadout1)), L"150");
    EXPECT_EQ(kv::readoutCaption(0), L"Sample Clocks (From Cursor A to Cursor B)");
    // The lower pick button of readout 1 moves its end to the next cursor (C).
    kv::placeCursor(kv::kCursorC, 400);
    command(1026);
    EXPECT_EQ(textOf(panelItem(kv::kIdReadout1)), L"300");
    EXPECT_EQ(kv::readoutCaption(0), L"Sample Clocks (From Cursor A to Cursor C)");
}

TEST_F(TimeBaseTest, SearchCursorButtonsBringTheirCursorIntoViewAndFocusIt) {
    ASSERT_TRUE(startViewer());
    showCapture(6, 0);
    const int32_t span = areaWidth() / 64;
    ASSERT_GT(span, 2);
    kv::placeCursor(kv::kCursorC, 3000);
    ASSERT_EQ(view().firstSample, 0);
    EXPECT_LT(kv::cursorSet().cursors[kv::kCursorC].drawnX, 0);
    command(kv::kIdCursorC);
    EXPECT_LE(view().firstSample, 3000);
    EXPECT_GT(view().firstSample + span, 3000);
    EXPECT_EQ(kv::cursorSet().focus, kv::kCursorC);
    EXPECT_EQ(GetScrollPos(panelItem(kv::kIdHScroll), SB_CTL), view().firstSample);
    pump(50);
    // Drawn after the repaint, at its place in the area.
    EXPECT_EQ(kv::cursorSet().cursors[kv::kCursorC].drawnX, (3000 - view().firstSample) * 64);
    // The value column now shows the values at cursor C.
    EXPECT_EQ(kv::waveViewState().valueSample, 3000);

    // The trigger cursor is kept at sample 16 or later.
    command(kv::kIdCursorTrigger);
    EXPECT_EQ(kv::cursorSet().focus, kv::kCursorTrigger);
    EXPECT_LE(view().firstSample, kv::cursorSet().cursors[kv::kCursorTrigger].position);
    EXPECT_GE(kv::cursorSet().cursors[kv::kCursorTrigger].position, 16);
}

TEST_F(TimeBaseTest, ArrowKeysMoveTheFocusedCursorAndPageKeysScroll) {
    ASSERT_TRUE(startViewer());
    showCapture(0, 1);   // two samples per pixel column
    kv::placeCursor(kv::kCursorA, 200);
    kv::focusCursor(kv::kCursorA);
    SendMessageW(mainWindow(), WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_EQ(kv::cursorSet().cursors[kv::kCursorA].position, 202);
    SendMessageW(mainWindow(), WM_KEYDOWN, VK_LEFT, 0);
    SendMessageW(mainWindow(), WM_KEYDOWN, VK_LEFT, 0);
    EXPECT_EQ(kv::cursorSet().cursors[kv::kCursorA].position, 198);
    pump(50);
    EXPECT_EQ(kv::waveViewState().valueSample, 198);

    SendMessageW(mainWindow(), WM_KEYDOWN, VK_NEXT, 0);
    EXPECT_EQ(view().firstSample, std::max(0, std::min(areaWidth() * 2, kSamples - areaWidth() * 2)));
    SendMessageW(mainWindow(), WM_KEYDOWN, VK_PRIOR, 0);
    EXPECT_EQ(view().firstSample, 0);
}

TEST_F(TimeBaseTest, CursorsOnOnePixelLeaveOneLineAndTheStateListingHidesThem) {
    ASSERT_TRUE(startViewer());
    showCapture(0, 3);   // eight samples per pixel column
    kv::placeCursor(kv::kCursorA, 80);
    kv::placeCursor(kv::kCursorB, 83);
    const kv::CursorSet& set = kv::cursorSet();
    EXPECT_EQ(set.cursors[kv::kCursorA].drawnX, 10);
    EXPECT_EQ(set.cursors[kv::kCursorB].drawnX, 10);
    // Both have a marker, side by side, so either can be grabbed.
    EXPECT_GE(set.cursors[kv::kCursorA].markerX, 0);
    EXPECT_GE(set.cursors[kv::kCursorB].markerX, set.cursors[kv::kCursorA].markerX + kv::kMarkerWidth);

    // On the screen: one line in the colour of cursor A over the empty background below the rows
    // (two XOR strokes on the same column would leave the background).
    HWND area = panelItem(kv::kIdWaveArea);
    const RECT waves = kv::paneWavesRect(area, 0);
    HDC dc = GetDC(area);
    EXPECT_EQ(GetPixel(dc, waves.left + 10, 24 * 3 + 12), RGB(255, 255, 0));
    EXPECT_EQ(GetPixel(dc, waves.left + 11, 24 * 3 + 12), kv::labelColor(g_viewer->settings.backgroundColor));
    ReleaseDC(area, dc);

    command(kv::kIdTimingState);
    pump(50);
    EXPECT_TRUE(kv::waveViewState().stateMode);
    EXPECT_LT(kv::cursorSet().cursors[kv::kCursorA].drawnX, 0);
    command(kv::kIdTimingState);
    pump(50);
    EXPECT_FALSE(kv::waveViewState().stateMode);
    EXPECT_EQ(kv::cursorSet().cursors[kv::kCursorA].drawnX, 10);
}

TEST_F(TimeBaseTest, DraggingACursorSnapsScrollsAtTheEdgeAndCarriesCursorEWithCtrl) {
    ASSERT_TRUE(startViewer());
    showCapture(2, 0);   // four pixels per sample
    HWND area = panelItem(kv::kIdWaveArea);
    const RECT waves = kv::paneWavesRect(area, 0);
    const int y = 24 * 3 + 5;   // below the rows: nothing to snap to
    kv::placeCursor(kv::kCursorA, 10);
    kv::placeCursor(kv::kCursorE, 30);
    ASSERT_EQ(kv::cursorSet().cursors[kv::kCursorA].drawnX, 40);
    const auto at = [&](int x, int yy) { return MAKELPARAM(waves.left + x, yy); };

    SendMessageW(area, WM_LBUTTONDOWN, MK_LBUTTON, at(41, y));
    SendMessageW(area, WM_MOUSEMOVE, MK_LBUTTON, at(81, y));
    EXPECT_EQ(kv::cursorSet().cursors[kv::kCursorA].position, 20);
    EXPECT_EQ(kv::cursorSet().cursors[kv::kCursorE].position, 30);
    // With Ctrl, cursor E keeps the distance it had when the drag began (20 samples).
    SendMessageW(area, WM_MOUSEMOVE, MK_LBUTTON | MK_CONTROL, at(101, y));
    EXPECT_EQ(kv::cursorSet().cursors[kv::kCursorA].position, 25);
    EXPECT_EQ(kv::cursorSet().cursors[kv::kCursorE].position, 45);
    // Over row 0 (channel 0 toggles every sample) the cursor snaps to the sample after a transition.
    g_viewer->settings.electricGrid = 1;
    SendMessageW(area, WM_MOUSEMOVE, MK_LBUTTON, at(121, 5));
    EXPECT_EQ(kv::cursorSet().cursors[kv::kCursorA].position, 31);
    // Past the right edge the waves scroll under the cursor.
    const int width = waves.right - waves.left;
    SendMessageW(area, WM_MOUSEMOVE, MK_LBUTTON, at(width + 50, y));
    EXPECT_GT(view().firstSample, 0);
    EXPECT_EQ(GetScrollPos(panelItem(kv::kIdHScroll), SB_CTL), view().firstSample);
    SendMessageW(area, WM_LBUTTONUP, 0, at(width + 50, y));
    const int32_t released = kv::cursorSet().cursors[kv::kCursorA].position;
    SendMessageW(area, WM_MOUSEMOVE, 0, at(10, y));
    EXPECT_EQ(kv::cursorSet().cursors[kv::kCursorA].position, released);
}

TEST_F(TimeBaseTest, WithInertialOnDraggingTheWavesScrollsAndKeepsMovingAfterRelease) {
    ASSERT_TRUE(startViewer());
    showCapture(0, 0);
    HWND area = panelItem(kv::kIdWaveArea);
    const RECT waves = kv::paneWavesRect(area, 0);
    const int y = 24 * 3 + 5;
    // Without the setting a press on the waves away from a cursor does nothing.
    g_viewer->settings.inertial = 0;
    SendMessageW(area, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(waves.left + 300, y));
    SendMessageW(area, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(waves.left + 100, y));
    SendMessageW(area, WM_LBUTTONUP, 0, MAKELPARAM(waves.left + 100, y));
    EXPECT_EQ(view().firstSample, 0);

    g_viewer->settings.inertial = 1;
    SendMessageW(area, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(waves.left + 300, y));
    SendMessageW(area, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(waves.left + 100, y));
    // A drag to the left brings later samples in, one per pixel at this zoom.
    EXPECT_EQ(view().firstSample, 200);
    Sleep(250);   // long enough a drag to start momentum
    SendMessageW(area, WM_LBUTTONUP, 0, MAKELPARAM(waves.left + 100, y));
    EXPECT_TRUE(pumpUntil([&] { return view().firstSample > 200; }, 3000));
    EXPECT_EQ(GetScrollPos(panelItem(kv::kIdHScroll), SB_CTL), view().firstSample);
    // A zoom stops the momentum.
    command(kv::kIdZoomIn);
    const int32_t after = view().firstSample;
    pump(400);
    EXPECT_EQ(view().firstSample, after);
}

TEST_F(TimeBaseTest, MarkersCarryTheCursorLetterAndMovingACursorLeavesNoTrace) {
    ASSERT_TRUE(startViewer());
    showCapture(0, 0);
    // Rows scrolled away: the waves are bare background, so the XOR strokes show their own colours.
    kv::waveViewState().view.firstRow = 2;
    kv::timeBaseChanged();
    pump(100);
    kv::placeCursor(kv::kCursorA, 3000);   // its marker would stand beside B's
    kv::placeCursor(kv::kCursorB, 110);
    HWND area = panelItem(kv::kIdWaveArea);
    const RECT waves = kv::paneWavesRect(area, 0);
    ASSERT_GT(waves.right - waves.left, 200);
    const int32_t marker = kv::cursorSet().cursors[kv::kCursorB].markerX;
    ASSERT_EQ(marker, 110);
    const COLORREF green = RGB(0, 255, 0);
    const COLORREF background = kv::labelColor(g_viewer->settings.backgroundColor);
    const auto greenIn = [&](HDC dc, int x0, int x1) {
        int n = 0;
        for (int x = x0; x <= x1; ++x)
            for (int y = 1; y < 10; ++y)
                if (x != 110 && GetPixel(dc, waves.left + x, waves.top + y) == green) ++n;
        return n;
    };
    HDC dc = GetDC(area);
    EXPECT_EQ(GetPixel(dc, waves.left + marker - 6, waves.top + 4), green);   // the flag's side
    EXPECT_GT(greenIn(dc, marker - 5, marker + 5), 3);                         // the letter
    ReleaseDC(area, dc);

    kv::placeCursor(kv::kCursorB, 160);
    dc = GetDC(area);
    EXPECT_EQ(greenIn(dc, marker - 6, marker + 6), 0);
    EXPECT_EQ(GetPixel(dc, waves.left + 110, waves.top + 50), background);
    EXPECT_EQ(GetPixel(dc, waves.left + 160, waves.top + 50), green);
    ReleaseDC(area, dc);
}

TEST_F(TimeBaseTest, MeasuringLineIsPulledWithXorStrokesAndShowsItsWidth) {
    ASSERT_TRUE(startViewer());
    showCapture(0, 0);
    kv::waveViewState().view.firstRow = 2;   // bare background under the line
    kv::timeBaseChanged();
    pump(100);
    g_viewer->settings.inertial = 0;
    HWND area = panelItem(kv::kIdWaveArea);
    const RECT waves = kv::paneWavesRect(area, 0);
    const COLORREF background = kv::labelColor(g_viewer->settings.backgroundColor);
    const COLORREF inverted = background ^ RGB(255, 255, 255);
    const int y = waves.top + 60;
    const auto pixel = [&](int x, int yy) {
        HDC dc = GetDC(area);
        const COLORREF c = GetPixel(dc, waves.left + x, yy);
        ReleaseDC(area, dc);
        return c;
    };
    const auto status = [&] {
        wchar_t text[128] = {};
        GetDlgItemTextW(panel(), kv::kIdStatus, text, 128);
        return std::wstring(text);
    };
    const auto expected = [&](int dx) {
        const kv::WaveView& v = view();
        const std::string t =
            kv::measuringLineText(dx, v.zoomIn, v.zoomOut, kv::waveViewState().sampleFrequency, false, 0);
        return std::wstring(t.begin(), t.end());
    };
    SendMessageW(area, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(waves.left + 130, y));
    SendMessageW(area, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(waves.left + 230, y));
    EXPECT_EQ(pixel(180, y), inverted);
    EXPECT_EQ(status(), expected(100));
    // (away from the cursor lines at 100, 200, ...) Pulled further down and right: the first stroke is gone, the new one runs to the mouse.
    SendMessageW(area, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(waves.left + 330, y + 100));
    EXPECT_EQ(pixel(180, y), background);
    EXPECT_EQ(pixel(230, y + 50), inverted);
    EXPECT_EQ(status(), expected(200));
    EXPECT_NE(status().find(L"Volt = ??, Freq = "), std::wstring::npos);
    saveWindowPicture(GetAncestor(area, GA_ROOT), "measuring_line");
    // Released: the line is erased, the text stays; the waves did not move and no cursor came.
    SendMessageW(area, WM_LBUTTONUP, 0, MAKELPARAM(waves.left + 330, y + 100));
    EXPECT_EQ(pixel(230, y + 50), background);
    EXPECT_EQ(status(), expected(200));
    EXPECT_EQ(view().firstSample, 0);

    // With momentum scrolling on, Shift still pulls the line (a plain drag scrolls).
    g_viewer->settings.inertial = 1;
    SendMessageW(area, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(waves.left + 350, y));
    SendMessageW(area, WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, MAKELPARAM(waves.left + 330, y));
    EXPECT_EQ(pixel(340, y), inverted);
    EXPECT_EQ(status(), expected(-20));
    SendMessageW(area, WM_LBUTTONUP, 0, MAKELPARAM(waves.left + 330, y));
    EXPECT_EQ(pixel(340, y), background);
    EXPECT_EQ(view().firstSample, 0);
    g_viewer->settings.inertial = 0;
}

TEST_F(TimeBaseTest, FocusedCursorAtTheLastSampleComesBackToOneHundredForTheValueColumn) {
    ASSERT_TRUE(startViewer());
    showCapture(0, 0);
    g_viewer->settings.valueField = kv::kValueChannel;
    kv::focusCursor(kv::kCursorB);
    kv::placeCursor(kv::kCursorB, kSamples - 1);
    EXPECT_EQ(kv::cursorSet().cursors[kv::kCursorB].position, 100);
    EXPECT_EQ(kv::waveViewState().valueSample, 100);
    kv::placeCursor(kv::kCursorB, kSamples - 2);   // before the last sample: stays
    EXPECT_EQ(kv::cursorSet().cursors[kv::kCursorB].position, kSamples - 2);
    // A live mode shows the inputs, not the cursor: the cursor stays where it was put.
    g_viewer->settings.valueField = kv::kValueInstant;
    kv::placeCursor(kv::kCursorB, kSamples - 1);
    EXPECT_EQ(kv::cursorSet().cursors[kv::kCursorB].position, kSamples - 1);
    // A shorter capture leaves the focused cursor past its end: the next repaint brings it back.
    g_viewer->settings.valueField = kv::kValueChannel;
    g_viewer->store.attach(reinterpret_cast<uint8_t*>(words_.data()), 1000 * 8, 64, 64, 64, kv::kStoragePacked);
    RedrawWindow(panelItem(kv::kIdWaveArea), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    pump(50);
    EXPECT_EQ(kv::cursorSet().cursors[kv::kCursorB].position, 100);
}

}  // namespace
}  // namespace kvtest
