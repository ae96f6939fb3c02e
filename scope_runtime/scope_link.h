// What the library says to one scope over its USB channel. The scope's bridge is the one of the
// boards (register requests, bulk set-up records); the scope's logic takes command frames on bulk
// target 130 that begin 0x5A 0x0F 0x55 and a command byte, and delivers its memory on target 0.
#pragma once

#include <cstdint>

namespace kv {
namespace zentro {

constexpr uint16_t kScopeVendorId = 0x05E3;
constexpr uint16_t kScopeProductId = 0x0140;
constexpr uint8_t kScopeWakeControl = 143;  // control byte at initialisation: the scope's logic restarts
constexpr uint8_t kScopeFrameFamily = 0x55;

enum : uint8_t {
    kCmdLoadImage = 0x01,     // u32 length, then that many bytes of FPGA image
    kCmdIdentity = 0x04,      // answers 9 bytes: code (2, high first), second word (3), third word (4)
    kCmdIdentityTexts = 0x05, // answers 88 bytes: model text 32, second text 32, serial 16, two u32
    kCmdFrontEnd = 0x06,      // u8 channel, u16 front-end code
    kCmdOffset = 0x07,        // u8 channel, i32 offset-converter value
    kCmdClearOverflow = 0x08,
    kCmdSetUp = 0x10,         // the capture set-up (ScopeSetUp)
    kCmdArm = 0x11,
    kCmdStop = 0x12,
    kCmdForceTrigger = 0x13,
    kCmdReadMemory = 0x20,    // u32 first word, u32 count: that many raw words follow on target 0
};
constexpr uint32_t kIdentityBytes = 9;
constexpr uint32_t kIdentityTextBytes = 88;

// Status byte (bridge register 0x84): bit 0 while a capture runs.
constexpr int kStatusRunning = 0x01;
// Bits of the third identity word.
enum : uint32_t {
    kThirdTriggered = 1u << 10,
    kThirdArmed = 1u << 11,
    kThirdFull = 1u << 12,
    kThirdOverflow = 1u << 13,
};

// The set-up frame's arguments, little-endian in this order (37 bytes).
struct ScopeSetUp {
    uint32_t clockHz = 0;
    uint8_t path = 0;          // SamplingPath
    uint8_t passes = 1;        // equivalent time: passes per record
    uint32_t samples = 0;      // words per pass (equivalent time) or per capture
    uint32_t address = 0;      // trigger address as sent (adjusted for the rate)
    uint32_t post = 0;         // samples from the one before the trigger to the end
    uint32_t etTrigger = 0;    // equivalent time: index of the trigger in the interleaved record
    uint16_t threshold = 0;    // comparator code
    uint8_t source = 0;        // 0 channel 1, 1 channel 2
    uint32_t flags = 0;        // the record's mode flags
    uint64_t holdOff = 0;
    static constexpr uint32_t kBytes = 37;
};

}  // namespace zentro
}  // namespace kv
