#include "viewer/acquire/sample_modes.h"

#include <cerrno>
#include <cstdlib>

namespace kv {

const char* const kNanlynRowNames[kNanlynModeRows] = {
    "Nanlyn 4GHz",    "Nanlyn 4GHz(Glitch)", "Nanlyn 4GHz(Time Stamp)", "Nanlyn 2GHz", "FREQ = 1.6GHz",
    "FREQ = 800MHz",  "FREQ = 400MHz",       "FREQ <= 200MHz",          "UART Trigger", "I2C Trigger",
    "SPI Trigger",    "I2S Trigger",         "Ext. Clock",
};

namespace {

// A row of the three tables: either the cells listed (column, mode per table), or one mode per
// table in every column of the sample-group modes (0-5, 8 and 9; 6 and 7 do not exist there).
struct RowCells {
    bool allColumns;
    int mode[3];             // allColumns: the mode of each table
    int columns[4];          // otherwise: up to four columns, -1 ends
    int modes[4];            // the same mode in every table
    int perTable[3];         // or, for a single listed column, a mode per table (-1: use modes)
};

const RowCells kRows[kNanlynModeRows] = {
    {false, {}, {0, 1, 3, 6}, {5, 11, 12, 13}, {-1, -1, -1}},
    {false, {}, {0, -1, -1, -1}, {9}, {-1, -1, -1}},
    {false, {}, {0, -1, -1, -1}, {14}, {-1, -1, -1}},
    {false, {}, {0, -1, -1, -1}, {4}, {-1, -1, -1}},
    {false, {}, {6, -1, -1, -1}, {}, {18, 22, 3}},
    {false, {}, {3, -1, -1, -1}, {}, {17, 21, 2}},
    {false, {}, {1, -1, -1, -1}, {}, {16, 20, 1}},
    {true, {0, 19, 7}, {}, {}, {}},
    {true, {15, 25, 6}, {}, {}, {}},
    {true, {26, 29, 28}, {}, {}, {}},
    {true, {27, 31, 30}, {}, {}, {}},
    {true, {32, 34, 33}, {}, {}, {}},
    {true, {24, 23, 8}, {}, {}, {}},
};

const int32_t kDivisors[kNanlynColumns] = {1, 2, 3, 4, 6, 9, 8, 12, 18, 36};

}  // namespace

int nanlynTableOf(int32_t productCode) {
    if (productCode == 0x2036) return 0;
    if (productCode == 0x2136) return 1;
    return 2;
}

int nanlynCell(int table, int row, int column) {
    if (table < 0 || table > 2 || row < 0 || row >= kNanlynModeRows || column < 0 || column >= kNanlynColumns)
        return -1;
    const RowCells& r = kRows[row];
    if (r.allColumns) return column == 6 || column == 7 ? -1 : r.mode[table];
    for (int k = 0; k < 4; ++k) {
        if (r.columns[k] != column) continue;
        return r.perTable[table] >= 0 ? r.perTable[table] : r.modes[k];
    }
    return -1;
}

std::vector<int> nanlynColumns(int table, int row) {
    std::vector<int> columns;
    for (int j = 0; j < kNanlynColumns; ++j)
        if (nanlynCell(table, row, j) >= 0) columns.push_back(j);
    return columns;
}

int32_t columnDivisor(int column) { return column >= 0 && column < kNanlynColumns ? kDivisors[column] : 1; }
int32_t columnChannels(int column) { return 36 / columnDivisor(column); }

int memorySelectColumn(int32_t memorySelect) {
    for (int j = 0; j < kNanlynColumns; ++j)
        if (memorySelect == (1 << j)) return j;
    return -1;
}

int32_t memorySelectDivisor(int32_t memorySelect) { return columnDivisor(memorySelectColumn(memorySelect)); }

int32_t depthForColumn(int32_t depth, int column) {
    const int32_t d = columnDivisor(column);
    return depth / d * d;
}

std::string fixedRateText(uint32_t features, uint64_t hz) {
    if (features & 0x40) return "4 GHz";
    if (features & 0x20000) return "Baud*16";
    if (features & 0x80) return "EXT";
    switch (hz) {
        case 4000000000ull: return "4 GHz";
        case 2000000000ull: return "2 GHz";
        case 1600000000ull: return "1.6 GHz";
        case 800000000ull: return "800 MHz";
        case 400000000ull: return "400 MHz";
        default: return "";
    }
}

const char* const kQualifierNames[kQualifierClocks] = {"CH35", "!CH35", "CH34 & CH35", "CH34 # CH35"};
const uint32_t kQualifierClockWords[kQualifierClocks] = {128, 384, 640, 896};

StackChoices stackChoices(uint32_t family, int32_t channelCount) {
    if (family == 18) return StackChoices{16, 16};
    return StackChoices{channelCount >= 64 ? 64 : 32, 32};
}

StackRule stackRule(uint32_t clockIndex, uint32_t rateInformation) {
    if (clockIndex != 0) return StackRule::Off;
    switch (rateInformation & 3) {
        case 1: return StackRule::Off;
        case 2: return StackRule::On;
        default: return StackRule::Free;
    }
}

DepthRange deviceDepthRange(int32_t maximumDepth, int32_t currentDepth, bool stacked) {
    const int32_t k = stacked ? 2 : 1;
    return DepthRange{256 * k, maximumDepth * k, currentDepth * k};
}

DepthRange demoDepthRange(int32_t demoBufferBytes, bool stacked) {
    if (demoBufferBytes <= 0) demoBufferBytes = 40000;
    return stacked ? DepthRange{512, 0x400000, demoBufferBytes / 4} : DepthRange{256, 0x200000, demoBufferBytes / 8};
}

DepthRange restackDepthRange(const DepthRange& r, bool stacked) {
    if (stacked) return DepthRange{r.minimum * 2, r.maximum * 2, r.position * 2};
    return DepthRange{r.minimum / 2, r.maximum / 2, r.position / 2};
}

int32_t settleDepthField(int32_t value, const DepthRange& r, bool stacked) {
    if (value < r.minimum) value = r.minimum;
    if (value > r.maximum) value = r.maximum;
    if (stacked) value &= ~1;
    return value;
}

bool depthAdjustable(bool methodChoiceFamily, int32_t productCode) {
    return methodChoiceFamily || productCode == 0x2116 || productCode == 0x2216 || productCode == 0x2416;
}

int32_t depthToSend(int32_t position, bool stacked) { return stacked ? position / 2 : position; }
int32_t demoBufferBytes(int32_t position, bool stacked) { return (stacked ? position / 2 : position) * 8; }

bool parseExternalClock(const std::string& text, uint64_t& hz) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    if (i == text.size() || text[i] < '0' || text[i] > '9') return false;
    errno = 0;
    char* end = nullptr;
    const unsigned long long v = std::strtoull(text.c_str() + i, &end, 10);
    if (errno == ERANGE || v < 1) return false;
    while (*end == ' ') ++end;
    if (*end != '\0') return false;
    hz = v;
    return true;
}

}  // namespace kv
