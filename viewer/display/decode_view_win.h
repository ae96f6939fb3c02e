// The view's decode results: one published set of result stores, replaced as a whole by each
// decode pass, so that a pass on the capture thread never changes arrays the main thread is
// drawing from.
#pragma once

#include <memory>

#include "viewer/display/decoders.h"

namespace kv {

// The stores and the decoded labels they were made for.
struct DecodeResults {
    DecodeStores stores;
    std::vector<uint32_t> signature;  // what decodeSignature gave for the table decoded
};

// The decoded labels of a table: protocol, channels, flags and baud of each serial-bus row.
std::vector<uint32_t> decodeSignature(const LabelTable& table);

// DecodeAllLabels over the viewer's capture and label table, from any thread; the results are
// published when complete.
void runDecodePass();
// After a label change (main thread): runs the pass when the decoded labels differ from those of
// the published results.
void refreshDecodePass();

// The published results (null before the first pass). The main thread keeps the one it draws with.
std::shared_ptr<const DecodeResults> decodeResults();

// The results of the row whose first entry is `firstEntry` in the viewer's table, from the
// results the main thread last took; null when the row is not decoded, its decode failed, or the
// table changed since the pass.
const DecodedItems* viewDecodedItems(int32_t firstEntry);

}  // namespace kv
