// Temporary storage in the running viewer: F8 opens the dialog, a drag stores the capture in a slot
// file and brings it back, Start Compare turns the overlay on and F9 toggles it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "tests/ui/ui_harness.h"
#include "viewer/display/wave_render.h"
#include "viewer/display/wave_view_win.h"
#include "viewer/shell/panel_commands.h"
#include "viewer/shell/resources_win.h"
#include "viewer/storage/storage_resources.h"
#include "viewer/storage/temp_storage.h"

namespace kvtest {
namespace {

using kv::g_viewer;

std::string scratchFolder() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + "kv_storage_ui";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

void setWorkDirectory(const std::string& folder) {
    createSettingsKey();
    HKEY h;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSystemKey, 0, KEY_SET_VALUE, &h), ERROR_SUCCESS);
    RegSetValueExA(h, "Work Directory", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                   static_cast<DWORD>(folder.size() + 1));
    RegCloseKey(h);
}

// A capture of `count` samples in which every channel toggles with its own period (scaled by
// `period`), attached as the viewer attaches a demo capture.
void fillCapture(int32_t count, int32_t period) {
    kv::Viewer& v = *g_viewer;
    uint8_t* data = v.store.data();
    for (int32_t i = 0; i < count; ++i) {
        uint64_t word = 0;
        for (int c = 0; c < 64; ++c) word |= static_cast<uint64_t>((i / (period + c)) & 1) << c;
        kv::storeLe64(data + 8 * i, word);
    }
    v.capture.captureLength = count * 8;
    v.store.attach(data, count * 8, 64, 64, 64, 0);
    SendMessageW(panel(), kv::WM_KV_REPAINT, 0, 0);
}

// The bytes every drop moves: the capture area's size from the capture's data start.
std::vector<uint8_t> captureArea() {
    const uint8_t* data = g_viewer->store.data();
    return std::vector<uint8_t>(data, data + g_viewer->storage.areaBytes());
}

POINT centreOf(HWND dialog, int32_t area) {
    RECT r;
    GetWindowRect(GetDlgItem(dialog, IDC_STORAGE_AREA_FIRST + area), &r);
    POINT p = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ScreenToClient(dialog, &p);
    return p;
}

// A drag with the left button from one picture to another, as the mouse sends it.
void drag(HWND dialog, int32_t from, int32_t to) {
    const POINT a = centreOf(dialog, from), b = centreOf(dialog, to);
    SendMessageW(dialog, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(a.x, a.y));
    SendMessageW(dialog, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM((a.x + b.x) / 2, (a.y + b.y) / 2));
    SendMessageW(dialog, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(b.x, b.y));
    SendMessageW(dialog, WM_LBUTTONUP, 0, MAKELPARAM(b.x, b.y));
}

HANDLE pictureOf(HWND dialog, int32_t area) {
    return reinterpret_cast<HANDLE>(
        SendDlgItemMessageW(dialog, IDC_STORAGE_AREA_FIRST + area, STM_GETIMAGE, IMAGE_BITMAP, 0));
}

// Pixels of the compare colour in the waves as last drawn.
int comparePixels() {
    HWND area = panelItem(kv::kIdWaveArea);
    RedrawWindow(area, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    pump(50);
    const RECT waves = kv::paneWavesRect(area, 0);
    const COLORREF pink = kv::kCompareTraceColor;
    int n = 0;
    for (int y = waves.top; y < waves.bottom; ++y)
        for (int x = waves.left; x < waves.right; ++x) n += kv::waveSurfacePixel(x, y) == pink;
    return n;
}

class StorageUiTest : public ViewerTest {};

TEST_F(StorageUiTest, F8StoresAndRestoresACaptureAndF9TogglesTheComparisonOverlay) {
    const std::string work = scratchFolder();
    const std::string slot3 = work + "\\SaveArea4.Tmp";
    DeleteFileA(slot3.c_str());
    setWorkDirectory(work);
    ASSERT_TRUE(startViewer());
    SetWindowPos(mainWindow(), nullptr, 0, 0, 1000, 640, SWP_NOZORDER);
    pump(50);

    fillCapture(3000, 20);
    const std::vector<uint8_t> first = captureArea();
    ASSERT_GT(first.size(), 3000u * 8);

    // F8, main screen onto storage 3: the slot file holds the capture area, the slot its picture.
    int shown = 0;
    onDialog([&](HWND dialog, int id) {
        ++shown;
        EXPECT_EQ(id, IDD_TEMP_STORAGE);
        EXPECT_NE(pictureOf(dialog, 0), nullptr);
        EXPECT_EQ(pictureOf(dialog, 4), nullptr);
        drag(dialog, 0, 4);
        EXPECT_EQ(pictureOf(dialog, 4), pictureOf(dialog, 0));
        EXPECT_EQ(pictureOf(dialog, 1), nullptr);
        drag(dialog, 0, 0);   // onto itself: nothing
        SendMessageW(dialog, WM_CLOSE, 0, 0);
    });
    keyUp(VK_F8);
    onDialog(nullptr);
    EXPECT_EQ(shown, 1);
    {
        std::ifstream f(slot3, std::ios::binary | std::ios::ate);
        ASSERT_TRUE(f.good());
        ASSERT_EQ(static_cast<size_t>(f.tellg()), first.size());
        std::vector<uint8_t> bytes(first.size());
        f.seekg(0);
        f.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        EXPECT_TRUE(bytes == first);
    }

    // A shorter capture replaces it. F8 again: it goes to the compare area, storage 3 back onto the
    // main screen, and Start Compare closes the dialog with the overlay on.
    fillCapture(1200, 27);
    onDialog([&](HWND dialog, int) {
        drag(dialog, 0, 1);
        drag(dialog, 4, 0);
        EXPECT_EQ(g_viewer->store.logicalCount(), 3000);
        EXPECT_TRUE(captureArea() == first);
        EXPECT_EQ(pictureOf(dialog, 1), pictureOf(dialog, 4));   // both show where they came from: main
        saveWindowPicture(dialog, "storage-dialog");
        SendDlgItemMessageW(dialog, IDC_STORAGE_COMPARE_ON, BM_CLICK, 0, 0);
    });
    keyUp(VK_F8);
    onDialog(nullptr);
    EXPECT_TRUE(g_viewer->panel.compare);
    kv::SampleStore* compare = g_viewer->storage.compareStore(false);
    ASSERT_NE(compare, nullptr);
    EXPECT_EQ(compare->logicalCount(), 1200);

    // The overlay shows where the two captures differ; F9 turns it off and on again.
    const int on = comparePixels();
    saveWindowPicture(mainWindow(), "compare-overlay");
    keyUp(VK_F9);
    EXPECT_FALSE(g_viewer->panel.compare);
    const int off = comparePixels();
    EXPECT_GT(on, off + 100);
    keyUp(VK_F9);
    EXPECT_TRUE(g_viewer->panel.compare);
    EXPECT_EQ(comparePixels(), on);

    // Cancel Compare turns it off from the dialog.
    onDialog([](HWND dialog, int) { SendDlgItemMessageW(dialog, IDC_STORAGE_COMPARE_OFF, BM_CLICK, 0, 0); });
    keyUp(VK_F8);
    onDialog(nullptr);
    EXPECT_FALSE(g_viewer->panel.compare);
    DeleteFileA(slot3.c_str());
}

TEST_F(StorageUiTest, TheDialogComesInEachLanguage) {
    ASSERT_TRUE(startViewer());
    HINSTANCE instance = GetModuleHandleA(nullptr);
    const WORD before = kv::resourceLanguage();
    for (WORD language : {WORD(1033), WORD(1028), WORD(2052)}) {
        kv::setResourceLanguage(instance, language);
        std::wstring caption, start;
        onDialog([&](HWND dialog, int) {
            caption = textOf(dialog);
            start = textOf(GetDlgItem(dialog, IDC_STORAGE_COMPARE_ON));
            for (int k = 0; k < kv::kStorageAreaCount; ++k)
                EXPECT_NE(GetDlgItem(dialog, IDC_STORAGE_AREA_FIRST + k), nullptr) << k << " in " << language;
            saveWindowPicture(dialog, (std::string("storage-dialog-") + std::to_string(language)).c_str());
            SendMessageW(dialog, WM_CLOSE, 0, 0);
        });
        keyUp(VK_F8);
        onDialog(nullptr);
        EXPECT_FALSE(caption.empty() || start.empty()) << language;
        EXPECT_EQ(caption.find(L"Storage") == std::wstring::npos, language != 1033) << language;
    }
    kv::setResourceLanguage(instance, before);
}

}  // namespace
}  // namespace kvtest
