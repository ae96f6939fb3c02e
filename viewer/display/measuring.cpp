#include "viewer/display/measuring.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "viewer/display/formatting.h"

namespace kv {

InstantStatus instantStatusFrom(const uint8_t state[16], const uint32_t rate[2]) {
    InstantStatus s;
    for (int k = 7; k >= 0; --k) {
        s.level = (s.level << 8) | state[k];
        s.activity = (s.activity << 8) | state[8 + k];
    }
    s.frequencyHz = (static_cast<uint64_t>(rate[1]) << 32) | rate[0];
    s.valid = true;
    return s;
}

std::string instantValueText(const WaveRow& r, const InstantStatus& s, int32_t mode, int32_t frequencyChannel) {
    if (!s.valid || r.disabled || r.kind != RowKind::Digital || r.channels.size() != 1) return std::string();
    const int32_t c = r.channels[0];
    if (c < 0 || c > 63) return std::string();
    const uint64_t bit = uint64_t{1} << c;
    std::string text = (s.activity & bit) ? "|" : (s.level & bit) ? "1" : "0";
    if (mode == kValueInstantFrequency && c == frequencyChannel) {
        std::string f;
        if (FormatMeasure(kMeasureFrequency, static_cast<int64_t>(s.frequencyHz), 1, 2, &f)) text += " " + f;
    }
    return text;
}

std::string voltageText(int64_t uv) {
    char text[48];
    const char* sign = uv < 0 ? "-" : "";
    // The magnitude as unsigned, so that the most negative value does not overflow.
    const uint64_t m = uv < 0 ? 0 - static_cast<uint64_t>(uv) : static_cast<uint64_t>(uv);
    auto twoForms = [&](uint64_t unit, const char* name) {
        const uint64_t whole = m / unit, hundredths = (m % unit) / (unit / 100);
        if (m % unit == 0)
            std::snprintf(text, sizeof text, "%s%" PRIu64 " %s", sign, whole, name);
        else
            std::snprintf(text, sizeof text, "%s%" PRIu64 ".%02" PRIu64 " %s", sign, whole, hundredths, name);
    };
    if (m < 1000) {
        std::snprintf(text, sizeof text, "%s%" PRIu64 " uV", sign, m);
    } else if (m < 1000000) {
        twoForms(1000, "mV");
    } else if (m < 1000000000) {
        twoForms(1000000, "V");
    } else {
        twoForms(1000000000, "kV");
    }
    return text;
}

std::string measuringLineText(int64_t dx, int32_t zoomIn, int32_t zoomOut, int64_t frequencyHz, bool haveVoltage,
                              int64_t microvolts) {
    if (dx < 0) dx = -dx;
    // dx pixels are dx * 2^zoomOut samples at 2^zoomIn times the sample frequency.
    const int64_t samples = dx << (zoomOut > 0 && zoomOut < 40 ? zoomOut : 0);
    const int64_t frequency = frequencyHz << (zoomIn > 0 && zoomIn < 16 ? zoomIn : 0);
    std::string freq, period;
    FormatMeasure(kMeasureFrequency, frequency, samples, 3, &freq);
    FormatMeasure(kMeasureTime, frequency, samples, 3, &period);
    const std::string volt = haveVoltage ? voltageText(microvolts) : "??";
    return "Volt = " + volt + ", Freq = " + freq + "(" + period + ")";
}

void beginMeasuringLine(MeasuringLine& m, int32_t x, int32_t y, int32_t left, int32_t top, int32_t right,
                        int32_t bottom) {
    m = MeasuringLine{};
    m.left = left;
    m.top = top;
    m.right = std::max(left, right - 1);
    m.bottom = std::max(top, bottom - 1);
    m.active = true;
    m.shown.x0 = m.shown.x1 = std::clamp(x, m.left, m.right);
    m.shown.y0 = m.shown.y1 = std::clamp(y, m.top, m.bottom);
}

LineSteps moveMeasuringLine(MeasuringLine& m, int32_t x, int32_t y) {
    LineSteps steps;
    if (!m.active) return steps;
    LineStroke next = m.shown;
    next.x1 = std::clamp(x, m.left, m.right);
    next.y1 = std::clamp(y, m.top, m.bottom);
    if (m.drawn) {
        steps.erase = true;
        steps.erased = m.shown;
    }
    steps.draw = true;
    steps.drawn = next;
    m.shown = next;
    m.drawn = true;
    return steps;
}

LineSteps endMeasuringLine(MeasuringLine& m) {
    LineSteps steps;
    if (m.drawn) {
        steps.erase = true;
        steps.erased = m.shown;
    }
    m.active = false;
    m.drawn = false;
    return steps;
}

void forgetMeasuringStroke(MeasuringLine& m) { m.drawn = false; }

}  // namespace kv
