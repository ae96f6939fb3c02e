#include "runtime/slot_record.h"

#include "runtime/le_bytes.h"

namespace kv {

const ProbeRange kProbeRanges[4] = {
    {kProbeUsb, 0, 128},
    {kProbePci, 128, 6},
    {kProbeParallel, 134, 2},
    {kProbeIsa, 136, 4},
};

namespace {
// Field order is the record order: word n sits at byte 4n.
constexpr int kSlotWords = 16;
static_assert(kSlotWords * 4 == kSlotRecordBytes, "slot record is sixteen 32-bit words");

void toWords(const KvDeviceSlot& s, uint32_t w[kSlotWords]) {
    const int32_t v[kSlotWords] = {static_cast<int32_t>(s.kind), s.interfaceCode, s.family, s.subIndex,
                                   s.productCode, s.channels, s.depth, s.triggerDelay, s.wordsPerSample,
                                   s.patternUnit, s.bitsPerWord, s.reserved44, s.transportOpen,
                                   s.captureLength, s.slotIndex, s.reserved60};
    for (int i = 0; i < kSlotWords; ++i) w[i] = static_cast<uint32_t>(v[i]);
}
}  // namespace

bool KvDeviceSlot::operator==(const KvDeviceSlot& o) const {
    uint32_t a[kSlotWords], b[kSlotWords];
    toWords(*this, a);
    toWords(o, b);
    for (int i = 0; i < kSlotWords; ++i)
        if (a[i] != b[i]) return false;
    return true;
}

void encodeSlot(const KvDeviceSlot& s, uint8_t out[kSlotRecordBytes]) {
    uint32_t w[kSlotWords];
    toWords(s, w);
    for (int i = 0; i < kSlotWords; ++i) putLe32(out + 4 * i, w[i]);
}

KvDeviceSlot decodeSlot(const uint8_t in[kSlotRecordBytes]) {
    KvDeviceSlot s;
    auto at = [in](int i) { return static_cast<int32_t>(getLe32(in + 4 * i)); };
    s.kind = getLe32(in);
    s.interfaceCode = at(1);
    s.family = at(2);
    s.subIndex = at(3);
    s.productCode = at(4);
    s.channels = at(5);
    s.depth = at(6);
    s.triggerDelay = at(7);
    s.wordsPerSample = at(8);
    s.patternUnit = at(9);
    s.bitsPerWord = at(10);
    s.reserved44 = at(11);
    s.transportOpen = at(12);
    s.captureLength = at(13);
    s.slotIndex = at(14);
    s.reserved60 = at(15);
    return s;
}

uint32_t slotKindWord(const uint8_t* slot) { return getLe32(slot); }
void setSlotKindWord(uint8_t* slot, uint32_t kind) { putLe32(slot, kind); }
void setSlotIndexWord(uint8_t* slot, int32_t index) { putLe32(slot + 56, static_cast<uint32_t>(index)); }

bool isEppInterface(int c) { return c == kIfEpp19At378 || c == kIfEpp19At278 || c == kIfEpp17At378 || c == kIfEpp17At278; }
bool isBidiInterface(int c) { return c == kIfBidiAt378 || c == kIfBidiAt278; }
bool isParallelInterface(int c) { return isEppInterface(c) || isBidiInterface(c); }
bool isIsaInterface(int c) { return c >= kIfIsa268 && c <= kIfIsa36C; }
bool isUsbInterface(int c) { return c == kIfUsb2Epp || c == kIfUsb20 || c == kIfUsbPocket; }

int probeKindOf(int c) {
    if (isUsbInterface(c)) return kProbeUsb;
    if (c == kIfPci) return kProbePci;
    if (isParallelInterface(c)) return kProbeParallel;
    if (isIsaInterface(c)) return kProbeIsa;
    return -1;
}

}  // namespace kv
