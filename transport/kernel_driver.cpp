#include "transport/kernel_driver.h"

#include <vector>

namespace kv {
namespace {

void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

std::string pciDriverDeviceName(int card, const OsVersion& os) {
    if (!os.ntFamily || card < 0 || card >= kMaxPciCards) return std::string();
    if (card == 0) return os.major < 5 ? kOldPciDriverDevice : kPciDriverDevice;
    if (os.major < 5) return std::string();
    // Card 1 opens the name ending in the digit 2, and so on up to 6.
    return std::string(kPciDriverDevice) + static_cast<char>('1' + card);
}

bool deviceOpens(const std::string& name) { return deviceIo().open(name, 0) != nullptr; }

bool portDriverPresent() { return deviceOpens(kPortDriverDevice); }

bool pciWriteByte(const std::string& device, uint32_t reg, uint8_t value) {
    auto file = deviceIo().open(device, 0);
    if (!file) return false;
    uint8_t in[8];
    put32(in, reg);
    put32(in + 4, value);
    uint32_t n = 0;
    return file->ioControl(kIoctlPciWriteByte, in, sizeof in, nullptr, 0, n);
}

bool pciWriteBlock(const std::string& device, uint32_t reg, const uint8_t* data, size_t n) {
    if (n > 0xFFFFFFFFu - 4) return false;
    auto file = deviceIo().open(device, 0);
    if (!file) return false;
    std::vector<uint8_t> in(4 + n);
    put32(in.data(), reg);
    for (size_t i = 0; i < n; ++i) in[4 + i] = data[i];
    uint32_t got = 0;
    return file->ioControl(kIoctlPciWriteBlock, in.data(), static_cast<uint32_t>(in.size()), nullptr, 0, got);
}

uint32_t pciReadByte(const std::string& device, uint32_t reg) {
    auto file = deviceIo().open(device, 0);
    if (!file) return 0xFFFF;
    uint8_t in[4];
    put32(in, reg);
    uint8_t b = 0;
    uint32_t n = 0;
    if (!file->ioControl(kIoctlPciReadByte, in, sizeof in, &b, 1, n) || n != 1) return 0xFFFF;
    return b;
}

bool pciReadBlock(const std::string& device, uint32_t reg, uint8_t* out, size_t n) {
    if (n > 0xFFFFFFFFu) return false;
    auto file = deviceIo().open(device, 0);
    if (!file) return false;
    uint8_t in[4];
    put32(in, reg);
    uint32_t got = 0;
    return file->ioControl(kIoctlPciReadBlock, in, sizeof in, out, static_cast<uint32_t>(n), got) && got == n;
}

}  // namespace kv
