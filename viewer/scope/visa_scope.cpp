#include "viewer/scope/visa_scope.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace kv {
namespace {

struct FamilyRow {
    const char* substring;
    VisaFamily family;
};
const FamilyRow kFamilies[] = {
    {"TDS1", {0, 100000, true, "EXT10", false}},     {"TDS2", {0, 100000, true, "EXT10", false}},
    {"TPS2", {0, 100000, true, "EXT10", false}},     {"TDS3", {1, 100000, false, "EXT10", false}},
    {"DPO4", {2, 10000000, false, "EXT", true}},     {"TDS5", {3, 16000000, false, "EXT10", false}},
    {"MSO4", {4, 10000000, false, "EXT", true}},
};

bool equalsNoCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b))) return false;
    return *a == *b;
}

}  // namespace

VisaFamily visaFamily(const std::string& identification) {
    for (const FamilyRow& row : kFamilies)
        if (identification.find(row.substring) != std::string::npos) return row.family;
    return VisaFamily{};
}

int countChannels(const std::string& reply) {
    int n = 0;
    while (n < VisaScope::kMaxChannels && reply.find("CH" + std::to_string(n + 1)) != std::string::npos) ++n;
    return n;
}

bool readCurveBlock(const std::function<bool(char&)>& nextByte, int8_t* out, size_t capacity, CurveBlock& block) {
    char c = 0;
    if (!nextByte(c) || c != '#') return false;
    if (!nextByte(c) || c < '1' || c > '9') return false;  // "#0" (no stated length) is refused too
    const int digits = c - '0';
    int64_t length = 0;
    for (int i = 0; i < digits; ++i) {
        if (!nextByte(c) || c < '0' || c > '9') return false;
        length = length * 10 + (c - '0');
    }
    block.stated = length;
    block.stored = static_cast<size_t>(std::min<int64_t>(length, static_cast<int64_t>(capacity)));
    for (size_t i = 0; i < block.stored; ++i) {
        if (!nextByte(c)) return false;
        out[i] = static_cast<int8_t>(c);
    }
    return true;
}

VisaScope::VisaScope(std::function<VisaApi*()> load, std::function<void(int)> error,
                     std::function<void(uint32_t)> sleepMs)
    : load_(std::move(load)), error_(std::move(error)), sleep_(std::move(sleepMs)) {}

VisaScope::~VisaScope() { closeAll(); }

void VisaScope::closeAll() {
    if (visa_ && rmOpen_) visa_->close(rm_);  // closing the manager closes the instrument with it
    rmOpen_ = false;
}

bool VisaScope::ok(ViStatus s) {
    status_ = s;
    return s >= 0;
}

bool VisaScope::send(const char* command) { return ok(visa_->printf(vi_, command)); }

bool VisaScope::openIp(uint32_t ip) {
    char text[20];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", ip & 0xFF, (ip >> 8) & 0xFF, (ip >> 16) & 0xFF, ip >> 24);
    return openAddress(text);
}

bool VisaScope::openAddress(const char* address) {
    closeAll();
    visa_ = load_ ? load_() : nullptr;
    if (!visa_) {
        if (error_) error_(kStrInstallVisa);
        return false;
    }
    auto fail = [this] {
        closeAll();
        return false;
    };
    if (!ok(visa_->openDefaultRM(&rm_))) return false;
    rmOpen_ = true;
    char description[kViDescriptionBytes] = {};
    ViSession list = 0;
    uint32_t count = 0;
    const bool usb = visa_->findRsrc(rm_, "USB?*INSTR", &list, &count, description) >= 0 && count > 0;
    if (usb) {
        description[kViDescriptionBytes - 1] = 0;
        if (!ok(visa_->open(rm_, description, 0, 0, &vi_))) return fail();
    } else {
        if (!address || !*address) return fail();
        const std::string name = std::string("TCPIP::") + address + "::inst0::INSTR";
        if (!ok(visa_->open(rm_, name.c_str(), 0, 0, &vi_))) return fail();
    }
    uint32_t done = 0;
    if (!ok(visa_->write(vi_, reinterpret_cast<const uint8_t*>("*idn?"), 5, &done))) return fail();
    uint8_t reply[256] = {};
    uint32_t got = 0;
    if (!ok(visa_->read(vi_, reply, sizeof reply, &got))) return fail();
    identification_.assign(reinterpret_cast<const char*>(reply), std::min<uint32_t>(got, sizeof reply));
    family_ = visaFamily(identification_);
    if (family_.family < 0) {
        channels_ = 0;  // not one of ours: it stays open, with nothing to stack
        return true;
    }
    int32_t length = 0;
    if (!ok(visa_->queryLong(vi_, "HORIZONTAL:RECORDLENGTH?\n", &length))) return fail();
    char measurement[256] = {};
    if (!ok(visa_->queryText(vi_, "MEASUREMENT?\n", measurement, sizeof measurement))) return fail();
    const int channels = countChannels(measurement);
    if (channels < 1 || channels > kMaxChannels) return fail();
    channels_ = channels;
    recordLength_ = std::max(0, length);
    // Buffers of the record the instrument holds now, within the family's capacity; a read of a
    // longer record grows them up to that capacity.
    const size_t size = static_cast<size_t>(std::max(1, std::min(recordLength_, family_.capacity)));
    for (int c = 0; c < kMaxChannels; ++c) buffers_[c].assign(c < channels_ ? size : 0, 0.0);
    return true;
}

bool VisaScope::dataReady() {
    if (!visa_ || !rmOpen_) return false;
    char state[64] = {};
    if (!ok(visa_->queryText(vi_, "TRIGGER:STATE?\n", state, sizeof state))) return false;
    return equalsNoCase(state, "ready");
}

bool VisaScope::arm() {
    if (!visa_ || !rmOpen_ || family_.family < 0) return false;
    if (!send("HEADER OFF\n")) return false;
    const std::string set = family_.mainCommandSet ? "TRIGGER:MAIN:" : "TRIGGER:A:";
    const std::string level = family_.mainCommandSet ? "LEVEL 1.4\n" : "LEVEL TTL\n";
    const std::string commands[] = {set + "EDGE:SOURCE " + family_.source + "\n", set + "EDGE:SLOPE RISE\n",
                                    set + "EDGE:COUPLING DC\n", set + level, set + "MODE NORMAL\n"};
    for (const std::string& c : commands)
        if (!send(c.c_str())) return false;
    if (family_.settle && sleep_) sleep_(500);
    return true;
}

bool VisaScope::setAcCoupling(int channel, bool on) {
    if (!visa_ || !rmOpen_ || channel < 1 || channel > channels_) return false;
    char c[24];
    std::snprintf(c, sizeof c, on ? "CH%d:COUP AC" : "CH%d:COUP DC", channel);
    return send(c);
}

bool VisaScope::setBandwidthLimit(int channel, bool on) {
    if (!visa_ || !rmOpen_ || channel < 1 || channel > channels_) return false;
    char c[24];
    std::snprintf(c, sizeof c, on ? "CH%d:BAN TWE" : "CH%d:BAN FUL", channel);
    return send(c);
}

bool VisaScope::readChannel(int channel) {
    char command[32];
    std::snprintf(command, sizeof command, "data:source CH%d\n", channel + 1);
    double offset = 0, multiplier = 0;
    if (!send(command) || !ok(visa_->queryReal(vi_, "WFMPre:YOFf?\n", &offset)) ||
        !ok(visa_->queryReal(vi_, "WFMPre:YMUlt?\n", &multiplier)) || !send("DATA:ENCDG RIBINARY;WIDTH 1\n") ||
        !send("CURVE?\n") || !ok(visa_->flush(vi_, kViFlushWriteAndDiscardRead)) ||
        !ok(visa_->setAttribute(vi_, kViAttrReadBufferMode, kViFlushDisable)))
        return false;
    std::vector<double>& buffer = buffers_[channel];
    std::vector<int8_t> raw(buffer.size());
    CurveBlock block;
    auto next = [this](char& c) { return ok(visa_->scanChar(vi_, &c)); };
    if (!readCurveBlock(next, raw.data(), raw.size(), block)) return false;
    // A block longer than the buffer was clipped: the rest of the message is dropped, or the next
    // query would read it as its answer.
    if (block.stated > static_cast<int64_t>(block.stored) && !ok(visa_->flush(vi_, kViFlushReadToEnd))) return false;
    std::fill(buffer.begin(), buffer.end(), 0.0);
    double hi = 0, lo = 0;
    for (size_t i = 0; i < block.stored; ++i) {
        const double uv = (raw[i] - offset) * multiplier * 1000000.0;
        buffer[i] = uv;
        if (i == 0 || uv > hi) hi = uv;
        if (i == 0 || uv < lo) lo = uv;
    }
    maximum_[channel] = hi;
    minimum_[channel] = lo;
    samplesRead_ = std::min<int>(samplesRead_ ? samplesRead_ : INT32_MAX, static_cast<int>(block.stored));
    return true;
}

bool VisaScope::read() {
    readingFinished_ = 1;
    if (!visa_ || !rmOpen_ || family_.family < 0) return false;
    if (!ok(visa_->setAttribute(vi_, kViAttrWriteBufferMode, kViFlushOnAccess)) ||
        !ok(visa_->setAttribute(vi_, kViAttrReadBufferMode, kViFlushOnAccess)) || !send("header off\n"))
        return false;
    int32_t length = 0;
    if (!ok(visa_->queryLong(vi_, "HOR:RECO?\n", &length))) return false;
    if (length < 1) return false;  // nothing to ask for
    char command[64];
    std::snprintf(command, sizeof command, "data:start 0;data:stop %ld\n", static_cast<long>(length - 1));
    if (!send(command)) return false;
    char delay[32] = {};
    double interval = 0;
    if (!ok(visa_->queryText(vi_, "HOR:DEL:STATE?\n", delay, sizeof delay)) ||
        !ok(visa_->queryReal(vi_, "WFMP:XIN?\n", &interval)))
        return false;
    double offset = 0;
    if (std::strcmp(delay, "0") != 0 && !equalsNoCase(delay, "OFF")) {
        double time = 0;
        if (!ok(visa_->queryReal(vi_, "HOR:DEL:TIM?\n", &time))) return false;
        offset = -time;
    } else {
        double position = 0, scale = 0;
        if (!ok(visa_->queryReal(vi_, "HOR:TRIG:POS?\n", &position)) || !ok(visa_->queryReal(vi_, "HOR:SCA?\n", &scale)))
            return false;
        offset = (position - 50) * scale * 0.1;
    }
    recordLength_ = length;
    interval_ = interval;
    triggerOffset_ = offset - kTriggerPathDelay;
    samplesRead_ = 0;
    // Only channels 1 and 2 are read: the others stay zero.
    const size_t size = static_cast<size_t>(std::min(length, family_.capacity));
    const int readChannels = std::min(2, channels_);
    for (int c = 0; c < readChannels; ++c) buffers_[c].resize(size, 0.0);
    for (int c = 0; c < readChannels; ++c)
        if (!readChannel(c)) return false;
    overallMax_ = *std::max_element(maximum_, maximum_ + readChannels);
    overallMin_ = *std::min_element(minimum_, minimum_ + readChannels);
    return ok(visa_->flush(vi_, kViFlushWriteAndDiscardRead));
}

double* VisaScope::channelBuffer(int channel) {
    if (channel < 0 || channel >= kMaxChannels || buffers_[channel].empty()) return nullptr;
    return buffers_[channel].data();
}

int64_t VisaScope::timeToIndex(double seconds) {
    if (interval_ <= 0) return 0;
    // The instrument's trigger is the middle of its record.
    return static_cast<int64_t>((recordLength_ * interval_ * 0.5 + triggerOffset_ + seconds) / interval_ + 0.5);
}

void VisaScope::extremes(int64_t& maximum, int64_t& minimum) {
    maximum = std::llround(overallMax_);
    minimum = std::llround(overallMin_);
}

void VisaScope::channelExtremes(int channel, int64_t& maximum, int64_t& minimum) {
    const bool inside = channel >= 0 && channel < kMaxChannels;
    maximum = inside ? std::llround(maximum_[channel]) : 0;
    minimum = inside ? std::llround(minimum_[channel]) : 0;
}

}  // namespace kv
