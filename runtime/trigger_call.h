// The trigger record as it crosses the library boundary: the caller's KvTrigger/KvCaptureData
// argument. Fourteen little-endian 32-bit words (field 0 = flags ... field 13), then the two
// addresses of caller-owned buffers: the per-level counts (field 14; one little-endian 32-bit word
// per level) and the pattern bytes (field 15). The addresses are pointer-sized, so the call form is
// 64 bytes in the 32-bit library and 72 bytes in the 64-bit one; both sides of a call are always
// built for the same architecture.
// Stored copies of the record (projects, waveform files) are always 64 bytes: the fourteen words and
// two address words, which are written as 0 and ignored when read, in both builds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "runtime/le_bytes.h"

namespace kv {

enum : int {
    kTriggerDataWords = 14,        // fields 0..13
    kTriggerStoredBytes = 64,      // the stored form: sixteen 32-bit words
    kTriggerPatternBytes = 1024,   // the viewer's level-data block
    kTriggerLinkWords = 16,        // one count/link word per level
};
constexpr size_t kTriggerCallBytes = kTriggerDataWords * 4 + 2 * sizeof(void*);

struct KvTriggerSpec {
    uint32_t field[kTriggerDataWords] = {};
    const uint8_t* counts = nullptr;   // field 14: levels x 4 bytes, little-endian words
    const uint8_t* pattern = nullptr;  // field 15: levels x pattern size bytes
};

inline void writeTriggerCall(const KvTriggerSpec& s, uint8_t out[kTriggerCallBytes]) {
    for (int i = 0; i < kTriggerDataWords; ++i) putLe32(out + 4 * i, s.field[i]);
    std::memcpy(out + 4 * kTriggerDataWords, &s.counts, sizeof(void*));
    std::memcpy(out + 4 * kTriggerDataWords + sizeof(void*), &s.pattern, sizeof(void*));
}

inline KvTriggerSpec readTriggerCall(const uint8_t in[kTriggerCallBytes]) {
    KvTriggerSpec s;
    for (int i = 0; i < kTriggerDataWords; ++i) s.field[i] = getLe32(in + 4 * i);
    std::memcpy(&s.counts, in + 4 * kTriggerDataWords, sizeof(void*));
    std::memcpy(&s.pattern, in + 4 * kTriggerDataWords + sizeof(void*), sizeof(void*));
    return s;
}

// The stored form: the fourteen words and two zero address words.
inline void writeTriggerStored(const uint32_t field[kTriggerDataWords], uint8_t out[kTriggerStoredBytes]) {
    for (int i = 0; i < kTriggerDataWords; ++i) putLe32(out + 4 * i, field[i]);
    std::memset(out + 4 * kTriggerDataWords, 0, kTriggerStoredBytes - 4 * kTriggerDataWords);
}

inline void readTriggerStored(const uint8_t in[kTriggerStoredBytes], uint32_t field[kTriggerDataWords]) {
    for (int i = 0; i < kTriggerDataWords; ++i) field[i] = getLe32(in + 4 * i);
}

}  // namespace kv
