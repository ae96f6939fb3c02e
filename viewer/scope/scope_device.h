// The oscilloscope the viewer stacks under a logic capture, whatever its maker: one abstract
// interface, implemented for the maker's USB scope and for SCPI scopes reached over VISA. The
// viewer owns at most one instance (none while stacking is off) and deletes it through the
// virtual destructor. The operations keep this order.
#pragma once

#include <cstdint>

namespace kv {

class ScopeDevice {
public:
    virtual ~ScopeDevice() = default;
    virtual bool openAddress(const char* address) = 0;
    virtual bool openIp(uint32_t ip) = 0;  // first octet in the low byte
    virtual bool openDefault() = 0;
    virtual bool dataReady() = 0;
    virtual uint32_t status() = 0;  // kScopeArmed while armed
    virtual uint64_t setSampleRate(uint64_t hz) = 0;  // the rate actually set
    virtual uint64_t sampleRate() = 0;
    virtual double samplePeriod() = 0;  // seconds
    virtual void setChannelRange(int channel, uint64_t microvoltsPerDiv) = 0;
    virtual uint64_t channelRange(int channel) = 0;
    virtual bool setAcCoupling(int channel, bool on) = 0;
    virtual bool setBandwidthLimit(int channel, bool on) = 0;
    // On refusal the percentage is replaced by the model's default.
    virtual bool setTriggerPosition(double* percent) = 0;
    virtual bool arm() = 0;
    virtual bool read() = 0;
    virtual uint8_t readingFinished() = 0;
    virtual double* channelBuffer(int channel) = 0;
    virtual int channelCount() = 0;
    virtual int sampleCount(int recordLength) = 0;  // 0: the samples read; non-zero: the record length
    // Seconds from the logic trigger (already shifted by the stack delay) to a sample index.
    virtual int64_t timeToIndex(double seconds) = 0;
    virtual void extremes(int64_t& maximum, int64_t& minimum) = 0;
    virtual void channelExtremes(int channel, int64_t& maximum, int64_t& minimum) = 0;
    virtual bool stop() = 0;
    virtual bool reserved() = 0;  // does nothing
    virtual const char* modelName() = 0;
    virtual uint32_t modelCode() = 0;
};

constexpr uint32_t kScopeArmed = 4;

}  // namespace kv
