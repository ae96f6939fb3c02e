// The scope library's capture set-up: its rate and range tables, the models it drives, the capture
// record the caller hands to uDsoCapture and its validation, and what the set-up derives from it:
// the sampling path, the front-end gain codes, the memory depth and the trigger address.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace kv {
namespace zentro {

// Model codes the scopes report; any other code is not one of our scopes.
enum : uint32_t { kModelAbcc = 0xABCC, kModelAbcd = 0xABCD, kModelAbce = 0xABCE, kModelAbcf = 0xABCF };
bool isScopeModel(uint32_t model);
// Samples per channel the model's memory holds.
uint32_t memoryPerChannel(uint32_t model);

constexpr int kRateCount = 40;
extern const uint64_t kRates[kRateCount];  // Hz, highest first
constexpr int kRangeCount = 12;
extern const uint64_t kVoltsPerDiv[kRangeCount];  // microvolts per division, smallest first
// Index into kVoltsPerDiv, or -1 when the value is not in the table.
int rangeIndex(uint64_t microvoltsPerDiv);
bool isTableRate(uint64_t hz);

// One division of the screen is this many converter codes; code 512 is the middle (0 V).
constexpr int kCodesPerDivision = 64;
constexpr int kCodeMiddle = 512;
constexpr int kCodeMax = 1023;

// How the scope samples a rate: directly, through the half-rate path (two converters interleaved,
// the clock at half the rate) or in equivalent time (several passes at the highest direct clock,
// each shifted by a fraction of a clock, interleaved afterwards).
enum class SamplingPath : uint8_t { Direct = 0, HalfRate = 1, Equivalent = 2 };
struct RatePlan {
    SamplingPath path = SamplingPath::Direct;
    uint64_t clockHz = 0;  // the scope's sample clock
    uint32_t passes = 1;   // equivalent time: passes that make up one record
};
constexpr uint32_t kModeHalfRate = 1u << 5;
RatePlan planRate(uint32_t model, uint64_t rate, uint32_t modeFlags);

// Front-end codes for a range; the first goes with channel 1's range, the second with channel 2's.
struct GainCodes {
    uint16_t first = 0;
    uint16_t second = 0;
};
GainCodes gainCodes(uint64_t microvoltsPerDiv);
// The range the front end really takes for a requested one: 2 and 5 mV per division share the
// 10 mV set-up, any value outside the table is set up as 1 V per division.
uint64_t frontEndRange(uint64_t microvoltsPerDiv);

// Memory use in direct sampling: the decimation o and the samples taken per channel.
struct MemoryPlan {
    uint32_t decimation = 1;
    uint32_t samples = 0;
};
MemoryPlan planMemory(uint32_t model, int32_t recordLength);

// The trigger address for a position in samples (relative to the middle of the memory): `address`
// is the unadjusted address, which is also the sample index of the trigger in the memory read back
// oldest first; `post` the samples the memory takes from the sample before the trigger on; `sent`
// the address the scope is given, adjusted for the rate (jitter 0-99 at 20 MHz and above).
struct TriggerAddress {
    uint32_t address = 0;
    uint32_t post = 0;
    uint32_t sent = 0;
};
TriggerAddress triggerAddress(int64_t positionSamples, uint32_t samples, uint64_t rate, uint32_t jitter);

// The capture record of uDsoCapture, read field by field (little-endian). The per-channel pairs come
// from the record itself or from the caller's block that the address at offset 184 names.
constexpr size_t kCaptureRecordBytes = 184 + sizeof(void*);
constexpr size_t kChannelPairBytes = 32;  // two channels x (u64 volts per division, u64 second value)
struct CaptureRecord {
    uint32_t flags = 0;
    uint64_t rate = 0;
    int64_t level = 0;
    uint64_t voltsPerDiv[2] = {};
    uint64_t second[2] = {};
    int64_t positionPs = 0;
    int64_t holdOff = 0;
    int32_t length = 0;
    const uint8_t* pairs = nullptr;  // the caller's block of pairs, or null
};
enum : uint32_t {
    kModeTriggerChannel2 = 1u << 0,
    kModeFieldMask = 0xF0000,
    kModeExtended = 0xC0000,
    kHoldOffClassMask = 0x300000,
    kModeRawLevel = 1u << 24,
};
// Reads a record; `pairsReadable` says whether the block named at offset 184 may be read (the
// library checks the caller's memory; null trusts it); when it may not, the record's own pairs
// are used.
CaptureRecord readCaptureRecord(const uint8_t* in, const std::function<bool(const void* p, size_t n)>& pairsReadable);
void writeCaptureRecord(const CaptureRecord& r, uint8_t* out);

// Validation results kept for uDsoGetErrorCode.
enum : int {
    kCaptureOk = 0,
    kErrRate = 1,
    kErrRange = 2,
    kErrLength = 3,
    kErrPosition = 6,
    kErrLevel = 7,
    kErrExtendedModel = 9,
    kErrExtendedEquivalent = 10,
    kErrNoScope = 99,
};
// The trigger position in samples of the record's rate (truncated toward zero).
int64_t positionSamples(int64_t positionPs, uint64_t rate);
// Checks a record for the scope model; 0 = accepted. Extended trigger modes get their hold-off
// class and default hold-off written into the record.
int validateCapture(CaptureRecord& r, uint32_t model, int scopes);

}  // namespace zentro
}  // namespace kv
