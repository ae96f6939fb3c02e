// Demo acquisitions and the Demo dialog, driven in-process under Wine: what the capture holds, what
// the panel shows while a capture runs and after it, Stop, and the one-worker rule.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/ui/ui_harness.h"
#include "viewer/res/resource.h"
#include "viewer/shell/acquisition_win.h"
#include "viewer/shell/demo_generator.h"
#include "viewer/shell/panel_commands.h"

namespace kvtest {
namespace {

using kv::g_viewer;

const int kAcquisitionControls[] = {kv::kIdAcquire,     kv::kIdRepetitive,    kv::kIdTrigger, kv::kIdThreshold,
                                    kv::kIdEnvironment, kv::kIdInterfaceCard, kv::kIdRateList, kv::kIdClockList};

void command(int id) { SendMessageW(panel(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

void writeGroup(int g, DWORD function, DWORD hz) {
    const std::string fg = "DemoFG" + std::to_string(g), fq = "DemoFreq" + std::to_string(g);
    writeDword(fg.c_str(), function);
    writeDword(fq.c_str(), hz);
}

// The groups every test starts from, at 50 MHz (list index 2): group 0 counts up once per sample,
// group 4 is all high from the first sample on (so generated samples can be told from the zeroed
// ring), group 7 all low (so "channel 56 high" never matches); the others random.
bool startDemoViewer() {
    createSettingsKey();
    for (int g = 0; g < 8; ++g) writeGroup(g, kv::kDemoRandom, 1000000);
    writeGroup(0, kv::kDemoUpCounter, 50000000);
    writeGroup(4, kv::kDemoAllHigh, 50000000);
    writeGroup(7, kv::kDemoAllLow, 50000000);
    if (!startViewer()) return false;
    SendMessageW(panelItem(kv::kIdRateList), CB_SETCURSEL, 2, 0);
    return true;
}

bool controlsEnabled(bool enabled) {
    for (int id : kAcquisitionControls)
        if ((IsWindowEnabled(panelItem(id)) != FALSE) != enabled) return false;
    return true;
}

bool workerEnded() { return g_viewer->acq.thread == nullptr; }

std::vector<uint64_t> firstSamples(int n) {
    std::vector<uint64_t> s;
    for (int i = 0; i < n; ++i) s.push_back(g_viewer->store.fetch(i));
    return s;
}

// Puts a single-level pattern in force as the single-level editor's OK does: one channel's code,
// the pass count and the trigger position.
void setTrigger(int channel, uint8_t code, int32_t pass = 0, int32_t position = kv::kDefaultTriggerPosition) {
    kv::TriggerSetup& t = g_viewer->acq.trigger;
    kv::resetTriggerSetup(t, t.device);
    if (channel >= 0) t.oneLevel[channel] = code;
    kv::storeOneLevel(t.current, t.oneLevel, 64);
    t.current.passCount = pass;
    t.setTriggerPosition(position);
}

// A trigger that waits for ever: channel 56 high while group 7 is all low.
void neverTrigger() { setTrigger(56, kv::kConditionHigh); }

class DemoAcquisitionTest : public ViewerTest {};

TEST_F(DemoAcquisitionTest, TheRateListHoldsTheDemoRates) {
    ASSERT_TRUE(startViewer());
    HWND list = panelItem(kv::kIdRateList);
    ASSERT_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), kv::kDemoRateCount);
    EXPECT_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), kv::kDefaultDemoRateIndex);
    const auto itemText = [&](int i) {
        wchar_t text[32] = {};
        SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        return std::wstring(text);
    };
    EXPECT_EQ(itemText(0), L"200 MHz");
    EXPECT_EQ(itemText(8), L"500 KHz");
    EXPECT_EQ(itemText(22), L"10 Hz");
}

TEST_F(DemoAcquisitionTest, AcquireFillsTheCaptureAndShowsTheStateDuringAndAfter) {
    ASSERT_TRUE(startDemoViewer());
    const std::wstring title = textOf(mainWindow());

    // While waiting for a trigger that never comes: status, disabled controls, the unsaved mark.
    neverTrigger();
    const std::vector<uint64_t> before = firstSamples(64);
    command(kv::kIdAcquire);
    EXPECT_EQ(textOf(panelItem(kv::kIdStatus)), L"Capture......");
    EXPECT_EQ(g_viewer->acq.captureRunning, 1);
    ASSERT_TRUE(pumpUntil([] { return controlsEnabled(false); }));
    EXPECT_NE(g_viewer->acq.thread, nullptr);
    EXPECT_EQ(textOf(mainWindow()), title.substr(0, title.size() - 1) + L" *]");
    pump(100);
    EXPECT_NE(g_viewer->acq.thread, nullptr);

    // Stop: the worker ends, the controls come back, the capture is the one held before.
    command(kv::kIdStop);
    ASSERT_TRUE(pumpUntil(workerEnded));
    EXPECT_EQ(textOf(panelItem(kv::kIdStatus)), L"Capture Stop");
    EXPECT_TRUE(controlsEnabled(true));
    EXPECT_EQ(g_viewer->acq.captureRunning, 0);
    EXPECT_EQ(firstSamples(64), before);

    // Without a trigger one buffer is captured: 40,000 bytes, 5,000 samples; group 0 (frequency =
    // rate) counts up sample by sample.
    setTrigger(-1, 0);
    command(kv::kIdAcquire);
    ASSERT_TRUE(pumpUntil(workerEnded));
    EXPECT_EQ(textOf(panelItem(kv::kIdStatus)), L"Capture Stop");
    EXPECT_TRUE(controlsEnabled(true));
    EXPECT_EQ(textOf(mainWindow()), title.substr(0, title.size() - 1) + L" *]");  // marked once
    kv::SampleStore& store = g_viewer->store;
    ASSERT_EQ(store.logicalCount(), 5000);
    for (int i = 1; i < store.logicalCount(); ++i) {
        const uint64_t a = store.fetch(i - 1), b = store.fetch(i);
        ASSERT_EQ(static_cast<uint8_t>(b), static_cast<uint8_t>(a + 1)) << i;
        ASSERT_EQ((b >> 32) & 0xFF, 0xFFu) << i;
        ASSERT_EQ(b >> 56, 0u) << i;
    }
}

TEST_F(DemoAcquisitionTest, ARisingEdgeWithPassCountSitsAtTheTriggerPosition) {
    ASSERT_TRUE(startDemoViewer());
    for (int32_t pass : {0, 4}) {
        setTrigger(0, kv::kConditionRising, pass, 200);
        command(kv::kIdAcquire);
        ASSERT_TRUE(pumpUntil(workerEnded));
        kv::SampleStore& store = g_viewer->store;
        EXPECT_EQ(g_viewer->capture.triggerPosition, 200);
        // The first generated sample (group 4 high) never counts; the (p+1)-th rising edge of
        // channel 0 after it is the trigger sample.
        int first = 0;
        while (first < store.logicalCount() && ((store.fetch(first) >> 32) & 0xFF) != 0xFF) ++first;
        int edges = 0, at = -1;
        for (int i = first + 1; i < store.logicalCount() && at < 0; ++i)
            if (!(store.fetch(i - 1) & 1) && (store.fetch(i) & 1) && ++edges == pass + 1) at = i;
        EXPECT_EQ(at, 200) << "pass count " << pass;
    }
}

TEST_F(DemoAcquisitionTest, EscWhileTheTriggerNeverMatchesKeepsThePreviousCapture) {
    ASSERT_TRUE(startDemoViewer());
    command(kv::kIdAcquire);
    ASSERT_TRUE(pumpUntil(workerEnded));
    const std::vector<uint64_t> held = firstSamples(200);

    neverTrigger();
    command(kv::kIdAcquire);
    ASSERT_TRUE(pumpUntil([] { return controlsEnabled(false); }));
    keyUp(VK_ESCAPE);
    ASSERT_TRUE(pumpUntil(workerEnded));
    EXPECT_EQ(firstSamples(200), held);
    EXPECT_EQ(textOf(panelItem(kv::kIdStatus)), L"Capture Stop");
    EXPECT_TRUE(controlsEnabled(true));
}

TEST_F(DemoAcquisitionTest, NothingStartsWhileARepetitiveCaptureRuns) {
    // Captures of 4 MiB, so the worker hands over a capture every few tens of milliseconds rather
    // than thousands of times a second.
    createSettingsKey();
    writeDword("giBufSizeDemo", 0x400000);
    ASSERT_TRUE(startDemoViewer());
    command(kv::kIdRepetitive);
    ASSERT_TRUE(pumpUntil([] { return controlsEnabled(false); }));
    const HANDLE worker = g_viewer->acq.thread;
    ASSERT_NE(worker, nullptr);
    EXPECT_EQ(g_viewer->acq.captureRunning, 0);  // repetitive demo captures run until stopped

    // Ctrl+Enter, and Acquire itself, start nothing while the worker exists.
    keyUp(VK_RETURN, true);
    command(kv::kIdAcquire);
    command(kv::kIdRepetitive);
    pump(100);
    EXPECT_EQ(g_viewer->acq.thread, worker);
    EXPECT_EQ(g_viewer->acq.captureRunning, 0);
    EXPECT_EQ(WaitForSingleObject(worker, 0), static_cast<DWORD>(WAIT_TIMEOUT));

    // Captures arrive while the worker goes on: group 4 is all high in every generated sample.
    ASSERT_TRUE(pumpUntil([] { return ((g_viewer->store.fetch(0) >> 32) & 0xFF) == 0xFF; }));
    EXPECT_EQ(g_viewer->store.logicalCount(), 0x80000);
    EXPECT_EQ(g_viewer->acq.thread, worker);

    command(kv::kIdStop);
    ASSERT_TRUE(pumpUntil(workerEnded));
    EXPECT_TRUE(controlsEnabled(true));
    EXPECT_EQ(textOf(panelItem(kv::kIdStatus)), L"Capture Stop");
}

class DemoDialogTest : public ViewerTest {};

TEST_F(DemoDialogTest, ShowsTheGroupsCyclesUnitsAndRefusesOver50MHz) {
    ASSERT_TRUE(startViewer());  // default groups: kinds 0, 2, 1, 2, 2, 1, 2, 0 at 20 ... 13 MHz
    std::vector<std::wstring> names;
    int selection = -1;
    std::wstring shown, unit, unitAfterPress, numberAfterPress;
    kv::DemoGroupSetting afterRefusal[8] = {};
    onDialog([&](HWND dialog, int id) {
        ASSERT_EQ(id, IDD_DEMO);
        HWND combo = GetDlgItem(dialog, IDC_DEMO_FUNCTION_FIRST + 2);
        for (int i = 0; i < SendMessageW(combo, CB_GETCOUNT, 0, 0); ++i) {
            wchar_t text[64] = {};
            SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            names.push_back(text);
        }
        selection = static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
        shown = textOf(GetDlgItem(dialog, IDC_DEMO_FREQUENCY_FIRST + 2));
        unit = textOf(GetDlgItem(dialog, IDC_DEMO_UNIT_FIRST + 2));
        // The unit button cycles; the number stays as typed.
        SendMessageW(GetDlgItem(dialog, IDC_DEMO_UNIT_FIRST + 0), BM_CLICK, 0, 0);
        unitAfterPress = textOf(GetDlgItem(dialog, IDC_DEMO_UNIT_FIRST + 0));
        numberAfterPress = textOf(GetDlgItem(dialog, IDC_DEMO_FREQUENCY_FIRST + 0));
        // Group 0: 7 KHz, rotate; group 3: 60 MHz, over the limit.
        SetDlgItemTextW(dialog, IDC_DEMO_FREQUENCY_FIRST + 0, L"7");
        SendDlgItemMessageW(dialog, IDC_DEMO_FUNCTION_FIRST + 0, CB_SETCURSEL, kv::kDemoRotate, 0);
        SetDlgItemTextW(dialog, IDC_DEMO_FREQUENCY_FIRST + 3, L"60");
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
        for (int g = 0; g < 8; ++g) afterRefusal[g] = g_viewer->settings.demo[g];
        // Posted: it reaches the dialog only if the refusal left it open.
        SetDlgItemTextW(dialog, IDC_DEMO_FREQUENCY_FIRST + 3, L"6");
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(kv::runDemoDialog(mainWindow()), 1);
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Up Counter", L"Down Counter", L"Random data", L"All LOW", L"All HIGH",
                                                L"Rotate Data", L"Sine", L"Unsigned Sine"}));
    EXPECT_EQ(selection, 1);
    EXPECT_EQ(shown, L"18");
    EXPECT_EQ(unit, L"MHz");
    EXPECT_EQ(unitAfterPress, L"KHz");
    EXPECT_EQ(numberAfterPress, L"20");
    EXPECT_EQ(prompts().countOf(IDS_DEMO_OVER_LIMIT), 1);
    ASSERT_FALSE(prompts().asked.empty());
    EXPECT_EQ(prompts().asked.back().text, L"The virtual target system can NOT configure over 50 MHz");
    // Before the refusal groups 0-2 held their new values and group 3 its old one.
    EXPECT_EQ(afterRefusal[0].function, kv::kDemoRotate);
    EXPECT_EQ(afterRefusal[0].unitMode, 1);
    EXPECT_EQ(afterRefusal[0].frequency, 7000);
    EXPECT_EQ(afterRefusal[2].frequency, 18000000);
    EXPECT_EQ(afterRefusal[3].frequency, 17000000);
    EXPECT_EQ(g_viewer->settings.demo[3].frequency, 6000000);  // the second OK reached the dialog
    EXPECT_EQ(g_viewer->settings.demo[7].frequency, 13000000);

    // Cancel changes nothing further; the Default button does nothing.
    onDialog([](HWND dialog, int) {
        SetDlgItemTextW(dialog, IDC_DEMO_FREQUENCY_FIRST + 5, L"1");
        SendMessageW(dialog, WM_COMMAND, IDC_DEMO_DEFAULT, 0);
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(kv::runDemoDialog(mainWindow()), 1);
    EXPECT_EQ(g_viewer->settings.demo[5].frequency, 15000000);
}

}  // namespace
}  // namespace kvtest
