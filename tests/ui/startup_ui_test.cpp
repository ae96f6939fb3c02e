// The viewer started in-process in demo mode, driven as a user would.
#include <windows.h>
#include <dbt.h>

#include <gtest/gtest.h>

#include "viewer/res/resource.h"
#include "viewer/shell/panel_commands.h"
#include "viewer/shell/settings.h"
#include "tests/ui/ui_harness.h"

namespace kvtest {
namespace {

using kv::g_viewer;

class StartupTest : public ViewerTest {};

TEST_F(StartupTest, DemoModeIsAnnouncedOnceAndTheWindowIsUntitled) {
    ASSERT_TRUE(startViewer());
    EXPECT_EQ(prompts().countOf(IDS_DEMO_MODE), 1);
    EXPECT_EQ(prompts().asked.front().type, static_cast<UINT>(MB_ICONEXCLAMATION | MB_OK));
    EXPECT_EQ(prompts().asked.front().caption, L"KV Viewer");
    EXPECT_EQ(textOf(mainWindow()), L"KV Viewer - [Untitled]");
    EXPECT_EQ(g_viewer->shell.deviceIndex, -1);
    EXPECT_TRUE(g_viewer->shell.firstRun);
    // The panel covers the client area and shows its parts.
    for (int id : {kv::kIdRateList, kv::kIdClockList, kv::kIdWaveArea, kv::kIdStatus, kv::kIdReadout1,
                   kv::kIdReadout2, kv::kIdReadout3, kv::kIdAcquire})
        EXPECT_TRUE(IsWindowVisible(panelItem(id))) << id;
}

TEST_F(StartupTest, CtrlOneTogglesAutomaticSaving) {
    ASSERT_TRUE(startViewer());
    keyUp('1', true);
    EXPECT_EQ(textOf(panelItem(kv::kIdStatus)), L"Enable Save File");
    keyUp('1', true);
    EXPECT_EQ(textOf(panelItem(kv::kIdStatus)), L"Disable Save File");
    // Without Ctrl the key is not a shortcut.
    keyUp('1');
    EXPECT_EQ(textOf(panelItem(kv::kIdStatus)), L"Disable Save File");
}

TEST_F(StartupTest, SizingKeepsTheWindowAtLeast370Wide) {
    ASSERT_TRUE(startViewer());
    RECT r = {100, 100, 400, 600};  // 300 pixels, right edge dragged
    SendMessageW(mainWindow(), WM_SIZING, WMSZ_RIGHT, reinterpret_cast<LPARAM>(&r));
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.right, 470);
    RECT l = {100, 100, 400, 600};  // left edge dragged: the left edge moves back
    SendMessageW(mainWindow(), WM_SIZING, WMSZ_LEFT, reinterpret_cast<LPARAM>(&l));
    EXPECT_EQ(l.left, 30);
    EXPECT_EQ(l.right, 400);
}

TEST_F(StartupTest, AcquisitionControlsRestoreTheListsTheyFound) {
    ASSERT_TRUE(startViewer());
    EnableWindow(panelItem(kv::kIdClockList), FALSE);
    SendMessageW(panel(), kv::WM_KV_ACQ_CONTROLS, 0, 0);
    for (int id : {kv::kIdAcquire, kv::kIdRepetitive, kv::kIdTrigger, kv::kIdThreshold, kv::kIdEnvironment,
                   kv::kIdInterfaceCard, kv::kIdRateList, kv::kIdClockList})
        EXPECT_FALSE(IsWindowEnabled(panelItem(id))) << id;
    SendMessageW(panel(), kv::WM_KV_ACQ_CONTROLS, 1, 0);
    EXPECT_TRUE(IsWindowEnabled(panelItem(kv::kIdAcquire)));
    EXPECT_TRUE(IsWindowEnabled(panelItem(kv::kIdRateList)));
    EXPECT_FALSE(IsWindowEnabled(panelItem(kv::kIdClockList)));
}

TEST_F(StartupTest, UsbRemovalCountsDownThenCloses) {
    ASSERT_TRUE(startViewer());
    std::vector<std::wstring> seen;
    onDialog([&](HWND dialog, int id) {
        ASSERT_EQ(id, IDD_USB_REMOVED);
        seen.push_back(textOf(GetDlgItem(dialog, IDOK)));
        SendMessageW(dialog, WM_TIMER, kv::kTimerCountdown, 0);
        seen.push_back(textOf(GetDlgItem(dialog, IDOK)));
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    DEV_BROADCAST_HDR header = {};
    header.dbch_size = sizeof header;
    header.dbch_devicetype = DBT_DEVTYP_HANDLE;
    // Another device kind is not ours.
    DEV_BROADCAST_HDR volume = header;
    volume.dbch_devicetype = DBT_DEVTYP_VOLUME;
    SendMessageW(panel(), WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(&volume));
    EXPECT_TRUE(seen.empty());
    SendMessageW(panel(), WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(&header));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], L"8 Sec.");
    EXPECT_EQ(seen[1], L"7 Sec.");
    // The close request that follows still asks before leaving.
    EXPECT_TRUE(runUntilQuit());
    EXPECT_EQ(prompts().countOf(IDS_ASK_EXIT), 1);
}

TEST_F(StartupTest, ClosingAsksAndCancelKeepsTheViewer) {
    ASSERT_TRUE(startViewer());
    prompts().answers = {IDCANCEL};
    SendMessageW(mainWindow(), WM_CLOSE, 0, 0);
    EXPECT_EQ(prompts().countOf(IDS_ASK_EXIT), 1);
    const kv::Prompt& ask = prompts().asked.back();
    EXPECT_EQ(ask.text, L"Ok to Exit from KV Viewer ?");
    EXPECT_EQ(ask.type, static_cast<UINT>(MB_OKCANCEL | MB_ICONQUESTION | MB_TOPMOST));
    pump(50);
    EXPECT_TRUE(IsWindow(mainWindow()));
    EXPECT_TRUE(closeViewer());
    EXPECT_EQ(prompts().countOf(IDS_ASK_EXIT), 2);
    EXPECT_EQ(g_viewer, nullptr);
}

DWORD WINAPI fakeCapture(LPVOID) {
    while (!g_viewer->acq.stopRequest) Sleep(10);
    return 0;
}

TEST_F(StartupTest, ClosingDuringACaptureStopsItFirstAndAsksOnce) {
    ASSERT_TRUE(startViewer());
    g_viewer->acq.thread = CreateThread(nullptr, 0, fakeCapture, nullptr, 0, nullptr);
    PostMessageW(mainWindow(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(runUntilQuit());
    EXPECT_EQ(prompts().countOf(IDS_ASK_EXIT), 1);
}

TEST_F(StartupTest, SettingsAreWrittenWithTheirTypesAndKeptAcrossStarts) {
    ASSERT_TRUE(startViewer());
    ASSERT_TRUE(closeViewer());
    for (const kv::SettingDescriptor& d : kv::settingDescriptors()) {
        if (d.name == "giBufSizeDemo") continue;  // written by the environment dialog only
        DWORD type = 0;
        std::vector<BYTE> data;
        ASSERT_TRUE(readValue(d.name.c_str(), type, data)) << d.name;
        EXPECT_EQ(type, d.type) << d.name;
        if (d.type == REG_SZ)
            EXPECT_LE(data.size(), d.size) << d.name;
        else
            EXPECT_EQ(data.size(), d.size) << d.name;
    }
    // A value changed from its default survives the next start.
    writeDword("Wave Height", 30);
    writeDword("Grid Size", 77);
    ASSERT_TRUE(startViewer());
    EXPECT_FALSE(g_viewer->shell.firstRun);
    EXPECT_EQ(g_viewer->settings.waveHeight, 30);
    ASSERT_TRUE(closeViewer());
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(readValue("Grid Size", type, data));
    EXPECT_EQ(*reinterpret_cast<DWORD*>(data.data()), 77u);
    ASSERT_TRUE(readValue("Wave Height", type, data));
    EXPECT_EQ(*reinterpret_cast<DWORD*>(data.data()), 30u);
}

TEST_F(StartupTest, AnOldRegistryHasItsThresholdsMigrated) {
    createSettingsKey();
    writeDword("Threshold 0", 1260);
    HKEY h;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSystemKey, 0, KEY_SET_VALUE, &h), ERROR_SUCCESS);
    RegSetValueExA(h, "Threshold Name 0", 0, REG_SZ, reinterpret_cast<const BYTE*>("TTL"), 4);
    RegCloseKey(h);
    ASSERT_TRUE(startViewer());
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(readValue("Threshold Real 0", type, data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(*reinterpret_cast<DWORD*>(data.data()), 1600u);
}

TEST_F(StartupTest, ASavedLanguageWithoutDialogsIsIgnored) {
    createSettingsKey();
    writeDword("Language", 1041);  // no Japanese dialogs
    ASSERT_TRUE(startViewer());
    const WORD expected = g_viewer->shell.systemLanguage;
    EXPECT_TRUE(expected == 1033 || expected == 1028 || expected == 2052);
    EXPECT_EQ(g_viewer->shell.language, expected);
    EXPECT_EQ(LANGIDFROMLCID(GetThreadLocale()), expected);
}

struct ChineseCase {
    DWORD language;
    const wchar_t* aboutCaption;
    const wchar_t* askExit;
};

class ChineseStartupTest : public ViewerTest, public ::testing::WithParamInterface<ChineseCase> {};

TEST_P(ChineseStartupTest, TextsComeInTheSavedLanguage) {
    createSettingsKey();
    writeDword("Language", GetParam().language);
    ASSERT_TRUE(startViewer());
    EXPECT_EQ(g_viewer->shell.language, GetParam().language);
    std::wstring caption, version;
    onDialog([&](HWND dialog, int) {
        caption = textOf(dialog);
        version = textOf(GetDlgItem(dialog, IDC_ABOUT_VERSION));
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    SendMessageW(panel(), WM_COMMAND, kv::kIdAbout, 0);
    EXPECT_EQ(caption, GetParam().aboutCaption);
    EXPECT_EQ(version.substr(0, 3), L"版本 ");
    prompts().answers = {IDCANCEL};
    SendMessageW(mainWindow(), WM_CLOSE, 0, 0);
    ASSERT_FALSE(prompts().asked.empty());
    EXPECT_EQ(prompts().asked.back().text, GetParam().askExit);
    // The demo message came in the same language.
    EXPECT_NE(prompts().asked.front().text.find(L"KV1000"), std::wstring::npos);
    EXPECT_EQ(prompts().asked.front().text.find(L"Enter DEMO"), std::wstring::npos);
}

INSTANTIATE_TEST_SUITE_P(Languages, ChineseStartupTest,
                         ::testing::Values(ChineseCase{1028, L"關於 KV Viewer", L"確定要結束 KV Viewer 嗎？"},
                                           ChineseCase{2052, L"关于 KV Viewer", L"确定要退出 KV Viewer 吗？"}));

TEST_F(StartupTest, AboutShowsTheProgramVersion) {
    ASSERT_TRUE(startViewer());
    std::wstring version;
    onDialog([&](HWND dialog, int) {
        version = textOf(GetDlgItem(dialog, IDC_ABOUT_VERSION));
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    SendMessageW(panel(), WM_COMMAND, kv::kIdAbout, 0);
    EXPECT_EQ(version, L"Version 3.2.01");
}

TEST_F(StartupTest, WaveformInvertTogglesTheStoreAndTheButton) {
    ASSERT_TRUE(startViewer());
    SendMessageW(panel(), WM_COMMAND, kv::kIdInvert, 0);
    EXPECT_EQ(IsDlgButtonChecked(panel(), kv::kIdInvert), static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(g_viewer->store.sample(0), ~uint64_t{0});
    SendMessageW(panel(), WM_COMMAND, kv::kIdInvert, 0);
    EXPECT_EQ(IsDlgButtonChecked(panel(), kv::kIdInvert), static_cast<UINT>(BST_UNCHECKED));
    EXPECT_EQ(g_viewer->store.sample(0), 0u);
}

TEST_F(StartupTest, OtherInstancesAskWhetherACaptureRuns) {
    ASSERT_TRUE(startViewer());
    EXPECT_EQ(SendMessageW(mainWindow(), kv::WM_KV_IDENTITY, 0, 0x96941000), 0);
    g_viewer->acq.captureRunning = 1;
    EXPECT_EQ(SendMessageW(mainWindow(), kv::WM_KV_IDENTITY, 0, 0x96941000), 1);
    g_viewer->acq.captureRunning = 0;
    // Any other selector is the runtime's answer for the demo index.
    EXPECT_EQ(SendMessageW(mainWindow(), kv::WM_KV_IDENTITY, 0, 0x96940004), 0);
}

TEST_F(StartupTest, MaximisingIsRememberedAsMaxFlag) {
    ASSERT_TRUE(startViewer());
    ShowWindow(mainWindow(), SW_MAXIMIZE);
    pump(20);
    EXPECT_EQ(g_viewer->settings.maxFlag, 1);
    ShowWindow(mainWindow(), SW_RESTORE);
    pump(20);
    EXPECT_EQ(g_viewer->settings.maxFlag, 0);
}

}  // namespace
}  // namespace kvtest
