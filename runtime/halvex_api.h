// The exported API of Halvex.dll: the indexed Kv* family and the single-device ukv* family.
// All functions use the stdcall convention and are exported with undecorated names.
#pragma once

#include <cstdint>

#ifdef _WIN32
#define KVAPI __stdcall
#else
#define KVAPI
#endif

#ifdef HALVEX_BUILD
#define KVEXPORT extern "C"
#else
#define KVEXPORT extern "C"
#endif

// Slot records of the shared device table are 64 bytes; 140 slots are used.
enum : int { kKvSlotBytes = 64, kKvSlotCount = 140, kKvModeInfoBytes = 192 };

// Hardware-information selectors used by the viewer.
enum : uint32_t {
    kHwKind = 0x96940000u,
    kHwInterfaceCode = 0x96940001u,
    kHwFamily = 0x96940002u,
    kHwSubIndex = 0x96940003u,
    kHwProductCode = 0x96940004u,
    kHwDepth = 0x96940005u,
    kHwTriggerDelay = 0x96940006u,
    kHwWordsPerSample = 0x96940007u,
    kHwChannelCount = 0x96940008u,
    kHwBitsPerWord = 0x96940009u,
    kHwLargestCount = 0x96940011u,
    kHwCaptureLength = 0x96940012u,
    kHwSamplesPerWord = 0x96940014u,
    kHwSelectMode = 0x96940015u,
    kHwModeInfo = 0x96940016u,
    kHwSampleGroup = 0x96940017u,
    kHwFirstSamplePhase = 0x96940018u,
    kHwEquivalentMode = 0x96940019u,
    kHwCaptureRunning = 0x96941000u,  // answered by the viewer itself between instances
    kHwMemoryBytes = 0x96941001u,
    kHwReadBytes = 0x96941002u,
    kHwUnwrittenSamples = 0x96941003u,
    kHwTimeStampPre = 0x96941004u,
    kHwTimeStampTotal = 0x96941005u,
    kHwHold = 0x96941007u,
    kHwSetCaptureLength = 0x96942012u,
    kHwStatusOption = 0x96942013u,
    kHwLastReadResult = 0x96948000u,
    kHwAlignCorrection = 0x96948001u,  // 0x96948002-0x96948005: further results of the same search
    kHwUsbVersion = 0x9694A001u,
    kHwUsbHandle = 0x9694A002u,
};

KVEXPORT void* KVAPI KvFindDevice(void);
KVEXPORT int KVAPI KvHasHw(void* slot);
KVEXPORT int KVAPI KvInterfaceName(int index, const void* slot, int what, char* out, int size);
KVEXPORT uint32_t KVAPI KvGetHwInfo(int index, uint32_t selector);
KVEXPORT int KVAPI KvGetHwInfoEx(int index, uint32_t selector, int mode, void* out);
KVEXPORT int KVAPI KvSetHwInfo(int index, uint32_t selector, uint32_t value);
KVEXPORT int KVAPI KvThresVolt(int index, int group, int millivolts);
KVEXPORT int KVAPI KvThresData(int index, int group, int dac);
KVEXPORT int KVAPI KvFreqInfoEx(int index, int what, uint32_t entry, uint32_t entryHigh, uint32_t* outRate,
                                uint32_t* outClass, char* outText, int textSize);
KVEXPORT int KVAPI KvFreqInfo(int index, int what, int entry, uint32_t* outRate, uint32_t* outClass, char* outText,
                              int textSize);
KVEXPORT int KVAPI KvFreq2IndexEx(int index, uint32_t rateLow, uint32_t rateHigh);
KVEXPORT int KVAPI KvFreq2Index(int index, uint32_t rate);
KVEXPORT int KVAPI KvExtClk2Index(int index, uint32_t code);
KVEXPORT int KVAPI KvTbl2Freq(int code, uint32_t* outRate, uint32_t* outExternal);
KVEXPORT int KVAPI KvTrigger(int index, void* triggerRecord);
KVEXPORT int KVAPI KvCaptureData(int index, void* triggerRecord);
KVEXPORT int KVAPI KvIsDataReady(int index);
KVEXPORT int KVAPI KvGetInstantData(int index, int refresh, void* outState16, void* outRate, int* outProgress);
KVEXPORT int KVAPI KvReadCapData(int index, void* out, int stopped, uint32_t groupMask);
KVEXPORT int KVAPI KvStopCap(int index);
KVEXPORT int KVAPI KvReset(int index);
KVEXPORT int KVAPI KvEventOut(int index, uint32_t mask);
KVEXPORT int KVAPI KvLogger(int index, uint32_t divider, const char* fileName);
KVEXPORT int KVAPI KvShutdown(int index);
KVEXPORT int KVAPI ukvInit(void);
KVEXPORT int KVAPI ukvShutdown(void);
KVEXPORT int KVAPI ukvThreshold(int group, int millivolts);
KVEXPORT uint32_t KVAPI ukvGetHwInfo(int what);
KVEXPORT int KVAPI ukvSetHwInfo(int what, uint32_t value);
KVEXPORT int KVAPI ukvSetTrigger(void* triggerRecord);
KVEXPORT int KVAPI ukvCapture(void* triggerRecord, void* countArray, void* patternBytes);
KVEXPORT int KVAPI ukvRead(void* out, uint32_t groupMask);
KVEXPORT int KVAPI ukvGetModelName(char* out, int size);
