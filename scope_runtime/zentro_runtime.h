// The scope library's process-wide state and the logic behind its exports: the scope table, the
// capture set-up of every scope, the capture worker, the read-back with its conversion and the
// sample check. Zentro.dll keeps one instance; native tests build their own against virtual scopes.
#pragma once

#include <atomic>
#include <condition_variable>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "scope_runtime/scope_setup.h"
#include "scope_runtime/scope_unit.h"

namespace kv {
namespace zentro {

constexpr int kMaxScopeDevices = 128;
constexpr int kFpgaImageId = 3002;
constexpr uint32_t kWorkBufferBytes = 51200;
// The read request: u32 kind (4: microvolts as doubles, channel after channel), u32 0, u32 trigger
// fraction in picoseconds (filled by the library), then the address of the caller's buffer.
constexpr size_t kReadRequestBytes = 12 + sizeof(void*);
constexpr uint32_t kReadDoubles = 4;

struct ZentroEnv {
    Registry* registry = nullptr;  // calibration; null: built-in calibration
    std::function<bool(int id, std::vector<uint8_t>& out)> fpgaImage;
    // Runs the capture worker on a thread of its own (raised priority); null runs it at once.
    std::function<bool(std::function<void()> work)> startWorker;
    // Mirrors the library's data-ready state (the "DsoDataNotReady" event: set = data ready).
    std::function<void(bool ready)> signalReady;
    std::function<void(uint32_t ms)> sleepMs;
    std::function<bool(const void* p, size_t bytes)> readable;
    std::function<bool(void* p, size_t bytes)> writable;
    // A message box with an error icon: owner window (the one DsoLog gave, or null), UTF-8 text, title.
    std::function<void(void* owner, const std::string& text, const char* title)> messageBox;
    // Creates the log directory and writes the file; false when it could not be written.
    std::function<bool(const std::string& path, const std::string& text)> writeLog;
    std::function<std::tm()> localTime;
    std::function<uint32_t()> jitter;  // 0-99 for the trigger address at 20 MHz and above
    uint32_t readTimeoutMs = 10000;    // the longest a read waits for the worker
};

class ZentroRuntime {
public:
    explicit ZentroRuntime(ZentroEnv env);
    ~ZentroRuntime();
    ZentroRuntime(const ZentroRuntime&) = delete;
    ZentroRuntime& operator=(const ZentroRuntime&) = delete;

    int init(int maxScopes);  // once; later calls return the kept count
    int shutdown();
    int scopeCount() const { return static_cast<int>(scopes_.size()); }
    int channelCount() const { return scopeCount() > 1 ? 2 * scopeCount() : 2; }

    int getHwInfo(int index, int what, void* out);
    int setCalibration(int index, const void* tables, const void* thresholds, const void* offsets);
    int capture(const void* record);  // 1 when armed; the validation result is kept
    int errorCode() const { return error_; }
    int stop();
    int status(int index);
    int dataReady();
    int read(void* request);

    int hasHw(int index) const;
    uint32_t modelCode(int index) const;
    uint32_t dsoHwInfo(int index, uint32_t selector) const;
    void armSampleCheck(void* owner);  // DsoLog
    bool sampleCheckArmed() const { return checkArmed_; }

    // The scope objects (tests look at what each holds).
    ScopeUnit* scope(int index);

private:
    struct Capture {
        CaptureRecord record;
        uint32_t model = 0;
        RatePlan plan;
        uint32_t perPass = 0;  // words per pass (the whole capture unless equivalent time)
        uint32_t words = 0;
        bool valid = false;
    };
    bool armScope(ScopeUnit& s, const Capture& c);
    void work();
    void setReady(bool ready);
    bool waitReady(uint32_t ms);
    void waitWorker();
    void endWorker();
    void runSampleCheck(const ScopeUnit& s);
    void convert(const ScopeUnit& s, int scopeIndex, double* out) const;
    void sleep(uint32_t ms) const;

    ZentroEnv env_;
    std::vector<std::unique_ptr<ScopeUnit>> scopes_;
    bool initDone_ = false;
    int error_ = 0;
    Capture capture_;
    CaptureRecord defaults_;
    std::vector<uint8_t> work_[2];

    std::mutex transfer_;  // one scope exchange at a time, whichever thread
    std::mutex readyMutex_;
    std::condition_variable readyCv_;
    bool ready_ = true;
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> workerBusy_{false};

    bool checkArmed_ = false;
    void* checkOwner_ = nullptr;
};

}  // namespace zentro
}  // namespace kv
