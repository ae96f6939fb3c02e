#include "transport/board_io.h"

#include <vector>

namespace kv {

Link linkOf(int32_t interfaceCode) {
    switch (interfaceCode) {
        case kIfPci: return Link::Pci;
        case kIfEpp19At378:
        case kIfEpp19At278: return Link::Epp19;
        case kIfIsa268:
        case kIfIsa26C:
        case kIfIsa368:
        case kIfIsa36C: return Link::Isa;
        case kIfUsb2Epp:
        case kIfUsb20:
        case kIfUsbPocket: return Link::Usb;
        case kIfBidiAt378:
        case kIfBidiAt278: return Link::Bidi;
        case kIfEpp17At378:
        case kIfEpp17At278: return Link::Epp17;
        default: return Link::None;
    }
}

BoardPorts parallelPorts(uint32_t base) {
    BoardPorts p;
    p.dataPort = base + 4;
    p.addressPort = base + 3;
    p.controlPort = base + 2;
    return p;
}

BoardPorts pciPorts(uint32_t base) {
    BoardPorts p;
    p.controlPort = base;
    p.addressPort = base | 0xC0;
    p.dataPort = base | 0xC8;
    p.parallelControl = 0x11;
    return p;
}

BoardPorts isaPorts(uint32_t commandPort) {
    BoardPorts p;
    p.isaCommandPort = commandPort;
    p.dataPort = commandPort + 2;
    return p;
}

BoardPorts usbPorts(UsbChannel* channel) {
    BoardPorts p;
    p.dataPort = kUsbDataPort;
    p.addressPort = kUsbAddressPort;
    p.usb = channel;
    return p;
}

std::mutex& transportLock() {
    static std::mutex lock;
    return lock;
}

namespace {

// Control-port values of the parallel handshakes.
enum : uint8_t {
    kCtlIdle = 0x04,        // outputs enabled, strobes released
    kCtlInput = 0x24,       // data lines turned to input
    kCtlBidiRead = 0x26,    // input, with the read strobe
    kCtlBidiData = 0x07,    // data strobe
    kCtlBidiAddress = 0x0D, // address strobe
    kCtlBidiRelease = 0x05,
};

}  // namespace

int BoardIo::writeRegister(uint32_t reg, uint32_t value) {
    DeviceIo& io = deviceIo();
    uint8_t b = static_cast<uint8_t>(value);
    switch (linkOf(ports.interfaceCode)) {
        case Link::Pci:
            if (!ports.driverName.empty()) return pciWriteByte(ports.driverName, reg, b) ? 1 : 0;
            io.outByte(reg, b);
            return 1;
        case Link::Epp19:
            io.outByte(reg, b);
            return 1;
        case Link::Isa:
            io.outWord(reg, static_cast<uint16_t>(value));
            return 1;
        case Link::Usb:
            if (!ports.usb) return 0;
            if (reg == ports.dataPort) return ports.usb->writeControl2(b);
            if (reg == ports.addressPort) return ports.usb->writeControl(b);
            return 1;
        case Link::Bidi:
            if (reg != ports.dataPort && reg != ports.addressPort) {
                io.outByte(reg, b);
                return 1;
            }
            io.outByte(ports.dataPort, b);
            io.outByte(ports.controlPort, reg == ports.dataPort ? kCtlBidiData : kCtlBidiAddress);
            io.outByte(ports.controlPort, kCtlBidiRelease);
            io.outByte(ports.controlPort, kCtlIdle);
            return 1;
        case Link::Epp17:
            if (reg == ports.dataPort || reg == ports.addressPort) io.outByte(ports.controlPort, kCtlIdle);
            io.outByte(reg, b);
            return 1;
        case Link::None: break;
    }
    return 0;
}

int BoardIo::readRegister() {
    DeviceIo& io = deviceIo();
    switch (linkOf(ports.interfaceCode)) {
        case Link::Pci:
            if (!ports.driverName.empty()) return static_cast<int>(pciReadByte(ports.driverName, ports.dataPort));
            return io.inByte(ports.dataPort);
        case Link::Epp19: return io.inByte(ports.dataPort);
        case Link::Isa: return io.inWord(ports.dataPort);
        case Link::Usb: return ports.usb ? ports.usb->readStatus() : -1;
        case Link::Bidi: {
            io.outByte(ports.controlPort, kCtlBidiRead);
            int v = io.inByte(ports.dataPort);
            io.outByte(ports.controlPort, kCtlInput);
            io.outByte(ports.controlPort, kCtlIdle);
            return v;
        }
        case Link::Epp17:
            io.outByte(ports.controlPort, kCtlInput);
            return io.inByte(ports.dataPort);
        case Link::None: break;
    }
    return -1;
}

int BoardIo::writeBlock(const uint8_t* data, size_t n) {
    DeviceIo& io = deviceIo();
    switch (linkOf(ports.interfaceCode)) {
        case Link::Pci:
            if (!ports.driverName.empty()) return pciWriteBlock(ports.driverName, ports.dataPort, data, n) ? 1 : 0;
            for (size_t i = 0; i < n; ++i) io.outByte(ports.dataPort, data[i]);
            return 1;
        case Link::Epp19:
            for (size_t i = 0; i < n; ++i) io.outByte(ports.dataPort, data[i]);
            return 1;
        case Link::Usb:
            if (!ports.usb || n > 0xFFFFFFFFu) return 0;
            return ports.usb->bulkWrite(data, static_cast<uint32_t>(n), kBulkTargetData);
        case Link::Bidi:
            for (size_t i = 0; i < n; ++i) {
                io.outByte(ports.dataPort, data[i]);
                io.outByte(ports.controlPort, kCtlBidiData);
                io.outByte(ports.controlPort, kCtlBidiRelease);
                io.outByte(ports.controlPort, kCtlIdle);
            }
            return 1;
        case Link::Epp17:
            for (size_t i = 0; i < n; ++i) {
                io.outByte(ports.controlPort, kCtlIdle);
                io.outByte(ports.dataPort, data[i]);
            }
            return 1;
        case Link::Isa: return 1;  // ISA cards take command words only
        case Link::None: break;
    }
    return 0;
}

int BoardIo::readBlock(uint8_t* out, size_t n, bool framed) {
    DeviceIo& io = deviceIo();
    switch (linkOf(ports.interfaceCode)) {
        case Link::Pci:
            if (!ports.driverName.empty()) return pciReadBlock(ports.driverName, ports.dataPort, out, n) ? 1 : 0;
            for (size_t i = 0; i < n; ++i) out[i] = io.inByte(ports.dataPort);
            return 1;
        case Link::Epp19:
            for (size_t i = 0; i < n; ++i) out[i] = io.inByte(ports.dataPort);
            return 1;
        case Link::Usb: {
            if (!ports.usb || n > 0xFFFFFFFFu) return 0;
            uint32_t len = static_cast<uint32_t>(n);
            if (framed) {
                // The answer to a command frame comes from the command target; the bridge is then
                // told that the read is over.
                int ok = ports.usb->bulkRead(out, len, kBulkTargetCommand);
                uint8_t end = 120;
                int ended = ports.usb->registerWrite(kUsbRegBridgeSetup, 18, 1, &end);
                return ok && ended ? 1 : 0;
            }
            std::lock_guard<std::mutex> lock(transportLock());
            return ports.usb->bulkRead(out, len, kBulkTargetData);
        }
        case Link::Bidi:
            for (size_t i = 0; i < n; ++i) {
                io.outByte(ports.controlPort, kCtlBidiRead);
                out[i] = io.inByte(ports.dataPort);
                io.outByte(ports.controlPort, kCtlInput);
                io.outByte(ports.controlPort, kCtlIdle);
            }
            return 1;
        case Link::Epp17:
            for (size_t i = 0; i < n; ++i) {
                io.outByte(ports.controlPort, kCtlInput);
                out[i] = io.inByte(ports.dataPort);
            }
            return 1;
        case Link::Isa: return 1;
        case Link::None: break;
    }
    return 0;
}

int BoardIo::sendBuffered() {
    if (frameFill_ == 0) return 1;
    int ok;
    if (linkOf(ports.interfaceCode) == Link::Usb && ports.interfaceCode == kIfUsbPocket && ports.usb &&
        !ports.usb->isUsb20()) {
        // Pocket boards on a USB 1.1 link take their command batches as a raw byte stream.
        ok = ports.usb->rawWrite(frame_.data(), static_cast<uint32_t>(frameFill_));
    } else {
        ok = writeBlock(frame_.data(), frameFill_);
    }
    frameFill_ = 0;
    return ok;
}

int BoardIo::sendFrame(const uint8_t* bytes, size_t n) {
    if (!hasFrameBuffer) return 1;
    if (n > kFrameBufferSize - frameFill_) return 0;
    for (size_t i = 0; i < n; ++i) frame_[frameFill_++] = bytes[i];
    return sendAtOnce ? sendBuffered() : 1;
}

int BoardIo::flushFrames() { return sendBuffered(); }

int BoardIo::sendWordFrame(const uint16_t* words, size_t n) {
    if (n > kFrameBufferSize / 2) return 0;
    std::lock_guard<std::mutex> lock(transportLock());
    uint8_t buffer[kFrameBufferSize];
    for (size_t i = 0; i < n; ++i) {
        buffer[2 * i] = static_cast<uint8_t>(words[i]);
        buffer[2 * i + 1] = static_cast<uint8_t>(words[i] >> 8);
    }
    if (!ports.usb) return 0;
    return ports.usb->bulkWrite(buffer, static_cast<uint32_t>(2 * n), kBulkTargetCommand);
}

int BoardIo::readNanlynWord(uint8_t command, uint16_t& out) {
    out = 0;
    if (!sendWordFrame({kFrameSync0, kFrameSync1, kFramePocket, command})) return 0;
    uint8_t b[2] = {};
    if (!readBlock(b, 2, true)) return 0;
    out = static_cast<uint16_t>(b[0] | b[1] << 8);
    return 1;
}

int BoardIo::readIdentity(uint32_t& code, uint32_t& second, uint32_t& third) {
    code = second = third = 0;
    Link link = linkOf(ports.interfaceCode);
    if (link == Link::Isa) {
        if (!writeIsaCommand(0x8400)) return 0;
        int v = readRegister();
        code = static_cast<uint32_t>(v) & 0x3FFF;
        return 1;
    }
    if (ports.family == 7) {
        uint16_t w1 = 0, w2 = 0;
        int ok = readNanlynWord(0x27, w1) && readNanlynWord(0x36, w2);
        code = w1;
        second = w2;
        return ok;
    }
    bool ok = true;
    auto readBytes = [&](uint32_t* b, int n) {
        for (int i = 0; i < n; ++i) {
            int v = readRegister();
            if (v < 0) ok = false;
            b[i] = static_cast<uint32_t>(v) & 0xFF;
        }
    };
    if (link == Link::Usb && ports.interfaceCode == kIfUsbPocket) {
        ok = sendFrame({kFrameSync0, kFrameSync1, kFramePocket, 0x04}) != 0;
        uint32_t b[8];
        readBytes(b, 8);
        code = b[0] << 8 | b[1];
        second = b[2] << 16 | b[3] << 8 | b[4];
        third = b[5] << 16 | b[6] << 8 | b[7];
        return ok ? 1 : 0;
    }
    if (ports.family == 3) {
        ok = sendFrame({kFrameSync0, kFrameSync1, kFrameFamily3, 0x04}) != 0;
        uint8_t r[9] = {};
        ok = readBlock(r, sizeof r, true) && ok;
        code = static_cast<uint32_t>(r[0]) << 8 | r[1];
        second = static_cast<uint32_t>(r[2]) << 16 | static_cast<uint32_t>(r[3]) << 8 | r[4];
        third = static_cast<uint32_t>(r[5]) << 24 | static_cast<uint32_t>(r[6]) << 16 |
                static_cast<uint32_t>(r[7]) << 8 | r[8];
        return ok ? 1 : 0;
    }
    ok = sendFrame({kFrameSync0, kFrameSync1, kFrameFamily1, 0x08}) != 0;
    uint32_t b[6];
    readBytes(b, 6);
    code = b[0] << 8 | b[1];
    second = b[2] << 8 | b[3];
    third = b[4] << 8 | b[5];
    return ok ? 1 : 0;
}

}  // namespace kv
