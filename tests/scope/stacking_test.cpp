// The maker's scope as the viewer drives it (over scripted library calls), the stack set-up before
// a capture, the dialog's OK rules and the scope rows of the view.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "viewer/display/label_table.h"
#include "viewer/display/scope_rows.h"
#include "viewer/scope/ombix_scope.h"
#include "viewer/scope/stacking.h"

namespace kv {
namespace {

LabelEntry scopeLabel(int channel, uint32_t flags) {
    LabelEntry e;
    e.kind = kLabelSingle;
    e.channel = channel;
    e.flags = flags;
    return e;
}

uint64_t le64(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

// A scripted library: one scope of the given model; reads fill channel c with c * 1000 + i % 7
// microvolts and report a trigger fraction.
struct FakeZentro {
    uint32_t model = 0xABCD;
    int scopes = 1;
    bool missingEntry = false;
    std::vector<uint8_t> request;
    uint32_t fraction = 0;
    int stops = 0;
    bool bind(ZentroCalls& c) {
        c.init = [this] { return scopes; };
        c.hwInfo = [this](int, int what, uint32_t* out) {
            if (what == 5) *out = model;
            return 1;
        };
        c.stop = [this] { return ++stops, 1; };
        c.capture = [this](void* r) {
            request.assign(static_cast<uint8_t*>(r), static_cast<uint8_t*>(r) + kScopeRequestBytes);
            return 1;
        };
        c.status = [](int) { return 4; };
        c.dataReady = [] { return 1; };
        if (!missingEntry)
            c.read = [this](void* r) {
                auto* req = static_cast<uint8_t*>(r);
                double* out = nullptr;
                std::memcpy(&out, req + 12, sizeof out);
                const int n = model == 0xABCE ? 512000 : 64000;
                for (int ch = 0; ch < 2 * scopes; ++ch)
                    for (int i = 0; i < n; ++i) out[ch * n + i] = ch * 1000.0 + i % 7 - (ch == 1 ? 5000 : 0);
                std::memcpy(req + 8, &fraction, 4);
                return 1;
            };
        return true;
    }
    std::unique_ptr<OmbixScope> scope() {
        return std::make_unique<OmbixScope>([this](ZentroCalls& c) { return bind(c); });
    }
};

TEST(OmbixScope, OpensArmsReadsAndMapsTime) {
    FakeZentro z;
    auto s = z.scope();
    ASSERT_TRUE(s->openDefault());
    EXPECT_EQ(s->channelCount(), 2);
    EXPECT_STREQ(s->modelName(), "Ombix ZS-1102");
    EXPECT_EQ(s->sampleCount(1), 64000);
    // Rates and ranges: the first of the list not above the request, the lowest below all.
    EXPECT_EQ(s->setSampleRate(150000000), 100000000u);
    EXPECT_EQ(s->setSampleRate(50), 100u);
    EXPECT_EQ(s->setSampleRate(3000000), 2000000u);
    s->setChannelRange(0, 1500000);
    s->setChannelRange(1, 1000);
    s->setChannelRange(2, 1000000);  // no third channel: kept
    EXPECT_EQ(s->channelRange(0), 1000000u);
    EXPECT_EQ(s->channelRange(1), 2000u);
    EXPECT_EQ(s->channelRange(2), 100000u);
    EXPECT_TRUE(s->setAcCoupling(1, true));
    EXPECT_TRUE(s->setBandwidthLimit(0, true));
    EXPECT_FALSE(s->setAcCoupling(2, true));
    EXPECT_EQ(s->channelFlags(), 0x10002u);

    // The request carries flags, rate, level, both ranges and the record length.
    ASSERT_TRUE(s->arm());
    ASSERT_EQ(z.request.size(), kScopeRequestBytes);
    EXPECT_EQ(le64(&z.request[0]) & 0xFFFFFFFF, 0x210000u);
    EXPECT_EQ(le64(&z.request[8]), 2000000u);
    EXPECT_EQ(le64(&z.request[16]), 167000u);
    EXPECT_EQ(le64(&z.request[24]), 1000000u);
    EXPECT_EQ(le64(&z.request[40]), 2000u);
    EXPECT_EQ(le64(&z.request[136]) & 0xFFFFFFFF, 64000u);
    EXPECT_EQ(le64(&z.request[120]), 0u);

    z.fraction = 250;
    ASSERT_TRUE(s->read());
    EXPECT_EQ(z.stops, 1);
    EXPECT_EQ(s->readingFinished(), 1);
    EXPECT_EQ(s->channelBuffer(1)[3], 1000.0 + 3 - 5000);
    int64_t hi, lo;
    s->channelExtremes(0, hi, lo);
    EXPECT_EQ(hi, 6);
    EXPECT_EQ(lo, 0);
    s->extremes(hi, lo);
    EXPECT_EQ(hi, 6);
    EXPECT_EQ(lo, -4000);

    // At 100 MHz the trigger is sample 32,768, less the two 45 ns path delays, plus the fraction.
    s->setSampleRate(100000000);
    double p = 50;
    ASSERT_TRUE(s->setTriggerPosition(&p));
    EXPECT_EQ(s->timeToIndex(90e-9 - 250e-12), 32768);
    EXPECT_EQ(s->timeToIndex(90e-9 + 1e-6), 32868);
    // 60 % moves the mapping by a tenth of the record.
    p = 60;
    ASSERT_TRUE(s->setTriggerPosition(&p));
    EXPECT_EQ(s->timeToIndex(90e-9), 32768 + 6400);
}

TEST(OmbixScope, ModelLimitsAndMissingLibrary) {
    FakeZentro big;
    big.model = 0xABCE;
    auto s = big.scope();
    ASSERT_TRUE(s->openDefault());
    EXPECT_STREQ(s->modelName(), "Ombix ZS-1202");
    EXPECT_EQ(s->sampleCount(1), 512000);
    // The ZS-1202 keeps 6.25 % when refused 20 %.
    double p = 20;
    EXPECT_FALSE(s->setTriggerPosition(&p));
    EXPECT_EQ(p, 6.25);
    p = 12.5;
    EXPECT_TRUE(s->setTriggerPosition(&p));
    // Its library puts the trigger at 0x48000 of the record read back.
    p = 6.25;
    s->setTriggerPosition(&p);
    EXPECT_EQ(s->timeToIndex(90e-9), 0x48000);

    FakeZentro none;
    none.scopes = 0;
    EXPECT_FALSE(none.scope()->openDefault());
    FakeZentro partial;
    partial.missingEntry = true;
    EXPECT_FALSE(partial.scope()->openDefault());
    EXPECT_FALSE(OmbixScope([](ZentroCalls&) { return false; }).openDefault());
    // Addresses are for the SCPI scopes only.
    EXPECT_FALSE(big.scope()->openIp(0x0100A8C0));
}

TEST(Stacking, RatesAndSetUpBeforeACapture) {
    EXPECT_EQ(stackRequestRate(kSrMaximum, 20000000, 0), 100000000u);
    EXPECT_EQ(stackRequestRate(kSrManual, 20000000, 0), 100000000u);
    EXPECT_EQ(stackRequestRate(kSrKv1, 200000000, 0), 100000000u);
    EXPECT_EQ(stackRequestRate(kSrKv1, 5000000, 0), 5000000u);
    EXPECT_EQ(stackRequestRate(kSrKv10, 20000000, 0), 100000000u);  // 200 MHz is above the cap
    EXPECT_EQ(stackRequestRate(kSrKv10, 5000000, 0), 50000000u);
    EXPECT_EQ(stackRequestRate(kSrEdit, 0, 2000000), 2000000u);
    EXPECT_EQ(stackRequestRate(kSrEdit, 0, 400000000), 100000000u);

    FakeZentro z;
    auto s = z.scope();
    ASSERT_TRUE(s->openDefault());
    LabelTable t;
    t.entries[0] = scopeLabel(0, kLabelScope | 3u << kScopeRangeShift | kScopeAcCoupling);  // 1,000 mV/div
    t.entries[1] = scopeLabel(1, kLabelScope | 11u << kScopeRangeShift | kScopeBandwidthLimit);  // 2 mV/div
    t.entries[2] = scopeLabel(0, 0);  // a logic channel: not the scope's
    configureStackedScope(*s, t, 50.0, kSrKv10, 5000000, 0);
    EXPECT_EQ(s->channelRange(0), 1000000u);
    EXPECT_EQ(s->channelRange(1), 2000u);
    EXPECT_EQ(s->channelFlags(), 0x1u | 0x20000u);
    EXPECT_EQ(s->sampleRate(), 50000000u);
}

TEST(Stacking, DialogOkRules) {
    FakeZentro z;
    auto ombix = [&z] { return std::unique_ptr<ScopeDevice>(z.scope()); };
    auto noVisa = [] { return std::unique_ptr<ScopeDevice>(); };
    StackForm f;
    StackOutcome o = applyStackForm(f, ombix, noVisa);
    EXPECT_TRUE(o.ok);
    EXPECT_FALSE(o.scope);

    f.brand = 2;  // "Agilent"
    o = applyStackForm(f, ombix, noVisa);
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.message, kStrBrandUnsupported);
    EXPECT_TRUE(o.restoreBrand);

    f.brand = kBrandOmbix;
    f.trigPosPercent = 101;
    EXPECT_EQ(applyStackForm(f, ombix, noVisa).message, kStrPositionRange);
    f.trigPosPercent = 50;
    o = applyStackForm(f, ombix, noVisa);
    EXPECT_TRUE(o.ok);
    EXPECT_EQ(o.message, kStrStackOmbix);
    ASSERT_TRUE(o.scope);
    f.srType = kSrEdit;
    f.rate = 3000000;
    EXPECT_EQ(applyStackForm(f, ombix, noVisa).message, kStrBadRate);
    f.rate = 2000000;
    o = applyStackForm(f, ombix, noVisa);
    EXPECT_TRUE(o.ok);
    EXPECT_EQ(o.rate, 2000000u);
    z.model = 0xABCE;
    EXPECT_EQ(applyStackForm(f, ombix, noVisa).message, kStrPosition12);
    z.scopes = 0;
    o = applyStackForm(f, ombix, noVisa);
    EXPECT_EQ(o.message, kStrOmbixNotFound);
    EXPECT_TRUE(o.error);

    f.brand = kBrandTektronix;
    o = applyStackForm(f, ombix, noVisa);
    EXPECT_EQ(o.message, kStrTektronixNotFound);

    ScopeStack stack;
    EXPECT_EQ(stack.channels, 6);
    EXPECT_EQ(stack.recordLength, 2048);
    z.scopes = 1;
    z.model = 0xABCD;
    auto one = z.scope();
    ASSERT_TRUE(one->openDefault());
    stack.install(std::move(one));
    EXPECT_EQ(stack.channels, 2);
    EXPECT_EQ(stack.recordLength, 64000);
    stack.install(nullptr);
    EXPECT_EQ(stack.channels, 6);
    EXPECT_EQ(stack.recordLength, 2048);
}

TEST(ScopeRows, TraceFollowsTheMappingAndTheScale) {
    // A square wave of period 8 scope samples; one scope sample per logic sample, the logic
    // trigger at 100 and the scope's at 1000.
    std::vector<double> samples(2000);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = (i / 4) % 2 ? 3300000.0 : 0.0;
    ScopeTrace trace{samples.data(), static_cast<int64_t>(samples.size()), 3300000.0, 0.0};
    ScopeMapping m;
    m.triggerSample = 100;
    m.logicPeriod = 1e-8;
    m.timeToIndex = [](double s) { return static_cast<int64_t>(std::llround(1000 + s / 1e-8)); };
    WaveRow r;
    r.kind = RowKind::Scope;
    r.top = 40;
    r.height = 36;  // margins of 4 at wave height 24
    RenderStyle style;
    style.measure = [](const std::string& t) { return TextSize{static_cast<int32_t>(t.size()) * 6, 12}; };
    PaneGeometry pane;
    pane.firstSample = 90;
    pane.width = 40;
    pane.height = 100;
    Band band;
    band.left = 0;
    band.right = 40;
    PrimitiveList out;
    renderScopeRow(pane, r, style, band, m, trace, out);
    ASSERT_EQ(out.polylines.size(), 1u);
    // Column x shows scope sample 1000 + (x - 10): high when ((990 + x) / 4) is odd.
    for (uint32_t k = 0; k < out.polylines[0].count; ++k) {
        const Point p = out.points[out.polylines[0].first + k];
        const bool high = ((990 + p.x) / 4) % 2;
        if (k + 1 < out.polylines[0].count && out.points[out.polylines[0].first + k + 1].x == p.x) continue;
        EXPECT_EQ(p.y, high ? 44 : 72) << p.x;
    }
    ASSERT_EQ(out.texts.size(), 2u);
    EXPECT_EQ(out.texts[0].text, "3.3V");
    EXPECT_EQ(out.texts[1].text, "0uV");
    EXPECT_EQ(out.texts[1].box.bottom, 76);
    EXPECT_EQ(scopeScaleText(-200000), "-200mV");
    // A row too low for both values keeps the top one.
    r.height = 20;
    PrimitiveList low;
    renderScopeRow(pane, r, style, band, m, trace, low);
    ASSERT_EQ(low.texts.size(), 1u);
    EXPECT_EQ(low.texts[0].text, "3.3V");
    r.height = 36;
    EXPECT_NEAR(scopeVoltsAtY(r, 4, trace, 58), 1.65, 1e-9);
    EXPECT_NEAR(scopeVoltsAtY(r, 4, trace, 44), 3.3, 1e-9);
    // The measuring line: bottom to top margin is the whole scale, up positive.
    EXPECT_EQ(scopeLineMicrovolts(r, 4, trace, 72, 44), 3300000);
    EXPECT_EQ(scopeLineMicrovolts(r, 4, trace, 44, 58), -1650000);
    EXPECT_EQ(scopeLineMicrovolts(r, 4, trace, 50, 50), 0);

    // Zoomed out 4x: each column spans four scope samples; a record outside the band draws nothing.
    pane.zoomOut = 2;
    PrimitiveList wide;
    renderScopeRow(pane, r, style, band, m, trace, wide);
    EXPECT_FALSE(wide.points.empty());
    m.timeToIndex = [](double) { return int64_t{5000}; };
    PrimitiveList none;
    renderScopeRow(pane, r, style, band, m, trace, none);
    EXPECT_TRUE(none.points.empty());
}

}  // namespace
}  // namespace kv
