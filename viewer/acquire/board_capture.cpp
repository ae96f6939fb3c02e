#include "viewer/acquire/board_capture.h"

#include "viewer/acquire/sample_modes.h"
#include "viewer/display/label_table.h"
#include "viewer/scope/scope_device.h"
#include "viewer/shell/capture_buffer.h"
#include "viewer/shell/sample_store.h"
#include "viewer/trigger/trigger_setup.h"

namespace kv {
namespace {

enum : uint32_t {
    kInfoFamily = 0x96940002u,
    kInfoCaptureSamples = 0x96940012u,
    kInfoFirstSamplePhase = 0x96940018u,
    kInfoReadBytes = 0x96941002u,
    kInfoTimeStampPre = 0x96941004u,
};

// A Nanlyn read-back writes 16 status bytes after the samples.
constexpr int64_t kNanlynReadTail = 16;

// Brackets one burst of board access with the pattern editor's notifications.
class BoardAccess {
public:
    explicit BoardAccess(AcquisitionHost& host) : host_(host) { host_.notifyPatternEditor(1); }
    ~BoardAccess() { host_.notifyPatternEditor(0); }
    BoardAccess(const BoardAccess&) = delete;
    BoardAccess& operator=(const BoardAccess&) = delete;

private:
    AcquisitionHost& host_;
};

}  // namespace

BoardAcquisition::BoardAcquisition(AcquisitionHost& host, const AcquisitionBoard& board, const AcquisitionTarget& target)
    : host_(host), board_(board), t_(target) {}

void BoardAcquisition::describeCapture() {
    const int32_t samples = static_cast<int32_t>(host_.hwInfo(kInfoCaptureSamples));
    CaptureGeometry g;
    if (board_.nanlyn) {
        uint8_t raw[kModeRecordSize] = {};
        const ModeRecord mode = host_.currentMode(raw) ? decodeModeRecord(raw) : ModeRecord{};
        g = nanlynGeometry(mode, samples, memorySelectDivisor(t_.trigger.nanlynMemorySelect));
    } else {
        const bool stacked = (t_.trigger.current.flags & kTriggerFlagMemoryStack) != 0;
        g = boardGeometry(samples, board_.wordsPerSample, board_.bitsPerWord, stacked);
    }
    // What the read-back will write: a Nanlyn board its packed words and a status tail, the
    // others what the runtime reports.
    readBytes_ = board_.nanlyn ? int64_t{g.bytes} + kNanlynReadTail : int64_t{host_.hwInfo(kInfoReadBytes)};
    // Never describe more than the buffer holds beyond the read-back preamble.
    const int32_t room = captureAreaBytes(t_.capture.limits()) - kReadBackPreamble;
    if (g.bytes > room) g.bytes = room > 0 ? room - room % 8 : 0;
    t_.capture.setDataAtStart(isIsaInterface(board_.interfaceCode));
    t_.capture.captureLength = g.bytes;
    t_.capture.format = SampleFormat::make(g.storageMode, g.wordBits, g.rowBits, g.sampleBits);
    t_.store.attach(t_.capture.dataStart(), g.bytes, g.wordBits, g.rowBits, g.sampleBits, g.storageMode);
}

void BoardAcquisition::programTriggerIfNeeded() {
    TriggerSetup& s = t_.trigger;
    // Another viewer on a board of the same identity may have programmed its own trigger since.
    if (!sharedDevice_ && s.sent) {
        host_.waitForTriggerProgramming();
        return;
    }
    host_.programTrigger(s.current);
    s.sent = 1;
}

void BoardAcquisition::armScope() {
    ScopeDevice* scope = host_.stackedScope();
    if (!scope) return;
    host_.configureStackedScope(*scope);
    scope->arm();
    // The scope must be waiting for its trigger before the analyzer can give it one.
    while (!(scope->status() & kScopeArmed) && !host_.stopRequested()) host_.yield();
}

void BoardAcquisition::readScope() {
    ScopeDevice* scope = host_.stackedScope();
    if (!scope) return;
    // A cancelled capture ends the wait, but the read is still made: it also stops the scope.
    while (!scope->dataReady() && !host_.stopRequested()) host_.yield();
    host_.scopeRead(scope->read());
}

void BoardAcquisition::arm() {
    TriggerSetup& s = t_.trigger;
    host_.markUnsaved();
    {
        BoardAccess access(host_);
        host_.reset();
        host_.hwInfo(kInfoFamily);
    }
    sharedDevice_ = host_.anotherViewerHasThisBoard();
    s.current.triggerPosition = static_cast<uint32_t>(s.triggerPosition);
    const int32_t shownCount = t_.store.logicalCount();
    describeCapture();
    if (board_.nanlyn) {
        host_.showProgressDisplay(true);
        animation_.reset(host_.ticks());
        uint8_t raw[kModeRecordSize] = {};
        if (host_.currentMode(raw)) {
            const ModeRecord mode = decodeModeRecord(raw);
            if (mode.features & kFeatureTimeStamp)
                s.current.triggerPosition =
                    static_cast<uint32_t>(blockRepeatArmPosition(s.triggerPosition, shownCount, mode.depth));
        }
    }
    {
        BoardAccess access(host_);
        programTriggerIfNeeded();
    }
    host_.enableControls(false);
    host_.clearStopRequest();
    t_.capture.triggerPosition = s.triggerPosition;
    lanes_ = laneMask(t_.labels, (s.current.flags & kTriggerFlagMemoryStack) != 0);
    armScope();
    BoardAccess access(host_);
    host_.armCapture(s.current);
}

bool BoardAcquisition::poll() {
    BoardAccess access(host_);
    const bool ready = host_.isDataReady() != 0;
    if (board_.nanlyn && animation_.tick(host_.ticks(), host_.progress())) host_.repaintProgress(animation_);
    return ready;
}

bool BoardAcquisition::readBack(int stopped) {
    // The runtime writes what its own capture length calls for: a buffer too small for it is not
    // handed over at all, and the capture keeps what the buffer holds.
    const int64_t room = static_cast<int64_t>(t_.capture.size()) - t_.capture.dataStartOffset();
    if (readBytes_ > room) return false;
    const int result = host_.readCapture(t_.capture.dataStart(), stopped, lanes_);
    blockRepeatResult_ = false;
    if (board_.nanlyn) {
        uint8_t raw[kModeRecordSize] = {};
        if (host_.currentMode(raw) && (decodeModeRecord(raw).features & kFeatureTimeStamp)) {
            blockRepeatResult_ = true;
            const uint32_t position = host_.hwInfo(kInfoTimeStampPre);
            t_.trigger.current.triggerPosition = position;
            t_.capture.triggerPosition = static_cast<int32_t>(position);
        }
    }
    return result != 0;
}

void BoardAcquisition::readCompleted() {
    t_.capture.setDataAtStart(isIsaInterface(board_.interfaceCode));
    BoardAccess access(host_);
    readBack(0);
    t_.store.attach(t_.capture.dataStart(), 0, 0, 0, 0, kStorageKeep);
    t_.store.setStartOffset(static_cast<int32_t>(host_.hwInfo(kInfoFirstSamplePhase)));
}

void BoardAcquisition::readStopped() {
    t_.capture.zeroAll();
    t_.capture.setDataAtStart(false);
    // The ISA cards cannot be read after a stop: their capture stays all zero.
    if (!isIsaInterface(board_.interfaceCode)) {
        BoardAccess access(host_);
        readBack(1);
    }
    t_.store.attach(t_.capture.dataStart(), 0, 0, 0, 0, kStorageKeep);
    const int32_t position = t_.capture.triggerPosition;
    if (flattensAfterStop(board_.productCode, board_.nanlyn, position, t_.store.logicalCount()))
        flattenFromTrigger(t_.store, position);
}

void BoardAcquisition::showResult(bool completed) {
    host_.showCapture(board_.nanlyn && blockRepeatResult_);
    host_.enableControls(true);
    host_.endBusyAnimation();
    host_.setCaptureRunning(false);
    if (completed) {
        host_.showStatus(AcquisitionStatus::CaptureOk);
        host_.triggerBell();   // "Trig Bell": a completed capture only
    }
    if (host_.autoSaveOn()) host_.autoSave(saved_++);
}

void BoardAcquisition::runSingle() {
    arm();
    while (host_.captureRunning()) {
        const bool ready = poll();
        const bool stopped = host_.stopRequested();
        if (!stopped && !ready) {
            host_.yield();
            continue;
        }
        {
            BoardAccess access(host_);
            host_.stopCapture();
        }
        if (stopped) {
            host_.showStatus(AcquisitionStatus::ForcedStop);
            readStopped();
        } else {
            host_.showStatus(AcquisitionStatus::CaptureOk);
            readCompleted();
        }
        readScope();
        showResult(!stopped);
        break;
    }
    if (board_.nanlyn) host_.showProgressDisplay(false);
}

void BoardAcquisition::runRepetitive() {
    arm();
    host_.setCaptureRunning(true);
    for (;;) {
        while (!poll() && !host_.stopRequested()) host_.yield();
        if (host_.stopRequested()) {
            // A capture stopped early is not read: the previous one stays on the screen.
            host_.setCaptureRunning(false);
            {
                BoardAccess access(host_);
                host_.stopCapture();
            }
            host_.enableControls(true);
            host_.endBusyAnimation();
            break;
        }
        host_.stopCapture();
        readCompleted();
        readScope();
        host_.showCapture(board_.nanlyn && blockRepeatResult_);
        if (host_.autoSaveOn()) host_.autoSave(saved_++);
        host_.triggerBell();
        if (board_.nanlyn) {
            animation_.reset(host_.ticks());
            uint8_t raw[kModeRecordSize] = {};
            host_.currentMode(raw);
        }
        armScope();
        BoardAccess access(host_);
        host_.reset();
        host_.armCapture(t_.trigger.current);
    }
    if (board_.nanlyn) host_.showProgressDisplay(false);
}

}  // namespace kv
