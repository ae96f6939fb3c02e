// Halvex.dll: process attach and detach, and the exported functions. Each export only checks that
// the library is loaded and hands its arguments to the process's one HalvexRuntime.
#include <windows.h>

#include <new>
#include <vector>

#include "platform/device_io_win.h"
#include "platform/module_resource_win.h"
#include "platform/registry_win.h"
#include "platform/shared_section_win.h"
#include "runtime/halvex_api.h"
#include "runtime/halvex_runtime.h"
#include "simulator/virtual_system.h"

namespace {

HMODULE g_module = nullptr;
kv::HalvexRuntime* g_runtime = nullptr;

// The FPGA image of a mode: resource type "FPGA", named by the mode id.
bool loadFpgaResource(int modeId, std::vector<uint8_t>& out) { return kv::loadModuleResource(g_module, "FPGA", modeId, out); }

bool callerMayWrite(void* p, size_t bytes) { return p && !IsBadWritePtr(p, bytes); }

// Runs under the loader lock: the virtual hardware (chosen by HALVEX_VIRTUAL), the section and the
// registry are reached without starting threads or loading libraries.
void processAttach() {
    kv::setSharedSections(&kv::winSharedSections());
    kv::installDeviceIoFromEnvironment(kv::winDeviceIo());
    kv::RuntimeEnv env;
    env.registry = &kv::winRegistry();
    env.fpgaImage = loadFpgaResource;
    env.sleepMs = [](uint32_t ms) { Sleep(ms); };
    env.writable = callerMayWrite;
    env.readable = [](const void* p, size_t bytes) { return p && !IsBadReadPtr(p, bytes); };
    env.messageBox = [](const char* text, const char* title) { MessageBoxA(nullptr, text, title, MB_OK | MB_ICONERROR); };
    env.nowMs = []() { return static_cast<uint64_t>(GetTickCount64()); };
    g_runtime = new (std::nothrow) kv::HalvexRuntime(env);
    if (g_runtime) g_runtime->attach();
}

void processDetach() {
    if (!g_runtime) return;
    g_runtime->detach();
    delete g_runtime;
    g_runtime = nullptr;
}

kv::HalvexRuntime* rt() { return g_runtime; }

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        // Thread notifications stay on: the statically linked C++ runtime needs them.
        g_module = instance;
        processAttach();
    } else if (reason == DLL_PROCESS_DETACH) {
        processDetach();
    }
    return TRUE;
}

KVEXPORT void* KVAPI KvFindDevice(void) { return rt() ? rt()->table() : nullptr; }
KVEXPORT int KVAPI KvHasHw(void* slot) { return rt() ? rt()->hasHw(slot) : -1; }
KVEXPORT int KVAPI KvInterfaceName(int index, const void* slot, int what, char* out, int size) {
    return rt() ? rt()->interfaceName(index, slot, what, out, size) : 0;
}
KVEXPORT uint32_t KVAPI KvGetHwInfo(int index, uint32_t selector) { return rt() ? rt()->getHwInfo(index, selector) : 0; }
KVEXPORT int KVAPI KvGetHwInfoEx(int index, uint32_t selector, int mode, void* out) {
    return rt() ? rt()->getHwInfoEx(index, selector, mode, out) : 0;
}
KVEXPORT int KVAPI KvSetHwInfo(int index, uint32_t selector, uint32_t value) {
    return rt() ? rt()->setHwInfo(index, selector, value) : 1;
}
KVEXPORT int KVAPI KvThresVolt(int index, int group, int millivolts) { return rt() ? rt()->thresVolt(index, group, millivolts) : 0; }
KVEXPORT int KVAPI KvThresData(int index, int group, int dac) { return rt() ? rt()->thresData(index, group, dac) : 0; }
KVEXPORT int KVAPI KvReset(int index) { return rt() ? rt()->reset(index) : 0; }
KVEXPORT int KVAPI KvShutdown(int index) { return rt() ? rt()->shutdown(index) : 0; }

// Rate tables, trigger programming and capture come with the capture side of the library; until
// then they answer as for a device that is not open.
KVEXPORT int KVAPI KvFreqInfoEx(int index, int what, uint32_t entry, uint32_t entryHigh, uint32_t* outRate,
                                uint32_t* outClass, char* outText, int textSize) {
    return rt() ? rt()->freqInfoEx(index, what, entry, entryHigh, outRate, outClass, outText, textSize) : -1;
}
KVEXPORT int KVAPI KvFreqInfo(int index, int what, int entry, uint32_t* outRate, uint32_t* outClass, char* outText,
                              int textSize) {
    return rt() ? rt()->freqInfo(index, what, entry, outRate, outClass, outText, textSize) : -1;
}
KVEXPORT int KVAPI KvFreq2IndexEx(int index, uint32_t rateLow, uint32_t rateHigh) {
    return rt() ? rt()->freq2IndexEx(index, rateLow, rateHigh) : 0;
}
KVEXPORT int KVAPI KvFreq2Index(int index, uint32_t rate) { return rt() ? rt()->freq2Index(index, rate) : 0; }
KVEXPORT int KVAPI KvExtClk2Index(int index, uint32_t code) { return rt() ? rt()->extClk2Index(index, code) : 0; }
KVEXPORT int KVAPI KvTbl2Freq(int code, uint32_t* outRate, uint32_t* outExternal) {
    return kv::HalvexRuntime::tbl2Freq(code, outRate, outExternal);
}
KVEXPORT int KVAPI KvTrigger(int index, void* record) { return rt() ? rt()->trigger(index, record) : 0; }
KVEXPORT int KVAPI KvCaptureData(int index, void* record) { return rt() ? rt()->captureData(index, record) : 0; }
KVEXPORT int KVAPI KvIsDataReady(int index) { return rt() ? rt()->isDataReady(index) : 0; }
KVEXPORT int KVAPI KvGetInstantData(int index, int refresh, void* outState16, void* outRate, int* outProgress) {
    return rt() ? rt()->getInstantData(index, refresh, outState16, outRate, outProgress) : 0;
}
KVEXPORT int KVAPI KvReadCapData(int index, void* out, int stopped, uint32_t groupMask) {
    return rt() ? rt()->readCapData(index, out, stopped, groupMask) : 0;
}
KVEXPORT int KVAPI KvStopCap(int index) { return rt() ? rt()->stopCap(index) : 0; }
KVEXPORT int KVAPI KvEventOut(int index, uint32_t mask) { return rt() ? rt()->eventOut(index, mask) : 0; }
KVEXPORT int KVAPI KvLogger(int index, uint32_t divider, const char* fileName) {
    return rt() ? rt()->logger(index, divider, fileName) : 0;
}

KVEXPORT int KVAPI ukvInit(void) { return rt() ? rt()->ukvInit() : 0; }
KVEXPORT int KVAPI ukvShutdown(void) { return rt() ? rt()->ukvShutdown() : 0; }
KVEXPORT int KVAPI ukvThreshold(int group, int millivolts) { return rt() ? rt()->ukvThreshold(group, millivolts) : 0; }
KVEXPORT uint32_t KVAPI ukvGetHwInfo(int what) { return rt() ? rt()->ukvGetHwInfo(what) : 0; }
KVEXPORT int KVAPI ukvSetHwInfo(int what, uint32_t value) { return rt() ? rt()->ukvSetHwInfo(what, value) : 0; }
KVEXPORT int KVAPI ukvSetTrigger(void* record) { return rt() ? rt()->ukvSetTrigger(record) : 0; }
KVEXPORT int KVAPI ukvCapture(void* record, void* counts, void* pattern) {
    return rt() ? rt()->ukvCapture(record, counts, pattern) : 0;
}
KVEXPORT int KVAPI ukvRead(void* out, uint32_t groupMask) { return rt() ? rt()->ukvRead(out, groupMask) : 0; }
KVEXPORT int KVAPI ukvGetModelName(char* out, int size) { return rt() ? rt()->ukvGetModelName(out, size) : 0; }
