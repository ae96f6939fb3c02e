#include "transport/usb_channel.h"

#include <algorithm>
#include <cstdio>

namespace kv {
namespace {

void put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint16_t get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

// A USB 2.0 bridge that never reports ready would otherwise hold the caller forever; after this
// many repeats the write is reported as failed.
constexpr int kMaxReadyRepeats = 1000;

// 93C46 pin port: bit 0 chip select, bit 1 clock, bit 2 data to the memory, bit 3 data from it.
constexpr uint8_t kPinSelect = 1, kPinClock = 2, kPinDataIn = 4;
constexpr int kEepromWords = 64;

static_assert(UsbRegisterRequest::kSize == 4 * sizeof(uint32_t), "register request: four 32-bit fields");
static_assert(BulkSetup::kSize == 2 * sizeof(uint8_t) + sizeof(uint16_t) + sizeof(uint32_t),
              "bulk set-up: two bytes, a 16-bit target and a 32-bit length");

}  // namespace

UsbRegisterRequest UsbRegisterRequest::of(uint32_t reg, uint32_t index, uint32_t length, const void* data) {
    UsbRegisterRequest r;
    r.reg = reg & 0xFFFF;
    r.length = length & 0xFFFF;
    r.bufferAddress = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(data));
    r.index = index & 0xFFFF;
    return r;
}

void UsbRegisterRequest::store(uint8_t* out) const {
    put32(out, reg);
    put32(out + 4, length);
    put32(out + 8, bufferAddress);
    put32(out + 12, index);
}

UsbRegisterRequest UsbRegisterRequest::load(const uint8_t* in) {
    UsbRegisterRequest r;
    r.reg = get32(in);
    r.length = get32(in + 4);
    r.bufferAddress = get32(in + 8);
    r.index = get32(in + 12);
    return r;
}

void BulkSetup::store(uint8_t* out) const {
    out[0] = direction;
    out[1] = raw;
    put16(out + 2, target);
    put32(out + 4, length);
}

BulkSetup BulkSetup::load(const uint8_t* in) {
    BulkSetup s;
    s.direction = in[0];
    s.raw = in[1];
    s.target = get16(in + 2);
    s.length = get32(in + 4);
    return s;
}

UsbChannel::UsbChannel() {
    OsVersion os = deviceIo().osVersion();
    isWin2000_ = os.ntFamily && os.major == 5;
    shared_ = sharedSections().open(kUsbSharedSectionName, kUsbSharedSectionSize);
}

UsbChannel::~UsbChannel() { close(); }

bool UsbChannel::ioctl(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                       uint32_t* returned, void* dataStage) {
    if (!usable()) return false;
    uint32_t n = 0;
    bool ok = file_->ioControl(code, in, inSize, out, outSize, n, dataStage);
    if (returned) *returned = n;
    return ok;
}

bool UsbChannel::readIds() {
    if (legacyDriver_) {
        uint8_t d[18] = {};
        uint32_t n = 0;
        if (!ioctl(kIoctlLegacyDescriptor, nullptr, 0, d, sizeof d, &n) || n < sizeof d) return false;
        std::copy(d, d + 18, descriptor_.begin());
        vendorId_ = get16(d + 8);
        productId_ = get16(d + 10);
        return true;
    }
    uint8_t in[8] = {};
    uint8_t out[8] = {};
    uint32_t n = 0;
    if (!ioctl(kIoctlGetDeviceIds, in, sizeof in, out, sizeof out, &n) || n < 4) return false;
    vendorId_ = get16(out);
    productId_ = get16(out + 2);
    return true;
}

int UsbChannel::open(int deviceNumber, uint16_t vendorId, uint16_t productId, int force) {
    if (deviceNumber < 0 || deviceNumber > kMaxUsbDeviceNumber) return 0;
    if (isOpen()) close();
    size_t slot = static_cast<size_t>(deviceNumber) * 4;
    if (shared_ && shared_->word(slot) != 0 && !force) return 0;

    char name[32];
    std::snprintf(name, sizeof name, kStillImageDeviceFormat, deviceNumber);
    file_ = deviceIo().open(name, kOpenOverlapped);
    legacyDriver_ = false;
    if (!file_ && !isWin2000_) {
        std::snprintf(name, sizeof name, kLegacyUsbDeviceFormat, deviceNumber);
        file_ = deviceIo().open(name, kOpenOverlapped);
        legacyDriver_ = file_ != nullptr;
    }
    if (!file_) return 0;

    auto fail = [this] {
        file_.reset();
        legacyDriver_ = false;
        vendorId_ = productId_ = 0;
        usbVersion_ = speedMode_ = 0;
        return 0;
    };
    if (!readIds()) return fail();
    if ((vendorId != 0 && vendorId != vendorId_) || (productId != 0 && productId != productId_)) return fail();
    if (!legacyDriver_) {
        const uint8_t which[4] = {1, 0, 0, 0};  // descriptor type 1 (device), index 0
        uint8_t d[18] = {};
        uint32_t n = 0;
        if (!ioctl(kIoctlGetUsbDescriptor, which, sizeof which, d, sizeof d, &n) || n < sizeof d) return fail();
        std::copy(d, d + 18, descriptor_.begin());
    }
    usbVersion_ = get16(descriptor_.data() + 2);

    if (isUsb20()) {
        uint8_t flags = 0;
        if (!registerRead(kUsbRegBridgeStatus, 0, 1, &flags)) {
            speedMode_ = -1;
        } else if (flags & 0x08) {
            speedMode_ = 1;
        } else {
            uint8_t b1 = 132, b2 = 1;
            bool ok = registerWrite(kUsbRegBridgeSetup, 16, 1, &b1) && registerWrite(kUsbRegBridgeSetup, 15, 1, &b2);
            speedMode_ = ok ? 2 : -1;
        }
    } else {
        speedMode_ = 1;
    }

    if (shared_) shared_->setWord(slot, kUsbOpenMark + productId_);
    deviceNumber_ = deviceNumber;
    return 1;
}

void UsbChannel::close() {
    if (!file_) return;
    if (isUsb20()) {
        uint8_t b = 120;
        registerWrite(kUsbRegBridgeSetup, 18, 1, &b);
    }
    file_.reset();
    if (shared_ && deviceNumber_ >= 0) shared_->setWord(static_cast<size_t>(deviceNumber_) * 4, 0);
    deviceNumber_ = -1;
    legacyDriver_ = false;
}

int UsbChannel::registerWrite(uint32_t reg, uint32_t index, uint32_t length, const void* data) {
    if (!usable()) return 0;
    uint8_t rec[UsbRegisterRequest::kSize];
    UsbRegisterRequest::of(reg, index, length, data).store(rec);
    for (int repeat = 0;; ++repeat) {
        if (!ioctl(kIoctlWriteRegisters, rec, sizeof rec, nullptr, 0, nullptr, const_cast<void*>(data))) return 0;
        if (!isUsb20()) return 1;
        // The USB 2.0 bridge can drop a write while busy; its ready byte says whether it took it.
        uint8_t ready = 0;
        if (!registerRead(kUsbRegBridgeStatus, 32, 1, &ready) || ready != 0) return 1;
        if (repeat >= kMaxReadyRepeats) return 0;
    }
}

int UsbChannel::registerRead(uint32_t reg, uint32_t index, uint32_t length, void* data) {
    if (!usable()) return 0;
    uint8_t rec[UsbRegisterRequest::kSize];
    UsbRegisterRequest::of(reg, index, length, data).store(rec);
    return ioctl(kIoctlReadRegisters, rec, sizeof rec, data, length, nullptr, data) ? 1 : 0;
}

int UsbChannel::writeControl(uint8_t value) { return registerWrite(kUsbRegControl, 0, 1, &value); }

int UsbChannel::readStatus() {
    uint8_t b = 0;
    return registerRead(kUsbRegStatus, 0, 1, &b) ? b : -1;
}

int UsbChannel::writeControl2(uint8_t value) { return registerWrite(kUsbRegControl2, 0, 1, &value); }

int UsbChannel::announce(uint8_t direction, uint8_t raw, uint16_t target, uint32_t length) {
    BulkSetup s;
    s.direction = direction;
    s.raw = raw;
    s.target = target;
    s.length = length;
    uint8_t rec[BulkSetup::kSize];
    s.store(rec);
    return registerWrite(kUsbRegBulkSetup, 0, sizeof rec, rec);
}

int UsbChannel::bulkWriteFlagged(const void* data, uint32_t length, uint16_t target, uint8_t raw) {
    if (!usable()) return 0;
    const uint8_t* p = static_cast<const uint8_t*>(data);
    uint32_t pos = 0;
    while (pos < length) {
        uint32_t chunk = std::min(length - pos, kBulkChunk);
        if (!announce(1, raw, target, chunk)) return 0;
        uint32_t written = 0;
        // A write that moves nothing would repeat forever: it counts as a failure.
        if (!file_->write(p + pos, chunk, written) || written == 0 || written > chunk) return 0;
        pos += written;
    }
    return 1;
}

int UsbChannel::bulkWrite(const void* data, uint32_t length, uint16_t target) {
    return bulkWriteFlagged(data, length, target, 0);
}

int UsbChannel::rawWrite(const void* data, uint32_t length) {
    return bulkWriteFlagged(data, length, kBulkTargetData, 1);
}

int UsbChannel::bulkRead(void* data, uint32_t length, uint16_t target) {
    if (!usable()) return 0;
    uint8_t* p = static_cast<uint8_t*>(data);
    uint32_t pos = 0;
    if (length == 0) return 1;
    if (isUsb20()) {
        if (!announce(0, 0, target, length)) return 0;
        while (pos < length) {
            uint32_t got = 0;
            if (!file_->read(p + pos, length - pos, got) || got == 0 || got > length - pos) return 0;
            pos += got;
        }
        return 1;
    }
    while (pos < length) {
        uint32_t chunk = std::min(length - pos, kBulkChunk);
        if (!announce(0, 0, target, chunk)) return 0;
        uint32_t got = 0;
        if (!file_->read(p + pos, chunk, got) || got == 0 || got > chunk) return 0;
        pos += got;
    }
    return 1;
}

bool UsbChannel::setPins(uint8_t value) { return registerWrite(kUsbRegPinsOut, 0, 1, &value) != 0; }

bool UsbChannel::sendEepromBits(uint32_t bits, int count) {
    for (int i = count - 1; i >= 0; --i) {
        uint8_t d = ((bits >> i) & 1) ? kPinDataIn : 0;
        if (!setPins(kPinSelect | d) || !setPins(kPinSelect | kPinClock | d) || !setPins(kPinSelect | d)) return false;
    }
    return true;
}

// Every command starts with the select line raised while the data line is already high, so the
// memory sees a clean start bit on the first clock.
bool UsbChannel::sendEepromCommand(uint32_t bits, int count) {
    return setPins(kPinDataIn) && setPins(kPinDataIn | kPinSelect) && sendEepromBits(bits, count);
}

int UsbChannel::receiveEepromBit() {
    uint8_t pins = 0;
    if (!setPins(kPinSelect) || !setPins(kPinSelect | kPinClock)) return -1;
    if (!registerRead(kUsbRegPinsIn, 0, 1, &pins)) return -1;
    if (!setPins(kPinSelect)) return -1;
    return (pins >> 3) & 1;
}

int UsbChannel::readEeprom(int address, int count, void* out, size_t outSize) {
    if (!usable() || !out || outSize < 128) return 0;
    if (address < 0 || count < 0 || address + count > kEepromWords) return 0;
    uint8_t* o = static_cast<uint8_t*>(out);
    uint8_t dir = 7;
    if (!registerWrite(kUsbRegPinDir, 0, 1, &dir)) return 0;
    bool ok = sendEepromCommand(0x260, 10) && setPins(0);  // write enable: 1 00 110000
    ok = ok && sendEepromCommand(0x180 | static_cast<uint32_t>(address), 9);  // read: 1 10 A5..A0
    for (int w = 0; ok && w < count; ++w) {
        uint16_t word = 0;
        for (int b = 0; b < 16; ++b) {
            int bit = receiveEepromBit();
            if (bit < 0) {
                ok = false;
                break;
            }
            word = static_cast<uint16_t>(word << 1 | bit);
        }
        o[2 * w] = static_cast<uint8_t>(word);
        o[2 * w + 1] = static_cast<uint8_t>(word >> 8);
    }
    ok = ok && sendEepromCommand(0x200, 10) && setPins(0);  // write disable: 1 00 000000
    dir = 0;
    ok = registerWrite(kUsbRegPinDir, 0, 1, &dir) && ok;
    return ok ? 1 : 0;
}

int UsbChannel::writeEepromWord(int address, uint16_t value) {
    if (!usable() || address < 0 || address >= kEepromWords) return 0;
    uint8_t dir = 7;
    if (!registerWrite(kUsbRegPinDir, 0, 1, &dir)) return 0;
    bool ok = sendEepromCommand(0x260, 10) && setPins(0);
    ok = ok && sendEepromCommand(0x140 | static_cast<uint32_t>(address), 9) && sendEepromBits(value, 16);
    ok = ok && sendEepromCommand(0x200, 10) && setPins(0);
    dir = 0;
    ok = registerWrite(kUsbRegPinDir, 0, 1, &dir) && ok;
    return ok ? 1 : 0;
}

}  // namespace kv
