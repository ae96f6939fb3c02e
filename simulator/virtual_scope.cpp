// The virtual USB scope (see virtual_scope.h). It decodes what the library sends from the scope's
// side, with its own tables: it never calls the library's code, so the two sides check each other.
#include "simulator/virtual_scope.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

namespace kv {
namespace {

constexpr uint16_t kVendor = 0x05E3;
constexpr uint16_t kScopeProduct = 0x0140;
enum : uint32_t { kGetIds = 0x80002018, kGetDescriptor = 0x80002020, kReadRegs = 0x8000200C, kWriteRegs = 0x80002010 };
constexpr uint8_t kWake = 143;
constexpr double kPi = 3.14159265358979323846;
constexpr int kCodesPerDivision = 64;

uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint64_t le64(const uint8_t* p) { return le32(p) | static_cast<uint64_t>(le32(p + 4)) << 32; }

// Arguments that follow each command byte; -1: not a command of the scope.
int argumentBytes(uint8_t cmd) {
    switch (cmd) {
        case 0x01: return 4;   // image length (the image follows)
        case 0x04: case 0x05: case 0x08: case 0x11: case 0x12: case 0x13: return 0;
        case 0x06: return 3;   // channel, front-end code
        case 0x07: return 5;   // channel, offset
        case 0x10: return 37;  // capture set-up
        case 0x20: return 8;   // first word, count
        default: return -1;
    }
}

// The front end's relay settings, as its two channels decode them: millivolts per division.
struct FrontEndRow {
    uint16_t first, second;
    double millivolts;
};
const FrontEndRow kFrontEnd[] = {
    {0x0101, 0xC404, 10},   {0x1101, 0x8404, 20},   {0x2101, 0x4404, 50},   {0x0106, 0xC403, 100},
    {0x1106, 0x8403, 200},  {0x2106, 0x4403, 500},  {0x0606, 0xC303, 1000}, {0x1606, 0x8303, 2000},
    {0x2606, 0x4303, 5000}, {0x3606, 0x0303, 10000},
};

bool allDigits(const std::string& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool parseNumber(const std::string& s, double& out) {
    if (s.empty()) return false;
    char* end = nullptr;
    out = std::strtod(s.c_str(), &end);
    return end && *end == 0 && out > 0;
}

bool parseSignal(const std::string& text, ScopeSignal& s, std::string& why) {
    std::string t = text;
    for (char& c : t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (t.compare(0, 3, "tie") == 0) {
        s.wave = ScopeWave::Tied;
        const size_t at = t.find('@');
        const std::string ch = t.substr(3, at == std::string::npos ? std::string::npos : at - 3);
        if (ch.size() > 2 || !allDigits(ch) || std::stoi(ch) > 63) {
            why = "bad logic channel in '" + text + "'";
            return false;
        }
        s.channel = std::stoi(ch);
        s.phase = uint64_t{1} << s.channel;
        if (at != std::string::npos) {
            char* end = nullptr;
            s.phase = std::strtoull(t.c_str() + at + 1, &end, 16);
            if (!end || *end || at + 1 == t.size()) {
                why = "bad phase in '" + text + "'";
                return false;
            }
        }
        return true;
    }
    const size_t at = t.find('@'), slash = t.find('/');
    const std::string kind = t.substr(0, std::min(at, slash));
    if (kind == "sine") s.wave = ScopeWave::Sine;
    else if (kind == "square") s.wave = ScopeWave::Square;
    else if (kind == "ramp") s.wave = ScopeWave::Ramp;
    else {
        why = "unknown signal '" + text + "'";
        return false;
    }
    double v = 0;
    if (at != std::string::npos) {
        if (!parseNumber(t.substr(at + 1, slash == std::string::npos ? std::string::npos : slash - at - 1), v)) {
            why = "bad frequency in '" + text + "'";
            return false;
        }
        s.hz = v;
    }
    if (slash != std::string::npos) {
        if (!parseNumber(t.substr(slash + 1), v)) {
            why = "bad amplitude in '" + text + "'";
            return false;
        }
        s.volts = v / 1000.0;
    }
    return true;
}

}  // namespace

VirtualScopeConfig::VirtualScopeConfig() {
    signal[0].wave = ScopeWave::Sine;
    signal[1].wave = ScopeWave::Square;
    signal[1].hz = 50000;
}

double scopeSignalVolts(const ScopeSignal& s, double seconds) {
    switch (s.wave) {
        case ScopeWave::Sine: return s.volts * std::sin(2 * kPi * s.hz * seconds);
        case ScopeWave::Square: {
            const double f = seconds * s.hz - std::floor(seconds * s.hz);
            return f < 0.5 ? s.volts : -s.volts;
        }
        case ScopeWave::Ramp: {
            const double f = seconds * s.hz - std::floor(seconds * s.hz);
            return -s.volts + 2 * s.volts * f;
        }
        case ScopeWave::Tied: {
            // The board's input count at that time, and its bit c.
            const int64_t count = static_cast<int64_t>(s.phase) + static_cast<int64_t>(std::floor(seconds / kBoardInputPeriod + 1e-9));
            return ((static_cast<uint64_t>(count) >> s.channel) & 1) ? kTiedHighVolts : 0.0;
        }
    }
    return 0;
}

bool parseScopeOptions(const std::vector<std::string>& options, VirtualScopeConfig& out, std::string& why) {
    for (const std::string& o : options) {
        std::string lo = o;
        for (char& c : lo) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (lo.compare(0, 7, "serial=") == 0 && o.size() > 7 && o.size() <= 7 + 16) out.serial = o.substr(7);
        else if (lo.compare(0, 4, "ch1=") == 0) {
            if (!parseSignal(o.substr(4), out.signal[0], why)) return false;
        } else if (lo.compare(0, 4, "ch2=") == 0) {
            if (!parseSignal(o.substr(4), out.signal[1], why)) return false;
        } else if (lo.compare(0, 6, "polls=") == 0 && lo.size() < 12 && allDigits(lo.substr(6))) {
            out.polls = std::stoi(lo.substr(6));
        } else if (lo == "hold") out.hold = true;
        else if (lo == "usb11") out.usb11 = true;
        else {
            why = "unknown scope option '" + o + "'";
            return false;
        }
    }
    return true;
}

VirtualScope::VirtualScope(const VirtualScopeConfig& config) : config_(config) {}

std::vector<std::string> VirtualScope::logLines() const { return exchangeLines(log_); }

void VirtualScope::record(Exchange e) {
    if (!quiet) appendExchange(log_, file_, name(), std::move(e));
}

uint16_t VirtualScope::imageId() const { return image_.size() >= 2 ? le16(image_.data()) : 0; }

double VirtualScope::rangeVolts(int channel) const {
    for (const FrontEndRow& r : kFrontEnd)
        if ((channel & 1 ? r.second : r.first) == frontEnd_[channel & 1]) return r.millivolts / 1000.0;
    return 1.0;  // relays at rest: 1 V per division
}

int VirtualScope::codeOf(int channel, double volts) const {
    const long code = 512 + std::lround(volts / rangeVolts(channel) * kCodesPerDivision) + offset_[channel & 1];
    return static_cast<int>(std::max(0L, std::min(1023L, code)));
}

uint32_t VirtualScope::thirdWord() const {
    return (triggered_ ? 1u << 10 : 0) | (armed_ ? 1u << 11 : 0) | (full_ ? 1u << 12 : 0) | (overflow_ ? 1u << 13 : 0);
}

double VirtualScope::wordTime(size_t k) const {
    if (path_ == 2) {  // equivalent time: pass j holds the samples j, j + passes, j + 2 x passes, ...
        const size_t perPass = samples_ ? samples_ : 1;
        const double i = static_cast<double>((k % perPass) * static_cast<size_t>(passes_) + k / perPass);
        return (i - etTrigger_) / (static_cast<double>(clockHz_) * passes_);
    }
    const double rate = static_cast<double>(clockHz_) * (path_ == 1 ? 2 : 1);
    return (static_cast<double>(k) - static_cast<double>(triggerIndex_)) / rate;
}

// The trigger: the memory is filled as the inputs stood around it. Direct sampling keeps taking
// samples from the one before the trigger until the post count is reached, so the trigger lands at
// samples - post + 1.
void VirtualScope::fire() {
    running_ = false;
    triggered_ = full_ = true;
    const size_t words = static_cast<size_t>(samples_) * (path_ == 2 ? static_cast<size_t>(passes_) : 1);
    memory_.assign(words, 0);
    triggerIndex_ = path_ == 2 ? etTrigger_ : static_cast<int64_t>(samples_) - post_ + 1;
    if (clockHz_ == 0) return;
    for (size_t k = 0; k < words; ++k) {
        const double t = wordTime(k);
        const int c1 = codeOf(0, scopeSignalVolts(config_.signal[0], t));
        const int c2 = codeOf(1, scopeSignalVolts(config_.signal[1], t));
        const bool limit = c1 == 0 || c1 == 1023 || c2 == 0 || c2 == 1023;
        if (limit) overflow_ = true;
        const bool mark = path_ == 2 ? std::fabs(t) < 0.5 / (static_cast<double>(clockHz_) * passes_)
                                     : static_cast<int64_t>(k) == triggerIndex_;
        const uint32_t status = (mark ? 1u : 0) | (limit ? 2u : 0);
        memory_[k] = static_cast<uint32_t>(c1) | static_cast<uint32_t>(c2) << 10 | status << 20 |
                     static_cast<uint32_t>(threshold_ & 0x3FF) << 22;
    }
}

void VirtualScope::act(const std::vector<uint8_t>& f) {
    frames_.push_back(f);
    const uint8_t* a = f.data() + 4;
    switch (f[3]) {
        case 0x04: {
            const uint32_t second = samples_ & 0xFFFFFF, third = thirdWord();
            commandAnswer_ = {static_cast<uint8_t>(config_.model >> 8), static_cast<uint8_t>(config_.model),
                              static_cast<uint8_t>(second >> 16), static_cast<uint8_t>(second >> 8),
                              static_cast<uint8_t>(second), static_cast<uint8_t>(third >> 24),
                              static_cast<uint8_t>(third >> 16), static_cast<uint8_t>(third >> 8),
                              static_cast<uint8_t>(third)};
            break;
        }
        case 0x05: {
            commandAnswer_.assign(88, 0);
            const std::string model = config_.model == 0xABCE ? "ZS-1202" : "ZS-1102";
            const std::string second = "Ombix USB DSO";
            std::copy(model.begin(), model.end(), commandAnswer_.begin());
            std::copy(second.begin(), second.end(), commandAnswer_.begin() + 32);
            std::copy(config_.serial.begin(), config_.serial.begin() + std::min<size_t>(16, config_.serial.size()),
                      commandAnswer_.begin() + 64);
            commandAnswer_[80] = 2;  // hardware revision 2
            commandAnswer_[84] = 1;  // firmware 1.0
            break;
        }
        case 0x06: frontEnd_[a[0] & 1] = le16(a + 1); break;
        case 0x07: offset_[a[0] & 1] = static_cast<int32_t>(le32(a + 1)); break;
        case 0x08: overflow_ = false; break;
        case 0x10:
            clockHz_ = le32(a);
            path_ = a[4];
            passes_ = std::max<int>(1, a[5]);
            samples_ = le32(a + 6);
            address_ = le32(a + 10);
            post_ = le32(a + 14);
            etTrigger_ = le32(a + 18);
            threshold_ = le16(a + 22);
            source_ = a[24];
            flags_ = le32(a + 25);
            holdOff_ = le64(a + 29);
            running_ = armed_ = triggered_ = full_ = false;
            break;
        case 0x11:
            if (image_.empty() || samples_ == 0) break;  // no logic loaded or nothing set up: nothing runs
            armed_ = running_ = true;
            triggered_ = full_ = false;
            pollsLeft_ = config_.polls;
            break;
        case 0x12:
            if (running_) fire();
            armed_ = false;
            break;
        case 0x13:
            if (running_) fire();
            break;
        case 0x20: {
            const uint32_t first = le32(a), count = le32(a + 4);
            dataAnswer_.clear();
            dataAnswer_.reserve(static_cast<size_t>(count) * 4);
            for (uint32_t i = 0; i < count; ++i) {
                const size_t at = static_cast<size_t>(first) + i;
                const uint32_t w = at < memory_.size() ? memory_[at] : 0;
                for (int b = 0; b < 4; ++b) dataAnswer_.push_back(static_cast<uint8_t>(w >> (8 * b)));
            }
            break;
        }
        default: break;
    }
}

void VirtualScope::takeCommandBytes(const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        if (imageLeft_) {
            image_.push_back(p[i]);
            --imageLeft_;
            continue;
        }
        pending_.push_back(p[i]);
        // Bytes that cannot start a frame are dropped, as the scope's frame decoder resynchronises.
        static const uint8_t kHead[3] = {0x5A, 0x0F, 0x55};
        if (pending_.size() <= 3 && pending_.back() != kHead[pending_.size() - 1]) {
            pending_.clear();
            continue;
        }
        if (pending_.size() < 4) continue;
        const int args = argumentBytes(pending_[3]);
        if (args < 0) {
            pending_.clear();
            continue;
        }
        if (pending_.size() < static_cast<size_t>(4 + args)) continue;
        if (pending_[3] == 0x01) {
            image_.clear();
            imageLeft_ = le32(pending_.data() + 4);
        }
        act(pending_);
        pending_.clear();
    }
}

uint8_t VirtualScope::registerValue(uint32_t reg, uint32_t index) {
    switch (reg) {
        case 0x84:
            if (running_ && !config_.hold) {
                if (pollsLeft_ > 0) --pollsLeft_;
                else fire();
            }
            return running_ ? 1 : 0;
        case 0x8E: return index == 32 ? 1 : 0;  // always ready; attached at high speed
        default: return 0;
    }
}

void VirtualScope::registerWrite(uint32_t reg, const uint8_t* data, uint32_t length) {
    if (length == 0) return;
    if (reg == 0x82 && length >= 8) {
        std::copy(data, data + 8, setup_);
        bulkLeft_ = le32(data + 4);
    } else if (reg == 0x83) {
        control_ = data[0];
        if (control_ == kWake) {  // the logic restarts: the image must be loaded again
            image_.clear();
            imageLeft_ = 0;
            pending_.clear();
            running_ = armed_ = false;
        }
    }
}

bool VirtualScope::usbIoctl(uint32_t code, const uint8_t* in, uint32_t inSize, uint8_t* out, uint32_t outSize,
                            uint32_t& returned, void* dataStage) {
    returned = 0;
    if (unplugged) return false;
    const uint16_t bcd = config_.usb11 ? 0x0110 : 0x0200;
    switch (code) {
        case kGetIds: {
            record({Exchange::Op::Ioctl, code, 0, {}, {}});
            if (!out || outSize < 4) return false;
            const uint8_t ids[4] = {static_cast<uint8_t>(kVendor), static_cast<uint8_t>(kVendor >> 8),
                                    static_cast<uint8_t>(kScopeProduct), static_cast<uint8_t>(kScopeProduct >> 8)};
            std::fill(out, out + outSize, 0);
            std::copy(ids, ids + 4, out);
            returned = std::min<uint32_t>(outSize, 8);
            return true;
        }
        case kGetDescriptor: {
            record({Exchange::Op::Ioctl, code, 0, {}, {}});
            if (!in || inSize < 2 || in[0] != 1 || in[1] != 0 || !out || outSize < 18) return false;
            const uint8_t d[18] = {18, 1, static_cast<uint8_t>(bcd), static_cast<uint8_t>(bcd >> 8), 0xFF, 0, 0, 64,
                                   static_cast<uint8_t>(kVendor), static_cast<uint8_t>(kVendor >> 8),
                                   static_cast<uint8_t>(kScopeProduct), static_cast<uint8_t>(kScopeProduct >> 8),
                                   0, 1, 1, 2, 0, 1};
            std::copy(d, d + 18, out);
            returned = 18;
            return true;
        }
        case kReadRegs:
        case kWriteRegs: {
            if (!in || inSize < 16) return false;
            const uint32_t reg = le32(in) & 0xFFFF, length = le32(in + 4) & 0xFFFF, index = le32(in + 12) & 0xFFFF;
            uint8_t* stage = static_cast<uint8_t*>(dataStage);
            if (!stage && sizeof(void*) == 4) stage = reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(le32(in + 8)));
            if (code == kReadRegs) {
                uint8_t* dest = (out && outSize >= length) ? out : stage;
                if (!dest && length) return false;
                std::vector<uint8_t> got;
                for (uint32_t i = 0; i < length; ++i) got.push_back(registerValue(reg, index));
                std::copy(got.begin(), got.end(), dest);
                // Status polls and ready reads are not logged: a capture polls thousands of times.
                if (reg != 0x84 && !(reg == 0x8E && index == 32)) record({Exchange::Op::RegRead, reg, index, got, {}});
                returned = length;
                return true;
            }
            if (!stage && length) return false;
            std::vector<uint8_t> data(stage, stage + length);
            record({Exchange::Op::RegWrite, reg, index, data, {}});
            registerWrite(reg, data.data(), length);
            return true;
        }
        default: record({Exchange::Op::Ioctl, code, 0, {}, {}}); return false;
    }
}

bool VirtualScope::usbWrite(const uint8_t* data, uint32_t size, uint32_t& written) {
    written = 0;
    if (unplugged || setup_[0] != 1 || size > bulkLeft_) return false;
    const uint16_t target = static_cast<uint16_t>(setup_[2] | setup_[3] << 8);
    record({Exchange::Op::BulkOut, target, setup_[1] ? 1u : 0u, std::vector<uint8_t>(data, data + size), {}});
    bulkLeft_ -= size;
    if (target == 130) takeCommandBytes(data, size);
    written = size;
    return true;
}

bool VirtualScope::usbRead(uint8_t* out, uint32_t size, uint32_t& got) {
    got = 0;
    if (unplugged || setup_[0] != 0 || bulkLeft_ == 0) return false;
    const uint16_t target = static_cast<uint16_t>(setup_[2] | setup_[3] << 8);
    const uint32_t n = std::min(size, bulkLeft_);
    std::vector<uint8_t>& source = target == 130 ? commandAnswer_ : dataAnswer_;
    std::vector<uint8_t> data(n, 0xFF);  // nothing to say: the lines float high
    const size_t have = std::min<size_t>(n, source.size());
    std::copy(source.begin(), source.begin() + static_cast<std::ptrdiff_t>(have), data.begin());
    source.erase(source.begin(), source.begin() + static_cast<std::ptrdiff_t>(have));
    std::copy(data.begin(), data.end(), out);
    bulkLeft_ -= n;
    record({Exchange::Op::BulkIn, target, 0, std::move(data), {}});
    got = n;
    return true;
}

}  // namespace kv
