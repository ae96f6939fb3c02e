#include "viewer/files/qgw_file.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "viewer/files/kvw_codec.h"

namespace kv {
namespace {

const char kQgwId[] = "Ombix Technology Inc. QG-Editor";

// Function record j of the twelve that form one group over channels 0-11.
LabelEntry functionRecord(int j) {
    LabelEntry e;
    e.channel = 11 - j;
    e.value = 0;
    e.format = 5;
    std::strcpy(e.name, "QG_Function");
    e.colorIndex = 14;
    e.kind = j == 11 ? kLabelLastMember : j + 2;
    e.flags = 0;
    return e;
}

}  // namespace

int writeQgw(const QgwSource& s, std::string& out) {
    if (!s.labels || s.labels->count() == 0) return kQgwNoLabels;
    const LabelTable exported = exportedLabels(*s.labels, s.selectedOnly);
    const int n = exported.count();
    int32_t highest = -1;
    for (int i = 0; i < n; ++i) highest = std::max(highest, exported.entries[i].channel);
    if (highest > kQgwMaxChannel) return kStrQgChannels;
    const int32_t count = s.store ? s.store->logicalCount() : 0;
    const int32_t last = std::max(count - 1, 0);
    const int32_t start = std::clamp(std::min(s.start, s.end), 0, last);
    const int32_t end = std::clamp(std::max(s.start, s.end), 0, last);
    if (start == end) return kStrQgLengthZero;

    const uint32_t labelBytes = static_cast<uint32_t>(kLabelRecordBytes) * (kQgwFunctionRecords + n + 1);
    const uint32_t dataOffset = kQgwLabelOffset + labelBytes;
    const uint64_t dataBytes = uint64_t{8} * static_cast<uint64_t>(end - start + 1);
    try {
        out.assign(dataOffset + dataBytes, '\0');
    } catch (const std::bad_alloc&) {
        return kStrQgMemory;
    }
    auto* p = reinterpret_cast<uint8_t*>(&out[0]);
    std::memcpy(p, kQgwId, sizeof kQgwId);
    putU32(p + 32, kQgwVersion);
    putU32(p + 36, kQgwHeaderBytes);
    putU32(p + 40, kQgwHeaderBytes);
    putU32(p + 44, kQgwParameterBytes);
    putU32(p + 48, kQgwLabelOffset);
    putU32(p + 52, labelBytes);
    putU32(p + 56, dataOffset);
    putU32(p + 60, static_cast<uint32_t>(dataBytes));
    putU32(p + 64, static_cast<uint32_t>(dataOffset + dataBytes));
    putU32(p + kQgwHeaderBytes, static_cast<uint32_t>(s.frequency));
    putU32(p + kQgwHeaderBytes + 8, static_cast<uint32_t>(s.frequency >> 32));

    uint8_t* labels = p + kQgwLabelOffset;
    for (int j = 0; j < static_cast<int>(kQgwFunctionRecords); ++j)
        writeLabelEntry(functionRecord(j), labels + j * kLabelRecordBytes);
    for (int i = 0; i < n; ++i) {
        LabelEntry e = exported.entries[i];
        e.channel += kQgwChannelShift;
        writeLabelEntry(e, labels + (kQgwFunctionRecords + i) * kLabelRecordBytes);
    }
    writeLabelEntry(LabelEntry{}, labels + (kQgwFunctionRecords + n) * kLabelRecordBytes);

    uint8_t* data = p + dataOffset;
    for (int32_t i = start; i <= end; ++i, data += 8) storeLe64(data, s.store->sample(i) << kQgwChannelShift);
    return 0;
}

}  // namespace kv
