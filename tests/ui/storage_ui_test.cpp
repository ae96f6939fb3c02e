// Temporary storage in the running viewer: F8 opens the dialog (in each language), a drag stores
// the capture in a slot file and brings it back, Start Compare turns the overlay on, F9 toggles it.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/ui/ui_harness.h"
#include "viewer/display/wave_view_win.h"
#include "viewer/shell/panel_commands.h"
#include "viewer/shell/resources_win.h"
#include "viewer/storage/storage_resources.h"

namespace kvtest {
namespace {

using kv::g_viewer;

// A capture of `count` samples, channel c toggling every period + c samples, attached as a demo
// capture is.
void fillCapture(int32_t count, int32_t period) {
    uint8_t* data = g_viewer->store.data();
    for (int32_t i = 0; i < count; ++i) {
        uint64_t word = 0;
        for (int c = 0; c < 64; ++c) word |= static_cast<uint64_t>((i / (period + c)) & 1) << c;
        kv::storeLe64(data + 8 * i, word);
    }
    g_viewer->store.attach(data, count * 8, 64, 64, 64, 0);
    SendMessageW(panel(), kv::WM_KV_REPAINT, 0, 0);
}

// The bytes every drop moves: the capture area's size from the capture's data start.
std::vector<uint8_t> captureArea() {
    const uint8_t* data = g_viewer->store.data();
    return std::vector<uint8_t>(data, data + g_viewer->storage.areaBytes());
}

// A drag with the left button from one picture's centre to another's, as the mouse sends it.
void drag(HWND dialog, int32_t from, int32_t to) {
    POINT p[2];
    for (int k = 0; k < 2; ++k) {
        RECT r;
        GetWindowRect(GetDlgItem(dialog, IDC_STORAGE_AREA_FIRST + (k ? to : from)), &r);
        p[k] = POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        ScreenToClient(dialog, &p[k]);
    }
    SendMessageW(dialog, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p[0].x, p[0].y));
    SendMessageW(dialog, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(p[1].x, p[1].y));
    SendMessageW(dialog, WM_LBUTTONUP, 0, MAKELPARAM(p[1].x, p[1].y));
}

HANDLE pictureOf(HWND dialog, int32_t area) {
    return reinterpret_cast<HANDLE>(SendDlgItemMessageW(dialog, IDC_STORAGE_AREA_FIRST + area, STM_GETIMAGE, IMAGE_BITMAP, 0));
}

// Pixels of the compared traces' colour in the waves, freshly drawn.
int comparePixels() {
    HWND area = panelItem(kv::kIdWaveArea);
    RedrawWindow(area, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    pump(50);
    const RECT waves = kv::paneWavesRect(area, 0);
    int n = 0;
    for (int y = waves.top; y < waves.bottom; ++y)
        for (int x = waves.left; x < waves.right; ++x) n += kv::waveSurfacePixel(x, y) == kv::kCompareTraceColor;
    return n;
}

class StorageUiTest : public ViewerTest {};

TEST_F(StorageUiTest, F8StoresAndRestoresACaptureAndF9TogglesTheComparisonOverlay) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string work = std::string(temp) + "kv_storage_ui", slot3 = work + "\\SaveArea4.Tmp";
    CreateDirectoryA(work.c_str(), nullptr);
    DeleteFileA(slot3.c_str());
    setWorkDirectory(work);
    ASSERT_TRUE(startViewer());
    SetWindowPos(mainWindow(), nullptr, 0, 0, 1000, 640, SWP_NOZORDER);

    // The dialog in each language, Chinese texts in the Chinese ones.
    for (WORD language : {WORD(1028), WORD(2052), WORD(1033)}) {
        kv::setResourceLanguage(GetModuleHandleA(nullptr), language);
        std::wstring caption;
        onDialog([&](HWND dialog, int id) {
            EXPECT_EQ(id, IDD_TEMP_STORAGE);
            caption = textOf(dialog);
            saveWindowPicture(dialog, ("storage-dialog-" + std::to_string(language)).c_str());
            SendMessageW(dialog, WM_CLOSE, 0, 0);
        });
        keyUp(VK_F8);
        EXPECT_EQ(!caption.empty() && caption.find(L"Storage") == std::wstring::npos, language != 1033) << language;
    }

    // Main screen onto storage 3: the slot file holds the capture area, the slot shows its picture.
    fillCapture(3000, 20);
    const std::vector<uint8_t> first = captureArea();
    onDialog([&](HWND dialog, int) {
        EXPECT_EQ(pictureOf(dialog, 4), nullptr);
        drag(dialog, 0, 4);
        drag(dialog, 0, 0);   // onto itself: nothing
        EXPECT_EQ(pictureOf(dialog, 4), pictureOf(dialog, 0));
        EXPECT_EQ(pictureOf(dialog, 1), nullptr);
        SendMessageW(dialog, WM_CLOSE, 0, 0);
    });
    keyUp(VK_F8);
    {
        std::ifstream f(slot3, std::ios::binary);
        std::vector<uint8_t> file(first.size() + 1);
        f.read(reinterpret_cast<char*>(file.data()), static_cast<std::streamsize>(file.size()));
        EXPECT_EQ(static_cast<size_t>(f.gcount()), first.size());   // exactly the capture area
        file.resize(first.size());
        EXPECT_TRUE(file == first);
    }

    // A shorter capture goes to the compare area, storage 3 comes back onto the main screen, and
    // Start Compare closes the dialog with the overlay on.
    fillCapture(1200, 27);
    onDialog([&](HWND dialog, int) {
        drag(dialog, 0, 1);
        drag(dialog, 4, 0);
        EXPECT_EQ(g_viewer->store.logicalCount(), 3000);
        EXPECT_TRUE(captureArea() == first);
        saveWindowPicture(dialog, "storage-dialog");
        SendDlgItemMessageW(dialog, IDC_STORAGE_COMPARE_ON, BM_CLICK, 0, 0);
    });
    keyUp(VK_F8);
    EXPECT_TRUE(g_viewer->panel.compare);
    ASSERT_NE(g_viewer->storage.compareStore(false), nullptr);
    EXPECT_EQ(g_viewer->storage.compareStore(false)->logicalCount(), 1200);

    // The overlay shows where the two captures differ; F9 turns it off and on again, and Cancel
    // Compare off from the dialog.
    const int on = comparePixels();
    saveWindowPicture(mainWindow(), "compare-overlay");
    keyUp(VK_F9);
    EXPECT_FALSE(g_viewer->panel.compare);
    EXPECT_GT(on, comparePixels() + 100);
    keyUp(VK_F9);
    EXPECT_EQ(comparePixels(), on);
    onDialog([](HWND dialog, int) { SendDlgItemMessageW(dialog, IDC_STORAGE_COMPARE_OFF, BM_CLICK, 0, 0); });
    keyUp(VK_F8);
    onDialog(nullptr);
    EXPECT_FALSE(g_viewer->panel.compare);
    DeleteFileA(slot3.c_str());
}

}  // namespace
}  // namespace kvtest
