#include "tools/kvdecode/kvdecode_cli.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace kv {

const char kKvDecodeUsage[] =
    "usage:\n"
    "  kvdecode uart --rate HZ --line N [--baud B --framing N-8-1] [--invert] FILE\n"
    "  kvdecode i2c  --rate HZ --scl N --sda N FILE\n"
    "  kvdecode spi  --rate HZ --sck N --cs N --data N [--bits 16] [--cs-high] [--falling] FILE\n"
    "  kvdecode i2s  --rate HZ --sck N --ws N --sd N --bits N FILE\n"
    "\n"
    "Decodes a raw capture with the KV viewer's protocol decoders.\n"
    "FILE holds one byte per sample, bit n = channel n; --sample-bytes 2|4|8 reads wider\n"
    "little-endian samples (a trailing partial sample is ignored with a warning).\n"
    "\n"
    "  --rate HZ        sample frequency; accepted by every protocol, required by uart\n"
    "  uart             without --baud, baud rate and framing are detected; --baud (1 to\n"
    "                   10000000) and --framing (N|E|O-8|7|6|5-1|2, e.g. E-7-2) come together.\n"
    "                   The line idles high unless --invert (RS-232 levels: idle low). When\n"
    "                   the given polarity decodes nothing, the other one is tried.\n"
    "  i2c              when nothing decodes, SCL and SDA are tried the other way round\n"
    "  spi              --bits 8 (default) or 16, --cs-high: chip select active high,\n"
    "                   --falling: data taken on the falling clock edge\n"
    "  i2s              --bits 8 to 24: word length\n"
    "\n"
    "Output: one line per stored item, in order: the sample index, a space, and the value word\n"
    "as 8 upper-case hexadecimal digits, markers and closing items included.\n"
    "Exit status: 0 decoded, 1 nothing decoded (no output), 2 bad arguments or unreadable file.\n";

namespace {

bool parseInt(const std::string& s, long long lo, long long hi, long long& v) {
    if (s.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long long x = std::strtoll(s.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || x < lo || x > hi) return false;
    v = x;
    return true;
}

}  // namespace

std::string parseKvDecodeArgs(const std::vector<std::string>& args, KvDecodeRequest& r) {
    r = KvDecodeRequest();
    for (const std::string& a : args)
        if (a == "--help" || a == "-h") {
            r.help = true;
            return std::string();
        }
    if (args.empty()) return "no protocol given";
    const std::string& p = args[0];
    const char* names[3] = {nullptr, nullptr, nullptr};
    if (p == "uart") {
        r.protocol = Protocol::Uart;
        names[0] = "--line";
    } else if (p == "i2c") {
        r.protocol = Protocol::I2c;
        names[0] = "--scl";
        names[1] = "--sda";
    } else if (p == "spi") {
        r.protocol = Protocol::Spi;
        names[0] = "--sck";
        names[1] = "--cs";
        names[2] = "--data";
    } else if (p == "i2s") {
        r.protocol = Protocol::I2s;
        names[0] = "--sck";
        names[1] = "--ws";
        names[2] = "--sd";
    } else {
        return "unknown protocol '" + p + "' (uart, i2c, spi or i2s)";
    }
    bool bitsGiven = false, baudGiven = false;
    long long channelValue[3] = {-1, -1, -1};
    for (size_t k = 1; k < args.size(); ++k) {
        const std::string& a = args[k];
        auto value = [&](std::string& v) {
            if (k + 1 >= args.size()) return false;
            v = args[++k];
            return true;
        };
        std::string v;
        long long n = 0;
        int channelSlot = -1;
        for (int c = 0; c < 3; ++c)
            if (names[c] && a == names[c]) channelSlot = c;
        if (channelSlot >= 0) {
            if (!value(v) || !parseInt(v, 0, 63, n)) return a + " needs a channel number 0 to 63";
            channelValue[channelSlot] = n;
        } else if (a == "--rate") {
            if (!value(v) || !parseInt(v, 1, LLONG_MAX, n)) return "--rate needs a sample frequency in Hz above 0";
            r.rate = static_cast<double>(n);
            r.rateGiven = true;
        } else if (a == "--sample-bytes") {
            if (!value(v) || !parseInt(v, 1, 8, n) || (n != 2 && n != 4 && n != 8 && n != 1))
                return "--sample-bytes must be 2, 4 or 8";
            r.sampleBytes = static_cast<int32_t>(n);
        } else if (a == "--baud" && r.protocol == Protocol::Uart) {
            if (!value(v) || !parseInt(v, kUartMinBaud, kUartMaxBaud, n)) return "--baud must be 1 to 10000000";
            r.baud = static_cast<int32_t>(n);
            baudGiven = true;
        } else if (a == "--framing" && r.protocol == Protocol::Uart) {
            if (!value(v) || (r.framing = uartProtocolIndex(v)) < 0)
                return "--framing must be one of N-8-1 ... O-5-2 (parity N/E/O, data bits 8/7/6/5, stop bits 1/2)";
        } else if (a == "--invert" && r.protocol == Protocol::Uart) {
            r.invert = true;
        } else if (a == "--bits" && (r.protocol == Protocol::Spi || r.protocol == Protocol::I2s)) {
            if (!value(v)) return "--bits needs a number";
            const bool spi = r.protocol == Protocol::Spi;
            if (!parseInt(v, spi ? 8 : 8, spi ? 16 : kI2sMaxWordBits, n) || (spi && n != 8 && n != 16))
                return spi ? "--bits must be 8 or 16 for spi" : "--bits must be 8 to 24 for i2s";
            r.bits = static_cast<int32_t>(n);
            bitsGiven = true;
        } else if (a == "--cs-high" && r.protocol == Protocol::Spi) {
            r.csHigh = true;
        } else if (a == "--falling" && r.protocol == Protocol::Spi) {
            r.falling = true;
        } else if (a.size() > 1 && a[0] == '-') {
            return "unknown option '" + a + "' for " + p;
        } else if (r.file.empty()) {
            r.file = a;
        } else {
            return "more than one file given";
        }
    }
    for (int c = 0; c < 3; ++c) {
        if (!names[c]) continue;
        if (channelValue[c] < 0) return std::string(names[c]) + " is required";
        r.channels[c] = static_cast<int32_t>(channelValue[c]);
    }
    if (r.protocol == Protocol::Uart && !r.rateGiven) return "--rate is required for uart";
    if (baudGiven != (r.framing >= 0)) return "--baud and --framing come together";
    if (r.protocol == Protocol::I2s && !bitsGiven) return "--bits is required for i2s";
    if (r.file.empty()) return "no capture file given";
    for (int c = 0; c < 3; ++c)
        if (r.channels[c] >= r.sampleBytes * 8)
            return "channel " + std::to_string(r.channels[c]) + " is not in a sample of " +
                   std::to_string(r.sampleBytes) + " byte(s)";
    return std::string();
}

int runKvDecode(const KvDecodeRequest& r, const std::vector<uint8_t>& file, std::string& out, std::string& warnings) {
    const size_t w = static_cast<size_t>(r.sampleBytes);
    const size_t count = file.size() / w;
    if (file.size() % w != 0)
        warnings += "warning: the last " + std::to_string(file.size() % w) + " byte(s) are not a whole sample and are ignored\n";
    if (count > static_cast<size_t>(INT32_MAX) / w) {
        warnings += "error: the capture holds more samples than a capture can\n";
        return 2;
    }
    // The store reads whole 8-byte words: spare bytes behind the last sample.
    std::vector<uint8_t> data(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(count * w));
    data.resize(count * w + 16, 0);
    SampleStore store;
    const int32_t bits = static_cast<int32_t>(w * 8);
    store.attach(data.data(), static_cast<int32_t>(count * w), bits, bits, bits, kStoragePacked);

    const DecodedItems* items = nullptr;
    bool ok = false;
    UartDecoder uart;
    I2cDecoder i2c;
    SpiDecoder spi;
    I2sDecoder i2s;
    switch (r.protocol) {
        case Protocol::Uart: {
            // As the viewer builds the options from a label: invert flag -> idle low.
            LabelEntry label;
            label.flags = kLabelUart | (r.invert ? kLabelInvert : 0u);
            if (r.framing >= 0)
                label.flags |= kLabelExplicit | (static_cast<uint32_t>(r.framing) << kLabelParamShift);
            label.baud = r.baud;
            ok = decodeUart(uart, uartOptions(label), store, r.channels[0], r.rate, r.baud);
            items = &uart.items;
            break;
        }
        case Protocol::I2c:
            // The viewer's group: SDA is the head, SCL the tail.
            ok = decodeI2c(i2c, store, r.channels[1], r.channels[0]);
            items = &i2c.items;
            break;
        case Protocol::Spi: {
            uint32_t flags = kLabelSpi | (static_cast<uint32_t>(r.bits) << kLabelParamShift);
            if (r.csHigh) flags |= kLabelExplicit;
            if (r.falling) flags |= kLabelSpiFalling;
            ok = spi.run(spiOptions(flags), store, r.channels[0], r.channels[1], r.channels[2]);
            items = &spi.items;
            break;
        }
        case Protocol::I2s:
            ok = i2s.run(i2sWordBits(static_cast<uint32_t>(r.bits) << kLabelParamShift), store, r.channels[0],
                         r.channels[1], r.channels[2]);
            items = &i2s.items;
            break;
        case Protocol::None: return 2;
    }
    if (!ok) return 1;
    char line[32];
    for (size_t k = 0; k < items->size(); ++k) {
        std::snprintf(line, sizeof line, "%d %08X\n", items->positions[k], static_cast<uint32_t>(items->values[k]));
        out += line;
    }
    return 0;
}

}  // namespace kv
