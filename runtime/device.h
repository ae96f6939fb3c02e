// The device object: everything the library holds for one opened board, and the environment the
// library runs in (registry, FPGA images, waits), so the same code runs inside Halvex.dll and in
// native tests against virtual boards.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/device_io.h"
#include "platform/registry.h"
#include "runtime/board_caps.h"
#include "runtime/mode_table.h"
#include "runtime/slot_record.h"
#include "transport/board_io.h"
#include "transport/usb_channel.h"

namespace kv {

// Registry key of the interface switches (local machine) and its four values.
extern const char* const kInterfaceSwitchKey;  // "Software\\Ombix\\KV"
extern const char* const kPrinterSwitchValue;  // "Printer Interface"
extern const char* const kPciSwitchValue;      // "PCI Interface"
extern const char* const kUsbSwitchValue;      // "USB Interface"
extern const char* const kIsaSwitchValue;      // "ISA Interface"

struct InterfaceSwitches {
    bool printer = true;
    bool pci = true;
    bool usb = true;
    bool isa = true;
};

// What the library needs from the program around it.
struct RuntimeEnv {
    Registry* registry = nullptr;  // interface switches; null reads as "all enabled"
    // The FPGA image of a mode id (the resource "FPGA"/id); false when there is none.
    std::function<bool(int modeId, std::vector<uint8_t>& out)> fpgaImage;
    std::function<void(uint32_t ms)> sleepMs;
    // True when the caller's buffer may be written for that many bytes.
    std::function<bool(void* p, size_t bytes)> writable;
    // True when the caller's buffer may be read for that many bytes; null: any non-null buffer.
    std::function<bool(const void* p, size_t bytes)> readable;
    // A message box with an OK button (text, title); null shows nothing.
    std::function<void(const char* text, const char* title)> messageBox;
    // Milliseconds of a monotonic clock (the logger's timed run); null counts 10 ms per call.
    std::function<uint64_t()> nowMs;
};

enum : uint8_t { kNanlynShadowStart = 175 };

// The device's copy of the programmed trigger: the record's parameters and, expanded per slot, the
// patterns (filled with 8 first) and one count per slot.
struct TriggerCopy {
    bool valid = false;
    uint32_t flags = 0;
    int patternSize = 0;
    int levels = 0;
    int slotsPerLevel = 0;
    int slotCount = 0;
    int delay = 0;
    int width = 0;
    int passCount = 0;
    uint64_t rate = 0;
    int kind = 0;
    uint32_t clockSource = 0;
    int position = 0;
    std::vector<uint8_t> patterns;  // slot i at i x pattern size (Nanlyn boards: the 1,024-byte block)
    std::vector<uint32_t> counts;   // one per slot
};
enum : int { kMarginCount = 6, kAlignResults = 5 };

struct KvDevice {
    std::unique_ptr<UsbChannel> usb;  // the USB transport, created and destroyed with the device
    KvDeviceSlot slot;                // this process's copy of the slot record
    BoardIo io;                       // register addresses and the command frame buffer
    InterfaceSwitches switches;
    OsVersion os;

    // Threshold calibration.
    int thresholdOffset = 0;
    uint8_t nanlynShadow[2] = {kNanlynShadowStart, kNanlynShadowStart};  // 255 - DAC of groups 0, 1

    // Board kind flags that select paths.
    int nanlynVariant = 0;
    bool is4K = false;
    bool isPocket = false;
    bool is512K = false;
    bool optionFlag = false;  // bit 11 of the code the board reported
    uint32_t readyMask = 0;
    uint32_t wrapBit = 0;
    int margins[kMarginCount] = {};

    // Selected mode (Nanlyn boards).
    int loadedImage = -1;     // id of the FPGA image now loaded, -1 = none
    bool modeSelected = false;
    KvModeInfo mode;          // copy of the selected mode's record
    uint32_t sampleGroup = 1;
    uint32_t statusOption = 0;

    // Shadows of write-only board registers.
    uint8_t controlShadow = 0;
    uint16_t addressShadow[8] = {};
    uint8_t clockSelect = 0;   // high nibble of the clock-select/bank command (family 1)
    uint8_t bank = 0;          // memory bank register
    uint8_t eventMask = 0;
    uint32_t clockDivider = 0;

    // Synthesizer of the 0x2016-class pocket boards: the rate it runs at (negative while its output
    // is switched off), the prescale bits of its last programming and the bit-stream work buffer.
    int64_t synthRate = 0;
    uint8_t synthPrescaleBits = 0;
    int synthPrescale = 1;
    std::vector<uint8_t> synthWork;
    // Nanlyn: the reference the clock chip was last set to (0 after every image load).
    uint32_t nanlynReference = 0;

    // Trigger and capture state.
    TriggerCopy trigger;
    uint8_t statusRequest = 0;     // bit 0 from record flag bit 1
    bool triggerSet = false;       // any pattern byte of the last programming other than 8
    int64_t startAddress = 0;      // start address last programmed
    uint8_t modeRegister = 0;
    bool captureComplete = false;
    bool readForUkv = false;       // the read is a single-device read (no 16 trailing bytes)
    std::vector<uint8_t> readBuffer;
    size_t readPosition = 0;
    size_t readLength = 0;
    // Nanlyn live status.
    uint8_t liveState[16] = {};
    uint64_t liveRate = 0;
    int progress = 0;
    uint8_t statusBlock[36] = {};
    uint16_t nanlynStatusWord = 0;
    int64_t nanlynPosition = 0;
    int64_t nanlynStart = 0, nanlynEnd = 0, nanlynPost = 0;
    int nanlynGroup = 1;

    // Results of the last read-back, reported through KvGetHwInfo.
    uint32_t lastReadResult = 0;
    uint32_t unwrittenSamples = 0;
    uint32_t timeStampBefore = 0;
    uint32_t timeStampTotal = 0;
    uint32_t alignResults[kAlignResults] = {};
    uint32_t firstSamplePhase = 0;

    KvDevice();
    bool isNanlyn() const { return slot.family == kFamilyNanlyn; }
};

// A device object as the library creates it: switches read from the registry (and, on NT-family
// systems, the parallel switch cleared unless the port driver runs).
std::unique_ptr<KvDevice> createDevice(const RuntimeEnv& env);
InterfaceSwitches readInterfaceSwitches(Registry* registry, const OsVersion& os);

// Board operations (outside a capture).
int resetBoard(KvDevice& d);
void restBoard(KvDevice& d);
int writeControlRegister(KvDevice& d, uint8_t value);
// The control register without touching its shadow.
int sendControlRegister(KvDevice& d, uint8_t value);
int writeCaptureAddress(KvDevice& d, uint32_t address);
int writeAddressRegister(KvDevice& d, uint8_t reg, uint16_t value);
int sendThresholdData(KvDevice& d, int group, int dac);
int setThresholdVolt(KvDevice& d, int group, int millivolts);
// Sends an FPGA image (header words, then the expanded configuration stream) to a Nanlyn board and
// restarts its logic with the given load flag; 1 when every exchange succeeded.
int sendFpgaConfiguration(KvDevice& d, const std::vector<uint8_t>& image, uint16_t loadFlag);
// Loads the image of a mode id into a Nanlyn board (once per mode); 1 when loaded or already was.
int loadFpgaImage(KvDevice& d, const RuntimeEnv& env, int modeId);
// Capabilities of the board into the device and its slot copy (open time).
void applyCapabilities(KvDevice& d);

// Discovery: probe of one (kind, sub-index) into a slot record; the re-check of an opened device.
bool probeSlot(KvDevice& d, int kind, int subIndex, KvDeviceSlot& out);
bool recheckDevice(KvDevice& d);

// KvGetHwInfo and KvSetHwInfo for an open device.
uint32_t deviceHwInfo(const KvDevice& d, uint32_t selector);
void setDeviceHwInfo(KvDevice& d, const RuntimeEnv& env, uint32_t selector, uint32_t value);

}  // namespace kv
