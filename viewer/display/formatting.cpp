#include "viewer/display/formatting.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace kv {

const char* const kTimeOverflowText = "-----";
const char* const kFrequencyFailedText = "*****";

namespace {

constexpr int64_t kPow10[] = {1,
                              10,
                              100,
                              1000,
                              10000,
                              100000,
                              1000000,
                              10000000,
                              100000000,
                              1000000000,
                              10000000000LL,
                              100000000000LL,
                              1000000000000LL};

// floor(a * 10^k / d) for a >= 0, d > 0, without an intermediate product that could overflow: the
// integer part of a / d is scaled with checked multiplies, the remainder is divided digit by digit.
// Only a result beyond 63 bits fails. Sample counts of 2^31 at picosecond resolution need about
// 2^71 for the plain product, which would wrap for captures of a few milliseconds.
bool scaledQuotient(int64_t a, int k, int64_t d, int64_t* out) {
    int64_t result = a / d;
    uint64_t rem = static_cast<uint64_t>(a % d);
    const uint64_t ud = static_cast<uint64_t>(d);
    for (int i = 0; i < k; ++i) {
        // rem < d <= 2^63, so rem + acc < 2^64: ten additions give floor(10 * rem / d) exactly.
        uint64_t acc = 0;
        int64_t digit = 0;
        for (int j = 0; j < 10; ++j) {
            acc += rem;
            if (acc >= ud) {
                acc -= ud;
                ++digit;
            }
        }
        rem = acc;
        if (__builtin_mul_overflow(result, int64_t{10}, &result)) return false;
        if (__builtin_add_overflow(result, digit, &result)) return false;
    }
    *out = result;
    return true;
}

int decimalDigits(int64_t v) {
    int d = 1;
    while (v >= 10) {
        v /= 10;
        ++d;
    }
    return d;
}

std::string integerText(int64_t v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(v));
    return buf;
}

// `value` (> 0) with `significant` significant digits, always in fixed notation, without trailing
// zeros after the decimal point and without a bare decimal point.
std::string fixedSignificant(double value, int significant) {
    if (significant < 1) significant = 1;
    if (significant > 17) significant = 17;   // a double holds no more
    const int exponent = value > 0 ? static_cast<int>(std::floor(std::log10(value))) : 0;
    int decimals = significant - 1 - exponent;
    if (decimals < 0) decimals = 0;
    if (decimals > 30) decimals = 30;
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    std::string s = buf;
    if (s.find('.') != std::string::npos) {
        while (!s.empty() && s.back() == '0') s.pop_back();
        if (!s.empty() && s.back() == '.') s.pop_back();
    }
    return s;
}

// floor(log10 value) + precision + 1 significant digits: the general format of the readouts.
std::string readoutNumber(double value, int32_t precision) {
    const int exponent = static_cast<int>(std::floor(std::log10(value)));
    return fixedSignificant(value, exponent + precision + 1);
}

bool formatTimeWith(int64_t frequencyHz, int64_t count, int32_t precision, std::string* out, bool compact) {
    static const char* const kLong[] = {" s", " ms", " us", " ns"};
    static const char* const kShort[] = {"s", "m", "u", "n"};
    const char* const* units = compact ? kShort : kLong;
    if (frequencyHz < 0 || count < 0 || precision < 0 || out == nullptr) return false;
    if (frequencyHz == 0 || count == 0) {
        *out = std::string("0") + units[3];
        return true;
    }
    // A whole number of kilohertz gives the time in picoseconds, otherwise only nanoseconds are exact.
    int64_t t = 0;
    int64_t scale = 1;
    int extraDigits = 0;
    bool ok;
    if (frequencyHz % 1000 == 0) {
        ok = scaledQuotient(count, 9, frequencyHz / 1000, &t);
    } else {
        ok = scaledQuotient(count, 9, frequencyHz, &t);
        scale = 1000;
        extraDigits = 3;
    }
    if (!ok) {
        *out = kTimeOverflowText;
        return true;
    }
    const int d = decimalDigits(t) + extraDigits;
    int unit;
    int64_t divisor;
    if (d >= 13) {
        unit = 0;
        divisor = kPow10[12] / scale;
    } else if (d >= 10) {
        unit = 1;
        divisor = kPow10[9] / scale;
    } else if (d >= 7) {
        unit = 2;
        divisor = kPow10[6] / scale;
    } else {
        unit = 3;
        divisor = 1000 / scale;
    }
    const int64_t quotient = t / divisor;
    if (t % divisor == 0) {
        *out = integerText(quotient) + units[unit];
        return true;
    }
    const double value = static_cast<double>(t) / static_cast<double>(divisor);
    *out = fixedSignificant(value, decimalDigits(quotient) + precision) + units[unit];
    return true;
}

const char* const kControlNames[32] = {
    "<NUL>", "<SOH>", "<STX>", "<ETX>", "<EOT>", "<ENQ>", "<ACK>", "<BEL>", "<BS>",  "<HT>", "<LF>",
    "<VT>",  "<FF>",  "<CR>",  "<SO>",  "<SI>",  "<DLE>", "<DC1>", "<DC2>", "<DC3>", "<DC4>", "<NAK>",
    "<SYN>", "<ETB>", "<CAN>", "<EM>",  "<SUB>", "<ESC>", "<FS>",  "<GS>",  "<RS>",  "<US>"};

// Widths outside 1..64 stand for a value that is neither masked nor padded.
int normalWidth(int32_t widthBits) { return (widthBits <= 0 || widthBits > 64) ? 64 : widthBits; }

uint64_t maskTo(uint64_t v, int width) { return width >= 64 ? v : v & ((uint64_t{1} << width) - 1); }

std::string digitsIn(uint64_t v, int base, int minDigits) {
    static const char kDigits[] = "0123456789ABCDEF";
    char buf[80];
    int n = 0;
    do {
        buf[n++] = kDigits[v % static_cast<uint64_t>(base)];
        v /= static_cast<uint64_t>(base);
    } while (v != 0);
    while (n < minDigits && n < 64) buf[n++] = '0';
    std::string s(static_cast<size_t>(n), '0');
    for (int i = 0; i < n; ++i) s[static_cast<size_t>(i)] = buf[n - 1 - i];
    return s;
}

// The text of a value without suffix for the numeric formats; false for ASC and unknown formats.
bool numericText(uint64_t v, int32_t format, int width, std::string& s) {
    switch (format) {
    case kFormatHex: {
        const int digits = (width + 3) / 4;
        s = digitsIn(maskTo(v, width), 16, digits < 8 ? digits : 0);
        return true;
    }
    case kFormatDec:
        s = digitsIn(v, 10, 0);
        return true;
    case kFormatOct: {
        const int digits = (width + 2) / 3;
        s = digitsIn(maskTo(v, width), 8, digits * 3 < 32 ? digits : 0);
        return true;
    }
    case kFormatBin:
        s = digitsIn(maskTo(v, width), 2, width < 32 ? width : 0);
        return true;
    default:
        return false;
    }
}

uint64_t displayed(uint32_t flags, uint64_t value) {
    return (flags & kLabelGray) ? (value ^ (value >> 1)) : value;
}

int deliver(const std::string& s, std::string* out) {
    if (out == nullptr) return 0;
    *out = s;
    return static_cast<int>(s.size());
}

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

bool FormatTime(int64_t frequencyHz, int64_t count, int32_t precision, std::string* out) {
    return formatTimeWith(frequencyHz, count, precision, out, false);
}

bool FormatTimeCompact(int64_t frequencyHz, int64_t count, int32_t precision, std::string* out) {
    return formatTimeWith(frequencyHz, count, precision, out, true);
}

bool FormatFrequency(double valueHz, int32_t precision, std::string* out) {
    if (out == nullptr || precision < 0 || !std::isfinite(valueHz) || valueHz < 0) return false;
    if (valueHz == 0) {
        *out = "0 Hz";
        return true;
    }
    static const char* const kUnits[] = {" Hz", " KHz", " MHz", " GHz"};
    int unit = valueHz >= 1e9 ? 3 : valueHz >= 1e6 ? 2 : valueHz >= 1e3 ? 1 : 0;
    const double step = std::pow(10.0, precision > 15 ? 15 : precision);
    for (;;) {
        const double scaled = valueHz / std::pow(1000.0, unit);
        const double rounded = std::round(scaled * step) / step;
        // 999.9996 KHz at three decimals is 1 MHz, not "1000 KHz".
        if (rounded >= 1000 && unit < 3) {
            ++unit;
            continue;
        }
        if (rounded == std::floor(rounded) && rounded < 9.2e18) {
            *out = integerText(static_cast<int64_t>(rounded)) + kUnits[unit];
        } else {
            *out = readoutNumber(scaled, precision) + kUnits[unit];
        }
        return true;
    }
}

bool FormatMeasure(int32_t mode, int64_t frequencyHz, int64_t count, int32_t precision, std::string* out) {
    if (out == nullptr || precision < 0) return false;
    if (mode != kMeasureTime && mode != kMeasureFrequency && mode != kMeasureClocks) return false;
    const bool negative = count < 0;
    // The most negative count has no positive twin; no capture is that long.
    if (count == INT64_MIN) {
        *out = mode == kMeasureFrequency ? kFrequencyFailedText : kTimeOverflowText;
        return true;
    }
    if (negative) count = -count;

    if (mode == kMeasureFrequency) {
        if (count == 0 || frequencyHz == 0) {
            *out = "0 Hz";
            return true;
        }
        std::string text;
        if (!FormatFrequency(static_cast<double>(frequencyHz) / static_cast<double>(count), precision, &text))
            text = kFrequencyFailedText;
        *out = text;
        return true;
    }
    if (mode == kMeasureClocks) {
        *out = integerText(count);
        return true;
    }

    // Time: picoseconds. A negative frequency has no time; a zero one gives none (nothing to divide by).
    if (frequencyHz < 0) {
        *out = kTimeOverflowText;
        return true;
    }
    int64_t t = 0;
    if (frequencyHz == 0 || count == 0) {
        *out = "0 ns";
        return true;
    }
    if (!scaledQuotient(count, 12, frequencyHz, &t)) {
        *out = kTimeOverflowText;
        return true;
    }
    if (t == 0) {
        *out = "0 ns";
        return true;
    }
    const char* unit;
    int64_t divisor;
    if (t >= kPow10[9]) {
        unit = " ms";
        divisor = kPow10[9];
    } else if (t >= kPow10[6]) {
        unit = " us";
        divisor = kPow10[6];
    } else if (t >= 1000) {
        unit = " ns";
        divisor = 1000;
    } else {
        unit = " ps";
        divisor = 1;
    }
    std::string number;
    if (t % divisor == 0)
        number = integerText(t / divisor);
    else
        number = readoutNumber(static_cast<double>(t) / static_cast<double>(divisor), precision);
    *out = (negative ? "-" : "") + number + unit;
    return true;
}

int FormatValue(uint32_t flags, uint64_t value, int32_t format, int32_t widthBits, std::string* out) {
    const uint64_t v = displayed(flags, value);
    const int width = normalWidth(widthBits);
    std::string s;
    if (numericText(v, format, width, s)) return deliver(s, out);
    if (format != kFormatAsc) return deliver(std::string(), out);
    const unsigned byte = static_cast<unsigned>(v & 0xFF);
    if (byte < 32) return deliver(kControlNames[byte], out);
    if (byte == 32) return deliver("<Space>", out);
    if (byte == 127) return deliver("<DEL>", out);
    if (byte >= 128) return deliver("<" + digitsIn(byte, 16, 2) + "h>", out);
    return deliver(std::string("'") + static_cast<char>(byte) + "'", out);
}

int FormatValueSuffixed(uint32_t flags, uint64_t value, int32_t format, int32_t widthBits, std::string* out) {
    const uint64_t v = displayed(flags, value);
    const int width = normalWidth(widthBits);
    std::string s;
    if (numericText(v, format, width, s)) {
        if (format == kFormatHex) s += 'h';
        if (format == kFormatOct) s += 'o';
        if (format == kFormatBin) s += 'b';
        return deliver(s, out);
    }
    if (format != kFormatAsc) return deliver(std::string(), out);
    const unsigned byte = static_cast<unsigned>(v & 0xFF);
    if (byte < 32) return deliver("' '", out);
    return deliver(std::string("'") + static_cast<char>(byte) + "'", out);
}

bool ParseNumber(const char* text, uint64_t* value, int32_t* format) {
    uint64_t result = 0;
    int32_t radixFormat = kFormatDec;
    bool ok = false;
    if (text != nullptr) {
        size_t begin = 0, end = std::strlen(text);
        while (begin < end && isBlank(text[begin])) ++begin;
        while (end > begin && isBlank(text[end - 1])) --end;
        int base = 10;
        if (end > begin) {
            switch (text[end - 1]) {
            case 'b': case 'B': base = 2; radixFormat = kFormatBin; --end; break;
            case 'h': case 'H': base = 16; radixFormat = kFormatHex; --end; break;
            case 'o': case 'O': base = 8; radixFormat = kFormatOct; --end; break;
            case 'd': case 'D': --end; break;
            default: break;
            }
        }
        ok = end > begin;
        for (size_t i = begin; ok && i < end; ++i) {
            const int digit = hexDigitValue(text[i]);
            if (digit >= base) {
                ok = false;
                break;
            }
            if (__builtin_mul_overflow(result, static_cast<uint64_t>(base), &result) ||
                __builtin_add_overflow(result, static_cast<uint64_t>(digit), &result))
                ok = false;
        }
    }
    if (!ok) result = 0;
    if (value != nullptr) *value = result;
    if (format != nullptr) *format = radixFormat;
    return ok;
}

int32_t FormatCodeFromName(const char* name) {
    static const char* const kNames[] = {"HEX", "DEC", "OCT", "BIN", "ASC"};
    if (name == nullptr) return kFormatBin;
    for (int32_t i = 0; i < 5; ++i)
        if (std::strcmp(name, kNames[i]) == 0) return i;
    return kFormatBin;
}

}  // namespace kv
