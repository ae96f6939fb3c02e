// A virtual board, written from the board's side: it sees bridge registers, bulk transfers,
// port strobes and driver calls, decodes command frames the way the board's logic does, and
// answers with its identity words, its serial memory and its status.
#include <algorithm>
#include <cstdio>

#include "simulator/virtual_system.h"

namespace kv {
namespace {

// What the board's USB bridge answers to.
constexpr uint16_t kVendor = 0x05E3;
enum : uint32_t {
    kGetIds = 0x80002018,
    kGetDescriptor = 0x80002020,
    kOldDescriptor = 0x80002000,
    kReadRegs = 0x8000200C,
    kWriteRegs = 0x80002010,
    kPciWrite = 0x9C40A440,
    kPciWriteBlock = 0x9C40A444,
    kPciRead = 0x9C406400,
    kPciReadBlock = 0x9C406404,
};
constexpr uint32_t kPciAddressReg = 0xC0, kPciDataReg = 0xC8;
constexpr uint16_t kIsaPorts[4] = {0x268, 0x26C, 0x368, 0x36C};
constexpr uint8_t kAddressFamilyByte = 0x33;  // frames that load an address register
constexpr uint8_t kResetByte = 0xA7;

constexpr uint64_t kNanlynBits = (1ull << 36) - 1;
uint64_t mask48(const uint8_t* p) {
    uint64_t m = 0;
    for (int i = 0; i < 6; ++i) m |= static_cast<uint64_t>(p[i]) << (8 * i);
    return m & kNanlynBits;
}

uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

std::string hexBytes(const std::vector<uint8_t>& d) {
    if (d.size() > 32) return "[" + std::to_string(d.size()) + " bytes]";
    std::string s;
    char b[4];
    for (size_t i = 0; i < d.size(); ++i) {
        std::snprintf(b, sizeof b, "%02X", d[i]);
        if (i) s += ' ';
        s += b;
    }
    return s;
}

int defaultFamily(const VirtualBoardConfig& s) {
    if (s.family) return s.family;
    switch (s.kind) {
        case VirtualKind::Isa: return 0;
        case VirtualKind::Pocket: return 2;
        case VirtualKind::Nanlyn: return 7;
        default: return (s.code & 0xF000) == 0x1000 ? 1 : 3;
    }
}

}  // namespace

std::string Exchange::text() const {
    char b[64];
    switch (op) {
        case Op::Open: return "OPEN " + name;
        case Op::Ioctl: std::snprintf(b, sizeof b, "IOCTL %08X", address); return b;
        case Op::RegWrite:
        case Op::RegRead: {
            if (index) std::snprintf(b, sizeof b, "%c %02X/%04X", op == Op::RegWrite ? 'W' : 'R', address, index);
            else std::snprintf(b, sizeof b, "%c %02X", op == Op::RegWrite ? 'W' : 'R', address);
            return std::string(b) + (op == Op::RegWrite ? " " : " = ") + hexBytes(data);
        }
        case Op::BulkOut:
            if (index) return "RAW " + hexBytes(data);
            std::snprintf(b, sizeof b, "OUT %u ", address);
            return b + hexBytes(data);
        case Op::BulkIn: std::snprintf(b, sizeof b, "IN %u ", address); return b + hexBytes(data);
        case Op::PortOut: std::snprintf(b, sizeof b, "O %X %02X", address, data.empty() ? 0 : data[0]); return b;
        case Op::PortIn: std::snprintf(b, sizeof b, "I %X = %02X", address, data.empty() ? 0 : data[0]); return b;
        case Op::PortOutWord:
        case Op::PortInWord: {
            unsigned w = data.size() >= 2 ? static_cast<unsigned>(data[0] | data[1] << 8) : 0;
            if (op == Op::PortOutWord) std::snprintf(b, sizeof b, "OW %X %04X", address, w);
            else std::snprintf(b, sizeof b, "IW %X = %04X", address, w);
            return b;
        }
        case Op::PciWrite: std::snprintf(b, sizeof b, "PW %X ", address); return b + hexBytes(data);
        case Op::PciRead: std::snprintf(b, sizeof b, "PR %X = ", address); return b + hexBytes(data);
    }
    return "?";
}

VirtualBoard::VirtualBoard(const VirtualBoardConfig& board) : config_(board) {
    config_.family = defaultFamily(board);
    setUpCapture();
    std::fill(std::begin(eeprom_), std::end(eeprom_), 0xFFFF);  // an erased 93C46 reads all ones
    if (!config_.eepromName.empty()) {
        // Word 32 onwards: a length byte, then the name, two bytes to a word, low byte first.
        std::vector<uint8_t> bytes;
        bytes.push_back(static_cast<uint8_t>(config_.eepromName.size()));
        bytes.insert(bytes.end(), config_.eepromName.begin(), config_.eepromName.end());
        if (bytes.size() % 2) bytes.push_back(0);
        for (size_t i = 0; i + 1 < bytes.size() && 32 + i / 2 < 64; i += 2)
            eeprom_[32 + i / 2] = static_cast<uint16_t>(bytes[i] | bytes[i + 1] << 8);
    }
}

VirtualBoard::~VirtualBoard() = default;

std::vector<std::string> exchangeLines(const std::vector<Exchange>& log) {
    std::vector<std::string> lines;
    lines.reserve(log.size());
    for (const Exchange& e : log) lines.push_back(e.text());
    return lines;
}

void appendExchange(std::vector<Exchange>& log, std::FILE* file, const std::string& device, Exchange e) {
    if (file) {
        std::fprintf(file, "%s: %s\n", device.c_str(), e.text().c_str());
        std::fflush(file);
    }
    log.push_back(std::move(e));
}

std::vector<std::string> VirtualBoard::logLines() const { return exchangeLines(log_); }

std::vector<std::vector<uint8_t>> VirtualBoard::frames() const {
    std::vector<std::vector<uint8_t>> all = frames_;
    if (pending_.size() >= 4) all.push_back(pending_);
    return all;
}

void VirtualBoard::record(Exchange e) {
    if (!quiet) appendExchange(log_, file_, name(), std::move(e));
}

bool VirtualBoard::isUsb() const { return config_.place == VirtualPlace::Usb; }

bool VirtualBoard::acceptsFamilyByte(uint8_t family) const {
    switch (config_.family) {
        case 1: return family == 0x22 || family == 0x33;
        case 3: return family == 0x77 || family == 0x33;
        case 2:
        case 5:
        case 6: return family == 0x66 || family == 0x33;
        case 7: return family == 0x66;
        default: return false;
    }
}

uint32_t VirtualBoard::portBase() const {
    switch (config_.place) {
        case VirtualPlace::Lpt: return config_.slot == 0 ? 0x378 : 0x278;
        case VirtualPlace::Isa: return kIsaPorts[config_.slot & 3];
        default: return 0;
    }
}

// --- the board's logic ---

void VirtualBoard::takeControl(uint8_t value) {
    finishFrame();
    control_ = value;
    controlWrites_.push_back(value);
    // 0xA7 ends every reset sequence of the address port: the board's output register is cleared,
    // so nothing of an earlier command is left to read.
    if (value == kResetByte) dropAnswer();
    if (config_.kind == VirtualKind::Nanlyn) {
        // 98 opens the configuration port of the FPGA; 242 starts the loaded logic.
        if (value == 98) loading_ = true;
        if (value == 242) loading_ = false;
        loggerControl(value);
    }
}

void VirtualBoard::takeData(const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        uint8_t b = p[i];
        if (tableLeft_ > 0) {
            // Trigger memory being loaded: the bytes are table contents, not frames.
            std::vector<uint8_t>& t = tables_[tableBank_];
            if (t.size() < 0x10000) t.push_back(b);
            if (--tableLeft_ == 0) ++tableLoads_;
            continue;
        }
        if (pending_.empty()) {
            if (b == 0x5A) pending_.push_back(b);  // anything else before a sync is line noise
        } else if (pending_.size() == 1) {
            pending_.clear();
            if (b == 0x0F) startFrame();
            else if (b == 0x5A) pending_.push_back(b);
        } else if (pending_.size() >= 4 && pending_.back() == 0x5A && b == 0x0F) {
            pending_.pop_back();
            finishFrame();
            startFrame();
        } else {
            pending_.push_back(b);
        }
    }
}

// A new command supersedes whatever the last one left to be read: a host that moved on without
// reading (a probe asking for another family, say) must not get the old answer to the new question.
// Address-register loads (family byte 0x33) carry no answer and keep what is waiting to be read.
void VirtualBoard::startFrame() { pending_ = {0x5A, 0x0F}; }

void VirtualBoard::dropAnswer() {
    answer_.clear();
    answerPos_ = 0;
}

void VirtualBoard::finishFrame() {
    if (pending_.size() >= 4) {
        if (pending_[2] != kAddressFamilyByte) dropAnswer();
        frames_.push_back(pending_);
        std::vector<uint8_t> f;
        f.swap(pending_);
        actOnFrame(frames_.back());
    }
    pending_.clear();
}

void VirtualBoard::answer(std::vector<uint8_t> bytes) {
    answer_ = std::move(bytes);
    answerPos_ = 0;
}

void VirtualBoard::actOnFrame(const std::vector<uint8_t>& f) {
    if (!acceptsFamilyByte(f[2])) return;
    uint32_t c = config_.code, s = identitySecond(), t = identityThird();
    auto b = [](uint32_t v, int shift) { return static_cast<uint8_t>(v >> shift); };
    if (f[2] != kAddressFamilyByte && captureFrame(f)) return;
    // A running family-1 board does not answer its identity.
    if (config_.family == 1 && running_) c = 0xFFFF;
    auto arg = [&](size_t i) { return i < f.size() ? f[i] : -1; };
    if (f[2] == kAddressFamilyByte) {
        // 5A 0F 33 <register> <low> <high>: one 16-bit address register, no answer.
        if (f.size() >= 6 && f[3] < kAddressRegisters) addressRegs_[f[3]] = static_cast<uint16_t>(f[4] | f[5] << 8);
        return;
    }
    switch (config_.family) {
        case 1:
            if (f[2] != 0x22) break;
            // 0x10 <high> <low>: the capture address, one command.
            if (f[3] == 0x10 && f.size() >= 6) {
                captureAddress_ = static_cast<int64_t>(f[4]) << 8 | f[5];
                if (groupOfBank(bank_) >= 0) answer(groupStream(groupOfBank(bank_), false));
            }
            if (f[3] == 0x08) answer({b(c, 8), b(c, 0), b(s, 8), b(s, 0), b(t, 8), b(t, 0)});
            // Threshold commands 0x82, 0x86, 0x81, 0x85 load the DACs of groups 0-3.
            if (f[3] == 0x82) dac_[0] = arg(4);
            if (f[3] == 0x86) dac_[1] = arg(4);
            if (f[3] == 0x81) dac_[2] = arg(4);
            if (f[3] == 0x85) dac_[3] = arg(4);
            if (f[3] == 0x40) controlRegister_ = arg(4);
            break;
        case 3:
            if (f[3] == 0x04)
                answer({b(c, 8), b(c, 0), b(s, 16), b(s, 8), b(s, 0), b(t, 24), b(t, 16), b(t, 8), b(t, 0)});
            if (f[3] == 0x08 && arg(4) >= 0 && arg(4) < 4) dac_[arg(4)] = arg(5);
            if (f[3] == 0x07) controlRegister_ = arg(4);
            // 0x06 <low>: the capture address from register 2 (bits 24-31), register 4 (bits 8-23)
            // and the low byte of the command.
            if (f[3] == 0x06 && f.size() >= 5) {
                captureAddress_ = static_cast<int64_t>(addressRegs_[2] & 0xFF) << 24 |
                                  static_cast<int64_t>(addressRegs_[4]) << 8 | f[4];
                if (groupOfBank(bank_) >= 0) answer(groupStream(groupOfBank(bank_), path_ == Path::Big));
            }
            break;
        case 2:
        case 5:
        case 6:
            if (f[2] != 0x66) break;
            if (f[3] == 0x04) answer({b(c, 8), b(c, 0), b(s, 16), b(s, 8), b(s, 0), b(t, 16), b(t, 8), b(t, 0)});
            if (f[3] == 0x07) {
                controlRegister_ = arg(4);
                if ((config_.code & 0xF0FF) == 0x2016 && arg(4) >= 0) synthPins(static_cast<uint8_t>(arg(4)));
            }
            // 0x06: the capture address from registers 0 (low half) and 1 (high half).
            if (f[3] == 0x06) captureAddress_ = static_cast<int64_t>(addressRegs_[1]) << 16 | addressRegs_[0];
            if (f[3] == 0x08) {
                // One DAC command for both groups: the control register's group bit picks the
                // group (bit 2 on the 2x16 class of codes, bit 4 on the others).
                int bit = (config_.code & 0xF0FF) == 0x2016 ? 0x04 : 0x10;
                int group = controlRegister_ >= 0 && (controlRegister_ & bit) ? 1 : 0;
                dac_[group] = arg(4);
            }
            break;
        default: break;
    }
}

void VirtualBoard::takeWords(const uint8_t* p, size_t n) {
    if (loading_) {
        configBytes_ += n;
        return;
    }
    dropAnswer();
    std::vector<uint16_t> words;
    std::vector<uint8_t> low;
    for (size_t i = 0; i + 1 < n; i += 2) {
        words.push_back(static_cast<uint16_t>(p[i] | p[i + 1] << 8));
        low.push_back(p[i]);
    }
    wordFrames_.push_back(words);
    frames_.push_back(low);
    if (loggerWords(words)) return;
    if (!(words.size() >= 4 && words[0] == 0x5A && words[1] == 0x0F && words[2] == 0x66)) {
        captureWords(words);
        return;
    }
    if (words[3] == 0x00) stopCaptureLogic();
    if (words[3] == 0x02 && words.size() == 4 + 392) {
        // The level block: the one-level trigger in the last slot of the first condition.
        std::vector<uint8_t> block;
        for (size_t i = 4; i < words.size(); ++i) {
            block.push_back(static_cast<uint8_t>(words[i]));
            block.push_back(static_cast<uint8_t>(words[i] >> 8));
        }
        nHigh_ = mask48(block.data() + 6 * 15);
        nCare_ = mask48(block.data() + 384 + 6 * 15);
    } else if (words[3] == 0x02 && words.size() == 14) {
        nHigh_ = (words[4] | static_cast<uint64_t>(words[5]) << 16 | static_cast<uint64_t>(words[6]) << 32) & kNanlynBits;
        const uint64_t dontCare = words[10] | static_cast<uint64_t>(words[11]) << 16 | static_cast<uint64_t>(words[12]) << 32;
        nCare_ = ~dontCare & kNanlynBits;
    }
    {
        uint32_t c = config_.code, s = config_.second;
        if (words[3] == 0x27) answer({static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8)});
        if (words[3] == 0x36) answer({static_cast<uint8_t>(s), static_cast<uint8_t>(s >> 8)});
        // The image header names the logic being loaded: its memory and packing follow.
        if (words[3] == 0x35 && words.size() >= 5) loadedMode_ = words[4];
        if (words[3] == 0x21 && words.size() >= 5) {
            // The word holds 255 minus the DAC value of group 1 (high byte) and group 0 (low).
            dac_[0] = 255 - (words[4] & 0xFF);
            dac_[1] = 255 - (words[4] >> 8);
        }
    }
}

uint8_t VirtualBoard::nextByte() {
    finishFrame();
    if (answerPos_ < answer_.size()) return answer_[answerPos_++];
    return idleByte_;
}

void VirtualBoard::isaCommand(uint16_t word) {
    isaCommands_.push_back(word);
    if (isaCaptureCommand(word)) return;
    if ((word & 0xC000) == 0xC000) {  // 0xC000 + the 14-bit capture address
        captureAddress_ = word & 0x3FFF;
        return;
    }
    switch (word & 0xFF00) {
        case 0x8400: isaAnswer_ = config_.code; break;  // identity read
        case 0x3C00:
        case 0xBC00: isaAnswer_ = 0xFFFF; break;  // reset: nothing left to read
        case 0x9400: controlRegister_ = word & 0xFF; break;
        case 0xA200: dac_[0] = word & 0xFF; break;
        case 0xA600: dac_[1] = word & 0xFF; break;
        case 0xA100: dac_[2] = word & 0xFF; break;
        case 0xA500: dac_[3] = word & 0xFF; break;
        default: break;
    }
}

// 93C46 in 16-bit organisation: start bit, two opcode bits, six address bits, clocked in on the
// rising clock edge while chip select is high. A read puts a dummy 0 on the data-out line after
// the last address bit and one data bit, most significant first, on each following rising edge,
// running on into the next word. A write is programmed when chip select falls.
void VirtualBoard::eepromPins(uint8_t value) {
    if (pinDir_ != 7) return;  // pins not turned to outputs: nothing reaches the memory
    uint8_t prev = pinsOut_;
    pinsOut_ = value;
    bool cs = value & 1, clk = value & 2, di = value & 4;
    bool prevCs = prev & 1, prevClk = prev & 2;
    if (!cs) {
        if (prevCs && rom_ == Rom::WriteReady && romWritable_) eeprom_[romAddress_] = static_cast<uint16_t>(romBits_);
        rom_ = Rom::Idle;
        romOut_ = 1;
        return;
    }
    if (!prevCs) {
        rom_ = Rom::Start;
        romOut_ = 1;
    }
    if (!clk || prevClk) return;
    switch (rom_) {
        case Rom::Start:
            if (di) {
                rom_ = Rom::Command;
                romBits_ = 0;
                romCount_ = 0;
            }
            break;
        case Rom::Command: {
            romBits_ = romBits_ << 1 | (di ? 1 : 0);
            if (++romCount_ < 8) break;
            int op = static_cast<int>(romBits_ >> 6), address = static_cast<int>(romBits_ & 63);
            rom_ = Rom::Done;
            if (op == 2) {
                rom_ = Rom::Reading;
                romAddress_ = address;
                romBit_ = 0;
                romOut_ = 0;
            } else if (op == 1) {
                rom_ = Rom::WriteData;
                romAddress_ = address;
                romBits_ = 0;
                romCount_ = 0;
            } else if (op == 3) {
                if (romWritable_) eeprom_[address] = 0xFFFF;
            } else if ((address >> 4) == 3) {
                romWritable_ = true;
            } else if ((address >> 4) == 0) {
                romWritable_ = false;
            } else if ((address >> 4) == 2 && romWritable_) {
                std::fill(std::begin(eeprom_), std::end(eeprom_), 0xFFFF);
            }
            break;
        }
        case Rom::Reading:
            romOut_ = (eeprom_[romAddress_] >> (15 - romBit_)) & 1;
            if (++romBit_ == 16) {
                romBit_ = 0;
                romAddress_ = (romAddress_ + 1) & 63;
            }
            break;
        case Rom::WriteData:
            romBits_ = romBits_ << 1 | (di ? 1 : 0);
            if (++romCount_ == 16) rom_ = Rom::WriteReady;
            break;
        default: break;
    }
}

// --- USB bridge ---

uint8_t VirtualBoard::usbRegisterValue(uint32_t reg, uint32_t index) {
    switch (reg) {
        case 0x84: return nextByte();
        case 0x8A: return static_cast<uint8_t>(romOut_ << 3 | (pinsOut_ & 7));
        case 0x8E:
            if (index == 0) return config_.fullSpeed ? 0x08 : 0x00;  // bit 3: attached at full speed
            if (index == 32) {                                      // ready for the next request?
                if (busyReadyReads == 0) return 1;
                if (busyReadyReads > 0) --busyReadyReads;
                return 0;
            }
            return 0;
        default: return 0;
    }
}

void VirtualBoard::usbRegisterWrite(uint32_t reg, uint32_t index, const uint8_t* data, uint32_t length) {
    if (length == 0) return;
    switch (reg) {
        case 0x82:
            if (length >= 8) {
                std::copy(data, data + 8, setup_);
                bulkLeft_ = le32(data + 4);
            }
            break;
        case 0x83: takeControl(data[0]); break;
        case 0x85:
            control2_ = data[0];
            takeData(data, 1);
            break;
        case 0x89: pinDir_ = data[0]; break;
        case 0x8B: eepromPins(data[0]); break;
        default: break;
    }
}

bool VirtualBoard::usbIoctl(uint32_t code, const uint8_t* in, uint32_t inSize, uint8_t* out, uint32_t outSize,
                            uint32_t& returned, void* dataStage) {
    returned = 0;
    if (unplugged) return false;
    uint16_t pid = 0x0139;
    switch (config_.kind) {
        case VirtualKind::Pocket: pid = 0x0136; break;
        case VirtualKind::Usb2Epp: pid = 0x0138; break;
        case VirtualKind::Nanlyn: pid = 0x013B; break;
        default: break;
    }
    uint16_t bcd = config_.usb11 ? 0x0110 : 0x0200;
    const uint8_t descriptor[18] = {18, 1, static_cast<uint8_t>(bcd), static_cast<uint8_t>(bcd >> 8), 0xFF, 0, 0, 64,
                                    static_cast<uint8_t>(kVendor), static_cast<uint8_t>(kVendor >> 8),
                                    static_cast<uint8_t>(pid), static_cast<uint8_t>(pid >> 8), 0, 1, 1, 2, 0, 1};
    switch (code) {
        case kGetIds: {
            record({Exchange::Op::Ioctl, code, 0, {}, {}});
            if (!out || outSize < 4) return false;
            uint8_t ids[8] = {static_cast<uint8_t>(kVendor), static_cast<uint8_t>(kVendor >> 8),
                              static_cast<uint8_t>(pid), static_cast<uint8_t>(pid >> 8), 0, 0, 0, 0};
            returned = std::min<uint32_t>(outSize, 8);
            std::copy(ids, ids + returned, out);
            return true;
        }
        case kGetDescriptor:
        case kOldDescriptor: {
            record({Exchange::Op::Ioctl, code, 0, {}, {}});
            if (code == kOldDescriptor && !config_.legacyDriver) return false;
            if (code == kGetDescriptor && (inSize < 2 || !in || in[0] != 1 || in[1] != 0)) return false;
            if (!out || outSize < 18) return false;
            std::copy(descriptor, descriptor + 18, out);
            returned = 18;
            return true;
        }
        case kReadRegs:
        case kWriteRegs: {
            if (!in || inSize < 16) return false;
            uint32_t reg = le32(in) & 0xFFFF, length = le32(in + 4) & 0xFFFF, index = le32(in + 12) & 0xFFFF;
            uint8_t* stage = static_cast<uint8_t*>(dataStage);
            if (!stage && sizeof(void*) == 4) stage = reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(le32(in + 8)));
            if (code == kReadRegs) {
                uint8_t* dest = (out && outSize >= length) ? out : stage;
                if (!dest && length) return false;
                std::vector<uint8_t> got;
                for (uint32_t i = 0; i < length; ++i) got.push_back(usbRegisterValue(reg, index));
                std::copy(got.begin(), got.end(), dest);
                record({Exchange::Op::RegRead, reg, index, got, {}});
                returned = length;
                return true;
            }
            if (!stage && length) return false;
            std::vector<uint8_t> data(stage, stage + length);
            record({Exchange::Op::RegWrite, reg, index, data, {}});
            usbRegisterWrite(reg, index, data.data(), length);
            return true;
        }
        default: record({Exchange::Op::Ioctl, code, 0, {}, {}}); return false;
    }
}

bool VirtualBoard::usbWrite(const uint8_t* data, uint32_t size, uint32_t& written) {
    written = 0;
    // The bridge moves only what the last set-up record announced, in its direction.
    if (unplugged || setup_[0] != 1 || size > bulkLeft_) return false;
    uint16_t target = static_cast<uint16_t>(setup_[2] | setup_[3] << 8);
    bool raw = setup_[1] != 0;
    record({Exchange::Op::BulkOut, target, raw ? 1u : 0u, std::vector<uint8_t>(data, data + size), {}});
    bulkLeft_ -= size;
    if (config_.kind == VirtualKind::Nanlyn && target == 130) {
        takeWords(data, size);
    } else {
        takeData(data, size);
        finishFrame();
    }
    written = size;
    return true;
}

bool VirtualBoard::usbRead(uint8_t* out, uint32_t size, uint32_t& got) {
    got = 0;
    if (unplugged || setup_[0] != 0 || bulkLeft_ == 0) return false;
    uint16_t target = static_cast<uint16_t>(setup_[2] | setup_[3] << 8);
    uint32_t n = std::min(size, bulkLeft_);
    if (loggerRunning_ && target == 130) {
        // The stream is not logged: a logging run reads megabytes, and its content is the test.
        loggerBlock(out, n);
        bulkLeft_ -= n;
        got = n;
        return true;
    }
    std::vector<uint8_t> data(n);
    for (uint32_t i = 0; i < n; ++i) data[i] = nextByte();
    std::copy(data.begin(), data.end(), out);
    bulkLeft_ -= n;
    record({Exchange::Op::BulkIn, target, 0, std::move(data), {}});
    got = n;
    return true;
}

// --- PCI card behind its driver: control at offset 0, address register 0xC0, data 0xC8 ---

bool VirtualBoard::pciIoctl(uint32_t code, const uint8_t* in, uint32_t inSize, uint8_t* out, uint32_t outSize,
                            uint32_t& returned) {
    returned = 0;
    if (unplugged || !in || inSize < 4) return false;
    uint32_t reg = le32(in);
    switch (code) {
        case kPciWrite: {
            if (inSize < 8) return false;
            uint8_t v = in[4];
            record({Exchange::Op::PciWrite, reg, 0, {v}, {}});
            if (reg == kPciAddressReg) takeControl(v);
            if (reg == kPciDataReg) takeData(&v, 1);
            return true;
        }
        case kPciWriteBlock: {
            std::vector<uint8_t> d(in + 4, in + inSize);
            record({Exchange::Op::PciWrite, reg, 0, d, {}});
            if (reg == kPciDataReg) {
                takeData(d.data(), d.size());
                finishFrame();
            }
            return true;
        }
        case kPciRead:
        case kPciReadBlock: {
            uint32_t n = code == kPciRead ? 1 : outSize;
            if (!out || outSize < n) return false;
            std::vector<uint8_t> d(n);
            for (uint32_t i = 0; i < n; ++i) d[i] = reg == kPciDataReg ? nextByte() : 0xFF;
            std::copy(d.begin(), d.end(), out);
            record({Exchange::Op::PciRead, reg, 0, d, {}});
            returned = n;
            return true;
        }
        default: return false;
    }
}

// --- processor ports: parallel-port boards and ISA cards ---

bool VirtualBoard::ownsPort(uint32_t port) const {
    uint32_t base = portBase();
    if (config_.place == VirtualPlace::Lpt) return (port >= base && port < base + 8) || port == base + 0x402;
    if (config_.place == VirtualPlace::Isa) return port >= base && port < base + 4;
    return false;
}

void VirtualBoard::portOut(uint32_t port, uint8_t value) {
    record({Exchange::Op::PortOut, port, 0, {value}, {}});
    if (unplugged || config_.place != VirtualPlace::Lpt) return;
    uint32_t base = portBase();
    bool eppMode = (ecr_ >> 5) == 4, byteMode = (ecr_ >> 5) == 1;
    if (port == base + 0x402) {
        ecr_ = value;
    } else if (port == base + 2) {
        parallelControl_ = value;
        if (config_.kind == VirtualKind::Bidi && byteMode) {
            // Strobes of the bi-directional handshake: 0x07 takes the data lines as data, 0x0D as
            // an address-register byte, 0x26 asks the board to drive the lines.
            if (value == 0x07) takeData(&latch_, 1);
            else if (value == 0x0D) takeControl(latch_);
            else if (value == 0x26) {
                latch_ = nextByte();
                driving_ = true;
            } else driving_ = false;
        }
    } else if (port == base + 3 || port == base + 4) {
        bool address = port == base + 3;
        if (config_.kind == VirtualKind::Bidi) {
            if (byteMode && !address) latch_ = value;
            return;
        }
        if (!eppMode) return;
        // An EPP 1.7 board latches only after the host has released the strobes (control 0x04).
        if (config_.kind == VirtualKind::Epp17 && parallelControl_ != 0x04) return;
        if (address) takeControl(value);
        else takeData(&value, 1);
    }
}

uint8_t VirtualBoard::portIn(uint32_t port) {
    uint8_t v = 0xFF;
    if (!unplugged && config_.place == VirtualPlace::Lpt) {
        uint32_t base = portBase();
        bool eppMode = (ecr_ >> 5) == 4, byteMode = (ecr_ >> 5) == 1;
        if (port == base + 0x402) v = ecr_;
        else if (port == base + 2) v = parallelControl_;
        else if (port == base + 4) {
            if (config_.kind == VirtualKind::Bidi) {
                if (byteMode && driving_) v = latch_;
            } else if (eppMode && (config_.kind != VirtualKind::Epp17 || parallelControl_ == 0x24)) {
                v = nextByte();
            }
        }
    }
    record({Exchange::Op::PortIn, port, 0, {v}, {}});
    return v;
}

void VirtualBoard::portOutWord(uint32_t port, uint16_t value) {
    record({Exchange::Op::PortOutWord, port, 0, {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)}, {}});
    if (!unplugged && config_.place == VirtualPlace::Isa && port == portBase()) isaCommand(value);
}

uint16_t VirtualBoard::portInWord(uint32_t port) {
    uint16_t v = 0xFFFF;
    if (!unplugged && config_.place == VirtualPlace::Isa && port == portBase() + 2) {
        v = isaAnswer_;
        if (isaStreamPos_ < isaStream_.size()) v = isaStream_[isaStreamPos_++];
    }
    record({Exchange::Op::PortInWord, port, 0, {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}, {}});
    return v;
}

}  // namespace kv
