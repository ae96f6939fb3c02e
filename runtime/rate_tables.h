// Sample-rate lists, clock-source lists and 5-bit rate codes of every board family. The viewer stays
// ignorant of families: it asks the library for rows and texts and hands back what it chose.
#pragma once

#include <cstdint>

namespace kv {

// A rate the caller marks as "no internal rate" (both halves of the record's rate all ones).
constexpr uint64_t kNoInternalRate = ~0ull;

struct RateRow {
    uint64_t rate;
    uint32_t rateClass;
    const char* text;
};

struct ClockSourceRow {
    uint32_t code;
    const char* text;
};

struct RateTable {
    const RateRow* rows = nullptr;
    int count = 0;
};
struct ClockSourceTable {
    const ClockSourceRow* rows = nullptr;
    int count = 0;
};

// The internal rate table of a family (family 4 and families above 7 have none). Once a family-6
// board has been opened in the process, the families sharing the standard table use the extended one.
RateTable rateTableOf(int family, bool extended);
// The 20-row standard table the clock set-up indexes by row.
RateTable standardRateTable();
// The clock-source table the viewer lists (by family and product code).
ClockSourceTable clockSourceTableOf(int family, int productCode);
// The table KvExtClk2Index searches: it tells family-3 boards apart by the low byte 0x32 only.
ClockSourceTable clockSourceLookupTableOf(int family, int productCode);

// Row of a rate in a table, -1 when absent.
int rateRow(const RateTable& t, uint64_t rate);
int clockSourceRow(const ClockSourceTable& t, uint32_t code);

// KvTbl2Freq: 1 for a known code (rate, or external for code 3), 0 for an unknown one.
int rateOfCode(int code, uint32_t& rate, uint32_t& external);
// The 5-bit code of a rate (first 20 codes), or 31 and false when the rate has none.
bool codeOfRate(uint64_t rate, int& code);

// The library's answers for a board (family, code) and the process's table choice.
struct RateQuery {
    int family = 0;
    int productCode = 0;
    bool extended = false;
};
// KvFreqInfoEx: what 0 rate row, 1 clock-source row, 2 rate given as 64-bit value. Null outputs
// are skipped; the text is written only when it fits with its NUL; outRate takes rateWords 32-bit
// words (2 for KvFreqInfoEx, low first; 1 for KvFreqInfo). The row count, or -1.
int freqInfo(const RateQuery& q, int what, uint64_t entry, uint32_t* outRate, int rateWords, uint32_t* outClass,
             char* outText, int textSize);
int freqToIndex(const RateQuery& q, uint64_t rate);
int extClockToIndex(const RateQuery& q, uint32_t code);

}  // namespace kv
