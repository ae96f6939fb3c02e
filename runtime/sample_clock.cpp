#include "runtime/sample_clock.h"

#include "runtime/board_caps.h"
#include "runtime/rate_tables.h"

namespace kv {

// Register image of the pocket boards' clock synthesizer: transfers that each begin with the
// device address 0xD2 and a first register number. Bytes 6 (output divider), 18 and 19 (loop
// divider) and 22 (output control, register 0x44) are set per rate; the rest is fixed.
const uint8_t kSynthImage[kSynthImageBytes] = {
    0xD2, 0x00, 0x81, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x40, 0x02, 0x08, 0x00, 0x00,
    0x00, 0xC4, 0x60, 0xC4, 0x60, 0xD2, 0x44, 0x20, 0xD2, 0x45, 0xD8, 0xF5, 0x12, 0x2F, 0x4C,
    0x69, 0x86, 0xA3, 0xC0, 0xDD, 0xFA, 0x17, 0x34, 0x51, 0x6E, 0x8B, 0xA8, 0xC5, 0xE2, 0xFF,
    0x1C, 0x39, 0x56, 0x73, 0x90, 0xAD, 0xCA, 0xE7, 0x04, 0xD2, 0x62, 0x21, 0x3E, 0x5B, 0x78,
    0x95, 0xB2, 0xCF, 0xEC, 0x09, 0x26, 0x43, 0x60, 0x7D, 0x9A, 0xB7, 0xD4, 0xF1, 0x0E, 0x2B,
    0x48, 0x65, 0x82, 0x9F, 0xBC, 0xD9, 0xF6, 0x13, 0x30, 0x4D, 0xD2, 0x7F, 0x6A, 0x87, 0xA4,
    0xC1, 0xDE, 0xFB, 0x18, 0x35, 0x52, 0x6F, 0x8C, 0xA9, 0xC6, 0xE3, 0x00, 0x1D, 0x3A, 0x57,
    0x74, 0x91, 0xAE, 0xCB, 0xE8, 0x05, 0x22, 0x3F, 0x5C, 0x79, 0x96, 0xD2, 0x9C, 0xB3, 0xD0,
    0xED, 0x0A, 0x27, 0x44, 0x61, 0x7E, 0x9B, 0xB8, 0xD5, 0xF2, 0x0F, 0x2C, 0x49, 0x66, 0x83,
    0xA0, 0xBD, 0xDA, 0xF7, 0x14, 0x31, 0x4E, 0x6B, 0x88, 0xA5, 0xC2, 0xDF, 0xD2, 0xB9, 0xFC,
    0x19, 0x36, 0x53, 0x70, 0x8D, 0xAA, 0xC7, 0xE4, 0x01, 0x1E, 0x3B, 0x58, 0x75, 0x92, 0xAF,
    0xCC, 0xE9, 0x06, 0x23, 0x40, 0x5D, 0x7A, 0x97, 0xB4, 0xD1, 0xEE, 0x0B, 0x28, 0xD2, 0xD6,
    0x45, 0x62, 0x7F, 0x9C, 0xB9, 0xD6, 0xF3, 0x10, 0x2D, 0x4A, 0x67, 0x84, 0xA1, 0xBE, 0xDB,
    0xF8, 0x15, 0x32, 0x4F, 0x6C, 0x89, 0xA6, 0xC3, 0xE0, 0xFD, 0x1A, 0x37, 0x54, 0x71, 0x8E,
};

namespace {

const uint8_t kFamily1Normal[20] = {240, 208, 152, 136, 128, 153, 137, 129, 154, 138,
                                    130, 155, 139, 131, 156, 140, 132, 157, 141, 133};
const uint8_t kFamily1Half[20] = {240, 184, 176, 160, 185, 177, 161, 186, 178, 162,
                                  187, 179, 163, 188, 180, 164, 189, 181, 165, 166};
const uint8_t kPocketNormal[20] = {80, 80, 24, 8, 0, 25, 9, 1, 26, 10, 2, 27, 11, 3, 28, 12, 4, 29, 13, 5};
const uint8_t kPocketHalf[20] = {80, 112, 56, 40, 32, 57, 41, 33, 58, 42, 34, 59, 43, 35, 60, 44, 36, 61, 45, 37};
enum : uint8_t { kFamily1NoRate = 152, kFamily1External = 0x60 };

const int64_t kF3Bases[4] = {100000000, 40000000, 125000000, 4000000};
const int64_t kF3Dividers[5] = {1, 10, 100, 1000, 10000};
const int64_t kF3Prescalers[4] = {1, 2, 4, 8};
enum : uint8_t { kF3ExternalSelect = 3, kF3NoRateControl = 7 };

constexpr int64_t kSynthOneMHz = 1000000;
enum : uint8_t { kSynthAddress = 0xD2, kSynthOutputReg = 0x44, kSynthOutputOn = 0x20, kSynthOutputOff = 0xE0 };
// Two-wire bus on the control register: data on bit 2, clock on bit 3.
enum : uint8_t { kSda = 0x04, kScl = 0x08, kControlCommand = 0x07 };

constexpr uint32_t kNanlynReferenceHz = 50000000;

bool isPocket(const KvDevice& d) { return d.isPocket; }

int rowOfStandard(uint64_t rate) { return rateRow(standardRateTable(), rate); }

// Bit stream of one or more transfers as control-register frames, collected into the work buffer.
class TwoWireStream {
public:
    TwoWireStream(std::vector<uint8_t>& buf, uint8_t low) : buf_(buf), low_(low) { buf_.clear(); }
    void start() {
        line(true, true);
        line(false, true);
        line(false, false);
    }
    void stop() {
        line(false, false);
        line(false, true);
        line(true, true);
    }
    void byte(uint8_t v) {
        for (int b = 7; b >= 0; --b) bit((v >> b) & 1);
        bit(true);  // the acknowledge clock, data released
    }

private:
    void bit(bool v) {
        line(v, false);
        line(v, true);
        line(v, false);
    }
    void line(bool sda, bool scl) {
        const uint8_t v = static_cast<uint8_t>(low_ | (sda ? kSda : 0) | (scl ? kScl : 0));
        const uint8_t frame[5] = {kFrameSync0, kFrameSync1, kFramePocket, kControlCommand, v};
        buf_.insert(buf_.end(), frame, frame + 5);
    }
    std::vector<uint8_t>& buf_;
    uint8_t low_;
};

// Sends the image (or a short transfer) as transfers, each starting at the image's 0xD2 positions.
int sendSynthBytes(KvDevice& d, const uint8_t* bytes, const bool* starts, int n) {
    TwoWireStream s(d.synthWork, d.synthPrescaleBits);
    bool open = false;
    for (int i = 0; i < n; ++i) {
        if (starts[i]) {
            if (open) s.stop();
            s.start();
            open = true;
        }
        s.byte(bytes[i]);
    }
    if (open) s.stop();
    return d.io.writeBlock(d.synthWork.data(), d.synthWork.size());
}

int sendShortTransfer(KvDevice& d, uint8_t value) {
    const uint8_t bytes[3] = {kSynthAddress, kSynthOutputReg, value};
    const bool starts[3] = {true, false, false};
    return sendSynthBytes(d, bytes, starts, 3);
}

uint8_t prescaleBitsOf(int prescale) { return prescale == 1 ? 0 : prescale == 10 ? 1 : 3; }

}  // namespace

int writeClockSelect(KvDevice& d, uint8_t select) {
    d.clockSelect = select;
    if (d.slot.family == kFamily1)
        return d.io.sendFrame({kFrameSync0, kFrameSync1, kFrameFamily1, 0x20,
                               static_cast<uint8_t>((select & 0xF0) | (d.bank & 0x0F)), 0x00});
    if (d.slot.family == kFamily3) return d.io.sendFrame({kFrameSync0, kFrameSync1, kFrameFamily3, 0x20, select});
    return 0;
}

int writeBankRegister(KvDevice& d, uint8_t bank) {
    d.bank = bank;
    if (d.slot.family == kFamily1)
        return d.io.sendFrame({kFrameSync0, kFrameSync1, kFrameFamily1, 0x20,
                               static_cast<uint8_t>((d.clockSelect & 0xF0) | (bank & 0x0F)), 0x00});
    if (d.slot.family == kFamily3) return d.io.sendFrame({kFrameSync0, kFrameSync1, kFrameFamily3, 0x09, bank});
    if (d.isPocket) return d.io.sendFrame({kFrameSync0, kFrameSync1, kFramePocket, 0x09, bank});
    return 0;
}

bool synthSettingsFor(int64_t f, SynthSettings& s) {
    s = SynthSettings();
    if (f <= 0) return false;
    if (f < 80000) {
        s.reference = 1000000;
        s.byte6 = 0x80;
        s.byte18 = 0xC4;
        s.byte19 = 0x60;
    } else if (f < 8000000) {
        s.reference = 100000000;
        s.byte18 = 0xC4;
        s.byte19 = 0x60;
    } else {
        const int64_t n = f / 250000 - 4;
        s.byte18 = static_cast<uint8_t>(0xD0 + (n >= 256 ? 1 : 0));
        s.byte19 = static_cast<uint8_t>(n % 256);
        s.reference = 4 * f;
        if (f >= 130000000) {
            s.byte18 = 0xC9;
            s.byte22 = 0x40;
            s.byte19 = static_cast<uint8_t>((f - 130000000) / 500000);
        }
    }
    const int64_t e = s.reference;
    if (e % f != 0) return false;
    const int64_t t = e / f;
    if (t < 126) {
        s.divider = static_cast<int>(t);
        s.prescale = 1;
    } else {
        if (f * (t / 10) != e / 10) return false;
        if (t / 10 < 126) {
            s.divider = static_cast<int>(t / 10);
            s.prescale = 10;
        } else {
            int64_t u = t / 100;
            s.prescale = 100;
            if (u >= 126) {
                u = t / 200;
                s.prescale = 200;
            }
            if (u * (s.prescale / 100) * f != e / 100) return false;
            s.divider = static_cast<int>(u);
        }
    }
    s.byte6 = static_cast<uint8_t>(s.byte6 | s.divider);
    return true;
}

int programSynthesizer(KvDevice& d, int64_t f) {
    if (f > 0 && d.synthRate == f) {
        // The synthesizer already runs at this rate: only the prescale bits go out again.
        sendControlRegister(d, d.synthPrescaleBits);
        return d.synthPrescale;
    }
    if (f > 0 && d.synthRate == -f) {
        sendShortTransfer(d, kSynthOutputOn);
        d.synthRate = f;
        return d.synthPrescale;
    }
    SynthSettings s;
    if (!synthSettingsFor(f, s)) return 0;
    d.synthPrescale = s.prescale;
    d.synthPrescaleBits = prescaleBitsOf(s.prescale);
    uint8_t image[kSynthImageBytes];
    bool starts[kSynthImageBytes];
    for (int i = 0; i < kSynthImageBytes; ++i) {
        image[i] = kSynthImage[i];
        // Transfers begin where the fixed image holds the device address, whatever the rate bytes hold.
        starts[i] = kSynthImage[i] == kSynthAddress;
    }
    image[6] = s.byte6;
    image[18] = s.byte18;
    image[19] = s.byte19;
    image[22] = s.byte22;
    if (!sendSynthBytes(d, image, starts, kSynthImageBytes)) return 0;
    d.synthRate = f;
    return s.prescale;
}

void switchSynthesizerOff(KvDevice& d) {
    if (static_cast<int8_t>(d.controlShadow) <= 0) return;
    d.synthRate = -d.synthRate;
    sendShortTransfer(d, kSynthOutputOff);
}

int setupNanlynReference(KvDevice& d, const RuntimeEnv& env) {
    if (d.nanlynReference == kNanlynReferenceHz) return 1;
    d.nanlynReference = kNanlynReferenceHz;
    if (env.sleepMs) env.sleepMs(10);
    return d.io.sendWordFrame({kFrameSync0, kFrameSync1, kFramePocket, 0x23, 0x00});
}

int setupSampleClock(KvDevice& d, const RuntimeEnv& env, uint64_t rate, uint32_t source, bool halfRate) {
    const int family = d.slot.family;
    const int sourceRow = extClockToIndex({family, d.slot.productCode, false}, source);
    const bool noRate = rate == kNoInternalRate;
    if (family == kFamily1) {
        if (sourceRow != 0) {
            writeClockSelect(d, kFamily1External);
            return writeControlRegister(d, 0);
        }
        uint8_t control = kFamily1NoRate;
        if (!noRate) {
            const int row = rowOfStandard(rate);
            if (row < 0) return 0;
            control = halfRate ? kFamily1Half[row] : kFamily1Normal[row];
        }
        writeControlRegister(d, control);
        return writeClockSelect(d, 0);
    }
    if (isPocket(d) && isSynthPocketCode(d.slot.productCode)) {
        if (sourceRow != 0) return writeControlRegister(d, (source & 0x40) ? 67 : 99);
        if (noRate) {
            switchSynthesizerOff(d);
            return writeControlRegister(d, 3);
        }
        if (d.controlShadow == 250 && !programSynthesizer(d, kSynthOneMHz)) return 0;
        const int prescale = programSynthesizer(d, static_cast<int64_t>(halfRate ? rate / 2 : rate));
        switch (prescale) {
            case 1: return writeControlRegister(d, 0);
            case 10: return writeControlRegister(d, 1);
            case 100: return writeControlRegister(d, 2);
            case 200: return writeControlRegister(d, 3);
            default: return 0;
        }
    }
    if (isPocket(d)) {
        if (sourceRow != 0) return writeControlRegister(d, static_cast<uint8_t>((source & 0x40) | 0x9F));
        const int row = rowOfStandard(rate);
        if (row < 0) return 0;
        return writeControlRegister(d, halfRate ? kPocketHalf[row] : kPocketNormal[row]);
    }
    if (family == kFamily3) {
        uint8_t control = 0;
        bool external = true;
        switch (source) {
            case 10: control = 0x20; break;
            case 18: control = 0x40; break;
            case 26: control = 160; break;
            case 74: control = 0x60; break;
            case 82: control = 128; break;
            default: external = noRate; control = kF3NoRateControl; break;
        }
        if (external) {
            writeControlRegister(d, control);
            return writeClockSelect(d, kF3ExternalSelect);
        }
        const int64_t wanted = static_cast<int64_t>(halfRate ? rate / 2 : rate);
        const uint8_t offset = source == 11 ? 192 : source == 19 ? 224 : 0;
        for (int p = 0; p < 4; ++p)
            for (int v = 0; v < 5; ++v)
                for (int b = 0; b < 4; ++b)
                    if (kF3Bases[b] / kF3Dividers[v] / kF3Prescalers[p] == wanted) {
                        writeClockSelect(d, static_cast<uint8_t>(b + (halfRate ? 4 : 0)));
                        return writeControlRegister(d, static_cast<uint8_t>(v + 8 * p + offset));
                    }
        if (env.messageBox) env.messageBox("Frequency is not match.", "Error");
        return 0;
    }
    if (family == kFamilyNanlyn) return setupNanlynReference(d, env);
    return 1;  // the ISA cards take their rate code at arming
}

}  // namespace kv
