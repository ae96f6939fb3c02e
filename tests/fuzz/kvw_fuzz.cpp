// libFuzzer target of the KVW reader: any bytes either load or give an error code, never a read
// outside the input or an allocation beyond the buffer limit. What loads is attached as the viewer
// attaches it, so the format fields a file carries are exercised too.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "viewer/files/kvw_codec.h"
#include "viewer/files/kvw_trigger.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kv::KvwReadOptions options;
    options.bufferLimit = 1 << 16;   // small, so that each execution stays quick
    options.currentTriggerFlags = size ? data[0] & 1u : 0;
    kv::KvwFile file;
    if (kv::readKvw(data, size, options, file) != 0) return 0;
    kv::remapOlderWriter(file.display, false, nullptr);
    // The records go into a set-up as the viewer's do, the editor's pattern read back from them.
    static kv::TriggerSetup setup;
    kv::restoreFileTrigger(file, setup);
    const kv::SampleFormat f = kv::kvwSampleFormat(file);
    std::vector<uint8_t> memory(file.samples);
    memory.resize(memory.size() + 16);
    // One store for the whole run, as the viewer keeps one: its block-repeat arrays are reserved
    // once (half a million entries each), not at every execution.
    static kv::SampleStore store;
    const int32_t count = store.attach(memory.data(), static_cast<int32_t>(file.samples.size()), f.wordBits,
                                       f.rowBits, f.sampleBits, f.storageMode);
    uint64_t sum = 0;
    for (int32_t i = 0; i < count && i < 4096; ++i) sum += store.sample(i);
    return sum == 0x5EED ? 0 : 0;
}
