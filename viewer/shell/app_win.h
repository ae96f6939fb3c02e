// The viewer's process-wide state and the entry points of its Win32 shell.
#pragma once

#include <windows.h>

#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "viewer/display/label_table.h"
#include "viewer/shell/capture_buffer.h"
#include "viewer/shell/demo_generator.h"
#include "viewer/shell/sample_store.h"
#include "viewer/shell/settings.h"
#include "viewer/shell/startup_rules.h"
#include "viewer/storage/temp_storage.h"

namespace kv {

// Private messages between the viewer's windows and between viewer instances.
enum : UINT {
    WM_KV_REPAINT = WM_USER + 100,
    WM_KV_ACQ_CONTROLS = WM_USER + 101,
    WM_KV_SETUP = WM_USER + 102,
    WM_KV_IDENTITY = WM_USER + 103,
};

// The demo generator's ring: 16 MiB.
constexpr size_t kDemoRingBytes = 0x1000000;

enum : UINT_PTR { kTimerBusy = 2, kTimerInstant = 4, kTimerMomentum = 888, kTimerCountdown = 999 };

// The shell: windows, language, device, flags of the running program.
struct ShellState {
    HINSTANCE instance = nullptr;
    std::string programFolder;
    std::string helpPath;
    HWND mainWindow = nullptr;
    HWND panel = nullptr;
    HWND tooltip = nullptr;
    DWORD platformId = 0;
    int windowsVersion = 0;              // major * 100 + minor
    WORD systemLanguage = 1033;
    WORD language = 1033;
    std::vector<WORD> dialogLanguages;   // languages in which dialog 158 exists
    int deviceIndex = -1;                // -1: demo mode
    bool firstRun = false;
    bool mainWindowReady = false;
    bool exitConfirmed = false;
    std::string version;
    std::string startFile;               // the file to open at start-up (none yet: no loader)
    bool startFileFromCommandLine = false;
    int minWindowHeight = 0;
    std::wstring caption;                // string 38
    HDEVNOTIFY deviceNotify = nullptr;
    // Help engine: the HTML help control, found on first use.
    bool htmlHelp = false;
    HMODULE helpModule = nullptr;
    FARPROC helpEntry = nullptr;
    bool helpUnavailable = false;
    bool helpLookedUp = false;
};

// Device limits read at start-up.
struct DeviceState {
    DeviceLimits limits;
    int32_t interfaceCode = 0;
    int32_t productCode = 0;
    int32_t channelCount = 64;
    uint32_t largestCount = 0;
    int32_t depth = 0;
    int32_t wordsPerSample = 1;
    int32_t bitsPerWord = 64;
    bool hasSelectCommandSet = false;
};

// Acquisition flags the shell reads; the acquisition itself owns them.
struct AcquisitionState {
    HANDLE thread = nullptr;             // a capture worker exists while this is set
    volatile LONG captureRunning = 0;
    volatile LONG stopRequest = 0;
    bool autoSave = false;               // Ctrl+1
    bool contextHelpPending = false;
    int busyCounter = 0;
    TriggerSetup trigger;                // the trigger set-up in force
    bool unsavedMark = false;            // the title ends with " *]"
    volatile LONG demoInProgress = 0;    // a demo capture is being generated
};

// Demo mode: the generator (its ring position and random state carry over between captures) and
// the lock between the Demo dialog, which writes the group settings, and the worker reading them.
struct DemoState {
    DemoGenerator generator;
    std::mutex settingsLock;
};

// Panel state that outlives one message.
struct PanelState {
    bool rateListWasEnabled = true;      // combo states remembered while the controls are disabled
    bool clockListWasEnabled = true;
    bool controlsDisabled = false;
    bool invert = false;                 // "Waveform Invert"
    bool compare = false;                // F9
    bool split = false;                  // Shift+F9
    HICON toolIcons[32] = {};
    HICON busyIcons[8] = {};
};

struct DrawingResources {
    HFONT symbolFont = nullptr, lineDrawBold = nullptr, lineDraw = nullptr, smallFont = nullptr, largeFont = nullptr;
    HDC displayDC = nullptr;
    HBITMAP bitmaps[5] = {};
};

struct Viewer {
    ShellState shell;
    DeviceState device;
    AcquisitionState acq;
    PanelState panel;
    DrawingResources draw;
    Settings settings;
    CaptureBuffer capture;
    SampleStore store;
    std::unique_ptr<uint8_t[]> demoRing;  // 16 MiB, demo mode only
    DemoState demo;
    LabelState labels;                    // the label table of the view, its undo copy and mode
    TemporaryStorage storage;             // the compare buffer and the storage slots (F8)
};

extern Viewer* g_viewer;

// Start-up steps 1-13: returns 0 when the program should run its message loop, else the exit code
// (the program ends before any window exists). Fills *mainWindow on success.
struct StartResult {
    bool run = false;
    int exitCode = 0;
};
StartResult startViewer(HINSTANCE instance, const char* commandLineTail, int showCommand);

// Step 14: the message loop; returns the WM_QUIT code. Releases the drawing resources afterwards.
int runMessageLoop();

// Releases what start-up acquired (also after a failed start) and forgets the viewer state.
void releaseViewer();

// The registry the viewer uses (the real one; tests replace it).
Registry& viewerRegistry();
void setViewerRegistry(Registry* reg);

// Main window and main panel.
ATOM registerMainWindowClass(HINSTANCE instance);
LRESULT CALLBACK mainWindowProc(HWND, UINT, WPARAM, LPARAM);
INT_PTR CALLBACK mainPanelProc(HWND, UINT, WPARAM, LPARAM);
void layoutMainPanel(HWND panel);
void setStatusText(const std::wstring& text);
std::wstring windowTitle();

// Dialogs of the shell.
// Select Device: the slot number to open, or -1 to end the program. Not shown with fewer than two
// boards to choose from.
int runSelectDevice(HWND parent);
int runSelectDevice(HWND parent, const std::vector<DeviceChoice>& choices);
void runDeviceRemovedDialog(HWND parent);
void runAboutDialog(HWND parent);
void runHardwareInfoDialog(HWND parent);   // command 1089

// Help.
bool showHelpTopic(HWND owner, const char* topic);
// The same with the context id WinHelp is given (the control's id for a control's help).
bool showHelpTopic(HWND owner, const char* topic, DWORD context);
// Tests see the topic and context instead of the help window; null restores the help window.
using HelpRecorder = bool (*)(HWND owner, const char* topic, DWORD context);
HelpRecorder setHelpRecorder(HelpRecorder recorder);
// WM_HELP of the panel and the main window: the topic of the control the help is asked for.
void showHelpFor(HWND owner, const HELPINFO* info);

// Device removal notification.
void registerDeviceNotification(HWND panel);

}  // namespace kv
