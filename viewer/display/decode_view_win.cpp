#include "viewer/display/decode_view_win.h"

#include <atomic>

#include "viewer/display/cursor_view_win.h"
#include "viewer/shell/app_win.h"

namespace kv {

namespace {

std::shared_ptr<const DecodeResults> g_published;
// Taken by the main thread per redraw; keeps the arrays its rows point into alive.
std::shared_ptr<const DecodeResults> g_drawn;

}  // namespace

std::vector<uint32_t> decodeSignature(const LabelTable& table) {
    std::vector<uint32_t> s;
    for (const LabelRow& r : labelRows(table)) {
        const Protocol p = rowProtocol(table, r);
        if (p == Protocol::None) continue;
        s.push_back(static_cast<uint32_t>(p));
        for (int e = r.first; e <= r.last; ++e) {
            s.push_back(static_cast<uint32_t>(table.entries[e].channel));
            s.push_back(table.entries[e].flags & ~static_cast<uint32_t>(kLabelSelected));
        }
        s.push_back(static_cast<uint32_t>(table.entries[r.first].baud));
    }
    return s;
}

void runDecodePass() {
    Viewer* v = g_viewer;
    if (!v) return;
    auto results = std::make_shared<DecodeResults>();
    const LabelTable table = v->labels.table;
    results->signature = decodeSignature(table);
    decodeAllLabels(results->stores, table, v->store, static_cast<double>(readoutFrequency()));
    std::atomic_store(&g_published, std::shared_ptr<const DecodeResults>(std::move(results)));
}

void refreshDecodePass() {
    Viewer* v = g_viewer;
    if (!v) return;
    const std::shared_ptr<const DecodeResults> now = decodeResults();
    if (now && now->signature == decodeSignature(v->labels.table)) return;
    runDecodePass();
}

std::shared_ptr<const DecodeResults> decodeResults() { return std::atomic_load(&g_published); }

const DecodedItems* viewDecodedItems(int32_t firstEntry) {
    Viewer* v = g_viewer;
    g_drawn = decodeResults();
    if (!v || !g_drawn || g_drawn->signature != decodeSignature(v->labels.table)) return nullptr;
    return decodedItemsFor(g_drawn->stores, v->labels.table, firstEntry);
}

}  // namespace kv
