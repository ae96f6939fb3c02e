// The capture logic of the virtual boards: trigger memory or masks as programmed, a sample memory
// written from the board's inputs at the start command, the ready and wrap bits, and the memory
// read-back through each path's commands.
//
// The inputs count periods of a 200 MHz base clock: a board sampling at 100 MHz sees every second
// count, so the programmed clock shows in the samples.
// Counters as the boards use them (S = start address, d = the board's trigger pipeline delay):
// pocket boards write S + d samples after the trigger sample, 512K boards S + d + 1, the boards of
// families 1 and 3 with trigger memory u (S + d + 1) - 1 (an address counts u = words-per-sample samples), ISA cards
// keep 8 x ((0x2000 - S) & 0x1FFF) - 32 samples before the trigger, and Nanlyn boards write
// (position word - 2) x group - 1 samples after it.
#include <algorithm>

#include "runtime/board_caps.h"
#include "runtime/mode_table.h"
#include "runtime/slot_record.h"
#include "simulator/virtual_system.h"
#include "transport/board_io.h"

namespace kv {

namespace {
enum : size_t { kTableBytes = 0x10000, kGenericSamples = 0x10000, kGenericWord = 4, kIsaEntries = 0x8000 };
constexpr uint64_t kNanlynBits = (1ull << 36) - 1;
uint32_t value24(const std::vector<uint8_t>& f) {
    auto at = [&](size_t i) { return i < f.size() ? static_cast<uint32_t>(f[i]) : 0u; };
    return at(4) | at(5) << 8 | at(6) << 16;
}
// The sample clock as the boards derive it from their clock registers, as a number of 5 ns periods
// of the 200 MHz base per sample (1 for an external clock or a rate the board cannot tell).
const uint64_t kListRates[20] = {200000000, 100000000, 50000000, 20000000, 10000000, 5000000, 2000000,
                                 1000000,   500000,    200000,   100000,   50000,    20000,    10000,
                                 5000,      2000,      1000,     500,      200,      100};
const uint8_t kFamily1Control[20] = {240, 208, 152, 136, 128, 153, 137, 129, 154, 138,
                                     130, 155, 139, 131, 156, 140, 132, 157, 141, 133};
const uint8_t kPocketControl[20] = {80, 80, 24, 8, 0, 25, 9, 1, 26, 10, 2, 27, 11, 3, 28, 12, 4, 29, 13, 5};
const int kIsaCodes[20] = {0, 1, 8, 16, 24, 9, 17, 25, 10, 18, 26, 11, 19, 27, 12, 20, 28, 13, 21, 29};
const uint64_t kF3Base[4] = {100000000, 40000000, 125000000, 4000000};
const uint64_t kF3Divider[5] = {1, 10, 100, 1000, 10000};

uint64_t periodsOf(uint64_t rate) { return rate == 0 || rate > 200000000 ? 1 : 200000000 / rate; }

template <typename T>
uint64_t listPeriods(const T (&list)[20], int value) {
    for (int i = 0; i < 20; ++i)
        if (static_cast<int>(list[i]) == value) return periodsOf(kListRates[i]);
    return 1;
}

}  // namespace

uint64_t VirtualBoard::clockPeriods() const {
    const int control = controlRegister_;
    switch (config_.family) {
        case 0: return listPeriods(kIsaCodes, control);
        case 1: return clockSelect_ == 0x60 ? 1 : listPeriods(kFamily1Control, control);
        case 2:
        case 5:
        case 6:
            // The synthesizer boards take their rate from the synthesizer (control 67 and 99 select
            // the external clock).
            if ((config_.code & 0xF0FF) == 0x2016) return control == 67 || control == 99 ? 1 : periodsOf(synthesizerHz());
            if (control < 0 || (control & 0x9F) == 0x9F) return 1;
            return listPeriods(kPocketControl, control);
        case 3: {
            if ((clockSelect_ & 3) == 3 || control < 0) return 1;
            const int div = control & 7, presc = (control >> 3) & 3;
            if (div > 4) return 1;
            return periodsOf(kF3Base[clockSelect_ & 3] / kF3Divider[div] / (1u << presc));
        }
        default: return 1;
    }
}

// Start: data falls while the clock is high; stop: data rises while the clock is high; a bit is
// taken on each rising clock, eight to a byte, the ninth is the acknowledge. A transfer is the
// device address 0xD2, the first register, then register contents.
void VirtualBoard::synthPins(uint8_t control) {
    const bool sda = control & 0x04, scl = control & 0x08;
    if (synthScl_ && scl && synthSda_ && !sda) {
        synthActive_ = true;
        synthBits_ = synthByteCount_ = 0;
    } else if (synthScl_ && scl && !synthSda_ && sda) {
        synthActive_ = false;
    } else if (synthActive_ && !synthScl_ && scl) {
        if (synthBits_ < 8) synthByte_ = static_cast<uint8_t>(synthByte_ << 1 | (sda ? 1 : 0));
        if (++synthBits_ == 9) {
            if (synthByteCount_ == 1) synthReg_ = synthByte_;
            else if (synthByteCount_ > 1) synthRegs_[synthReg_++] = synthByte_;
            ++synthByteCount_;
            synthBits_ = 0;
        }
    }
    synthSda_ = sda;
    synthScl_ = scl;
}

uint64_t VirtualBoard::synthesizerHz() const {
    // Register 0x44 switches the output: 0xE0 is off.
    if (synthRegs_[0x44] == 0xE0 || synthRegs_[4] == 0) return 0;
    const uint8_t r4 = synthRegs_[4], r16 = synthRegs_[16], r17 = synthRegs_[17];
    if (r16 == 0xC9) return 130000000ull + r17 * 500000ull;
    if ((r16 & 0xFE) == 0xD0) return ((r16 & 1) * 256ull + r17 + 4) * 250000ull;
    const uint64_t reference = (r4 & 0x80) ? 1000000 : 100000000;
    static const uint64_t kPrescale[4] = {1, 10, 100, 200};
    const uint64_t divider = r4 & 0x7F;
    return reference / (divider * kPrescale[controlRegister_ & 3]);
}

void VirtualBoard::setUpCapture() {
    int ifc = kIfUsb20;
    switch (config_.kind) {
        case VirtualKind::Isa: ifc = kIfIsa268; break;
        case VirtualKind::Pocket: ifc = kIfUsbPocket; break;
        case VirtualKind::Pci: ifc = kIfPci; break;
        case VirtualKind::Epp19: ifc = kIfEpp19At378; break;
        case VirtualKind::Epp17: ifc = kIfEpp17At378; break;
        case VirtualKind::Bidi: ifc = kIfBidiAt378; break;
        case VirtualKind::Usb2Epp: ifc = kIfUsb2Epp; break;
        default: break;
    }
    const int code = config_.code & ~0x800;
    const BoardCaps c = boardCapabilities(ifc, config_.family, code);
    pipeline_ = c.triggerDelay;
    unit_ = std::max(1, c.wordsPerSample);
    wrapBit_ = c.wrapBit;
    readyBit_ = c.readyMask;
    if (config_.kind == VirtualKind::Nanlyn) {
        path_ = Path::Nanlyn;
        ring_ = 0;  // set by the capture frames
    } else if (c.is4K) {
        path_ = Path::Isa;
        ring_ = kIsaEntries;
    } else if (c.isPocket) {
        path_ = Path::Pocket;
        ring_ = static_cast<size_t>(c.depth);
    } else if (c.is512K) {
        path_ = Path::Big;
        ring_ = static_cast<size_t>(c.depth);
    } else {
        path_ = Path::Generic;
        ring_ = kGenericSamples;
    }
}

int VirtualBoard::groupOfBank(int bank) const {
    const int b = bank - 8;
    if (b < 0 || b > 7) return -1;
    return 2 * (b % 4) + (b >= 4 ? 1 : 0);
}

uint32_t VirtualBoard::identitySecond() const {
    if (path_ == Path::None || (!running_ && !ready_ && write_ == 0 && !wrapped_)) return config_.second;
    // Trigger-memory boards report the last 4-byte word of a group's memory written.
    if (path_ == Path::Generic)
        return static_cast<uint32_t>(((write_ + ring_ - 1) % ring_ / kGenericWord) & 0x3FFF) | (wrapped_ ? wrapBit_ : 0);
    return static_cast<uint32_t>(write_) | (wrapped_ ? wrapBit_ : 0);
}

uint32_t VirtualBoard::identityThird() const {
    if (path_ == Path::None || (!running_ && !ready_)) return config_.third;
    // Trigger-memory boards latch the first word of the capture window in bits 0-13.
    const uint32_t window = path_ == Path::Generic ? windowWord & 0x3FFFu : 0u;
    return (ready_ ? readyBit_ : 0) | window;
}

void VirtualBoard::storeSample(uint64_t n) {
    if (memory_.size() != ring_) memory_.assign(ring_, 0);
    if (ring_ == 0) return;
    memory_[write_] = signal(n);
    if (++write_ == ring_) {
        write_ = 0;
        wrapped_ = true;
    }
}

bool VirtualBoard::triggerMatches(uint64_t n) {
    const uint64_t v = signal(n);
    switch (path_) {
        case Path::Pocket: {
            // A bit set in A (first sample) or C (second) asks for a low channel.
            const uint16_t care = static_cast<uint16_t>(~pocketMask_);
            auto fits = [&](uint64_t x, uint16_t w) { return ((static_cast<uint16_t>(x) ^ static_cast<uint16_t>(~w)) & care) == 0; };
            if (pocketSlots_ == 0) return fits(v, pocketA_);
            return n > 0 && fits(signal(n - 1), pocketA_) && fits(v, pocketC_);
        }
        case Path::Generic:
        case Path::Big: {
            // The slots of the sequence must be met in order; the last one fires.
            int slots = 1;
            if (path_ == Path::Generic) slots = std::max(1, static_cast<int>(addressRegs_[4]));
            else for (int k = 0; k < 16; ++k) if (addressRegs_[4] == (1u << k)) slots = k + 1;
            slots = std::min(slots, 16);
            auto slotBit = [&](int slot, uint64_t x) {
                const int base = (path_ == Path::Big && slot >= 8) ? 12 : 8;
                const int bit = slot % 8;
                for (int g = 0; g < 4; ++g) {
                    const std::vector<uint8_t>& t = tables_[base + g];
                    if (t.size() < kTableBytes) continue;
                    uint32_t at = static_cast<uint32_t>(x >> (16 * g)) & 0xFFFF;
                    if (path_ == Path::Big) at = 0xFFFF - at;
                    if (!((t[at] >> bit) & 1)) return false;
                }
                return true;
            };
            if (n + 1 < static_cast<uint64_t>(slots)) return false;
            for (int k = 0; k < slots; ++k)
                if (!slotBit(k, signal(n - static_cast<uint64_t>(slots - 1 - k)))) return false;
            return true;
        }
        case Path::Isa: {
            for (size_t r = 0; r < isaChain_.size() && r < 60; ++r) {
                // The chain fills from its far end: the second half (channels 30-59) goes in first,
                // each half from its last condition down.
                const int channel = r < 30 ? static_cast<int>(59 - r) : static_cast<int>(59 - r);
                const uint8_t cond = isaChain_[r];
                const bool now = (v >> channel) & 1, before = n > 0 && ((signal(n - 1) >> channel) & 1);
                if (cond == 0 && now) return false;
                if (cond == 6 && !now) return false;
                if (cond == 4 && !(now && !before)) return false;
                if (cond == 2 && !(!now && before)) return false;
            }
            return true;
        }
        case Path::Nanlyn: return ((v ^ nHigh_) & nCare_) == 0;
        default: return true;
    }
}

void VirtualBoard::runCapture() {
    memory_.assign(ring_, 0);
    write_ = 0;
    wrapped_ = false;
    ready_ = false;
    running_ = true;
    triggerSample_ = -1;
    nStoppedEarly_ = false;
    uint64_t post = 0;
    switch (path_) {
        case Path::Pocket: post = static_cast<uint64_t>(std::max<int64_t>(0, captureAddress_ + pipeline_)); break;
        case Path::Big: post = static_cast<uint64_t>(std::max<int64_t>(0, captureAddress_ + pipeline_ + 1)); break;
        case Path::Generic:
            post = static_cast<uint64_t>(std::max<int64_t>(0, unit_ * (captureAddress_ + pipeline_ + 1) - 1));
            break;
        case Path::Isa: {
            const int64_t before = 8 * ((0x2000 - captureAddress_) & 0x1FFF) - 32;
            post = static_cast<uint64_t>(std::max<int64_t>(0, static_cast<int64_t>(kIsaEntries) - before - 1));
            break;
        }
        case Path::Nanlyn: {
            const int pos = modePosition(loadedMode_);
            const int64_t phases = pos >= 0 && kModeTable[pos].highestRate >= 4000000000ull ? 20 : 10;
            if (nFast_) {
                // 2 and 4 GHz: the start word counts words of 10 or 20 samples, 5 of them pipeline.
                post = static_cast<uint64_t>(std::max<int64_t>(0, phases * (static_cast<int64_t>(nStart_) + 5) - 1));
            } else {
                const int64_t g = std::max<int64_t>(1, nGroup_ + 1);
                post = static_cast<uint64_t>(std::max<int64_t>(0, (static_cast<int64_t>(nPosition_) - 2) * g - 1));
            }
            break;
        }
        default: break;
    }
    uint32_t matches = 0;
    uint64_t left = 0;
    bool fired = false;
    for (clock_ = 0; clock_ < sampleLimit; ++clock_) {
        if (fired && left == 0) break;
        storeSample(clock_);
        if (fired) {
            --left;
        } else if (triggerMatches(clock_) && matches++ == passCount_) {
            fired = true;
            triggerSample_ = static_cast<int64_t>(clock_);
            left = post;
        }
    }
    // Trigger-memory boards write whole 4-byte memory words: the last one is filled up.
    if (path_ == Path::Generic)
        while (fired && left == 0 && write_ % kGenericWord != 0) storeSample(clock_++);
    if (fired && left == 0) {
        running_ = false;
        ready_ = true;
    }
}

void VirtualBoard::stopCaptureLogic() {
    if (running_) nStoppedEarly_ = true;
    running_ = false;
}

std::vector<uint8_t> VirtualBoard::groupStream(int group, bool fromOldest) {
    std::vector<uint8_t> out;
    if (memory_.size() != ring_) memory_.assign(ring_, 0);
    auto byteAt = [&](size_t a) { return static_cast<uint8_t>(memory_[a % ring_] >> (8 * group)); };
    if (path_ == Path::Generic) {
        out.reserve(ring_ + 256);
        if (wrapped_) {
            // The read pipeline starts 256 bytes into the bank and sends its first 256 bytes last.
            for (size_t a = 256; a < ring_; ++a) out.push_back(byteAt(a));
            for (size_t a = 0; a < 256; ++a) out.push_back(byteAt(a));
            for (size_t a = 0; a < 256; ++a) out.push_back(byteAt(a));
        } else {
            for (size_t a = 0; a < ring_; ++a) out.push_back(byteAt(a));
        }
        return out;
    }
    // 512K boards stream from the programmed address + 1 on, the depth and 16 bytes more.
    const size_t from = fromOldest ? static_cast<size_t>(captureAddress_ + 1) % ring_ : 0;
    out.reserve(ring_ + 16);
    for (size_t i = 0; i < ring_ + 16; ++i) out.push_back(byteAt(from + i));
    return out;
}

bool VirtualBoard::captureFrame(const std::vector<uint8_t>& f) {
    if (f.size() < 4) return false;
    const uint8_t cmd = f[3];
    const bool f1 = config_.family == 1;
    switch (cmd) {
        case 0x00: stopCaptureLogic(); return false;
        case 0x01:
            if (f.size() == 4) {
                signalStep = clockPeriods();
                runCapture();
                return true;
            }
            return false;
        case 0x02:
            if (path_ == Path::Pocket) {
                if (f.size() >= 9) {
                    pocketA_ = static_cast<uint16_t>(f[4] | f[5] << 8);
                    pocketC_ = static_cast<uint16_t>(f[6] | f[7] << 8);
                    pocketSlots_ = f[8];
                }
                return true;
            }
            if (f.size() == 4) {  // load: the next 65,537 data bytes are the bank's table
                tableLeft_ = kTableBytes + 1;
                tableBank_ = bank_ & 15;
                tables_[tableBank_].clear();
                return true;
            }
            return false;
        case 0x05:
            if (path_ == Path::Pocket && f.size() >= 6) pocketMask_ = static_cast<uint16_t>(f[4] | f[5] << 8);
            return path_ == Path::Pocket;
        case 0x09:
            if (f1 || f.size() < 5) return false;
            bank_ = f[4];
            if (path_ == Path::Pocket && (bank_ == 0 || bank_ == 1)) {
                // The pocket boards answer a bank selection with the bank's memory: 16 bits a sample.
                std::vector<uint8_t> bytes;
                bytes.reserve(ring_ * 2);
                if (memory_.size() != ring_) memory_.assign(ring_, 0);
                for (size_t a = 0; a < ring_; ++a) {
                    const uint16_t h = static_cast<uint16_t>(memory_[a] >> (16 * bank_));
                    bytes.push_back(static_cast<uint8_t>(h));
                    bytes.push_back(static_cast<uint8_t>(h >> 8));
                }
                answer(std::move(bytes));
            }
            return true;
        case 0x0A: passCount_ = value24(f); return true;
        case 0x0D: delayCount_ = value24(f); return true;
        case 0x0E: modeRegister_ = static_cast<uint8_t>(value24(f)); return true;
        case 0x0F: prefill_ = value24(f); return true;
        case 0x20:
            if (f.size() < 5) return false;
            if (f1) {
                clockSelect_ = f[4] & 0xF0;
                bank_ = f[4] & 0x0F;
            } else {
                clockSelect_ = f[4];
            }
            return true;
        default: return false;
    }
}

void VirtualBoard::captureWords(const std::vector<uint16_t>& w) {
    bool statusAsked = false;
    bool divider = false;  // a capture frame below 2 GHz carries the clock divider
    for (size_t i = 0; i < w.size(); ++i) {
        const uint16_t c = w[i];
        auto arg = [&](size_t k) { return i + k < w.size() ? w[i + k] : 0; };
        switch (c) {
            case 0x22: nValue_ = arg(1) | static_cast<uint32_t>(arg(2)) << 16; i += 2; break;
            case 0x0F: nStart_ = nValue_; ++i; break;
            case 0x06: nPosition_ = nValue_; ++i; break;
            case 0x24: nDivider_ = nValue_; divider = true; ++i; break;
            case 0x25: nGroup_ = arg(1); ++i; break;
            case 0x28: ++i; break;
            case 0x29: nWidth_ = nValue_; ++i; break;
            case 0x0A: nPass_ = nValue_; ++i; break;
            case 0x20: ++i; break;  // status-request byte
            case 0x00: ++i; break;
            case 0x30: break;
            case 0x01: {
                const int pos = modePosition(loadedMode_);
                ring_ = pos >= 0 ? static_cast<size_t>(kModeTable[pos].usableDepth / kModeTable[pos].samplesPerWord) : 4096;
                passCount_ = nPass_;
                signalStep = divider ? nDivider_ + 1 : 1;
                nFast_ = !divider;
                runCapture();
                return;
            }
            case 0x04: statusAsked = true; break;
            case 0x03: {
                if (nFast_) {
                    // 2 and 4 GHz: the whole memory from its oldest sample, after as many invalid
                    // samples as the status block's phase says.
                    std::vector<uint8_t> bytes(static_cast<size_t>(fastPhase) * 8, 0);
                    const size_t oldest = wrapped_ ? write_ : 0;
                    for (size_t k = 0; k < ring_ + 64 && ring_; ++k) {
                        const uint64_t v = memory_.size() == ring_ ? memory_[(oldest + k) % ring_] : 0;
                        for (int b = 0; b < 8; ++b) bytes.push_back(static_cast<uint8_t>(v >> (8 * b)));
                    }
                    answer(std::move(bytes));
                    return;
                }
                // A completed capture's read starts with its 288-byte record, a stopped one's with
                // an 80-byte header; then the memory from the programmed address on.
                std::vector<uint8_t> bytes(nStoppedEarly_ ? 80 : 288, 0);
                const size_t n = ring_ + 64;
                for (size_t k = 0; k < n && ring_; ++k) {
                    const uint64_t v = memory_.size() == ring_ ? memory_[(nStart_ + k) % ring_] : 0;
                    for (int b = 0; b < 8; ++b) bytes.push_back(static_cast<uint8_t>(v >> (8 * b)));
                }
                answer(std::move(bytes));
                return;
            }
            default: break;
        }
    }
    if (statusAsked) answer(nanlynStatusBlock());
}

std::vector<uint8_t> VirtualBoard::nanlynStatusBlock() const {
    std::vector<uint8_t> s(36, 0);
    const uint16_t status = static_cast<uint16_t>((ready_ ? 1 : 0) | (running_ ? 2 : 0));
    s[0] = static_cast<uint8_t>(status);
    // The write position, in both fields (bit 7 of the status selects which one the host uses).
    for (int at : {2, 6}) {
        s[at] = static_cast<uint8_t>(write_);
        s[at + 1] = static_cast<uint8_t>(write_ >> 8);
    }
    const uint64_t live = signal(clock_);
    for (int b = 0; b < 5; ++b) {
        s[10 + b] = static_cast<uint8_t>(live >> (8 * b));
        s[16 + b] = static_cast<uint8_t>(live >> (8 * b));
    }
    // Edge count A and period count B of channel 0 over the last measurement.
    const uint32_t a = 1000, b = 2000;
    s[30] = static_cast<uint8_t>(fastPhase);
    s[31] = static_cast<uint8_t>(fastPhase >> 8);
    s[22] = static_cast<uint8_t>(a);
    s[23] = static_cast<uint8_t>(a >> 8);
    s[26] = static_cast<uint8_t>(b);
    s[27] = static_cast<uint8_t>(b >> 8);
    return s;
}

bool VirtualBoard::isaCaptureCommand(uint16_t word) {
    switch (word & 0xFF00) {
        case 0x1C00: stopCaptureLogic(); return true;
        case 0x1D00:
            signalStep = clockPeriods();
            runCapture();
            return true;
        case 0x8400:
            if (word == 0x8403) {
                isaAnswer_ = static_cast<uint16_t>((ready_ ? 2 : 0) | (isaSwapped ? 1 : 0));
                return true;
            }
            return false;
        case 0x9C00:
            if (isaChain_.size() >= 60) isaChain_.clear();
            isaChain_.push_back(static_cast<uint8_t>(word & 0xFF));
            return true;
        default:
            if ((word & 0xF000) == 0x6000) {
                passCount_ = word & 0x1FF;
                return true;
            }
            if ((word & 0xFFF0) == 0xB000) {
                // One bank of the memory in time order from the oldest entry: lane k of an entry
                // holds bits 16 (k mod 4) to 16 (k mod 4) + 15 of its sample.
                static const int kSwappedLane[8] = {2, 3, 0, 1, 6, 7, 4, 5};
                const int lane = isaSwapped ? kSwappedLane[word & 7] : (word & 7);
                isaStream_.clear();
                isaStreamPos_ = 0;
                if (memory_.size() != ring_) memory_.assign(ring_, 0);
                const size_t oldest = wrapped_ ? write_ : 0;
                for (size_t i = 0; i < ring_; ++i)
                    isaStream_.push_back(static_cast<uint16_t>(memory_[(oldest + i) % ring_] >> (16 * (lane % 4))));
                return true;
            }
            return false;
    }
}

}  // namespace kv
