// One acquisition with a board, single or repetitive, as its worker thread runs it: arming, the
// wait with its progress display, a forced stop, the read-back and what the viewer shows after it.
// Everything outside the viewer's own state goes through AcquisitionHost: the Win32 shell
// implements it with the runtime's exports and synchronous messages to the main panel; tests
// implement it with a scripted board.
#pragma once

#include <cstdint>

#include "viewer/acquire/acquire_rules.h"

namespace kv {

class CaptureBuffer;
class ScopeDevice;
class SampleStore;
struct TriggerSetup;
struct TriggerRecord;
struct LabelTable;

// Short state texts of the status field.
enum class AcquisitionStatus { CaptureOk, ForcedStop };

class AcquisitionHost {
public:
    virtual ~AcquisitionHost() = default;

    // The runtime, called with the viewer's device index.
    virtual int reset() = 0;
    virtual uint32_t hwInfo(uint32_t selector) = 0;
    virtual bool currentMode(uint8_t out[kModeRecordSize]) = 0;      // the sample mode in force
    virtual int programTrigger(TriggerRecord& record) = 0;           // KvTrigger
    virtual int armCapture(TriggerRecord& record) = 0;               // KvCaptureData
    virtual int isDataReady() = 0;
    virtual int progress() = 0;                                      // per mille, no refresh
    virtual int stopCapture() = 0;
    virtual int readCapture(uint8_t* out, int stopped, uint32_t lanes) = 0;

    // Flags the main thread shares with the worker.
    virtual bool stopRequested() = 0;
    virtual void clearStopRequest() = 0;
    virtual bool captureRunning() = 0;
    virtual void setCaptureRunning(bool on) = 0;
    // The trigger dialogs hand the trigger to the runtime on a thread of their own.
    virtual void waitForTriggerProgramming() = 0;

    // Other programs: a viewer instance holding a board of the same identity; the pattern
    // generator's editor, told before (1) and after (0) each burst of board access.
    virtual bool anotherViewerHasThisBoard() = 0;
    virtual void notifyPatternEditor(int accessing) = 0;

    // The windows, all changed on the main thread.
    virtual void markUnsaved() = 0;
    virtual void showProgressDisplay(bool on) = 0;    // the progress control in place of the status
    virtual void repaintProgress(const ProgressAnimation& animation) = 0;
    virtual void enableControls(bool on) = 0;
    virtual void showStatus(AcquisitionStatus status) = 0;
    // A new capture is in the buffer: display bookkeeping, invert mask, decoders, repaint; on a
    // block-repeat result the view jumps to the trigger cursor first.
    virtual void showCapture(bool jumpToTrigger) = 0;
    // The end of the capture on the screen: busy animation stopped and icon 0 shown.
    virtual void endBusyAnimation() = 0;
    virtual void triggerBell() = 0;                   // a beep when "Trig Bell" is on
    virtual bool autoSaveOn() = 0;                    // Ctrl+1
    virtual void autoSave(int counter) = 0;           // the capture under its automatic name
    virtual uint32_t ticks() = 0;                     // milliseconds
    virtual void yield() = 0;

    // A stacked scope, when there is one: set up from the labels and the stack settings and armed
    // before the logic capture, read after it; `scopeRead` tells whether its samples are shown.
    virtual ScopeDevice* stackedScope() { return nullptr; }
    virtual void configureStackedScope(ScopeDevice&) {}
    virtual void scopeRead(bool) {}
};

// The board facts the acquisition depends on.
struct AcquisitionBoard {
    bool nanlyn = false;
    int32_t interfaceCode = 0;
    int32_t productCode = 0;
    int32_t wordsPerSample = 1;
    int32_t bitsPerWord = 64;
};

// The viewer state one acquisition reads and fills.
struct AcquisitionTarget {
    CaptureBuffer& capture;
    SampleStore& store;
    TriggerSetup& trigger;
    const LabelTable& labels;
};

class BoardAcquisition {
public:
    BoardAcquisition(AcquisitionHost& host, const AcquisitionBoard& board, const AcquisitionTarget& target);

    // Command 1012: one capture, shown whether it completed or was stopped.
    void runSingle();
    // Command 1015: captures until Stop; a stopped capture is not read.
    void runRepetitive();

    bool sharedDevice() const { return sharedDevice_; }
    bool blockRepeatResult() const { return blockRepeatResult_; }

private:
    void arm();
    bool poll();
    void describeCapture();
    bool readBack(int stopped);
    void readCompleted();
    void readStopped();
    void showResult(bool completed);
    void programTriggerIfNeeded();
    void armScope();
    void readScope();

    AcquisitionHost& host_;
    AcquisitionBoard board_;
    AcquisitionTarget t_;
    ProgressAnimation animation_;
    uint32_t lanes_ = 0;
    int64_t readBytes_ = 0;   // what the read-back of the armed capture writes
    bool sharedDevice_ = false;
    bool blockRepeatResult_ = false;
    int saved_ = 0;   // automatic file names of this worker: one time stamp, counted on
};

}  // namespace kv
