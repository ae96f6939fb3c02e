// The pattern file of the maker's pattern-generator editor (".qgw"): a range of the capture as one
// 64-bit word per sample behind twelve function channels, with the labels moved up by twelve
// channels.
#pragma once

#include <cstdint>
#include <string>

#include "viewer/display/label_table.h"
#include "viewer/shell/sample_store.h"

namespace kv {

enum : uint32_t {
    kQgwHeaderBytes = 68,
    kQgwParameterBytes = 512,
    kQgwLabelOffset = kQgwHeaderBytes + kQgwParameterBytes,   // 580
    kQgwFunctionRecords = 12,
    kQgwChannelShift = 12,
    kQgwVersion = 0x101,
};

enum : int {
    kQgwNoLabels = -1,         // nothing written, and nothing to say
    kStrQgChannels = 277,      // "QG's channel number can not over 50."
    kStrQgMemory = 279,
    kStrQgLengthZero = 280,    // "Length is 0."
    kQgwMaxChannel = 49,       // the editor drives 50 channels beside its function channels
};

struct QgwSource {
    uint64_t frequency = 0;    // Hz
    const LabelTable* labels = nullptr;
    bool selectedOnly = false;
    SampleStore* store = nullptr;
    int32_t start = 0, end = 0;   // inclusive; swapped when reversed
};

// The whole file into `out`: 0, kQgwNoLabels, or the string number of the refusal.
int writeQgw(const QgwSource& source, std::string& out);

}  // namespace kv
