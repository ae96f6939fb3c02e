#include "runtime/rate_tables.h"

#include <cstring>

#include "runtime/slot_record.h"

namespace kv {

namespace {

constexpr uint64_t kMHz = 1000000, kKHz = 1000;
enum : uint32_t { kClassTop = 2, kClassStandard = 3, kClassNanlyn = 7 };

#define KV_STANDARD_BELOW_200M                                                                                       \
    {100 * kMHz, kClassStandard, "100 MHz"}, {50 * kMHz, kClassStandard, " 50 MHz"},                                 \
        {20 * kMHz, kClassStandard, " 20 MHz"}, {10 * kMHz, kClassStandard, " 10 MHz"},                              \
        {5 * kMHz, kClassStandard, "  5 MHz"}, {2 * kMHz, kClassStandard, "  2 MHz"},                                \
        {1 * kMHz, kClassStandard, "  1 MHz"}, {500 * kKHz, kClassStandard, "500 KHz"},                              \
        {200 * kKHz, kClassStandard, "200 KHz"}, {100 * kKHz, kClassStandard, "100 KHz"},                            \
        {50 * kKHz, kClassStandard, " 50 KHz"}, {20 * kKHz, kClassStandard, " 20 KHz"},                              \
        {10 * kKHz, kClassStandard, " 10 KHz"}, {5 * kKHz, kClassStandard, "  5 KHz"},                               \
        {2 * kKHz, kClassStandard, "  2 KHz"}, {1 * kKHz, kClassStandard, "  1 KHz"}, {500, kClassStandard, "500  Hz"}, \
        {200, kClassStandard, "200  Hz"}, {100, kClassStandard, "100  Hz"}

const RateRow kStandard[20] = {{200 * kMHz, kClassTop, "200 MHz"}, KV_STANDARD_BELOW_200M};
// Family 3 keeps a copy of its own: the switch to the extended table never reaches it.
const RateRow kStandardFamily3[20] = {{200 * kMHz, kClassTop, "200 MHz"}, KV_STANDARD_BELOW_200M};
const RateRow kExtended[27] = {
    {450 * kMHz, kClassTop, "450 MHz*"}, {400 * kMHz, kClassTop, "400 MHz"}, {350 * kMHz, kClassTop, "350 MHz"},
    {300 * kMHz, kClassTop, "300 MHz"},  {280 * kMHz, kClassTop, "280 MHz"}, {266 * kMHz, kClassTop, "266 MHz"},
    {250 * kMHz, kClassTop, "250 MHz"},  {200 * kMHz, kClassTop, "200 MHz"}, KV_STANDARD_BELOW_200M};
#undef KV_STANDARD_BELOW_200M

const RateRow kNanlyn[26] = {
    {200 * kMHz, kClassNanlyn, "200 MHz"}, {100 * kMHz, kClassNanlyn, "100 MHz"}, {50 * kMHz, kClassNanlyn, "50 MHz"},
    {20 * kMHz, kClassNanlyn, "20 MHz"},   {10 * kMHz, kClassNanlyn, "10 MHz"},   {5 * kMHz, kClassNanlyn, "5 MHz"},
    {2 * kMHz, kClassNanlyn, "2 MHz"},     {1 * kMHz, kClassNanlyn, "1 MHz"},     {500 * kKHz, kClassNanlyn, "500 KHz"},
    {200 * kKHz, kClassNanlyn, "200 KHz"}, {100 * kKHz, kClassNanlyn, "100 KHz"}, {50 * kKHz, kClassNanlyn, "50 KHz"},
    {20 * kKHz, kClassNanlyn, "20 KHz"},   {10 * kKHz, kClassNanlyn, "10 KHz"},   {5 * kKHz, kClassNanlyn, "5 KHz"},
    {2 * kKHz, kClassNanlyn, "2 KHz"},     {1 * kKHz, kClassNanlyn, "1 KHz"},     {500, kClassNanlyn, "500 Hz"},
    {200, kClassNanlyn, "200 Hz"},         {100, kClassNanlyn, "100 Hz"},         {50, kClassNanlyn, "50 Hz"},
    {20, kClassNanlyn, "20 Hz"},           {10, kClassNanlyn, "10 Hz"},           {5, kClassNanlyn, "5 Hz"},
    {2, kClassNanlyn, "2 Hz"},             {1, kClassNanlyn, "1 Hz"},
};

const ClockSourceRow kIntOnly[] = {{1, "Int Clk"}};
const ClockSourceRow kOldCh31[] = {{1, "Int Clk"}, {10, "Ext Clk(CH31)"}};
const ClockSourceRow kOldCh63[] = {{1, "Int Clk"}, {18, "Ext Clk(CH63)"}};
const ClockSourceRow kPocket[] = {{1, "Int Clk"}, {6, "Ext Clk(CH15)"}, {70, "!Ext Clk(!CH15)"}};
const ClockSourceRow kF3Ch31Only[] = {{1, "Int Clk"}, {10, "CH31"}};
const ClockSourceRow kF3Ch31[] = {{1, "Int Clk"}, {10, "CH31"}, {74, "!CH31"}, {11, "CH31 & Int Clk"}};
const ClockSourceRow kF3Full[] = {{1, "Int Clk"},        {10, "CH31"},           {18, "CH63"},
                                  {74, "!CH31"},         {82, "!CH63"},          {26, "CH31 & CH63"},
                                  {11, "CH31 & Int Clk"}, {19, "CH63 & Int Clk"}};

template <size_t N>
ClockSourceTable sources(const ClockSourceRow (&rows)[N]) {
    return {rows, static_cast<int>(N)};
}

// The 5-bit rate codes; the first 20 are the internal rates, in the order of the standard table.
struct CodeRow {
    int code;
    uint32_t rate;
};
const CodeRow kCodes[20] = {{0, 200000000}, {1, 100000000}, {8, 50000000}, {16, 20000000}, {24, 10000000},
                            {9, 5000000},   {17, 2000000},  {25, 1000000}, {10, 500000},   {18, 200000},
                            {26, 100000},   {11, 50000},    {19, 20000},   {27, 10000},    {12, 5000},
                            {20, 2000},     {28, 1000},     {13, 500},     {21, 200},      {29, 100}};
enum : int { kCodeExternal = 3, kCodeNone = 31 };

bool usesStandard(int family) {
    return family == kFamilyIsa || family == kFamily1 || family == kFamilyPocket || family == kFamilyPocketB ||
           family == kFamilyPocketPlus;
}

}  // namespace

RateTable standardRateTable() { return {kStandard, 20}; }

RateTable rateTableOf(int family, bool extended) {
    if (usesStandard(family)) return extended ? RateTable{kExtended, 27} : RateTable{kStandard, 20};
    if (family == kFamily3) return {kStandardFamily3, 20};
    if (family == kFamilyNanlyn) return {kNanlyn, 26};
    return {};
}

ClockSourceTable clockSourceTableOf(int family, int code) {
    switch (family) {
        case kFamilyIsa:
        case kFamily1:
            if (!(code & 0x100)) return sources(kIntOnly);
            return (code & 0xFF) == 0x32 ? sources(kOldCh31) : sources(kOldCh63);
        case kFamilyPocket:
        case kFamilyPocketB:
        case kFamilyPocketPlus: return sources(kPocket);
        case kFamily3:
            if (code == 0x2031) return sources(kIntOnly);
            if (code == 0x2032) return sources(kF3Ch31Only);
            return (code & 0xFF) == 0x32 ? sources(kF3Ch31) : sources(kF3Full);
        case kFamilyNanlyn: return sources(kIntOnly);
        default: return {};
    }
}

ClockSourceTable clockSourceLookupTableOf(int family, int code) {
    switch (family) {
        case kFamilyIsa:
        case kFamily1:
            if (!(code & 0x100)) return {};
            return (code & 0xFF) == 0x32 ? sources(kOldCh31) : sources(kOldCh63);
        case kFamilyPocket:
        case kFamilyPocketB:
        case kFamilyPocketPlus: return sources(kPocket);
        case kFamily3: return (code & 0xFF) == 0x32 ? sources(kF3Ch31) : sources(kF3Full);
        default: return {};
    }
}

int rateRow(const RateTable& t, uint64_t rate) {
    for (int i = 0; i < t.count; ++i)
        if (t.rows[i].rate == rate) return i;
    return -1;
}

int clockSourceRow(const ClockSourceTable& t, uint32_t code) {
    for (int i = 0; i < t.count; ++i)
        if (t.rows[i].code == code) return i;
    return -1;
}

int rateOfCode(int code, uint32_t& rate, uint32_t& external) {
    rate = 0;
    external = 0;
    if (code == kCodeExternal) {
        external = 1;
        return 1;
    }
    if (code == kCodeNone) return 1;
    for (const CodeRow& r : kCodes)
        if (r.code == code) {
            rate = r.rate;
            return 1;
        }
    return 0;
}

bool codeOfRate(uint64_t rate, int& code) {
    for (const CodeRow& r : kCodes)
        if (r.rate == rate) {
            code = r.code;
            return true;
        }
    code = kCodeNone;
    return false;
}

int freqToIndex(const RateQuery& q, uint64_t rate) {
    const int row = rateRow(rateTableOf(q.family, q.extended), rate);
    return row < 0 ? 0 : row;
}

int extClockToIndex(const RateQuery& q, uint32_t code) {
    const int row = clockSourceRow(clockSourceLookupTableOf(q.family, q.productCode), code);
    return row < 0 ? 0 : row;
}

int freqInfo(const RateQuery& q, int what, uint64_t entry, uint32_t* outRate, int rateWords, uint32_t* outClass,
             char* outText, int textSize) {
    const char* text = nullptr;
    int count = 0;
    if (what == 0 || what == 2) {
        const RateTable t = rateTableOf(q.family, q.extended);
        if (t.count == 0) return -1;
        const uint64_t row = what == 2 ? static_cast<uint64_t>(freqToIndex(q, entry)) : entry;
        if (row >= static_cast<uint64_t>(t.count)) return -1;
        const RateRow& r = t.rows[row];
        if (outRate) {
            outRate[0] = static_cast<uint32_t>(r.rate);
            if (rateWords > 1) outRate[1] = static_cast<uint32_t>(r.rate >> 32);
        }
        if (outClass) *outClass = r.rateClass;
        text = r.text;
        count = t.count;
    } else if (what == 1) {
        const ClockSourceTable t = clockSourceTableOf(q.family, q.productCode);
        if (t.count == 0 || entry >= static_cast<uint64_t>(t.count)) return -1;
        if (outClass) *outClass = t.rows[entry].code;
        text = t.rows[entry].text;
        count = t.count;
    } else {
        return -1;
    }
    const size_t len = std::strlen(text);
    if (outText && textSize > 0 && len < static_cast<size_t>(textSize)) std::memcpy(outText, text, len + 1);
    return count;
}

}  // namespace kv
