// The viewer on virtual boards, under Wine. KV links Halvex.dll at load time, and the library probes
// when it is loaded, so the boards (HALVEX_VIRTUAL) must be in the environment before the process
// starts: each case runs in a fresh copy of this program started with its own boards. The copy runs
// one "OnBoards" test (KV_DEVICE_UI_CASE names its boards); the test here checks its exit code. In a
// run of its own, an "OnBoards" test without that variable is skipped.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/halvex_api.h"
#include "viewer/res/resource.h"
#include "viewer/shell/panel_commands.h"
#include "tests/ui/ui_harness.h"

namespace kvtest {
namespace {

using kv::g_viewer;

const char* const kCaseVariable = "KV_DEVICE_UI_CASE";

// The boards of each case.
const char* const kTwoBoards = "usb0=pocket:2216:6;isa3=1032";
const char* const kOnePocketBoard = "usb0=pocket:2216:6";
const char* const kNoBoard = ";";  // set, and names no board

std::string variable(const char* name) {
    char value[512];
    const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

bool isChild() { return GetEnvironmentVariableA(kCaseVariable, nullptr, 0) > 0; }

std::string narrow(const std::wstring& w) {
    std::string s;
    for (wchar_t c : w) s += c < 128 ? static_cast<char>(c) : '?';
    return s;
}

// --- the cases, run in the started copy ---

class OnBoards : public ViewerTest {
protected:
    void SetUp() override {
        if (!isChild()) GTEST_SKIP() << "runs only in a copy started by DeviceUi with its boards";
        ViewerTest::SetUp();
    }
};

TEST_F(OnBoards, TwoBoardsAreListedAndTheChosenOneIsOpened) {
    ASSERT_EQ(variable("HALVEX_VIRTUAL"), kTwoBoards);
    std::vector<std::wstring> items;
    std::vector<LRESULT> slots;
    int shown = 0;
    onDialog([&](HWND dialog, int id) {
        ++shown;
        EXPECT_EQ(id, IDD_SELECT_DEVICE);
        HWND list = GetDlgItem(dialog, IDC_DEVICE_LIST);
        const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            wchar_t text[256] = {};
            SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
            items.push_back(text);
            slots.push_back(SendMessageW(list, LB_GETITEMDATA, i, 0));
        }
        EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 0);  // the first is selected
        // The slot after the last: the walk covers the whole table.
        SendMessageW(list, LB_SETCURSEL, 1, 0);
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    ASSERT_TRUE(startViewer());
    EXPECT_EQ(shown, 1);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0], L"PQKV-2216 Plus on USB - Slot 0");
    EXPECT_EQ(items[1], L"KV1032 on ISA Port 36Ch");
    for (const std::wstring& item : items) std::printf("Select Device item: \"%s\"\n", narrow(item).c_str());
    EXPECT_EQ(slots, (std::vector<LRESULT>{0, 139}));
    EXPECT_EQ(g_viewer->shell.deviceIndex, 139);
    EXPECT_EQ(prompts().countOf(IDS_DEMO_MODE), 0);
    EXPECT_EQ(g_viewer->device.productCode, 0x1032);
    // Opened: the slot lost its free mark, the other keeps it.
    const auto* table = static_cast<const uint8_t*>(KvFindDevice());
    EXPECT_EQ(table[139 * kKvSlotBytes + 1], 0x00);
    EXPECT_EQ(table[0 * kKvSlotBytes + 1], 0x01);
}

TEST_F(OnBoards, CancellingTheChoiceEndsTheProgram) {
    ASSERT_EQ(variable("HALVEX_VIRTUAL"), kTwoBoards);
    onDialog([&](HWND dialog, int) { SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0); });
    const kv::StartResult r = kv::startViewer(GetModuleHandleA(nullptr), "", SW_SHOW);
    EXPECT_FALSE(r.run);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(mainWindow(), nullptr);
}

std::wstring hardwareText() {
    std::wstring text;
    onDialog([&](HWND dialog, int id) {
        EXPECT_EQ(id, IDD_HARDWARE_INFO);
        text = textOf(GetDlgItem(dialog, IDC_HARDWARE_TEXT));
        saveWindowPicture(dialog, kv::g_viewer->shell.deviceIndex >= 0 ? "hardware-info-board" : "hardware-info-demo");
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    SendMessageW(panel(), WM_COMMAND, kv::kIdInterfaceCard, 0);
    return text;
}

TEST_F(OnBoards, OneBoardIsOpenedWithoutTheDialogAndDescribedInTheHardwareInformation) {
    ASSERT_EQ(variable("HALVEX_VIRTUAL"), kOnePocketBoard);
    int shown = 0;
    onDialog([&](HWND dialog, int) {
        ++shown;
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    ASSERT_TRUE(startViewer());
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(g_viewer->shell.deviceIndex, 0);
    EXPECT_EQ(prompts().countOf(IDS_DEMO_MODE), 0);
    EXPECT_EQ(g_viewer->device.productCode, 0x2216);

    const std::wstring text = hardwareText();
    EXPECT_EQ(text,
              L"Logic Analyzer Auto Setting Ok.\r\n\r\n"
              L"        Model: PQKV-2216 Plus\r\n"
              L"    Interface: USB - Slot 0\r\n"
              L" Memory Depth: 256K bits per Channel(Max.)\r\n");
    std::printf("Dialog 136 text: \"%s\"\n", narrow(text).c_str());
}

TEST_F(OnBoards, AcquireWithABoardOnlyClearsTheStatus) {
    ASSERT_EQ(variable("HALVEX_VIRTUAL"), kOnePocketBoard);
    ASSERT_TRUE(startViewer());
    ASSERT_EQ(g_viewer->shell.deviceIndex, 0);
    const std::wstring title = textOf(mainWindow());
    SetWindowTextW(panelItem(kv::kIdStatus), L"before");
    for (int command : {kv::kIdAcquire, kv::kIdRepetitive}) {
        SendMessageW(panel(), WM_COMMAND, command, 0);
        pump(100);
        EXPECT_EQ(g_viewer->acq.thread, nullptr) << command;
        EXPECT_EQ(g_viewer->acq.captureRunning, 0) << command;
        EXPECT_EQ(textOf(panelItem(kv::kIdStatus)), L"") << command;
        EXPECT_TRUE(IsWindowEnabled(panelItem(kv::kIdAcquire))) << command;
    }
    EXPECT_EQ(textOf(mainWindow()), title);  // nothing captured: the title gets no unsaved mark
}

TEST_F(OnBoards, NoBoardMeansDemoMode) {
    ASSERT_EQ(variable("HALVEX_VIRTUAL"), kNoBoard);
    int shown = 0;
    onDialog([&](HWND dialog, int) {
        ++shown;
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    ASSERT_TRUE(startViewer());
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(g_viewer->shell.deviceIndex, -1);
    EXPECT_EQ(prompts().countOf(IDS_DEMO_MODE), 1);
    EXPECT_EQ(hardwareText().rfind(L"No logic analyzer answers.", 0), 0u);
    // Demo acquisition still runs.
    SendMessageW(panel(), WM_COMMAND, kv::kIdAcquire, 0);
    EXPECT_TRUE(pumpUntil([] { return g_viewer->acq.thread == nullptr && g_viewer->acq.captureRunning == 0; }, 20000));
    EXPECT_GT(g_viewer->store.logicalCount(), 0);
}

// --- the test side: one started copy per case ---

// Runs "<this program> --gtest_filter=OnBoards.<name>" with HALVEX_VIRTUAL set to the boards; its
// exit code (0: the case passed). Its output goes to the same console.
DWORD runCase(const char* name, const char* boards) {
    // A name that matched no test would start a copy that passes by running nothing.
    bool known = false;
    const ::testing::UnitTest& all = *::testing::UnitTest::GetInstance();
    for (int i = 0; i < all.total_test_suite_count(); ++i) {
        const ::testing::TestSuite& suite = *all.GetTestSuite(i);
        if (std::strcmp(suite.name(), "OnBoards") != 0) continue;
        for (int j = 0; j < suite.total_test_count(); ++j) known |= std::strcmp(suite.GetTestInfo(j)->name(), name) == 0;
    }
    if (!known) return 1003;
    // Every slot empty again: the table lives as long as a process maps it, and this process does,
    // so boards of an earlier case would otherwise still be listed.
    auto* table = static_cast<uint8_t*>(KvFindDevice());
    if (!table) return 1002;
    std::memset(table, 0, static_cast<size_t>(kKvSlotCount) * kKvSlotBytes);

    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string cmd = std::string("\"") + self + "\" --gtest_filter=OnBoards." + name;
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back(0);
    SetEnvironmentVariableA("HALVEX_VIRTUAL", boards);
    SetEnvironmentVariableA(kCaseVariable, name);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    SetEnvironmentVariableA("HALVEX_VIRTUAL", nullptr);
    SetEnvironmentVariableA(kCaseVariable, nullptr);
    if (!started) return 1000;
    DWORD code = 1001;
    if (WaitForSingleObject(pi.hProcess, 120000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
    else TerminateProcess(pi.hProcess, 1001);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

class DeviceUi : public ::testing::Test {
protected:
    void SetUp() override {
        if (isChild()) GTEST_SKIP() << "the started copy runs only its own case";
    }
};

TEST_F(DeviceUi, SelectDeviceWithTwoBoards) {
    EXPECT_EQ(runCase("TwoBoardsAreListedAndTheChosenOneIsOpened", kTwoBoards), 0u);
    EXPECT_EQ(runCase("CancellingTheChoiceEndsTheProgram", kTwoBoards), 0u);
}

TEST_F(DeviceUi, OneBoard) {
    EXPECT_EQ(runCase("OneBoardIsOpenedWithoutTheDialogAndDescribedInTheHardwareInformation", kOnePocketBoard), 0u);
    EXPECT_EQ(runCase("AcquireWithABoardOnlyClearsTheStatus", kOnePocketBoard), 0u);
}

TEST_F(DeviceUi, NoBoard) { EXPECT_EQ(runCase("NoBoardMeansDemoMode", kNoBoard), 0u); }

}  // namespace
}  // namespace kvtest
