// The real device files and processor ports behind the device seam (Win32 only).
#pragma once

#include "platform/device_io.h"

namespace kv {

// CreateFileA/DeviceIoControl/ReadFile/WriteFile, overlapped with the time-outs of device_io.h
// when opened with kOpenOverlapped; port instructions for inByte/outByte (they fault unless the
// port driver or the system grants port access, so callers use them only after that check).
DeviceIo& winDeviceIo();

}  // namespace kv
