// Waveform temporary storage: a compare buffer and six storage slots beside the current capture,
// and the eight pictures of the storage dialog, each telling where its area's content came from.
// Only raw sample memory moves between the areas: as many bytes as the capture area of the capture
// buffer holds, taken from the capture's data start, the compare buffer of that size, or a slot
// file of that size in the work directory.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "viewer/shell/capture_buffer.h"
#include "viewer/shell/panel_layout.h"
#include "viewer/shell/sample_store.h"

namespace kv {

enum : int32_t {
    kStorageAreaCount = 8,
    kMainScreenArea = 0,     // the current capture
    kCompareArea = 1,        // the compare buffer
    kFirstSlotArea = 2,      // storage 1 ... storage 6 are areas 2 ... 7
    kAreaEmpty = -1,         // content table entry of an area that shows nothing
    kSlotCopyPiece = 0x10000,
};

// The slot file of area 2-7: "<work directory>\SaveArea<area>.Tmp".
std::string slotFileName(const std::string& workDirectory, int32_t area);

// The area whose rectangle holds the point: rectangles are tried in area order and the first that
// holds it wins (right and bottom edges excluded); -1 when none does.
int32_t storageAreaAt(const Rect (&areas)[kStorageAreaCount], int32_t x, int32_t y);

// What an area's bytes are: the capture they were taken from, as its store described it. The
// bytes alone cannot be shown again once the capture buffer holds another format or length.
struct HeldCapture {
    bool held = false;
    int32_t dataOffset = 0;    // where the capture started in the capture buffer (0 or the preamble)
    int32_t length = 0;        // bytes of sample data
    int32_t startOffset = 0;   // stored samples skipped before logical sample 0
    SampleFormat format;
};

// The capture a store describes, its data lying in the block at `base`.
HeldCapture heldCaptureOf(const SampleStore& store, const uint8_t* base);

// What one drop did.
struct DropOutcome {
    bool dropped = false;          // the target took the source's picture
    bool moved = false;            // the source's bytes arrived in the target
    bool captureChanged = false;   // the capture buffer holds `restored` now
    bool compareChanged = false;   // the compare buffer holds another capture (or none)
    HeldCapture restored;
};

class TemporaryStorage {
public:
    TemporaryStorage();

    // The compare buffer: `areaBytes` bytes moved by every drop (the capture area of the capture
    // buffer) plus the capture buffer's spare bytes, so that a fetch of the last sample of a
    // capture held there stays inside it. Returns false (and the compare area then takes no data)
    // when the memory is not available or the buffer exists.
    bool allocateCompare(int32_t areaBytes);
    int32_t areaBytes() const { return areaBytes_; }

    // Content table: the picture area k shows (the index of the area its content came from), or -1.
    int32_t content(int32_t area) const;
    // What area k holds (the compare buffer and slots; the main screen's is the caller's capture).
    const HeldCapture& held(int32_t area) const;

    // Drops area `source` on area `target`: the target takes the source's picture and the source's
    // bytes are copied there (`capture`: the capture buffer's first byte, its allocation the
    // capture area and the spare bytes; `current`: the capture it holds). A drop on the source itself or outside every area (-1) does nothing. A source that
    // holds nothing moves nothing: the target then shows nothing and holds nothing, except the
    // main screen, which keeps its capture. A copy that fails (a slot file that cannot be created,
    // opened or fully read) leaves the picture change only: the capture is never partly
    // overwritten, and a compare buffer or slot that was partly written holds nothing.
    DropOutcome drop(int32_t source, int32_t target, uint8_t* capture, const HeldCapture& current,
                     const std::string& workDirectory);

    // The store over the compare buffer for the comparison overlay, or null when it holds nothing.
    // The invert mask follows `invert` (the capture's "Waveform Invert").
    SampleStore* compareStore(bool invert);

private:
    void attachCompare();

    int32_t content_[kStorageAreaCount];
    HeldCapture held_[kStorageAreaCount];
    std::unique_ptr<uint8_t[]> compare_;
    int32_t areaBytes_ = 0;
    SampleStore compareStore_;
    bool compareAttached_ = false;
};

}  // namespace kv
