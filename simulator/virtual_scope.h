// The maker's two-channel USB scope, written from the scope's side: its USB bridge (the boards'
// bridge: register requests, bulk set-up records), its command frames on bulk target 130
// (0x5A 0x0F 0x55 <command> <arguments>), its memory of raw words on target 0, and analog inputs
// fed by a deterministic signal generator, so a test knows what every sample must be.
//
// HALVEX_VIRTUAL entry: "usb<n>=scope:<model hex>[:<option>...]", options "serial=<text>",
// "ch1=<signal>", "ch2=<signal>", "polls=<n>" (status reads a capture runs before it triggers,
// default 1), "hold" (it never triggers by itself: only a stop or a forced trigger ends it), "usb11".
// Signals: "sine", "square", "ramp" with an optional "@<Hz>" and "/<millivolts amplitude>"
// ("sine@100000/1000"), and "tie<c>" with an optional "@<hex>": the logic channel c of a virtual
// board as a 0/3.3 V signal. A virtual board's inputs count 5 ns periods and channel c is bit c of
// that count; "@<hex>" is the count at the scope's trigger, by default 2^c (a rising edge of channel
// c at the trigger), which is where a logic capture triggered on that rising edge puts its trigger.
// Every signal is a function of the time from the scope's trigger.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "simulator/virtual_system.h"

namespace kv {

enum class ScopeWave { Sine, Square, Ramp, Tied };

struct ScopeSignal {
    ScopeWave wave = ScopeWave::Sine;
    double hz = 100000;     // sine, square, ramp
    double volts = 1.0;     // amplitude (peak)
    int channel = 0;        // tied: the logic channel
    uint64_t phase = 1;     // tied: the board's input count at the trigger
};
// The signal's voltage at `seconds` from the scope's trigger.
double scopeSignalVolts(const ScopeSignal& s, double seconds);
constexpr double kTiedHighVolts = 3.3;
constexpr double kBoardInputPeriod = 5e-9;  // a virtual board's inputs count 5 ns periods

struct VirtualScopeConfig {
    int slot = 0;              // USB device number
    uint16_t model = 0xABCD;
    std::string serial = "ZS0000001";
    ScopeSignal signal[2];
    int polls = 1;
    bool hold = false;
    bool usb11 = false;
    VirtualScopeConfig();
    std::string name() const { return "usb" + std::to_string(slot); }
};
// The options after the model code (see above); false with the reason for the first bad one.
bool parseScopeOptions(const std::vector<std::string>& options, VirtualScopeConfig& out, std::string& why);

class VirtualScope {
public:
    explicit VirtualScope(const VirtualScopeConfig& config);
    const VirtualScopeConfig& config() const { return config_; }
    std::string name() const { return config_.name(); }

    const std::vector<Exchange>& log() const { return log_; }
    std::vector<std::string> logLines() const;
    void clearLog() { log_.clear(); }
    void setLogFile(std::FILE* file) { file_ = file; }
    bool quiet = false;      // exchanges are not recorded
    bool unplugged = false;  // every exchange fails

    // What the scope's logic took in.
    const std::vector<std::vector<uint8_t>>& frames() const { return frames_; }
    uint8_t lastControl() const { return control_; }
    size_t imageBytes() const { return image_.size(); }
    uint16_t imageId() const;  // first header word of the image loaded, 0 when none
    int frontEndCode(int channel) const { return frontEnd_[channel & 1]; }
    double rangeVolts(int channel) const;  // volts per division the front end is set to
    int32_t offset(int channel) const { return offset_[channel & 1]; }
    // The last set-up, as received.
    uint32_t clockHz() const { return clockHz_; }
    int path() const { return path_; }
    int passes() const { return passes_; }
    uint32_t samples() const { return samples_; }
    uint32_t triggerAddress() const { return address_; }
    uint32_t postCount() const { return post_; }
    uint16_t threshold() const { return threshold_; }
    uint32_t modeFlags() const { return flags_; }
    uint64_t holdOff() const { return holdOff_; }
    bool running() const { return running_; }
    // The memory of the last capture, oldest first; the trigger's index in it (-1 before one).
    const std::vector<uint32_t>& memory() const { return memory_; }
    int64_t triggerIndex() const { return triggerIndex_; }
    // Seconds from the trigger of a memory word (pass after pass in equivalent time).
    double wordTime(size_t k) const;
    // The converter code of a voltage on a channel as the front end and offset stand.
    int codeOf(int channel, double volts) const;

    bool usbIoctl(uint32_t code, const uint8_t* in, uint32_t inSize, uint8_t* out, uint32_t outSize,
                  uint32_t& returned, void* dataStage);
    bool usbWrite(const uint8_t* data, uint32_t size, uint32_t& written);
    bool usbRead(uint8_t* out, uint32_t size, uint32_t& got);

private:
    void record(Exchange e);
    uint8_t registerValue(uint32_t reg, uint32_t index);
    void registerWrite(uint32_t reg, const uint8_t* data, uint32_t length);
    void takeCommandBytes(const uint8_t* p, size_t n);
    void act(const std::vector<uint8_t>& f);
    void fire();
    uint32_t thirdWord() const;

    VirtualScopeConfig config_;
    std::vector<Exchange> log_;
    std::FILE* file_ = nullptr;

    uint8_t setup_[8] = {};
    uint32_t bulkLeft_ = 0;
    uint8_t control_ = 0;
    std::vector<uint8_t> pending_;
    size_t imageLeft_ = 0;
    std::vector<uint8_t> image_;
    std::vector<std::vector<uint8_t>> frames_;
    std::vector<uint8_t> commandAnswer_;
    std::vector<uint8_t> dataAnswer_;

    int frontEnd_[2] = {-1, -1};
    int32_t offset_[2] = {};
    uint32_t clockHz_ = 0, samples_ = 0, address_ = 0, post_ = 0, etTrigger_ = 0, flags_ = 0;
    int path_ = 0, passes_ = 1, source_ = 0;
    uint16_t threshold_ = 512;
    uint64_t holdOff_ = 0;
    bool running_ = false, armed_ = false, triggered_ = false, full_ = false, overflow_ = false;
    int pollsLeft_ = 0;
    std::vector<uint32_t> memory_;
    int64_t triggerIndex_ = -1;
};

}  // namespace kv
