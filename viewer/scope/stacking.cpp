#include "viewer/scope/stacking.h"

#include <algorithm>

#include "viewer/display/label_table.h"

namespace kv {

int32_t samplingTypeCount(int32_t brand) { return brand == kBrandOmbix ? 5 : 2; }

uint64_t scopeRangeMillivolts(uint32_t index) {
    static const uint64_t kMillivolts[kScopeRangeCount] = {10000, 5000, 2000, 1000, 500, 200, 100, 50, 20, 10, 5, 2};
    return kMillivolts[std::min<uint32_t>(index, kScopeRangeCount - 1)];
}

uint64_t stackRequestRate(int32_t srType, uint64_t logicHz, uint64_t editHz) {
    switch (srType) {
        case kSrKv1: return std::min(logicHz, kStackRateCap);
        case kSrKv10: return logicHz <= kStackRateCap / 10 ? logicHz * 10 : kStackRateCap;
        case kSrEdit: return std::min(editHz, kStackRateCap);
        default: return kStackRateCap;
    }
}

void configureStackedScope(ScopeDevice& scope, const LabelTable& labels, double trigPosPercent, int32_t srType,
                           uint64_t logicHz, uint64_t editHz) {
    for (const LabelEntry& e : labels.entries) {
        if (e.kind == kLabelEnd) break;
        if (!(e.flags & kLabelScope) || e.channel < 0 || e.channel > 5) continue;
        scope.setChannelRange(e.channel, scopeRangeMillivolts((e.flags >> kScopeRangeShift) & 15) * 1000);
        scope.setAcCoupling(e.channel, (e.flags & kScopeAcCoupling) != 0);
        scope.setBandwidthLimit(e.channel, (e.flags & kScopeBandwidthLimit) != 0);
    }
    double position = trigPosPercent;
    scope.setTriggerPosition(&position);
    scope.setSampleRate(stackRequestRate(srType, logicHz, editHz));
}

StackOutcome applyStackForm(const StackForm& form, const std::function<std::unique_ptr<ScopeDevice>()>& makeOmbix,
                            const std::function<std::unique_ptr<ScopeDevice>()>& makeVisa) {
    StackOutcome out;
    if (form.brand == kBrandNone) {
        out.ok = true;
        return out;
    }
    if (form.brand != kBrandOmbix && form.brand != kBrandTektronix) {
        out.message = kStrBrandUnsupported;
        out.error = true;
        out.restoreBrand = true;
        return out;
    }
    if (!(form.trigPosPercent >= 0 && form.trigPosPercent <= 100)) {
        out.message = kStrPositionRange;
        out.error = true;
        return out;
    }
    out.error = true;
    if (form.brand == kBrandOmbix) {
        std::unique_ptr<ScopeDevice> scope = makeOmbix ? makeOmbix() : nullptr;
        if (!scope || !scope->openDefault()) {
            out.message = kStrOmbixNotFound;
            return out;
        }
        if (scope->modelCode() == 0xABCE && form.trigPosPercent > 12.5) {
            out.message = kStrPosition12;
            return out;
        }
        uint64_t rate = form.rate;
        if (form.srType == kSrEdit) {
            const uint64_t set = scope->setSampleRate(form.rate);
            if (set != form.rate) {
                out.message = kStrBadRate;
                return out;
            }
            rate = set;
        }
        out.rate = rate;
        out.message = kStrStackOmbix;
        out.scope = std::move(scope);
    } else {
        std::unique_ptr<ScopeDevice> scope = makeVisa ? makeVisa() : nullptr;
        if (!scope || !scope->openIp(form.ip)) {
            out.message = kStrTektronixNotFound;
            return out;
        }
        out.rate = form.rate;
        out.message = kStrStackTektronix;
        out.scope = std::move(scope);
    }
    out.ok = true;
    out.error = false;
    return out;
}

void ScopeStack::install(std::unique_ptr<ScopeDevice> scope) {
    device = std::move(scope);
    channels = device ? device->channelCount() : 6;
    recordLength = device ? device->sampleCount(1) : 2048;
}

}  // namespace kv
