// One capture from arming to the samples in the caller's buffer, per board path: ISA 4K boards,
// pocket boards, the generic boards of families 1 and 3, the 512K boards and the Nanlyn boards.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/device.h"
#include "runtime/trigger_call.h"

namespace kv {

// Byte-frame commands of the capture logic (families 1, 2, 3, 5, 6), with their 24-bit values sent
// low byte first.
enum : uint8_t {
    kCmdStop = 0x00,
    kCmdStart = 0x01,
    kCmdPassCount = 0x0A,
    kCmdDelay = 0x0D,
    kCmdModeRegister = 0x0E,
    kCmdPrefill = 0x0F,
};
// ISA command words of the capture logic.
enum : uint16_t {
    kIsaStop = 0x1C00,
    kIsaStart = 0x1D00,
    kIsaPassCount = 0x6000,
    kIsaStatus = 0x8403,
    kIsaReadBank = 0xB000,
};
enum : int { kIsaBanks = 8, kIsaBankWords = 0x8000 };
// Nanlyn status block.
enum : int { kStatusBlockBytes = 36 };

// Families 1, 2, 3, 5, 6: a capture-logic command with a 24-bit value.
int sendValueCommand(KvDevice& d, uint8_t command, uint32_t value);

// The expected output size of KvReadCapData for the device (bytes).
size_t readBackBytes(const KvDevice& d);

// Arms a capture with an expanded trigger already held by the device (positions and rate from it).
int armCapture(KvDevice& d, const RuntimeEnv& env);
int isDataReady(KvDevice& d);
int stopCapture(KvDevice& d);
// Reads the capture into the device's read buffer and sets the read position; the decoder's result.
int readCapture(KvDevice& d, const RuntimeEnv& env, bool stopped, uint32_t groupMask);
// Nanlyn: status request, status block decoded into the live state, rate and progress; bit 0.
int nanlynStatus(KvDevice& d);
// The measured rate of a status block's edge count A and period count B.
uint64_t measuredRate(uint32_t a, uint32_t b);
int eventOut(KvDevice& d, uint32_t mask);
int runLogger(KvDevice& d, const RuntimeEnv& env, uint32_t divider, const char* fileName);

// Sample-group mapping of the Nanlyn sample-group word: (a, g').
void sampleGroupNumbers(uint32_t word, int& a, int& g);

// Puts a ring memory of `depth` samples of `bytes` each in time order, oldest first: when not
// wrapped only addresses below `writeAddress` were written and the rest of the output is zero
// at its start. Returns the number of unwritten samples.
size_t timeOrder(const uint8_t* ring, size_t depth, size_t bytes, size_t writeAddress, bool wrapped, uint8_t* out);

// Boards with trigger memory (families 1 and 3 other than 512K): each 8-channel group has 64 KiB of
// memory; the write address (bits 0-13 of the identity's second word) counts 4-byte words, and a
// wrapped bank is read as 65,792 bytes whose last 256 are the bank's first.
constexpr size_t kGenericGroupBytes = 0x10000, kGenericWrapLead = 256, kGenericWrappedBytes = 0x10000 + 256;
constexpr uint32_t kGenericAddressMask = 0x3FFF;
// Puts one group's read in time order into `out` (64 KiB): `raw` holds the `bytes` read (the written
// words, or the 65,792 bytes of a wrapped bank, rearranged in place); `address` is the last word
// written. Returns the number of unwritten samples at the start.
size_t orderGenericGroup(uint8_t* raw, size_t bytes, bool wrapped, size_t address, uint8_t* out);
// With a trigger set, the byte of the time-ordered group memory the output starts at, from the
// trigger position or from the board's status word (the identity's third word).
size_t genericTriggerStart(const KvDevice& d, uint32_t status);

}  // namespace kv
