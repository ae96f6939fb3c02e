// Start-up, message loop and release of the viewer.
#include "viewer/shell/app_win.h"

#include <commctrl.h>

#include "platform/registry_win.h"
#include "runtime/halvex_api.h"
#include "viewer/project/project_win.h"
#include "viewer/res/resource.h"
#include "viewer/shell/panel_layout.h"
#include "viewer/shell/prompts_win.h"
#include "viewer/shell/resources_win.h"
#include "viewer/shell/startup_rules.h"
#include "viewer/trigger/trigger_dialogs_win.h"

namespace kv {

Viewer* g_viewer = nullptr;

namespace {

Registry* g_registry = nullptr;

bool folderExists(const std::string& folder) {
    const DWORD a = GetFileAttributesA(folder.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

SettingsContext settingsContext(const Viewer& v) {
    SettingsContext ctx;
    ctx.systemLanguage = v.shell.systemLanguage;
    ctx.nanlyn = v.device.limits.nanlyn;
    ctx.programFolder = v.shell.programFolder;
    ctx.folderExists = folderExists;
    return ctx;
}

// Step 10: the device-dependent limits, from the runtime or the demo values.
void readDeviceLimits(Viewer& v) {
    const int index = v.shell.deviceIndex;
    if (index < 0) {
        v.device.limits = demoDeviceLimits();
        v.device.productCode = kDemoProductCode;
        v.device.channelCount = kDemoChannelCount;
        return;
    }
    HardwareValues hw;
    hw.interfaceCode = (int32_t)KvGetHwInfo(index, kHwInterfaceCode);
    hw.productCode = (int32_t)KvGetHwInfo(index, kHwProductCode);
    hw.channelCount = (int32_t)KvGetHwInfo(index, kHwChannelCount);
    hw.depth = (int32_t)KvGetHwInfo(index, kHwDepth);
    hw.wordsPerSample = (int32_t)KvGetHwInfo(index, kHwWordsPerSample);
    hw.bitsPerWord = (int32_t)KvGetHwInfo(index, kHwBitsPerWord);
    v.device.limits = deviceLimits(hw);
    v.device.interfaceCode = hw.interfaceCode;
    v.device.productCode = hw.productCode;
    v.device.channelCount = hw.channelCount;
    v.device.largestCount = KvGetHwInfo(index, kHwLargestCount);
    v.device.depth = hw.depth;
    v.device.wordsPerSample = hw.wordsPerSample;
    v.device.bitsPerWord = hw.bitsPerWord;
}

bool createDrawingResources(Viewer& v) {
    DrawingResources& d = v.draw;
    d.symbolFont = CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "OmbixSym");
    d.lineDrawBold = CreateFontA(-15, 9, 0, 0, FW_BOLD, 0, 0, 0, OEM_CHARSET, 0, 0, 0, 0, "MS LineDraw");
    d.lineDraw = CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, OEM_CHARSET, 0, 0, 0, 0, "MS LineDraw");
    d.smallFont = CreateFontA(-10, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Tahoma");
    d.largeFont = CreateFontA(-15, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Tahoma");
    d.displayDC = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    static const int bitmapIds[5] = {IDB_MARK_TRIGGER, IDB_MARK_CURSOR, IDB_MARK_BAR, IDB_LOGO, IDB_ARROW_SEL};
    for (int i = 0; i < 5; ++i) d.bitmaps[i] = LoadBitmapA(v.shell.instance, MAKEINTRESOURCEA(bitmapIds[i]));
    if (!d.symbolFont || !d.lineDrawBold || !d.lineDraw || !d.smallFont || !d.largeFont || !d.displayDC) return false;
    for (HBITMAP b : d.bitmaps)
        if (!b) return false;
    return true;
}

void releaseDrawingResources(DrawingResources& d) {
    for (HFONT f : {d.symbolFont, d.lineDrawBold, d.lineDraw, d.smallFont, d.largeFont})
        if (f) DeleteObject(f);
    if (d.displayDC) DeleteDC(d.displayDC);
    for (HBITMAP& b : d.bitmaps) {
        if (b) DeleteObject(b);
        b = nullptr;
    }
    d = DrawingResources{};
}

// Step 10 continued: the capture buffer and, in demo mode, the ring the demo generator fills.
bool allocateCapture(Viewer& v) {
    if (!v.capture.allocate(v.device.limits)) return false;
    // Beside it the compare buffer; without it the compare area only takes no data.
    v.storage.allocateCompare(captureAreaBytes(v.device.limits));
    if (v.shell.deviceIndex < 0) {
        v.demoRing.reset(new (std::nothrow) uint8_t[kDemoRingBytes]());
        if (!v.demoRing) return false;
        // Demo captures are 64-bit samples, one per word, from the buffer's first byte.
        v.capture.captureLength = readDemoBufferSize(viewerRegistry());
        v.capture.format = SampleFormat::make(0, 64, 64, 64);
        v.store.attach(v.capture.base(), v.capture.captureLength, 64, 64, 64, 0);
    } else {
        v.store.attach(v.capture.dataStart(), 0, 64, 64, 64, 0);
    }
    return true;
}

}  // namespace

Registry& viewerRegistry() { return g_registry ? *g_registry : static_cast<Registry&>(winRegistry()); }
void setViewerRegistry(Registry* reg) { g_registry = reg; }

StartResult startViewer(HINSTANCE instance, const char* commandLineTail, int /*showCommand*/) {
    StartResult result;
    delete g_viewer;
    g_viewer = new Viewer;
    Viewer& v = *g_viewer;
    ShellState& s = v.shell;

    // 1. Instance and program folder.
    s.instance = instance;
    s.programFolder = programFolderFromCommandLine(GetCommandLineA());
    s.helpPath = s.programFolder;

    // 2. Windows version.
    OSVERSIONINFOA os = {};
    os.dwOSVersionInfoSize = sizeof os;
    if (GetVersionExA(&os)) {
        s.platformId = os.dwPlatformId;
        s.windowsVersion = static_cast<int>(os.dwMajorVersion * 100 + os.dwMinorVersion);
    }

    // 3. Languages: the system's, unless the dialogs do not exist in it.
    s.systemLanguage = GetSystemDefaultLangID();
    s.dialogLanguages = dialogLanguages(instance, IDD_ABOUT);
    s.systemLanguage = s.language = initialLanguage(s.systemLanguage, s.dialogLanguages);

    // 4. Early settings.
    Settings& st = v.settings;
    SettingsContext ctx = settingsContext(v);
    s.firstRun = !readEarlySettings(viewerRegistry(), st, ctx);
    validateWindowRect(st, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                       GetSystemMetrics(SM_CXFULLSCREEN), GetSystemMetrics(SM_CYFULLSCREEN));
    s.language = applySavedLanguage(s.language, st.language, s.dialogLanguages);

    // 5. Everything from here on is in the chosen language.
    SetThreadLocale(MAKELCID(s.language, SORT_DEFAULT));
    setResourceLanguage(instance, s.language);

    // 6. Device selection.
    const int slot = runSelectDevice(nullptr);
    if (slot == -1) return result;
    auto* table = static_cast<uint8_t*>(KvFindDevice());
    s.deviceIndex = table ? KvHasHw(table + kKvSlotBytes * slot) : -1;

    // 7. Caption; demo mode is announced.
    s.caption = loadString(IDS_CAPTION);
    if (s.deviceIndex == -1) ask(nullptr, IDS_DEMO_MODE, MB_ICONEXCLAMATION | MB_OK);

    // 8-9. Common controls and the window classes.
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    if (!registerMainWindowClass(instance)) return result;

    // 10. Drawing resources, device limits, the rest of the settings, the capture buffer.
    readDeviceLimits(v);
    initTriggerSetup();
    ctx = settingsContext(v);
    readAllSettings(viewerRegistry(), st, ctx);
    if (!createDrawingResources(v) || !allocateCapture(v)) {
        releaseViewer();
        return result;
    }
    restoreStartupProject();

    // 11. The main window.
    const std::wstring title = windowTitle();
    s.mainWindow = CreateWindowExW(0, L"LogicAnalyzerClass", title.c_str(), WS_OVERLAPPEDWINDOW, st.windowLeft,
                                   st.windowTop, st.windowRight - st.windowLeft, st.windowBottom - st.windowTop,
                                   nullptr, nullptr, instance, nullptr);
    if (!s.mainWindow) {
        releaseViewer();
        return result;
    }
    s.mainWindowReady = true;

    // 12. The rest of the set-up runs from the message loop.
    const std::string file = commandLineFileName(commandLineTail);
    if (file.empty()) {
        PostMessageW(s.mainWindow, WM_KV_SETUP, 0, 0);
    } else {
        s.startFile = file;
        PostMessageW(s.mainWindow, WM_KV_SETUP, 0, reinterpret_cast<LPARAM>(s.startFile.c_str()));
    }
    result.run = true;
    return result;
}

int runMessageLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        HWND panel = g_viewer ? g_viewer->shell.panel : nullptr;
        if (panel && IsDialogMessageW(panel, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    releaseViewer();
    return static_cast<int>(msg.wParam);
}

void releaseViewer() {
    if (!g_viewer) return;
    Viewer& v = *g_viewer;
    waitForTriggerProgramming();  // its worker reads the trigger set-up until it ends
    releaseDrawingResources(v.draw);
    for (HICON& i : v.panel.toolIcons)
        if (i) DestroyIcon(i), i = nullptr;
    for (HICON& i : v.panel.busyIcons)
        if (i) DestroyIcon(i), i = nullptr;
    if (v.shell.helpModule) FreeLibrary(v.shell.helpModule);
    UnregisterClassW(L"LogicAnalyzerClass", v.shell.instance);
    UnregisterClassW(L"KvWaveArea", v.shell.instance);
    delete g_viewer;
    g_viewer = nullptr;
}

std::wstring windowTitle() {
    return g_viewer->shell.caption + loadString(IDS_UNTITLED);
}

}  // namespace kv
