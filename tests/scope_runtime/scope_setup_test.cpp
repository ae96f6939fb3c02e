// The scope library's capture set-up: record checks, gain codes, sampling path, memory decimation,
// trigger address and the capture record's fields.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "runtime/le_bytes.h"
#include "scope_runtime/scope_setup.h"

namespace kv {
namespace zentro {
namespace {

CaptureRecord record(uint64_t rate, int32_t length, uint64_t range = 1000000) {
    CaptureRecord r;
    r.rate = rate;
    r.length = length;
    r.voltsPerDiv[0] = r.voltsPerDiv[1] = range;
    return r;
}

TEST(ScopeCapture, ValidationGivesTheFirstFaultOfTheRecord) {
    struct Case {
        const char* what;
        uint32_t model;
        CaptureRecord r;
        int scopes;
        int expected;
    };
    std::vector<Case> cases;
    cases.push_back({"accepted", kModelAbcd, record(10000000, 1000), 1, kCaptureOk});
    cases.push_back({"no scope", kModelAbcd, record(10000000, 1000), 0, kErrNoScope});
    cases.push_back({"3 MHz not a table rate", kModelAbcd, record(3000000, 1000), 1, kErrRate});
    cases.push_back({"5 GHz on 0xABCC", kModelAbcc, record(5000000000ull, 1000), 1, kErrRate});
    cases.push_back({"5 GHz elsewhere", kModelAbcd, record(5000000000ull, 1000), 1, kCaptureOk});
    cases.push_back({"range not in table", kModelAbcd, record(10000000, 1000, 3000000), 1, kErrRange});
    cases.push_back({"length 0", kModelAbcd, record(10000000, 0), 1, kErrLength});
    cases.push_back({"64,000 fits", kModelAbcd, record(10000000, 64000), 1, kCaptureOk});
    cases.push_back({"64,001 does not", kModelAbcd, record(10000000, 64001), 1, kErrLength});
    cases.push_back({"512,000 on 0xABCE", kModelAbce, record(10000000, 512000), 1, kCaptureOk});
    cases.push_back({"2,048,000 on 0xABCF", kModelAbcf, record(10000000, 2048000), 1, kCaptureOk});
    cases.push_back({"2,048,001 on 0xABCF", kModelAbcf, record(10000000, 2048001), 1, kErrLength});
    cases.push_back({"50,001 in equivalent time", kModelAbcd, record(2500000000ull, 50001), 1, kErrLength});
    CaptureRecord ext = record(10000000, 1000);
    ext.flags = 0xC0000;
    cases.push_back({"extended mode on 0xABCC", kModelAbcc, ext, 1, kErrExtendedModel});
    ext.rate = 2500000000ull;
    cases.push_back({"extended mode in equivalent time", kModelAbcd, ext, 1, kErrExtendedEquivalent});
    CaptureRecord pos = record(100000000, 512000);
    pos.positionPs = 32767LL * 10000;  // 32,767 samples of 10 ns
    cases.push_back({"position 32,767", kModelAbce, pos, 1, kCaptureOk});
    pos.positionPs = -32768LL * 10000;
    cases.push_back({"position -32,768", kModelAbce, pos, 1, kErrPosition});
    pos.length = 1000;
    pos.positionPs = 501LL * 10000;
    cases.push_back({"beyond half the record", kModelAbcd, pos, 1, kErrPosition});
    pos.positionPs = -500LL * 10000;
    cases.push_back({"minus half the record", kModelAbcd, pos, 1, kCaptureOk});
    pos.rate = 2500000000ull;
    pos.positionPs = -256LL * 400;
    cases.push_back({"equivalent time beyond -255", kModelAbcd, pos, 1, kErrPosition});
    CaptureRecord lvl = record(10000000, 1000, 100000);
    lvl.level = 800000;
    cases.push_back({"level at +8 divisions", kModelAbcd, lvl, 1, kCaptureOk});
    lvl.level = -800001;
    cases.push_back({"level beyond -8 divisions", kModelAbcd, lvl, 1, kErrLevel});
    lvl.voltsPerDiv[1] = 1000000;
    lvl.flags = kModeTriggerChannel2;
    cases.push_back({"level within channel 2's range", kModelAbcd, lvl, 1, kCaptureOk});
    lvl.flags = kModeRawLevel;
    lvl.level = 1024;
    cases.push_back({"raw level beyond the converter", kModelAbcd, lvl, 1, kErrLevel});
    for (Case& c : cases) EXPECT_EQ(validateCapture(c.r, c.model, c.scopes), c.expected) << c.what;
}

TEST(ScopeCapture, ExtendedModesGetTheirHoldOffClassAndDefaultHoldOff) {
    const struct {
        uint32_t mode;
        int64_t given, expected;
    } cases[] = {{0xC0000, 0, 635000000LL}, {0xD0000, 0, 20000000000LL}, {0xE0000, 0, 100000000000LL},
                 {0xF0000, 0, 100000000000LL}, {0xD0000, 7, 7}};
    for (const auto& c : cases) {
        CaptureRecord r = record(10000000, 1000);
        r.flags = c.mode | 1;
        r.holdOff = c.given;
        ASSERT_EQ(validateCapture(r, kModelAbcd, 1), kCaptureOk);
        EXPECT_EQ(r.flags, c.mode | 1 | kHoldOffClassMask);
        EXPECT_EQ(r.holdOff, c.expected);
    }
    CaptureRecord edge = record(10000000, 1000);
    edge.flags = 0x10000;
    validateCapture(edge, kModelAbcd, 1);
    EXPECT_EQ(edge.flags, 0x10000u);
    EXPECT_EQ(edge.holdOff, 0);
}

TEST(ScopeCapture, GainCodesFollowTheRangeAndTheFrontEndRange) {
    const struct {
        uint64_t uv;
        uint16_t first, second;
        uint64_t frontEnd;
    } cases[] = {{2000, 0x0101, 0xC404, 10000},       {5000, 0x0101, 0xC404, 10000},
                 {10000, 0x0101, 0xC404, 10000},      {20000, 0x1101, 0x8404, 20000},
                 {50000, 0x2101, 0x4404, 50000},      {100000, 0x0106, 0xC403, 100000},
                 {200000, 0x1106, 0x8403, 200000},    {500000, 0x2106, 0x4403, 500000},
                 {1000000, 0x0606, 0xC303, 1000000},  {2000000, 0x1606, 0x8303, 2000000},
                 {5000000, 0x2606, 0x4303, 5000000},  {10000000, 0x3606, 0x0303, 10000000},
                 {3000000, 0x0606, 0xC303, 1000000},  {0, 0x0606, 0xC303, 1000000}};
    for (const auto& c : cases) {
        EXPECT_EQ(gainCodes(c.uv).first, c.first) << c.uv;
        EXPECT_EQ(gainCodes(c.uv).second, c.second) << c.uv;
        EXPECT_EQ(frontEndRange(c.uv), c.frontEnd) << c.uv;
    }
}

TEST(ScopeCapture, RatesAboveTheDirectClockUseTheHalfRatePathThenEquivalentTime) {
    const struct {
        uint32_t model;
        uint64_t rate;
        uint32_t flags;
        SamplingPath path;
        uint64_t clock;
        uint32_t passes;
    } cases[] = {
        {kModelAbcc, 50000000, 0, SamplingPath::Direct, 50000000, 1},
        {kModelAbcc, 100000000, 0, SamplingPath::HalfRate, 50000000, 1},
        {kModelAbcc, 200000000, 0, SamplingPath::Equivalent, 50000000, 4},
        {kModelAbcc, 2500000000ull, 0, SamplingPath::Equivalent, 50000000, 50},
        {kModelAbcd, 100000000, 0, SamplingPath::Direct, 100000000, 1},
        {kModelAbcd, 200000000, 0, SamplingPath::HalfRate, 100000000, 1},
        {kModelAbcd, 5000000000ull, 0, SamplingPath::Equivalent, 100000000, 50},
        {kModelAbcd, 80000000, kModeHalfRate, SamplingPath::HalfRate, 40000000, 1},
        {kModelAbcd, 1000, 0, SamplingPath::Direct, 1000, 1},
    };
    for (const auto& c : cases) {
        const RatePlan p = planRate(c.model, c.rate, c.flags);
        EXPECT_EQ(p.path, c.path) << c.rate;
        EXPECT_EQ(p.clockHz, c.clock) << c.rate;
        EXPECT_EQ(p.passes, c.passes) << c.rate;
    }
}

TEST(ScopeCapture, MemoryDecimationIsTheLargestThatStillHoldsTheRecord) {
    const struct {
        uint32_t model;
        int32_t length;
        uint32_t o, samples;
    } cases[] = {
        {kModelAbcc, 10000, 4, 16384}, {kModelAbcd, 1, 128, 512},      {kModelAbcd, 512, 128, 512},
        {kModelAbcd, 513, 64, 1024},   {kModelAbcd, 32769, 1, 65536},  {kModelAbcd, 64000, 1, 65536},
        {kModelAbce, 64000, 1, 0x80000}, {kModelAbce, 16384, 4, 16384}, {kModelAbcf, 2048000, 1, 0x200000},
    };
    for (const auto& c : cases) {
        const MemoryPlan p = planMemory(c.model, c.length);
        EXPECT_EQ(p.decimation, c.o) << c.length;
        EXPECT_EQ(p.samples, c.samples) << c.length;
    }
}

TEST(ScopeCapture, TriggerAddressIsThePositionPlusHalfTheMemoryAdjustedForTheRate) {
    const struct {
        int64_t pos;
        uint32_t samples;
        uint64_t rate;
        uint32_t jitter;
        uint32_t address, post, sent;
    } cases[] = {
        {0, 16384, 1000000, 0, 8192, 8193, 8193},             // below 20 MHz: raised by one
        {-100, 16384, 1000000, 0, 8092, 8293, 8093},
        {0, 65536, 1000000, 0, 32768, 32769, 32769},
        {32767, 65536, 1000000, 0, 65535, 2, 0xFFFF},       // capped
        {0, 512, 20000000, 0, 256, 257, 256 + 0x7FFF},      // 20 MHz and above: 0x7FFF and jitter
        {0, 512, 100000000, 99, 256, 257, 256 + 0x7FFF + 99},
        {20000, 65536, 100000000, 50, 52768, 12769, 0xFFFF},
        {0, 0x80000, 1000000, 0, 0x48000, 0x38001, 0xFFFF}, // the 0x80000 memory: 0x8000 further
    };
    for (const auto& c : cases) {
        const TriggerAddress t = triggerAddress(c.pos, c.samples, c.rate, c.jitter);
        EXPECT_EQ(t.address, c.address) << c.pos << "/" << c.samples;
        EXPECT_EQ(t.post, c.post) << c.pos << "/" << c.samples;
        EXPECT_EQ(t.sent, c.sent) << c.pos << "/" << c.samples;
    }
    EXPECT_EQ(positionSamples(-45000, 100000000), -4);  // truncated toward zero
    EXPECT_EQ(positionSamples(400, 5000000000ull), 2);
}

TEST(ScopeCapture, RecordFieldsAreLittleEndianAndThePairsMayComeFromTheCallersBlock) {
    CaptureRecord r = record(100000000, 64000, 200000);
    r.flags = 0x210000;
    r.level = -167000;
    r.second[1] = 0x1122334455667788ull;
    r.positionPs = -45000;
    r.holdOff = 635000000;
    std::vector<uint8_t> b(kCaptureRecordBytes);
    writeCaptureRecord(r, b.data());
    EXPECT_EQ(getLe32(b.data()), 0x210000u);
    EXPECT_EQ(getLe64(b.data() + 8), 100000000u);
    EXPECT_EQ(getLe64(b.data() + 24), 200000u);
    EXPECT_EQ(getLe64(b.data() + 48), 0x1122334455667788ull);
    EXPECT_EQ(getLe32(b.data() + 136), 64000u);
    CaptureRecord back = readCaptureRecord(b.data(), nullptr);
    EXPECT_EQ(back.level, -167000);
    EXPECT_EQ(back.positionPs, -45000);
    EXPECT_EQ(back.holdOff, 635000000);
    EXPECT_EQ(back.voltsPerDiv[0], 200000u);

    uint8_t pairs[kChannelPairBytes] = {};
    putLe64(pairs, 5000000);
    putLe64(pairs + 16, 20000);
    const uint8_t* p = pairs;
    std::memcpy(b.data() + 184, &p, sizeof p);
    back = readCaptureRecord(b.data(), nullptr);
    EXPECT_EQ(back.voltsPerDiv[0], 5000000u);
    EXPECT_EQ(back.voltsPerDiv[1], 20000u);
    // A block the caller may not read is not touched: the record's own pairs serve.
    back = readCaptureRecord(b.data(), [](const void*, size_t) { return false; });
    EXPECT_EQ(back.voltsPerDiv[0], 200000u);
    EXPECT_EQ(back.pairs, nullptr);
}

}  // namespace
}  // namespace zentro
}  // namespace kv
