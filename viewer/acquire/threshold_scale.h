// Threshold levels: the slider scale, the level text, the per-pod choice and the named-level list
// (three logic families, "User Define" and up to 28 user-named levels), in millivolts throughout.
#pragma once

#include <cstdint>
#include <string>

#include "viewer/shell/settings.h"

namespace kv {

// The comparators reach from +6.880 V down to -7.145 V in steps of 55 mV; the slider has its
// highest level at the top (position 0).
enum : int32_t { kThresholdTopMv = 6880, kThresholdBottomMv = -7145, kThresholdStepMv = 55,
                 kThresholdPositions = (kThresholdTopMv - kThresholdBottomMv) / kThresholdStepMv,
                 kThresholdTicks = kThresholdPositions / 20 + 1, kThresholdPageStep = 5 };
enum : int { kPods = 4, kBuiltinThresholds = 4, kUserDefineEntry = 3 };

int32_t thresholdAtPosition(int position);
int thresholdPosition(int32_t millivolts);   // the nearest position, clamped to the scale
// " %1d.%03d V", a minus sign in place of the blank for negative levels.
std::string thresholdText(int32_t millivolts);

// The pods' choice: an entry of the named list per pod and the level it gives.
struct PodThresholds {
    int32_t entry[kPods] = {0, 0, 0, 0};
    int32_t millivolts[kPods] = {1600, 1600, 1600, 1600};
};
// Choosing entry `index` for a pod: the entry's level, except "User Define", which keeps the
// pod's own level for the slider to adjust. False for an index outside the list.
bool choosePodEntry(PodThresholds& pods, int pod, int index, const Settings& s);

// Custom Threshold's Add and Delete. Add: an existing name is overwritten only when `overwrite`
// confirms it; a full list takes nothing. Delete answers the string number refusing it, or 0.
enum class AddOutcome { Appended, Overwritten, Declined, ListFull, BadName };
AddOutcome addThresholdEntry(Settings& s, const std::string& name, int32_t millivolts, bool overwrite);
int findThresholdEntry(const Settings& s, const std::string& name);
int deleteThresholdEntry(Settings& s, const std::string& name);   // 0, 248 or 249

}  // namespace kv
