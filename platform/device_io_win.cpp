#include "platform/device_io_win.h"

#include <windows.h>

namespace kv {
namespace {

// A request issued with its own manual-reset event; when it is pending, the wait is bounded. A
// request that outlives its wait is cancelled and waited for, so the kernel never writes into a
// buffer the caller has already released.
bool finishOverlapped(HANDLE file, OVERLAPPED& ov, BOOL issued, DWORD timeoutMs, uint32_t& count) {
    DWORD n = 0;
    if (!issued) {
        if (GetLastError() != ERROR_IO_PENDING) return false;
        if (WaitForSingleObject(ov.hEvent, timeoutMs) != WAIT_OBJECT_0) {
            CancelIo(file);
            GetOverlappedResult(file, &ov, &n, TRUE);
            return false;
        }
    }
    if (!GetOverlappedResult(file, &ov, &n, FALSE)) return false;
    count = n;
    return true;
}

class WinDeviceFile : public DeviceFile {
public:
    WinDeviceFile(HANDLE h, bool overlapped) : handle_(h), overlapped_(overlapped) {}
    ~WinDeviceFile() override { CloseHandle(handle_); }

    bool ioControl(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize, uint32_t& returned,
                   void*) override {
        returned = 0;
        if (!overlapped_) {
            DWORD n = 0;
            if (!DeviceIoControl(handle_, code, const_cast<void*>(in), inSize, out, outSize, &n, nullptr)) return false;
            returned = n;
            return true;
        }
        OVERLAPPED ov{};
        ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (!ov.hEvent) return false;
        DWORD n = 0;
        BOOL issued = DeviceIoControl(handle_, code, const_cast<void*>(in), inSize, out, outSize, &n, &ov);
        bool ok = finishOverlapped(handle_, ov, issued, kIoctlTimeoutMs, returned);
        CloseHandle(ov.hEvent);
        return ok;
    }

    bool read(void* buffer, uint32_t size, uint32_t& got) override {
        got = 0;
        if (!overlapped_) {
            DWORD n = 0;
            if (!ReadFile(handle_, buffer, size, &n, nullptr)) return false;
            got = n;
            return true;
        }
        OVERLAPPED ov{};
        ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (!ov.hEvent) return false;
        DWORD n = 0;
        BOOL issued = ReadFile(handle_, buffer, size, &n, &ov);
        bool ok = finishOverlapped(handle_, ov, issued, kIoTimeoutMs, got);
        CloseHandle(ov.hEvent);
        return ok;
    }

    bool write(const void* data, uint32_t size, uint32_t& written) override {
        written = 0;
        if (!overlapped_) {
            DWORD n = 0;
            if (!WriteFile(handle_, data, size, &n, nullptr)) return false;
            written = n;
            return true;
        }
        OVERLAPPED ov{};
        ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (!ov.hEvent) return false;
        DWORD n = 0;
        BOOL issued = WriteFile(handle_, data, size, &n, &ov);
        bool ok = finishOverlapped(handle_, ov, issued, kIoTimeoutMs, written);
        CloseHandle(ov.hEvent);
        return ok;
    }

    uint32_t handleValue() const override { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle_)); }

private:
    HANDLE handle_;
    bool overlapped_;
};

class WinDeviceIo : public DeviceIo {
public:
    std::unique_ptr<DeviceFile> open(const std::string& name, uint32_t flags) override {
        bool overlapped = (flags & kOpenOverlapped) != 0;
        HANDLE h = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, overlapped ? FILE_FLAG_OVERLAPPED : 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return nullptr;
        return std::make_unique<WinDeviceFile>(h, overlapped);
    }

    // Port instructions: allowed only where the port driver (or an old system) grants them.
    uint8_t inByte(uint32_t port) override {
        uint8_t v;
        uint16_t p = static_cast<uint16_t>(port);
        __asm__ __volatile__("inb %w1, %b0" : "=a"(v) : "Nd"(p));
        return v;
    }
    void outByte(uint32_t port, uint8_t value) override {
        uint16_t p = static_cast<uint16_t>(port);
        __asm__ __volatile__("outb %b0, %w1" : : "a"(value), "Nd"(p));
    }
    uint16_t inWord(uint32_t port) override {
        uint16_t v;
        uint16_t p = static_cast<uint16_t>(port);
        __asm__ __volatile__("inw %w1, %w0" : "=a"(v) : "Nd"(p));
        return v;
    }
    void outWord(uint32_t port, uint16_t value) override {
        uint16_t p = static_cast<uint16_t>(port);
        __asm__ __volatile__("outw %w0, %w1" : : "a"(value), "Nd"(p));
    }

    OsVersion osVersion() override {
        OSVERSIONINFOA info{};
        info.dwOSVersionInfoSize = sizeof info;
        OsVersion v;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        if (GetVersionExA(&info)) {
#pragma GCC diagnostic pop
            v.ntFamily = info.dwPlatformId == VER_PLATFORM_WIN32_NT;
            v.major = info.dwMajorVersion;
            v.minor = info.dwMinorVersion;
        }
        return v;
    }
};

}  // namespace

DeviceIo& winDeviceIo() {
    static WinDeviceIo io;
    return io;
}

}  // namespace kv
