// Acquire, Repetitive Acquisition and the demo acquisition thread.
//
// The worker shares the capture buffer, the ring and the SampleStore with the main thread without
// a lock: the main thread does not start a second worker while the handle is set, and redraws
// from the store only on WM_KV_REPAINT. Every change of a window goes through a synchronous
// message to the panel, so all drawing stays on the main thread.
#include "viewer/shell/acquisition_win.h"

#include <ctime>
#include <mutex>

#include "viewer/acquire/acquire_resources.h"
#include "viewer/acquire/board_acquisition_win.h"
#include "viewer/display/decode_view_win.h"
#include "viewer/res/resource.h"
#include "viewer/shell/app_win.h"
#include "viewer/files/kvw_file_win.h"
#include "viewer/shell/demo_generator.h"
#include "viewer/shell/panel_commands.h"
#include "viewer/shell/prompts_win.h"
#include "viewer/shell/resources_win.h"

namespace kv {
namespace {

// What one demo acquisition needs, read afresh before each one: a repetitive capture picks up
// the Demo dialog's changes at its next round.
DemoRequest demoRequest(Viewer& v, HWND panel) {
    DemoRequest r;
    {
        std::lock_guard<std::mutex> lock(v.demo.settingsLock);
        for (int g = 0; g < kDemoGroups; ++g) r.groups[g] = v.settings.demo[g];
    }
    const LRESULT index = SendMessageW(GetDlgItem(panel, kIdRateList), CB_GETCURSEL, 0, 0);
    r.rate = demoRate(static_cast<int>(index));
    r.captureLength = v.capture.captureLength;
    r.trigger = demoTriggerOf(v.acq.trigger);
    return r;
}

// The ring and the capture area bound a demo capture alike.
int32_t demoCaptureLimit(const Viewer& v) {
    const int32_t area = captureAreaBytes(v.capture.limits());
    return area < static_cast<int32_t>(kDemoRingBytes) ? area : static_cast<int32_t>(kDemoRingBytes);
}

DWORD WINAPI demoThread(void* argument) {
    HWND panel = static_cast<HWND>(argument);
    Viewer& v = *g_viewer;
    DemoGenerator& generator = v.demo.generator;
    generator.random().seed(static_cast<uint32_t>(std::time(nullptr)) ^ GetTickCount());
    markTitleUnsaved();
    SendMessageW(panel, WM_KV_ACQ_CONTROLS, 0, 0);

    int saved = 0;   // automatic file names of this run share one time stamp
    FileTimeStamp stamp;
    while (!v.acq.stopRequest) {
        const DemoRequest request = demoRequest(v, panel);
        InterlockedExchange(&v.acq.demoInProgress, 1);
        generator.begin(request, v.demoRing.get(), demoCaptureLimit(v));
        const bool completed = generator.run(&v.acq.stopRequest) == DemoOutcome::Completed;
        if (completed) {
            // Demo data always starts at the buffer's first byte. The store is told the length and
            // format that were generated, so it never describes another capture than the one held.
            generator.copyOut(v.capture.base());
            const int32_t bits = generator.bytesPerSample() * 8;
            v.capture.captureLength = generator.captureBytes();
            v.capture.format = SampleFormat::make(kStoragePacked, bits, bits, bits);
            v.capture.triggerPosition = generator.triggerPosition();
            v.store.attach(v.capture.base(), generator.captureBytes(), bits, bits, bits, kStoragePacked);
        }
        // A stopped capture is not copied: the buffer keeps the previous one.
        v.store.setInvert(v.panel.invert);
        if (completed) runDecodePass();
        InterlockedExchange(&v.acq.demoInProgress, 0);
        SendMessageW(panel, WM_KV_REPAINT, 0, 0);
        if (v.acq.autoSave && !v.acq.stopRequest) saveCaptureAutomatically(saved++, stamp);
        if (v.acq.captureRunning) break;  // a single acquisition ends after one capture
    }

    InterlockedExchange(&v.acq.captureRunning, 0);
    SetDlgItemTextW(panel, kIdStatus, loadString(IDS_CAPTURE_STOP).c_str());
    // The last act of the worker: after this the main thread may release everything it used.
    SendMessageW(panel, WM_KV_ACQ_CONTROLS, 1, kAcquisitionEnded);
    return 0;
}

}  // namespace

// The window title gets its unsaved mark once: "KV Viewer - [Untitled]" becomes
// "KV Viewer - [Untitled *]". The file commands clear the flag when they save or load.
void markTitleUnsaved() {
    Viewer& v = *g_viewer;
    if (v.acq.unsavedMark) return;
    wchar_t text[1024] = {};
    const int n = GetWindowTextW(v.shell.mainWindow, text, 1024);
    if (n <= 0) return;
    std::wstring title(text, static_cast<size_t>(n));
    title.back() = L' ';
    title += L"*]";
    SetWindowTextW(v.shell.mainWindow, title.c_str());
    v.acq.unsavedMark = true;
}

// Automatic saving (Ctrl+1): every completed capture into the work directory, run-length encoded
// with all labels and the whole buffer, without asking.
void saveCaptureAutomatically(int counter, FileTimeStamp& stamp) {
    Viewer& v = *g_viewer;
    if (counter == 0) {
        SYSTEMTIME t;
        GetLocalTime(&t);
        stamp = FileTimeStamp{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
    }
    SaveChoice choice;
    choice.format = kSaveKvwRunLength;
    choice.fileName = v.settings.workDirectory + "\\" + automaticFileName(stamp, counter);
    writeWaveFile(v.shell.mainWindow, choice, true);
}

int32_t acquireCommand(WinHandle w, uint32_t commandId, uint32_t, MsgLParam) {
    Viewer& v = *g_viewer;
    HWND panel = static_cast<HWND>(w);
    // One worker at a time. The buttons are disabled only once the worker has started, so a
    // second Acquire may still arrive in between; it must not start a second writer of the
    // capture buffer.
    if (v.acq.thread) return 0;
    const bool single = commandId == kIdAcquire;
    if (single) InterlockedExchange(&v.acq.captureRunning, 1);
    SetFocus(v.shell.mainWindow);
    // Another viewer capturing on a board of the same identity: this one does not start. Demo
    // mode shares no board.
    if (anotherViewerHasThisBoard(v.shell.mainWindow, v.shell.deviceIndex, true)) {
        ask(nullptr, IDS_HARDWARE_BUSY, MB_ICONHAND | MB_OK);
        InterlockedExchange(&v.acq.captureRunning, 0);
        return 0;
    }
    InterlockedExchange(&v.acq.stopRequest, 0);
    SetTimer(panel, kTimerBusy, 100, nullptr);
    if (v.shell.deviceIndex >= 0) {
        v.acq.thread = startBoardAcquisition(panel, !single);
    } else {
        DWORD id = 0;
        v.acq.thread = CreateThread(nullptr, 0, demoThread, panel, 0, &id);
    }
    if (!v.acq.thread) {
        InterlockedExchange(&v.acq.captureRunning, 0);
        KillTimer(panel, kTimerBusy);
        return 0;
    }
    if (single) setStatusText(loadString(IDS_CAPTURE_RUNNING));
    return 0;
}

void finishAcquisition(HWND panel) {
    Viewer& v = *g_viewer;
    SendDlgItemMessageW(panel, kIdBusyIcon, STM_SETICON, reinterpret_cast<WPARAM>(v.panel.busyIcons[0]), 0);
    KillTimer(panel, kTimerBusy);
    if (v.acq.thread) {
        CloseHandle(v.acq.thread);
        v.acq.thread = nullptr;
    }
}

void fillDemoRateList(HWND panel) {
    HWND list = GetDlgItem(panel, kIdRateList);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    for (uint32_t hz : kDemoRates)
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(demoRateText(hz)).c_str()));
    SendMessageW(list, CB_SETCURSEL, kDefaultDemoRateIndex, 0);
}

int32_t demoDialogCommand(WinHandle w, uint32_t, uint32_t, MsgLParam) {
    runDemoDialog(static_cast<HWND>(w));
    return 0;
}

}  // namespace kv
