// The sample clock of every board family, programmed at each capture start from the record's rate,
// clock source and half-rate flag.
#pragma once

#include <cstdint>

#include "runtime/device.h"

namespace kv {

// Control bytes of the Nanlyn board's bridge around configuration and command phases.
enum : uint8_t { kNanlynCtlIdle = 0, kNanlynCtlConfig = 98, kNanlynCtlCommand = 150, kNanlynCtlRun = 167,
                 kNanlynCtlArm = 242 };

// Clock select (high nibble) and memory bank (low nibble): command 0x20 on family-1 boards and on
// family 3; the pocket boards keep their bank in command 0x09.
int writeClockSelect(KvDevice& d, uint8_t select);
int writeBankRegister(KvDevice& d, uint8_t bank);

// Clock set-up; 1 when the board took the rate, 0 when the rate cannot be made.
int setupSampleClock(KvDevice& d, const RuntimeEnv& env, uint64_t rate, uint32_t source, bool halfRate);

// The synthesizer of the 0x2016-class pocket boards.
enum : int { kSynthImageBytes = 210 };
extern const uint8_t kSynthImage[kSynthImageBytes];
// Programs rate f (Hz); returns the prescale (1, 10, 100 or 200), or 0 when f cannot be made.
int programSynthesizer(KvDevice& d, int64_t f);
// Switches the synthesizer output off (when the control register shadow is positive).
void switchSynthesizerOff(KvDevice& d);

// Register bytes the synthesizer needs for a rate: the reference E, bytes 6, 18, 19, 22, the
// divider D and the prescale; false when the rate cannot be divided from its reference exactly.
struct SynthSettings {
    int64_t reference = 0;
    uint8_t byte6 = 0, byte18 = 0, byte19 = 0, byte22 = 0x20;
    int divider = 0;
    int prescale = 1;
};
bool synthSettingsFor(int64_t f, SynthSettings& out);

// Nanlyn: sets the clock chip to the 50 MHz reference when it is not already.
int setupNanlynReference(KvDevice& d, const RuntimeEnv& env);

}  // namespace kv
