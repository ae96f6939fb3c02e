// The process-wide capture buffer: one block of raw sample memory allocated at start-up from the
// device limits, plus what describes the capture it holds (length, trigger position, format).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace kv {

// What the runtime reports of the open board, as far as the buffer sizes depend on it.
struct HardwareValues {
    int32_t interfaceCode = 0;
    int32_t productCode = 0;
    int32_t channelCount = 0;
    int32_t depth = 0;            // stored samples of the board's memory
    int32_t wordsPerSample = 0;
    int32_t bitsPerWord = 0;      // bits per stored word
};

struct DeviceLimits {
    bool nanlyn = false;          // one of the streaming Nanlyn boards
    int32_t bufferLimit = 0;      // most bytes of sample data a capture can hold
    int32_t captureBufferSize = 0;
    bool dataAtStart = false;     // read-back data starts at the buffer's first byte
};

enum : int32_t {
    kCaptureSizeMargin = 512,      // capture buffer size beyond the buffer limit
    kCaptureSpareBytes = 20100,    // beyond the capture area, see CaptureBuffer
    kReadBackPreamble = 128,       // bytes the runtime's read-back places before the samples
    kDemoInterfaceCode = 0,
    kDemoProductCode = 0x1164,
    kDemoChannelCount = 64,
    kDemoBufferLimit = 0x1000000,
    kDemoCaptureBufferSize = 0x1000200,
};

// The ISA cards (interface codes 4 to 7) deliver samples without the read-back preamble.
bool isIsaInterface(int32_t interfaceCode);

// Limits of a board from its reported values. A buffer limit beyond what an i32 can count with
// the margins added is cut so that every size derived from it stays representable; such a buffer
// cannot be allocated by a 32-bit process anyway, which CaptureBuffer::allocate reports.
DeviceLimits deviceLimits(const HardwareValues& hw);

// Limits without a board (demo mode).
DeviceLimits demoDeviceLimits();

// Bytes of the capture area: the capture buffer size, or the buffer limit for the Nanlyn boards,
// whose captures never exceed it.
int32_t captureAreaBytes(const DeviceLimits& limits);

// How samples are laid out in the buffer; set by the sample mode and by the file loader.
struct SampleFormat {
    int32_t storageMode = 0;      // 0 packed words, 1 block-repeat format
    int32_t wordBits = 64;
    int32_t rowBits = 64;
    int32_t sampleBits = 64;
    int32_t bytesPerSample = 8;   // word bits / 8

    static SampleFormat make(int32_t storageMode, int32_t wordBits, int32_t rowBits, int32_t sampleBits);
};

class CaptureBuffer {
public:
    // Allocates the zero-filled buffer once: the capture area plus kCaptureSpareBytes. A fetch
    // reads a whole 8-byte word even for the last sample, and the data may start past the 128-byte
    // read-back preamble, so a capture filling the whole area is read up to 136 bytes beyond it;
    // the spare bytes cover that with a wide margin, at a cost that is small beside the area.
    // Returns false, keeping any buffer already held, when the memory is not available or a
    // buffer was already allocated.
    bool allocate(const DeviceLimits& limits);

    bool allocated() const { return bytes_ != nullptr; }
    uint8_t* base() const { return bytes_.get(); }
    size_t size() const { return size_; }
    const DeviceLimits& limits() const { return limits_; }

    // Where the samples of a capture begin: the first byte, or past the read-back preamble.
    uint8_t* dataStart() const { return bytes_.get() + dataStartOffset(); }
    int32_t dataStartOffset() const { return dataAtStart_ ? 0 : kReadBackPreamble; }
    bool dataAtStart() const { return dataAtStart_; }
    void setDataAtStart(bool atStart) { dataAtStart_ = atStart; }

    // Zero-fills the whole allocation, as a forced stop leaves it.
    void zeroAll();

    int32_t captureLength = 0;     // valid bytes of sample data from the data start
    int32_t triggerPosition = 0;   // samples before the trigger sample
    SampleFormat format;

private:
    std::unique_ptr<uint8_t[]> bytes_;
    size_t size_ = 0;
    DeviceLimits limits_;
    bool dataAtStart_ = false;
};

}  // namespace kv
