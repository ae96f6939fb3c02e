// The main window "LogicAnalyzerClass": its whole client area is the main panel.
#include <windows.h>
#include <dbt.h>

#include "runtime/halvex_api.h"
#include "viewer/display/cursor_view_win.h"
#include "viewer/files/kvw_file_win.h"
#include "viewer/project/project_win.h"
#include "viewer/res/resource.h"
#include "viewer/shell/app_win.h"
#include "viewer/shell/message_table.h"
#include "viewer/shell/panel_commands.h"
#include "viewer/shell/panel_layout.h"
#include "viewer/shell/prompts_win.h"
#include "viewer/shell/resources_win.h"
#include "viewer/shell/shell_dispatch_win.h"
#include "viewer/shell/startup_rules.h"

namespace kv {
namespace {

HWND hwndOf(WinHandle w) { return static_cast<HWND>(w); }

int32_t onCreate(WinHandle w, uint32_t, MsgWParam, MsgLParam) {
    const DLGTEMPLATE* tmpl = findDialogTemplate(IDD_MAIN_PANEL);
    g_viewer->shell.panel = tmpl ? CreateDialogIndirectParamW(resourceInstance(), tmpl, hwndOf(w), mainPanelProc, 0)
                                 : nullptr;
    return g_viewer->shell.panel ? 0 : -1;
}

// Post-creation set-up.
int32_t onSetup(WinHandle w, uint32_t, MsgWParam, MsgLParam lParam) {
    Viewer& v = *g_viewer;
    HWND main = hwndOf(w);

    // The version of the program file.
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &handle);
    if (size) {
        std::string block(size, '\0');
        VS_FIXEDFILEINFO* info = nullptr;
        UINT len = 0;
        if (GetFileVersionInfoA(path, 0, size, &block[0]) &&
            VerQueryValueA(&block[0], "\\", reinterpret_cast<void**>(&info), &len) && info)
            v.shell.version = formatVersion(info->dwFileVersionMS, info->dwFileVersionLS);
    }

    // The smallest height keeps every row of the panel in place.
    RECT frame = {0, 0, 0, minimumPanelHeight(0)};
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    v.shell.minWindowHeight = frame.bottom - frame.top;
    SendMessageW(v.shell.panel, WM_KV_SETUP, 0, 0);

    // A file named on the command line, or the demo file on the very first run in demo mode, is
    // loaded with its labels.
    if (lParam) {
        v.shell.startFileFromCommandLine = true;
        loadWaveFile(v.shell.startFile, true, true);
    } else if (v.shell.firstRun && v.shell.deviceIndex < 0) {
        const std::string demo = v.settings.workDirectory + "\\Demo01.kvw";
        const DWORD a = GetFileAttributesA(demo.c_str());
        if (a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY)) {
            v.shell.startFile = demo;
            loadWaveFile(demo, true, false);
        }
    }

    RECT client;
    GetClientRect(main, &client);
    SetWindowPos(v.shell.panel, nullptr, 0, 0, client.right, client.bottom, SWP_NOZORDER | SWP_NOMOVE);
    ShowWindow(v.shell.panel, SW_SHOW);
    InvalidateRect(v.shell.panel, nullptr, TRUE);
    UpdateWindow(v.shell.panel);
    ShowWindow(main, v.settings.maxFlag ? SW_SHOWMAXIMIZED : SW_SHOW);
    SetFocus(main);
    return 0;
}

int32_t onSizing(WinHandle, uint32_t, MsgWParam wParam, MsgLParam lParam) {
    auto* r = reinterpret_cast<RECT*>(lParam);
    Rect rect{r->left, r->top, r->right, r->bottom};
    clampSizingRect(static_cast<int>(wParam), rect, kMinWindowWidth, g_viewer->shell.minWindowHeight);
    *r = RECT{rect.left, rect.top, rect.right, rect.bottom};
    return 1;
}

int32_t onSize(WinHandle, uint32_t, MsgWParam wParam, MsgLParam lParam) {
    Viewer& v = *g_viewer;
    if (wParam == SIZE_MINIMIZED) return 0;
    if (v.shell.panel)
        SetWindowPos(v.shell.panel, nullptr, 0, 0, LOWORD(lParam), HIWORD(lParam), SWP_NOZORDER | SWP_NOMOVE);
    if (wParam == SIZE_MAXIMIZED) v.settings.maxFlag = 1;
    if (wParam == SIZE_RESTORED) v.settings.maxFlag = 0;
    return 0;
}

int32_t onKey(WinHandle w, uint32_t message, MsgWParam wParam, MsgLParam lParam) {
    if (!g_viewer->shell.mainWindowReady) return 0;
    if (message == WM_KEYUP) handleKeyUp(static_cast<unsigned>(wParam));
    if (message == WM_KEYDOWN) cursorViewKeyDown(static_cast<unsigned>(wParam), GetKeyState(VK_CONTROL) < 0);
    if (message == WM_MOUSEWHEEL)
        cursorViewWheel(GET_WHEEL_DELTA_WPARAM(wParam), (GET_KEYSTATE_WPARAM(wParam) & MK_CONTROL) != 0);
    // Key-down and the wheel move cursors and scroll the view. System keys go on to the system
    // afterwards, so that Alt+F4 and the window menu keep working.
    if (message == WM_SYSKEYDOWN || message == WM_SYSKEYUP)
        return static_cast<int32_t>(DefWindowProcW(hwndOf(w), message, wParam, lParam));
    return 0;
}

int32_t onHelp(WinHandle w, uint32_t, MsgWParam, MsgLParam lParam) {
    showHelpFor(hwndOf(w), reinterpret_cast<const HELPINFO*>(lParam));
    return 1;
}

int32_t onIdentity(WinHandle, uint32_t, MsgWParam, MsgLParam lParam) {
    const Viewer& v = *g_viewer;
    if (static_cast<uint32_t>(lParam) == kHwCaptureRunning) return v.acq.captureRunning;
    return static_cast<int32_t>(KvGetHwInfo(v.shell.deviceIndex, static_cast<uint32_t>(lParam)));
}

int32_t onClose(WinHandle w, uint32_t, MsgWParam, MsgLParam) {
    Viewer& v = *g_viewer;
    HWND main = hwndOf(w);
    if (!v.shell.exitConfirmed) {
        if (ask(main, IDS_ASK_EXIT, MB_OKCANCEL | MB_ICONQUESTION | MB_TOPMOST) != IDOK) return 0;
        v.shell.exitConfirmed = true;
    }
    // A capture still running is stopped first; the close request comes back until it has ended.
    if (v.acq.thread && WaitForSingleObject(v.acq.thread, 0) != WAIT_OBJECT_0) {
        PostMessageW(v.shell.panel, WM_COMMAND, kIdStop, 0);
        Sleep(100);
        PostMessageW(main, WM_CLOSE, 0, 0);
        return 0;
    }
    DestroyWindow(main);
    return 0;
}

int32_t onDestroy(WinHandle w, uint32_t, MsgWParam, MsgLParam) {
    Viewer& v = *g_viewer;
    HWND main = hwndOf(w);
    // 1-2. No stacked scope in this build; stop the board.
    KvStopCap(v.shell.deviceIndex);
    // 3. The thumb-track setting.
    if (v.shell.panel) v.settings.realTimeScroll = IsDlgButtonChecked(v.shell.panel, kIdThumbTrack) == BST_CHECKED;
    // 4. The panel goes.
    if (v.shell.deviceNotify) UnregisterDeviceNotification(v.shell.deviceNotify), v.shell.deviceNotify = nullptr;
    if (v.shell.panel) DestroyWindow(v.shell.panel);
    v.shell.panel = nullptr;
    // 5. The normal window rectangle is what is saved.
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof wp;
    if (GetWindowPlacement(main, &wp)) {
        v.settings.windowLeft = wp.rcNormalPosition.left;
        v.settings.windowTop = wp.rcNormalPosition.top;
        v.settings.windowRight = wp.rcNormalPosition.right;
        v.settings.windowBottom = wp.rcNormalPosition.bottom;
    }
    // 6. No label leaves selected.
    clearLabelSelection();
    // 7. Settings: the board in use and the language in force.
    v.settings.currentHw = static_cast<int32_t>(v.device.productCode);
    v.settings.language = LANGIDFROMLCID(GetThreadLocale());
    writeAllSettings(viewerRegistry(), v.settings);
    // 8. The set-up, as the project of the board in use.
    saveStartupProject();
    // 9. The device.
    KvShutdown(v.shell.deviceIndex);
    v.shell.mainWindowReady = false;
    PostQuitMessage(0);
    return 0;
}

const MessageEntry kMainWindowMessages[] = {
    {WM_CREATE, onCreate},       {WM_KV_SETUP, onSetup},    {WM_SIZING, onSizing},
    {WM_SIZE, onSize},           {WM_KEYDOWN, onKey},       {WM_KEYUP, onKey},
    {WM_SYSKEYDOWN, onKey},      {WM_SYSKEYUP, onKey},      {WM_MOUSEWHEEL, onKey},
    {WM_HELP, onHelp},           {WM_KV_IDENTITY, onIdentity}, {WM_CLOSE, onClose},
    {WM_DESTROY, onDestroy},
};
const MessageTable kMainWindowTable = makeTable(kMainWindowMessages, DefaultProc::Window);

}  // namespace

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return dispatchWindowMessage(kMainWindowTable, window, message, wParam, lParam);
}

ATOM registerMainWindowClass(HINSTANCE instance) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = mainWindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP));
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    wc.lpszClassName = L"LogicAnalyzerClass";
    const ATOM atom = RegisterClassW(&wc);
    if (!atom) return 0;
    if (!registerWaveAreaClass(instance)) {
        UnregisterClassW(L"LogicAnalyzerClass", instance);
        return 0;
    }
    return atom;
}

}  // namespace kv
