// The Win32 side of an acquisition with a board: the runtime's exports, the flags shared with the
// main thread, the other viewer instances and the pattern editor, and the panel's controls.
//
// The worker changes windows only through synchronous messages to the panel (or SetWindowText,
// which is one), so all drawing and every timer stays on the main thread.
#include "viewer/acquire/board_acquisition_win.h"

#include <commctrl.h>

#include "runtime/halvex_api.h"
#include "viewer/acquire/acquire_resources.h"
#include "viewer/acquire/board_capture.h"
#include "viewer/acquire/sample_mode_win.h"
#include "viewer/acquire/sample_modes.h"
#include "viewer/display/decode_view_win.h"
#include "viewer/files/wave_save.h"
#include "viewer/scope/stack_win.h"
#include "viewer/shell/acquisition_win.h"
#include "viewer/shell/app_win.h"
#include "viewer/shell/panel_commands.h"
#include "viewer/shell/resources_win.h"
#include "viewer/trigger/trigger_dialogs_win.h"

namespace kv {
namespace {

// A viewer that does not answer within this time is taken as not capturing: a hung instance must
// not hang this one.
constexpr UINT kIdentityTimeoutMs = 2000;

bool g_progressShown = false;
ProgressAnimation g_shownAnimation;   // copied by the worker before each repaint request

int callKvTrigger(int index, void* record) { return KvTrigger(index, record); }
int callKvCaptureData(int index, void* record) { return KvCaptureData(index, record); }

bool askIdentity(HWND window, uint32_t selector, uint32_t& answer) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, WM_KV_IDENTITY, 0, static_cast<LPARAM>(selector), SMTO_ABORTIFHUNG,
                             kIdentityTimeoutMs, &result))
        return false;
    answer = static_cast<uint32_t>(result);
    return true;
}

struct IdentitySearch {
    HWND self;
    uint32_t own[kIdentityWords];
    bool capturingOnly;
    bool found;
};

BOOL CALLBACK compareInstance(HWND window, LPARAM param) {
    auto& s = *reinterpret_cast<IdentitySearch*>(param);
    if (window == s.self) return TRUE;
    wchar_t cls[32] = {};
    if (!GetClassNameW(window, cls, 32) || lstrcmpW(cls, L"LogicAnalyzerClass") != 0) return TRUE;
    uint32_t other[kIdentityWords];
    for (int i = 0; i < kIdentityWords; ++i)
        if (!askIdentity(window, kIdentitySelectors[i], other[i])) return TRUE;
    if (!sameBoardIdentity(s.own, other)) return TRUE;
    uint32_t running = 0;
    if (s.capturingOnly && (!askIdentity(window, kHwCaptureRunning, running) || running == 0)) return TRUE;
    s.found = true;
    return FALSE;
}

// The host of one worker: the runtime with the viewer's device index, its panel and flags.
class WinAcquisitionHost : public AcquisitionHost {
public:
    explicit WinAcquisitionHost(HWND panel)
        : v_(*g_viewer), panel_(panel), index_(v_.shell.deviceIndex),
          patternEditor_(FindWindowA("QGEditor", nullptr)) {}

    int reset() override { return KvReset(index_); }
    uint32_t hwInfo(uint32_t selector) override { return KvGetHwInfo(index_, selector); }
    bool currentMode(uint8_t out[kModeRecordSize]) override {
        return KvGetHwInfoEx(index_, kHwModeInfo, -1, out) != 0;
    }
    int programTrigger(TriggerRecord& record) override {
        return kv::programTrigger(record, v_.acq.trigger.device, index_, callKvTrigger);
    }
    int armCapture(TriggerRecord& record) override {
        return kv::programTrigger(record, v_.acq.trigger.device, index_, callKvCaptureData);
    }
    int isDataReady() override { return KvIsDataReady(index_); }
    int progress() override {
        uint8_t state[16];
        uint8_t rate[8];
        int perMille = 0;
        KvGetInstantData(index_, 0, state, rate, &perMille);
        return perMille;
    }
    int stopCapture() override { return KvStopCap(index_); }
    int readCapture(uint8_t* out, int stopped, uint32_t lanes) override {
        return KvReadCapData(index_, out, stopped, lanes);
    }

    bool stopRequested() override { return v_.acq.stopRequest != 0; }
    void clearStopRequest() override { InterlockedExchange(&v_.acq.stopRequest, 0); }
    bool captureRunning() override { return v_.acq.captureRunning != 0; }
    void setCaptureRunning(bool on) override { InterlockedExchange(&v_.acq.captureRunning, on ? 1 : 0); }
    void waitForTriggerProgramming() override { kv::waitForTriggerProgramming(); }

    bool anotherViewerHasThisBoard() override {
        return kv::anotherViewerHasThisBoard(v_.shell.mainWindow, index_, false);
    }
    void notifyPatternEditor(int accessing) override {
        if (!patternEditor_) return;
        COPYDATASTRUCT data = {};
        data.dwData = static_cast<ULONG_PTR>(accessing);
        SendMessageTimeoutW(patternEditor_, WM_COPYDATA, reinterpret_cast<WPARAM>(v_.shell.mainWindow),
                            reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, kIdentityTimeoutMs, nullptr);
    }

    void markUnsaved() override { markTitleUnsaved(); }
    void showProgressDisplay(bool on) override {
        SendMessageW(panel_, WM_KV_ACQ_UI, on ? kUiProgressOn : kUiProgressOff, 0);
    }
    void repaintProgress(const ProgressAnimation& animation) override {
        g_shownAnimation = animation;
        SendMessageW(panel_, WM_KV_ACQ_UI, kUiProgressRepaint, 0);
    }
    void enableControls(bool on) override { SendMessageW(panel_, WM_KV_ACQ_CONTROLS, on ? 1 : 0, 0); }
    void showStatus(AcquisitionStatus status) override {
        const int id = status == AcquisitionStatus::CaptureOk ? IDS_CAPTURE_OK : IDS_FORCE_STOP;
        SetDlgItemTextW(panel_, kIdStatus, loadString(id).c_str());
    }
    void showCapture(bool jumpToTrigger) override {
        v_.store.setInvert(v_.panel.invert);
        runDecodePass();
        if (jumpToTrigger) SendMessageW(panel_, WM_COMMAND, MAKEWPARAM(kIdCursorTrigger, BN_CLICKED), 0);
        SendMessageW(panel_, WM_KV_REPAINT, 0, 0);
    }
    void endBusyAnimation() override { SendMessageW(panel_, WM_KV_ACQ_UI, kUiBusyEnd, 0); }
    void triggerBell() override {
        if (v_.settings.trigBell) MessageBeep(0);
    }
    bool autoSaveOn() override { return v_.acq.autoSave; }
    void autoSave(int counter) override { saveCaptureAutomatically(counter, stamp_); }
    uint32_t ticks() override { return GetTickCount(); }
    void yield() override { Sleep(1); }
    ScopeDevice* stackedScope() override { return scopeStack().device.get(); }
    void configureStackedScope(ScopeDevice& scope) override { configureForCapture(scope); }
    void scopeRead(bool ok) override { setScopeDataShown(ok); }

private:
    Viewer& v_;
    HWND panel_;
    int index_;
    HWND patternEditor_;   // looked for once per acquisition
    FileTimeStamp stamp_;
};

AcquisitionBoard boardOf(const Viewer& v) {
    AcquisitionBoard b;
    b.nanlyn = v.device.limits.nanlyn;
    b.interfaceCode = v.device.interfaceCode;
    b.productCode = v.device.productCode;
    b.wordsPerSample = v.device.wordsPerSample;
    b.bitsPerWord = v.device.bitsPerWord;
    return b;
}

void runWorker(HWND panel, bool repetitive) {
    Viewer& v = *g_viewer;
    WinAcquisitionHost host(panel);
    BoardAcquisition acquisition(host, boardOf(v), AcquisitionTarget{v.capture, v.store, v.acq.trigger, v.labels.table});
    if (repetitive)
        acquisition.runRepetitive();
    else
        acquisition.runSingle();
    // The last act of the worker: after this the main thread may release everything it used.
    SendMessageW(panel, WM_KV_ACQ_CONTROLS, 1, kAcquisitionEnded);
}

DWORD WINAPI singleCaptureThread(void* panel) {
    runWorker(static_cast<HWND>(panel), false);
    return 0;
}

DWORD WINAPI repetitiveCaptureThread(void* panel) {
    runWorker(static_cast<HWND>(panel), true);
    return 0;
}

// The progress control (1099): the board's progress as a bar, and a marker that swings over
// eight places while the board is waiting, so that a capture that makes no progress still shows
// that the viewer is alive.
LRESULT CALLBACK progressProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        RECT r;
        GetClientRect(window, &r);
        FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
        RECT bar = r;
        int perMille = g_shownAnimation.lastShown;
        if (perMille < 0) perMille = 0;
        if (perMille > 1000) perMille = 1000;
        bar.right = r.left + (r.right - r.left) * perMille / 1000;
        FillRect(dc, &bar, GetSysColorBrush(COLOR_HIGHLIGHT));
        const int cell = (r.right - r.left) / 8;
        RECT marker = {r.left + cell * g_shownAnimation.position + 1, r.top + 2,
                       r.left + cell * (g_shownAnimation.position + 1) - 1, r.bottom - 2};
        FillRect(dc, &marker, GetSysColorBrush(COLOR_BTNSHADOW));
        EndPaint(window, &ps);
        return 0;
    }
    if (message == WM_NCDESTROY) RemoveWindowSubclass(window, progressProc, 1);
    return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace

bool anotherViewerHasThisBoard(HWND ownMainWindow, int deviceIndex, bool capturingOnly) {
    if (deviceIndex < 0) return false;
    IdentitySearch s{ownMainWindow, {}, capturingOnly, false};
    for (int i = 0; i < kIdentityWords; ++i) s.own[i] = KvGetHwInfo(deviceIndex, kIdentitySelectors[i]);
    EnumWindows(compareInstance, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HANDLE startBoardAcquisition(HWND panel, bool repetitive) {
    DWORD id = 0;
    return CreateThread(nullptr, 0, repetitive ? repetitiveCaptureThread : singleCaptureThread, panel, 0, &id);
}

int32_t acquisitionUiMessage(WinHandle w, uint32_t, MsgWParam wParam, MsgLParam) {
    Viewer& v = *g_viewer;
    HWND panel = static_cast<HWND>(w);
    switch (wParam) {
        case kUiProgressOn:
            if (v.settings.valueField) KillTimer(panel, kTimerInstant);
            g_progressShown = true;
            g_shownAnimation = ProgressAnimation{};
            layoutMainPanel(panel);   // the progress control takes the status field's place
            break;
        case kUiProgressOff:
            if (v.settings.valueField) SetTimer(panel, kTimerInstant, 1000, nullptr);
            g_progressShown = false;
            layoutMainPanel(panel);
            break;
        case kUiProgressRepaint:
            InvalidateRect(GetDlgItem(panel, kIdProgress), nullptr, FALSE);
            UpdateWindow(GetDlgItem(panel, kIdProgress));
            break;
        case kUiBusyEnd:
            KillTimer(panel, kTimerBusy);
            SendDlgItemMessageW(panel, kIdBusyIcon, STM_SETICON, reinterpret_cast<WPARAM>(v.panel.busyIcons[0]), 0);
            break;
        default: break;
    }
    return TRUE;
}

bool progressDisplayShown() { return g_progressShown; }

void setUpBoardPanel(HWND panel) {
    Viewer& v = *g_viewer;
    SetWindowSubclass(GetDlgItem(panel, kIdProgress), progressProc, 1, 0);
    if (v.shell.deviceIndex < 0) return;
    if (!v.device.limits.nanlyn) {
        setUpSampleLists(panel);
        return;
    }
    TriggerSetup& s = v.acq.trigger;
    // Without a saved mode the board has no image at all: the first mode of the table is loaded,
    // the one the trigger record starts with (4 GHz, all 36 channels).
    const int index = v.shell.deviceIndex;
    uint8_t raw[kModeRecordSize];
    if (s.nanlynFirmware < 0) {
        const int cell = nanlynCell(nanlynTableOf(v.device.productCode), kRowFourGhz, 0);
        if (KvGetHwInfoEx(index, kHwModeInfo, cell, raw)) {
            s.nanlynFirmware = decodeModeRecord(raw).modeId;
            s.nanlynMemorySelect = 1;
        }
    }
    KvSetHwInfo(index, kHwSelectMode, static_cast<uint32_t>(s.nanlynFirmware));
    KvSetHwInfo(index, kHwSampleGroup, static_cast<uint32_t>(s.nanlynMemorySelect));
    // A depth beyond what the mode can hold would describe samples the board never delivers.
    if (KvGetHwInfoEx(index, kHwModeInfo, -1, raw)) {
        const ModeRecord mode = decodeModeRecord(raw);
        // The sample-group columns multiply the depth by their divisor.
        const int32_t usable = (mode.features & kFeatureSampleGroup)
                                   ? mode.usableDepth * memorySelectDivisor(s.nanlynMemorySelect)
                                   : mode.usableDepth;
        if (usable > 0 && static_cast<int32_t>(KvGetHwInfo(index, kHwCaptureLength)) > usable)
            KvSetHwInfo(index, kHwSetCaptureLength, static_cast<uint32_t>(usable));
    }
    setUpSampleLists(panel);
}

}  // namespace kv
