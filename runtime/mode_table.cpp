#include "runtime/mode_table.h"

#include <cstring>

#include "runtime/le_bytes.h"

namespace kv {

namespace {
constexpr int32_t kFull = 0xFFFFF;
}

// Columns: group, 0, id, 0, rate, text, features, channels, depth, usable, pack, trigger set-up,
// largest count, the two trigger-block words, 1.
const KvModeInfo kModeTable[kModeCount] = {
    {1, 0, 4056, 0, 200000000ull, "FREQ <= 200MHz, CH <= 36, MEM <= 4K, TR RES = 5ns", 0x122, 36, 4096, 4000, 1, 1, kFull, 16, 4, 1},
    {4, 0, 4001, 0, 400000000ull, "FREQ <= 400MHz, CH = 18, MEM <=  4M, TR RES = 5ns", 0x1, 18, 0x400000, 4096000, 2, 2, kFull, 1, 1, 1},
    {4, 0, 4002, 0, 800000000ull, "FREQ <= 800MHz, CH =  9, MEM <=  8M, TR RES = 5ns", 0x1, 9, 0x800000, 8192000, 4, 8, kFull, 1, 1, 1},
    {4, 0, 4003, 0, 1600000000ull, "FREQ <= 1.6GHz, CH =  4, MEM <= 16M, TR RES = 5ns", 0x1, 4, 0x1000000, 16384000, 8, 64, kFull, 1, 1, 1},
    {7, 0, 4004, 0, 2000000000ull, "FREQ <= 2GHz, CH = 36, MEM <= 5K, TR RES = 500ps", 0, 36, 5120, 5000, 1, 1, 255, 1, 1, 1},
    {7, 0, 4005, 0, 4000000000ull, "FREQ <= 4GHz, CH = 36, MEM <= 2.5K, TR RES = 250ps", 0, 36, 2560, 2500, 1, 1, 255, 1, 1, 1},
    {4, 0, 4057, 0, 200000000ull, "UART(RS232) H/W Trigger", 0x20023, 36, 0x200000, 2048000, 1, 1023, kFull, 16, 4, 1},
    {4, 0, 4043, 0, 200000000ull, "FREQ <= 200MHz, CH <= 36, MEM <= 72M, TR RES = 5ns", 0x123, 36, 0x200000, 2048000, 1, 1023, kFull, 16, 4, 1},
    {4, 0, 4068, 0, 200000000ull, "FREQ = EXT, CH <= 35, MEM <= 72M, TR RES = 1 clock", 0x1A1, 36, 0x200000, 2048000, 1, 1, kFull, 16, 4, 1},
    {7, 0, 4046, 0, 4000000000ull, "FREQ <= 4GHz with Glitch Trigger, CH = 36, MEM <= 2.5K, TR RES = 250ps", 0x40, 36, 2560, 2500, 1, 1, 255, 1, 1, 1},
    {7, 0, 4045, 0, 1000000ull, "Digital Data Logger", 0x12, 36, 2560, 2500, 1, 1023, 0, 1, 1, 1},
    {7, 0, 4047, 0, 4000000000ull, "FREQ = 4GHz, CH = 18, MEM <= 5K, TR RES = 250ps", 0, 18, 5120, 5000, 1, 2, 255, 1, 1, 1},
    {7, 0, 4049, 0, 4000000000ull, "FREQ = 4GHz, CH = 9, MEM <= 10K, TR RES = 250ps", 0, 9, 10240, 10000, 1, 8, 255, 1, 1, 1},
    {7, 0, 4050, 0, 4000000000ull, "FREQ = 4GHz, CH = 4, MEM <= 20K, TR RES = 250ps", 0, 4, 20480, 20000, 1, 64, 255, 1, 1, 1},
    {7, 0, 4051, 0, 4000000000ull, "FREQ <= 4GHz, CH = 36, MEM <= 2.5K, Time Stamp, TR RES = 250ps", 4, 64, 2560, 2500, 1, 1, 255, 1, 1, 1},
    {1, 0, 4058, 0, 200000000ull, "UART(RS232) H/W Trigger", 0x20022, 36, 4096, 4000, 1, 1023, kFull, 16, 4, 1},
    {1, 0, 4059, 0, 400000000ull, "FREQ <= 400MHz, CH = 18, MEM <=  8K, TR RES = 5ns", 0, 18, 8192, 8000, 2, 2, kFull, 1, 1, 1},
    {1, 0, 4060, 0, 800000000ull, "FREQ <= 800MHz, CH = 9, MEM <=  16K, TR RES = 5ns", 0, 9, 0x4000, 16000, 4, 8, kFull, 1, 1, 1},
    {1, 0, 4061, 0, 1600000000ull, "FREQ <= 1.6GHz, CH = 4, MEM <=  32K, TR RES = 5ns", 0, 4, 0x8000, 32000, 8, 64, kFull, 1, 1, 1},
    {2, 0, 4062, 0, 200000000ull, "FREQ <= 200MHz, CH <= 36, MEM <= 512K, TR RES = 5ns", 0x123, 36, 0x80000, 512000, 1, 1023, kFull, 16, 4, 1},
    {2, 0, 4064, 0, 400000000ull, "FREQ <= 400MHz, CH = 18, MEM <=  1M, TR RES = 5ns", 0x1, 18, 0x100000, 1024000, 2, 2, kFull, 1, 1, 1},
    {2, 0, 4065, 0, 800000000ull, "FREQ <= 800MHz, CH =  9, MEM <=  2M, TR RES = 5ns", 0x1, 9, 0x200000, 2048000, 4, 8, kFull, 1, 1, 1},
    {2, 0, 4067, 0, 1600000000ull, "FREQ <= 1.6GHz, CH =  4, MEM <= 4M, TR RES = 5ns", 0x1, 4, 0x400000, 4096000, 8, 64, kFull, 1, 1, 1},
    {2, 0, 4069, 0, 200000000ull, "FREQ = EXT, CH <= 35, MEM <= 18M, TR RES = 1 clock", 0x1A1, 36, 0x80000, 512000, 1, 1023, kFull, 16, 4, 1},
    {1, 0, 4070, 0, 200000000ull, "FREQ = EXT, CH <= 35, MEM <= 4K, TR RES = 1 clock", 0x1A0, 36, 4096, 4000, 1, 1, kFull, 16, 4, 1},
    {2, 0, 4071, 0, 200000000ull, "UART(RS232) H/W Trigger", 0x20023, 36, 0x80000, 512000, 1, 1023, kFull, 16, 4, 1},
    {1, 0, 4072, 0, 200000000ull, "I2C H/W Trigger", 0x80022, 36, 4096, 4000, 1, 1023, kFull, 16, 4, 1},
    {1, 0, 4073, 0, 200000000ull, "SPI H/W Trigger", 0x40022, 36, 4096, 4000, 1, 1023, kFull, 16, 4, 1},
    {4, 0, 4075, 0, 200000000ull, "I2C H/W Trigger", 0x80023, 36, 0x200000, 2048000, 1, 1023, kFull, 16, 4, 1},
    {2, 0, 4074, 0, 200000000ull, "I2C H/W Trigger", 0x80023, 36, 0x80000, 512000, 1, 1023, kFull, 16, 4, 1},
    {4, 0, 4077, 0, 200000000ull, "SPI H/W Trigger", 0x40023, 36, 0x200000, 2048000, 1, 1023, kFull, 16, 4, 1},
    {2, 0, 4076, 0, 200000000ull, "SPI H/W Trigger", 0x40023, 36, 0x80000, 512000, 1, 1023, kFull, 16, 4, 1},
    {1, 0, 4078, 0, 200000000ull, "I2S H/W Trigger", 0x100022, 36, 4096, 4000, 1, 1023, kFull, 16, 4, 1},
    {4, 0, 4079, 0, 200000000ull, "I2S H/W Trigger", 0x100023, 36, 0x200000, 2048000, 1, 1023, kFull, 16, 4, 1},
    {2, 0, 4080, 0, 200000000ull, "I2S H/W Trigger", 0x100023, 36, 0x80000, 512000, 1, 1023, kFull, 16, 4, 1},
};

namespace {
// Equivalent-mode maps, indexed by table position: A for boards 0x2136, B for 0x2236 (and any board
// without a variant), C for 0x2036.
const int8_t kMapA[kModeCount] = {19, 20, 21, 22, 4, 5, 25, 19, 23, 9, 10, 11, 12, 13, 14, 25, 20, 21,
                                  22, 19, 20, 21, 22, 23, 23, 25, 29, 31, 29, 29, 31, 31, 34, 34, 34};
const int8_t kMapB[kModeCount] = {7, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 6, 1, 2,
                                  3, 7, 1, 2, 3, 8, 8, 6, 28, 30, 28, 28, 30, 30, 33, 33, 33};
const int8_t kMapC[kModeCount] = {0, 16, 17, 18, 4, 5, 15, 0, 24, 9, 10, 11, 12, 13, 14, 15, 16, 17,
                                  18, 0, 16, 17, 18, 24, 24, 15, 26, 27, 26, 26, 27, 27, 32, 32, 32};

struct UkvModeRow {
    int number;
    int ids[3];        // for variant bits 1, 2, 4; the same id three times for the common modes
    uint32_t group;
};
const UkvModeRow kUkvModes[] = {
    {0, {4005, 4005, 4005}, 1},   {1, {4047, 4047, 4047}, 2},   {2, {4049, 4049, 4049}, 8},
    {3, {4050, 4050, 4050}, 64},  {100, {4004, 4004, 4004}, 1}, {200, {4061, 4067, 4003}, 64},
    {300, {4060, 4065, 4002}, 8}, {400, {4059, 4064, 4001}, 2}, {500, {4056, 4062, 4043}, 1},
    {501, {4056, 4062, 4043}, 2}, {502, {4056, 4062, 4043}, 4}, {503, {4056, 4062, 4043}, 8},
    {504, {4056, 4062, 4043}, 16}, {505, {4056, 4062, 4043}, 32}, {506, {4056, 4062, 4043}, 256},
    {507, {4056, 4062, 4043}, 512},
};
}  // namespace

int modePosition(int modeId) {
    for (int i = 0; i < kModeCount; ++i)
        if (kModeTable[i].modeId == modeId) return i;
    return -1;
}

int equivalentModePosition(int modeId, int nanlynVariant) {
    const int i = modePosition(modeId);
    if (i < 0) return -1;
    const int8_t* map = nanlynVariant == 1 ? kMapC : nanlynVariant == 2 ? kMapA : kMapB;
    return map[i];
}

void encodeModeInfo(const KvModeInfo& m, uint8_t out[kModeRecordBytes]) {
    std::memset(out, 0, kModeRecordBytes);
    putLe32(out + 0, static_cast<uint32_t>(m.group));
    putLe32(out + 4, static_cast<uint32_t>(m.reserved4));
    putLe32(out + 8, static_cast<uint32_t>(m.modeId));
    putLe32(out + 12, static_cast<uint32_t>(m.reserved12));
    putLe64(out + 16, m.highestRate);
    const char* text = m.description ? m.description : "";
    const size_t n = std::strlen(text);
    std::memcpy(out + 24, text, n < kModeTextBytes - 1 ? n : kModeTextBytes - 1);
    putLe32(out + 152, m.features);
    putLe32(out + 156, static_cast<uint32_t>(m.channels));
    putLe32(out + 160, static_cast<uint32_t>(m.depth));
    putLe32(out + 164, static_cast<uint32_t>(m.usableDepth));
    putLe32(out + 168, static_cast<uint32_t>(m.samplesPerWord));
    putLe32(out + 172, static_cast<uint32_t>(m.triggerSetup));
    putLe32(out + 176, static_cast<uint32_t>(m.largestCount));
    putLe32(out + 180, static_cast<uint32_t>(m.triggerBlock));
    putLe32(out + 184, static_cast<uint32_t>(m.triggerBlock2));
    putLe32(out + 188, static_cast<uint32_t>(m.one));
}
static_assert(188 + 4 == kModeRecordBytes, "mode record ends with its last word");
static_assert(24 + kModeTextBytes == 152, "description text fills offsets 24-151");

UkvModeChoice ukvModeChoice(int number, int nanlynVariant) {
    UkvModeChoice c;
    if (number >= 101 && number <= 103) {
        c.known = true;
        c.doesNothing = true;
        return c;
    }
    for (const UkvModeRow& row : kUkvModes) {
        if (row.number != number) continue;
        c.known = true;
        c.sampleGroup = row.group;
        if (nanlynVariant == 1) c.modeId = row.ids[0];
        else if (nanlynVariant == 2) c.modeId = row.ids[1];
        else if (nanlynVariant == 4) c.modeId = row.ids[2];
        return c;
    }
    return c;
}

}  // namespace kv
