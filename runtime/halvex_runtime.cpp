#include "runtime/halvex_runtime.h"

#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include "runtime/board_names.h"
#include "runtime/halvex_api.h"
#include "runtime/le_bytes.h"
#include "runtime/capture.h"
#include "runtime/trigger_program.h"

namespace kv {

const char* const kDeviceTableSectionName = "HALVEXDLLSHARED";

namespace {
enum : int { kUkvProductCode = 0, kUkvDataReady = 1, kUkvMemoryBytes = 2, kUkvCaptureBytes = 2, kUkvMode = 5 };
constexpr uint32_t kUkvMinCaptureBytes = 256;
}  // namespace

HalvexRuntime::HalvexRuntime(RuntimeEnv env) : env_(std::move(env)) {}

HalvexRuntime::~HalvexRuntime() { detach(); }

bool HalvexRuntime::attach() {
    for (auto& d : devices_) d.reset();
    ukvIndex_ = -1;
    // The probing object only carries the switches and the transport; it never becomes a device.
    std::unique_ptr<KvDevice> probe = createDevice(env_);
    shared_ = sharedSections().open(kDeviceTableSectionName, kSharedTableBytes);
    if (!shared_ || shared_->size() < static_cast<size_t>(kSharedTableBytes)) {
        shared_.reset();
        return false;
    }
    uint8_t* base = shared_->data();
    for (const ProbeRange& range : kProbeRanges) {
        for (int sub = 0; sub < range.count; ++sub) {
            const int index = range.firstSlot + sub;
            uint8_t* slot = base + index * kSlotRecordBytes;
            if (slotKindWord(slot) == 0) {
                KvDeviceSlot found;
                if (probeSlot(*probe, range.kind, sub, found)) encodeSlot(found, slot);
            }
            setSlotIndexWord(slot, index);
        }
    }
    return true;
}

void HalvexRuntime::detach() {
    if (shared_) {
        uint8_t* base = shared_->data();
        for (int i = 0; i < kSlotsUsed; ++i) {
            if (!devices_[i]) continue;
            uint8_t* slot = base + i * kSlotRecordBytes;
            // ISA cards cannot be unplugged while the machine runs: their slots stay as they are.
            if (slotKindWord(slot) != 0 && probeKindOf(devices_[i]->slot.interfaceCode) != kProbeIsa)
                std::memset(slot, 0, kSlotRecordBytes);
        }
    }
    shared_.reset();
    for (auto& d : devices_) d.reset();
    ukvIndex_ = -1;
}

uint8_t* HalvexRuntime::table() { return shared_ ? shared_->data() : nullptr; }

KvDevice* HalvexRuntime::device(int index) {
    if (index < 0 || index >= kSlotsUsed) return nullptr;
    return devices_[index].get();
}

int HalvexRuntime::hasHw(void* slotAddress) {
    uint8_t* base = table();
    if (!base || !slotAddress) return -1;
    // Only records of this table can be opened: anything else is refused before it is read.
    const uintptr_t p = reinterpret_cast<uintptr_t>(slotAddress), b = reinterpret_cast<uintptr_t>(base);
    if (p < b || p >= b + static_cast<uintptr_t>(kSlotsUsed) * kSlotRecordBytes || (p - b) % kSlotRecordBytes != 0)
        return -1;
    const int index = static_cast<int>((p - b) / kSlotRecordBytes);
    if (devices_[index]) return -1;
    uint8_t* slot = base + index * kSlotRecordBytes;
    const uint32_t kind = slotKindWord(slot);
    if (kind == 0 || !(kind & kFreeMark)) return -1;
    std::unique_ptr<KvDevice> d = createDevice(env_);
    d->slot = decodeSlot(slot);
    // A board that does not answer is not kept: an object left in the table would make the slot
    // look open in this process and let KvShutdown set a free mark this process never cleared.
    if (!recheckDevice(*d)) return -1;
    applyCapabilities(*d);
    setSlotKindWord(slot, slotKindWord(slot) & ~kFreeMark);
    if (d->slot.family == kFamilyPocketPlus) extendedRates_ = true;
    devices_[index] = std::move(d);
    return index;
}

int HalvexRuntime::interfaceName(int index, const void* slotRecord, int what, char* out, int size) {
    if (!out || size <= 0) return 0;
    KvDeviceSlot s;
    if (KvDevice* d = device(index)) {
        s = d->slot;
    } else {
        if (!slotRecord) return 0;
        s = decodeSlot(static_cast<const uint8_t*>(slotRecord));
    }
    out[0] = 0;
    if (s.kind == 0) return 0;
    std::string name;
    if (what == 0) name = modelName(s.interfaceCode, s.family, s.productCode);
    else if (what == 1) name = kv::interfaceName(s.interfaceCode, s.subIndex);
    else return 0;
    if (name.size() + 1 > static_cast<size_t>(size)) return 0;
    std::memcpy(out, name.c_str(), name.size() + 1);
    return 1;
}

uint32_t HalvexRuntime::getHwInfo(int index, uint32_t selector) {
    KvDevice* d = device(index);
    return d ? deviceHwInfo(*d, selector) : 0;
}

int HalvexRuntime::getHwInfoEx(int index, uint32_t selector, int mode, void* out) {
    KvDevice* d = device(index);
    if (!d || !out) return 0;
    if (env_.writable && !env_.writable(out, kModeRecordBytes)) return 0;
    const KvModeInfo* record = nullptr;
    if (selector == kHwModeInfo) {
        if (mode == -1) record = d->modeSelected ? &d->mode : nullptr;
        else if (mode >= 0 && mode < kModeCount) record = &kModeTable[mode];
    } else if (selector == kHwEquivalentMode) {
        const int pos = equivalentModePosition(mode, d->nanlynVariant);
        if (pos >= 0) record = &kModeTable[pos];
    }
    if (!record) return 0;
    encodeModeInfo(*record, static_cast<uint8_t*>(out));
    return 1;
}

int HalvexRuntime::setHwInfo(int index, uint32_t selector, uint32_t value) {
    if (KvDevice* d = device(index)) setDeviceHwInfo(*d, env_, selector, value);
    return 1;
}

int HalvexRuntime::thresVolt(int index, int group, int millivolts) {
    KvDevice* d = device(index);
    return d ? setThresholdVolt(*d, group, millivolts) : 0;
}

int HalvexRuntime::thresData(int index, int group, int dac) {
    KvDevice* d = device(index);
    // Group -1 is the library's own re-send of the Nanlyn shadows, not a caller's group.
    if (!d || group < 0) return 0;
    return sendThresholdData(*d, group, dac);
}

int HalvexRuntime::reset(int index) {
    KvDevice* d = device(index);
    return d ? resetBoard(*d) : 0;
}

int HalvexRuntime::shutdown(int index) {
    KvDevice* d = device(index);
    if (!d) return 0;
    const bool hadCode = d->slot.productCode != 0;
    restBoard(*d);
    if (shared_) {
        uint8_t* slot = shared_->data() + index * kSlotRecordBytes;
        const uint32_t kind = slotKindWord(slot);
        if (kind != 0) setSlotKindWord(slot, kind | kFreeMark);
    }
    devices_[index].reset();
    if (ukvIndex_ == index) ukvIndex_ = -1;
    return hadCode ? 1 : 0;
}

bool HalvexRuntime::rateBoard(int index, RateQuery& q) {
    q.extended = extendedRates_;
    if (index < 0 || index >= kSlotsUsed) {
        q.family = kFamilyIsa;
        q.productCode = 0x1064;
        return true;
    }
    KvDevice* d = device(index);
    if (!d) return false;
    q.family = d->slot.family;
    q.productCode = d->slot.productCode;
    return true;
}

int HalvexRuntime::freqInfoEx(int index, int what, uint32_t entry, uint32_t entryHigh, uint32_t* outRate,
                              uint32_t* outClass, char* outText, int textSize) {
    RateQuery q;
    if (!rateBoard(index, q)) return -1;
    const uint64_t value = what == 2 ? (static_cast<uint64_t>(entryHigh) << 32 | entry) : entry;
    return kv::freqInfo(q, what, value, outRate, 2, outClass, outText, textSize);
}

int HalvexRuntime::freqInfo(int index, int what, int entry, uint32_t* outRate, uint32_t* outClass, char* outText,
                            int textSize) {
    RateQuery q;
    if (!rateBoard(index, q)) return -1;
    // The 32-bit form: the high half of a rate is the sign of the entry.
    const uint32_t low = static_cast<uint32_t>(entry), high = entry < 0 ? 0xFFFFFFFFu : 0u;
    const uint64_t value = what == 2 ? (static_cast<uint64_t>(high) << 32 | low) : low;
    return kv::freqInfo(q, what, value, outRate, 1, outClass, outText, textSize);
}

int HalvexRuntime::freq2IndexEx(int index, uint32_t rateLow, uint32_t rateHigh) {
    RateQuery q;
    if (!rateBoard(index, q)) return 0;
    return freqToIndex(q, static_cast<uint64_t>(rateHigh) << 32 | rateLow);
}

int HalvexRuntime::freq2Index(int index, uint32_t rate) { return freq2IndexEx(index, rate, 0); }

int HalvexRuntime::extClk2Index(int index, uint32_t code) {
    KvDevice* d = device(index);
    if (!d) return 0;
    return extClockToIndex({d->slot.family, d->slot.productCode, extendedRates_}, code);
}

int HalvexRuntime::tbl2Freq(int code, uint32_t* outRate, uint32_t* outExternal) {
    uint32_t rate = 0, external = 0;
    const int r = rateOfCode(code, rate, external);
    if (outRate) *outRate = rate;
    if (outExternal) *outExternal = external;
    return r;
}

bool HalvexRuntime::readRecord(const void* record, KvTriggerSpec& out) const {
    if (!record || (env_.readable && !env_.readable(record, kTriggerCallBytes))) return false;
    out = readTriggerCall(static_cast<const uint8_t*>(record));
    return true;
}

int HalvexRuntime::trigger(int index, const void* record) {
    KvDevice* d = device(index);
    KvTriggerSpec s;
    if (!d || !readRecord(record, s)) return 0;
    // Trigger tables and read-back buffers are large: memory that cannot be had fails the call.
    try {
        return setTrigger(*d, env_, s);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int HalvexRuntime::ukvSetTrigger(const void* record) {
    KvDevice* d = device(ukvIndex_);
    KvTriggerSpec s;
    if (!d || !readRecord(record, s)) return 0;
    uint8_t converted[kTriggerPatternBytes];
    if (d->isNanlyn() && s.pattern) {
        convertNanlynRecord(s.pattern, s.counts, static_cast<int32_t>(s.field[kTrLevels]), converted);
        s.pattern = converted;
    }
    return setTrigger(*d, env_, s);
}

int HalvexRuntime::programAndArm(KvDevice& d, const KvTriggerSpec& s) try {
    TriggerCopy t;
    if (!expandTrigger(d, s, t)) return 0;
    if (d.isNanlyn() || !triggerUnchanged(d, t)) {
        if (!programTrigger(d, env_, std::move(t))) return 0;
    } else {
        // Unchanged patterns: only the capture parameters of the new record are taken.
        d.trigger.position = t.position;
        d.trigger.passCount = t.passCount;
        d.trigger.delay = t.delay;
        d.trigger.width = t.width;
    }
    return armCapture(d, env_) ? 1 : 0;
} catch (const std::bad_alloc&) {
    return 0;
}

int HalvexRuntime::captureData(int index, const void* record) {
    KvDevice* d = device(index);
    KvTriggerSpec s;
    if (!d || !readRecord(record, s)) return 0;
    return programAndArm(*d, s);
}

int HalvexRuntime::isDataReady(int index) {
    KvDevice* d = device(index);
    return d ? kv::isDataReady(*d) : 0;
}

int HalvexRuntime::getInstantData(int index, int refresh, void* outState16, void* outRate, int* outProgress) {
    KvDevice* d = device(index);
    if (!d) return 0;
    if (refresh && d->isNanlyn()) nanlynStatus(*d);
    if (outState16 && (!env_.writable || env_.writable(outState16, 16))) std::memcpy(outState16, d->liveState, 16);
    if (outRate && (!env_.writable || env_.writable(outRate, 8))) putLe64(static_cast<uint8_t*>(outRate), d->liveRate);
    if (outProgress) *outProgress = d->progress;
    return 1;
}

int HalvexRuntime::readCapData(int index, void* out, int stopped, uint32_t groupMask) {
    KvDevice* d = device(index);
    if (!d || !out) return 0;
    // The caller's buffer is tested before the board is touched: a refused read changes nothing.
    const size_t bytes = readBackBytes(*d);
    if (bytes == 0 || (env_.writable && !env_.writable(out, bytes))) {
        d->readForUkv = false;
        return 0;
    }
    int r = 0;
    try {
        r = readCapture(*d, env_, stopped != 0, groupMask);
    } catch (const std::exception&) {  // memory that cannot be had
        d->readBuffer.clear();
        r = 0;
    }
    d->lastReadResult = static_cast<uint32_t>(r);
    if (!r) return 0;
    std::memcpy(out, d->readBuffer.data() + d->readPosition, std::min(bytes, d->readLength));
    return r;
}

int HalvexRuntime::stopCap(int index) {
    KvDevice* d = device(index);
    return d ? stopCapture(*d) : 0;
}

int HalvexRuntime::eventOut(int index, uint32_t mask) {
    KvDevice* d = device(index);
    return d ? kv::eventOut(*d, mask) : 0;
}

int HalvexRuntime::logger(int index, uint32_t divider, const char* fileName) {
    KvDevice* d = device(index);
    return d ? runLogger(*d, env_, divider, fileName) : 0;
}

int HalvexRuntime::ukvCapture(const void* record, const void* counts, const void* pattern) {
    KvDevice* d = device(ukvIndex_);
    KvTriggerSpec s;
    if (!d || !readRecord(record, s)) return 0;
    // The caller's count and pattern buffers stand in for the record's own (its record is not written).
    s.counts = static_cast<const uint8_t*>(counts);
    s.pattern = static_cast<const uint8_t*>(pattern);
    uint8_t converted[kTriggerPatternBytes];
    if (d->isNanlyn() && s.pattern) {
        convertNanlynRecord(s.pattern, s.counts, static_cast<int32_t>(s.field[kTrLevels]), converted);
        s.pattern = converted;
    }
    programAndArm(*d, s);
    return 1;
}

int HalvexRuntime::ukvRead(void* out, uint32_t groupMask) {
    KvDevice* d = device(ukvIndex_);
    if (!d) return 0;
    d->readForUkv = true;
    const int ready = kv::isDataReady(*d);
    stopCapture(*d);
    return readCapData(ukvIndex_, out, ready ? 0 : 1, groupMask);
}

int HalvexRuntime::ukvInit() {
    if (ukvIndex_ >= 0) return 1;
    uint8_t* base = table();
    if (!base) return 0;
    for (int i = 0; i < kSlotsUsed; ++i) {
        uint8_t* slot = base + i * kSlotRecordBytes;
        const uint32_t kind = slotKindWord(slot);
        if (kind != 0 && (kind & kFreeMark)) {
            const int index = hasHw(slot);
            if (index >= 0) ukvIndex_ = index;
            break;
        }
    }
    return ukvIndex_ >= 0 ? 1 : 0;
}

int HalvexRuntime::ukvShutdown() {
    if (ukvIndex_ < 0) return 0;
    const int r = shutdown(ukvIndex_);
    ukvIndex_ = -1;
    return r;
}

int HalvexRuntime::ukvThreshold(int group, int millivolts) { return thresVolt(ukvIndex_, group, millivolts); }

uint32_t HalvexRuntime::ukvGetHwInfo(int what) {
    switch (what) {
        case kUkvProductCode: return getHwInfo(ukvIndex_, kHwProductCode);
        case kUkvDataReady: return isDataReady(ukvIndex_) ? 1u : 0u;
        case kUkvMemoryBytes: return getHwInfo(ukvIndex_, kHwMemoryBytes);
        default: return 0;
    }
}

int HalvexRuntime::ukvSetHwInfo(int what, uint32_t value) {
    if (what == kUkvCaptureBytes) {
        const uint32_t memory = getHwInfo(ukvIndex_, kHwMemoryBytes);
        if (value < kUkvMinCaptureBytes || value > memory) return 0;
        return setHwInfo(ukvIndex_, kHwSetCaptureLength, value / 8);
    }
    if (what == kUkvMode) {
        KvDevice* d = device(ukvIndex_);
        const UkvModeChoice c = ukvModeChoice(static_cast<int>(value), d ? d->nanlynVariant : 0);
        if (!c.known) return 0;
        if (c.doesNothing) return 1;
        if (c.modeId >= 0) setHwInfo(ukvIndex_, kHwSelectMode, static_cast<uint32_t>(c.modeId));
        setHwInfo(ukvIndex_, kHwSampleGroup, c.sampleGroup);
        return 1;
    }
    return 0;
}

int HalvexRuntime::ukvGetModelName(char* out, int size) { return interfaceName(ukvIndex_, nullptr, 0, out, size); }

}  // namespace kv
