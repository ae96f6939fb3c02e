// The data logger's rules: the divider of the 50 MHz logger clock, the checks made at Start, the
// 12-byte change records the board streams, and their text form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kv {

enum : uint32_t { kLoggerClockHz = 50000000u };
enum : int { kLoggerRecordBytes = 12, kLoggerBlockBytes = 0x3000, kLoggerLineChars = 27, kLoggerMaxChannels = 36 };

// Record status byte: bit 4 = data were lost before this record; bit 7 = not a data record.
enum : uint8_t { kRecordLost = 0x10, kRecordNotData = 0x80 };

// What Start makes of the typed settings, in the order they are checked.
enum class LoggerCheck {
    Ok,
    RateOverRange,   // "Sampling rate is over range.( 50MHz ~ 0.02Hz )"
    AskCloseValue,   // the divider is not whole: log at the close value if the user agrees
    ChannelsOverRange,
    AutoStopTime,
    // (the file check is made by the program, which opens it)
};

struct LoggerSettings {
    LoggerCheck check = LoggerCheck::Ok;
    uint32_t divider = 0;   // of the 50 MHz clock
    double rate = 0;        // the rate actually used: 50 MHz / divider
    uint64_t channelMask = 0;
};

// rateHz as typed; autoStopSeconds < 0 when auto stop is off.
LoggerSettings checkLoggerSettings(double rateHz, int channels, double autoStopSeconds);

struct LoggerRecord {
    uint8_t status = 0;
    uint64_t clocks = 0;  // 56-bit sample-clock count
    uint64_t value = 0;   // masked data bits 0-35
    bool lost() const { return (status & kRecordLost) != 0; }
    bool isData() const { return (status & kRecordNotData) == 0; }
};

LoggerRecord decodeLoggerRecord(const uint8_t* p, uint64_t channelMask);

// "Sampling Rate = 3.00Hz\r\nFormat: Sample Clocks(Dec), Data(Hex)\r\n"
std::string loggerHeader(double rate);

// Turns streamed records into text lines: one "%015d %09X" line per data record; a run of lost-data
// records becomes one "***** lose data *****" line, and a later data record re-arms the marker.
class LoggerText {
public:
    explicit LoggerText(uint64_t channelMask) : mask_(channelMask) {}
    // Appends the lines of the whole records in [data, data + bytes); skipFirst drops the first one
    // (the first record of a run is the board's stale one).
    void convert(const uint8_t* data, size_t bytes, bool skipFirst, std::string& out);
    bool lostAny() const { return lostAny_; }

private:
    uint64_t mask_;
    bool markArmed_ = true;
    bool lostAny_ = false;
};

// Post-process logging keeps the raw records of a block in a temporary file: records that are not
// data are dropped, and so is a lost-data record that follows another kept lost-data record (also
// across blocks: lastKeptLost carries the state). skipFirst drops the run's first record.
void keepRawRecords(const uint8_t* data, size_t bytes, bool skipFirst, bool& lastKeptLost,
                    std::vector<uint8_t>& out);

}  // namespace kv
