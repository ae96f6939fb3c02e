// The main panel's parts and the small dialogs of the start-up, driven in-process.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "viewer/res/resource.h"
#include "viewer/shell/panel_commands.h"
#include "tests/ui/ui_harness.h"

namespace kvtest {
namespace {

using kv::g_viewer;

class PanelTest : public ViewerTest {};

TEST_F(PanelTest, SelectDeviceListsTheBoardsAndReturnsTheChosenSlot) {
    ASSERT_TRUE(startViewer());
    const std::vector<kv::DeviceChoice> two = {{"KV1164 on USB 2.0", 3}, {"KV2136 on USB 2.0", 9}};
    std::vector<std::wstring> items;
    int selected = -1;
    onDialog([&](HWND dialog, int id) {
        ASSERT_EQ(id, IDD_SELECT_DEVICE);
        HWND list = GetDlgItem(dialog, IDC_DEVICE_LIST);
        for (int i = 0; i < SendMessageW(list, LB_GETCOUNT, 0, 0); ++i) {
            wchar_t text[64] = {};
            SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
            items.push_back(text);
        }
        selected = static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
        SendMessageW(list, LB_SETCURSEL, 1, 0);
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(kv::runSelectDevice(mainWindow(), two), 9);
    EXPECT_EQ(items, (std::vector<std::wstring>{L"KV1164 on USB 2.0", L"KV2136 on USB 2.0"}));
    EXPECT_EQ(selected, 0);

    // A double-click chooses too; Cancel and closing end the program (-1).
    onDialog([](HWND dialog, int) {
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_DEVICE_LIST, LBN_DBLCLK),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_DEVICE_LIST)));
    });
    EXPECT_EQ(kv::runSelectDevice(mainWindow(), two), 3);
    onDialog([](HWND dialog, int) { SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0); });
    EXPECT_EQ(kv::runSelectDevice(mainWindow(), two), -1);
    onDialog([](HWND dialog, int) { SendMessageW(dialog, WM_CLOSE, 0, 0); });
    EXPECT_EQ(kv::runSelectDevice(mainWindow(), two), -1);

    // One board is opened without asking; none leads to demo mode (slot 0, which opens nothing).
    bool shown = false;
    onDialog([&](HWND dialog, int) {
        shown = true;
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(kv::runSelectDevice(mainWindow(), {{"KV1164 on USB 2.0", 5}}), 5);
    EXPECT_EQ(kv::runSelectDevice(mainWindow(), {}), 0);
    EXPECT_FALSE(shown);
}

TEST_F(PanelTest, ToolbarButtonsTellWhatTheyDo) {
    ASSERT_TRUE(startViewer());
    HWND tip = g_viewer->shell.tooltip;
    ASSERT_NE(tip, nullptr);
    struct Case {
        int id;
        const wchar_t* text;
    };
    for (const Case& c : {Case{kv::kIdLoadWave, L"Load Waveform"}, Case{kv::kIdAcquire, L"Acquire Data"},
                          Case{kv::kIdAbout, L"About KV Viewer..."}, Case{kv::kIdRateList, L"Sample Rate Setting"},
                          Case{kv::kIdCursorTrigger, L"Search Trigger Cursor"}}) {
        wchar_t text[128] = {};
        TTTOOLINFOW ti = {};
        ti.cbSize = sizeof ti;
        ti.hwnd = panel();
        ti.uId = reinterpret_cast<UINT_PTR>(panelItem(c.id));
        ti.lpszText = text;
        SendMessageW(tip, TTM_GETTEXTW, 128, reinterpret_cast<LPARAM>(&ti));
        EXPECT_STREQ(text, c.text) << c.id;
    }
}

TEST_F(PanelTest, TheBusyIconTurnsWithTimer2) {
    ASSERT_TRUE(startViewer());
    HWND icon = panelItem(kv::kIdBusyIcon);
    const LRESULT idle = SendMessageW(icon, STM_GETICON, 0, 0);
    EXPECT_EQ(reinterpret_cast<HICON>(idle), g_viewer->panel.busyIcons[0]);
    SendMessageW(panel(), WM_TIMER, kv::kTimerBusy, 0);
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(icon, STM_GETICON, 0, 0)), g_viewer->panel.busyIcons[1]);
    for (int i = 0; i < 7; ++i) SendMessageW(panel(), WM_TIMER, kv::kTimerBusy, 0);
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(icon, STM_GETICON, 0, 0)), g_viewer->panel.busyIcons[0]);
}

TEST_F(PanelTest, KeysReachTheViewerWhileAButtonHasTheFocus) {
    ASSERT_TRUE(startViewer());
    SetFocus(panelItem(kv::kIdZoomIn));
    setModifiers(true, false);
    SendMessageW(panelItem(kv::kIdZoomIn), WM_KEYUP, '1', 0xC0000001);
    setModifiers(false, false);
    EXPECT_EQ(textOf(panelItem(kv::kIdStatus)), L"Enable Save File");
}

TEST_F(PanelTest, EscRequestsAStopAndAnyCommandClearsTheStatus) {
    ASSERT_TRUE(startViewer());
    keyUp(VK_ESCAPE);
    EXPECT_EQ(g_viewer->acq.stopRequest, 1);
    // Context help pending: Esc only cancels it.
    g_viewer->acq.stopRequest = 0;
    g_viewer->acq.contextHelpPending = true;
    keyUp(VK_ESCAPE);
    EXPECT_EQ(g_viewer->acq.stopRequest, 0);
    EXPECT_FALSE(g_viewer->acq.contextHelpPending);

    keyUp('1', true);
    EXPECT_FALSE(textOf(panelItem(kv::kIdStatus)).empty());
    SendMessageW(panel(), WM_COMMAND, kv::kIdNoAction, 0);
    EXPECT_TRUE(textOf(panelItem(kv::kIdStatus)).empty());
}

TEST_F(PanelTest, ANarrowWindowHidesTheButtonsThatDoNotFit) {
    ASSERT_TRUE(startViewer());
    SetWindowPos(mainWindow(), nullptr, 0, 0, 1400, 600, SWP_NOZORDER | SWP_NOMOVE);
    pump(20);
    EXPECT_TRUE(IsWindowVisible(panelItem(kv::kIdDemo)));
    EXPECT_TRUE(IsWindowVisible(panelItem(kv::kIdReadout3)));
    SetWindowPos(mainWindow(), nullptr, 0, 0, 400, 600, SWP_NOZORDER | SWP_NOMOVE);
    pump(20);
    EXPECT_TRUE(IsWindowVisible(panelItem(kv::kIdToolbox)));
    EXPECT_FALSE(IsWindowVisible(panelItem(kv::kIdDemo)));
    EXPECT_FALSE(IsWindowVisible(panelItem(kv::kIdReadout3)));
    EXPECT_TRUE(IsWindowVisible(panelItem(kv::kIdRateList)));
}

}  // namespace
}  // namespace kvtest

namespace kvtest {
namespace {

class HardwareInfoTest : public ViewerTest {};

std::wstring hardwareText() {
    std::wstring text;
    onDialog([&](HWND dialog, int id) {
        EXPECT_EQ(id, IDD_HARDWARE_INFO);
        text = textOf(GetDlgItem(dialog, IDC_HARDWARE_TEXT));
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    SendMessageW(panel(), WM_COMMAND, kv::kIdInterfaceCard, 0);
    return text;
}

TEST_F(HardwareInfoTest, DemoModeShowsTheTroubleshootingText) {
    ASSERT_TRUE(startViewer());
    const std::wstring text = hardwareText();
    EXPECT_EQ(text.rfind(L"No logic analyzer answers.", 0), 0u) << std::string(text.begin(), text.end());
    EXPECT_NE(text.find(L"\r\n"), std::wstring::npos);
    // Ctrl+H opens it too.
    bool shown = false;
    onDialog([&](HWND dialog, int) {
        shown = true;
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    keyUp('H', true);
    EXPECT_TRUE(shown);
}

TEST_F(HardwareInfoTest, TheTroubleshootingTextComesInTheChosenLanguage) {
    createSettingsKey();
    writeDword("Language", 2052);
    ASSERT_TRUE(startViewer());
    EXPECT_EQ(hardwareText().rfind(L"没有逻辑分析仪响应", 0), 0u);
}

}  // namespace
}  // namespace kvtest
