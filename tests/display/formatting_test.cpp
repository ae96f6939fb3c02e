// Time, frequency, readout and value texts, and the number syntax with a radix letter.
#include "viewer/display/formatting.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <tuple>

namespace kv {
namespace {

std::string timeText(int64_t hz, int64_t count, int32_t precision = 3) {
    std::string s = "unset";
    EXPECT_TRUE(FormatTime(hz, count, precision, &s)) << hz << " Hz, " << count;
    return s;
}

std::string compactText(int64_t hz, int64_t count, int32_t precision = 3) {
    std::string s = "unset";
    EXPECT_TRUE(FormatTimeCompact(hz, count, precision, &s)) << hz << " Hz, " << count;
    return s;
}

std::string measureText(int32_t mode, int64_t hz, int64_t count, int32_t precision = 3) {
    std::string s = "unset";
    EXPECT_TRUE(FormatMeasure(mode, hz, count, precision, &s)) << mode << ", " << hz << " Hz, " << count;
    return s;
}

std::string frequencyText(double hz, int32_t precision = 3) {
    std::string s = "unset";
    EXPECT_TRUE(FormatFrequency(hz, precision, &s)) << hz;
    return s;
}

std::string valueText(uint64_t v, int32_t format, int32_t width, uint32_t flags = 0) {
    std::string s = "unset";
    const int n = FormatValue(flags, v, format, width, &s);
    EXPECT_EQ(n, static_cast<int>(s.size()));
    return s;
}

std::string suffixedText(uint64_t v, int32_t format, int32_t width, uint32_t flags = 0) {
    std::string s = "unset";
    const int n = FormatValueSuffixed(flags, v, format, width, &s);
    EXPECT_EQ(n, static_cast<int>(s.size()));
    return s;
}

// ---------------------------------------------------------------------------------------------
// FormatTime and FormatTimeCompact

TEST(FormatTime, WholeNanosecondsAtOneHundredMegahertz) {
    EXPECT_EQ(timeText(100000000, 3), "30 ns");
    EXPECT_EQ(timeText(100000000, 1), "10 ns");
    EXPECT_EQ(timeText(100000000, 150), "1.5 us");
    EXPECT_EQ(timeText(100000000, 100000), "1 ms");
    EXPECT_EQ(timeText(100000000, 100000000), "1 s");
}

TEST(FormatTime, UnitFollowsTheNumberOfDigits) {
    EXPECT_EQ(timeText(100000000, 99), "990 ns");
    EXPECT_EQ(timeText(100000000, 123456), "1.235 ms");
    EXPECT_EQ(timeText(100000000, 123456789), "1.235 s");
    EXPECT_EQ(timeText(100000000, 12345), "123.45 us");
    // Below a nanosecond at 4 GHz.
    EXPECT_EQ(timeText(4000000000LL, 1), "0.25 ns");
}

TEST(FormatTime, PrecisionCountsDecimalsBeyondTheIntegerPart) {
    EXPECT_EQ(timeText(100000000, 123456, 0), "1 ms");
    EXPECT_EQ(timeText(100000000, 123456, 1), "1.2 ms");
    EXPECT_EQ(timeText(100000000, 123456, 5), "1.23456 ms");
    // A rounding carry stays in fixed notation.
    EXPECT_EQ(timeText(100000000, 99996, 0), "1000 us");
}

TEST(FormatTime, FrequencyNotAWholeKilohertzCountsInNanoseconds) {
    // 1/33 s = 30.30303... ms
    EXPECT_EQ(timeText(33, 1), "30.303 ms");
    EXPECT_EQ(timeText(1, 1), "1 s");
    EXPECT_EQ(timeText(1, 90), "90 s");
    EXPECT_EQ(timeText(3, 1), "333.333 ms");
    // 1 / 1,234,567 Hz = 810.0005... ns: such clocks are timed to the whole nanosecond.
    EXPECT_EQ(timeText(1234567, 1), "810 ns");
    EXPECT_EQ(timeText(1234567, 1001), "810.81 us");
}

TEST(FormatTime, ZeroFrequencyOrCountGivesZero) {
    EXPECT_EQ(timeText(0, 100), "0 ns");
    EXPECT_EQ(timeText(100000000, 0), "0 ns");
    EXPECT_EQ(compactText(0, 5), "0n");
    EXPECT_EQ(compactText(100000000, 0), "0n");
}

TEST(FormatTime, RefusesNegativeInputsAndLeavesTheTextAlone) {
    for (auto args : {std::make_tuple(-1LL, 1LL, 3), std::make_tuple(100LL, -1LL, 3), std::make_tuple(100LL, 1LL, -1)}) {
        std::string s = "kept";
        EXPECT_FALSE(FormatTime(std::get<0>(args), std::get<1>(args), std::get<2>(args), &s));
        EXPECT_EQ(s, "kept");
        EXPECT_FALSE(FormatTimeCompact(std::get<0>(args), std::get<1>(args), std::get<2>(args), &s));
        EXPECT_EQ(s, "kept");
    }
    EXPECT_FALSE(FormatTime(100000000, 1, 3, nullptr));
    EXPECT_FALSE(FormatTimeCompact(100000000, 1, 3, nullptr));
}

TEST(FormatTime, LongCapturesDoNotWrapAndRealOverflowIsMarked) {
    // The longest capture at 100 MHz: count * 10^9 alone is close to the 64-bit limit.
    EXPECT_EQ(timeText(100000000, INT32_MAX), "21.475 s");
    // 10^10 samples at 1 Hz are 10^19 ns, beyond 64 bits.
    EXPECT_EQ(timeText(1, 10000000000LL), "-----");
    EXPECT_EQ(timeText(1000, INT64_MAX), "-----");
}

TEST(FormatTimeCompact, UnitLetterFollowsTheNumber) {
    EXPECT_EQ(compactText(100000000, 3), "30n");
    EXPECT_EQ(compactText(100000000, 150), "1.5u");
    EXPECT_EQ(compactText(100000000, 123456), "1.235m");
    EXPECT_EQ(compactText(100000000, 100000000), "1s");
    EXPECT_EQ(compactText(33, 1), "30.303m");
    EXPECT_EQ(compactText(4000000000LL, 1), "0.25n");
}

// ---------------------------------------------------------------------------------------------
// FormatMeasure

TEST(FormatMeasure, TimeReadoutOfOneHundredFiftySamples) {
    EXPECT_EQ(measureText(kMeasureTime, 100000000, 150), "1.5 us");
    EXPECT_EQ(measureText(kMeasureTime, 100000000, -150), "-1.5 us");
}

TEST(FormatMeasure, TimeUnitsFromPicosecondsToMilliseconds) {
    EXPECT_EQ(measureText(kMeasureTime, 4000000000LL, 1), "250 ps");
    EXPECT_EQ(measureText(kMeasureTime, 3000000000LL, 1), "333 ps");
    EXPECT_EQ(measureText(kMeasureTime, 100000000, 1), "10 ns");
    EXPECT_EQ(measureText(kMeasureTime, 3000000000LL, 4), "1.333 ns");
    EXPECT_EQ(measureText(kMeasureTime, 100000000, 1000000), "10 ms");
    EXPECT_EQ(measureText(kMeasureTime, 100000000, 100000000), "1000 ms");
    EXPECT_EQ(measureText(kMeasureTime, 100000000, 123456), "1.235 ms");
    EXPECT_EQ(measureText(kMeasureTime, 100000000, 123456, 1), "1.2 ms");
    EXPECT_EQ(measureText(kMeasureTime, 100000000, -123456), "-1.235 ms");
}

TEST(FormatMeasure, TimeOfZero) {
    EXPECT_EQ(measureText(kMeasureTime, 100000000, 0), "0 ns");
    EXPECT_EQ(measureText(kMeasureTime, 0, 150), "0 ns");   // no clock known: nothing to divide by
    // Less than a picosecond.
    EXPECT_EQ(measureText(kMeasureTime, 10000000000000LL, 1), "0 ns");
}

TEST(FormatMeasure, TimeOverflowsOnlyWhenThePicosecondsDoNotFit) {
    // 2^31 - 1 samples at 100 MHz are 21.47 s: the plain product count * 10^12 would have wrapped.
    EXPECT_EQ(measureText(kMeasureTime, 100000000, INT32_MAX), "21474.836 ms");
    EXPECT_EQ(measureText(kMeasureTime, 100000000, -static_cast<int64_t>(INT32_MAX)), "-21474.836 ms");
    EXPECT_EQ(measureText(kMeasureTime, 100000000, 10000000), "100 ms");
    // 10^8 s in picoseconds is 10^20: beyond 64 bits.
    EXPECT_EQ(measureText(kMeasureTime, 1, 100000000), "-----");
    EXPECT_EQ(measureText(kMeasureTime, 1, -100000000), "-----");
    EXPECT_EQ(measureText(kMeasureTime, 1, INT64_MIN), "-----");
    // Just below and just above the limit: 9,223,372 s fit, 9,223,373 s do not.
    EXPECT_NE(measureText(kMeasureTime, 1, 9223372), "-----");
    EXPECT_EQ(measureText(kMeasureTime, 1, 9223373), "-----");
}

TEST(FormatMeasure, FrequencyOfOnePeriod) {
    EXPECT_EQ(measureText(kMeasureFrequency, 100000000, 100), "1 MHz");
    EXPECT_EQ(measureText(kMeasureFrequency, 100000000, 150), "666.667 KHz");
    EXPECT_EQ(measureText(kMeasureFrequency, 100000000, -100), "1 MHz");
    EXPECT_EQ(measureText(kMeasureFrequency, 100000000, 0), "0 Hz");
    EXPECT_EQ(measureText(kMeasureFrequency, 0, 100), "0 Hz");
    // A period longer than a second stays visible, not "0 Hz".
    EXPECT_EQ(measureText(kMeasureFrequency, 100000000, 200000000), "0.5 Hz");
    EXPECT_EQ(measureText(kMeasureFrequency, -100000000, 100), "*****");
    EXPECT_EQ(measureText(kMeasureFrequency, 100000000, INT64_MIN), "*****");
}

TEST(FormatMeasure, SampleClocks) {
    EXPECT_EQ(measureText(kMeasureClocks, 100000000, 150), "150");
    EXPECT_EQ(measureText(kMeasureClocks, 100000000, -150), "150");
    EXPECT_EQ(measureText(kMeasureClocks, 0, 0), "0");
    EXPECT_EQ(measureText(kMeasureClocks, 100000000, 5000000000LL), "5000000000");
}

TEST(FormatMeasure, RefusesWhatItCannotFormat) {
    std::string s = "kept";
    EXPECT_FALSE(FormatMeasure(3, 100000000, 150, 3, &s));
    EXPECT_FALSE(FormatMeasure(-1, 100000000, 150, 3, &s));
    EXPECT_FALSE(FormatMeasure(kMeasureTime, 100000000, 150, -1, &s));
    EXPECT_EQ(s, "kept");
    EXPECT_FALSE(FormatMeasure(kMeasureTime, 100000000, 150, 3, nullptr));
}

// ---------------------------------------------------------------------------------------------
// FormatFrequency

TEST(FormatFrequency, UnitsAndWholeValues) {
    EXPECT_EQ(frequencyText(1500000), "1.5 MHz");
    EXPECT_EQ(frequencyText(2000), "2 KHz");
    EXPECT_EQ(frequencyText(0), "0 Hz");
    EXPECT_EQ(frequencyText(999), "999 Hz");
    EXPECT_EQ(frequencyText(1e9), "1 GHz");
    EXPECT_EQ(frequencyText(4e9), "4 GHz");
    EXPECT_EQ(frequencyText(12.3456), "12.346 Hz");
    EXPECT_EQ(frequencyText(0.5), "0.5 Hz");
}

TEST(FormatFrequency, FractionsBelowThePrecisionCountAsWhole) {
    EXPECT_EQ(frequencyText(2000100), "2 MHz");   // 2.0001 MHz at three decimals
    EXPECT_EQ(frequencyText(2001000), "2.001 MHz");
    EXPECT_EQ(frequencyText(2000100, 4), "2.0001 MHz");
    EXPECT_EQ(frequencyText(1234567, 0), "1 MHz");
}

TEST(FormatFrequency, RoundingUpToAThousandMovesToTheNextUnit) {
    EXPECT_EQ(frequencyText(999999.9), "1 MHz");
    EXPECT_EQ(frequencyText(999.9999), "1 KHz");
    EXPECT_EQ(frequencyText(999499), "999.499 KHz");
}

TEST(FormatFrequency, RefusesImpossibleValues) {
    std::string s = "kept";
    EXPECT_FALSE(FormatFrequency(-1, 3, &s));
    EXPECT_FALSE(FormatFrequency(std::nan(""), 3, &s));
    EXPECT_FALSE(FormatFrequency(std::numeric_limits<double>::infinity(), 3, &s));
    EXPECT_FALSE(FormatFrequency(1000, -1, &s));
    EXPECT_EQ(s, "kept");
    EXPECT_FALSE(FormatFrequency(1000, 3, nullptr));
}

// ---------------------------------------------------------------------------------------------
// FormatValue and FormatValueSuffixed

TEST(FormatValue, DocumentedExamples) {
    EXPECT_EQ(valueText(5, kFormatHex, 12), "005");
    EXPECT_EQ(valueText(5, kFormatBin, 4), "0101");
    EXPECT_EQ(valueText(5, kFormatAsc, 8), "<ENQ>");
}

TEST(FormatValue, HexMasksPadsAndUsesUpperCase) {
    EXPECT_EQ(valueText(0xAB, kFormatHex, 8), "AB");
    EXPECT_EQ(valueText(0x1FF, kFormatHex, 8), "FF");
    EXPECT_EQ(valueText(0, kFormatHex, 1), "0");
    EXPECT_EQ(valueText(5, kFormatHex, 28), "0000005");   // seven digits: padded
    EXPECT_EQ(valueText(5, kFormatHex, 32), "5");         // eight digits: not padded
    EXPECT_EQ(valueText(0xDEADBEEF, kFormatHex, 32), "DEADBEEF");
    EXPECT_EQ(valueText(0x123456789ULL, kFormatHex, 64), "123456789");
}

TEST(FormatValue, DecimalIsNeitherMaskedNorPadded) {
    EXPECT_EQ(valueText(300, kFormatDec, 8), "300");
    EXPECT_EQ(valueText(7, kFormatDec, 16), "7");
    EXPECT_EQ(valueText(4294967295ULL, kFormatDec, 32), "4294967295");
}

TEST(FormatValue, OctalPadsWhileTheDigitsCoverFewerThan32Bits) {
    EXPECT_EQ(valueText(5, kFormatOct, 9), "005");
    EXPECT_EQ(valueText(5, kFormatOct, 30), "0000000005");   // 10 digits, 30 bits
    EXPECT_EQ(valueText(5, kFormatOct, 31), "5");            // 11 digits, 33 bits
    EXPECT_EQ(valueText(0777, kFormatOct, 6), "77");         // masked to 6 bits
}

TEST(FormatValue, BinaryPadsBelow32Bits) {
    EXPECT_EQ(valueText(1, kFormatBin, 31), std::string(30, '0') + "1");
    EXPECT_EQ(valueText(5, kFormatBin, 32), "101");
    EXPECT_EQ(valueText(0xFF, kFormatBin, 3), "111");
    EXPECT_EQ(valueText(0, kFormatBin, 1), "0");
}

TEST(FormatValue, AsciiNamesEveryByte) {
    EXPECT_EQ(valueText('A', kFormatAsc, 8), "'A'");
    EXPECT_EQ(valueText('~', kFormatAsc, 8), "'~'");
    EXPECT_EQ(valueText(0, kFormatAsc, 8), "<NUL>");
    EXPECT_EQ(valueText(9, kFormatAsc, 8), "<HT>");
    EXPECT_EQ(valueText(13, kFormatAsc, 8), "<CR>");
    EXPECT_EQ(valueText(27, kFormatAsc, 8), "<ESC>");
    EXPECT_EQ(valueText(31, kFormatAsc, 8), "<US>");
    EXPECT_EQ(valueText(32, kFormatAsc, 8), "<Space>");
    EXPECT_EQ(valueText(127, kFormatAsc, 8), "<DEL>");
    EXPECT_EQ(valueText(0xA9, kFormatAsc, 8), "<A9h>");
    EXPECT_EQ(valueText(0x80, kFormatAsc, 8), "<80h>");
    EXPECT_EQ(valueText(0x141, kFormatAsc, 16), "'A'");   // the low byte only
    for (unsigned b = 0; b < 256; ++b) EXPECT_FALSE(valueText(b, kFormatAsc, 8).empty()) << b;
}

TEST(FormatValue, GrayCodeBeforeFormatting) {
    EXPECT_EQ(valueText(2, kFormatBin, 2, kLabelGray), "11");
    EXPECT_EQ(valueText(3, kFormatBin, 2, kLabelGray), "10");
    EXPECT_EQ(valueText(0xFF, kFormatHex, 8, kLabelGray), "80");
    // Other label flags do not change the value.
    EXPECT_EQ(valueText(2, kFormatBin, 2, kLabelSpi | kLabelInvert | kLabelSelected), "10");
}

TEST(FormatValue, UnknownFormatGivesEmptyTextAndNoOutputIsSafe) {
    EXPECT_EQ(valueText(5, kFormatAnalog, 8), "");
    EXPECT_EQ(valueText(5, 99, 8), "");
    EXPECT_EQ(valueText(5, -1, 8), "");
    EXPECT_EQ(FormatValue(0, 5, kFormatHex, 8, nullptr), 0);
    EXPECT_EQ(FormatValueSuffixed(0, 5, kFormatHex, 8, nullptr), 0);
}

TEST(FormatValue, WidthsOutsideOneTo64NeitherMaskNorPad) {
    EXPECT_EQ(valueText(0x1234, kFormatHex, 0), "1234");
    EXPECT_EQ(valueText(0x1234, kFormatHex, -5), "1234");
    EXPECT_EQ(valueText(5, kFormatBin, 1000), "101");
    EXPECT_EQ(valueText(~0ULL, kFormatBin, 64), std::string(64, '1'));
}

TEST(FormatValueSuffixed, RadixLetterBehindTheNumber) {
    EXPECT_EQ(suffixedText(5, kFormatHex, 12), "005h");
    EXPECT_EQ(suffixedText(5, kFormatOct, 9), "005o");
    EXPECT_EQ(suffixedText(5, kFormatBin, 4), "0101b");
    EXPECT_EQ(suffixedText(5, kFormatDec, 8), "5");
    EXPECT_EQ(suffixedText(2, kFormatBin, 2, kLabelGray), "11b");
    EXPECT_EQ(suffixedText(5, kFormatAnalog, 8), "");
}

TEST(FormatValueSuffixed, AsciiQuotesEveryByteFrom32) {
    EXPECT_EQ(suffixedText('A', kFormatAsc, 8), "'A'");
    EXPECT_EQ(suffixedText(32, kFormatAsc, 8), "' '");
    EXPECT_EQ(suffixedText(5, kFormatAsc, 8), "' '");
    EXPECT_EQ(suffixedText(0, kFormatAsc, 8), "' '");
    EXPECT_EQ(suffixedText(0xC8, kFormatAsc, 8), std::string("'\xC8'"));
    EXPECT_EQ(suffixedText(127, kFormatAsc, 8), "'\x7F'");
}

// ---------------------------------------------------------------------------------------------
// ParseNumber and FormatCodeFromName

TEST(ParseNumber, LastCharacterSelectsTheRadix) {
    struct Case {
        const char* text;
        uint64_t value;
        int32_t format;
    };
    const Case cases[] = {
        {"1010b", 10, kFormatBin}, {"1010B", 10, kFormatBin}, {"FFh", 255, kFormatHex},
        {"ffH", 255, kFormatHex},  {"17o", 15, kFormatOct},   {"17O", 15, kFormatOct},
        {"123", 123, kFormatDec},  {"123d", 123, kFormatDec}, {" 42 ", 42, kFormatDec},
        {"0", 0, kFormatDec},      {"FFFFFFFFFFFFFFFFh", UINT64_MAX, kFormatHex},
        {"18446744073709551615", UINT64_MAX, kFormatDec},
    };
    for (const Case& c : cases) {
        uint64_t v = 777;
        int32_t f = -1;
        EXPECT_TRUE(ParseNumber(c.text, &v, &f)) << c.text;
        EXPECT_EQ(v, c.value) << c.text;
        EXPECT_EQ(f, c.format) << c.text;
    }
}

TEST(ParseNumber, RefusesWhatIsNotANumber) {
    struct Case {
        const char* text;
        int32_t format;
    };
    const Case cases[] = {
        {"", kFormatDec},          {"   ", kFormatDec},       {"h", kFormatHex},
        {"12b", kFormatBin},       {"8o", kFormatOct},        {"0x10", kFormatDec},
        {"1A", kFormatDec},        {"-5", kFormatDec},        {"1 0", kFormatDec},
        {"10000000000000000h", kFormatHex}, {"18446744073709551616", kFormatDec},
    };
    for (const Case& c : cases) {
        uint64_t v = 777;
        int32_t f = -1;
        EXPECT_FALSE(ParseNumber(c.text, &v, &f)) << c.text;
        EXPECT_EQ(v, 0u) << c.text;
        EXPECT_EQ(f, c.format) << c.text;
    }
    uint64_t v = 777;
    int32_t f = -1;
    EXPECT_FALSE(ParseNumber(nullptr, &v, &f));
    EXPECT_EQ(v, 0u);
    EXPECT_TRUE(ParseNumber("12", nullptr, nullptr));   // no place for the result: still safe
}

TEST(ParseNumber, ReadsBackWhatFormatValueSuffixedWrites) {
    for (int32_t format : {kFormatHex, kFormatDec, kFormatOct, kFormatBin}) {
        for (uint64_t value : {0ULL, 1ULL, 5ULL, 0xABULL, 0xFFFFULL, 0x12345678ULL}) {
            std::string text;
            FormatValueSuffixed(0, value, format, 32, &text);
            uint64_t back = 0;
            int32_t f = -1;
            EXPECT_TRUE(ParseNumber(text.c_str(), &back, &f)) << text;
            EXPECT_EQ(back, value) << text;
            EXPECT_EQ(f, format) << text;
        }
    }
}

TEST(FormatCodeFromName, NamesAndTheBinaryFallback) {
    EXPECT_EQ(FormatCodeFromName("HEX"), kFormatHex);
    EXPECT_EQ(FormatCodeFromName("DEC"), kFormatDec);
    EXPECT_EQ(FormatCodeFromName("OCT"), kFormatOct);
    EXPECT_EQ(FormatCodeFromName("BIN"), kFormatBin);
    EXPECT_EQ(FormatCodeFromName("ASC"), kFormatAsc);
    for (const char* other : {"", "hex", "HEXA", "HE", "ANALOG", " DEC"}) EXPECT_EQ(FormatCodeFromName(other), kFormatBin) << other;
    EXPECT_EQ(FormatCodeFromName(nullptr), kFormatBin);
}

}  // namespace
}  // namespace kv
