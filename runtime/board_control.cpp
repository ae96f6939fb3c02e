// What the library does to a board outside a capture: capabilities at open, reset, rest, control
// register and capture-address writes, thresholds, and FPGA loading on the Nanlyn boards.
#include <cstring>

#include "runtime/device.h"
#include "runtime/fpga_image.h"

namespace kv {

namespace {

constexpr uint8_t kCommonReset[] = {0xA5, 0xF2, 0xF6, 0xF0, 0xA7, 0xAB};
constexpr uint8_t kRestBytes[] = {0xA5, 0xF2, 0xF6, 0x00};

// Control bytes of the Nanlyn board's bridge around configuration and command phases.
enum : uint8_t { kCtlIdle = 0, kCtlConfig = 98, kCtlCommand = 150, kCtlRun = 167, kCtlArm = 242 };

// Address registers of the address-register commands (family byte 0x33): the pocket boards keep the
// low and high halves of the capture address in registers 0 and 1.
enum : uint8_t { kAddrRegLow = 0, kAddrRegHigh = 1, kAddrRegTop = 2, kAddrRegMiddle = 4 };

int sendAll(BoardIo& io, const uint8_t* bytes, size_t n) {
    int ok = 1;
    for (size_t i = 0; i < n; ++i) ok &= io.writeAddress(bytes[i]) ? 1 : 0;
    return ok;
}

uint32_t ecrPort(const KvDevice& d) { return d.io.ports.controlPort - 2 + kEcrOffset; }

int restoreAddressRegister(KvDevice& d, uint8_t reg) { return writeAddressRegister(d, reg, d.addressShadow[reg & 7]); }

bool isPocketFamily(int family) {
    return family == kFamilyPocket || family == kFamilyPocketB || family == kFamilyPocketPlus;
}

}  // namespace

// The control register without touching its shadow (the pocket threshold selects its group this way).
int sendControlRegister(KvDevice& d, uint8_t v) {
    switch (d.slot.family) {
        case kFamilyIsa: return d.io.writeIsaCommand(static_cast<uint16_t>(0x9400 + v));
        case kFamily1: return d.io.sendFrame({kFrameSync0, kFrameSync1, kFrameFamily1, 0x40, v, 0x00});
        case kFamily3: return d.io.sendFrame({kFrameSync0, kFrameSync1, kFrameFamily3, 0x07, v});
        default:
            if (isPocketFamily(d.slot.family)) return d.io.sendFrame({kFrameSync0, kFrameSync1, kFramePocket, 0x07, v});
            return 0;
    }
}

int writeAddressRegister(KvDevice& d, uint8_t reg, uint16_t value) {
    d.addressShadow[reg & 7] = value;
    return d.io.sendFrame({kFrameSync0, kFrameSync1, kFrameAddress, reg, static_cast<uint8_t>(value & 0xFF),
                           static_cast<uint8_t>(value >> 8)}) ? 1 : 0;
}

KvDevice::KvDevice() : usb(std::make_unique<UsbChannel>()) {}

void applyCapabilities(KvDevice& d) {
    const BoardCaps c = boardCapabilities(d.slot.interfaceCode, d.slot.family, d.slot.productCode);
    d.slot.channels = c.channels;
    d.slot.depth = c.depth;
    d.slot.triggerDelay = c.triggerDelay;
    d.slot.wordsPerSample = c.wordsPerSample;
    d.slot.patternUnit = c.patternUnit;
    d.slot.bitsPerWord = c.bitsPerWord;
    d.slot.captureLength = c.captureLength;
    d.slot.transportOpen = d.usb->isOpen() ? 1 : 0;
    d.nanlynVariant = c.nanlynVariant;
    d.is4K = c.is4K;
    d.isPocket = c.isPocket;
    d.is512K = c.is512K;
    d.readyMask = c.readyMask;
    d.wrapBit = c.wrapBit;
    std::memcpy(d.margins, c.margins, sizeof d.margins);
    d.thresholdOffset = c.thresholdOffset;
}

int resetBoard(KvDevice& d) {
    BoardIo& io = d.io;
    const int ifc = io.ports.interfaceCode;
    if (ifc == kIfPci) {
        if (d.switches.pci) io.writeRegister(io.ports.controlPort, io.ports.parallelControl);
    } else if (isParallelInterface(ifc)) {
        if (d.switches.printer) {
            // The ECP extended control register selects the port mode: EPP (0x80) or byte mode (0x20).
            const uint8_t mode = isBidiInterface(ifc) ? 0x20 : 0x80;
            deviceIo().outByte(ecrPort(d), static_cast<uint8_t>((io.ports.savedEcr & 0x1F) | mode));
            io.writeRegister(io.ports.controlPort, io.ports.parallelControl);
        }
    } else if (isIsaInterface(ifc)) {
        if (d.switches.isa) {
            const int a = io.writeIsaCommand(0x3C00);
            const int b = io.writeIsaCommand(0xBC00);
            return a && b ? 1 : 0;
        }
    } else if (ifc == kIfUsbPocket) {
        if (d.switches.usb) {
            const int a = io.writeAddress(0xF2);
            const int b = io.writeAddress(0xA7);
            return a && b ? 1 : 0;
        }
    } else if (ifc != kIfUsb2Epp && ifc != kIfUsb20) {
        return 0;
    }
    return sendAll(io, kCommonReset, sizeof kCommonReset);
}

void restBoard(KvDevice& d) {
    BoardIo& io = d.io;
    const int ifc = d.slot.interfaceCode;
    if (isParallelInterface(ifc) && d.switches.printer) {
        deviceIo().outByte(ecrPort(d), io.ports.savedEcr);
    } else if (isIsaInterface(ifc) && d.switches.isa) {
        io.writeIsaCommand(0x941F);
        io.writeIsaCommand(0x3C00);
    } else {
        writeCaptureAddress(d, d.isPocket ? static_cast<uint32_t>(d.slot.depth - 1) : 0xFFFFu);
        sendAll(io, kRestBytes, sizeof kRestBytes);
        if (d.isNanlyn()) {
            io.writeAddress(kCtlRun);
            io.writeAddress(kCtlCommand);
            io.sendWordFrame({kFrameSync0, kFrameSync1, kFramePocket, 0x26, 0x00});
            io.writeAddress(kCtlIdle);
            io.writeAddress(kCtlArm);
        }
    }
    if (d.usb->isOpen()) d.usb->close();
    d.slot.transportOpen = 0;
}

int writeControlRegister(KvDevice& d, uint8_t value) {
    d.controlShadow = value;
    return sendControlRegister(d, value);
}

int writeCaptureAddress(KvDevice& d, uint32_t a) {
    BoardIo& io = d.io;
    switch (d.slot.family) {
        case kFamilyIsa: return io.writeIsaCommand(static_cast<uint16_t>(0xC000 + a));
        case kFamily1:
            return io.sendFrame({kFrameSync0, kFrameSync1, kFrameFamily1, 0x10, static_cast<uint8_t>(a / 256),
                                 static_cast<uint8_t>(a & 0xFF), 0x00});
        case kFamily3: {
            const uint16_t top = d.addressShadow[kAddrRegTop], middle = d.addressShadow[kAddrRegMiddle];
            int ok = writeAddressRegister(d, kAddrRegTop, static_cast<uint16_t>(a / 0x1000000));
            ok &= writeAddressRegister(d, kAddrRegMiddle, static_cast<uint16_t>((a / 256) & 0xFFFF));
            ok &= io.sendFrame({kFrameSync0, kFrameSync1, kFrameFamily3, 0x06, static_cast<uint8_t>(a & 0xFF)}) ? 1 : 0;
            d.addressShadow[kAddrRegTop] = top;
            d.addressShadow[kAddrRegMiddle] = middle;
            ok &= restoreAddressRegister(d, kAddrRegTop);
            ok &= restoreAddressRegister(d, kAddrRegMiddle);
            return ok;
        }
        default:
            if (isPocketFamily(d.slot.family)) {
                const uint16_t low = d.addressShadow[kAddrRegLow], high = d.addressShadow[kAddrRegHigh];
                int ok = writeAddressRegister(d, kAddrRegLow, static_cast<uint16_t>(a & 0xFFFF));
                ok &= writeAddressRegister(d, kAddrRegHigh, static_cast<uint16_t>(a >> 16));
                ok &= io.sendFrame({kFrameSync0, kFrameSync1, kFramePocket, 0x06}) ? 1 : 0;
                d.addressShadow[kAddrRegLow] = low;
                d.addressShadow[kAddrRegHigh] = high;
                ok &= restoreAddressRegister(d, kAddrRegLow);
                ok &= restoreAddressRegister(d, kAddrRegHigh);
                return ok;
            }
            return 0;  // the Nanlyn board takes its addresses inside its capture frames
    }
}

int sendThresholdData(KvDevice& d, int group, int a) {
    BoardIo& io = d.io;
    if (d.isNanlyn()) {
        if (group < -1 || group > 1) return 0;
        if (group >= 0) {
            if (a < 0 || a > 255) return 0;
            d.nanlynShadow[group] = static_cast<uint8_t>(255 - a);
        }
        const uint16_t w = static_cast<uint16_t>(d.nanlynShadow[1] * 256 + d.nanlynShadow[0]);
        uint16_t block[20] = {kFrameSync0, kFrameSync1, kFramePocket, 0x21, w, w};
        if (!io.writeAddress(kCtlCommand)) return 0;
        const int ok = io.sendWordFrame(block, 20);
        io.writeAddress(kCtlIdle);
        return ok ? 1 : 0;
    }
    // One byte carries the value and one the group: anything wider is refused, not truncated.
    if (a < 0 || a > 255 || group < 0 || group > 3) return 0;
    const uint8_t v = static_cast<uint8_t>(a);
    if (d.slot.family == kFamily3) return io.sendFrame({kFrameSync0, kFrameSync1, kFrameFamily3, 0x08, static_cast<uint8_t>(group), v}) ? 1 : 0;
    static const uint16_t kIsaWords[4] = {0xA200, 0xA600, 0xA100, 0xA500};
    static const uint8_t kFrameCommands[4] = {0x82, 0x86, 0x81, 0x85};
    if (isIsaInterface(d.slot.interfaceCode)) return io.writeIsaCommand(static_cast<uint16_t>(kIsaWords[group] + v)) ? 1 : 0;
    if (d.isPocket) {
        if (group > 1) return 0;
        const bool synth = isSynthPocketCode(d.slot.productCode);
        const uint8_t groupBit = synth ? 0x04 : 0x10;
        const uint8_t select = group == 0 ? static_cast<uint8_t>(d.controlShadow & ~groupBit)
                                          : static_cast<uint8_t>(d.controlShadow | groupBit);
        int ok = sendControlRegister(d, select) ? 1 : 0;
        if (synth) {
            const uint8_t bytes[6] = {kFrameSync0, kFrameSync1, kFramePocket, 0x08, v, 0x00};
            for (uint8_t b : bytes) ok &= io.writeData(b) ? 1 : 0;
        } else {
            ok &= io.sendFrame({kFrameSync0, kFrameSync1, kFramePocket, 0x08, v}) ? 1 : 0;
        }
        ok &= sendControlRegister(d, d.controlShadow) ? 1 : 0;
        return ok;
    }
    return io.sendFrame({kFrameSync0, kFrameSync1, kFrameFamily1, kFrameCommands[group], v, 0x00}) ? 1 : 0;
}

int setThresholdVolt(KvDevice& d, int group, int millivolts) {
    const int dac = thresholdDac(d.isNanlyn(), group, millivolts, d.thresholdOffset);
    if (dac < 0) return 0;
    return sendThresholdData(d, group, dac);
}

int sendFpgaConfiguration(KvDevice& d, const std::vector<uint8_t>& image, uint16_t loadFlag) {
    FpgaImageHeader header;
    if (!d.usb->isOpen() || !readFpgaHeader(image, header)) return 0;
    const std::vector<uint8_t> stream = expandFpgaStream(image);
    BoardIo& io = d.io;
    // From here the board's configuration is being replaced: until the load completes nothing is
    // known to be loaded.
    d.loadedImage = -1;
    int ok = io.writeAddress(kCtlCommand) ? 1 : 0;
    ok &= io.sendWordFrame({kFrameSync0, kFrameSync1, kFramePocket, 0x35, header.word0, header.word1}) ? 1 : 0;
    ok &= io.writeAddress(kCtlIdle) ? 1 : 0;
    ok &= io.writeAddress(kCtlConfig) ? 1 : 0;
    ok &= io.writeAddress(kCtlIdle) ? 1 : 0;
    ok &= d.usb->bulkWrite(stream.data(), static_cast<uint32_t>(stream.size()), kBulkTargetCommand) ? 1 : 0;
    for (uint8_t c : {kCtlIdle, kCtlArm, kCtlRun, kCtlCommand}) ok &= io.writeAddress(c) ? 1 : 0;
    ok &= io.sendWordFrame({kFrameSync0, kFrameSync1, kFramePocket, 0x26, loadFlag}) ? 1 : 0;
    if (ok) d.nanlynReference = 0;  // a new image leaves the clock chip to be set again
    return ok;
}

int loadFpgaImage(KvDevice& d, const RuntimeEnv& env, int modeId) {
    if (!d.usb->isOpen()) return 0;
    if (modeId == d.loadedImage) return 1;
    const int pos = modePosition(modeId);
    if (pos < 0) return 0;
    d.mode = kModeTable[pos];
    d.modeSelected = true;
    std::vector<uint8_t> image;
    if (!env.fpgaImage || !env.fpgaImage(modeId, image)) return 0;
    if (!sendFpgaConfiguration(d, image, static_cast<uint16_t>(d.mode.features & kModeFeatureLoadFlag))) return 0;
    d.loadedImage = modeId;
    BoardIo& io = d.io;
    sendThresholdData(d, -1, 0);
    if (env.sleepMs) env.sleepMs(10);
    io.sendWordFrame({kFrameSync0, kFrameSync1, kFramePocket, 0x23, 0x00});
    if (env.sleepMs) env.sleepMs(10);
    return 1;
}

}  // namespace kv
