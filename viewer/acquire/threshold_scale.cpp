#include "viewer/acquire/threshold_scale.h"

#include <cstdio>
#include <cstdlib>

namespace kv {

int32_t thresholdAtPosition(int position) {
    if (position < 0) position = 0;
    if (position > kThresholdPositions) position = kThresholdPositions;
    return kThresholdTopMv - kThresholdStepMv * position;
}

int thresholdPosition(int32_t millivolts) {
    if (millivolts >= kThresholdTopMv) return 0;
    if (millivolts <= kThresholdBottomMv) return kThresholdPositions;
    return (kThresholdTopMv - millivolts + kThresholdStepMv / 2) / kThresholdStepMv;
}

std::string thresholdText(int32_t millivolts) {
    const int64_t magnitude = std::llabs(static_cast<long long>(millivolts));
    char text[32];
    std::snprintf(text, sizeof text, " %1d.%03d V", static_cast<int>(magnitude / 1000), static_cast<int>(magnitude % 1000));
    if (millivolts < 0) text[0] = '-';
    return text;
}

bool choosePodEntry(PodThresholds& pods, int pod, int index, const Settings& s) {
    if (pod < 0 || pod >= kPods || index < 0 || index >= thresholdCount(s)) return false;
    pods.entry[pod] = index;
    if (index != kUserDefineEntry) pods.millivolts[pod] = s.thresholds[index].millivolts;
    return true;
}

int findThresholdEntry(const Settings& s, const std::string& name) {
    const int n = thresholdCount(s);
    for (int i = 0; i < n; ++i)
        if (s.thresholds[i].name == name) return i;
    return -1;
}

AddOutcome addThresholdEntry(Settings& s, const std::string& name, int32_t millivolts, bool overwrite) {
    if (name.empty() || name.size() >= kThresholdNameBytes) return AddOutcome::BadName;
    const int found = findThresholdEntry(s, name);
    if (found >= 0) {
        if (!overwrite) return AddOutcome::Declined;
        s.thresholds[found].millivolts = millivolts;
        return AddOutcome::Overwritten;
    }
    const int n = thresholdCount(s);
    if (n >= kThresholdSlots) return AddOutcome::ListFull;
    s.thresholds[n].name = name;
    s.thresholds[n].millivolts = millivolts;
    return AddOutcome::Appended;
}

int deleteThresholdEntry(Settings& s, const std::string& name) {
    const int found = findThresholdEntry(s, name);
    if (found < 0) return 249;
    if (found < kBuiltinThresholds) return 248;
    const int n = thresholdCount(s);
    for (int i = found; i + 1 < n; ++i) s.thresholds[i] = s.thresholds[i + 1];
    s.thresholds[n - 1] = ThresholdEntry{};
    s.thresholds[n - 1].name.clear();
    return 0;
}

}  // namespace kv
