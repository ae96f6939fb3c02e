// The exported API of Zentro.dll: the uDso* functions the viewer binds by name and the Dso* family
// of the maker's other programs. All functions use the stdcall convention and are exported with
// undecorated names. Scope indexes are 0-based.
#pragma once

#include <cstdint>

#ifdef _WIN32
#define DSOAPI __stdcall
#else
#define DSOAPI
#endif
#define DSOEXPORT extern "C"

DSOEXPORT int DSOAPI uDsoInit(void);
DSOEXPORT int DSOAPI uDsoInit2(int option);
DSOEXPORT int DSOAPI uDsoShutdown(void);
DSOEXPORT int DSOAPI uDsoGetHwInfo(int index, int what, void* out);
DSOEXPORT int DSOAPI uDsoSetCalibration(int index, const void* tables, const void* thresholds, const void* offsets);
DSOEXPORT int DSOAPI uDsoCapture(void* record);
DSOEXPORT int DSOAPI uDsoGetErrorCode(void);
DSOEXPORT int DSOAPI uDsoStop(void);
DSOEXPORT int DSOAPI uDsoGetStatus(int index);
DSOEXPORT int DSOAPI uDsoDataReady(void);
DSOEXPORT int DSOAPI uDsoRead(void* request);

DSOEXPORT int DSOAPI DsoInit(void);
DSOEXPORT int DSOAPI DsoHasHw(int index);
DSOEXPORT uint32_t DSOAPI DsoGetID(int index);
DSOEXPORT uint32_t DSOAPI DsoGetHwInfo(int index, uint32_t selector);
DSOEXPORT int DSOAPI DsoCapture(void* record);
DSOEXPORT int DSOAPI DsoStop(void);
DSOEXPORT int DSOAPI DsoShutdown(void);
DSOEXPORT int DSOAPI DsoRead(void* request);
DSOEXPORT int DSOAPI DsoLog(void* window);
