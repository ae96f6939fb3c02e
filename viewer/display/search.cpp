#include "viewer/display/search.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "viewer/display/formatting.h"
#include "viewer/display/sample_runs.h"

namespace kv {

const char* conditionText(uint8_t c) {
    switch (c) {
        case kCondLow: return "0";
        case kCondHigh: return "1";
        case kCondRising: return "/";
        case kCondFalling: return "\\";
        default: return "X";
    }
}

std::vector<BoundValueCondition> bindValueConditions(
    const SearchSetting& s, const LabelTable& table,
    const std::function<const DecodedItems*(int32_t firstEntry)>& decodedFor) {
    std::vector<BoundValueCondition> bound;
    for (const LabelEntry& c : s.valueConditions) {
        BoundValueCondition b;
        b.wanted = static_cast<uint32_t>(c.value);
        const int first = findLabel(table, c.name);
        if (first >= 0) {
            b.protocol = rowProtocol(table, rowOfEntry(table, first));
            if (b.protocol != Protocol::None && decodedFor) b.items = decodedFor(first);
        }
        bound.push_back(b);
    }
    return bound;
}

namespace {

bool valuesHold(const std::vector<BoundValueCondition>& values, int64_t i) {
    for (const BoundValueCondition& c : values) {
        uint32_t v = 0;
        if (!c.items || !decodedValueAt(c.protocol, *c.items, i, v)) return false;
        const uint32_t wanted = (c.protocol == Protocol::I2c || c.protocol == Protocol::Uart) ? c.wanted & 0xFF
                                                                                                : c.wanted;
        if (v != wanted) return false;
    }
    return true;
}

}  // namespace

int64_t findNextMatch(const SearchSetting& s, const std::vector<BoundValueCondition>& values, SampleStore& store,
                      int64_t from, int64_t to, int64_t& next) {
    next = to + 1;
    uint64_t care = 0, before = 0, after = 0;
    bool edge = false;
    for (int c = 0; c < 64; ++c) {
        const uint8_t k = s.channelCondition[c];
        if (k == kCondDontCare) continue;
        const uint64_t bit = uint64_t{1} << c;
        care |= bit;
        if (k == kCondHigh || k == kCondFalling) before |= bit;
        if (k == kCondHigh || k == kCondRising) after |= bit;
        edge = edge || k == kCondRising || k == kCondFalling;
    }
    if (care == 0 && values.empty()) return to + 1;
    // The interval loses its last sample when an edge is searched, and the sample after each i must
    // lie in what is left: an edge whose first sample after it is the interval's last is not found.
    const int64_t last = std::min<int64_t>(edge ? to - 2 : to, static_cast<int64_t>(store.logicalCount()) - (edge ? 2 : 1));
    if (from < 0) from = 0;
    if (from > last) return to + 1;

    int64_t found = to + 1;
    const bool checkValues = !values.empty();
    if (!edge) {
        bool inRun = false;
        forEachSampleRun(store, static_cast<int32_t>(from), static_cast<int32_t>(last + 1),
                         [&](const uint64_t* w, int32_t at, int32_t n) {
                             int32_t j = 0;
                             if (!inRun && !checkValues) {
                                 // Blocks of eight samples without a candidate are passed over in one test.
                                 for (; j + 8 <= n; j += 8) {
                                     uint32_t hit = 0;
                                     for (int k = 0; k < 8; ++k) hit |= static_cast<uint32_t>((w[j + k] & care) == before) << k;
                                     if (hit) break;
                                 }
                             }
                             for (; j < n; ++j) {
                                 const bool holds = (w[j] & care) == before && (!checkValues || valuesHold(values, at + j));
                                 if (!inRun) {
                                     if (!holds) continue;
                                     found = at + j;
                                     inRun = true;
                                 } else if (!holds) {
                                     next = at + j;  // one continuous run counts once
                                     return false;
                                 }
                             }
                             return true;
                         });
        // A run reaching the end of the interval: the following search starts after it.
        return found;
    }
    uint64_t prev = 0;
    bool havePrev = false;
    auto edgeAt = [&](uint64_t before_, uint64_t now, int64_t i) {
        return before_ == before && now == after &&
               (!checkValues || (valuesHold(values, i - 1) && valuesHold(values, i)));
    };
    forEachSampleRun(store, static_cast<int32_t>(from), static_cast<int32_t>(last + 2),
                     [&](const uint64_t* w, int32_t at, int32_t n) {
                         // The first sample pairs with the last one of the run before.
                         if (havePrev && edgeAt(prev, w[0] & care, at)) {
                             found = at;  // the first sample after the edge
                             next = found;
                             return false;
                         }
                         havePrev = true;
                         int32_t j = 1;
                         if (!checkValues) {
                             // Blocks of eight pairs without an edge are passed over in one test.
                             for (; j + 8 <= n; j += 8) {
                                 uint32_t hit = 0;
                                 for (int k = 0; k < 8; ++k)
                                     hit |= static_cast<uint32_t>(((w[j + k - 1] & care) == before) &
                                                                  ((w[j + k] & care) == after))
                                            << k;
                                 if (hit) break;
                             }
                         }
                         for (; j < n; ++j) {
                             if (edgeAt(w[j - 1] & care, w[j] & care, at + j)) {
                                 found = at + j;
                                 next = found;
                                 return false;
                             }
                         }
                         prev = w[n - 1] & care;
                         return true;
                     });
    return found;
}

void searchInterval(const SearchSetting& s, const int32_t cursors[6], int64_t sampleCount, int64_t& start,
                    int64_t& end) {
    auto at = [&](int32_t choice, bool isEnd) -> int64_t {
        if (choice == kSearchBufferHead) return 0;
        if (choice == kSearchBufferTail) return sampleCount - 1;
        if (choice >= kSearchCursorFirst && choice < kSearchCursorFirst + 6) return cursors[choice - kSearchCursorFirst];
        return isEnd ? sampleCount - 1 : 0;
    };
    start = at(s.startPosition, false);
    end = at(s.endPosition, true);
    if (start > end) std::swap(start, end);
}

SearchOutcome runSearch(const SearchSetting& s, const std::vector<BoundValueCondition>& values, SampleStore& store,
                        int64_t start, int64_t end) {
    SearchOutcome out;
    out.position = start;
    // Only real matches count: a call that finds nothing ends the run and is not an occurrence.
    for (int64_t p = start; p < end;) {
        int64_t next = end + 1;
        const int64_t match = findNextMatch(s, values, store, p, end, next);
        if (match > end) break;
        ++out.occurrences;
        if (out.occurrences == static_cast<int64_t>(s.passCount) + 1) out.position = match;
        if (next <= p) break;
        p = next;
    }
    out.message = out.occurrences == 0 ? kStrSearchNotFound : kStrOccurrences;
    return out;
}

SearchOutcome runSearchNext(const SearchSetting& s, const std::vector<BoundValueCondition>& values,
                            SampleStore& store, int64_t cursorB, int64_t end) {
    int64_t next = end + 1;
    const int64_t start = findNextMatch(s, values, store, cursorB, end, next) == cursorB ? next : cursorB + 1;
    SearchOutcome o = runSearch(s, values, store, start, end);
    if (o.occurrences == 0) o.position = cursorB;
    return o;
}

// --- the dialog's rules -----------------------------------------------------------------------------

int checkPassCount(const std::string& text, int32_t& passCount) {
    const size_t a = text.find_first_not_of(" \t");
    const size_t b = text.find_last_not_of(" \t");
    if (a == std::string::npos) return kStrPassCountRange;
    const std::string digits = text.substr(a, b - a + 1);
    if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 6) return kStrPassCountRange;
    const long v = std::strtol(digits.c_str(), nullptr, 10);
    if (v < 0 || v > kMaxPassCount) return kStrPassCountRange;
    passCount = static_cast<int32_t>(v);
    return 0;
}

namespace {

bool conditionOf(char ch, uint8_t& c) {
    switch (ch) {
        case '1': c = kCondHigh; return true;
        case '0': c = kCondLow; return true;
        case 'X':
        case 'x': c = kCondDontCare; return true;
        case '/': c = kCondRising; return true;
        case '\\': c = kCondFalling; return true;
        default: return false;
    }
}

// A number typed in the chosen type (0 Hex, 1 Dec, 2 Oct, 3 Bin; 4 Asc: one character).
bool parseTyped(const std::string& text, int32_t type, uint64_t& v) {
    if (type == kFormatAsc) {
        if (text.size() != 1) return false;
        v = static_cast<unsigned char>(text[0]);
        return true;
    }
    static const int kBase[4] = {16, 10, 8, 2};
    if (type < 0 || type > 3 || text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    v = std::strtoull(text.c_str(), &end, kBase[type]);
    return errno == 0 && *end == '\0' && text.find_first_of("+- ") == std::string::npos;
}

int edgeCount(const SearchSetting& s) {
    int n = 0;
    for (uint8_t c : s.channelCondition) n += c == kCondRising || c == kCondFalling;
    return n;
}

void dropShown(SearchSetting& s, const std::string& label) {
    s.shown.erase(std::remove_if(s.shown.begin(), s.shown.end(), [&](const SearchSetting::Shown& x) { return x.label == label; }),
                  s.shown.end());
}

}  // namespace

int addSearchCondition(SearchSetting& s, const LabelTable& table, int32_t entry, const std::string& value,
                       int32_t type) {
    if (entry < 0 || entry >= table.count()) return kStrValueError;
    const LabelRow row = rowOfEntry(table, entry);
    if (row.first < 0) return kStrValueError;
    const LabelEntry& head = table.entries[row.first];
    const std::string name = head.name;
    SearchSetting result = s;
    const Protocol p = rowProtocol(table, row);
    SearchSetting::Shown shown{name, value, type};
    if (p != Protocol::None) {
        uint64_t v = 0;
        if (!parseTyped(value, type, v) || v > 0xFFFFFFFFull) return kStrValueError;
        result.valueConditions.erase(
            std::remove_if(result.valueConditions.begin(), result.valueConditions.end(),
                           [&](const LabelEntry& e) { return name == e.name; }),
            result.valueConditions.end());
        if (result.valueConditions.size() >= static_cast<size_t>(kMaxValueConditions)) return kStrValueError;
        LabelEntry copy = head;
        copy.rowButton = nullptr;
        copy.value = static_cast<int32_t>(v);
        result.valueConditions.push_back(copy);
    } else {
        const int members = row.size();
        std::vector<uint8_t> conditions(static_cast<size_t>(members));
        bool ok = static_cast<int>(value.size()) == members;
        for (int k = 0; ok && k < members; ++k) ok = conditionOf(value[static_cast<size_t>(k)], conditions[static_cast<size_t>(k)]);
        if (!ok) {
            // A group also takes a number of the chosen type; a single channel only the characters.
            uint64_t v = 0;
            if (members == 1 || type == kFormatAsc || !parseTyped(value, type, v) || (members < 64 && (v >> members) != 0))
                return kStrValueError;
            for (int k = 0; k < members; ++k)
                conditions[static_cast<size_t>(k)] = ((v >> (members - 1 - k)) & 1u) ? kCondHigh : kCondLow;
            shown.value = value;
        }
        if (members == 1) shown.type = -1;
        for (int k = 0; k < members; ++k) {
            const int32_t c = table.entries[row.first + k].channel;
            if (c >= 0 && c < 64) result.channelCondition[static_cast<size_t>(c)] = conditions[static_cast<size_t>(k)];
        }
        if (edgeCount(result) > 1) return kStrTooManyEdges;
    }
    dropShown(result, name);
    result.shown.push_back(shown);
    s = std::move(result);
    return 0;
}

void removeSearchCondition(SearchSetting& s, const LabelTable& table, size_t index) {
    if (index >= s.shown.size()) return;
    const std::string name = s.shown[index].label;
    s.shown.erase(s.shown.begin() + static_cast<std::ptrdiff_t>(index));
    const size_t before = s.valueConditions.size();
    s.valueConditions.erase(std::remove_if(s.valueConditions.begin(), s.valueConditions.end(),
                                           [&](const LabelEntry& e) { return name == e.name; }),
                            s.valueConditions.end());
    if (s.valueConditions.size() != before) return;
    const int first = findLabel(table, name);
    if (first < 0) return;
    const LabelRow row = rowOfEntry(table, first);
    for (int e = row.first; e <= row.last; ++e) {
        const int32_t c = table.entries[e].channel;
        if (c >= 0 && c < 64) s.channelCondition[static_cast<size_t>(c)] = kCondDontCare;
    }
}

void clearSearchConditions(SearchSetting& s) {
    s.channelCondition.fill(kCondDontCare);
    s.valueConditions.clear();
    s.shown.clear();
}

}  // namespace kv
