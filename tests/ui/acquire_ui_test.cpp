// Acquisition on virtual boards, under Wine: each case runs in a copy of this program started with
// its own boards (board_cases.h). The boards' inputs count 5 ns periods, channel c being bit c of
// the count, so a capture must hold a rising count.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "runtime/halvex_api.h"
#include "viewer/acquire/acquire_resources.h"
#include "viewer/acquire/board_acquisition_win.h"
#include "viewer/acquire/threshold_dialogs_win.h"
#include "viewer/res/resource.h"
#include "viewer/shell/panel_commands.h"
#include "viewer/shell/resources_win.h"
#include "tests/ui/board_cases.h"

namespace kvtest {
namespace {

using kv::g_viewer;

const char* const kPocket = "usb0=pocket:2216:6";
const char* const kUsb20 = "usb0=usb20:2164:3";
const char* const kIsa = "isa0=1164";
const char* const kNanlyn = "usb0=2136";
const char* const kPci = "pci0=pci:1164:3";
const char* const kParallel = "lpt0=epp17:2132:3";

bool captureEnded() { return g_viewer->acq.thread == nullptr && g_viewer->acq.captureRunning == 0; }

void command(int id) { SendMessageW(panel(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

std::wstring status() { return textOf(panelItem(kv::kIdStatus)); }

// Samples whose count does not follow the one before by the first step seen, over the samples
// the board wrote (zero ones, never written, are left out); -1 when the count does not rise. The
// ISA cards deliver two 64-bit samples per 16-byte entry, which the virtual card fills with the
// same count: there every second sample is compared.
int brokenSteps(int32_t last, uint64_t mask, int stride = 1) {
    kv::SampleStore& s = g_viewer->store;
    uint64_t usual = 0;
    int broken = 0;
    for (int32_t i = 0; i + stride < last; i += stride) {
        const uint64_t a = s.sample(i) & mask, b = s.sample(i + stride) & mask;
        if (!a || !b) continue;
        if (!usual) usual = (b - a) & mask;
        broken += ((b - a) & mask) != usual;
    }
    return usual ? broken : -1;
}

// A trigger the count reaches only after minutes (or never): the board waits.
void triggerOnHighChannel(int channel) {
    kv::TriggerSetup& s = g_viewer->acq.trigger;
    std::memset(s.oneLevel, kv::kConditionDontCare, sizeof s.oneLevel);
    s.oneLevel[channel] = kv::kConditionHigh;
    kv::storeOneLevelFor(s.current, s.oneLevel, s.device);
    kv::completeTriggerRecord(s.current, kv::kModeSingle, s.device);
    s.sent = 0;
}

// Runs one case of this program as a second viewer beside this one, pumping this viewer's
// messages meanwhile (the second asks this one who it is). With `ownBoard` the shared device
// table is emptied first, so that the second opens a board of the same identity as this one's.
DWORD runSecondViewer(const char* name, bool ownBoard) {
    if (ownBoard) std::memset(KvFindDevice(), 0, static_cast<size_t>(kKvSlotCount) * kKvSlotBytes);
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string cmd = std::string("\"") + self + "\" --gtest_filter=OnBoards." + name;
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back(0);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 1000;
    DWORD code = 1001;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 90000) {
        if (MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, 50, QS_ALLINPUT) == WAIT_OBJECT_0) {
            GetExitCodeProcess(pi.hProcess, &code);
            break;
        }
        pump(10);
    }
    if (code == 1001) TerminateProcess(pi.hProcess, 1001);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

// --- the cases, run in the started copy ---

// The pattern generator's editor, as far as the viewer sees it: a window of class "QGEditor"
// that counts the notifications around board access (1 before, 0 after).
int g_accessNotices[2] = {};
LRESULT CALLBACK patternEditorProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_COPYDATA) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
        if (data->dwData <= 1 && data->cbData == 0) ++g_accessNotices[data->dwData];
        return TRUE;
    }
    return DefWindowProcW(w, m, wp, lp);
}
HWND createPatternEditor() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = patternEditorProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QGEditor";
    RegisterClassW(&wc);
    return CreateWindowExW(0, L"QGEditor", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, wc.hInstance, nullptr);
}

// Acquire once: the capture completes, is shown and holds the board's count; the pattern
// editor hears of every burst of board access, begun and ended.
void acquireShowsTheCount(const char* picture, uint64_t mask, int stride = 1) {
    ASSERT_TRUE(startViewer());
    ASSERT_EQ(g_viewer->shell.deviceIndex >= 0, true);
    HWND editor = createPatternEditor();
    const std::wstring title = textOf(mainWindow());
    command(kv::kIdAcquire);
    EXPECT_EQ(status(), L"Capture......");
    ASSERT_TRUE(pumpUntil(captureEnded, 20000));
    pump(200);
    EXPECT_GT(g_accessNotices[1], 3);
    EXPECT_EQ(g_accessNotices[0], g_accessNotices[1]);
    DestroyWindow(editor);
    EXPECT_EQ(status(), L"Capture Ok");
    EXPECT_EQ(textOf(mainWindow()), title.substr(0, title.size() - 1) + L" *]");
    EXPECT_TRUE(IsWindowEnabled(panelItem(kv::kIdAcquire)));
    const int32_t n = g_viewer->store.logicalCount();
    std::printf("%s: %d samples, trigger at %d\n", picture, n, g_viewer->capture.triggerPosition);
    ASSERT_GT(n, 1000);
    const int broken = brokenSteps(n, mask, stride);
    EXPECT_GE(broken, 0);
    EXPECT_LT(broken, n / 100 + 4);
    if (picture) saveWindowPicture(mainWindow(), picture);
}

TEST_F(OnBoards, PocketBoardCapture) { acquireShowsTheCount("acquire-pocket", 0xFFFF); }
TEST_F(OnBoards, Usb20BoardCapture) { acquireShowsTheCount("acquire-usb20-64ch", 0xFFFFFFFF); }
TEST_F(OnBoards, PciCardCapture) { acquireShowsTheCount(nullptr, 0xFFFFFFFF); }
TEST_F(OnBoards, ParallelPortCapture) { acquireShowsTheCount(nullptr, 0xFFFFFFFF); }
TEST_F(OnBoards, IsaCardCapture) { acquireShowsTheCount(nullptr, 0xFFFFFFFF, 2); }

TEST_F(OnBoards, NanlynCaptureShowsProgressThenTheSignal) {
    ASSERT_TRUE(startViewer());
    ASSERT_EQ(g_viewer->shell.deviceIndex, 0);
    ASSERT_TRUE(g_viewer->device.limits.nanlyn);
    // The panel set-up loaded a sample mode: the board has a mode record in force.
    uint8_t mode[kKvModeInfoBytes] = {};
    ASSERT_NE(KvGetHwInfoEx(0, kHwModeInfo, -1, mode), 0);
    EXPECT_EQ(mode[8] | mode[9] << 8, g_viewer->acq.trigger.nanlynFirmware);

    // A trigger on channel 35 keeps the board waiting: the progress display replaces the status.
    triggerOnHighChannel(35);
    command(kv::kIdAcquire);
    EXPECT_TRUE(pumpUntil([] { return kv::progressDisplayShown(); }, 5000));
    ASSERT_TRUE(pumpUntil([] { return !IsWindowEnabled(panelItem(kv::kIdAcquire)); }, 10000));
    pump(700);
    EXPECT_TRUE(IsWindowVisible(panelItem(kv::kIdProgress)));
    EXPECT_FALSE(IsWindowVisible(panelItem(kv::kIdStatus)));
    EXPECT_FALSE(IsWindowEnabled(panelItem(kv::kIdAcquire)));
    saveWindowPicture(mainWindow(), "acquire-nanlyn-waiting");
    keyUp(VK_ESCAPE);
    ASSERT_TRUE(pumpUntil(captureEnded, 20000));
    EXPECT_EQ(status(), L"Force Stop Capture");
    EXPECT_FALSE(IsWindowVisible(panelItem(kv::kIdProgress)));
    EXPECT_TRUE(IsWindowVisible(panelItem(kv::kIdStatus)));

    // Without a trigger condition the capture completes and shows the count.
    kv::resetTriggerSlot(g_viewer->acq.trigger, kv::kModeSingle);
    g_viewer->acq.trigger.current = g_viewer->acq.trigger.slots[kv::kModeSingle];
    g_viewer->acq.trigger.sent = 0;
    command(kv::kIdAcquire);
    ASSERT_TRUE(pumpUntil(captureEnded, 20000));
    EXPECT_EQ(status(), L"Capture Ok");
    const int32_t n = g_viewer->store.logicalCount();
    std::printf("Nanlyn: %d samples of %d bits\n", n, g_viewer->store.sampleBits());
    ASSERT_GT(n, 1000);
    const int broken = brokenSteps(n, 0xFFFFFFFFFull);
    EXPECT_GE(broken, 0);
    EXPECT_LT(broken, n / 100 + 4);
    saveWindowPicture(mainWindow(), "acquire-nanlyn-signal");
}

TEST_F(OnBoards, EscOnAnIsaCardGivesAnAllZeroCapture) {
    ASSERT_TRUE(startViewer());
    ASSERT_EQ(g_viewer->device.interfaceCode >= 4 && g_viewer->device.interfaceCode <= 7, true);
    command(kv::kIdAcquire);   // a first capture fills the view
    ASSERT_TRUE(pumpUntil(captureEnded, 20000));
    ASSERT_NE(g_viewer->store.sample(1000), 0u);
    triggerOnHighChannel(59);   // the card compares channels 0-59
    command(kv::kIdAcquire);
    // Armed once the controls are disabled (arming clears any earlier stop request).
    ASSERT_TRUE(pumpUntil([] { return !IsWindowEnabled(panelItem(kv::kIdAcquire)); }, 10000));
    pump(300);
    ASSERT_FALSE(captureEnded());   // waiting for the trigger
    keyUp(VK_ESCAPE);
    ASSERT_TRUE(pumpUntil(captureEnded, 20000));
    EXPECT_EQ(status(), L"Force Stop Capture");
    const int32_t n = g_viewer->store.logicalCount();
    ASSERT_GT(n, 0);
    int32_t nonZero = 0;
    for (int32_t i = 0; i < n; ++i) nonZero += g_viewer->store.sample(i) != 0;
    EXPECT_EQ(nonZero, 0);
    std::printf("ISA stop: %d samples, all zero\n", n);
}

TEST_F(OnBoards, SecondViewerFindsNoFreeBoard) {
    ASSERT_TRUE(startViewer());
    EXPECT_EQ(g_viewer->shell.deviceIndex, -1);
    EXPECT_EQ(prompts().countOf(IDS_DEMO_MODE), 1);
}

TEST_F(OnBoards, SecondViewerFindsTheBoardBusy) {
    ASSERT_TRUE(startViewer());
    ASSERT_GE(g_viewer->shell.deviceIndex, 0);
    command(kv::kIdAcquire);
    pump(300);
    EXPECT_EQ(prompts().countOf(IDS_HARDWARE_BUSY), 1);
    EXPECT_TRUE(captureEnded());
    for (const kv::Prompt& p : prompts().asked)
        if (p.stringId == IDS_HARDWARE_BUSY) {
            EXPECT_EQ(p.text, L"Hardware is busy.");
            EXPECT_EQ(p.owner, nullptr);
            EXPECT_EQ(p.type & MB_ICONMASK, static_cast<UINT>(MB_ICONHAND));
        }
}

TEST_F(OnBoards, SecondViewerCapturesWhenTheFirstIsIdle) {
    ASSERT_TRUE(startViewer());
    ASSERT_GE(g_viewer->shell.deviceIndex, 0);
    command(kv::kIdAcquire);
    ASSERT_TRUE(pumpUntil(captureEnded, 20000));
    EXPECT_EQ(prompts().countOf(IDS_HARDWARE_BUSY), 0);
    EXPECT_EQ(status(), L"Capture Ok");
}

TEST_F(OnBoards, BusyCheckBetweenTwoViewers) {
    ASSERT_TRUE(startViewer());
    ASSERT_GE(g_viewer->shell.deviceIndex, 0);
    // This viewer holds the only board: a second one finds none free and runs in demo mode.
    EXPECT_EQ(runSecondViewer("SecondViewerFindsNoFreeBoard", false), 0u);
    // While this one waits for its trigger, a second viewer on a board of the same identity is
    // refused; once this one is idle, the second captures.
    triggerOnHighChannel(59);   // the card compares channels 0-59
    command(kv::kIdAcquire);
    ASSERT_TRUE(pumpUntil([] { return !IsWindowEnabled(panelItem(kv::kIdAcquire)); }, 10000));
    pump(300);
    ASSERT_FALSE(captureEnded());
    EXPECT_EQ(runSecondViewer("SecondViewerFindsTheBoardBusy", true), 0u);
    command(kv::kIdStop);
    ASSERT_TRUE(pumpUntil(captureEnded, 20000));
    EXPECT_EQ(runSecondViewer("SecondViewerCapturesWhenTheFirstIsIdle", true), 0u);
}

TEST_F(OnBoards, AutoSaveDuringRepetitiveCaptureSharesOneTimeStamp) {
    ASSERT_TRUE(startViewer());
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "kv-autosave-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    g_viewer->settings.workDirectory = folder;
    keyUp('1', true);
    EXPECT_EQ(status(), L"Enable Save File");
    const auto saved = [&] {
        std::vector<std::string> names;
        WIN32_FIND_DATAA f;
        HANDLE h = FindFirstFileA((folder + "\\W*.KVW").c_str(), &f);
        if (h == INVALID_HANDLE_VALUE) return names;
        do names.push_back(f.cFileName);
        while (FindNextFileA(h, &f));
        FindClose(h);
        std::sort(names.begin(), names.end());
        return names;
    };
    command(kv::kIdRepetitive);
    EXPECT_TRUE(pumpUntil([&] { return saved().size() >= 3; }, 30000));
    command(kv::kIdStop);
    ASSERT_TRUE(pumpUntil(captureEnded, 20000));
    const std::vector<std::string> names = saved();
    ASSERT_GE(names.size(), 3u);
    // "W" + 14 digits of the first save's time + the counter + ".KVW": one time stamp, the
    // counters 0, 1, 2, ... without a gap.
    std::vector<int> counters;
    for (const std::string& n : names) {
        EXPECT_EQ(n.substr(0, 15), names[0].substr(0, 15)) << n;
        EXPECT_EQ(n.substr(n.size() - 4), ".KVW");
        counters.push_back(std::atoi(n.substr(15, n.size() - 19).c_str()));
    }
    std::sort(counters.begin(), counters.end());
    for (size_t k = 0; k < counters.size(); ++k) EXPECT_EQ(counters[k], static_cast<int>(k));
    std::printf("auto-saved %zu files, %s to %s\n", names.size(), names[0].c_str(), names.back().c_str());
    for (const std::string& n : names) DeleteFileA((folder + "\\" + n).c_str());
    RemoveDirectoryA(folder.c_str());
}

TEST_F(OnBoards, BlockRepeatModeArmsAtATenthOfTheModeDepth) {
    ASSERT_TRUE(startViewer());
    ASSERT_TRUE(g_viewer->device.limits.nanlyn);
    // The time-stamp mode (its record's feature bit 4) with its whole usable depth.
    kv::TriggerSetup& s = g_viewer->acq.trigger;
    s.nanlynFirmware = 4051;
    s.nanlynMemorySelect = 1;
    KvSetHwInfo(0, kHwSelectMode, 4051);
    KvSetHwInfo(0, kHwSetCaptureLength, 2500);
    command(kv::kIdAcquire);
    ASSERT_TRUE(pumpUntil(captureEnded, 20000));
    const int32_t shown = g_viewer->store.logicalCount();
    ASSERT_GT(shown, 0);
    EXPECT_EQ(g_viewer->store.storageMode(), kv::kStorageBlockRepeat);
    // The trigger cursor at 5 % of the capture: armed at a tenth of the mode's 2560 samples.
    s.setTriggerPosition(shown / 20);
    const std::string log = environmentVariable("HALVEX_VIRTUAL_LOG");
    ASSERT_FALSE(log.empty());
    HANDLE f = CreateFileA(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, TRUNCATE_EXISTING, 0, nullptr);
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
    command(kv::kIdAcquire);
    ASSERT_TRUE(pumpUntil(captureEnded, 20000));
    EXPECT_EQ(status(), L"Capture Ok");
    // 4 GHz arming: start = (usable depth - position) / 20 - 5 = (2500 - 240) / 20 - 5 = 108,
    // sent as the word frame 0x22 0x006C.
    std::ifstream in(log, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t at = text.find("22 00 6C 00");
    EXPECT_NE(at, std::string::npos);
    if (at != std::string::npos) std::printf("armed: ...%s...\n", text.substr(at > 40 ? at - 40 : 0, 80).c_str());
    // The read-back reports where the trigger fell in logical samples; the view shows it there.
    EXPECT_EQ(g_viewer->capture.triggerPosition, static_cast<int32_t>(KvGetHwInfo(0, kHwTimeStampPre)));
}


std::vector<std::wstring> comboItems(HWND dialog, int id) {
    std::vector<std::wstring> items;
    HWND list = GetDlgItem(dialog, id);
    const LRESULT n = SendMessageW(list, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
        wchar_t text[128] = {};
        SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        items.push_back(text);
    }
    return items;
}

void choose(HWND dialog, int id, int index) {
    SendDlgItemMessageW(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

TEST_F(OnBoards, ConfigureEnvironmentOnANanlynBoard) {
    ASSERT_TRUE(startViewer());
    ASSERT_TRUE(g_viewer->device.limits.nanlyn);
    int shown = 0;
    onDialog([&](HWND dialog, int id) {
        ++shown;
        EXPECT_EQ(id, IDD_ENVIRONMENT);
        const std::vector<std::wstring> rows = comboItems(dialog, IDC_ENV_SAMPLE_MODE);
        ASSERT_EQ(rows.size(), 13u);
        EXPECT_EQ(rows[8], L"UART Trigger");
        // The mode loaded at set-up: "Nanlyn 4GHz" with its four configurations.
        EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_ENV_SAMPLE_MODE, CB_GETCURSEL, 0, 0), 0);
        EXPECT_EQ(comboItems(dialog, IDC_ENV_MEMORY_STACK),
                  (std::vector<std::wstring>{L"36 Channels, Memory Depths x 1", L"18 Channels, Memory Depths x 2",
                                             L"9 Channels, Memory Depths x 4", L"4 Channels, Memory Depths x 8"}));
        saveWindowPicture(dialog, "configure-environment-nanlyn");
        // "FREQ <= 200MHz" in its 9-channel column, with a depth of 1001.
        choose(dialog, IDC_ENV_SAMPLE_MODE, 7);
        EXPECT_EQ(comboItems(dialog, IDC_ENV_MEMORY_STACK).size(), 8u);
        choose(dialog, IDC_ENV_MEMORY_STACK, 3);
        SetDlgItemTextW(dialog, IDC_ENV_DEPTH, L"1001");
        SetDlgItemTextW(dialog, IDC_ENV_EXT_CLOCK, L"0");
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);   // refused: the external clock is below 1
        SetDlgItemTextW(dialog, IDC_ENV_EXT_CLOCK, L"25000000");
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    command(kv::kIdEnvironment);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(prompts().countOf(IDS_EXT_CLOCK_BELOW_ONE), 1);
    EXPECT_EQ(KvGetHwInfo(0, kHwCaptureLength), 1000u);   // a multiple of the column's divisor 4
    EXPECT_EQ(g_viewer->acq.trigger.nanlynMemorySelect, 1 << 3);
    EXPECT_EQ(g_viewer->settings.extClkValEx, 25000000u);
    uint8_t mode[kKvModeInfoBytes] = {};
    ASSERT_NE(KvGetHwInfoEx(0, kHwModeInfo, -1, mode), 0);
    EXPECT_EQ(mode[8] | mode[9] << 8, g_viewer->acq.trigger.nanlynFirmware);
    // The capture in that configuration: 9-channel samples, four to a memory word.
    command(kv::kIdAcquire);
    ASSERT_TRUE(pumpUntil(captureEnded, 20000));
    EXPECT_EQ(status(), L"Capture Ok");
    EXPECT_EQ(g_viewer->store.sampleBits(), 9);
    EXPECT_EQ(g_viewer->store.logicalCount(), 1000);
}

TEST_F(OnBoards, ThresholdsAndRateChangesOnA64ChannelBoard) {
    ASSERT_TRUE(startViewer());
    onDialog([&](HWND dialog, int id) {
        if (id == IDD_CUSTOM_THRESHOLD) {
            HWND list = GetDlgItem(dialog, IDC_CUSTOM_LIST);
            const LRESULT before = SendMessageW(list, LB_GETCOUNT, 0, 0);
            SetDlgItemTextW(dialog, IDC_CUSTOM_NAME, L"CMOS 5V");
            HWND slider = GetDlgItem(dialog, IDC_THRESHOLD_SLIDER);
            SendMessageW(slider, TBM_SETPOS, TRUE, 80);   // 6880 - 55 x 80 = 2480 mV
            SendMessageW(dialog, WM_VSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 80), reinterpret_cast<LPARAM>(slider));
            EXPECT_EQ(textOf(GetDlgItem(dialog, IDC_CUSTOM_LEVEL)), L" 2.480 V");
            SendMessageW(dialog, WM_COMMAND, IDC_CUSTOM_ADD, 0);
            EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), before + 1);
            SetDlgItemTextW(dialog, IDC_CUSTOM_NAME, L"TTL 3.3");
            SendMessageW(dialog, WM_COMMAND, IDC_CUSTOM_DELETE, 0);   // refused: a built-in level
            EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), before + 1);
            SendMessageW(dialog, WM_COMMAND, IDC_CUSTOM_EXIT, 0);
            return;
        }
        EXPECT_EQ(id, IDD_CONFIGURE_THRESHOLD);
        SendMessageW(dialog, WM_COMMAND, IDC_THRESHOLD_CUSTOM, 0);
        EXPECT_EQ(comboItems(dialog, IDC_POD_LIST_A).back(), L"CMOS 5V");   // the lists refilled
        EXPECT_EQ(textOf(GetDlgItem(dialog, IDC_POD_LEVEL_A)), L" 1.600 V");
        choose(dialog, IDC_POD_LIST_B, 1);   // ECL
        EXPECT_EQ(textOf(GetDlgItem(dialog, IDC_POD_LEVEL_A + 1)), L"-1.315 V");
        choose(dialog, IDC_POD_LIST_C, 3);   // User Define: the slider adjusts pod C
        HWND slider = GetDlgItem(dialog, IDC_THRESHOLD_SLIDER);
        EXPECT_TRUE(IsWindowEnabled(slider));
        SendMessageW(slider, TBM_SETPOS, TRUE, 0);
        SendMessageW(dialog, WM_VSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 0), reinterpret_cast<LPARAM>(slider));
        EXPECT_EQ(textOf(GetDlgItem(dialog, IDC_POD_LEVEL_A + 2)), L" 6.880 V");
        saveWindowPicture(dialog, "configure-threshold");
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    command(kv::kIdThreshold);
    EXPECT_EQ(prompts().countOf(IDS_THRESHOLD_BUILTIN), 1);
    EXPECT_EQ(kv::podThresholds().millivolts[1], -1315);
    EXPECT_EQ(kv::podThresholds().millivolts[2], 6880);

    // A rate change asks first (dialog 151): "No" keeps the rate; "Yes" with "Show this no more"
    // changes it and asks no more.
    HWND rates = panelItem(kv::kIdRateList);
    const LRESULT shown = SendMessageW(rates, CB_GETCURSEL, 0, 0);
    const uint64_t before = g_viewer->acq.trigger.current.frequency();
    const LRESULT other = shown > 0 ? shown - 1 : shown + 1;
    int asked = 0;
    bool answerYes = false;
    onDialog([&](HWND dialog, int id) {
        ++asked;
        EXPECT_EQ(id, IDD_RATE_WARNING);
        if (answerYes) CheckDlgButton(dialog, IDC_WARNING_NO_MORE, BST_CHECKED);
        SendMessageW(dialog, WM_COMMAND, answerYes ? IDYES : IDNO, 0);
    });
    const auto pickRate = [&](LRESULT index) {
        SendMessageW(rates, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        SendMessageW(panel(), WM_COMMAND, MAKEWPARAM(kv::kIdRateList, CBN_SELCHANGE), reinterpret_cast<LPARAM>(rates));
    };
    pickRate(other);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(SendMessageW(rates, CB_GETCURSEL, 0, 0), shown);
    EXPECT_EQ(g_viewer->acq.trigger.current.frequency(), before);
    answerYes = true;
    pickRate(other);
    EXPECT_EQ(asked, 2);
    EXPECT_NE(g_viewer->acq.trigger.current.frequency(), before);
    EXPECT_EQ(g_viewer->settings.systemWarn1, 0);
    pickRate(shown);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(g_viewer->acq.trigger.current.frequency(), before);
}

// --- the parent tests ---

class AcquireUi : public BoardCases {};

TEST_F(AcquireUi, EveryBoardKindCapturesItsSignal) {
    EXPECT_EQ(runBoardCase("PocketBoardCapture", kPocket), 0u);
    EXPECT_EQ(runBoardCase("Usb20BoardCapture", kUsb20), 0u);
    EXPECT_EQ(runBoardCase("PciCardCapture", kPci), 0u);
    EXPECT_EQ(runBoardCase("ParallelPortCapture", kParallel), 0u);
    EXPECT_EQ(runBoardCase("IsaCardCapture", kIsa), 0u);
    EXPECT_EQ(runBoardCase("NanlynCaptureShowsProgressThenTheSignal", kNanlyn), 0u);
}

TEST_F(AcquireUi, ConfigureEnvironmentAndThresholds) {
    EXPECT_EQ(runBoardCase("ConfigureEnvironmentOnANanlynBoard", kNanlyn), 0u);
    EXPECT_EQ(runBoardCase("ThresholdsAndRateChangesOnA64ChannelBoard", kUsb20), 0u);
}

TEST_F(AcquireUi, EscOnAnIsaCard) { EXPECT_EQ(runBoardCase("EscOnAnIsaCardGivesAnAllZeroCapture", kIsa), 0u); }

TEST_F(AcquireUi, BusyCheck) { EXPECT_EQ(runBoardCase("BusyCheckBetweenTwoViewers", kIsa), 0u); }

TEST_F(AcquireUi, AutoSave) { EXPECT_EQ(runBoardCase("AutoSaveDuringRepetitiveCaptureSharesOneTimeStamp", kPocket), 0u); }

TEST_F(AcquireUi, BlockRepeat) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string log = std::string(temp) + "kv-block-repeat.log";
    DeleteFileA(log.c_str());
    SetEnvironmentVariableA("HALVEX_VIRTUAL_LOG", log.c_str());
    EXPECT_EQ(runBoardCase("BlockRepeatModeArmsAtATenthOfTheModeDepth", kNanlyn), 0u);
    SetEnvironmentVariableA("HALVEX_VIRTUAL_LOG", nullptr);
    DeleteFileA(log.c_str());
}

}  // namespace
}  // namespace kvtest
