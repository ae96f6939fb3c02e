// The data logger against virtual Nanlyn boards: finding the board, its set-up and start frame, and
// whole logging runs (direct and post-processed) checked line by line against the board's signal.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "logger/logger_board.h"
#include "platform/shared_section.h"
#include "runtime/board_caps.h"
#include "runtime/fpga_image.h"
#include "simulator/virtual_system.h"

namespace kv {
namespace {

class LoggerBoardTest : public testing::Test {
protected:
    void SetUp() override {
        setDeviceIo(&sys);
        setSharedSections(&sections);
        env.sleepMs = [](uint32_t) {};
        ASSERT_TRUE(embeddedLoggerImage(kLoggerImageId, image));
    }
    void TearDown() override {
        device.reset();
        setDeviceIo(nullptr);
        setSharedSections(nullptr);
    }
    VirtualBoard& board(const char* config) {
        std::string error;
        EXPECT_TRUE(sys.addFromConfig(config, &error)) << error;
        VirtualBoard& b = *sys.boards().back();
        // The board's time and the program's move together: 1 ms per look at the program's clock.
        b.loggerNowNs = [this]() { return ms * 1000000; };
        return b;
    }
    // One run of `seconds` (auto stop) into a fresh file; the file's text.
    std::string run(bool postProcess, double rate, int channels, int seconds, LoggerResult* result = nullptr) {
        device = std::make_unique<KvDevice>();
        EXPECT_EQ(findLoggerBoard(*device), 1);
        LoggerJob job;
        job.outputPath = testing::TempDir() + "logger_run.log";
        job.postProcess = postProcess;
        job.settings = checkLoggerSettings(rate, channels, seconds);
        job.channels = channels;
        job.autoStopSeconds = seconds;
        temps.clear();
        autoStops = 0;
        LoggerHooks hooks;
        hooks.stopRequested = []() { return false; };
        hooks.nowMs = [this]() { return ms += step; };
        hooks.autoStopped = [this]() { ++autoStops; };
        hooks.makeTempFile = [this](const std::string& folder) {
            const std::string name = folder + "/AQ" + std::to_string(temps.size()) + ".tmp";
            std::fclose(std::fopen(name.c_str(), "wb"));
            temps.push_back(name);
            return name;
        };
        const LoggerResult r = runLoggerJob(*device, env, image, job, std::fopen(job.outputPath.c_str(), "w+b"), hooks);
        if (result) *result = r;
        std::ifstream in(job.outputPath, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    VirtualSystem sys;
    LocalSharedSections sections;
    RuntimeEnv env;
    std::vector<uint8_t> image;
    std::unique_ptr<KvDevice> device;
    uint64_t ms = 0;
    uint64_t step = 1;  // ms per look at the clock
    std::vector<std::string> temps;
    int autoStops = 0;
};

// Splits the file into its lines (without "\r\n").
std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find("\r\n", at);
        if (end == std::string::npos) break;
        out.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return out;
}

TEST_F(LoggerBoardTest, FindsOnlyANanlynBoard) {
    KvDevice none;
    EXPECT_EQ(findLoggerBoard(none), 0);  // nothing attached
    EXPECT_FALSE(none.usb->isOpen());
    board("usb0=pocket:2216:6;usb2=2032;usb5=2236");
    KvDevice d;
    ASSERT_EQ(findLoggerBoard(d), 1);
    EXPECT_EQ(d.usb->deviceNumber(), 5);
    EXPECT_EQ(d.slot.productCode, 0x2236);
    EXPECT_TRUE(d.isNanlyn());
}

TEST_F(LoggerBoardTest, DirectRunLogsEveryChangeOfTheLoggedChannels) {
    VirtualBoard& b = board("usb1=2136");
    b.loggerPeriod = 7;
    b.signalBase = 0x3F0;
    LoggerResult r;
    const std::vector<std::string> file = lines(run(false, 1000, 8, 2, &r));
    EXPECT_EQ(r.end, LoggerEnd::Done);
    EXPECT_EQ(autoStops, 1);
    // The board: the logger image, 1 kHz (divider 50,000), 8 channels, 1,450 mV on both groups,
    // stopped with control byte 242 after the run.
    EXPECT_EQ(b.configBytes(), (image.size() - kFpgaHeaderBytes) * kFpgaExpandedBytesPerByte);
    EXPECT_EQ(b.loggerDivider(), 50000u);
    EXPECT_EQ(b.loggerChannels(), 8);
    EXPECT_EQ(b.thresholdDac(0), thresholdDac(true, 0, 1450, 0));
    EXPECT_EQ(b.thresholdDac(1), thresholdDac(true, 0, 1450, 0));
    EXPECT_FALSE(b.loggerRunning());
    EXPECT_EQ(b.controlWrites().back(), 242);

    ASSERT_GT(file.size(), 200u);
    EXPECT_EQ(file[0], "Sampling Rate = 1000.00Hz");
    EXPECT_EQ(file[1], "Format: Sample Clocks(Dec), Data(Hex)");
    // Change k at sample clock 7k carries the signal's value k, masked to 8 channels; the stale
    // first record is not in the file, and no change is missing.
    for (size_t i = 2; i < file.size(); ++i) {
        const uint64_t k = i - 2;
        char want[32];
        std::snprintf(want, sizeof want, "%015llu %09llX", static_cast<unsigned long long>(7 * k),
                      static_cast<unsigned long long>(b.signal(k) & 0xFF));
        ASSERT_EQ(file[i], want) << "line " << i;
    }
    EXPECT_EQ(r.records, file.size() - 2);
}

TEST_F(LoggerBoardTest, LostRecordsGiveOneLineInBothModesAndPostProcessingLeavesNoTemporaryFile) {
    for (const char* bad : {"usb0=2036:lose=100", "usb0=2036:lose=+3", "usb0=2036:lose=1+x"})
        EXPECT_FALSE(sys.addFromConfig(bad)) << bad;
    VirtualBoard& b = board("usb0=2036:lose=100+3");
    LoggerResult direct, post;
    const std::string a = run(false, 500, 36, 1, &direct);
    ms = 0;
    const std::string c = run(true, 500, 36, 1, &post);
    ASSERT_EQ(temps.size(), 1u);
    EXPECT_FALSE(std::ifstream(temps[0]).good());  // removed after the conversion
    EXPECT_EQ(a, c);                               // the same board time gives the same file
    EXPECT_TRUE(direct.lostData);
    EXPECT_TRUE(post.lostData);
    const std::vector<std::string> file = lines(a);
    ASSERT_GT(file.size(), 110u);
    EXPECT_EQ(file[2 + 99], "000000000000099 000000063");
    EXPECT_EQ(file[2 + 100], "***** lose data *****");  // records 100-102
    EXPECT_EQ(file[2 + 101], "000000000000103 000000067");

    // A board streaming faster than it is read drops what its memory cannot hold.
    b.loggerFifo = 1500;
    ms = 0;
    step = 50;
    LoggerResult fast;
    const std::vector<std::string> overrun = lines(run(false, 50000000, 4, 1, &fast));
    EXPECT_TRUE(fast.lostData);
    EXPECT_NE(std::find(overrun.begin(), overrun.end(), "***** lose data *****"), overrun.end());
}

TEST_F(LoggerBoardTest, AFailingBoardEndsTheRunAndKeepsWhatWasLogged) {
    VirtualBoard& b = board("usb0=2136");
    device = std::make_unique<KvDevice>();
    ASSERT_EQ(findLoggerBoard(*device), 1);
    LoggerJob job;
    job.outputPath = testing::TempDir() + "logger_fail.log";
    job.postProcess = true;
    job.settings = checkLoggerSettings(1000, 4, -1);
    job.channels = 4;
    int reads = 0;
    LoggerHooks hooks;
    hooks.stopRequested = []() { return false; };
    hooks.nowMs = [&]() {
        if (++reads == 300) b.unplugged = true;  // pulled off the cable while logging
        return ++ms;
    };
    hooks.makeTempFile = [](const std::string& folder) {
        const std::string name = folder + "/AQfail.tmp";
        std::fclose(std::fopen(name.c_str(), "wb"));
        return name;
    };
    const LoggerResult r = runLoggerJob(*device, env, image, job, std::fopen(job.outputPath.c_str(), "w+b"), hooks);
    EXPECT_EQ(r.end, LoggerEnd::BoardFailed);
    EXPECT_GT(r.records, 200u);  // the records fetched before are converted all the same

    // An output that cannot be written is reported, not taken for success.
    job.postProcess = false;
    b.unplugged = false;
    EXPECT_EQ(runLoggerJob(*device, env, image, job, nullptr, hooks).end, LoggerEnd::FileFailed);
}

}  // namespace
}  // namespace kv
