// Stacking a scope with the logic capture: the stack settings, the scope set-up before each
// capture, what the "DSO Stack Setting" dialog does on OK, and the scope the viewer holds.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "viewer/scope/scope_device.h"

namespace kv {

struct LabelTable;

// Brands of the dialog's list ("DsoBrand"); only the maker's and Tektronix scopes stack.
enum : int32_t { kBrandNone = 0, kBrandOmbix = 1, kBrandTektronix = 5, kBrandCount = 6 };
// Sampling types ("DsoSrType"); the KV-relative and edited rates exist for the maker's scope only.
enum : int32_t { kSrMaximum = 0, kSrManual = 1, kSrKv1 = 2, kSrKv10 = 3, kSrEdit = 4 };
int32_t samplingTypeCount(int32_t brand);

// String numbers of the stacking messages.
enum : int {
    kStrOmbixNotFound = 297,      // "Can NOT found Ombix DSO."
    kStrTektronixNotFound = 298,  // "Can NOT found Tektronix DSO."
    kStrStackOmbix = 299,         // "Stack with Ombix DSO."
    kStrStackTektronix = 300,     // "Stack with Tektronix DSO."
    kStrBadRate = 301,            // "Do NOT use this value of sampling rate."
    kStrPosition12 = 302,         // "This Model of DSO just can set trigger position to 12.5%."
    kStrPositionRange = 303,      // "Set Trigger Position from 0% to 100%"
    kStrBrandUnsupported = 304,   // "Does NOT support this brand's DSO yet!"
};

// The analog label bits: bits 16-19 the range index, bit 20 bandwidth limit, bit 21 AC coupling.
constexpr uint32_t kScopeRangeShift = 16;
constexpr uint32_t kScopeBandwidthLimit = 1u << 20;
constexpr uint32_t kScopeAcCoupling = 1u << 21;
constexpr int kScopeRangeCount = 12;
// Millivolts per division of a range index (clamped into the list).
uint64_t scopeRangeMillivolts(uint32_t index);

constexpr uint64_t kStackRateCap = 100000000;
// The rate the scope is asked for, by sampling type.
uint64_t stackRequestRate(int32_t srType, uint64_t logicHz, uint64_t editHz);

// Before each logic capture: every analog label's channel range, coupling and bandwidth limit,
// the trigger position and the rate.
void configureStackedScope(ScopeDevice& scope, const LabelTable& labels, double trigPosPercent, int32_t srType,
                           uint64_t logicHz, uint64_t editHz);

// The settings the dialog edits.
struct StackForm {
    int32_t brand = 0;
    int32_t srType = 0;
    uint64_t rate = 100000000;
    int32_t fitHeight = 1;
    uint64_t stackDelay = 65000;  // picoseconds, of the brand shown
    double trigPosPercent = 50.0;
    uint32_t ip = 0;              // first octet in the low byte
};

// What OK did: the message to show (0 none) and whether it is an error box; on success the new
// scope (null for "No Stack") and the rate to store.
struct StackOutcome {
    bool ok = false;
    int message = 0;
    bool error = false;
    bool restoreBrand = false;    // the brand list goes back to the stored brand
    std::unique_ptr<ScopeDevice> scope;
    uint64_t rate = 0;
};
StackOutcome applyStackForm(const StackForm& form, const std::function<std::unique_ptr<ScopeDevice>()>& makeOmbix,
                            const std::function<std::unique_ptr<ScopeDevice>()>& makeVisa);

// The scope the viewer holds (none while stacking is off) and what the data model takes from it:
// 6 channels of 2048 samples as placeholders without one.
struct ScopeStack {
    std::unique_ptr<ScopeDevice> device;
    int channels = 6;
    int recordLength = 2048;
    void install(std::unique_ptr<ScopeDevice> scope);
};

}  // namespace kv
