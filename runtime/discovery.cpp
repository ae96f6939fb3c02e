// Finding boards: the probe that fills the shared device table when the library is loaded, and the
// re-check when a program opens a device.
#include <cstring>

#include "platform/device_io.h"
#include "runtime/board_names.h"
#include "runtime/device.h"
#include "transport/kernel_driver.h"

namespace kv {

const char* const kInterfaceSwitchKey = "Software\\Ombix\\KV";
const char* const kPrinterSwitchValue = "Printer Interface";
const char* const kPciSwitchValue = "PCI Interface";
const char* const kUsbSwitchValue = "USB Interface";
const char* const kIsaSwitchValue = "ISA Interface";

namespace {

// All USB boards answer with this vendor id; the product id tells the bridge.
constexpr uint16_t kUsbVendor = 0x05E3;
constexpr uint16_t kPidPocket = 0x0136;
constexpr uint16_t kPidUsb2Epp = 0x0138;
constexpr uint16_t kPidUsb20 = 0x0139;
constexpr uint16_t kPidNanlyn = 0x013B;

constexpr uint32_t kParallelBases[2] = {0x378, 0x278};
constexpr uint32_t kIsaCommandPorts[4] = {0x268, 0x26C, 0x368, 0x36C};

// Serial EEPROM: the plus revision's name block starts at word 32 and is read as 16 words.
constexpr int kEepromNameWord = 32;
constexpr int kEepromNameWords = 16;
constexpr size_t kEepromReadBuffer = 128;

bool switchOn(Registry* reg, const char* name) {
    if (!reg) return true;
    uint32_t v = 1;
    if (!regReadDword(*reg, RegRoot::LocalMachine, kInterfaceSwitchKey, name, v)) return true;
    return v != 0;
}

// Identity read and acceptance on the interface the ports describe. Fills code and option flag.
bool identify(KvDevice& d, int interfaceCode, int& code, bool& option) {
    uint32_t raw = 0, second = 0, third = 0;
    if (!d.io.readIdentity(raw, second, third)) return false;
    if (isIsaInterface(interfaceCode)) {
        // ISA boards report a 14-bit code that is used as read.
        code = static_cast<int>(raw & 0x3FFF);
        option = false;
    } else {
        code = static_cast<int>(raw & 0xFFFF & ~kOptionFlagBit);
        option = (raw & kOptionFlagBit) != 0;
    }
    return productCodeAccepted(interfaceCode, code);
}

// One try of a family on an interface: reset, identity, acceptance.
bool tryFamily(KvDevice& d, int interfaceCode, int family, int& code, bool& option) {
    d.io.ports.interfaceCode = interfaceCode;
    d.io.ports.family = family;
    resetBoard(d);
    return identify(d, interfaceCode, code, option);
}

bool tryFamilies(KvDevice& d, int interfaceCode, const int (&families)[2], int& family, int& code, bool& option) {
    for (int f : families) {
        if (tryFamily(d, interfaceCode, f, code, option)) {
            family = f;
            return true;
        }
    }
    return false;
}

// The Nanlyn board answers its code to a word-frame request between control bytes 167/150 and 0.
bool identifyNanlyn(KvDevice& d, int& code) {
    d.io.ports.interfaceCode = kIfUsb20;
    d.io.ports.family = kFamilyNanlyn;
    uint16_t first = 0, second = 0;
    d.io.writeAddress(167);
    d.io.writeAddress(150);
    const bool ok = d.io.readNanlynWord(0x27, first) && d.io.readNanlynWord(0x36, second);
    d.io.writeAddress(0);
    if (!ok) return false;
    code = first & 0xFFFF & ~kOptionFlagBit;
    return isNanlynCode(code);
}

// Pocket boards of the 0x2xxx generation: revision B or plus, told apart by the EEPROM name.
int pocketFamily(KvDevice& d, int code, bool option) {
    if ((code >> 12) == 1) return kFamilyPocket;
    uint8_t block[kEepromReadBuffer];
    std::memset(block, 0, sizeof block);
    if (d.usb->readEeprom(kEepromNameWord, kEepromNameWords, block, sizeof block) &&
        eepromNamesPlusRevision(block, kEepromNameWords * 2))
        return kFamilyPocketPlus;
    return option ? kFamilyPocket : kFamilyPocketB;
}

struct Found {
    int interfaceCode = 0;
    int family = 0;
    int code = 0;
    bool option = false;
};

bool probeUsb(KvDevice& d, int n, Found& f) {
    UsbChannel& usb = *d.usb;
    d.io.ports = usbPorts(&usb);
    bool found = false;
    if (usb.open(n, kUsbVendor, kPidPocket, 0)) {
        f.interfaceCode = kIfUsbPocket;
        if (tryFamily(d, kIfUsbPocket, kFamilyPocket, f.code, f.option)) {
            f.family = pocketFamily(d, f.code, f.option);
            found = true;
        }
    } else if (usb.open(n, kUsbVendor, kPidUsb2Epp, 0)) {
        f.interfaceCode = kIfUsb2Epp;
        found = tryFamilies(d, kIfUsb2Epp, {kFamily1, kFamily3}, f.family, f.code, f.option);
    } else if (usb.open(n, kUsbVendor, kPidUsb20, 0)) {
        f.interfaceCode = kIfUsb20;
        found = tryFamilies(d, kIfUsb20, {kFamily1, kFamily3}, f.family, f.code, f.option);
    } else if (usb.open(n, kUsbVendor, kPidNanlyn, 0)) {
        f.interfaceCode = kIfUsb20;
        f.family = kFamilyNanlyn;
        found = identifyNanlyn(d, f.code);
    }
    usb.close();
    return found;
}

bool setUpPci(KvDevice& d, int card) {
    // Without a driver the PCI BIOS would have to be asked through a software interrupt, which a
    // protected-mode program cannot do here: the card is reached through its driver alone.
    if (!d.os.ntFamily) return false;
    const std::string name = pciDriverDeviceName(card, d.os);
    if (name.empty() || !deviceOpens(name)) return false;
    d.io.ports = pciPorts(0);
    d.io.ports.driverName = name;
    d.io.ports.parallelControl = 0x11;
    return true;
}

bool probePci(KvDevice& d, int card, Found& f) {
    if (!setUpPci(d, card)) return false;
    f.interfaceCode = kIfPci;
    return tryFamilies(d, kIfPci, {kFamily3, kFamily1}, f.family, f.code, f.option);
}

bool portAccess(const KvDevice& d) { return !d.os.ntFamily || portDriverPresent(); }

void setUpParallel(KvDevice& d, int port, uint8_t control) {
    const uint32_t base = kParallelBases[port & 1];
    d.io.ports = parallelPorts(base);
    d.io.ports.parallelControl = control;
}

bool probeParallel(KvDevice& d, int port, Found& f) {
    if (!portAccess(d)) return false;
    const uint32_t base = kParallelBases[port & 1];
    setUpParallel(d, port, 4);
    const uint8_t savedEcr = deviceIo().inByte(base + kEcrOffset);
    d.io.ports.savedEcr = savedEcr;
    struct Mode {
        int interfaceCode;
        uint8_t control;
    };
    const Mode modes[3] = {{kIfEpp19At378 + port, 4}, {kIfEpp17At378 + port, 0x24}, {kIfBidiAt378 + port, 4}};
    bool found = false;
    for (const Mode& m : modes) {
        d.io.ports.parallelControl = m.control;
        if (tryFamilies(d, m.interfaceCode, {kFamily3, kFamily1}, f.family, f.code, f.option)) {
            f.interfaceCode = m.interfaceCode;
            found = true;
            break;
        }
    }
    deviceIo().outByte(base + kEcrOffset, savedEcr);
    return found;
}

bool probeIsa(KvDevice& d, int port, Found& f) {
    if (!portAccess(d)) return false;
    d.io.ports = isaPorts(kIsaCommandPorts[port & 3]);
    f.interfaceCode = kIfIsa268 + port;
    f.family = kFamilyIsa;
    return tryFamily(d, f.interfaceCode, kFamilyIsa, f.code, f.option);
}

// Control byte of each parallel port mode: EPP 1.7 takes 0x24, EPP 1.9 and bi-directional 4.
uint8_t parallelControlFor(int interfaceCode) {
    return interfaceCode == kIfEpp17At378 || interfaceCode == kIfEpp17At278 ? 0x24 : 4;
}

}  // namespace

InterfaceSwitches readInterfaceSwitches(Registry* registry, const OsVersion& os) {
    InterfaceSwitches s;
    s.printer = switchOn(registry, kPrinterSwitchValue);
    s.pci = switchOn(registry, kPciSwitchValue);
    s.usb = switchOn(registry, kUsbSwitchValue);
    s.isa = switchOn(registry, kIsaSwitchValue);
    // Parallel ports can be driven on NT-family systems only while the port driver runs.
    if (os.ntFamily && s.printer && !portDriverPresent()) s.printer = false;
    return s;
}

std::unique_ptr<KvDevice> createDevice(const RuntimeEnv& env) {
    auto d = std::make_unique<KvDevice>();
    d->os = deviceIo().osVersion();
    d->switches = readInterfaceSwitches(env.registry, d->os);
    return d;
}

bool probeSlot(KvDevice& d, int kind, int subIndex, KvDeviceSlot& out) {
    Found f;
    bool found = false;
    switch (kind) {
        case kProbeUsb: found = d.switches.usb && probeUsb(d, subIndex, f); break;
        case kProbePci: found = d.switches.pci && probePci(d, subIndex, f); break;
        case kProbeParallel: found = d.switches.printer && probeParallel(d, subIndex, f); break;
        case kProbeIsa: found = d.switches.isa && probeIsa(d, subIndex, f); break;
        default: break;
    }
    if (!found) return false;
    out = KvDeviceSlot();
    out.kind = kKindBase + static_cast<uint32_t>(kind);
    out.interfaceCode = f.interfaceCode;
    out.family = f.family;
    out.subIndex = subIndex;
    out.productCode = f.code;
    return true;
}

bool recheckDevice(KvDevice& d) {
    const int ifc = d.slot.interfaceCode;
    const int family = d.slot.family;
    const int sub = d.slot.subIndex;
    const int kind = probeKindOf(ifc);
    int code = 0;
    bool option = false;
    bool ok = false;
    if (kind == kProbeUsb && d.switches.usb) {
        const uint16_t pid = ifc == kIfUsbPocket ? kPidPocket
                             : ifc == kIfUsb2Epp ? kPidUsb2Epp
                             : family == kFamilyNanlyn ? kPidNanlyn : kPidUsb20;
        d.io.ports = usbPorts(d.usb.get());
        if (d.usb->open(sub, kUsbVendor, pid, 0)) {
            if (family == kFamilyNanlyn) ok = identifyNanlyn(d, code) && code == d.slot.productCode;
            else ok = tryFamily(d, ifc, family, code, option);
        }
    } else if (kind == kProbePci && d.switches.pci) {
        ok = setUpPci(d, sub) && tryFamily(d, ifc, family, code, option);
    } else if (kind == kProbeParallel && d.switches.printer && portAccess(d)) {
        const int port = sub & 1;  // 0 = 378h, 1 = 278h
        setUpParallel(d, port, parallelControlFor(ifc));
        d.io.ports.savedEcr = deviceIo().inByte(kParallelBases[port] + kEcrOffset);
        ok = tryFamily(d, ifc, family, code, option);
    } else if (kind == kProbeIsa && d.switches.isa && portAccess(d)) {
        d.io.ports = isaPorts(kIsaCommandPorts[sub & 3]);
        ok = tryFamily(d, ifc, family, code, option);
    }
    if (!ok) {
        d.slot = KvDeviceSlot();
        return false;
    }
    d.optionFlag = option;
    d.slot.transportOpen = d.usb->isOpen() ? 1 : 0;
    return true;
}

}  // namespace kv
