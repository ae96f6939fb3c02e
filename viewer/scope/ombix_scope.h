// The maker's own USB scope, stacked through its runtime library (Zentro.DLL, loaded only when
// this scope is opened). The library arms the scope with a capture request, delivers its samples
// as doubles (microvolts) channel after channel, and reports a picosecond trigger fraction that
// the time mapping adds in.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "viewer/scope/scope_device.h"

namespace kv {

// The seven entry points the viewer binds by name; every one must be there.
struct ZentroCalls {
    std::function<int()> init;                                    // uDsoInit: scopes attached
    std::function<int(int index, int what, uint32_t* out)> hwInfo;  // uDsoGetHwInfo
    std::function<int()> stop;                                    // uDsoStop
    std::function<int(void* request)> capture;                    // uDsoCapture
    std::function<int(int index)> status;                         // uDsoGetStatus
    std::function<int()> dataReady;                               // uDsoDataReady
    std::function<int(void* request)> read;                       // uDsoRead
};

// The capture request handed to uDsoCapture: flags, rate, the trigger level constant, the two
// channel ranges (microvolts per division) and the record length, the rest cleared.
constexpr size_t kScopeRequestBytes = 184 + sizeof(void*);
constexpr uint32_t kScopeRequestFlags = 0x210000;
constexpr uint32_t kScopeTriggerLevel = 167000;  // microvolts
void writeScopeRequest(uint8_t out[kScopeRequestBytes], uint64_t rate, const uint64_t range[2], int32_t length);

class OmbixScope : public ScopeDevice {
public:
    // `bind` loads the library and fills the calls; false when the library or an entry point is
    // missing.
    explicit OmbixScope(std::function<bool(ZentroCalls&)> bind);

    bool openAddress(const char*) override { return false; }
    bool openIp(uint32_t) override { return false; }
    bool openDefault() override;
    bool dataReady() override { return calls_.dataReady && calls_.dataReady() != 0; }
    uint32_t status() override { return calls_.status ? static_cast<uint32_t>(calls_.status(0)) : 0; }
    uint64_t setSampleRate(uint64_t hz) override;
    uint64_t sampleRate() override { return rate_; }
    double samplePeriod() override { return period_; }
    void setChannelRange(int channel, uint64_t microvoltsPerDiv) override;
    uint64_t channelRange(int channel) override;
    bool setAcCoupling(int channel, bool on) override { return setFlag(channel, on); }
    bool setBandwidthLimit(int channel, bool on) override { return setFlag(channel + 16, on); }
    bool setTriggerPosition(double* percent) override;
    bool arm() override;
    bool read() override;
    uint8_t readingFinished() override { return readingFinished_; }
    double* channelBuffer(int channel) override;
    int channelCount() override { return channels_; }
    int sampleCount(int recordLength) override { return recordLength ? recordLength_ : samplesRead_; }
    int64_t timeToIndex(double seconds) override;
    void extremes(int64_t& maximum, int64_t& minimum) override;
    void channelExtremes(int channel, int64_t& maximum, int64_t& minimum) override;
    bool stop() override { return calls_.stop && calls_.stop() != 0; }
    bool reserved() override { return true; }
    const char* modelName() override { return model_ == kModelZs1202 ? "Ombix ZS-1202" : "Ombix ZS-1102"; }
    uint32_t modelCode() override { return model_; }

    uint32_t channelFlags() const { return flags_; }
    double triggerOffset() const { return offset_; }
    // Where the library's record puts the trigger: the middle of a 64K memory, or for the 512K
    // model half its 0x80000 words plus 0x8000.
    int64_t triggerSample() const { return model_ == kModelZs1202 ? 0x48000 : 32768; }

    static constexpr uint32_t kModelZs1202 = 0xABCE;
    static constexpr double kTriggerPathDelay = 4.5e-8;
    static constexpr int kMaxChannels = 6;
    static constexpr uint64_t kHighestRate = 100000000;  // what stacking ever asks of it

private:
    bool setFlag(int bit, bool on);
    double defaultPosition() const { return model_ == kModelZs1202 ? 6.25 : 50.0; }
    double highestPosition() const { return model_ == kModelZs1202 ? 12.5 : 100.0; }

    std::function<bool(ZentroCalls&)> bind_;
    ZentroCalls calls_;
    bool open_ = false;
    uint32_t model_ = 0;
    int channels_ = 0;
    uint64_t rate_ = 100000000;
    std::vector<double> buffer_;
    double maximum_[kMaxChannels] = {}, minimum_[kMaxChannels] = {};
    double overallMax_ = 0, overallMin_ = 0;
    double offset_ = -kTriggerPathDelay;
    double position_ = 50.0;
    double period_ = 1e-8;
    int recordLength_ = 0;
    int samplesRead_ = 0;
    uint8_t readingFinished_ = 0;
    uint64_t range_[kMaxChannels] = {100000, 100000, 100000, 100000, 100000, 100000};
    uint32_t flags_ = 0;
    uint32_t fraction_ = 0;  // picoseconds the library reports with the read
};

}  // namespace kv
