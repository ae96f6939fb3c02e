#include "logger/logger_board.h"

#include <cstdio>
#include <memory>

#include "runtime/board_caps.h"
#include "runtime/sample_clock.h"

namespace kv {

namespace {

uint16_t lo16(uint32_t v) { return static_cast<uint16_t>(v & 0xFFFF); }
uint16_t hi16(uint32_t v) { return static_cast<uint16_t>(v >> 16); }

bool isNanlynCode(uint16_t code) { return code == 0x2036 || code == 0x2136 || code == 0x2236; }

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

bool writeAll(std::FILE* f, const void* data, size_t n) { return n == 0 || std::fwrite(data, 1, n, f) == n; }

}  // namespace

int findLoggerBoard(KvDevice& d) {
    for (int n = 0; n <= kMaxUsbDeviceNumber; ++n) {
        if (!d.usb->open(n, kLoggerVendorId, kLoggerProductId, 0)) continue;
        d.io.ports = usbPorts(d.usb.get());
        d.io.ports.interfaceCode = kIfUsb20;
        uint16_t code = 0, second = 0;
        const bool answered = d.io.writeAddress(kNanlynCtlRun) && d.io.writeAddress(kNanlynCtlCommand) &&
                              d.io.readNanlynWord(0x27, code) && d.io.readNanlynWord(0x36, second);
        if (answered && isNanlynCode(code)) {
            d.slot.interfaceCode = kIfUsb20;
            d.slot.family = kFamilyNanlyn;
            d.slot.productCode = code;
            return 1;
        }
        d.usb->close();
    }
    d.io.ports = BoardPorts();
    return 0;
}

int setUpLoggerBoard(KvDevice& d, const RuntimeEnv& env, const std::vector<uint8_t>& image) {
    if (!sendFpgaConfiguration(d, image, 0)) return 0;
    if (!setupNanlynReference(d, env)) return 0;
    if (!d.io.sendWordFrame({kFrameSync0, kFrameSync1, kFramePocket, 0x26, 0x00})) return 0;
    // Both input groups get the same level, sent as one threshold word.
    const int dac = thresholdDac(true, 0, kLoggerThresholdMv, 0);
    d.nanlynShadow[0] = d.nanlynShadow[1] = static_cast<uint8_t>(255 - dac);
    return sendThresholdData(d, -1, 0);
}

int startLoggerStream(KvDevice& d, uint32_t divider, int channels) {
    if (divider == 0 || channels < 1 || channels > kLoggerMaxChannels) return 0;
    BoardIo& io = d.io;
    if (!io.writeAddress(kNanlynCtlArm) || !io.writeAddress(kNanlynCtlRun)) return 0;
    const uint32_t dv = divider - 1, ch = static_cast<uint32_t>(channels - 1);
    return io.sendWordFrame({kFrameSync0, kFrameSync1, kFramePocket, 0x22, lo16(dv), hi16(dv),
                             kFrameSync0, kFrameSync1, kFramePocket, 0x24, 0,
                             kFrameSync0, kFrameSync1, kFramePocket, 0x22, lo16(ch), hi16(ch),
                             kFrameSync0, kFrameSync1, kFramePocket, 0x34,
                             kFrameSync0, kFrameSync1, kFramePocket, 0x01});
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    if (slash == std::string::npos) return ".";
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

LoggerResult runLoggerJob(KvDevice& d, const RuntimeEnv& env, const std::vector<uint8_t>& image, const LoggerJob& job,
                          std::FILE* output, const LoggerHooks& hooks) {
    LoggerResult result;
    File out(output, std::fclose);
    File raw(nullptr, std::fclose);
    std::string tempPath;
    LoggerText text(job.settings.channelMask);
    bool fileOk = true;
    if (!out) fileOk = false;
    else if (!job.postProcess) {
        const std::string header = loggerHeader(job.settings.rate);
        fileOk = writeAll(out.get(), header.data(), header.size());
    } else {
        // Raw records go to a temporary file beside the output (the same volume, room for both).
        tempPath = hooks.makeTempFile ? hooks.makeTempFile(folderOf(job.outputPath)) : std::string();
        if (!tempPath.empty()) raw.reset(std::fopen(tempPath.c_str(), "w+b"));
        fileOk = raw != nullptr;
    }
    if (!fileOk) {
        if (!tempPath.empty()) std::remove(tempPath.c_str());
        result.end = LoggerEnd::FileFailed;
        return result;
    }
    if (!setUpLoggerBoard(d, env, image) || !startLoggerStream(d, job.settings.divider, job.channels)) {
        result.end = LoggerEnd::BoardFailed;
    } else {
        const uint64_t begin = hooks.nowMs();
        uint64_t shown = ~0ull;
        bool first = true, lastKeptLost = false;
        std::vector<uint8_t> block(kLoggerBlockBytes), kept;
        std::string lines;
        while (!hooks.stopRequested()) {
            const uint64_t seconds = (hooks.nowMs() - begin) / 1000;
            if (seconds != shown) {
                shown = seconds;
                if (hooks.showSeconds) hooks.showSeconds(seconds);
            }
            if (job.autoStopSeconds >= 0 && static_cast<double>(seconds) >= job.autoStopSeconds) {
                if (hooks.autoStopped) hooks.autoStopped();
                break;
            }
            if (!d.usb->bulkRead(block.data(), kLoggerBlockBytes, kBulkTargetCommand)) {
                result.end = LoggerEnd::BoardFailed;
                break;
            }
            if (job.postProcess) {
                kept.clear();
                keepRawRecords(block.data(), block.size(), first, lastKeptLost, kept);
                if (!writeAll(raw.get(), kept.data(), kept.size())) result.end = LoggerEnd::FileFailed;
            } else {
                lines.clear();
                text.convert(block.data(), block.size(), first, lines);
                result.records += lines.size() / kLoggerLineChars;
                if (!writeAll(out.get(), lines.data(), lines.size())) result.end = LoggerEnd::FileFailed;
            }
            first = false;
            if (result.end != LoggerEnd::Done) break;
        }
    }
    d.io.writeAddress(kNanlynCtlArm);
    if (job.postProcess && result.end != LoggerEnd::FileFailed) {
        // The output gets the header, then the kept records as text, chunk by chunk.
        std::rewind(raw.get());
        const std::string header = loggerHeader(job.settings.rate);
        bool ok = writeAll(out.get(), header.data(), header.size());
        std::vector<uint8_t> chunk(kLoggerBlockBytes);
        std::string lines;
        size_t got;
        while (ok && (got = std::fread(chunk.data(), 1, chunk.size(), raw.get())) > 0) {
            lines.clear();
            text.convert(chunk.data(), got, false, lines);
            result.records += lines.size() / kLoggerLineChars;
            ok = writeAll(out.get(), lines.data(), lines.size());
        }
        if (!ok || std::ferror(raw.get())) result.end = LoggerEnd::FileFailed;
    }
    raw.reset();
    if (!tempPath.empty()) std::remove(tempPath.c_str());
    if (std::fclose(out.release()) != 0 && result.end == LoggerEnd::Done) result.end = LoggerEnd::FileFailed;
    result.lostData = text.lostAny();
    return result;
}

}  // namespace kv
