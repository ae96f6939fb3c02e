// libFuzzer target of the project readers: a label file and the values of a project key, both as
// any bytes may make them. The first two bytes give the length of the label-file part; the rest
// are project values, each as name length, name, registry type, data length (two bytes) and data.
// Whatever they hold, the readers take whole tables and usable values or nothing, never reading
// outside what they were given.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "viewer/project/project_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t labelBytes = std::min<size_t>(size - 2, static_cast<size_t>(data[0] | data[1] << 8));
    const uint8_t* labels = data + 2;
    // Kept between executions, as the viewer keeps its table: each is some 24 KB, and clearing it
    // at every execution would cost more than the parsing.
    static kv::LabelTable table, back;
    if (kv::parseLabelFile(labels, labelBytes, table)) {
        // What was taken is a table the view can walk: rows hold together and the end is there.
        const std::vector<uint8_t> again = kv::writeLabelTable(table);
        if (!kv::parseLabelFile(again.data(), again.size(), back) || back.count() != table.count()) __builtin_trap();
        for (const kv::LabelRow& r : kv::labelRows(table))
            if (r.first < 0 || r.last >= table.count()) __builtin_trap();
    }

    static kv::MemoryRegistry reg;
    const std::string key = kv::projectKeyOf("Fuzz");
    reg.deleteTree(kv::RegRoot::LocalMachine, key);
    reg.createKey(kv::RegRoot::LocalMachine, key, "Ombix Logic Analyzer");
    const uint8_t* p = labels + labelBytes;
    const uint8_t* end = data + size;
    while (end - p >= 4) {
        const size_t nameLength = *p++;
        if (static_cast<size_t>(end - p) < nameLength + 3) break;
        const std::string name(reinterpret_cast<const char*>(p), nameLength);
        p += nameLength;
        const uint32_t type = *p++;
        const size_t length = std::min<size_t>(static_cast<size_t>(p[0] | p[1] << 8), static_cast<size_t>(end - p - 2));
        p += 2;
        reg.writeValue(kv::RegRoot::LocalMachine, key, name, type, p, length);
        p += length;
    }
    kv::ProjectValues values(reg, key);
    kv::ProjectView view;
    view.view.nameWidth = 80;
    kv::readProjectView(values, view);
    const kv::WaveView& w = view.view;
    if (w.zoomIn < 0 || w.zoomIn > kv::kMaxZoomIn || w.zoomOut < 0 || w.zoomOut > 10 || (w.zoomIn && w.zoomOut))
        __builtin_trap();
    if (w.nameWidth < kv::kMinColumnWidth || w.nameWidth > kv::kMaxColumnWidth || w.firstSample < 0 || w.firstRow < 0)
        __builtin_trap();
    if (view.cursors.focus < 0 || view.cursors.focus >= kv::kCursorCount) __builtin_trap();
    for (const kv::Cursor& c : view.cursors.cursors)
        if (c.position < 0) __builtin_trap();
    std::string text;
    values.getString("Signal Filename", text, 260);
    if (values.getString("Command Set", text, 32) && text.size() > 32) __builtin_trap();
    return values.dwordOr({"RAM Size", "Ram Size"}, 0) == 0x5EED ? 0 : 0;
}
