// The data logger's board and its logging run: finding a Nanlyn board on USB, loading the logger
// image and setting the board up, starting the change-record stream, and the run that turns the
// stream into the text file (directly, or raw first and converted after the stop).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "logger/logger_core.h"
#include "runtime/device.h"

namespace kv {

enum : uint16_t { kLoggerVendorId = 0x05E3, kLoggerProductId = 0x013B };
enum : int { kLoggerImageId = 129, kLoggerThresholdMv = 1450 };

// The logger's own FPGA image (generated at build time with the library's images); false when absent.
bool embeddedLoggerImage(int id, std::vector<uint8_t>& out);

// Tries USB device numbers 0-127 for a Nanlyn board; on success the device holds the open channel,
// its ports and product code, and 1 is returned.
int findLoggerBoard(KvDevice& d);

// Loads the logger image, sets the clock chip to its 50 MHz reference and both thresholds to
// 1,450 mV. 1 when the board took everything.
int setUpLoggerBoard(KvDevice& d, const RuntimeEnv& env, const std::vector<uint8_t>& image);

// Starts the stream at 50 MHz / divider for the given number of channels (1-36).
int startLoggerStream(KvDevice& d, uint32_t divider, int channels);

// What the run needs from the program around it.
struct LoggerHooks {
    std::function<bool()> stopRequested;
    std::function<uint64_t()> nowMs;             // a monotonic clock
    std::function<void(uint64_t)> showSeconds;   // elapsed whole seconds, when they change
    std::function<void()> autoStopped;           // the time limit was reached (the program posts Stop)
    // Creates an empty temporary file with the prefix "AQ" in a folder; its name, or empty.
    std::function<std::string(const std::string& folder)> makeTempFile;
};

struct LoggerJob {
    std::string outputPath;       // opened for binary writing ("w+b") at Start
    bool postProcess = false;
    LoggerSettings settings;      // divider, rate and channel mask
    int channels = 0;
    double autoStopSeconds = -1;  // < 0: no time limit
};

enum class LoggerEnd { Done, BoardFailed, FileFailed };

struct LoggerResult {
    LoggerEnd end = LoggerEnd::Done;
    bool lostData = false;
    uint64_t records = 0;         // data lines written
};

// The folder part of a path ("." when there is none).
std::string folderOf(const std::string& path);

// The whole logging run on a found board: set-up, stream, file, and the conversion of a
// post-processed run. `output` is the file opened at Start; the run closes it.
LoggerResult runLoggerJob(KvDevice& d, const RuntimeEnv& env, const std::vector<uint8_t>& image, const LoggerJob& job,
                          std::FILE* output, const LoggerHooks& hooks);

}  // namespace kv
