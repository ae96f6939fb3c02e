// The serial-protocol and glitch triggers of the Nanlyn boards (trigger modes 5-9): the rules of
// their editors that need no window. Each editor keeps its protocol parameters at the head of the
// record's level-data block and compiles the user's byte sequence into the Nanlyn masks that follow,
// which the runtime programs like any multi-level trigger.
//
// Row texts (UART, I2C, SPI): tokens separated by blanks, tabs or line feeds: "text" is a string
// (one value per character), 'c' a character, a token ending in h/H a hexadecimal number, anything
// else a decimal number; at most 16 values a row. Four IF rows and four THEN rows: IF row r followed
// by THEN row r form condition r.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "viewer/trigger/trigger_record.h"

namespace kv {

// String numbers of the editors.
enum : int {
    kStrSerialTooLong = 296,        // "IF+THEN parameters can't over 16 characters."
    kStrSerialSettingError = 324,   // "Trigger setting error."
    kStrSckRange34 = 325,           // "SCK channel range is 0 ~ 34."
    kStrSckRange33 = 326,           // "SCK channel range is 0 ~ 33."
};

// Token kinds of a row value, as stored four bits a value.
enum SerialValueKind : uint8_t {
    kSerialEnd = 0,
    kSerialDecimal = 1,
    kSerialHex = 2,
    kSerialCharacter = 3,
    kSerialString = 4,
};

struct SerialValue {
    uint32_t value = 0;
    uint8_t kind = kSerialDecimal;
};

enum : int {
    kSerialRows = 8,            // rows 0-3 IF, 4-7 THEN
    kSerialRowValues = 16,
    kSerialBlockBytes = 1024,
};

enum class SerialProtocol { Uart, I2c, Spi };

// One row's values (numbers modulo 2^wordBits) and its canonical text ("%d ", "%02Xh " or for SPI
// "%Xh ", "'%c' ", a run of string characters as one quoted string followed by a blank).
std::vector<SerialValue> parseSerialRow(const std::string& text, int wordBits);
std::string canonicalSerialRow(const std::vector<SerialValue>& values, bool spi);

// The eight rows as the dialog holds them: texts and the IF and THEN check boxes. A THEN row counts
// only when its IF row is checked too.
struct SerialRows {
    std::string text[kSerialRows];
    bool checked[kSerialRows] = {};
    bool enabled(int row) const { return checked[row] && (row < 4 || checked[row - 4]); }
};
struct SerialRowValues {
    std::vector<SerialValue> values[kSerialRows];
    uint32_t enableBits = 0;   // bit 8 + r for each enabled row r
};
// "Check Trig.": parses every row, rewrites its text in canonical form, and refuses (296) when a
// condition's enabled IF and THEN rows hold more than 16 values together; 0 when accepted.
int checkSerialRows(SerialRows& rows, SerialProtocol p, int wordBits, SerialRowValues& out);

// --- the parameter heads -----------------------------------------------------------------------

struct UartSettings {
    uint32_t channel = 0;        // 0..35
    uint32_t options = 2;        // bit 0 inverted idle level, bit 1 automatic bit rate, bits 8-15 rows
    uint32_t baud = 9600;
    uint32_t dataBits = 8;       // 5..8
    uint32_t parity = 0;         // 0 none, 1 odd, 2 even
    uint32_t stopBits = 0;       // 0 one, 2 two
};
struct I2cSettings {
    uint32_t sck = 0;            // 0..34; SDA is SCK + 1
    uint32_t options = 0;        // bits 8-15 rows
};
struct SpiSettings {
    uint32_t width = 8;          // 8 or 16
    uint32_t clock = 0;          // 0..33; chip select clock + 1, data clock + 2
    uint32_t options = 0;        // bit 0 CS active high, bit 1 falling edge, bit 2 LSB first, bits 8-15 rows
};
struct I2sSettings {
    uint32_t bits = 8;           // 1..24
    uint32_t sck = 0;            // 0..33; WS SCK + 1, SDA SCK + 2
    std::string text;            // the trigger parameter text, at most 127 characters
};

UartSettings readUart(const TriggerRecord& r);
I2cSettings readI2c(const TriggerRecord& r);
SpiSettings readSpi(const TriggerRecord& r);
I2sSettings readI2s(const TriggerRecord& r);
// The defaults of a protocol mode's head on a Nanlyn board (UART: channel 0, 9600 baud, 8 data bits,
// no parity, one stop bit, automatic detection; I2C SCK 0; SPI 8 bits on channel 0; I2S 8 bits).
void writeSerialDefaults(TriggerRecord& r, int mode);

// The rows a UART or I2C record holds (values and kinds as stored), and an SPI record's rows read
// back from its masks (the IF part of a condition ends at its first discontinuous link).
SerialRows storedSerialRows(const TriggerRecord& r, SerialProtocol p);

// --- OK of the three row editors ------------------------------------------------------------------

struct UartEdit {
    int channel = 0;
    std::string baud;            // the baud field as typed or chosen
    int dataBits = 8;
    int parity = 0;              // list index: NONE, ODD, EVEN
    bool twoStopBits = false;
    bool invertedIdle = false;   // the second idle-level button
    bool autoDetect = true;
    bool preTrigger = false;
    SerialRows rows;
};
// Checks and compiles; on success (0) the record holds the new block, the sample frequency baud x 16,
// level count and repeat 1 and the pre-trigger flag; otherwise the string to show and the record is
// unchanged (the rows' texts are rewritten in canonical form either way). A baud rate outside
// 1..20,000,000 is refused with 324.
int applyUartEdit(UartEdit& e, TriggerRecord& r);

struct I2cEdit {
    int sck = 0;
    bool preTrigger = false;
    SerialRows rows;
};
int applyI2cEdit(I2cEdit& e, TriggerRecord& r);

struct SpiEdit {
    int clock = 0;
    bool sixteenBits = false;
    bool csHigh = false;
    bool fallingEdge = false;
    bool lsbFirst = false;
    bool preTrigger = false;
    SerialRows rows;
};
int applySpiEdit(SpiEdit& e, TriggerRecord& r);

// Compiles the enabled rows into the masks of `r` (cleared first): condition r's n values go to
// slots 16 - n .. 15 with continuous links and the last discontinuous (SPI: the last of each row).
// 324 when a condition holds more than 16 values, else 0.
int compileSerialMasks(TriggerRecord& r, SerialProtocol p, const SerialRowValues& rows, int dataBits, int wordBits);

// --- I2S ----------------------------------------------------------------------------------------

struct I2sWord {
    bool any = false;            // "-": any number of words may pass here
    int channel = -1;            // -1 either, 0 left ("L"), 1 right ("R")
    uint32_t value = 0;
    bool hex = false;
};
// The word list of a parameter text (at most 16 entries) and its canonical text.
std::vector<I2sWord> parseI2sWords(const std::string& text, int bits);
std::string canonicalI2sText(const std::vector<I2sWord>& words);
// Compiles the words into condition 0 of the masks: 24-bit left-aligned values with the channel
// (WS) bit 24 for prefixed words; "-" entries link discontinuously, all others continuously.
void compileI2sMasks(TriggerRecord& r, const std::vector<I2sWord>& words, int bits);

struct I2sEdit {
    int sck = 0;
    int bits = 8;
    std::string text;
    bool preTrigger = false;
};
// OK after the user accepted the canonical text: 326 for a clock outside 0..33, else 0 with the
// record completed.
int applyI2sEdit(const I2sEdit& e, TriggerRecord& r);

// --- glitch -------------------------------------------------------------------------------------

// The width the masks hold, in quarter nanoseconds (2 = 0.5 ns .. 33 = 8.25 ns), its text ("%.2f"
// without trailing zeros or point), one scroll step, and OK: the width typed (kept in range) stored.
int glitchQuarters(const TriggerRecord& r);
std::string glitchWidthText(int quarters);
int stepGlitchWidth(int quarters, int delta);
int glitchQuartersOfText(const std::string& text);
void applyGlitchWidth(TriggerRecord& r, int quarters);

}  // namespace kv
