// The main panel (dialog 102): toolbar, lists, waveform area, bottom row, and the panel's commands.
#include <windows.h>
#include <commctrl.h>
#include <dbt.h>

#include "runtime/halvex_api.h"
#include "viewer/acquire/board_acquisition_win.h"
#include "viewer/acquire/sample_mode_win.h"
#include "viewer/acquire/threshold_dialogs_win.h"
#include "viewer/commands/command_set_win.h"
#include "viewer/display/cursor_view_win.h"
#include "viewer/display/label_dialogs_win.h"
#include "viewer/display/search_dialog_win.h"
#include "viewer/display/value_column_win.h"
#include "viewer/display/wave_view_win.h"
#include "viewer/files/kvw_file_win.h"
#include "viewer/print/print_win.h"
#include "viewer/project/project_win.h"
#include "viewer/res/resource.h"
#include "viewer/scope/stack_win.h"
#include "viewer/shell/acquisition_win.h"
#include "viewer/shell/app_win.h"
#include "viewer/shell/message_table.h"
#include "viewer/shell/panel_commands.h"
#include "viewer/shell/panel_layout.h"
#include "viewer/shell/prompts_win.h"
#include "viewer/shell/resources_win.h"
#include "viewer/shell/shell_dispatch_win.h"
#include "viewer/storage/storage_dialog_win.h"
#include "viewer/trigger/trigger_dialogs_win.h"

namespace kv {
namespace {

HWND hwndOf(WinHandle w) { return static_cast<HWND>(w); }
HWND item(int id) { return GetDlgItem(g_viewer->shell.panel, id); }

// Buttons and lists that an acquisition disables while it runs.
const int kAcquisitionButtons[] = {kIdAcquire, kIdRepetitive, kIdTrigger, kIdThreshold, kIdEnvironment,
                                   kIdInterfaceCard};

void releasePushedLook(int id) { SendMessageW(item(id), BM_SETSTATE, FALSE, 0); }

void sendCommand(int id) { SendMessageW(g_viewer->shell.panel, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

// --- commands -----------------------------------------------------------------------------------

// Commands whose actions arrive with the display, trigger, file and project work are routed here
// so that their buttons and keys are wired; they do nothing yet.
int32_t cmdRouted(WinHandle, uint32_t, uint32_t, MsgLParam) { return 0; }

// The set-up's own "Add All Label" (lParam kAddAllFromSetup) acts only on an empty table; the
// menu's asks as usual.
constexpr MsgLParam kAddAllFromSetup = 1;
int32_t setupAddAllCommand(WinHandle w, uint32_t id, uint32_t code, MsgLParam lParam) {
    if (lParam == kAddAllFromSetup && g_viewer->labels.table.count() > 0) return 0;
    return labelCommand(w, id, code, lParam == kAddAllFromSetup ? 0 : lParam);
}

int32_t cmdStop(WinHandle, uint32_t, uint32_t, MsgLParam) {
    InterlockedExchange(&g_viewer->acq.stopRequest, 1);
    releasePushedLook(kIdStop);
    return 0;
}

int32_t cmdInvert(WinHandle, uint32_t, uint32_t, MsgLParam) {
    Viewer& v = *g_viewer;
    v.panel.invert = !v.panel.invert;
    CheckDlgButton(v.shell.panel, kIdInvert, v.panel.invert ? BST_CHECKED : BST_UNCHECKED);
    v.store.setInvert(v.panel.invert);
    SendMessageW(v.shell.panel, WM_KV_REPAINT, 0, 0);
    return 0;
}

int32_t cmdInformation(WinHandle w, uint32_t, uint32_t, MsgLParam) {
    g_viewer->acq.contextHelpPending = true;
    PostMessageW(hwndOf(w), WM_SYSCOMMAND, SC_CONTEXTHELP, 0);
    return 0;
}

int32_t cmdHelp(WinHandle w, uint32_t, uint32_t, MsgLParam) {
    showHelpTopic(hwndOf(w), "");
    return 0;
}

// "Select Command Set" exists for boards with a command-set decoder.
void enableCommandSets() {
    const Viewer& v = *g_viewer;
    const int32_t product = v.device.productCode;
    const bool commandSets = (product & 0xF00) != 0 || product == 0x2031 || product == 0x2032 || product == 0x2064 ||
                             v.device.limits.nanlyn;
    EnableWindow(item(kIdCommandSet), commandSets);
}

int32_t cmdHardwareInfo(WinHandle w, uint32_t, uint32_t, MsgLParam) {
    runHardwareInfoDialog(hwndOf(w));
    enableCommandSets();
    return 0;
}

int32_t cmdAbout(WinHandle w, uint32_t, uint32_t, MsgLParam) {
    runAboutDialog(hwndOf(w));
    return 0;
}

void startInstantStatus() {
    Viewer& v = *g_viewer;
    KillTimer(v.shell.panel, kTimerInstant);
    if (v.settings.valueField == 2) KvSetHwInfo(v.shell.deviceIndex, kHwStatusOption, v.settings.instFreqCh);
    if (v.settings.valueField) SetTimer(v.shell.panel, kTimerInstant, 1000, nullptr);
}

int32_t cmdInstantStatus(WinHandle, uint32_t id, uint32_t, MsgLParam) {
    Viewer& v = *g_viewer;
    v.settings.valueField = id == kCmdInstantOn ? 1 : id == kCmdInstantFreq ? 2 : 0;
    startInstantStatus();
    return 0;
}

const CommandEntry kPanelCommands[] = {
    {kIdZoomIn, zoomCommand},      {kIdZoomOut, zoomCommand},        {kIdTrigger, configureTriggerCommand},
    {kIdToolbox, labelToolboxCommand},       {kIdAcquire, acquireCommand},        {kIdStop, cmdStop},
    {kIdThreshold, thresholdCommand},     {kIdRepetitive, acquireCommand},     {kIdSearchNext, searchNextCommand},
    {kIdLabelEdit, labelEditCommand},     {kIdCursorTrigger, searchCursorCommand}, {kIdCursorA, searchCursorCommand},
    {kIdCursorB, searchCursorCommand}, {kIdCursorC, searchCursorCommand}, {kIdCursorD, searchCursorCommand},
    {kIdCursorE, searchCursorCommand}, {1025, pickCursorCommand},      {1026, pickCursorCommand},
    {1027, pickCursorCommand},     {1028, pickCursorCommand},      {1029, pickCursorCommand},
    {1030, pickCursorCommand},             {kIdFileMenu, fileMenuCommand},       {kIdRateList, rateListCommand},
    {kIdClockList, clockListCommand},     {kIdNanlynClock, qualifierListCommand},    {kIdMeasure, measureModeCommand},
    {kIdSaveProject, saveProjectCommand}, {kIdLoadProject, loadProjectCommand}, {kIdDeleteProject, deleteProjectCommand},
    {kIdLoadWave, loadWaveCommand}, {kIdSaveWave, saveWaveCommand},       {kIdInterfaceCard, cmdHardwareInfo},
    {kIdEnvironment, environmentCommand},   {kIdInformation, cmdInformation}, {kIdDemo, demoDialogCommand},
    {kIdTimingState, timingStateCommand},   {kIdNoAction, cmdRouted},       {kIdCommandSet, commandSetCommand},
    {kIdInvert, cmdInvert},        {kIdPrint, printCommand},          {kIdSearchPattern, searchPatternCommand},
    {kIdHelp, cmdHelp},            {kIdAbout, cmdAbout},           {101, labelCommand},
    {102, labelCommand},              {103, labelCommand},               {104, labelCommand},
    {105, labelCommand},              {106, labelCommand},               {107, labelCommand},
    {108, setupAddAllCommand},              {109, labelCommand},               {110, labelCommand},
    {111, labelCommand},              {112, labelCommand},               {113, labelCommand},
    {114, labelCommand},              {119, labelCommand},               {kCmdInstantOn, cmdInstantStatus},
    {kCmdInstantFreq, cmdInstantStatus}, {kCmdInstantOff, cmdInstantStatus},
    {kIdThumbTrack, thumbTrackCommand},
};
const CommandTable kPanelCommandTable = makeTable(kPanelCommands, DefaultProc::None);

// --- messages -----------------------------------------------------------------------------------

// Keys and the wheel belong to the main window even while a panel button has the focus (a click
// gives it the focus), so the buttons hand them on.
LRESULT CALLBACK forwardKeys(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    switch (message) {
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
        case WM_MOUSEWHEEL:
            if (g_viewer && g_viewer->shell.mainWindow)
                return SendMessageW(g_viewer->shell.mainWindow, message, wParam, lParam);
            break;
        case WM_NCDESTROY: RemoveWindowSubclass(window, forwardKeys, 1); break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

// A splash screen while a board's companion instruments are connected.
HWND showSplash(HBITMAP& bitmap) {
    bitmap = LoadBitmapA(g_viewer->shell.instance, MAKEINTRESOURCEA(IDB_SPLASH));
    BITMAP info = {};
    if (!bitmap || !GetObjectA(bitmap, sizeof info, &info)) return nullptr;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - info.bmWidth) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - info.bmHeight) / 2;
    HWND splash = CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "OmbixKVSplashScreen", WS_POPUP | SS_BITMAP, x, y,
                                  info.bmWidth, info.bmHeight, nullptr, nullptr, g_viewer->shell.instance, nullptr);
    if (!splash) return nullptr;
    SendMessageA(splash, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
    ShowWindow(splash, SW_SHOW);
    UpdateWindow(splash);
    return splash;
}

int32_t onInitDialog(WinHandle w, uint32_t, MsgWParam, MsgLParam) {
    Viewer& v = *g_viewer;
    HWND panel = hwndOf(w);
    for (int i = 0; i < kToolbarCount; ++i) {
        v.panel.toolIcons[i] = loadIconResource(IDI_TOOL_FIRST + i, 32);
        SendDlgItemMessageW(panel, kToolbar[i].id, BM_SETIMAGE, IMAGE_ICON,
                            reinterpret_cast<LPARAM>(v.panel.toolIcons[i]));
    }
    for (int i = 0; i < 8; ++i) v.panel.busyIcons[i] = loadIconResource(IDI_BUSY_FIRST + i, 32);
    SendDlgItemMessageW(panel, kIdBusyIcon, STM_SETICON, reinterpret_cast<WPARAM>(v.panel.busyIcons[0]), 0);
    wchar_t cls[16];
    for (HWND child = GetWindow(panel, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (GetClassNameW(child, cls, 16) && lstrcmpiW(cls, L"Button") == 0)
            SetWindowSubclass(child, forwardKeys, 1, 0);
    return FALSE;
}

int32_t onCommand(WinHandle w, uint32_t, MsgWParam wParam, MsgLParam lParam) {
    SetDlgItemTextW(hwndOf(w), kIdStatus, L"");
    dispatchCommand(kPanelCommandTable, hwndOf(w), wParam, lParam);
    return TRUE;
}

int32_t onRepaint(WinHandle, uint32_t, MsgWParam, MsgLParam) {
    InvalidateRect(item(kIdWaveArea), nullptr, FALSE);
    return TRUE;
}

int32_t onAcquisitionControls(WinHandle w, uint32_t, MsgWParam wParam, MsgLParam lParam) {
    PanelState& p = g_viewer->panel;
    const bool enable = wParam != 0;
    for (int id : kAcquisitionButtons) EnableWindow(item(id), enable);
    // The lists have their own enabled states (the rate list is off with an external clock):
    // remembered while disabled and restored afterwards.
    if (!enable) {
        if (!p.controlsDisabled) {
            p.rateListWasEnabled = IsWindowEnabled(item(kIdRateList)) != FALSE;
            p.clockListWasEnabled = IsWindowEnabled(item(kIdClockList)) != FALSE;
            p.controlsDisabled = true;
        }
        EnableWindow(item(kIdRateList), FALSE);
        EnableWindow(item(kIdClockList), FALSE);
    } else if (p.controlsDisabled) {
        EnableWindow(item(kIdRateList), p.rateListWasEnabled);
        EnableWindow(item(kIdClockList), p.clockListWasEnabled);
        p.controlsDisabled = false;
    }
    if (enable && lParam == kAcquisitionEnded) finishAcquisition(hwndOf(w));
    return TRUE;
}

// Panel set-up, once the main window exists.
int32_t onPanelSetup(WinHandle w, uint32_t, MsgWParam, MsgLParam) {
    Viewer& v = *g_viewer;
    HWND panel = hwndOf(w);

    // Tooltips for every control that has a text; the text is given when it is asked for.
    v.shell.tooltip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, panel, nullptr,
                                      v.shell.instance, nullptr);
    for (HWND child = GetWindow(panel, GW_CHILD); child && v.shell.tooltip; child = GetWindow(child, GW_HWNDNEXT)) {
        if (tooltipString(static_cast<uint16_t>(GetDlgCtrlID(child))) < 0) continue;
        TTTOOLINFOW ti = {};
        ti.cbSize = sizeof ti;
        ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        ti.hwnd = panel;
        ti.uId = reinterpret_cast<UINT_PTR>(child);
        ti.lpszText = LPSTR_TEXTCALLBACKW;
        SendMessageW(v.shell.tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }

    // With a board, the stacked oscilloscope is connected behind a splash screen; one not found is
    // reported and stacking is switched off.
    if (v.shell.deviceIndex >= 0) {
        HBITMAP bitmap = nullptr;
        HWND splash = showSplash(bitmap);
        connectStackedScope(panel);
        if (splash) DestroyWindow(splash);
        if (bitmap) DeleteObject(bitmap);
    }

    // The help engine: HTML help when the system has its viewer, else WinHelp.
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    const std::string hh = std::string(windows) + "\\HH.exe";
    v.shell.htmlHelp = GetFileAttributesA(hh.c_str()) != INVALID_FILE_ATTRIBUTES;
    v.shell.helpPath = v.shell.programFolder + narrow(loadString(v.shell.htmlHelp ? IDS_HTML_HELP_FILE : IDS_WIN_HELP_FILE));

    CheckDlgButton(panel, kIdThumbTrack, v.settings.realTimeScroll ? BST_CHECKED : BST_UNCHECKED);
    projectPanelSetup(panel);
    if (v.shell.deviceIndex < 0) fillDemoRateList(panel);
    setUpBoardPanel(panel);

    enableCommandSets();

    if (v.settings.valueField) startInstantStatus();
    registerDeviceNotification(panel);
    // An empty label table is filled with every channel. Posted, so that it runs after a start-up
    // file has been loaded: a file with labels of its own fills the table and this is skipped.
    PostMessageW(panel, WM_COMMAND, kCmdAddAllLabel, kAddAllFromSetup);
    initCursorView(panel);
    return TRUE;
}

int32_t onTimer(WinHandle w, uint32_t, MsgWParam wParam, MsgLParam) {
    Viewer& v = *g_viewer;
    if (wParam == kTimerBusy) {
        ++v.acq.busyCounter;
        SendDlgItemMessageW(hwndOf(w), kIdBusyIcon, STM_SETICON,
                            reinterpret_cast<WPARAM>(v.panel.busyIcons[v.acq.busyCounter % 8]), 0);
    } else if (wParam == kTimerInstant) {
        if (!v.acq.thread) {
            uint8_t state[16];
            uint32_t rate[2];
            int progress = 0;
            if (KvGetInstantData(v.shell.deviceIndex, 1, state, rate, &progress)) noteInstantStatus(state, rate);
        }
    } else if (wParam == kTimerMomentum) {
        inertialTimerTick();
    }
    return TRUE;
}

int32_t onDeviceChange(WinHandle w, uint32_t, MsgWParam wParam, MsgLParam lParam) {
    Viewer& v = *g_viewer;
    if (wParam != DBT_DEVICEARRIVAL && wParam != DBT_DEVICEREMOVECOMPLETE) return TRUE;
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
    if (!header || header->dbch_devicetype != DBT_DEVTYP_HANDLE) return TRUE;
    // The hold goes to the board this viewer uses (with several boards, index 0 may be another).
    KvSetHwInfo(v.shell.deviceIndex, kHwHold, 1);
    runDeviceRemovedDialog(hwndOf(w));
    PostMessageW(v.shell.mainWindow, WM_CLOSE, 0, 0);
    return TRUE;
}

int32_t onPanelEnd(WinHandle, uint32_t, MsgWParam, MsgLParam) {
    Viewer& v = *g_viewer;
    if (v.shell.tooltip) {
        SendMessageW(v.shell.tooltip, TTM_ACTIVATE, FALSE, 0);
        DestroyWindow(v.shell.tooltip);
        v.shell.tooltip = nullptr;
    }
    releasePushedLook(kIdStop);
    return FALSE;
}

int32_t onSize(WinHandle w, uint32_t, MsgWParam, MsgLParam) {
    layoutMainPanel(hwndOf(w));
    return TRUE;
}

int32_t onNotify(WinHandle, uint32_t, MsgWParam, MsgLParam lParam) {
    auto* hdr = reinterpret_cast<NMHDR*>(lParam);
    if (hdr->code != TTN_GETDISPINFOW) return FALSE;
    auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
    const UINT_PTR id = (info->uFlags & TTF_IDISHWND) ? GetDlgCtrlID(reinterpret_cast<HWND>(hdr->idFrom)) : hdr->idFrom;
    static std::wstring text;  // must outlive the notification
    text = loadString(tooltipString(static_cast<uint16_t>(id)));
    info->lpszText = &text[0];
    return TRUE;
}

int32_t onHelp(WinHandle w, uint32_t, MsgWParam, MsgLParam lParam) {
    g_viewer->acq.contextHelpPending = false;
    showHelpFor(hwndOf(w), reinterpret_cast<const HELPINFO*>(lParam));
    return TRUE;
}

const MessageEntry kPanelMessages[] = {
    {WM_INITDIALOG, onInitDialog},
    {WM_COMMAND, onCommand},
    {WM_KV_REPAINT, onRepaint},
    {WM_KV_ACQ_CONTROLS, onAcquisitionControls},
    {WM_KV_SETUP, onPanelSetup},
    {WM_KV_ACQ_UI, acquisitionUiMessage},
    {WM_TIMER, onTimer},
    {WM_DEVICECHANGE, onDeviceChange},
    {WM_DESTROY, onPanelEnd},
    {WM_CLOSE, onPanelEnd},
    {WM_QUIT, onPanelEnd},
    {WM_SIZE, onSize},
    {WM_NOTIFY, onNotify},
    {WM_HELP, onHelp},
    {WM_HSCROLL, cursorViewHScroll},
    {WM_VSCROLL, cursorViewVScroll},
};
const MessageTable kPanelTable = makeTable(kPanelMessages, DefaultProc::None);

void move(const Placement& p) {
    HWND h = item(p.id);
    if (!h) return;
    if (p.visible)
        SetWindowPos(h, nullptr, p.rect.left, p.rect.top, p.rect.width(), p.rect.height(),
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    else
        ShowWindow(h, SW_HIDE);
}

// Lists keep their drop-down height: only the position and width change.
void moveList(const Placement& p, bool shown) {
    HWND h = item(p.id);
    if (!h) return;
    SetWindowPos(h, nullptr, p.rect.left, p.rect.top, p.rect.width(), 200, SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(h, shown ? SW_SHOW : SW_HIDE);
}

}  // namespace

INT_PTR CALLBACK mainPanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        g_viewer->shell.panel = panel;
    } else if (!g_viewer || !g_viewer->shell.mainWindowReady) {
        return TRUE;
    }
    return dispatchDialogMessage(kPanelTable, panel, message, wParam, lParam);
}

void layoutMainPanel(HWND panel) {
    Viewer& v = *g_viewer;
    RECT client;
    GetClientRect(panel, &client);
    RECT combo = {};
    GetWindowRect(item(kIdRateList), &combo);
    const PanelLayout L = layoutPanel(client.right, client.bottom, combo.bottom - combo.top);
    for (const Placement& p : L.toolbar) move(p);
    if (v.settings.partMenu && L.someButtonsHidden) EnableWindow(item(kIdToolbox), TRUE);
    // On a Nanlyn board the sample mode may fix the rate, or qualify an external clock.
    const RateControlsShown rates = rateControlsShown();
    moveList(L.rateList, rates.rateList);
    moveList(L.clockList, true);
    moveList(L.nanlynClock, rates.qualifier);
    move(Placement{L.nanlynRate.id, rates.fixedRate, L.nanlynRate.rect});
    move(L.busyIcon);
    const Rect& a = L.waveArea;
    SetWindowPos(item(kIdWaveArea), nullptr, a.left, a.top, a.width(), a.height(), SWP_NOZORDER | SWP_NOACTIVATE);
    for (const Placement& p : L.cursorButtons) move(p);
    move(L.hScroll);
    move(L.vScroll);
    move(L.thumbTrack);
    // During a Nanlyn capture the progress display stands in place of the status field.
    move(Placement{L.status.id, L.status.visible && !progressDisplayShown(), L.status.rect});
    move(Placement{L.progress.id, progressDisplayShown(), L.progress.rect});
    for (const Placement& p : L.readouts) move(p);
    for (const Placement& p : L.pickButtons) move(p);
    move(L.measure);
    InvalidateRect(panel, nullptr, TRUE);
}

void setStatusText(const std::wstring& text) { SetDlgItemTextW(g_viewer->shell.panel, kIdStatus, text.c_str()); }

void handleKeyUp(unsigned vk) {
    Viewer& v = *g_viewer;
    const bool ctrl = GetKeyState(VK_CONTROL) < 0;
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    const KeyBinding b = keyUpBinding(vk, ctrl, shift);
    const bool capturing = v.acq.thread != nullptr;
    switch (b.action) {
        case KeyAction::None: break;
        case KeyAction::Command:
            if (b.onlyWhenEnabled && !IsWindowEnabled(item(b.command))) break;
            releasePushedLook(b.command);
            sendCommand(b.command);
            break;
        case KeyAction::AcquireCtrlEnter:
        case KeyAction::AcquireEnter:
            if (!capturing) {
                if (b.action == KeyAction::AcquireCtrlEnter)
                    sendCommand(kIdRepetitive);
                else if (SendMessageW(item(kIdAcquire), BM_GETSTATE, 0, 0) & BST_PUSHED)
                    sendCommand(kIdAcquire);
            }
            releasePushedLook(kIdEnvironment);
            releasePushedLook(kIdRepetitive);
            releasePushedLook(kIdAcquire);
            break;
        case KeyAction::Escape:
            if (v.acq.contextHelpPending) {
                v.acq.contextHelpPending = false;
                break;
            }
            releasePushedLook(kIdStop);
            if (!ctrl && !shift) InterlockedExchange(&v.acq.stopRequest, 1);
            break;
        case KeyAction::ToggleAutoSave:
            v.acq.autoSave = !v.acq.autoSave;
            setStatusText(loadString(v.acq.autoSave ? IDS_ENABLE_SAVE : IDS_DISABLE_SAVE));
            break;
        case KeyAction::FocusRateList:
            SetFocus(item(kIdRateList));
            SendMessageW(item(kIdRateList), CB_SHOWDROPDOWN, TRUE, 0);
            break;
        case KeyAction::ContextMenu: SendMessageW(v.shell.panel, WM_RBUTTONDOWN, 0, -1); break;
        case KeyAction::TempStorage: runStorageDialog(v.shell.mainWindow); break;
        case KeyAction::ToggleCompare:
            v.panel.compare = !v.panel.compare;
            SendMessageW(v.shell.panel, WM_KV_REPAINT, 0, 0);
            break;
        case KeyAction::ToggleSplit:
            v.panel.split = !v.panel.split;
            SendMessageW(v.shell.panel, WM_KV_REPAINT, 0, 0);
            break;
        case KeyAction::CtrlReleased: {
            POINT pt;
            GetCursorPos(&pt);
            SetCursorPos(pt.x, pt.y);
            break;
        }
    }
}

ATOM registerWaveAreaClass(HINSTANCE instance) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = waveAreaProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = L"KvWaveArea";
    return RegisterClassW(&wc);
}

void registerDeviceNotification(HWND panel) {
    Viewer& v = *g_viewer;
    DEV_BROADCAST_HANDLE filter = {};
    filter.dbch_size = 44;
    filter.dbch_devicetype = DBT_DEVTYP_HANDLE;
    filter.dbch_handle = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(KvGetHwInfo(v.shell.deviceIndex, kHwUsbHandle)));
    v.shell.deviceNotify = RegisterDeviceNotificationA(panel, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

}  // namespace kv
