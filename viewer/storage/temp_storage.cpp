#include "viewer/storage/temp_storage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

namespace kv {

namespace {

enum class AreaMove : uint8_t {
    None,
    CaptureToCompare,
    CaptureToSlot,
    CompareToCapture,
    CompareToSlot,
    SlotToCapture,
    SlotToCompare,
    SlotToSlot,
};

AreaMove areaMove(int32_t s, int32_t t) {
    if (s == kMainScreenArea) return t == kCompareArea ? AreaMove::CaptureToCompare : AreaMove::CaptureToSlot;
    if (s == kCompareArea) return t == kMainScreenArea ? AreaMove::CompareToCapture : AreaMove::CompareToSlot;
    if (t == kMainScreenArea) return AreaMove::SlotToCapture;
    return t == kCompareArea ? AreaMove::SlotToCompare : AreaMove::SlotToSlot;
}

bool validArea(int32_t a) { return a >= 0 && a < kStorageAreaCount; }

struct File {
    std::FILE* f = nullptr;
    File(const std::string& name, const char* mode) : f(std::fopen(name.c_str(), mode)) {}
    ~File() {
        if (f) std::fclose(f);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    // Closing flushes: a full disk may show only here.
    bool close() {
        const bool ok = std::fclose(f) == 0;
        f = nullptr;
        return ok;
    }
};

// Creates or replaces the slot file with n bytes. A file left half written would only mislead:
// it is removed.
bool writeSlot(const std::string& name, const uint8_t* data, size_t n) {
    File out(name, "wb");
    if (!out.f) return false;
    const bool ok = std::fwrite(data, 1, n, out.f) == n && out.close();
    if (!ok) {
        if (out.f) out.close();
        std::remove(name.c_str());
    }
    return ok;
}

// Exactly n bytes of the slot file.
bool readSlot(const std::string& name, uint8_t* out, size_t n) {
    File in(name, "rb");
    return in.f && std::fread(out, 1, n, in.f) == n;
}

// Slot to slot through a 64 KiB piece, so that no second capture-sized block is needed.
bool copySlot(const std::string& from, const std::string& to, size_t n) {
    File in(from, "rb");
    if (!in.f) return false;
    File out(to, "wb");
    if (!out.f) return false;
    std::unique_ptr<uint8_t[]> piece(new (std::nothrow) uint8_t[kSlotCopyPiece]);
    bool ok = piece != nullptr;
    for (size_t done = 0; ok && done < n;) {
        const size_t k = std::min<size_t>(kSlotCopyPiece, n - done);
        ok = std::fread(piece.get(), 1, k, in.f) == k && std::fwrite(piece.get(), 1, k, out.f) == k;
        done += k;
    }
    ok = out.close() && ok;
    if (!ok) std::remove(to.c_str());
    return ok;
}

}  // namespace

std::string slotFileName(const std::string& workDirectory, int32_t area) {
    return workDirectory + "\\SaveArea" + std::to_string(area) + ".Tmp";
}

int32_t storageAreaAt(const Rect (&areas)[kStorageAreaCount], int32_t x, int32_t y) {
    for (int32_t k = 0; k < kStorageAreaCount; ++k) {
        const Rect& r = areas[k];
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return k;
    }
    return -1;
}

HeldCapture heldCaptureOf(const SampleStore& store, const uint8_t* base) {
    HeldCapture h;
    h.held = true;
    h.dataOffset = store.data() && base ? static_cast<int32_t>(store.data() - base) : 0;
    h.length = store.captureLength();
    h.startOffset = store.startOffset();
    h.format = SampleFormat::make(store.storageMode(), store.wordBits(), store.rowBits(), store.sampleBits());
    return h;
}

TemporaryStorage::TemporaryStorage() {
    content_[kMainScreenArea] = kMainScreenArea;
    for (int32_t k = 1; k < kStorageAreaCount; ++k) content_[k] = kAreaEmpty;
}

bool TemporaryStorage::allocateCompare(int32_t areaBytes) {
    if (compare_ || areaBytes <= 0) return false;
    areaBytes_ = areaBytes;
    const size_t size = static_cast<size_t>(areaBytes) + kCaptureSpareBytes;
    compare_.reset(new (std::nothrow) uint8_t[size]());
    return compare_ != nullptr;
}

int32_t TemporaryStorage::content(int32_t area) const { return validArea(area) ? content_[area] : kAreaEmpty; }

const HeldCapture& TemporaryStorage::held(int32_t area) const {
    static const HeldCapture kNothing;
    return validArea(area) ? held_[area] : kNothing;
}

DropOutcome TemporaryStorage::drop(int32_t s, int32_t t, uint8_t* capture, const HeldCapture& current,
                                   const std::string& workDirectory) {
    DropOutcome out;
    if (!validArea(s) || !validArea(t) || s == t) return out;
    content_[t] = content_[s];
    out.dropped = true;
    const HeldCapture source = s == kMainScreenArea ? current : held_[s];
    const size_t n = static_cast<size_t>(areaBytes_);
    bool ok = false;
    if (source.held && n > 0 && source.dataOffset >= 0 && source.dataOffset <= kReadBackPreamble) {
        uint8_t* compare = compare_.get();
        // The capture's bytes begin at its data start, and a stored capture comes back to where it
        // was taken from. That start lies within the preamble, and the spare bytes beyond the
        // capture area are more than the preamble: n bytes from there stay inside the buffer.
        uint8_t* at = capture ? capture + source.dataOffset : nullptr;
        switch (areaMove(s, t)) {
            case AreaMove::CaptureToCompare:
                if (compare && at) {
                    std::memcpy(compare, at, n);
                    ok = true;
                }
                break;
            case AreaMove::CaptureToSlot: ok = at && writeSlot(slotFileName(workDirectory, t), at, n); break;
            case AreaMove::CompareToCapture:
                if (compare && at) {
                    std::memcpy(at, compare, n);
                    ok = true;
                }
                break;
            case AreaMove::CompareToSlot: ok = compare && writeSlot(slotFileName(workDirectory, t), compare, n); break;
            case AreaMove::SlotToCapture: {
                // Through a block of its own: a short or failing read must not leave the capture
                // half replaced.
                std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[n]);
                ok = at && bytes && readSlot(slotFileName(workDirectory, s), bytes.get(), n);
                if (ok) std::memcpy(at, bytes.get(), n);
                break;
            }
            case AreaMove::SlotToCompare: ok = compare && readSlot(slotFileName(workDirectory, s), compare, n); break;
            case AreaMove::SlotToSlot:
                ok = copySlot(slotFileName(workDirectory, s), slotFileName(workDirectory, t), n);
                break;
            case AreaMove::None: break;
        }
    }
    out.moved = ok;
    if (t == kMainScreenArea) {
        // The main screen always shows the capture: only arriving bytes replace it.
        if (ok) {
            out.captureChanged = true;
            out.restored = source;
        }
        return out;
    }
    held_[t] = ok ? source : HeldCapture{};
    if (t == kCompareArea) {
        out.compareChanged = true;
        attachCompare();
    }
    return out;
}

void TemporaryStorage::attachCompare() {
    compareAttached_ = false;
    const HeldCapture& h = held_[kCompareArea];
    if (!h.held || !compare_ || h.length <= 0) return;
    // The compare buffer holds the capture from its data start on; never more than it holds.
    const int32_t length = std::min(h.length, areaBytes_);
    const SampleFormat& f = h.format;
    if (compareStore_.attach(compare_.get(), length, f.wordBits, f.rowBits, f.sampleBits, f.storageMode) <= 0)
        return;
    compareStore_.setStartOffset(h.startOffset);
    compareAttached_ = true;
}

SampleStore* TemporaryStorage::compareStore(bool invert) {
    if (!compareAttached_) return nullptr;
    compareStore_.setInvert(invert);
    return &compareStore_;
}

}  // namespace kv
