// Stacking with Tektronix scopes over VISA: the scope is found on USB or at a TCP/IP address,
// identified by its "*idn?" reply, armed on its external trigger input (wired to the analyzer's
// trigger output) and read back as two 8-bit curves, kept in microvolts. The user sets time base
// and channels on the instrument; the viewer only maps its time onto the record.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "viewer/scope/scope_device.h"
#include "viewer/scope/visa_api.h"

namespace kv {

// String numbers the scope reports through the viewer's error box.
constexpr int kStrInstallVisa = 309;  // "Please Install NI VISA32 for Tektronix first."

// The instrument families, by the first substring found in the identification.
struct VisaFamily {
    int family = -1;            // -1: not one of ours
    int capacity = 0;           // samples per channel the buffers hold
    bool mainCommandSet = false;  // TRIGGER:MAIN:... instead of TRIGGER:A:...
    const char* source = "";    // external trigger input
    bool settle = false;        // a 500 ms pause after arming
};
VisaFamily visaFamily(const std::string& identification);
// "CH1", "CH2", ... found in a row in a "MEASUREMENT?" reply: the channel count (0-6).
int countChannels(const std::string& reply);

// An IEEE 488.2 definite-length block "#<d><d digits of length><bytes>" read byte by byte: the
// samples stored are the block's own length, clipped to `capacity`; the bytes beyond it are left
// unread (the caller discards the read buffer after). False for a block that is not one.
struct CurveBlock {
    int64_t stated = 0;  // length the block announced
    size_t stored = 0;   // bytes stored
};
bool readCurveBlock(const std::function<bool(char&)>& nextByte, int8_t* out, size_t capacity, CurveBlock& block);

class VisaScope : public ScopeDevice {
public:
    // `load` gives the VISA calls ("VISA32.DLL" loaded and all eleven bound) or null when they are
    // not there; `error` shows a string number in the viewer's error box; `sleepMs` pauses.
    VisaScope(std::function<VisaApi*()> load, std::function<void(int)> error, std::function<void(uint32_t)> sleepMs);
    ~VisaScope() override;

    bool openAddress(const char* address) override;
    bool openIp(uint32_t ip) override;
    bool openDefault() override { return openAddress(""); }
    bool dataReady() override;
    uint32_t status() override { return kScopeArmed; }
    uint64_t setSampleRate(uint64_t) override { return kRate; }
    uint64_t sampleRate() override { return kRate; }
    double samplePeriod() override { return interval_; }
    void setChannelRange(int, uint64_t) override {}
    uint64_t channelRange(int) override { return 1000000; }
    bool setAcCoupling(int channel, bool on) override;
    bool setBandwidthLimit(int channel, bool on) override;
    bool setTriggerPosition(double*) override { return true; }
    bool arm() override;
    bool read() override;
    uint8_t readingFinished() override { return readingFinished_; }
    double* channelBuffer(int channel) override;
    int channelCount() override { return channels_; }
    int sampleCount(int recordLength) override { return recordLength ? recordLength_ : samplesRead_; }
    int64_t timeToIndex(double seconds) override;
    void extremes(int64_t& maximum, int64_t& minimum) override;
    void channelExtremes(int channel, int64_t& maximum, int64_t& minimum) override;
    bool stop() override { return true; }
    bool reserved() override { return true; }
    const char* modelName() override { return "Tektronix TDS 3052B"; }
    uint32_t modelCode() override { return 12370; }

    int family() const { return family_.family; }
    const std::string& identification() const { return identification_; }
    ViStatus lastStatus() const { return status_; }
    double triggerOffset() const { return triggerOffset_; }

    static constexpr uint64_t kRate = 5000000000ull;
    static constexpr double kTriggerPathDelay = 7.4e-8;  // trigger output to the instrument's input
    static constexpr int kMaxChannels = 6;

private:
    bool ok(ViStatus s);
    bool send(const char* command);
    bool readChannel(int channel);
    void closeAll();

    std::function<VisaApi*()> load_;
    std::function<void(int)> error_;
    std::function<void(uint32_t)> sleep_;
    VisaApi* visa_ = nullptr;
    ViSession rm_ = 0, vi_ = 0;
    bool rmOpen_ = false;
    ViStatus status_ = kViSuccess;
    std::string identification_;
    VisaFamily family_;
    int channels_ = 2;
    double triggerOffset_ = -kTriggerPathDelay;
    double maximum_[kMaxChannels] = {}, minimum_[kMaxChannels] = {};
    double overallMax_ = 0, overallMin_ = 0;
    std::vector<double> buffers_[kMaxChannels];
    double interval_ = 0;
    int recordLength_ = 0;
    int samplesRead_ = 0;
    uint8_t readingFinished_ = 0;
};

}  // namespace kv
