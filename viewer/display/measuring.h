// The value column's live modes and the measuring line's texts.
//  - Value column, modes 1 and 2 ("Instant status", "Instant status and instant freq. in CH%d"):
//    each single-channel row shows "|" when the channel is active, else its level, and in mode 2
//    the row of the chosen channel also shows the measured frequency.
//  - Measuring line: a horizontal extent in pixels as time and frequency, a vertical one as a
//    voltage, in the status text "Volt = %s, Freq = %s(%s)".
#pragma once

#include <cstdint>
#include <string>

#include "viewer/display/wave_render.h"

namespace kv {

// Value Field modes.
enum : int32_t {
    kValueChannel = 0,
    kValueInstant = 1,
    kValueInstantFrequency = 2,
};

// One poll of the device's live inputs: a level mask, an activity mask and the frequency of the
// chosen channel.
struct InstantStatus {
    bool valid = false;
    uint64_t level = 0;
    uint64_t activity = 0;
    uint64_t frequencyHz = 0;
};

// The status as the runtime delivers it: 16 bytes, the level mask then the activity mask, each
// little-endian, and the frequency as two 32-bit words, low first.
InstantStatus instantStatusFrom(const uint8_t state[16], const uint32_t rate[2]);

// The value column's text of a row in mode 1 or 2 (empty for group and decoded rows).
std::string instantValueText(const WaveRow& r, const InstantStatus& s, int32_t mode, int32_t frequencyChannel);

// "%I64d uV", "%I64d mV", "%I64d.%02I64d mV", "%I64d V", "%I64d.%02I64d V" by magnitude, and the same
// two forms in kV from 1,000 V up; the two-decimal forms when the value is not whole in that unit.
std::string voltageText(int64_t microvolts);

// The status text of a measuring line `dx` pixels wide at the view's zoom and `frequencyHz`, with
// the voltage when one is available ("Volt = ??, ..." otherwise).
std::string measuringLineText(int64_t dx, int32_t zoomIn, int32_t zoomOut, int64_t frequencyHz, bool haveVoltage,
                              int64_t microvolts);

// The measuring line: pressed on the waves and pulled with the mouse, it is drawn with XOR strokes,
// so a stroke on the screen is erased by making it again, always before the next one is drawn.
struct LineStroke {
    int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};
struct MeasuringLine {
    bool active = false;    // the button is down
    bool drawn = false;     // `shown` is on the screen
    LineStroke shown;
    int32_t left = 0, top = 0, right = 0, bottom = 0;  // the waves' rectangle; the end stays inside
};
// What a mouse event asks of the screen: the stroke to erase (first), then the one to draw.
struct LineSteps {
    bool erase = false;
    LineStroke erased;
    bool draw = false;
    LineStroke drawn;
};
// The button went down at (x, y) over the waves whose rectangle is given.
void beginMeasuringLine(MeasuringLine& m, int32_t x, int32_t y, int32_t left, int32_t top, int32_t right,
                        int32_t bottom);
// The mouse moved to (x, y): the line now ends there (held inside the waves).
LineSteps moveMeasuringLine(MeasuringLine& m, int32_t x, int32_t y);
// The button went up or the mouse was taken away: the line is erased.
LineSteps endMeasuringLine(MeasuringLine& m);
// The waves were painted again: no stroke is left on the screen.
void forgetMeasuringStroke(MeasuringLine& m);

}  // namespace kv
