#include "viewer/shell/capture_buffer.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

namespace kv {

namespace {

// The Nanlyn boards stream into a fixed amount of memory, whatever their reported depth.
struct NanlynBoard {
    int32_t productCode;
    int32_t bufferLimit;
};
constexpr NanlynBoard kNanlynBoards[] = {
    {0x2036, 200000},
    {0x2136, 4160000},
    {0x2236, 16800000},
};

constexpr int64_t kMaxBufferLimit = INT32_MAX - kCaptureSizeMargin - kCaptureSpareBytes;

}  // namespace

bool isIsaInterface(int32_t interfaceCode) { return interfaceCode >= 4 && interfaceCode <= 7; }

DeviceLimits deviceLimits(const HardwareValues& hw) {
    DeviceLimits limits;
    limits.dataAtStart = isIsaInterface(hw.interfaceCode);
    int64_t bufferLimit = -1;
    for (const NanlynBoard& board : kNanlynBoards) {
        if (board.productCode == hw.productCode) {
            limits.nanlyn = true;
            bufferLimit = board.bufferLimit;
        }
    }
    if (!limits.nanlyn) {
        bufferLimit = static_cast<int64_t>(hw.bitsPerWord / 8) * hw.wordsPerSample * hw.depth;
    }
    bufferLimit = std::clamp<int64_t>(bufferLimit, 0, kMaxBufferLimit);
    limits.bufferLimit = static_cast<int32_t>(bufferLimit);
    limits.captureBufferSize = limits.bufferLimit + kCaptureSizeMargin;
    return limits;
}

DeviceLimits demoDeviceLimits() {
    DeviceLimits limits;
    limits.nanlyn = false;
    limits.bufferLimit = kDemoBufferLimit;
    limits.captureBufferSize = kDemoCaptureBufferSize;
    limits.dataAtStart = false;
    return limits;
}

int32_t captureAreaBytes(const DeviceLimits& limits) {
    return limits.nanlyn ? limits.bufferLimit : limits.captureBufferSize;
}

SampleFormat SampleFormat::make(int32_t storageMode, int32_t wordBits, int32_t rowBits, int32_t sampleBits) {
    SampleFormat format;
    format.storageMode = storageMode;
    format.wordBits = wordBits;
    format.rowBits = rowBits;
    format.sampleBits = sampleBits;
    format.bytesPerSample = wordBits / 8;
    return format;
}

bool CaptureBuffer::allocate(const DeviceLimits& limits) {
    if (bytes_ != nullptr) return false;
    const int32_t area = captureAreaBytes(limits);
    if (area < 0) return false;
    const size_t size = static_cast<size_t>(area) + kCaptureSpareBytes;
    // The value-initialising form zero-fills; nothrow turns a failure into a reportable result.
    uint8_t* bytes = new (std::nothrow) uint8_t[size]();
    if (bytes == nullptr) return false;
    bytes_.reset(bytes);
    size_ = size;
    limits_ = limits;
    dataAtStart_ = limits.dataAtStart;
    return true;
}

void CaptureBuffer::zeroAll() {
    if (bytes_ != nullptr) std::memset(bytes_.get(), 0, size_);
}

}  // namespace kv
