// Virtual hardware: boards that answer from the board's side in place of the kernel drivers and
// the processor ports. A VirtualSystem is a DeviceIo; install it with setDeviceIo (tests) or let
// installDeviceIoFromEnvironment choose it from HALVEX_VIRTUAL (the DLL, at process attach). Every
// board logs the exchanges it saw, in memory and, when HALVEX_VIRTUAL_LOG names a file, as lines
// "<board>: <exchange>" appended to that file, so another process can see them.
//
// HALVEX_VIRTUAL: entries "<place>=<board>" separated by ';'. Places: usb0-usb127 (USB device
// number), pci0-pci5 (card), lpt0 (378h) and lpt1 (278h), isa0-isa3 (268h, 26Ch, 368h, 36Ch).
// Board: fields separated by ':': an optional kind (isa, pci, epp19, epp17, bidi, usb2epp, usb20,
// pocket, nanlyn), the product code in hex, then options: a family digit, "usb11" or "usb2" (link),
// "full" (a USB 2.0 board on a full-speed port), "legacy" (only the older USB driver name),
// "option" (bit 11 of the code set), "eeprom=<name>", "second=<hex>", "third=<hex>", and for a Nanlyn
// board in logger mode "lose=<first>+<count>" (change records first.. of a run arrive as lost data).
// Without a kind it follows from place and code: usb + 2036/2136/2236 = nanlyn, usb + code ending
// in 16 = pocket, other usb = usb20; lpt = epp19. A pocket board of family 2 with a code other
// than 1xxx gets the option flag (bit 11), which is what keeps such a board in family 2; family 6
// puts the plus revision's short name in the EEPROM, family 5 another name. Examples: "usb0=2136;usb1=pocket:2216:6;isa0=1164".
// A USB scope is "usb<n>=scope:<model hex>[:options]" (simulator/virtual_scope.h).
// Nothing here starts threads, waits or loads libraries: probing runs under the loader lock.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/device_io.h"

namespace kv {

enum class VirtualKind { Isa, Pci, Epp19, Epp17, Bidi, Usb2Epp, Usb20, Pocket, Nanlyn, Scope };

enum class VirtualPlace { Usb, Pci, Lpt, Isa };

struct VirtualBoardConfig {
    VirtualKind kind = VirtualKind::Usb20;
    VirtualPlace place = VirtualPlace::Usb;
    int slot = 0;            // USB device number, PCI card, parallel port (0 = 378h) or ISA port number
    uint16_t code = 0x2032;  // product code as reported (bit 11 is the option flag)
    int family = 0;          // 1 or 3 (USB2EPP, USB 2.0, PCI, parallel); 2, 5 or 6 (pocket); 0 = by kind
    bool usb11 = false;      // USB link of version 1.1 (bcdUSB 0x0110) instead of 2.0
    bool fullSpeed = false;  // USB 2.0 board on a full-speed port (bridge speed flag bit 3)
    bool legacyDriver = false;
    std::string eepromName;  // pocket boards: name stored at EEPROM word 32 (length byte first)
    uint32_t second = 0;     // second identity word (write address)
    uint32_t third = 0;      // third identity word (status)
    uint64_t loseFirst = 0;  // logger mode: change records [loseFirst, loseFirst + loseCount) of a
    uint64_t loseCount = 0;  // run are lost (sent with the lost-data bit in place of their data)
    // The USB scope ("usb<n>=scope:<model>:..."): its options as given, read by virtual_scope.h.
    std::vector<std::string> scopeOptions;
    std::string name() const;  // "usb0", "pci1", "lpt0", "isa2"
};

// The plus revision's product names as its boards carry them in their EEPROM: the short one is
// what a family-6 pocket board gets unless "eeprom=" names another; the long one is the other
// name such a board may carry.
extern const char* const kVirtualPlusShortName;
extern const char* const kVirtualPlusLongName;

// Parses HALVEX_VIRTUAL text. False with a message for the first bad entry.
bool parseVirtualConfig(const std::string& text, std::vector<VirtualBoardConfig>& out, std::string* error);

// One exchange as the board saw it.
struct Exchange {
    enum class Op {
        Open,         // device file opened by name (text)
        Ioctl,        // other device control: address = code
        RegWrite,     // USB register write: address = register, index, data
        RegRead,      // USB register read: data = what the board answered
        BulkOut,      // bulk write: address = target, index = raw flag, data
        BulkIn,       // bulk read: address = target, data
        PortOut,      // processor byte output: address = port
        PortIn,
        PortOutWord,  // 16-bit output (ISA): data = little-endian word
        PortInWord,
        PciWrite,     // PCI driver write byte / block: address = register
        PciRead,      // PCI driver read byte / block
    };
    Op op = Op::Ioctl;
    uint32_t address = 0;
    uint32_t index = 0;
    std::vector<uint8_t> data;
    std::string name;  // Open
    // One line: "W 83 A5", "W 8C/0010 84", "R 84 = 3F", "OUT 0 5A 0F 22 08", "RAW 5A 0F 66 04",
    // "IN 130 01 02", "O 37A 04", "I 37C = 21", "OW 268 8400", "IW 26A = 1164", "PW C0 A5",
    // "PR C8 = 21", "OPEN \\.\usbscan0", "IOCTL 80002018". Data longer than 32 bytes shows as
    // "[n bytes]".
    std::string text() const;
};

// A device's log as lines, and one exchange appended to it and, when the system keeps a log file,
// to that file as "<device>: <exchange>" (boards and scopes log alike).
std::vector<std::string> exchangeLines(const std::vector<Exchange>& log);
void appendExchange(std::vector<Exchange>& log, std::FILE* file, const std::string& device, Exchange e);

class VirtualBoard {
public:
    explicit VirtualBoard(const VirtualBoardConfig& board);
    virtual ~VirtualBoard();
    VirtualBoard(const VirtualBoard&) = delete;
    VirtualBoard& operator=(const VirtualBoard&) = delete;

    const VirtualBoardConfig& config() const { return config_; }
    std::string name() const { return config_.name(); }

    const std::vector<Exchange>& log() const { return log_; }
    std::vector<std::string> logLines() const;
    void clearLog() { log_.clear(); }

    // What the board's logic took in, decoded from the wire.
    uint8_t controlByte() const { return control_; }
    uint8_t control2Byte() const { return control2_; }
    // Control-byte (address-port) writes in order.
    const std::vector<uint8_t>& controlWrites() const { return controlWrites_; }
    // Byte command frames as the board parsed them, the one still being received included.
    std::vector<std::vector<uint8_t>> frames() const;
    // Word frames of the Nanlyn board, one per bulk write outside configuration loading.
    const std::vector<std::vector<uint16_t>>& wordFrames() const { return wordFrames_; }
    // ISA command words in order.
    const std::vector<uint16_t>& isaCommands() const { return isaCommands_; }
    uint16_t eepromWord(int address) const { return eeprom_[address & 63]; }
    void setEepromWord(int address, uint16_t value) { eeprom_[address & 63] = value; }
    // Threshold DAC value last set for a group (0-3), -1 when never set.
    int thresholdDac(int group) const { return group >= 0 && group < 4 ? dac_[group] : -1; }
    // The board's control register as last written by its frame or command word, -1 when never.
    int controlRegister() const { return controlRegister_; }
    // Bytes of configuration stream taken in while the Nanlyn board was in its loading state.
    size_t configBytes() const { return configBytes_; }
    // The parallel port's ECP extended control register.
    uint8_t ecr() const { return ecr_; }
    // Address register 0-7 as last loaded by a frame 5A 0F 33 <register> <low> <high>.
    uint16_t addressRegister(int reg) const { return addressRegs_[reg & 7]; }
    // The capture address last taken by the board's address command, -1 when never: ISA 0xC000 +
    // address; family 1 frame 0x10; pocket boards command 0x06 from registers 0 (low half) and 1
    // (high half); family 3 command 0x06 <low byte> with register 2 (top byte) and 4 (middle).
    int64_t captureAddress() const { return captureAddress_; }

    // --- capture ---
    // The board's inputs: sample n of a capture (counted from the start command) carries this 64-bit
    // value, channel c in bit c. The inputs count 5 ns periods; the start command sets the step from
    // the programmed sample clock (2 at 100 MHz), so a capture read back in time order holds numbers
    // that advance by the step.
    uint64_t signal(uint64_t n) const { return signalBase + n * signalStep; }
    uint64_t signalBase = 0;
    uint64_t signalStep = 1;
    // Boards of families 1 and 3 (not 512K): the word their status word names, after a capture, as
    // the first of the capture window in time order. These boards keep the whole memory (0).
    uint16_t windowWord = 0;
    // Trigger-memory tables loaded so far (one per 65,537-byte block after a load command).
    int triggerTableLoads() const { return tableLoads_; }
    // State of the last capture: sample index (from the start) of the trigger, -1 when none fired.
    int64_t triggerSample() const { return triggerSample_; }
    bool captureRunning() const { return running_; }
    bool captureReady() const { return ready_; }
    // Pocket boards with a synthesizer: its output frequency from the registers it received, 0 when
    // its output is off or it was never programmed.
    uint64_t synthesizerHz() const;
    // ISA cards at 200 MHz: the banks come pairwise swapped (status bit 0 says so).
    bool isaSwapped = false;
    // Nanlyn boards: samples to skip at the start of a 2 or 4 GHz read (the status block's phase).
    uint16_t fastPhase = 0;
    // Samples a capture may run without a trigger before it is left running (waits for a stop).
    uint64_t sampleLimit = 1u << 22;
    // Exchanges are not recorded (a benchmark moving whole memories).
    bool quiet = false;

    // --- logger mode (virtual_logger.cpp): after the logger image (id 129) is loaded and the start
    // frame taken, bulk reads of target 130 deliver 12-byte change records: record k at sample
    // clock k x loggerPeriod carries signal(k); the first record of a run is a stale one; records
    // not yet due by the clock (sample clocks at 50 MHz / divider since the start) are filled with
    // not-data records, and a backlog beyond loggerFifo records is dropped and marked lost.
    bool loggerRunning() const { return loggerRunning_; }
    uint32_t loggerDivider() const { return loggerDivider_; }
    int loggerChannels() const { return loggerChannels_; }
    uint64_t loggerPeriod = 1;
    uint64_t loggerFifo = 1u << 16;
    // Nanoseconds of the board's time base; null: the steady clock.
    std::function<uint64_t()> loggerNowNs;

    // Makes every later exchange fail (a board pulled off the cable).
    bool unplugged = false;
    // The next this many reads of the USB 2.0 bridge's ready byte answer 0 (busy); -1: always busy.
    int busyReadyReads = 0;

    // --- the wire, as the device files and ports of VirtualSystem deliver it ---
    bool usbIoctl(uint32_t code, const uint8_t* in, uint32_t inSize, uint8_t* out, uint32_t outSize,
                  uint32_t& returned, void* dataStage);
    bool usbWrite(const uint8_t* data, uint32_t size, uint32_t& written);
    bool usbRead(uint8_t* out, uint32_t size, uint32_t& got);
    bool pciIoctl(uint32_t code, const uint8_t* in, uint32_t inSize, uint8_t* out, uint32_t outSize,
                  uint32_t& returned);
    bool ownsPort(uint32_t port) const;
    void portOut(uint32_t port, uint8_t value);
    uint8_t portIn(uint32_t port);
    void portOutWord(uint32_t port, uint16_t value);
    uint16_t portInWord(uint32_t port);
    void setLogFile(std::FILE* file) { file_ = file; }

private:
    void record(Exchange e);
    bool isUsb() const;
    bool acceptsFamilyByte(uint8_t family) const;
    uint32_t portBase() const;

    // The board's logic, whatever the connection.
    void takeControl(uint8_t value);             // address port / control byte
    void takeData(const uint8_t* p, size_t n);   // byte stream of the data port
    void takeWords(const uint8_t* p, size_t n);  // target-130 writes of the Nanlyn board
    uint8_t nextByte();                          // one byte of the board's answer
    void startFrame();
    void dropAnswer();
    void finishFrame();
    void actOnFrame(const std::vector<uint8_t>& f);
    void answer(std::vector<uint8_t> bytes);
    void isaCommand(uint16_t word);
    void eepromPins(uint8_t value);
    uint8_t usbRegisterValue(uint32_t reg, uint32_t index);
    // Capture logic (virtual_capture.cpp).
    void setUpCapture();
    bool captureFrame(const std::vector<uint8_t>& f);  // byte frames of families 1, 2, 3, 5, 6
    void captureWords(const std::vector<uint16_t>& w); // Nanlyn capture frames
    bool isaCaptureCommand(uint16_t word);
    void runCapture();
    bool triggerMatches(uint64_t n);
    void storeSample(uint64_t n);
    void stopCaptureLogic();
    std::vector<uint8_t> groupStream(int group, bool fromOldest);
    std::vector<uint8_t> nanlynStatusBlock() const;
    uint32_t identitySecond() const;
    uint32_t identityThird() const;
    int groupOfBank(int bank) const;
    uint64_t clockPeriods() const;  // base periods per sample from the clock registers
    void synthPins(uint8_t control);  // two-wire bus of the pocket boards' synthesizer
    void usbRegisterWrite(uint32_t reg, uint32_t index, const uint8_t* data, uint32_t length);
    // Logger mode: true when the word frame belonged to it; the stream of a bulk read.
    bool loggerWords(const std::vector<uint16_t>& w);
    void loggerControl(uint8_t value);
    void loggerBlock(uint8_t* out, uint32_t n);

    VirtualBoardConfig config_;
    std::vector<Exchange> log_;
    std::FILE* file_ = nullptr;  // shared log file of the system, or null

    uint8_t control_ = 0;
    uint8_t control2_ = 0;
    std::vector<uint8_t> controlWrites_;
    std::vector<uint16_t> isaCommands_;
    std::vector<uint8_t> pending_;  // byte frame being received
    std::vector<std::vector<uint8_t>> frames_;
    std::vector<std::vector<uint16_t>> wordFrames_;
    std::vector<uint8_t> answer_;  // bytes the board will return, oldest first
    size_t answerPos_ = 0;
    uint8_t idleByte_ = 0xFF;      // what the data lines read when the board has nothing to say
    bool loading_ = false;         // Nanlyn: configuration stream expected
    size_t configBytes_ = 0;

    // USB bridge.
    uint8_t setup_[8] = {};
    uint32_t bulkLeft_ = 0;  // bytes still announced by the last set-up record
    uint8_t pinDir_ = 0;
    uint8_t pinsOut_ = 0;

    // 93C46 serial memory.
    uint16_t eeprom_[64] = {};
    enum class Rom { Idle, Start, Command, Reading, WriteData, WriteReady, Done } rom_ = Rom::Idle;
    uint32_t romBits_ = 0;
    int romCount_ = 0;
    int romAddress_ = 0;
    int romBit_ = 0;
    uint8_t romOut_ = 1;
    bool romWritable_ = false;

    // Parallel port.
    uint8_t ecr_ = 0x15;
    uint8_t parallelControl_ = 0;
    uint8_t latch_ = 0xFF;    // byte on the data lines (bi-directional port)
    bool driving_ = false;    // bi-directional board drives the data lines

    // ISA card.
    uint16_t isaAnswer_ = 0xFFFF;

    int dac_[4] = {-1, -1, -1, -1};
    int controlRegister_ = -1;
    static constexpr int kAddressRegisters = 8;
    uint16_t addressRegs_[kAddressRegisters] = {};
    int64_t captureAddress_ = -1;

    // Capture state.
    enum class Path { None, Isa, Pocket, Generic, Big, Nanlyn };
    Path path_ = Path::None;
    size_t ring_ = 0;               // samples the memory holds
    int pipeline_ = 0;              // samples between the trigger and its recognition
    int unit_ = 1;                  // samples a start address counts (trigger-memory boards)
    uint32_t wrapBit_ = 0, readyBit_ = 0;
    std::vector<uint64_t> memory_;  // one 64-bit sample per address
    size_t write_ = 0;
    bool wrapped_ = false, ready_ = false, running_ = false;
    int64_t triggerSample_ = -1;
    uint64_t clock_ = 0;            // samples taken since the start command
    uint8_t bank_ = 0, clockSelect_ = 0, modeRegister_ = 0;
    uint32_t passCount_ = 0, prefill_ = 0, delayCount_ = 0;
    size_t tableLeft_ = 0;          // bytes of a trigger table still expected
    int tableBank_ = 0;
    int tableLoads_ = 0;
    std::vector<uint8_t> tables_[16];  // by bank
    uint16_t pocketA_ = 0, pocketC_ = 0, pocketMask_ = 0xFFFF;
    uint8_t pocketSlots_ = 0;
    std::vector<uint8_t> isaChain_;    // conditions in the order shifted in
    std::vector<uint16_t> isaStream_;
    size_t isaStreamPos_ = 0;
    // Nanlyn capture frames.
    uint32_t nValue_ = 0, nStart_ = 0, nPosition_ = 0, nDivider_ = 0, nPass_ = 0, nWidth_ = 0;
    uint16_t nGroup_ = 0;
    uint64_t nHigh_ = 0, nCare_ = 0;
    bool nStoppedEarly_ = false;
    bool nFast_ = false;           // the last capture ran at 2 or 4 GHz
    int loadedMode_ = 0;            // id in the header of the last image loaded
    // The synthesizer of the 0x2016-class pocket boards, as its two-wire bus delivered it.
    uint8_t synthRegs_[256] = {};
    bool synthSda_ = true, synthScl_ = true, synthActive_ = false;
    int synthBits_ = 0, synthByteCount_ = 0;
    uint8_t synthByte_ = 0, synthReg_ = 0;
    // Logger mode.
    bool loggerImage_ = false, loggerRunning_ = false, loggerFresh_ = false;
    uint32_t loggerDivider_ = 1;
    int loggerChannels_ = 36;
    uint64_t loggerStartNs_ = 0, loggerSent_ = 0;
    bool loggerDropped_ = false;
};

class VirtualScope;
struct VirtualScopeConfig;

class VirtualSystem : public DeviceIo {
public:
    VirtualSystem();
    ~VirtualSystem() override;
    VirtualSystem(const VirtualSystem&) = delete;
    VirtualSystem& operator=(const VirtualSystem&) = delete;

    VirtualBoard& add(const VirtualBoardConfig& board);  // a board (not the scope kind)
    // A scope replaces whatever sat at its USB number, and a board added later replaces it.
    VirtualScope& addScope(const VirtualScopeConfig& scope);
    VirtualScope* scope(const std::string& name);  // "usb3"
    // Adds every board and scope of a HALVEX_VIRTUAL text; false (and nothing added) when it does
    // not parse.
    bool addFromConfig(const std::string& text, std::string* error = nullptr);
    VirtualBoard* board(const std::string& name);  // "usb0"
    std::vector<VirtualBoard*> boards();

    // Appends every exchange of every board to this file as well. False when it does not open.
    bool setLogFile(const std::string& path);

    // The system the runtime believes it runs on.
    OsVersion os;
    // "\\.\OmbixLPT" opens (the port driver runs).
    bool portDriver = true;
    // Every device name the runtime tried to open, in order, whether it opened or not.
    std::vector<std::string> openAttempts;

    std::unique_ptr<DeviceFile> open(const std::string& name, uint32_t flags) override;
    uint8_t inByte(uint32_t port) override;
    void outByte(uint32_t port, uint8_t value) override;
    uint16_t inWord(uint32_t port) override;
    void outWord(uint32_t port, uint16_t value) override;
    OsVersion osVersion() override { return os; }

    // Handle values of the USB files opened so far start above this one.
    static constexpr uint32_t kFirstVirtualHandle = 0x7E000000;

private:
    VirtualBoard* boardAtPort(uint32_t port);
    uint32_t nextHandle();
    std::vector<std::shared_ptr<VirtualBoard>> boards_;
    std::vector<std::shared_ptr<VirtualScope>> scopes_;
    uint32_t handleCount_ = 0;
    std::FILE* file_ = nullptr;
};

// Reads a whole exchange-log file written through HALVEX_VIRTUAL_LOG, as its lines.
std::vector<std::string> readExchangeLogFile(const std::string& path);

// When HALVEX_VIRTUAL is set (and parses), builds the process's virtual system from it (with the
// log file of HALVEX_VIRTUAL_LOG when set), installs it and returns it; otherwise installs `real`
// and returns nullptr. A set but unparsable HALVEX_VIRTUAL installs an empty virtual system, so a
// test never reaches real drivers by a typing error.
VirtualSystem* installDeviceIoFromEnvironment(DeviceIo& real);
// The system installed by installDeviceIoFromEnvironment, or nullptr.
VirtualSystem* environmentVirtualSystem();

}  // namespace kv
