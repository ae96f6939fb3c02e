// Text of times, frequencies, cursor readouts and bus values, and the number syntax with a radix
// letter at the end. Used by the waveform view, the readouts, the value column, the search and the
// command sets. Every routine writes only through its `out` argument and leaves it untouched when it
// fails.
#pragma once

#include <cstdint>
#include <string>

#include "viewer/display/label_table.h"

namespace kv {

// Value formats (kFormatHex ... kFormatAsc) and the Gray-code flag (kLabelGray) are the label
// table's own codes.
// Measurement modes of the cursor readouts.
enum MeasureMode : int32_t {
    kMeasureTime = 0,
    kMeasureFrequency = 1,
    kMeasureClocks = 2,
};

// Shown when a time does not fit in 64 bits of picoseconds, and when a frequency cannot be given.
extern const char* const kTimeOverflowText;      // "-----"
extern const char* const kFrequencyFailedText;   // "*****"

// Duration of `count` samples at `frequencyHz`, with the units " ns", " us", " ms", " s" ("30 ns",
// "1.5 us"). `precision` is the number of decimals kept beyond the integer part. False (out untouched)
// for a negative frequency, count or precision, or no output.
bool FormatTime(int64_t frequencyHz, int64_t count, int32_t precision, std::string* out);

// The same with the unit letter right after the number ("30n", "1.5u", "0n"), for texts inside
// pulses and bus segments.
bool FormatTimeCompact(int64_t frequencyHz, int64_t count, int32_t precision, std::string* out);

// A cursor readout: `mode` 0 time (" ps", " ns", " us", " ms", signed), 1 frequency of one period of
// `count` samples, 2 the number of samples (without sign). A negative count measures backwards (time
// gets a "-"). A time beyond 64 bits of picoseconds gives "-----", an impossible frequency "*****"; a
// negative frequency gives these too. False (out untouched) for a negative precision, an unknown mode
// or no output.
bool FormatMeasure(int32_t mode, int64_t frequencyHz, int64_t count, int32_t precision, std::string* out);

// A frequency with " Hz", " KHz", " MHz" or " GHz" ("1.5 MHz", "2 KHz"). False (out untouched) for a
// negative or non-finite value, a negative precision or no output.
bool FormatFrequency(double valueHz, int32_t precision, std::string* out);

// A bus or decoded value of `widthBits` bits in `format` (HEX upper case and zero-padded, DEC, OCT,
// BIN, ASC as a quoted character or a control name). Of the label's `flags` only kLabelGray counts:
// the value is shown as Gray code. An unknown format gives the empty text. Returns the length of the
// text (0 when `out` is null).
int FormatValue(uint32_t flags, uint64_t value, int32_t format, int32_t widthBits, std::string* out);

// As FormatValue, for the value column and lists: HEX ends in "h", OCT in "o", BIN in "b"; ASC gives
// the quoted character for every byte from 32 up and "' '" below.
int FormatValueSuffixed(uint32_t flags, uint64_t value, int32_t format, int32_t widthBits, std::string* out);

// Reads a number whose last character selects the radix: "b"/"B" binary (format 3), "h"/"H"
// hexadecimal (format 0), "o"/"O" octal (format 2), otherwise decimal (format 1, an optional "d"/"D"
// accepted). Blanks around the text are ignored. `format` receives the radix even when the digits are
// bad. False, with *value = 0, for no digits, a digit outside the radix, or a value beyond 64 bits.
bool ParseNumber(const char* text, uint64_t* value, int32_t* format);

// "HEX" 0, "DEC" 1, "OCT" 2, "BIN" 3, "ASC" 4; anything else (and null) 3.
int32_t FormatCodeFromName(const char* name);

}  // namespace kv
