// The virtual SCPI oscilloscope and the VISA calls over it (see virtual_scpi_scope.h).
#include "simulator/virtual_scpi_scope.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kv {
namespace {

constexpr ViStatus kViErrorInvalidObject = static_cast<ViStatus>(0xBFFF000Eu);
constexpr ViStatus kViErrorTimeout = static_cast<ViStatus>(0xBFFF0015u);
constexpr ViSession kRm = 1, kList = 2, kInstrument = 3;

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string number(double v) {
    char b[40];
    std::snprintf(b, sizeof b, "%.6E", v);
    return b;
}

}  // namespace

VirtualScpiScope::VirtualScpiScope(int family) {
    static const char* const kIds[] = {
        "TEKTRONIX,TDS2024B,C012345,CF:91.1CT FV:v22.11", "TEKTRONIX,TDS3052B,0,CF:91.1CT FV:v3.41 TDS3GV:v1.00",
        "TEKTRONIX,DPO4104,C010101,CF:91.1CT FV:v2.13",      "TEKTRONIX,TDS5104B,B010203,CF:91.1CT FV:4.0.3",
        "TEKTRONIX,MSO4054,C020202,CF:91.1CT FV:v2.68",
    };
    identification = family >= 0 && family < 5 ? kIds[family] : "OTHER MAKER,SCOPE 100,1,1.0";
}

int8_t VirtualScpiScope::sample(int channel, int64_t i) {
    // Channel 1 a triangle of ±100 codes with a period of 400 samples, channel 2 a square of ±50
    // codes with a period of 100 samples: every value is known from the index alone.
    if (channel == 0) {
        const int64_t p = i % 400;
        return static_cast<int8_t>(p < 200 ? p - 100 : 300 - p);
    }
    return static_cast<int8_t>((i % 100) < 50 ? 50 : -50);
}

void VirtualScpiScope::take(const std::string& message) {
    received.push_back(message);
    std::string m = message;
    while (!m.empty() && (m.back() == '\n' || m.back() == '\r')) m.pop_back();
    const std::string u = upper(m);
    if (u == "*IDN?") answer(identification + "\n");
    else if (u == "HORIZONTAL:RECORDLENGTH?" || u == "HOR:RECO?") answer(std::to_string(recordLength) + "\n");
    else if (u == "MEASUREMENT?") {
        std::string r;
        for (int c = 1; c <= channels; ++c) r += (c > 1 ? ";CH" : "CH") + std::to_string(c);
        answer(r + ";FREQUENCY;0\n");
    } else if (u == "TRIGGER:STATE?") answer(triggerState + "\n");
    else if (u == "HOR:DEL:STATE?") answer(delayOn ? "1\n" : "0\n");
    else if (u == "HOR:DEL:TIM?") answer(number(delaySeconds) + "\n");
    else if (u == "HOR:TRIG:POS?") answer(number(triggerPercent) + "\n");
    else if (u == "HOR:SCA?") answer(number(secondsPerDivision) + "\n");
    else if (u == "WFMP:XIN?") answer(number(interval) + "\n");
    else if (u == "WFMPRE:YOFF?") answer(number(yOffset[(dataSource_ - 1) & 1]) + "\n");
    else if (u == "WFMPRE:YMULT?") answer(number(yMultiplier[(dataSource_ - 1) & 1]) + "\n");
    else if (u.compare(0, 12, "DATA:SOURCE ") == 0) dataSource_ = std::atoi(u.c_str() + 14) == 2 ? 2 : 1;
    else if (u.compare(0, 13, "DATA:START 0;") == 0) dataStop_ = std::atoll(u.c_str() + 23);
    else if (u == "CURVE?") {
        const int64_t n = curveLength >= 0 ? curveLength : (dataStop_ >= 0 ? dataStop_ + 1 : recordLength);
        const std::string digits = std::to_string(n);
        answer(blockHeader.empty() ? "#" + std::to_string(digits.size()) + digits : blockHeader);
        for (int64_t i = 0; i < n; ++i) output.push_back(static_cast<uint8_t>(sample(dataSource_ - 1, i)));
        answer("\n");
    }
}

bool VirtualVisa::usable(ViSession vi) {
    if (failAfter >= 0 && calls_++ >= failAfter) return false;
    return vi == kInstrument && instrumentOpen_;
}

ViStatus VirtualVisa::openDefaultRM(ViSession* rm) {
    rmOpen_ = true;
    *rm = kRm;
    return kViSuccess;
}

ViStatus VirtualVisa::findRsrc(ViSession rm, const char* expr, ViSession* list, uint32_t* count,
                               char description[kViDescriptionBytes]) {
    if (rm != kRm || !rmOpen_) return kViErrorInvalidObject;
    *count = 0;
    if (!usbAttached || std::strcmp(expr, "USB?*INSTR") != 0) return kViErrorResourceNotFound;
    *list = kList;
    *count = 1;
    std::snprintf(description, kViDescriptionBytes, "USB0::0x0699::0x0401::C010101::INSTR");
    return kViSuccess;
}

ViStatus VirtualVisa::open(ViSession rm, const char* name, uint32_t, uint32_t, ViSession* vi) {
    if (rm != kRm || !rmOpen_) return kViErrorInvalidObject;
    opened.push_back(name);
    const std::string n = name;
    const bool usb = usbAttached && n.compare(0, 4, "USB0") == 0;
    const bool tcpip = n == "TCPIP::" + tcpipAddress + "::inst0::INSTR";
    if (!usb && !tcpip) return kViErrorResourceNotFound;
    instrumentOpen_ = true;
    *vi = kInstrument;
    return kViSuccess;
}

ViStatus VirtualVisa::close(ViSession object) {
    ++closes;
    if (object == kRm) rmOpen_ = instrumentOpen_ = false;
    if (object == kInstrument) instrumentOpen_ = false;
    return kViSuccess;
}

ViStatus VirtualVisa::setAttribute(ViSession vi, uint32_t attribute, uint32_t value) {
    if (!usable(vi)) return kViErrorInvalidObject;
    attributes.emplace_back(attribute, value);
    if (attribute == kViAttrReadBufferMode) readMode_ = value;
    return kViSuccess;
}

ViStatus VirtualVisa::read(ViSession vi, uint8_t* buffer, uint32_t count, uint32_t* got) {
    if (!usable(vi)) return kViErrorInvalidObject;
    *got = 0;
    if (scope_.output.empty()) return kViErrorTimeout;
    // A read ends at the message's line feed or when the buffer is full.
    while (*got < count && !scope_.output.empty()) {
        const uint8_t b = scope_.output.front();
        scope_.output.pop_front();
        buffer[(*got)++] = b;
        if (b == '\n') break;
    }
    return kViSuccess;
}

ViStatus VirtualVisa::write(ViSession vi, const uint8_t* data, uint32_t count, uint32_t* done) {
    if (!usable(vi)) return kViErrorInvalidObject;
    scope_.take(std::string(reinterpret_cast<const char*>(data), count));
    *done = count;
    return kViSuccess;
}

ViStatus VirtualVisa::printf(ViSession vi, const char* command) {
    if (!usable(vi)) return kViErrorInvalidObject;
    scope_.take(command);
    return kViSuccess;
}

void VirtualVisa::accessed() {
    if (readMode_ == kViFlushOnAccess) readBuffer.clear();
}

bool VirtualVisa::fill() {
    if (readBuffer.empty()) {
        readBuffer.insert(readBuffer.end(), scope_.output.begin(), scope_.output.end());
        scope_.output.clear();
    }
    return !readBuffer.empty();
}

ViStatus VirtualVisa::scanChar(ViSession vi, char* c) {
    if (!usable(vi)) return kViErrorInvalidObject;
    if (!fill()) return kViErrorTimeout;
    *c = static_cast<char>(readBuffer.front());
    readBuffer.pop_front();
    ++bytesScanned;
    accessed();
    return kViSuccess;
}

// One reply as scanf reads it: leading white space (a line feed left over included) is skipped.
std::string VirtualVisa::replyLine() {
    while (fill() && std::isspace(readBuffer.front())) readBuffer.pop_front();
    std::string line;
    while (fill()) {
        const char c = static_cast<char>(readBuffer.front());
        readBuffer.pop_front();
        if (c == '\n') break;
        line += c;
    }
    return line;
}

ViStatus VirtualVisa::queryLong(ViSession vi, const char* query, int32_t* value) {
    if (!usable(vi)) return kViErrorInvalidObject;
    scope_.take(query);
    if (!fill()) return kViErrorTimeout;
    *value = static_cast<int32_t>(std::strtol(replyLine().c_str(), nullptr, 10));
    accessed();
    return kViSuccess;
}

ViStatus VirtualVisa::queryText(ViSession vi, const char* query, char* out, size_t size) {
    if (!usable(vi) || size == 0) return kViErrorInvalidObject;
    scope_.take(query);
    if (!fill()) return kViErrorTimeout;
    const std::string line = replyLine();
    const std::string word = line.substr(0, line.find_first_of(" \t"));  // "%s" stops at white space
    std::snprintf(out, size, "%s", word.c_str());
    accessed();
    return kViSuccess;
}

ViStatus VirtualVisa::queryReal(ViSession vi, const char* query, double* value) {
    if (!usable(vi)) return kViErrorInvalidObject;
    scope_.take(query);
    if (!fill()) return kViErrorTimeout;
    *value = static_cast<float>(std::strtod(replyLine().c_str(), nullptr));  // "%f": a 32-bit float
    accessed();
    return kViSuccess;
}

ViStatus VirtualVisa::flush(ViSession vi, uint16_t mask) {
    if (!usable(vi)) return kViErrorInvalidObject;
    flushes.push_back(mask);
    // 4 (read buffer, discard): what was read into the buffer goes; 1 (read buffer): that, and
    // the rest of the instrument's message is read and dropped. Writes are never buffered here.
    if (mask & (1 | 4)) readBuffer.clear();
    if (mask & 1) scope_.output.clear();
    return kViSuccess;
}

}  // namespace kv
