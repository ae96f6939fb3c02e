// Device-file and port seam: opening a kernel driver's device by name, its I/O controls and
// bulk reads and writes, processor port input and output, and the operating-system version that
// decides which driver names exist. Win32 code installs the real implementation
// (device_io_win.h); the virtual hardware installs boards that answer in the drivers' place; with
// neither installed, nothing opens and every port reads as a floating bus.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace kv {

// Time-outs of one pending request on a device opened for overlapped I/O: a request that has not
// completed by then is abandoned and reported as failed.
constexpr uint32_t kIoTimeoutMs = 8000;     // reads and writes
constexpr uint32_t kIoctlTimeoutMs = 16000;  // device controls

// What the runtime needs to know of the system it runs on.
struct OsVersion {
    bool ntFamily = true;
    uint32_t major = 6;
    uint32_t minor = 1;
};

// One open device file. Every call reports failure with false and leaves a count of 0.
class DeviceFile {
public:
    virtual ~DeviceFile() = default;

    // A device control. `dataStage` is the buffer that the input record names by address (the USB
    // register requests carry a 32-bit buffer address), or nullptr. The real driver reads the
    // address out of the record, so the Win32 implementation ignores it; a virtual device uses it,
    // because a 32-bit record field cannot carry an address of a 64-bit test program.
    virtual bool ioControl(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                           uint32_t& returned, void* dataStage = nullptr) = 0;
    virtual bool read(void* buffer, uint32_t size, uint32_t& got) = 0;
    virtual bool write(const void* data, uint32_t size, uint32_t& written) = 0;
    // The handle's value as the system knows it (a 32-bit program's HANDLE), for callers that
    // register for the device's removal notices; 0 when the file has none.
    virtual uint32_t handleValue() const { return 0; }
};

enum : uint32_t {
    kOpenOverlapped = 1,  // overlapped requests with the time-outs above (the USB drivers)
};

class DeviceIo {
public:
    virtual ~DeviceIo() = default;
    // Opens "\\.\name"-style device names for reading and writing, shared for both; nullptr when
    // the name does not open.
    virtual std::unique_ptr<DeviceFile> open(const std::string& name, uint32_t flags) = 0;
    virtual uint8_t inByte(uint32_t port) = 0;
    virtual void outByte(uint32_t port, uint8_t value) = 0;
    virtual uint16_t inWord(uint32_t port) = 0;
    virtual void outWord(uint32_t port, uint16_t value) = 0;
    virtual OsVersion osVersion() = 0;
};

// No driver and no port: what a machine without any board looks like.
class NullDeviceIo : public DeviceIo {
public:
    std::unique_ptr<DeviceFile> open(const std::string& name, uint32_t flags) override;
    uint8_t inByte(uint32_t port) override;
    void outByte(uint32_t port, uint8_t value) override;
    uint16_t inWord(uint32_t port) override;
    void outWord(uint32_t port, uint16_t value) override;
    OsVersion osVersion() override;
};

// The process's current implementation; a NullDeviceIo until one is installed.
DeviceIo& deviceIo();
// Installs an implementation (not owned; it must outlive its use). nullptr restores the null one.
void setDeviceIo(DeviceIo* io);

}  // namespace kv
