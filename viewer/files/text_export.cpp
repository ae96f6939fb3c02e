#include "viewer/files/text_export.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

#include "viewer/display/formatting.h"
#include "viewer/files/kvw_codec.h"

namespace kv {
namespace {

// Sample-number column: "%9d " on data lines; the heading lines and separator are as wide, so that
// a name's last character stands over its column's last character.
constexpr int32_t kNumberColumn = 10;

struct Column {
    WaveRow row;
    std::string name;
    int32_t width = 0;        // characters, a leading blank included
    int32_t valueBits = 1;    // width of the value the formatter is given
};

int32_t protocolBits(const WaveRow& r) {
    const int32_t bits = static_cast<int32_t>((r.flags & kLabelParamMask) >> kLabelParamShift);
    return (r.flags & (kLabelI2s | kLabelSpi)) && bits >= 8 && bits <= 32 ? bits : 8;
}

std::string formatted(const Column& c, uint64_t value) {
    std::string text;
    FormatValue(c.row.flags, value, c.row.format, c.valueBits, &text);
    return text;
}

// Exported rows with their column widths: a level is " 1" or " 0"; a bus or decoded value is as
// wide as its widest text plus a blank. Oscilloscope rows carry no samples and are left out.
std::vector<Column> exportedColumns(const TextExportSource& s) {
    std::vector<Column> columns;
    if (!s.labels) return columns;
    const LabelTable table = exportedLabels(*s.labels, s.selectedOnly);
    const std::vector<WaveRow> rows = layoutRows(table, 0, INT_MAX / 2, 1, 64, s.decodedFor);
    int32_t used = kNumberColumn;
    for (const WaveRow& r : rows) {
        if (r.kind == RowKind::Scope || (r.flags & kLabelScope)) continue;
        Column c;
        c.row = r;
        c.name = table.entries[r.firstEntry].name;
        if (r.kind == RowKind::Decoded) {
            c.valueBits = protocolBits(r);
            c.width = 1 + static_cast<int32_t>(formatted(c, (uint64_t{1} << c.valueBits) - 1).size());
        } else if (r.channels.size() > 1) {
            c.valueBits = static_cast<int32_t>(r.channels.size());
            c.width = 1 + static_cast<int32_t>(formatted(c, (uint64_t{1} << c.valueBits) - 1).size());
        } else {
            c.width = 2;
        }
        if (used + c.width >= kTextLineLimit) break;
        used += c.width;
        columns.push_back(std::move(c));
    }
    return columns;
}

// The decoded value shown at `sample`: that of the first item that ends after it (an item ends
// where the next begins), or none.
bool decodedValue(const DecodedItems& items, int32_t sample, uint64_t& value) {
    const size_t n = std::min(items.positions.size(), items.values.size());
    for (size_t k = 0; k < n; ++k) {
        const bool endsAfter = k + 1 == n || items.positions[k + 1] > sample;
        if (endsAfter) {
            value = static_cast<uint32_t>(items.values[k]);
            return true;
        }
    }
    return false;
}

void appendRight(std::string& line, const std::string& text, int32_t width) {
    const size_t w = static_cast<size_t>(width);
    if (text.size() >= w) {
        line.append(text, text.size() - w, w);
        return;
    }
    line.append(w - text.size(), ' ');
    line += text;
}

}  // namespace

bool exportText(const TextExportSource& s, const std::function<bool(const char*, size_t)>& sink) {
    constexpr size_t kFlushBytes = 64 * 1024;
    std::string out;
    out.reserve(kFlushBytes + kTextLineLimit + 16);
    auto flush = [&]() {
        const bool ok = out.empty() || sink(out.data(), out.size());
        out.clear();
        return ok;
    };
    char buf[64];
    out += "Ombix Logic Analyzer\r\n";
    std::snprintf(buf, sizeof buf, "Product ID = %04X\r\n", s.productCode);
    out += buf;
    std::snprintf(buf, sizeof buf, "Sampling Rate = %llu\r\n", static_cast<unsigned long long>(s.frequency));
    out += buf;

    const std::vector<Column> columns = exportedColumns(s);
    int32_t lineWidth = kNumberColumn;
    size_t longest = 1;   // at least the line that carries "Clocks"
    for (const Column& c : columns) {
        lineWidth += c.width;
        longest = std::max(longest, c.name.size());
    }
    std::vector<std::string> heading(longest, std::string(static_cast<size_t>(lineWidth), ' '));
    heading.back().replace(3, 6, "Clocks");
    int32_t end = kNumberColumn - 1;
    for (const Column& c : columns) {
        end += c.width;
        // Bottom-aligned: the last character on the last line.
        const size_t first = longest - c.name.size();
        for (size_t k = 0; k < c.name.size(); ++k) heading[first + k][static_cast<size_t>(end)] = c.name[k];
    }
    for (const std::string& line : heading) out += line + "\r\n";
    out += std::string(static_cast<size_t>(lineWidth), '=') + "\r\n";

    if (!s.store || s.store->logicalCount() <= 0) return flush();
    const int32_t last = s.store->logicalCount() - 1;
    int32_t from = std::clamp(std::min(s.start, s.end), 0, last);
    int32_t to = std::clamp(std::max(s.start, s.end), 0, last);
    std::string lines[2];   // the line being built and the one before it
    for (int32_t i = from; i <= to; ++i) {
        std::string& line = lines[(i - from) & 1];
        line.clear();
        const uint64_t word = s.store->sample(i);
        for (const Column& c : columns) {
            uint64_t value = 0;
            if (c.row.kind == RowKind::Decoded && c.row.decoded && decodedValue(*c.row.decoded, i, value)) {
                appendRight(line, formatted(c, value), c.width);
            } else if (c.row.channels.size() > 1) {
                appendRight(line, formatted(c, groupValue(c.row, word)), c.width);
            } else {
                line += groupValue(c.row, word) ? " 1" : " 0";
            }
        }
        const bool changed = i == from || i == to || line != lines[(i - from + 1) & 1];
        if (!changed) continue;
        std::snprintf(buf, sizeof buf, "%9d ", i - from);
        out += buf;
        out += line;
        out += "\r\n";
        if (out.size() >= kFlushBytes && !flush()) return false;
    }
    return flush();
}

std::string exportText(const TextExportSource& source) {
    std::string all;
    exportText(source, [&all](const char* text, size_t n) {
        all.append(text, n);
        return true;
    });
    return all;
}

}  // namespace kv
