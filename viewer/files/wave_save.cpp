#include "viewer/files/wave_save.h"

#include <algorithm>
#include <cstdio>


namespace kv {

int checkSaveChoice(const SaveChoice& choice, bool blockRepeat, bool nanlyn) {
    if (choice.fileName.empty()) return kStrNoFileName;
    if (blockRepeat && nanlyn) return kStrNoKvw10;
    return 0;
}

std::string withDefaultExtension(const std::string& name, int32_t format) {
    const size_t slash = name.find_last_of('\\');
    const size_t dot = name.find('.', slash == std::string::npos ? 0 : slash + 1);
    if (dot != std::string::npos) return name;
    return name + (format == kSaveQgw ? ".qgw" : format == kSaveText ? ".txt" : ".kvw");
}

ChosenRange chosenRange(const SaveChoice& choice, const int32_t cursorPositions[6], int32_t sampleCount) {
    ChosenRange r;
    const int32_t last = std::max(sampleCount - 1, 0);
    r.start = choice.selectRange && choice.startChoice >= 1 && choice.startChoice <= 6
                  ? cursorPositions[choice.startChoice - 1]
                  : 0;
    r.end = choice.selectRange && choice.endChoice >= 1 && choice.endChoice <= 6 ? cursorPositions[choice.endChoice - 1]
                                                                                  : last;
    if (r.start > r.end) std::swap(r.start, r.end);
    r.start = std::clamp(r.start, 0, last);
    r.end = std::clamp(r.end, 0, last);
    return r;
}

std::string automaticFileName(const FileTimeStamp& t, int counter) {
    char name[64];
    std::snprintf(name, sizeof name, "W%04d%02d%02d%02d%02d%02d%d.KVW", t.year, t.month, t.day, t.hour, t.minute,
                  t.second, counter);
    return name;
}

}  // namespace kv
