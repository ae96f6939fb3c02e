// The 64-byte device slot record: one per device in the shared device table, and a copy inside each
// opened device object. The library fills kind, interface, family, sub-index, product code and slot
// index when it probes; the rest is filled when a process opens the device and only means something
// in that process's copy.
#pragma once

#include <cstdint>

#include "transport/board_io.h"

namespace kv {

enum : int { kSlotRecordBytes = 64, kSlotsUsed = 140, kSharedSlots = 192, kSharedTableBytes = 0x3000 };
static_assert(kSharedSlots * kSlotRecordBytes == kSharedTableBytes, "the shared table holds 192 records");

// Probe kinds in probing order, with the slot ranges they own in the shared table.
enum ProbeKind : int { kProbeUsb = 0, kProbePci = 1, kProbeParallel = 2, kProbeIsa = 3 };
struct ProbeRange {
    int kind;
    int firstSlot;
    int count;
};
extern const ProbeRange kProbeRanges[4];

// Kind word: 0x101 + probe kind; bit 8 is also the free mark (set while no process holds the device).
enum : uint32_t { kKindBase = 0x101, kFreeMark = 0x100 };

// Interface codes (offset 4) are those of the transport (kIfPci ... kIfUsbPocket).

// Board families (offset 8).
enum BoardFamily : int {
    kFamilyIsa = 0,
    kFamily1 = 1,
    kFamilyPocket = 2,
    kFamily3 = 3,
    kFamily4 = 4,
    kFamilyPocketB = 5,
    kFamilyPocketPlus = 6,
    kFamilyNanlyn = 7,
};

struct KvDeviceSlot {
    uint32_t kind = 0;
    int32_t interfaceCode = 0;
    int32_t family = 0;
    int32_t subIndex = 0;
    int32_t productCode = 0;       // 16 bits used, bit 11 removed
    int32_t channels = 0;
    int32_t depth = 0;             // memory words
    int32_t triggerDelay = 0;
    int32_t wordsPerSample = 0;
    int32_t patternUnit = 0;
    int32_t bitsPerWord = 0;
    int32_t reserved44 = 0;
    int32_t transportOpen = 0;
    int32_t captureLength = 0;
    int32_t slotIndex = 0;
    int32_t reserved60 = 0;

    bool operator==(const KvDeviceSlot& o) const;
};

void encodeSlot(const KvDeviceSlot& s, uint8_t out[kSlotRecordBytes]);
KvDeviceSlot decodeSlot(const uint8_t in[kSlotRecordBytes]);

// Slot records inside the shared table are touched word by word, never through a struct view.
uint32_t slotKindWord(const uint8_t* slot);
void setSlotKindWord(uint8_t* slot, uint32_t kind);
void setSlotIndexWord(uint8_t* slot, int32_t index);

bool isParallelInterface(int interfaceCode);
bool isEppInterface(int interfaceCode);
bool isBidiInterface(int interfaceCode);
bool isIsaInterface(int interfaceCode);
bool isUsbInterface(int interfaceCode);
// The probe kind an interface code belongs to, or -1.
int probeKindOf(int interfaceCode);

}  // namespace kv
