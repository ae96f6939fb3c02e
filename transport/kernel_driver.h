// The kernel drivers the runtime reaches by device name, other than the USB drivers of
// usb_channel.h: the port driver (whose presence grants processor port access) and the PCI card
// driver with its four register controls. Every call goes through the device seam.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/device_io.h"

namespace kv {

constexpr const char* kPortDriverDevice = "\\\\.\\OmbixLPT";
constexpr const char* kPciDriverDevice = "\\\\.\\OmbixPCI";
constexpr const char* kOldPciDriverDevice = "\\\\.\\KV1000";
constexpr int kMaxPciCards = 6;

// PCI card driver controls; every one is addressed by a 32-bit register number.
enum : uint32_t {
    kIoctlPciWriteByte = 0x9C40A440,
    kIoctlPciWriteBlock = 0x9C40A444,
    kIoctlPciReadByte = 0x9C406400,
    kIoctlPciReadBlock = 0x9C406404,
};

// Device name of PCI card 0-5 on this system; empty when the card number has no driver name
// there (cards 1-5 exist only from major version 5 on).
std::string pciDriverDeviceName(int card, const OsVersion& os);

// True when the device opens for reading and writing (it is closed again at once).
bool deviceOpens(const std::string& name);
// The port driver runs: on NT-family systems processor port access is then granted.
bool portDriverPresent();

// One driver call each; the device file is opened for the call and closed after it.
bool pciWriteByte(const std::string& device, uint32_t reg, uint8_t value);
bool pciWriteBlock(const std::string& device, uint32_t reg, const uint8_t* data, size_t n);
// 0xFFFF when the call fails or does not return exactly one byte.
uint32_t pciReadByte(const std::string& device, uint32_t reg);
bool pciReadBlock(const std::string& device, uint32_t reg, uint8_t* out, size_t n);

}  // namespace kv
