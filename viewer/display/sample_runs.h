// Reads a capture through its SampleStore in runs of consecutive samples instead of one call per
// sample: packed captures through fetchRun, block-repeat captures through sequential fetchBlock
// (served from its block cache). Every value is the one fetch or fetchBlock gives, start offset,
// invert mask and value mask included.
#pragma once

#include <algorithm>
#include <cstdint>

#include "viewer/shell/sample_store.h"

namespace kv {

constexpr int32_t kSampleRunLength = 4096;  // 32 KiB of words: stays in the first-level cache

// Calls f(words, first, n) for consecutive runs covering samples [from, to): words[j] is sample
// first + j. Returns early, with false, when f returns false.
template <class F>
bool forEachSampleRun(SampleStore& store, int32_t from, int32_t to, F&& f) {
    uint64_t words[kSampleRunLength];
    const bool blocks = store.storageMode() == kStorageBlockRepeat;
    for (int32_t i = from; i < to;) {
        const int32_t n = std::min(kSampleRunLength, to - i);
        if (blocks) {
            for (int32_t j = 0; j < n; ++j) words[j] = store.fetchBlock(i + j);
        } else {
            store.fetchRun(i, n, words);
        }
        if (!f(static_cast<const uint64_t*>(words), i, n)) return false;
        i += n;
    }
    return true;
}

}  // namespace kv
