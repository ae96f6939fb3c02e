#include "scope_runtime/zentro_runtime.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "runtime/le_bytes.h"
#include "scope_runtime/sample_check.h"

namespace kv {
namespace zentro {
namespace {

constexpr uint32_t kStopPolls = 1000;  // polls a stopped scope gets to finish its memory

}  // namespace

ZentroRuntime::ZentroRuntime(ZentroEnv env) : env_(std::move(env)) {
    // The library's initial capture set-up: 10 MHz, 1 V per division on both channels.
    defaults_.rate = 10000000;
    defaults_.voltsPerDiv[0] = defaults_.voltsPerDiv[1] = 1000000;
    defaults_.length = 1000;
}

ZentroRuntime::~ZentroRuntime() { shutdown(); }

void ZentroRuntime::sleep(uint32_t ms) const {
    if (env_.sleepMs) env_.sleepMs(ms);
    else std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void ZentroRuntime::setReady(bool ready) {
    {
        std::lock_guard<std::mutex> lock(readyMutex_);
        ready_ = ready;
    }
    if (ready) readyCv_.notify_all();
    if (env_.signalReady) env_.signalReady(ready);
}

bool ZentroRuntime::waitReady(uint32_t ms) {
    std::unique_lock<std::mutex> lock(readyMutex_);
    return readyCv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return ready_; });
}

void ZentroRuntime::waitWorker() {
    while (workerBusy_.load()) sleep(1);
}

// A capture still running is stopped on every scope (which ends it with what its memory holds)
// and its worker waited for.
void ZentroRuntime::endWorker() {
    if (workerBusy_.load()) stop();
    waitWorker();
    stopRequested_ = false;
}

int ZentroRuntime::init(int maxScopes) {
    if (initDone_) return scopeCount();
    initDone_ = true;
    setReady(true);
    std::vector<uint8_t> image;
    if (!env_.fpgaImage || !env_.fpgaImage(kFpgaImageId, image)) return 0;
    for (int n = 0; n < kMaxScopeDevices && scopeCount() < maxScopes; ++n) {
        auto s = std::make_unique<ScopeUnit>();
        if (!s->open(n)) continue;
        std::lock_guard<std::mutex> lock(transfer_);
        // A scope that does not take its image or answer its identity is left alone.
        if (!s->initialise(image)) {
            s->close();
            continue;
        }
        if (!env_.registry || !loadCalibration(*env_.registry, s->identity.serialText(), s->calibration))
            s->calibration = defaultCalibration();
        s->sendOffsets(s->calibration.dacOffset);
        scopes_.push_back(std::move(s));
    }
    for (auto& w : work_) w.assign(kWorkBufferBytes, 0);
    capture_ = Capture{};
    capture_.record = defaults_;
    return scopeCount();
}

int ZentroRuntime::shutdown() {
    endWorker();
    {
        std::lock_guard<std::mutex> lock(transfer_);
        for (auto& s : scopes_) s->close();
        scopes_.clear();
    }
    initDone_ = false;
    capture_ = Capture{};
    setReady(true);
    return 1;
}

ScopeUnit* ZentroRuntime::scope(int index) {
    return index >= 0 && index < scopeCount() ? scopes_[static_cast<size_t>(index)].get() : nullptr;
}

int ZentroRuntime::getHwInfo(int index, int what, void* out) {
    ScopeUnit* s = scope(index);
    if (!s) return 0;
    const ScopeIdentity& id = s->identity;
    const size_t sizes[] = {32, 32, 16, 4, 4, 4};
    if (what < 0 || what > 5) return 1;
    if (!out || (env_.writable && !env_.writable(out, sizes[what]))) return 0;
    auto* o = static_cast<uint8_t*>(out);
    switch (what) {
        case 0: std::memcpy(o, id.modelText, 32); break;
        case 1: std::memcpy(o, id.secondText, 32); break;
        case 2: std::memcpy(o, id.serial, 16); break;
        case 3: putLe32(o, id.value3); break;
        case 4: putLe32(o, id.value4); break;
        case 5: putLe32(o, id.model); break;
    }
    return 1;
}

int ZentroRuntime::setCalibration(int index, const void* tables, const void* thresholds, const void* offsets) {
    ScopeUnit* s = scope(index);
    if (!s) return 0;
    auto readable = [this](const void* p, size_t n) { return p && (!env_.readable || env_.readable(p, n)); };
    if (!readable(tables, kCalibrationTableBytes) || !readable(thresholds, kThresholdBlockBytes) ||
        !readable(offsets, 8))
        return 0;
    Calibration c;
    std::memcpy(c.tables.data(), tables, kCalibrationTableBytes);
    std::memcpy(c.thresholds.data(), thresholds, kThresholdBlockBytes);
    const auto* o = static_cast<const uint8_t*>(offsets);
    c.dacOffset[0] = static_cast<int32_t>(getLe32(o));
    c.dacOffset[1] = static_cast<int32_t>(getLe32(o + 4));
    std::lock_guard<std::mutex> lock(transfer_);
    s->calibration = c;
    s->sendOffsets(c.dacOffset);
    return 1;
}

bool ZentroRuntime::armScope(ScopeUnit& s, const Capture& c) {
    const CaptureRecord& r = c.record;
    for (int ch = 0; ch < 2; ++ch) {
        const GainCodes g = gainCodes(r.voltsPerDiv[ch]);
        const uint16_t code = ch == 0 ? g.first : g.second;
        // The front end's relays are switched only when the range changed.
        if (s.frontEnd[ch] != code && !s.sendFrontEnd(ch, code)) return false;
    }
    const int source = (r.flags & kModeTriggerChannel2) ? 1 : 0;
    ScopeSetUp u;
    u.clockHz = static_cast<uint32_t>(c.plan.clockHz);
    u.path = static_cast<uint8_t>(c.plan.path);
    u.passes = static_cast<uint8_t>(c.plan.passes);
    u.samples = c.perPass;
    const int64_t pos = positionSamples(r.positionPs, r.rate);
    if (c.plan.path == SamplingPath::Equivalent) {
        u.etTrigger = static_cast<uint32_t>(r.length / 2 + pos);
        u.address = u.etTrigger;
        u.post = c.words - u.etTrigger;
    } else {
        const TriggerAddress t = triggerAddress(pos, c.perPass, r.rate, env_.jitter ? env_.jitter() : 0);
        u.address = t.sent;
        u.post = t.post;
    }
    u.threshold = static_cast<uint16_t>(
        (r.flags & kModeRawLevel) ? r.level
                                  : levelToThreshold(s.calibration, source, frontEndRange(r.voltsPerDiv[source]), r.level));
    u.source = static_cast<uint8_t>(source);
    u.flags = r.flags;
    u.holdOff = static_cast<uint64_t>(r.holdOff);
    s.rawValid = false;
    return s.sendSetUp(u) && s.command(kCmdArm);
}

int ZentroRuntime::capture(const void* record) {
    if (scopes_.empty()) {
        error_ = kErrNoScope;
        return 0;
    }
    if (!record || (env_.readable && !env_.readable(record, kCaptureRecordBytes))) {
        error_ = kErrLength;
        return 0;
    }
    Capture c;
    c.record = readCaptureRecord(static_cast<const uint8_t*>(record), env_.readable);
    // Every scope must take the record; the first one's copy carries the extended-mode defaults.
    CaptureRecord checked = c.record;
    for (size_t i = 0; i < scopes_.size(); ++i) {
        CaptureRecord r = c.record;
        error_ = validateCapture(r, scopes_[i]->identity.model, scopeCount());
        if (error_ != kCaptureOk) return 0;
        if (i == 0) checked = r;
    }
    c.record = checked;
    c.model = scopes_[0]->identity.model;
    c.plan = planRate(c.model, c.record.rate, c.record.flags);
    if (c.plan.path == SamplingPath::Equivalent) {
        c.perPass = (static_cast<uint32_t>(c.record.length) + c.plan.passes - 1) / c.plan.passes;
        c.words = c.perPass * c.plan.passes;
    } else {
        c.perPass = c.words = planMemory(c.model, c.record.length).samples;
    }
    endWorker();  // before the next capture is armed
    setReady(false);
    bool ok = true;
    {
        std::lock_guard<std::mutex> lock(transfer_);
        for (auto& s : scopes_) ok = armScope(*s, c) && ok;
    }
    c.valid = ok;
    capture_ = c;
    if (!ok) {
        setReady(true);
        return 0;
    }
    workerBusy_ = true;
    if (!env_.startWorker || !env_.startWorker([this] { work(); })) work();
    return 1;
}

void ZentroRuntime::work() {
    uint32_t pollsAfterStop = 0;
    for (;;) {
        bool running = false;
        {
            std::lock_guard<std::mutex> lock(transfer_);
            for (auto& s : scopes_) {
                const int st = s->status();
                if (st >= 0 && (st & kStatusRunning)) running = true;
            }
        }
        if (!running) break;
        if (stopRequested_ && ++pollsAfterStop > kStopPolls) break;
        sleep(1);
    }
    {
        std::lock_guard<std::mutex> lock(transfer_);
        size_t buffer = 0;
        for (auto& s : scopes_) {
            s->raw.assign(capture_.words, 0);
            s->rawValid = s->status() >= 0 && !(s->status() & kStatusRunning) &&
                          s->readMemory(0, capture_.words, s->raw.data(), work_[buffer]);
            buffer ^= 1;
        }
    }
    setReady(true);
    workerBusy_ = false;
}

int ZentroRuntime::stop() {
    stopRequested_ = true;
    std::lock_guard<std::mutex> lock(transfer_);
    for (auto& s : scopes_) s->command(kCmdStop);
    return 1;
}

int ZentroRuntime::status(int index) {
    ScopeUnit* s = scope(index);
    if (!s) return 1;
    std::lock_guard<std::mutex> lock(transfer_);
    const int st = s->status();
    if (st < 0 || !s->readIdentity()) return 1;
    const uint32_t third = s->identity.third;
    int flags = st & kStatusRunning;
    flags |= static_cast<int>((third >> 10) & 7) << 1;
    if (third & kThirdOverflow) {
        flags |= 0x10;
        s->command(kCmdClearOverflow);
    }
    return flags;
}

int ZentroRuntime::dataReady() {
    if (scopes_.empty()) return 0;
    std::lock_guard<std::mutex> lock(transfer_);
    const int st = scopes_.back()->status();
    return st >= 0 && !(st & kStatusRunning) ? 1 : 0;
}

void ZentroRuntime::convert(const ScopeUnit& s, int scopeIndex, double* out) const {
    const Capture& c = capture_;
    const size_t length = static_cast<size_t>(c.record.length);
    for (int ch = 0; ch < 2; ++ch) {
        const uint64_t requested = c.record.voltsPerDiv[ch];
        const int range = rangeIndex(requested);
        const uint64_t frontEnd = frontEndRange(requested);
        double* dst = out + static_cast<size_t>(2 * scopeIndex + ch) * length;
        for (size_t i = 0; i < length; ++i) {
            // Equivalent time: output sample i is sample i / passes of pass i % passes.
            const size_t at = c.plan.path == SamplingPath::Equivalent
                                  ? (i % c.plan.passes) * c.perPass + i / c.plan.passes
                                  : i;
            const RawSample r = decodeRaw(at < s.raw.size() ? s.raw[at] : 0);
            dst[i] = codeToMicrovolts(s.calibration, ch, range, frontEnd, ch == 0 ? r.ch1 : r.ch2);
        }
    }
}

void ZentroRuntime::runSampleCheck(const ScopeUnit& s) {
    checkArmed_ = false;
    const CheckResult r = checkSamples(s.raw.data(), s.raw.size());
    if (r.verdict == CheckVerdict::Pass) return;
    if (env_.messageBox) env_.messageBox(checkOwner_, verdictMessage(r.verdict), "Error");
    if (env_.writeLog) {
        std::tm now{};
        if (env_.localTime) {
            now = env_.localTime();
        } else {
            const std::time_t t = std::time(nullptr);
            if (const std::tm* local = std::localtime(&t)) now = *local;
        }
        env_.writeLog(sampleLogPath(now), sampleLogText(s.identity.serialText(), s.raw.data(), s.raw.size(), r));
    }
}

int ZentroRuntime::read(void* request) {
    if (!request || (env_.writable && !env_.writable(request, kReadRequestBytes))) return 0;
    auto* req = static_cast<uint8_t*>(request);
    double* out = nullptr;
    std::memcpy(&out, req + 12, sizeof out);
    if (getLe32(req) != kReadDoubles || scopes_.empty() || !capture_.valid) return 0;
    const size_t doubles = static_cast<size_t>(capture_.record.length) * static_cast<size_t>(2 * scopeCount());
    if (!out || (env_.writable && !env_.writable(out, doubles * sizeof(double)))) return 0;
    if (!waitReady(env_.readTimeoutMs)) return 0;
    for (auto& s : scopes_) {
        if (!s->rawValid) {
            if (env_.messageBox) env_.messageBox(checkOwner_, "Critical Error!", "Error");
            return 0;
        }
    }
    if (checkArmed_) runSampleCheck(*scopes_[0]);
    for (int i = 0; i < scopeCount(); ++i) convert(*scopes_[static_cast<size_t>(i)], i, out);
    putLe32(req + 8, 0);  // samples are taken on the trigger's own clock: no fraction remains
    return 1;
}

int ZentroRuntime::hasHw(int index) const {
    return index >= 0 && index < scopeCount() && isScopeModel(scopes_[static_cast<size_t>(index)]->identity.model) ? 1
                                                                                                                   : 0;
}

uint32_t ZentroRuntime::modelCode(int index) const {
    return index >= 0 && index < scopeCount() ? scopes_[static_cast<size_t>(index)]->identity.model : 0;
}

uint32_t ZentroRuntime::dsoHwInfo(int index, uint32_t selector) const {
    const ScopeUnit* s = index >= 0 && index < scopeCount() ? scopes_[static_cast<size_t>(index)].get() : nullptr;
    switch (selector) {
        case 0x96940000u:
        case 0x96940002u: return 0;
        case 0x96940001u: return 18;
        case 0x96940003u: return static_cast<uint32_t>(scopeCount());
        case 0x96940008u: return 2;
        default: break;
    }
    if (!s) return 0;
    switch (selector) {
        case 0x96940004u: return s->identity.model;
        case 0x96941001u: return memoryPerChannel(s->identity.model) / 128;
        // 300-305: per channel the range of the capture set up last (microvolts per division), the
        // front-end code last sent and the offset-converter value.
        case 300:
        case 301: return static_cast<uint32_t>(capture_.record.voltsPerDiv[selector - 300]);
        case 302:
        case 303: return static_cast<uint32_t>(s->frontEnd[selector - 302]);
        case 304:
        case 305: return static_cast<uint32_t>(s->calibration.dacOffset[selector - 304]);
        default: return 0;
    }
}

void ZentroRuntime::armSampleCheck(void* owner) {
    checkArmed_ = true;
    checkOwner_ = owner;
}

}  // namespace zentro
}  // namespace kv
