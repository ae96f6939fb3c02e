// Halvex.dll exports.
//
// This build of the runtime finds no device yet: discovery, board set-up and capture are not part of
// it. KvFindDevice hands out a zero-filled table of 140 slots and KvHasHw answers -1, so the viewer
// runs in demo mode. Every other export answers as it does for a device that is not open.
#include <cstring>

#include "runtime/halvex_api.h"

namespace {
unsigned char g_slots[kKvSlotCount * kKvSlotBytes];
}

KVEXPORT void* KVAPI KvFindDevice(void) { return g_slots; }
KVEXPORT int KVAPI KvHasHw(void*) { return -1; }

KVEXPORT int KVAPI KvInterfaceName(int, const void* slot, int, char* out, int size) {
    // No device is ever open, so the name comes from the slot record, and an empty record has none.
    if (!slot || size <= 0 || !out) return 0;
    out[0] = 0;
    return 0;
}

KVEXPORT uint32_t KVAPI KvGetHwInfo(int, uint32_t) { return 0; }
KVEXPORT int KVAPI KvGetHwInfoEx(int, uint32_t, int, void*) { return 0; }
KVEXPORT int KVAPI KvSetHwInfo(int, uint32_t, uint32_t) { return 1; }
KVEXPORT int KVAPI KvThresVolt(int, int, int) { return 0; }
KVEXPORT int KVAPI KvThresData(int, int, int) { return 0; }
KVEXPORT int KVAPI KvFreqInfoEx(int, int, uint32_t, uint32_t, uint32_t*, uint32_t*, char*, int) { return -1; }
KVEXPORT int KVAPI KvFreqInfo(int, int, int, uint32_t*, uint32_t*, char*, int) { return -1; }
KVEXPORT int KVAPI KvFreq2IndexEx(int, uint32_t, uint32_t) { return 0; }
KVEXPORT int KVAPI KvFreq2Index(int, uint32_t) { return 0; }
KVEXPORT int KVAPI KvExtClk2Index(int, uint32_t) { return 0; }
KVEXPORT int KVAPI KvTbl2Freq(int, uint32_t* outRate, uint32_t* outExternal) {
    if (outRate) *outRate = 0;
    if (outExternal) *outExternal = 0;
    return 0;
}
KVEXPORT int KVAPI KvTrigger(int, void*) { return 0; }
KVEXPORT int KVAPI KvCaptureData(int, void*) { return 0; }
KVEXPORT int KVAPI KvIsDataReady(int) { return 0; }
KVEXPORT int KVAPI KvGetInstantData(int, int, void*, void*, int*) { return 0; }
KVEXPORT int KVAPI KvReadCapData(int, void*, int, uint32_t) { return 0; }
KVEXPORT int KVAPI KvStopCap(int) { return 0; }
KVEXPORT int KVAPI KvReset(int) { return 0; }
KVEXPORT int KVAPI KvEventOut(int, uint32_t) { return 0; }
KVEXPORT int KVAPI KvLogger(int, uint32_t, const char*) { return 0; }
KVEXPORT int KVAPI KvShutdown(int) { return 0; }
KVEXPORT int KVAPI ukvInit(void) { return 0; }
KVEXPORT int KVAPI ukvShutdown(void) { return 0; }
KVEXPORT int KVAPI ukvThreshold(int, int) { return 0; }
KVEXPORT uint32_t KVAPI ukvGetHwInfo(int) { return 0; }
KVEXPORT int KVAPI ukvSetHwInfo(int, uint32_t) { return 0; }
KVEXPORT int KVAPI ukvSetTrigger(void*) { return 0; }
KVEXPORT int KVAPI ukvCapture(void*, void*, void*) { return 0; }
KVEXPORT int KVAPI ukvRead(void*, uint32_t) { return 0; }
KVEXPORT int KVAPI ukvGetModelName(char* out, int size) {
    if (out && size > 0) out[0] = 0;
    return 0;
}
