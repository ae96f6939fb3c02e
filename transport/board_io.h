// Board register access and command frames for every connection a board can have: processor port
// I/O (parallel ports, ISA, PCI without a driver), the PCI driver's controls, and the USB channel.
// A BoardIo holds the register addresses the probe found and the device's 1,024-byte frame buffer;
// the runtime keeps one per device object.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <string>

#include "transport/kernel_driver.h"
#include "transport/usb_channel.h"

namespace kv {

// Interface codes (offset 4 of the device slot record).
enum : int32_t {
    kIfPci = 1,
    kIfEpp19At378 = 2,
    kIfEpp19At278 = 3,
    kIfIsa268 = 4,
    kIfIsa26C = 5,
    kIfIsa368 = 6,
    kIfIsa36C = 7,
    kIfUsb2Epp = 8,
    kIfBidiAt378 = 9,
    kIfBidiAt278 = 10,
    kIfEpp17At378 = 11,
    kIfEpp17At278 = 12,
    kIfUsb20 = 16,
    kIfUsbPocket = 18,
};

enum class Link { None, Pci, Epp19, Isa, Usb, Bidi, Epp17 };
Link linkOf(int32_t interfaceCode);

// Symbolic register numbers of USB boards: the data port is the board's second control byte
// (USB register 0x85), the address port its control byte (USB register 0x83).
constexpr uint32_t kUsbDataPort = 0x85;
constexpr uint32_t kUsbAddressPort = 0x83;

// Family bytes of the byte frames.
enum : uint8_t {
    kFrameSync0 = 0x5A,
    kFrameSync1 = 0x0F,
    kFrameFamily1 = 0x22,
    kFramePocket = 0x66,  // families 2, 5, 6 and, as words, the Nanlyn board
    kFrameFamily3 = 0x77,
    kFrameAddress = 0x33, // address-register commands of families 1 and 3 and the pocket boards
};

constexpr size_t kFrameBufferSize = 1024;

// Where the board sits and how it is reached; filled by the probe.
struct BoardPorts {
    int32_t interfaceCode = 0;
    int32_t family = 0;
    uint32_t dataPort = 0;
    uint32_t addressPort = 0;
    uint32_t controlPort = 0;
    uint32_t isaCommandPort = 0;
    uint8_t parallelControl = 0;  // 4, 0x24 or 0x11
    uint8_t savedEcr = 0;         // the ECP extended control register found at probe time
    std::string driverName;       // PCI on NT-family systems: the driver's device; else empty
    UsbChannel* usb = nullptr;    // USB boards; not owned
};

// Port sets by connection.
BoardPorts parallelPorts(uint32_t base);       // data base+4, address base+3, control base+2
BoardPorts pciPorts(uint32_t base);            // control base, address base|0xC0, data base|0xC8
BoardPorts isaPorts(uint32_t commandPort);     // data = command port + 2
BoardPorts usbPorts(UsbChannel* channel);
constexpr uint32_t kEcrOffset = 0x402;         // ECP extended control register from the port base

// The process-wide lock of the transport: word frames and unframed USB block reads, so that a
// status poll from one thread cannot interleave with a read-back from another.
std::mutex& transportLock();

class BoardIo {
public:
    BoardPorts ports;
    bool sendAtOnce = true;      // always on in this system
    bool hasFrameBuffer = true;  // a device without one ignores frames

    // Register write and read. Port, ISA and parallel paths report success unconditionally; the
    // PCI driver and USB paths report the failure of the underlying call with 0.
    int writeRegister(uint32_t reg, uint32_t value);
    // ISA: 16-bit value; USB: status register, -1 on failure; PCI driver: 0xFFFF on failure.
    int readRegister();
    int writeAddress(uint8_t value) { return writeRegister(ports.addressPort, value); }
    int writeData(uint8_t value) { return writeRegister(ports.dataPort, value); }
    int writeIsaCommand(uint16_t word) { return writeRegister(ports.isaCommandPort, word); }

    // Block write to and read from the data port. A framed USB read answers a command frame
    // (bulk target 130, then the bridge's end-of-read set-up); an unframed one reads plain data
    // (target 0) under the transport lock.
    int writeBlock(const uint8_t* data, size_t n);
    int readBlock(uint8_t* out, size_t n, bool framed);

    // Byte frame: appended to the frame buffer and, with send-at-once, sent and emptied. A frame
    // that does not fit the buffer is refused with 0 and nothing is sent.
    int sendFrame(const uint8_t* bytes, size_t n);
    int sendFrame(std::initializer_list<uint8_t> bytes) { return sendFrame(bytes.begin(), bytes.size()); }
    // Sends what the frame buffer holds (1 when empty).
    int flushFrames();
    size_t frameFill() const { return frameFill_; }

    // Word frame (the Nanlyn board): each value as a 16-bit little-endian word, under the
    // transport lock, sent as a bulk write with target 130. Refused with 0 when it does not fit.
    int sendWordFrame(const uint16_t* words, size_t n);
    int sendWordFrame(std::initializer_list<uint16_t> words) { return sendWordFrame(words.begin(), words.size()); }

    // Identity read of the board's family: product code (raw, option bit included), and the two
    // further words (write address and status). 1 when every exchange succeeded.
    int readIdentity(uint32_t& code, uint32_t& second, uint32_t& third);
    // Nanlyn: word frame 5A 0F 66 <command>, then the one-word answer as a framed 2-byte read.
    int readNanlynWord(uint8_t command, uint16_t& out);

private:
    int sendBuffered();
    std::array<uint8_t, kFrameBufferSize> frame_{};
    size_t frameFill_ = 0;
};

}  // namespace kv
