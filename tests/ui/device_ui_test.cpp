// The viewer on virtual boards, under Wine: each case runs in a copy of this program started with
// its own boards (board_cases.h).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/halvex_api.h"
#include "viewer/res/resource.h"
#include "viewer/shell/panel_commands.h"
#include "tests/ui/board_cases.h"

namespace kvtest {
namespace {

using kv::g_viewer;

// The boards of each case.
const char* const kTwoBoards = "usb0=pocket:2216:6;isa3=1032";
const char* const kOnePocketBoard = "usb0=pocket:2216:6";
const char* const kNoBoard = ";";  // set, and names no board

std::string narrow(const std::wstring& w) {
    std::string s;
    for (wchar_t c : w) s += c < 128 ? static_cast<char>(c) : '?';
    return s;
}

// --- the cases, run in the started copy ---

TEST_F(OnBoards, TwoBoardsAreListedAndTheChosenOneIsOpened) {
    ASSERT_EQ(environmentVariable("HALVEX_VIRTUAL"), kTwoBoards);
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
    ASSERT_EQ(environmentVariable("HALVEX_VIRTUAL"), kTwoBoards);
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
    ASSERT_EQ(environmentVariable("HALVEX_VIRTUAL"), kOnePocketBoard);
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

TEST_F(OnBoards, NoBoardMeansDemoMode) {
    ASSERT_EQ(environmentVariable("HALVEX_VIRTUAL"), kNoBoard);
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

class DeviceUi : public BoardCases {};

TEST_F(DeviceUi, SelectDeviceWithTwoBoards) {
    EXPECT_EQ(runBoardCase("TwoBoardsAreListedAndTheChosenOneIsOpened", kTwoBoards), 0u);
    EXPECT_EQ(runBoardCase("CancellingTheChoiceEndsTheProgram", kTwoBoards), 0u);
}

TEST_F(DeviceUi, OneBoard) {
    EXPECT_EQ(runBoardCase("OneBoardIsOpenedWithoutTheDialogAndDescribedInTheHardwareInformation", kOnePocketBoard), 0u);
}

TEST_F(DeviceUi, NoBoard) { EXPECT_EQ(runBoardCase("NoBoardMeansDemoMode", kNoBoard), 0u); }

}  // namespace
}  // namespace kvtest
