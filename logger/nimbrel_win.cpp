// Nimbrel.exe: the data logger. One dialog; the logging run goes on a worker thread that talks to
// the board through the program's own USB channel and writes the text file.
#include <windows.h>
#include <commdlg.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "install/ui_language_win.h"
#include "logger/logger_board.h"
#include "logger/nimbrel_resources.h"
#include "platform/device_io_win.h"
#include "platform/shared_section_win.h"
#include "simulator/virtual_system.h"
#include "viewer/shell/resources_win.h"

namespace {

// Exit waits for the worker at most this many re-posts of 100 ms each.
constexpr int kExitReposts = 30;
constexpr DWORD kStopWaitMs = 100;

kv::KvDevice* g_device = nullptr;
kv::RuntimeEnv g_env;
std::vector<uint8_t> g_image;

volatile LONG g_stop = 0;
HANDLE g_worker = nullptr;
int g_exitPosts = 0;
kv::LoggerJob g_job;
std::FILE* g_output = nullptr;
kv::LoggerResult g_result;
HWND g_dialog = nullptr;

const int kInputs[] = {IDC_LOGGER_FILE,  IDC_LOGGER_BROWSE,      IDC_LOGGER_RATE,  IDC_LOGGER_CHANNELS,
                       IDC_LOGGER_AUTOSTOP, IDC_LOGGER_STOPTIME, IDC_LOGGER_POSTPROCESS, IDC_LOGGER_START};

int message(HWND owner, int textId, int titleId, UINT flags) {
    return MessageBoxW(owner, kv::loadString(textId).c_str(), kv::loadString(titleId).c_str(), flags);
}

std::string itemText(HWND dialog, int id) {
    char text[MAX_PATH * 2] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

// A decimal number with nothing else but blanks around it; false otherwise.
bool parseNumber(const std::string& text, double& out) {
    const char* begin = text.c_str();
    char* end = nullptr;
    out = std::strtod(begin, &end);
    if (end == begin) return false;
    while (*end == ' ' || *end == '\t') ++end;
    return *end == '\0';
}

void setRunning(HWND dialog, bool running) {
    for (int id : kInputs) EnableWindow(GetDlgItem(dialog, id), running ? FALSE : TRUE);
    EnableWindow(GetDlgItem(dialog, IDC_LOGGER_STOP), running ? TRUE : FALSE);
}

// "AQ" temporary file in the output's folder.
std::string makeTempFile(const std::string& folder) {
    char name[MAX_PATH] = {};
    if (!GetTempFileNameA(folder.c_str(), "AQ", 0, name)) return std::string();
    return name;
}

DWORD WINAPI loggerWorker(LPVOID) {
    kv::LoggerHooks hooks;
    hooks.stopRequested = []() { return InterlockedCompareExchange(&g_stop, 0, 0) != 0; };
    hooks.nowMs = []() { return static_cast<uint64_t>(GetTickCount64()); };
    hooks.showSeconds = [](uint64_t s) { SetDlgItemInt(g_dialog, IDC_LOGGER_TIME, static_cast<UINT>(s), FALSE); };
    hooks.autoStopped = []() { PostMessageW(g_dialog, WM_COMMAND, IDC_LOGGER_STOP, 0); };
    hooks.makeTempFile = makeTempFile;
    g_result = kv::runLoggerJob(*g_device, g_env, g_image, g_job, g_output, hooks);
    g_output = nullptr;  // closed by the run
    return 0;
}

// True once the worker has ended (or none runs); then its outcome has been reported.
bool workerEnded(HWND dialog) {
    if (!g_worker) return true;
    if (WaitForSingleObject(g_worker, kStopWaitMs) == WAIT_TIMEOUT) return false;
    CloseHandle(g_worker);
    g_worker = nullptr;
    setRunning(dialog, false);
    if (g_result.end == kv::LoggerEnd::BoardFailed) message(dialog, IDS_LOGGER_BOARD_FAILED, IDS_LOGGER_ERROR, MB_OK | MB_ICONERROR);
    if (g_result.end == kv::LoggerEnd::FileFailed) message(dialog, IDS_LOGGER_FILE_FAILED, IDS_LOGGER_ERROR, MB_OK | MB_ICONERROR);
    if (g_result.lostData) message(dialog, IDS_LOGGER_LOST, IDS_LOGGER_INFORMATION, MB_OK | MB_ICONWARNING);
    return true;
}

void start(HWND dialog) {
    if (g_worker) return;
    double rate = 0, seconds = -1, channels = 0;
    if (!parseNumber(itemText(dialog, IDC_LOGGER_RATE), rate)) rate = 0;
    if (!parseNumber(itemText(dialog, IDC_LOGGER_CHANNELS), channels) || channels != static_cast<int>(channels)) channels = 0;
    const bool autoStop = IsDlgButtonChecked(dialog, IDC_LOGGER_AUTOSTOP) == BST_CHECKED;
    if (autoStop && !parseNumber(itemText(dialog, IDC_LOGGER_STOPTIME), seconds)) seconds = 0;
    const int count = channels >= 1 && channels <= kv::kLoggerMaxChannels ? static_cast<int>(channels) : 0;
    const kv::LoggerSettings s = kv::checkLoggerSettings(rate, count, autoStop ? (seconds < 0 ? 0 : seconds) : -1);
    switch (s.check) {
    case kv::LoggerCheck::RateOverRange: message(dialog, IDS_LOGGER_RATE_RANGE, IDS_LOGGER_ERROR, MB_OK | MB_ICONERROR); return;
    case kv::LoggerCheck::ChannelsOverRange: message(dialog, IDS_LOGGER_CHANNELS_RANGE, IDS_LOGGER_ERROR, MB_OK | MB_ICONERROR); return;
    case kv::LoggerCheck::AutoStopTime: message(dialog, IDS_LOGGER_AUTOSTOP, IDS_LOGGER_ERROR, MB_OK | MB_ICONERROR); return;
    case kv::LoggerCheck::AskCloseValue:
        if (message(dialog, IDS_LOGGER_CLOSE_VALUE, IDS_LOGGER_CAPTION, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
        break;
    case kv::LoggerCheck::Ok: break;
    }
    const std::string path = itemText(dialog, IDC_LOGGER_FILE);
    std::FILE* file = path.empty() ? nullptr : std::fopen(path.c_str(), "w+b");
    if (!file) {
        message(dialog, IDS_LOGGER_FILE_OPEN, IDS_LOGGER_ERROR, MB_OK | MB_ICONERROR);
        return;
    }
    g_job = kv::LoggerJob();
    g_job.outputPath = path;
    g_job.postProcess = IsDlgButtonChecked(dialog, IDC_LOGGER_POSTPROCESS) == BST_CHECKED;
    g_job.settings = s;
    g_job.channels = count;
    g_job.autoStopSeconds = autoStop ? seconds : -1;
    g_output = file;
    g_result = kv::LoggerResult();
    InterlockedExchange(&g_stop, 0);
    SetDlgItemInt(dialog, IDC_LOGGER_TIME, 0, FALSE);
    HANDLE worker = CreateThread(nullptr, 0, loggerWorker, nullptr, CREATE_SUSPENDED, nullptr);
    if (!worker) {
        std::fclose(file);
        g_output = nullptr;
        return;
    }
    g_worker = worker;
    setRunning(dialog, true);
    ResumeThread(worker);
}

void browse(HWND dialog) {
    std::wstring filter = kv::loadString(IDS_LOGGER_FILTER);
    for (wchar_t& c : filter)
        if (c == L'|') c = L'\0';
    wchar_t name[MAX_PATH] = {};
    GetDlgItemTextW(dialog, IDC_LOGGER_FILE, name, MAX_PATH);
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = dialog;
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = name;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrDefExt = L"log";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (GetSaveFileNameW(&ofn)) SetDlgItemTextW(dialog, IDC_LOGGER_FILE, name);
}

INT_PTR CALLBACK loggerProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM) {
    switch (msg) {
    case WM_INITDIALOG:
        g_dialog = dialog;
        SetDlgItemTextA(dialog, IDC_LOGGER_RATE, "1000");
        SetDlgItemTextA(dialog, IDC_LOGGER_CHANNELS, "36");
        SetDlgItemTextA(dialog, IDC_LOGGER_STOPTIME, "60");
        SetDlgItemInt(dialog, IDC_LOGGER_TIME, 0, FALSE);
        setRunning(dialog, false);
        return TRUE;
    case WM_CLOSE:
        PostMessageW(dialog, WM_COMMAND, IDC_LOGGER_EXIT, 0);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_LOGGER_START: start(dialog); return TRUE;
        case IDC_LOGGER_BROWSE: browse(dialog); return TRUE;
        case IDC_LOGGER_HELP: message(dialog, IDS_LOGGER_HELP, IDS_LOGGER_CAPTION, MB_OK | MB_ICONINFORMATION); return TRUE;
        case IDC_LOGGER_STOP:
            InterlockedIncrement(&g_stop);
            if (!workerEnded(dialog)) PostMessageW(dialog, WM_COMMAND, IDC_LOGGER_STOP, 0);
            return TRUE;
        case IDCANCEL:
        case IDC_LOGGER_EXIT:
            InterlockedIncrement(&g_stop);
            if (!workerEnded(dialog) && ++g_exitPosts <= kExitReposts) {
                PostMessageW(dialog, WM_COMMAND, IDC_LOGGER_EXIT, 0);
                return TRUE;
            }
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

bool loadLoggerImage(HINSTANCE instance, std::vector<uint8_t>& out) {
    HRSRC res = FindResourceA(instance, MAKEINTRESOURCEA(IDR_LOGGER_IMAGE), "FPGA");
    HGLOBAL mem = res ? LoadResource(instance, res) : nullptr;
    const DWORD size = res ? SizeofResource(instance, res) : 0;
    const void* data = mem ? LockResource(mem) : nullptr;
    if (!data || size == 0) return false;
    const auto* bytes = static_cast<const uint8_t*>(data);
    out.assign(bytes, bytes + size);
    return true;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    const WORD language = kv::resourceLanguageFor(GetSystemDefaultLangID());
    kv::setResourceLanguage(instance, language);
    SetThreadLocale(MAKELCID(language, SORT_DEFAULT));
    kv::setSharedSections(&kv::winSharedSections());
    kv::installDeviceIoFromEnvironment(kv::winDeviceIo());
    g_env.sleepMs = [](uint32_t ms) { Sleep(ms); };
    g_env.nowMs = []() { return static_cast<uint64_t>(GetTickCount64()); };

    kv::KvDevice device;
    if (!kv::findLoggerBoard(device)) {
        message(nullptr, IDS_LOGGER_NOT_FOUND, IDS_LOGGER_ERROR, MB_OK | MB_ICONERROR);
        return 1;
    }
    g_device = &device;
    if (!loadLoggerImage(instance, g_image)) return 1;
    const DLGTEMPLATE* dialog = kv::findDialogTemplate(IDD_NIMBREL);
    if (!dialog) return 1;
    DialogBoxIndirectParamW(instance, dialog, nullptr, loggerProc, 0);
    if (g_worker) {
        // The dialog gave up waiting; the worker ends at its next read (each is bounded by the
        // driver's time-out). The channel it uses is released only after that.
        if (WaitForSingleObject(g_worker, 2 * kv::kIoTimeoutMs) == WAIT_TIMEOUT) ExitProcess(2);
        CloseHandle(g_worker);
    }
    return 0;
}
