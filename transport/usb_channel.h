// The USB channel: the one object through which a USB board is reached. It opens the kernel
// driver's device for a USB device number, checks vendor and product id, and offers register
// requests, bulk writes and reads, and the bit-banged 93C46 serial EEPROM. Open device numbers are
// marked in the shared section "OMBIXUSBSHARED" so that two processes do not drive one board.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/device_io.h"
#include "platform/shared_section.h"

namespace kv {

// Names of the two USB drivers; %d is the USB device number (0-127).
constexpr const char* kStillImageDeviceFormat = "\\\\.\\usbscan%d";
constexpr const char* kLegacyUsbDeviceFormat = "\\\\.\\Geneusb%d";

constexpr const char* kUsbSharedSectionName = "OMBIXUSBSHARED";
constexpr size_t kUsbSharedSectionSize = 4096;
constexpr int kMaxUsbDeviceNumber = 127;
constexpr uint32_t kUsbOpenMark = 0x8000;  // shared word of an open device: mark + product id

// Device controls of both USB drivers.
enum : uint32_t {
    kIoctlLegacyDescriptor = 0x80002000,  // 18-byte device descriptor (older driver only)
    kIoctlGetDeviceIds = 0x80002018,      // vendor id, product id
    kIoctlGetUsbDescriptor = 0x80002020,  // descriptor of the type and index given in the input
    kIoctlReadRegisters = 0x8000200C,
    kIoctlWriteRegisters = 0x80002010,
};

// Registers of the board's USB bridge.
enum : uint32_t {
    kUsbRegBulkSetup = 0x82,   // announces the next bulk transfer (8-byte set-up record)
    kUsbRegControl = 0x83,     // the board's control byte
    kUsbRegStatus = 0x84,      // status byte
    kUsbRegControl2 = 0x85,    // the board's second control byte
    kUsbRegPinDir = 0x89,      // EEPROM pin directions
    kUsbRegPinsIn = 0x8A,      // EEPROM pins, read
    kUsbRegPinsOut = 0x8B,     // EEPROM pins, write
    kUsbRegBridgeSetup = 0x8C, // bridge set-up write (index word + one byte)
    kUsbRegBridgeStatus = 0x8E,
};

// Bulk targets of the set-up record.
enum : uint16_t {
    kBulkTargetData = 0,
    kBulkTargetCommand = 130,  // command frames, FPGA images and trigger tables
};

constexpr uint32_t kBulkChunk = 61440;  // the most one bulk request of a USB 1.1 link carries
constexpr int32_t kUsb20Version = 0x0200;

// Register request record (the still-image driver's IO_BLOCK): input of both register controls.
struct UsbRegisterRequest {
    uint32_t reg = 0;
    uint32_t length = 0;
    uint32_t bufferAddress = 0;
    uint32_t index = 0;
    static constexpr size_t kSize = 16;
    // The request for `length` bytes of register `reg` at `index`, into or from `data`; fields
    // are 16-bit on the wire except the buffer address.
    static UsbRegisterRequest of(uint32_t reg, uint32_t index, uint32_t length, const void* data);
    void store(uint8_t* out) const;
    static UsbRegisterRequest load(const uint8_t* in);
};

// Bulk set-up record, written to register 0x82 before every bulk transfer.
struct BulkSetup {
    uint8_t direction = 0;  // 1 host to device, 0 device to host
    uint8_t raw = 0;        // raw byte-stream write of a USB 1.1 command batch
    uint16_t target = 0;
    uint32_t length = 0;
    static constexpr size_t kSize = 8;
    void store(uint8_t* out) const;
    static BulkSetup load(const uint8_t* in);
};

class UsbChannel {
public:
    UsbChannel();   // closed, with the shared table mapped
    ~UsbChannel();  // closes, unmaps
    UsbChannel(const UsbChannel&) = delete;
    UsbChannel& operator=(const UsbChannel&) = delete;

    // 1 on success. Ids of 0 accept any device. A number marked open in the shared table is
    // refused without touching the device unless force is non-zero.
    int open(int deviceNumber, uint16_t vendorId, uint16_t productId, int force);
    void close();

    int registerWrite(uint32_t reg, uint32_t index, uint32_t length, const void* data);
    int registerRead(uint32_t reg, uint32_t index, uint32_t length, void* data);
    int writeControl(uint8_t value);   // register 0x83
    int readStatus();                  // register 0x84; -1 on failure
    int writeControl2(uint8_t value);  // register 0x85

    int bulkWrite(const void* data, uint32_t length, uint16_t target);
    int rawWrite(const void* data, uint32_t length);
    int bulkRead(void* data, uint32_t length, uint16_t target);

    // Reads count words from a 6-bit word address into out, each word little-endian. Nothing is
    // done unless out holds at least 128 bytes and the words lie inside the 64-word memory.
    int readEeprom(int address, int count, void* out, size_t outSize);
    int writeEepromWord(int address, uint16_t value);

    // While non-zero every exchange fails at once without touching the device.
    void setHold(int value) { hold_ = value; }
    int hold() const { return hold_; }

    bool isOpen() const { return file_ != nullptr; }
    // The open device file's handle value (what the viewer registers for removal notices with);
    // 0 when closed.
    uint32_t deviceHandle() const { return file_ ? file_->handleValue() : 0; }
    bool isWin2000() const { return isWin2000_; }
    int deviceNumber() const { return deviceNumber_; }
    uint16_t vendorId() const { return vendorId_; }
    uint16_t productId() const { return productId_; }
    const std::array<uint8_t, 18>& descriptor() const { return descriptor_; }
    int32_t usbVersion() const { return usbVersion_; }
    bool isUsb20() const { return usbVersion_ == kUsb20Version; }
    int32_t speedMode() const { return speedMode_; }
    bool legacyDriver() const { return legacyDriver_; }

private:
    bool usable() const { return file_ && hold_ == 0; }
    bool ioctl(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize, uint32_t* returned,
               void* dataStage = nullptr);
    bool readIds();
    int announce(uint8_t direction, uint8_t raw, uint16_t target, uint32_t length);
    int bulkWriteFlagged(const void* data, uint32_t length, uint16_t target, uint8_t raw);
    bool setPins(uint8_t value);
    bool sendEepromBits(uint32_t bits, int count);
    bool sendEepromCommand(uint32_t bits, int count);
    int receiveEepromBit();

    bool isWin2000_ = false;
    std::unique_ptr<DeviceFile> file_;  // the device file (handle); null when closed
    int deviceNumber_ = -1;
    uint16_t vendorId_ = 0;
    uint16_t productId_ = 0;
    std::array<uint8_t, 18> descriptor_{};
    int32_t usbVersion_ = 0;
    int32_t speedMode_ = 0;
    bool legacyDriver_ = false;
    int hold_ = 0;
    std::unique_ptr<SharedSection> shared_;
};

}  // namespace kv
