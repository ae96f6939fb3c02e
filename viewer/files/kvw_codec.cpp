#include "viewer/files/kvw_codec.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace kv {
namespace {

const char kId100[] = "Ombix Technology Inc. KV-Viewer";
const char kId200[] = "Ombix Technology Inc.  KVW 2.00";
const char kId201[] = "Ombix Technology Inc.  KVW 2.01";
const char kId202[] = "Ombix Technology Inc.  KVW 2.02";
// Every 2.x identification begins so; a newer writer's file is recognised by it and refused with
// "Please upgrade" rather than called malformed.
const char kId2xStem[] = "Ombix Technology Inc.  KVW ";

enum : uint32_t {
    kHdrVersion = 32,
    kHdrSize = 36,
    kHdrDisplayOffset = 40,
    kHdrRecordsSize = 44,
    kHdrLabelOffset = 48,
    kHdrLabelSize = 52,
    kHdrDataOffset = 56,
    kHdrDecodedLength = 60,
    kHdrUnused = 64,
};

// Display record offsets fixed by the file format.
enum : uint32_t {
    kDrFormat = 120,
    kDrFreqHigh = 124,
    kDrStorageMode = 128,
    kDrWordBits = 132,
    kDrRowBits = 136,
    kDrSampleBits = 140,
    kDrProductCode = 144,
    kDrModeId = 148,
    kDrSampleGroup = 152,
    kDrClock = 164,
    kDrFlags = 168,
    kDrFreqLow = 236,
    // Our own layout of the view and cursor state.
    kDrView = 0,
    kDrCursorPositions = 48,
    kDrCursorFlags = 72,
    kDrCursorFocus = 96,
    kDrMeasureMode = 100,
    kDrTriggerPosition = 104,
    kDrWaveHeight = 108,
    kDrSampleCount = 112,
};

constexpr uint32_t recordsSize(uint32_t records) {
    return kDisplayRecordBytes + records * kTriggerHeaderBytes + records * kTriggerBufferBytes;
}
static_assert(recordsSize(kFileTriggerSlots) == 23312, "2.01/2.02 records size");
static_assert(recordsSize(kFileTriggerRecords200) == 7 * 64 + 272 + 7616, "2.00 records size");
constexpr uint32_t kLabelTableOffset = kKvwHeaderBytes + recordsSize(kFileTriggerSlots);
static_assert(kLabelTableOffset == 23380, "label table offset");

void putI32(uint8_t* p, int32_t v) { putU32(p, static_cast<uint32_t>(v)); }
int32_t getI32(const uint8_t* p) { return static_cast<int32_t>(getU32(p)); }

// A 32-byte identification field equal to `id` up to its NUL.
bool idIs(const uint8_t* field, const char* id) {
    const size_t n = std::strlen(id);
    if (std::memcmp(field, id, n) != 0) return false;
    for (size_t k = n; k < kKvwIdBytes; ++k)
        if (field[k] != 0) return false;
    return true;
}

// Samples of the range in order, a block at a time; the values are the channel levels as stored,
// without the display's inversion, so that a saved file does not depend on "Waveform Invert".
class SampleReader {
public:
    SampleReader(SampleStore& store, SampleRange range)
        : store_(store), next_(range.start), end_(range.end),
          undo_(store.invertMask() & store.valueMask()) {}

    // Up to kBatch values into values_; returns how many (0 at the end).
    size_t read() {
        if (next_ > end_) return 0;
        const int32_t n = std::min<int32_t>(kBatch, end_ - next_ + 1);
        if (store_.storageMode() == kStorageBlockRepeat) {
            for (int32_t k = 0; k < n; ++k) values_[k] = store_.fetchBlock(next_ + k);
        } else {
            store_.fetchRun(next_, n, values_);
        }
        if (undo_)
            for (int32_t k = 0; k < n; ++k) values_[k] ^= undo_;
        next_ += n;
        return static_cast<size_t>(n);
    }
    const uint64_t* values() const { return values_; }

private:
    static constexpr int32_t kBatch = 2048;
    SampleStore& store_;
    int32_t next_;
    int32_t end_;
    uint64_t undo_;
    uint64_t values_[kBatch];
};

// The writer's 64 KiB buffer in front of the sink.
class ChunkWriter {
public:
    explicit ChunkWriter(const ByteSink& sink) : sink_(sink), buffer_(kRunChunkBytes) {}
    // Room for `n` more bytes, flushing first when needed.
    uint8_t* reserve(size_t n) {
        if (used_ + n > buffer_.size() && !flush()) return nullptr;
        return buffer_.data() + used_;
    }
    void commit(size_t n) { used_ += n; }
    bool flush() {
        if (!used_) return ok_;
        ok_ = ok_ && sink_(buffer_.data(), used_);
        used_ = 0;
        return ok_;
    }

private:
    const ByteSink& sink_;
    std::vector<uint8_t> buffer_;
    size_t used_ = 0;
    bool ok_ = true;
};

bool encodeRaw(SampleReader& reader, bool samples32, ChunkWriter& out) {
    const size_t width = samples32 ? 4 : 8;
    while (const size_t n = reader.read()) {
        uint8_t* p = out.reserve(n * width);
        if (!p) return false;
        const uint64_t* v = reader.values();
        if (samples32) {
            for (size_t k = 0; k < n; ++k) putU32(p + 4 * k, static_cast<uint32_t>(v[k]));
        } else {
            for (size_t k = 0; k < n; ++k) storeLe64(p + 8 * k, v[k]);
        }
        out.commit(n * width);
    }
    return out.flush();
}

bool putRun(ChunkWriter& out, bool samples32, uint64_t value, uint64_t count) {
    uint8_t* p = out.reserve(samples32 ? 8 : 16);
    if (!p) return false;
    if (samples32) {
        putU32(p, static_cast<uint32_t>(value));
        putU32(p + 4, static_cast<uint32_t>(count));
        out.commit(8);
    } else {
        storeLe64(p, value);
        storeLe64(p + 8, count);
        out.commit(16);
    }
    return true;
}

bool encodeRuns(SampleReader& reader, bool samples32, ChunkWriter& out) {
    // 32-bit pairs compare the written value only: channels above 31 are not in the file.
    const uint64_t mask = samples32 ? 0xFFFFFFFFu : ~uint64_t{0};
    uint64_t current = 0, count = 0;
    while (const size_t n = reader.read()) {
        const uint64_t* v = reader.values();
        for (size_t k = 0; k < n; ++k) {
            const uint64_t value = v[k] & mask;
            if (count && value == current) {
                ++count;
                continue;
            }
            if (count && !putRun(out, samples32, current, count)) return false;
            current = value;
            count = 1;
        }
    }
    // The last run is written too, also when it is a single sample.
    if (count && !putRun(out, samples32, current, count)) return false;
    return out.flush();
}

bool encodeZlib(const KvwSource& source, const ByteSink& sink) {
    const MemorySpan span = kvwMemorySpan(source);
    const uint8_t* data = source.store->data();
    uLongf bound = compressBound(static_cast<uLong>(span.length));
    std::vector<uint8_t> packed;
    try {
        packed.resize(4 + bound);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (span.length && compress(packed.data() + 4, &bound, data + span.offset, static_cast<uLong>(span.length)) != Z_OK)
        return false;
    if (!span.length) {
        // compress of nothing still makes a valid (empty) stream.
        if (compress(packed.data() + 4, &bound, reinterpret_cast<const Bytef*>(""), 0) != Z_OK) return false;
    }
    putU32(packed.data(), static_cast<uint32_t>(bound));
    const size_t total = 4 + static_cast<size_t>(bound);
    for (size_t at = 0; at < total; at += kRunChunkBytes)
        if (!sink(packed.data() + at, std::min<size_t>(kRunChunkBytes, total - at))) return false;
    return true;
}

// --- reading --------------------------------------------------------------------------------------

struct Span {
    const uint8_t* p;
    size_t size;
    // [offset, offset + length) lies inside the file.
    bool holds(uint64_t offset, uint64_t length) const { return offset <= size && length <= size - offset; }
};

void restoreTrigger(const uint8_t* block, const uint8_t* buffers, int records, StoredTriggerSet& set) {
    for (int r = 0; r < records; ++r) {
        StoredTriggerRecord& t = set[static_cast<size_t>(r)];
        std::memcpy(t.header, block + r * kTriggerHeaderBytes, kTriggerHeaderBytes);
        // The pointer words mean nothing in a file.
        std::memset(t.header + 4 * 14, 0, 8);
        std::memcpy(t.data, buffers + r * kTriggerBufferBytes, kTriggerDataBytes);
        std::memcpy(t.links, buffers + r * kTriggerBufferBytes + kTriggerDataBytes, kTriggerLinkBytes);
    }
}

// The runs of a run-length section into `out`, never beyond `cap` bytes.
bool expandRuns(const uint8_t* in, size_t inSize, bool pairs64, size_t cap, std::vector<uint8_t>& out) {
    const size_t pair = pairs64 ? 16 : 8;
    const size_t width = pairs64 ? 8 : 4;
    if (inSize % pair) return false;   // a cut pair: the file is truncated
    out.resize(cap);
    size_t used = 0;
    for (size_t at = 0; at < inSize && used < cap; at += pair) {
        uint64_t value, count;
        if (pairs64) {
            value = loadLe64(in + at);
            count = loadLe64(in + at + 8);
        } else {
            value = getU32(in + at);
            count = getU32(in + at + 4);
        }
        const uint64_t room = (cap - used) / width;
        if (count > room) count = room;
        uint8_t* p = out.data() + used;
        if (pairs64) {
            uint8_t bytes[8];
            storeLe64(bytes, value);
            for (uint64_t k = 0; k < count; ++k) std::memcpy(p + 8 * k, bytes, 8);
        } else {
            for (uint64_t k = 0; k < count; ++k) putU32(p + 4 * k, static_cast<uint32_t>(value));
        }
        used += static_cast<size_t>(count) * width;
    }
    out.resize(used);
    return true;
}

// A zlib stream into at most `cap` bytes; a stream longer than the cap is cut there.
bool inflateCapped(const uint8_t* in, size_t inSize, size_t cap, std::vector<uint8_t>& out) {
    out.resize(cap);
    z_stream z = {};
    if (inflateInit(&z) != Z_OK) return false;
    z.next_in = const_cast<Bytef*>(in);
    z.avail_in = static_cast<uInt>(inSize);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(cap);
    int rc = inflate(&z, Z_FINISH);
    const size_t produced = cap - z.avail_out;
    inflateEnd(&z);
    // Z_BUF_ERROR with the output full: a stream of a bigger buffer, kept up to the limit.
    const bool full = produced == cap && (rc == Z_BUF_ERROR || rc == Z_OK);
    if (rc != Z_STREAM_END && !full) return false;
    out.resize(produced);
    return true;
}

}  // namespace

uint32_t StoredTriggerRecord::word(int index) const { return getU32(header + 4 * index); }
void StoredTriggerRecord::setWord(int index, uint32_t value) { putU32(header + 4 * index, value); }

void writeDisplayRecord(const DisplayState& d, uint8_t out[kDisplayRecordBytes]) {
    std::memset(out, 0, kDisplayRecordBytes);
    const int32_t view[12] = {d.nameWidth,  d.valueWidth, d.firstSample,    d.firstRow,  d.zoomIn,       d.zoomOut,
                              d.gridSpacing, d.gridStyle, d.gridColorIndex, d.paneIndex, d.channelWidth, d.remarkWidth};
    for (int k = 0; k < 12; ++k) putI32(out + kDrView + 4 * k, view[k]);
    for (int k = 0; k < 6; ++k) {
        putI32(out + kDrCursorPositions + 4 * k, d.cursorPosition[k]);
        putU32(out + kDrCursorFlags + 4 * k, d.cursorFlags[k]);
    }
    putI32(out + kDrCursorFocus, d.cursorFocus);
    putI32(out + kDrMeasureMode, d.measureMode);
    putI32(out + kDrTriggerPosition, d.triggerPosition);
    putI32(out + kDrWaveHeight, d.waveHeight);
    putI32(out + kDrSampleCount, d.sampleCount);
    putI32(out + kDrFormat, d.format);
    putU32(out + kDrFreqHigh, d.freqHigh);
    putI32(out + kDrStorageMode, d.storageMode);
    putI32(out + kDrWordBits, d.wordBits);
    putI32(out + kDrRowBits, d.rowBits);
    putI32(out + kDrSampleBits, d.sampleBits);
    putU32(out + kDrProductCode, d.productCode);
    putU32(out + kDrModeId, d.modeId);
    putU32(out + kDrSampleGroup, d.sampleGroup);
    putU32(out + kDrClock, d.clockSelection);
    putU32(out + kDrFlags, d.flags);
    putU32(out + kDrFreqLow, d.freqLow);
    // 256-271: the window, device context, data and label pointers of the running viewer; zero here.
}

DisplayState readDisplayRecord(const uint8_t in[kDisplayRecordBytes]) {
    DisplayState d;
    int32_t* view[12] = {&d.nameWidth,  &d.valueWidth, &d.firstSample,    &d.firstRow,  &d.zoomIn,       &d.zoomOut,
                         &d.gridSpacing, &d.gridStyle, &d.gridColorIndex, &d.paneIndex, &d.channelWidth, &d.remarkWidth};
    for (int k = 0; k < 12; ++k) *view[k] = getI32(in + kDrView + 4 * k);
    for (int k = 0; k < 6; ++k) {
        d.cursorPosition[k] = getI32(in + kDrCursorPositions + 4 * k);
        d.cursorFlags[k] = getU32(in + kDrCursorFlags + 4 * k);
    }
    d.cursorFocus = getI32(in + kDrCursorFocus);
    d.measureMode = getI32(in + kDrMeasureMode);
    d.triggerPosition = getI32(in + kDrTriggerPosition);
    d.waveHeight = getI32(in + kDrWaveHeight);
    d.sampleCount = getI32(in + kDrSampleCount);
    d.format = getI32(in + kDrFormat);
    d.freqHigh = getU32(in + kDrFreqHigh);
    d.storageMode = getI32(in + kDrStorageMode);
    d.wordBits = getI32(in + kDrWordBits);
    d.rowBits = getI32(in + kDrRowBits);
    d.sampleBits = getI32(in + kDrSampleBits);
    d.productCode = getU32(in + kDrProductCode);
    d.modeId = getU32(in + kDrModeId);
    d.sampleGroup = getU32(in + kDrSampleGroup);
    d.clockSelection = getU32(in + kDrClock);
    d.flags = getU32(in + kDrFlags);
    d.freqLow = getU32(in + kDrFreqLow);
    return d;
}

SampleRange kvwRange(const KvwSource& source) {
    SampleRange r;
    const int32_t count = source.store ? source.store->logicalCount() : 0;
    if (count <= 0) return r;
    if (source.store->storageMode() == kStorageBlockRepeat) {
        r.start = 0;
        r.end = count - 1;
        return r;
    }
    int32_t s = source.start, e = source.end < 0 ? count - 1 : source.end;
    if (s > e) std::swap(s, e);
    r.start = std::clamp(s, 0, count - 1);
    r.end = std::clamp(e, 0, count - 1);
    return r;
}

MemorySpan kvwMemorySpan(const KvwSource& source) {
    MemorySpan m;
    const SampleStore* store = source.store;
    if (!store || store->captureLength() <= 0) return m;
    const size_t length = static_cast<size_t>(store->captureLength());
    if (store->storageMode() == kStorageBlockRepeat) {
        m.length = length;
        return m;
    }
    const SampleRange r = kvwRange(source);
    if (!r.count()) return m;
    // Whole memory words from the one holding the first sample to the one holding the last; the
    // start offset the hardware leaves is skipped so that the file begins at logical sample 0.
    const int64_t spw = store->samplesPerWord();
    const int64_t bpw = store->bytesPerWord();
    const int64_t first = (int64_t{store->startOffset()} + r.start) / spw;
    const int64_t last = (int64_t{store->startOffset()} + r.end) / spw;
    m.offset = static_cast<size_t>(std::min<int64_t>(first * bpw, static_cast<int64_t>(length)));
    m.length = static_cast<size_t>(std::min<int64_t>((last - first + 1) * bpw, static_cast<int64_t>(length - m.offset)));
    return m;
}

uint32_t kvwDecodedLength(const KvwSource& source, int32_t format) {
    if (format == kKvwZlib) return static_cast<uint32_t>(kvwMemorySpan(source).length);
    return static_cast<uint32_t>(kvwRange(source).count()) * (source.samples32 ? 4u : 8u);
}

LabelTable exportedLabels(const LabelTable& labels, bool selectedOnly) {
    LabelTable out;
    int n = 0;
    const std::vector<LabelRow> rows = labelRows(labels);
    for (const LabelRow& row : rows) {
        if (selectedOnly && !(labels.entries[row.first].flags & kLabelSelected)) continue;
        for (int i = row.first; i <= row.last; ++i) {
            LabelEntry e = labels.entries[i];
            if (selectedOnly) e.flags &= ~kLabelSelected;
            out.entries[n++] = e;
        }
    }
    return out;
}

std::vector<uint8_t> kvwPrefix(const KvwSource& source, int32_t format) {
    const LabelTable labels = source.labels ? exportedLabels(*source.labels, source.selectedOnly) : LabelTable{};
    const std::vector<uint8_t> labelBytes = writeLabelTable(labels);
    std::vector<uint8_t> out(kLabelTableOffset + labelBytes.size(), 0);
    uint8_t* h = out.data();
    std::memcpy(h, kId202, sizeof kId202);
    putU32(h + kHdrVersion, kKvwVersion202);
    putU32(h + kHdrSize, kKvwHeaderBytes);
    putU32(h + kHdrDisplayOffset, kKvwHeaderBytes);
    putU32(h + kHdrRecordsSize, recordsSize(kFileTriggerSlots));
    putU32(h + kHdrLabelOffset, kLabelTableOffset);
    putU32(h + kHdrLabelSize, static_cast<uint32_t>(labelBytes.size()));
    putU32(h + kHdrDataOffset, static_cast<uint32_t>(kLabelTableOffset + labelBytes.size()));
    putU32(h + kHdrDecodedLength, kvwDecodedLength(source, format));
    putU32(h + kHdrUnused, 0);

    DisplayState d = source.display;
    d.format = format;
    d.flags |= kDisplayFlagNewWriter;
    d.sampleCount = kvwRange(source).count();
    if (format == kKvwZlib && source.store) {
        // The memory words themselves: the reader attaches them as they were.
        d.storageMode = source.store->storageMode();
        d.wordBits = source.store->wordBits();
        d.rowBits = source.store->rowBits();
        d.sampleBits = source.store->sampleBits();
    } else {
        const int32_t bits = source.samples32 ? 32 : 64;
        d.storageMode = kStoragePacked;
        d.wordBits = d.rowBits = d.sampleBits = bits;
    }
    writeDisplayRecord(d, h + kKvwHeaderBytes);

    if (source.trigger) {
        uint8_t* block = h + kKvwHeaderBytes + kDisplayRecordBytes;
        uint8_t* buffers = block + kFileTriggerSlots * kTriggerHeaderBytes;
        for (size_t r = 0; r < kFileTriggerRecords; ++r) {
            const StoredTriggerRecord& t = (*source.trigger)[r];
            std::memcpy(block + r * kTriggerHeaderBytes, t.header, kTriggerHeaderBytes);
            std::memset(block + r * kTriggerHeaderBytes + 4 * 14, 0, 8);
            std::memcpy(buffers + r * kTriggerBufferBytes, t.data, kTriggerDataBytes);
            std::memcpy(buffers + r * kTriggerBufferBytes + kTriggerDataBytes, t.links, kTriggerLinkBytes);
        }
    }
    std::memcpy(h + kLabelTableOffset, labelBytes.data(), labelBytes.size());
    return out;
}

bool encodeKvwData(const KvwSource& source, int32_t format, const ByteSink& sink) {
    if (!source.store) return false;
    if (format == kKvwZlib) return encodeZlib(source, sink);
    ChunkWriter out(sink);
    SampleReader reader(*source.store, kvwRange(source));
    if (format == kKvwRunLength) return encodeRuns(reader, source.samples32, out);
    if (format == kKvwRaw) return encodeRaw(reader, source.samples32, out);
    return false;
}

std::vector<uint8_t> writeKvw(const KvwSource& source, int32_t format) {
    std::vector<uint8_t> file = kvwPrefix(source, format);
    const bool ok = encodeKvwData(source, format, [&file](const uint8_t* p, size_t n) {
        file.insert(file.end(), p, p + n);
        return true;
    });
    if (!ok) file.clear();
    return file;
}

static int decodeSamples(const uint8_t* bytes, size_t size, uint32_t dataOffset, uint32_t version, int records,
                         const KvwReadOptions& options, KvwFile& out);

int readKvw(const uint8_t* bytes, size_t size, const KvwReadOptions& options, KvwFile& out) {
    const Span f{bytes, size};
    if (!bytes || !f.holds(0, kKvwHeaderBytes)) return kStrFileFormatError;
    const uint32_t versionNumber = getU32(bytes + kHdrVersion);
    uint32_t version;
    int records;
    if (idIs(bytes, kId100)) {
        version = kKvwVersion100;
        records = 0;
    } else if (std::memcmp(bytes, kId2xStem, sizeof kId2xStem - 1) == 0 && versionNumber > kKvwVersion202) {
        return kStrUpgradeViewer;
    } else if (idIs(bytes, kId200)) {
        version = kKvwVersion200;
        records = kFileTriggerRecords200;
    } else if (idIs(bytes, kId201) || idIs(bytes, kId202)) {
        version = idIs(bytes, kId201) ? kKvwVersion201 : kKvwVersion202;
        records = kFileTriggerRecords;
    } else {
        return kStrFileFormatError;
    }
    // 2.x: the records' size is fixed by the version; anything else is not this layout.
    const uint32_t slots = version == kKvwVersion200 ? kFileTriggerRecords200 : kFileTriggerSlots;
    if (version != kKvwVersion100 && getU32(bytes + kHdrRecordsSize) != recordsSize(slots)) return kStrFileFormatError;

    const uint32_t displayOffset = getU32(bytes + kHdrDisplayOffset);
    const uint32_t labelOffset = getU32(bytes + kHdrLabelOffset);
    const uint32_t labelSize = getU32(bytes + kHdrLabelSize);
    const uint32_t dataOffset = getU32(bytes + kHdrDataOffset);
    const uint64_t recordsBytes = version == kKvwVersion100 ? kDisplayRecordBytes : recordsSize(slots);
    if (!f.holds(displayOffset, recordsBytes) || !f.holds(labelOffset, labelSize) || !f.holds(dataOffset, 0))
        return kStrFileFormatError;

    out.version = version;
    out.display = readDisplayRecord(bytes + displayOffset);
    out.triggerRecords = records;
    if (records) {
        const uint8_t* block = bytes + displayOffset + kDisplayRecordBytes;
        restoreTrigger(block, block + slots * kTriggerHeaderBytes, records, out.trigger);
    }

    // Labels: whole rows up to the first end record; the row buttons belong to the running view,
    // and a record without a height of its own gets 80 in the low half the display leaves free.
    if (!readLabelTable(bytes + labelOffset, labelSize / kLabelRecordBytes, out.labels)) return kStrFileFormatError;
    for (LabelEntry& e : out.labels.entries) {
        if (e.kind == kLabelEnd) break;
        e.rowButton = nullptr;
        if (!(e.height & 0xFFFF)) e.height |= 80;
    }

    // Samples.
    try {
        const int rc = decodeSamples(bytes, size, dataOffset, version, records, options, out);
        // A file without sample bytes is nothing to show, and attaching no bytes would mean
        // "keep the previous capture's length" to the store.
        if (!rc && out.samples.empty()) return kStrFileFormatError;
        return rc;
    } catch (const std::bad_alloc&) {
        return kStrMemoryNotEnough;
    }
}

static int decodeSamples(const uint8_t* bytes, size_t size, uint32_t dataOffset, uint32_t version, int records,
                  const KvwReadOptions& options, KvwFile& out) {
    const uint8_t* data = bytes + dataOffset;
    const size_t dataSize = size - dataOffset;
    const size_t limit = options.bufferLimit > 0 ? static_cast<size_t>(options.bufferLimit) : 0;
    {
        if (version == kKvwVersion100) {
            // Raw memory up to the end of the file.
            out.samples.assign(data, data + std::min(dataSize, limit));
            return 0;
        }
        const size_t expected = getU32(bytes + kHdrDecodedLength);
        const size_t cap = std::min(expected, limit);
        switch (out.display.format) {
            case kKvwRaw:
                if (dataSize < expected) return kStrFileFormatError;
                out.samples.assign(data, data + cap);
                return 0;
            case kKvwRunLength: {
                const uint32_t flags =
                    records ? out.trigger[0].word(kTrWordFlags) : options.currentTriggerFlags;
                const bool pairs64 = (out.display.productCode & 0xF0FF) == 0x2036 || !(flags & kTrFlagMemoryStack);
                if (!expandRuns(data, dataSize, pairs64, cap, out.samples)) return kStrFileFormatError;
                // Runs that cover less than the stated length: the file is cut short or lies.
                return out.samples.size() == cap ? 0 : kStrFileFormatError;
            }
            case kKvwZlib: {
                if (dataSize < 4) return kStrFileFormatError;
                const uint32_t packed = getU32(data);
                if (packed > dataSize - 4) return kStrFileFormatError;
                if (!inflateCapped(data + 4, packed, cap, out.samples)) return kStrFileFormatError;
                return out.samples.size() == cap ? 0 : kStrFileFormatError;
            }
            default: return kStrFileFormatError;
        }
    }
}

void remapOlderWriter(DisplayState& d, bool nanlyn, const RateTableLookup& lookup) {
    if (d.flags & kDisplayFlagNewWriter) return;
    d.flags = (d.flags & 1) ? ((~d.flags & 2) | 1) : (((d.flags & 4) | 2) >> 1);
    if (!nanlyn) {
        // The answer's second word says "external clock", not which clock word: only a rate is
        // taken. A code is 32 bits at most, so the high frequency word of such a file means nothing.
        uint32_t rate = 0, external = 0;
        const bool internalRate = lookup && lookup(d.freqLow, rate, external) && !external && rate;
        d.freqLow = internalRate ? rate : 100000000;
        d.freqHigh = 0;
        d.clockSelection = 1;
    }
    d.flags |= kDisplayFlagNewWriter;
}

SampleFormat kvwSampleFormat(const KvwFile& file) {
    const DisplayState& d = file.display;
    const bool wordOk = d.wordBits == 8 || d.wordBits == 16 || d.wordBits == 32 || d.wordBits == 64;
    if (wordOk && d.rowBits >= 1 && d.rowBits <= d.wordBits && d.sampleBits >= 1 && d.sampleBits <= d.rowBits &&
        (d.storageMode == kStoragePacked || d.storageMode == kStorageBlockRepeat))
        return SampleFormat::make(d.storageMode, d.wordBits, d.rowBits, d.sampleBits);
    const bool stack = file.triggerRecords && (file.trigger[0].word(kTrWordFlags) & kTrFlagMemoryStack);
    return stack ? SampleFormat::make(0, 32, 32, 32) : SampleFormat::make(0, 64, 64, 64);
}

}  // namespace kv
