// Zentro.dll: process attach and detach, the Win32 services the scope library needs (the
// "DsoDataNotReady" event, the worker thread, message boxes, the sample-check log file, the FPGA
// image resource) and the exported functions, each of which hands its arguments to the process's
// one ZentroRuntime.
#include <windows.h>

#include <cstdio>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "platform/device_io_win.h"
#include "platform/module_resource_win.h"
#include "platform/registry_win.h"
#include "platform/shared_section_win.h"
#include "simulator/virtual_system.h"
#include "scope_runtime/sample_check.h"
#include "scope_runtime/zentro_api.h"
#include "scope_runtime/zentro_runtime.h"

namespace {

HMODULE g_module = nullptr;
HANDLE g_dataEvent = nullptr;  // manual reset; signalled while no capture is in progress
kv::zentro::ZentroRuntime* g_runtime = nullptr;

bool loadImageResource(int id, std::vector<uint8_t>& out) { return kv::loadModuleResource(g_module, "FPGA", id, out); }

struct WorkerStart {
    std::function<void()> work;
    HMODULE self = nullptr;
};

// The worker holds a reference to the library while it runs, so the library cannot be unloaded
// under it; it gives the reference back as it exits.
DWORD WINAPI workerThread(void* p) {
    auto* start = static_cast<WorkerStart*>(p);
    start->work();
    HMODULE self = start->self;
    delete start;
    FreeLibraryAndExitThread(self, 0);
}

bool startWorker(std::function<void()> work) {
    auto* start = new (std::nothrow) WorkerStart{std::move(work), nullptr};
    if (!start) return false;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&workerThread),
                            &start->self)) {
        delete start;
        return false;
    }
    HANDLE thread = CreateThread(nullptr, 0, workerThread, start, 0, nullptr);
    if (!thread) {
        FreeLibrary(start->self);
        delete start;
        return false;
    }
    // The scope's memory must be read while the capture's data are fresh: above the caller's threads.
    SetThreadPriority(thread, THREAD_PRIORITY_ABOVE_NORMAL);
    CloseHandle(thread);
    return true;
}

std::wstring wide(const std::string& utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring w(n > 0 ? static_cast<size_t>(n) : 1, L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &w[0], n);
    return w;
}

bool writeLogFile(const std::string& path, const std::string& text) {
    CreateDirectoryA(kv::zentro::kSampleLogDirectory, nullptr);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

std::tm localNow() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    std::tm t{};
    t.tm_year = st.wYear - 1900;
    t.tm_mon = st.wMonth - 1;
    t.tm_mday = st.wDay;
    t.tm_hour = st.wHour;
    t.tm_min = st.wMinute;
    t.tm_sec = st.wSecond;
    return t;
}

// Runs under the loader lock: nothing here starts a thread or loads a library.
void processAttach() {
    kv::setSharedSections(&kv::winSharedSections());
    kv::installDeviceIoFromEnvironment(kv::winDeviceIo());
    g_dataEvent = CreateEventA(nullptr, TRUE, TRUE, "DsoDataNotReady");
    kv::zentro::ZentroEnv env;
    env.registry = &kv::winRegistry();
    env.fpgaImage = loadImageResource;
    env.startWorker = startWorker;
    env.signalReady = [](bool ready) {
        if (g_dataEvent) ready ? SetEvent(g_dataEvent) : ResetEvent(g_dataEvent);
    };
    env.sleepMs = [](uint32_t ms) { Sleep(ms); };
    env.readable = [](const void* p, size_t n) { return p && !IsBadReadPtr(p, n); };
    env.writable = [](void* p, size_t n) { return p && !IsBadWritePtr(p, n); };
    env.messageBox = [](void* owner, const std::string& text, const char* title) {
        MessageBoxW(static_cast<HWND>(owner), wide(text).c_str(), wide(title).c_str(), MB_OK | MB_ICONERROR);
    };
    env.writeLog = writeLogFile;
    env.localTime = localNow;
    env.jitter = [] {
        static std::minstd_rand random(GetTickCount());
        return static_cast<uint32_t>(random() % 100);
    };
    g_runtime = new (std::nothrow) kv::zentro::ZentroRuntime(env);
}

void processDetach(bool processEnding) {
    // At process end the other threads are gone already; only the event is left to the system.
    if (g_runtime && !processEnding) {
        g_runtime->shutdown();
        delete g_runtime;
    }
    g_runtime = nullptr;
    if (g_dataEvent) CloseHandle(g_dataEvent);
    g_dataEvent = nullptr;
}

kv::zentro::ZentroRuntime* rt() { return g_runtime; }

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        processAttach();
    } else if (reason == DLL_PROCESS_DETACH) {
        processDetach(reserved != nullptr);
    }
    return TRUE;
}

DSOEXPORT int DSOAPI uDsoInit(void) { return uDsoInit2(0); }
DSOEXPORT int DSOAPI uDsoInit2(int) { return rt() ? rt()->init(20) : 0; }
DSOEXPORT int DSOAPI uDsoShutdown(void) { return rt() ? rt()->shutdown() : 1; }
DSOEXPORT int DSOAPI uDsoGetHwInfo(int index, int what, void* out) { return rt() ? rt()->getHwInfo(index, what, out) : 0; }
DSOEXPORT int DSOAPI uDsoSetCalibration(int index, const void* tables, const void* thresholds, const void* offsets) {
    return rt() ? rt()->setCalibration(index, tables, thresholds, offsets) : 0;
}
DSOEXPORT int DSOAPI uDsoCapture(void* record) { return rt() ? rt()->capture(record) : 0; }
DSOEXPORT int DSOAPI uDsoGetErrorCode(void) { return rt() ? rt()->errorCode() : kv::zentro::kErrNoScope; }
DSOEXPORT int DSOAPI uDsoStop(void) { return DsoStop(); }
DSOEXPORT int DSOAPI uDsoGetStatus(int index) { return rt() ? rt()->status(index) : 1; }
DSOEXPORT int DSOAPI uDsoDataReady(void) { return rt() ? rt()->dataReady() : 0; }
DSOEXPORT int DSOAPI uDsoRead(void* request) { return rt() ? rt()->read(request) : 0; }

DSOEXPORT int DSOAPI DsoInit(void) { return rt() ? rt()->init(3) : 0; }
DSOEXPORT int DSOAPI DsoHasHw(int index) { return rt() ? rt()->hasHw(index) : 0; }
DSOEXPORT uint32_t DSOAPI DsoGetID(int index) { return rt() ? rt()->modelCode(index) : 0; }
DSOEXPORT uint32_t DSOAPI DsoGetHwInfo(int index, uint32_t selector) { return rt() ? rt()->dsoHwInfo(index, selector) : 0; }
DSOEXPORT int DSOAPI DsoCapture(void* record) { return rt() ? rt()->capture(record) : 0; }
DSOEXPORT int DSOAPI DsoStop(void) { return rt() ? rt()->stop() : 0; }
DSOEXPORT int DSOAPI DsoShutdown(void) { return rt() ? rt()->shutdown() : 1; }
DSOEXPORT int DSOAPI DsoRead(void* request) { return rt() ? rt()->read(request) : 0; }
DSOEXPORT int DSOAPI DsoLog(void* window) {
    if (!rt()) return 0;
    rt()->armSampleCheck(window);
    return 1;
}
