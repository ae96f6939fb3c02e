// The library's process-wide state and the logic behind every export: the shared device table,
// the table of open devices, the single-device index of the ukv* family. Halvex.dll keeps one
// instance for the life of the process; native tests build their own against virtual boards.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/shared_section.h"
#include "runtime/device.h"
#include "runtime/rate_tables.h"
#include "runtime/trigger_call.h"

namespace kv {

extern const char* const kDeviceTableSectionName;  // "HALVEXDLLSHARED"

class HalvexRuntime {
public:
    explicit HalvexRuntime(RuntimeEnv env);
    ~HalvexRuntime();
    HalvexRuntime(const HalvexRuntime&) = delete;
    HalvexRuntime& operator=(const HalvexRuntime&) = delete;

    // Process attach: maps the shared device table and probes every empty slot in slot order.
    // Nothing here starts a thread, waits on one or loads a library (it runs under the loader lock).
    bool attach();
    // Process detach: slots of devices still open here are emptied (ISA slots excepted), so the next
    // process probes them again; the table is unmapped and every device object destroyed.
    void detach();

    uint8_t* table();  // KvFindDevice
    int hasHw(void* slot);
    int interfaceName(int index, const void* slot, int what, char* out, int size);
    uint32_t getHwInfo(int index, uint32_t selector);
    int getHwInfoEx(int index, uint32_t selector, int mode, void* out);
    int setHwInfo(int index, uint32_t selector, uint32_t value);
    int thresVolt(int index, int group, int millivolts);
    int thresData(int index, int group, int dac);
    int reset(int index);
    int shutdown(int index);

    // Rate and clock-source lists.
    int freqInfoEx(int index, int what, uint32_t entry, uint32_t entryHigh, uint32_t* outRate, uint32_t* outClass,
                   char* outText, int textSize);
    int freqInfo(int index, int what, int entry, uint32_t* outRate, uint32_t* outClass, char* outText, int textSize);
    int freq2IndexEx(int index, uint32_t rateLow, uint32_t rateHigh);
    int freq2Index(int index, uint32_t rate);
    int extClk2Index(int index, uint32_t code);
    static int tbl2Freq(int code, uint32_t* outRate, uint32_t* outExternal);

    // Trigger and capture. Records arrive in their call form (runtime/trigger_call.h).
    int trigger(int index, const void* record);
    int ukvSetTrigger(const void* record);
    int captureData(int index, const void* record);
    int isDataReady(int index);
    int getInstantData(int index, int refresh, void* outState16, void* outRate, int* outProgress);
    int readCapData(int index, void* out, int stopped, uint32_t groupMask);
    int stopCap(int index);
    int eventOut(int index, uint32_t mask);
    int logger(int index, uint32_t divider, const char* fileName);
    int ukvCapture(const void* record, const void* counts, const void* pattern);
    int ukvRead(void* out, uint32_t groupMask);

    int ukvInit();
    int ukvShutdown();
    int ukvThreshold(int group, int millivolts);
    uint32_t ukvGetHwInfo(int what);
    int ukvSetHwInfo(int what, uint32_t value);
    int ukvGetModelName(char* out, int size);
    int ukvIndex() const { return ukvIndex_; }

    // The open device of an index, or null.
    KvDevice* device(int index);
    // Set once a family-6 board has been opened: the process then uses the 27-entry rate table.
    bool extendedRateTable() const { return extendedRates_; }

private:
    // The board a rate call names: an open device, or for an index outside 0-139 a family-0 board
    // with code 0x1064. False for an index in range that is not open.
    bool rateBoard(int index, RateQuery& q);
    bool readRecord(const void* record, KvTriggerSpec& out) const;
    // Programs the trigger when it changed (always on Nanlyn boards) and arms; 0 when refused.
    int programAndArm(KvDevice& d, const KvTriggerSpec& s);

    RuntimeEnv env_;
    std::unique_ptr<SharedSection> shared_;
    std::unique_ptr<KvDevice> devices_[kSlotsUsed];
    int ukvIndex_ = -1;
    bool extendedRates_ = false;
};

}  // namespace kv
