// Stacking under Wine: the viewer with a virtual logic board and the maker's virtual USB scope
// beside it, reached through the real Zentro.dll. Each case runs in a copy of this program started
// with its own devices (board_cases.h). The scope's channel 1 is tied to the board's channel 3, so
// its analog row must rise and fall where the logic row of channel 3 does.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "viewer/acquire/acquire_resources.h"
#include "viewer/display/label_dialogs_win.h"
#include "viewer/display/label_table.h"
#include "viewer/display/measuring.h"
#include "viewer/display/wave_view_win.h"
#include "viewer/res/resource.h"
#include "viewer/scope/scope_resources.h"
#include "viewer/scope/stack_win.h"
#include "viewer/scope/visa_scope.h"
#include "viewer/shell/panel_commands.h"
#include "viewer/trigger/trigger_dialogs_win.h"
#include "tests/ui/board_cases.h"

namespace kvtest {
namespace {

using kv::g_viewer;

const char* const kPocketAndScope = "usb0=pocket:2216:6;usb1=scope:abcd:ch1=tie3:ch2=sine@1000000/1000";
const char* const kPocketOnly = "usb0=pocket:2216:6";

bool captureEnded() { return g_viewer->acq.thread == nullptr && g_viewer->acq.captureRunning == 0; }
void command(int id) { SendMessageW(panel(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

// The virtual scope answers at the instant of its trigger; the real one sees the analyzer's
// trigger output two path delays (2 x 45 ns) late, which the stack delay here gives back.
const char* const kStackDelay = "90000";

// Configure Environment, its "DSO" button, then "Ombix" with the stack delay and OK.
void stackOmbixFromEnvironment() {
    onDialog([](HWND dialog, int templateId) {
        if (templateId == IDD_ENVIRONMENT) {
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_ENV_DSO)));
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_ENV_DSO, BN_CLICKED), 0);
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        } else if (templateId == IDD_DSO_STACK) {
            SendDlgItemMessageW(dialog, IDC_DSO_BRAND, CB_SETCURSEL, kv::kBrandOmbix, 0);
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_DSO_BRAND, CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_DSO_BRAND)));
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_DSO_SR_TYPE)));
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_DSO_IP)));
            SetDlgItemTextA(dialog, IDC_DSO_DELAY, kStackDelay);
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_DSO_OK, BN_CLICKED), 0);
        }
    });
    command(kv::kIdEnvironment);
    pump(100);
}

// Rows: the logic channel 3, then the scope's two channels.
void stackedLabels() {
    kv::LabelTable& t = g_viewer->labels.table;
    for (kv::LabelEntry& e : t.entries)
        if (e.rowButton) DestroyWindow(static_cast<HWND>(e.rowButton));
    t = kv::LabelTable{};
    const struct {
        int channel;
        uint32_t flags;
        const char* name;
        int color;
    } rows[] = {{3, 0, "CH3", 2}, {0, kv::kLabelScope, "DSO_CH1", 4}, {1, kv::kLabelScope, "DSO_CH2", 5}};
    for (int k = 0; k < 3; ++k) {
        t.entries[k].kind = kv::kLabelSingle;
        t.entries[k].channel = rows[k].channel;
        t.entries[k].flags = rows[k].flags;
        t.entries[k].colorIndex = rows[k].color;
        std::strcpy(t.entries[k].name, rows[k].name);
    }
    kv::labelsChanged();
}

// The trigger: channel 3 rising, the others don't care.
void triggerOnChannel3Rising() {
    kv::TriggerSetup& s = g_viewer->acq.trigger;
    std::memset(s.oneLevel, kv::kConditionDontCare, sizeof s.oneLevel);
    s.oneLevel[3] = kv::kConditionRising;
    kv::storeOneLevelFor(s.current, s.oneLevel, s.device);
    kv::completeTriggerRecord(s.current, kv::kModeSingle, s.device);
    s.sent = 0;
}

TEST_F(OnBoards, StackedCaptureLinesUpTheTiedChannel) {
    ASSERT_TRUE(startViewer());
    ASSERT_GE(g_viewer->shell.deviceIndex, 0);
    stackOmbixFromEnvironment();
    EXPECT_EQ(prompts().countOf(IDS_DSO_STACK_OMBIX), 1);
    ASSERT_NE(kv::scopeStack().device, nullptr);
    EXPECT_STREQ(kv::scopeStack().device->modelName(), "Ombix ZS-1102");
    EXPECT_EQ(kv::scopeStack().channels, 2);
    EXPECT_EQ(g_viewer->settings.dsoBrand, kv::kBrandOmbix);
    EXPECT_EQ(g_viewer->settings.dsoStackDelay[1], 90000u);

    stackedLabels();
    triggerOnChannel3Rising();
    command(kv::kIdAcquire);
    ASSERT_TRUE(pumpUntil(captureEnded, 20000));
    pump(200);
    const int32_t trigger = g_viewer->capture.triggerPosition;
    const uint64_t logicHz = g_viewer->acq.trigger.current.frequency();
    std::printf("logic %llu Hz, trigger at %d, scope %llu Hz\n", static_cast<unsigned long long>(logicHz), trigger,
                static_cast<unsigned long long>(kv::scopeStack().device->sampleRate()));
    ASSERT_TRUE(g_viewer->store.sample(trigger) >> 3 & 1);
    ASSERT_FALSE(g_viewer->store.sample(trigger - 1) >> 3 & 1);

    // Eight pixels a sample from a little before the trigger.
    kv::WaveView& view = kv::waveViewState().view;
    view.firstSample = trigger - 16;
    view.firstRow = 0;
    view.zoomIn = 3;
    view.zoomOut = 0;
    HWND area = panelItem(kv::kIdWaveArea);
    RedrawWindow(area, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    pump(100);
    saveWindowPicture(mainWindow(), "stacked-ombix");

    // In the middle of each logic sample: channel 3's row at its high (or low) level exactly where
    // the scope row's tied trace is at its top (or bottom).
    const RECT waves = kv::paneWavesRect(area, 0);
    const int wave = g_viewer->settings.waveHeight, margin = wave / 6;
    const COLORREF logic = kv::labelColor(2), analog = kv::labelColor(4);
    int compared = 0, edges = 0;
    bool lastHigh = false;
    for (int k = 0; k < 48; ++k) {
        int x = waves.left + 8 * k + 4;
        if ((x - waves.left) % 50 == 0) ++x;  // off the grid lines
        if (x >= waves.right) break;
        // The virtual board writes its count from shortly before the trigger: samples it never
        // wrote stay zero and show channel 3 low whatever the scope saw.
        if (g_viewer->store.sample(view.firstSample + k) == 0) continue;
        const bool logicHigh = kv::waveSurfacePixel(x, margin) == logic;
        const bool logicLow = kv::waveSurfacePixel(x, wave - margin) == logic;
        ASSERT_NE(logicHigh, logicLow) << k;
        EXPECT_EQ(logicHigh, (g_viewer->store.sample(view.firstSample + k) >> 3 & 1) != 0) << k;
        const bool scopeHigh = kv::waveSurfacePixel(x, wave + margin) == analog;
        const bool scopeLow = kv::waveSurfacePixel(x, 2 * wave - margin) == analog;
        EXPECT_NE(scopeHigh, scopeLow) << k;
        EXPECT_EQ(scopeHigh, logicHigh) << "sample " << view.firstSample + k;
        edges += k > 0 && logicHigh != lastHigh;
        lastHigh = logicHigh;
        ++compared;
    }
    EXPECT_GE(compared, 32);
    EXPECT_GE(edges, 4);

    // The measuring line pulled up across the scope row spans its whole scale; on the logic row
    // it has no voltage.
    g_viewer->settings.inertial = 0;
    int64_t hi = 0, lo = 0;
    kv::scopeStack().device->channelExtremes(0, hi, lo);
    const std::string volts = "Volt = " + kv::voltageText(hi - lo) + ", ";
    SendMessageW(area, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(waves.left + 101, waves.top + 2 * wave - margin));
    SendMessageW(area, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(waves.left + 151, waves.top + wave + margin));
    const std::wstring text = textOf(panelItem(kv::kIdStatus));
    EXPECT_EQ(text.find(std::wstring(volts.begin(), volts.end())), 0u) << volts;
    SendMessageW(area, WM_LBUTTONUP, 0, MAKELPARAM(waves.left + 151, waves.top + wave + margin));
    SendMessageW(area, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(waves.left + 101, waves.top + wave - margin));
    SendMessageW(area, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(waves.left + 151, waves.top + margin));
    EXPECT_EQ(textOf(panelItem(kv::kIdStatus)).find(L"Volt = ??, "), 0u);
    SendMessageW(area, WM_LBUTTONUP, 0, MAKELPARAM(waves.left + 151, waves.top + margin));
    closeViewer();
}

TEST_F(OnBoards, ConfiguredScopesThatAreAbsentTurnStackingOff) {
    // The maker's scope: 297.
    createSettingsKey();
    writeDword("DsoBrand", 1);
    ASSERT_TRUE(startViewer());
    EXPECT_EQ(prompts().countOf(IDS_NO_OMBIX_DSO), 1);
    EXPECT_EQ(kv::scopeStack().device, nullptr);
    EXPECT_EQ(g_viewer->settings.dsoBrand, 0);
    ASSERT_TRUE(closeViewer());

    // A Tektronix scope without VISA: 309, then 298.
    resetRegistry();
    createSettingsKey();
    writeDword("DsoBrand", 5);
    prompts().asked.clear();
    ASSERT_TRUE(startViewer());
    ASSERT_EQ(prompts().asked.size(), 2u);
    EXPECT_EQ(prompts().asked[0].stringId, IDS_DSO_INSTALL_VISA);
    EXPECT_EQ(prompts().asked[1].stringId, IDS_NO_TEK_DSO);
    EXPECT_EQ(kv::scopeStack().device, nullptr);
    EXPECT_EQ(g_viewer->settings.dsoBrand, 0);
    closeViewer();
}

// A Tektronix scope through the VISA stand-in (its family from KV_VISA_FAMILY): stacked from the
// dialog, identified, armed and read with the capture, its channel 1 drawn under the logic row.
TEST_F(OnBoards, TektronixScopeThroughVisaIsStacked) {
    const int family = std::atoi(environmentVariable("KV_VISA_FAMILY").c_str());
    ASSERT_TRUE(startViewer());
    ASSERT_GE(g_viewer->shell.deviceIndex, 0);
    onDialog([](HWND dialog, int templateId) {
        if (templateId != IDD_DSO_STACK) return;
        SendDlgItemMessageW(dialog, IDC_DSO_BRAND, CB_SETCURSEL, kv::kBrandTektronix, 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_DSO_BRAND, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_DSO_BRAND)));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_DSO_IP)));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_DSO_SR_TYPE)));
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_DSO_OK, BN_CLICKED), 0);
    });
    ASSERT_TRUE(kv::runStackSettingDialog(mainWindow()));
    EXPECT_EQ(prompts().countOf(IDS_DSO_STACK_TEK), 1);
    auto* scope = dynamic_cast<kv::VisaScope*>(kv::scopeStack().device.get());
    ASSERT_NE(scope, nullptr);
    EXPECT_EQ(scope->family(), family);
    std::printf("family %d: %s\n", family, scope->identification().c_str());

    stackedLabels();
    triggerOnChannel3Rising();
    command(kv::kIdAcquire);
    ASSERT_TRUE(pumpUntil(captureEnded, 20000));
    pump(200);
    EXPECT_EQ(scope->readingFinished(), 1);
    EXPECT_GT(scope->sampleCount(0), 0);
    kv::WaveView& view = kv::waveViewState().view;
    view.firstSample = g_viewer->capture.triggerPosition - 200;
    view.zoomIn = 0;
    view.zoomOut = 0;
    HWND area = panelItem(kv::kIdWaveArea);
    RedrawWindow(area, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    pump(100);
    char name[32];
    std::snprintf(name, sizeof name, "stacked-visa-%d", family);
    saveWindowPicture(mainWindow(), name);
    // Channel 1's triangle spans its row: the analog colour at the row's top and bottom margins.
    const RECT waves = kv::paneWavesRect(area, 0);
    const int wave = g_viewer->settings.waveHeight, margin = wave / 6;
    int top = 0, bottom = 0;
    for (int x = waves.left; x < waves.right; ++x) {
        top += kv::waveSurfacePixel(x, wave + margin) == kv::labelColor(4);
        bottom += kv::waveSurfacePixel(x, 2 * wave - margin) == kv::labelColor(4);
    }
    EXPECT_GT(top, 0);
    EXPECT_GT(bottom, 0);
    closeViewer();
}

class StackingUi : public BoardCases {};

TEST_F(StackingUi, TektronixFamiliesThroughTheVisaStandIn) {
    // The stand-in lives in a folder of its own: on PATH for these cases only.
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string folder(self);
    folder = folder.substr(0, folder.find_last_of('\\')) + "\\visa";
    std::vector<char> old(32768, 0);
    const DWORD length = GetEnvironmentVariableA("PATH", old.data(), static_cast<DWORD>(old.size()));
    const std::string path(old.data(), length < old.size() ? length : 0);
    SetEnvironmentVariableA("PATH", (folder + ";" + path).c_str());
    for (int family = 0; family < 5; ++family) {
        SetEnvironmentVariableA("KV_VISA_FAMILY", std::to_string(family).c_str());
        EXPECT_EQ(runBoardCase("TektronixScopeThroughVisaIsStacked", kPocketOnly), 0u) << family;
    }
    SetEnvironmentVariableA("KV_VISA_FAMILY", nullptr);
    SetEnvironmentVariableA("PATH", path.c_str());
}


TEST_F(StackingUi, StackedCaptureWithTheMakersScope) {
    EXPECT_EQ(runBoardCase("StackedCaptureLinesUpTheTiedChannel", kPocketAndScope), 0u);
}

TEST_F(StackingUi, AbsentScopes) { EXPECT_EQ(runBoardCase("ConfiguredScopesThatAreAbsentTurnStackingOff", kPocketOnly), 0u); }

}  // namespace
}  // namespace kvtest
