// The cross-check captures decoded as kvdecode decodes them, against the sequences sigrok-cli
// decoded from the same captures (stored by scripts/decode-crosscheck.py), with the differences
// our decoders define: the first I2S word is a marker, and I2S words keep the given word length
// where sigrok reports the whole word-select slot.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/bus_cases.h"
#include "tools/kvdecode/kvdecode_cli.h"

using namespace kv;

namespace {

std::vector<std::string> readLines(const std::string& path) {
    std::vector<std::string> lines;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return lines;
    std::string line;
    for (int c; (c = std::fgetc(f)) != EOF;) {
        if (c == '\n') {
            if (!line.empty()) lines.push_back(line);
            line.clear();
        } else if (c != '\r') {
            line += static_cast<char>(c);
        }
    }
    if (!line.empty()) lines.push_back(line);
    std::fclose(f);
    return lines;
}

std::vector<std::string> split(const std::string& s) {
    std::istringstream in(s);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

// The tokens of the script's ours_tokens().
std::vector<std::string> tokensOf(Protocol p, const std::string& output) {
    std::vector<std::pair<int64_t, uint32_t>> items;
    std::istringstream in(output);
    long long pos;
    std::string hex;
    while (in >> pos >> hex) items.emplace_back(pos, static_cast<uint32_t>(std::stoul(hex, nullptr, 16)));
    std::vector<std::string> out;
    char t[32];
    for (size_t k = 0; k < items.size(); ++k) {
        const uint32_t v = items[k].second;
        switch (p) {
            case Protocol::Uart:
                if (k + 1 == items.size()) break;  // the closing entry
                std::snprintf(t, sizeof t, "%02X", v);
                out.push_back(t);
                break;
            case Protocol::I2c:
                if (v == static_cast<uint32_t>(kI2cStartMarker)) break;
                if (v & kI2cAddress)
                    std::snprintf(t, sizeof t, "A%02X%c", (v & 0xFF) >> 1, (v & 1) ? 'R' : 'W');
                else
                    std::snprintf(t, sizeof t, "%02X", v & 0xFF);
                out.push_back(std::string(t) + ((v & kI2cNak) ? "!" : ""));
                break;
            case Protocol::Spi:
                if (v & kSpiIncomplete) {
                    out.push_back("?");
                } else if (!(v & kSpiMarkers)) {
                    std::snprintf(t, sizeof t, "%X", v & 0xFFFF);
                    out.push_back(t);
                }
                break;
            case Protocol::I2s:
                if (v & kI2sFirstWord) break;
                std::snprintf(t, sizeof t, "%c:%06X", (v & kI2sRight) ? 'R' : 'L', v & kI2sSampleMask);
                out.push_back(t);
                break;
            case Protocol::None: break;
        }
    }
    return out;
}

}  // namespace

TEST(DecodeCrossCheck, GeneratedCapturesDecodeAsSigrokDecodedThem) {
    const std::vector<kvtest::BusCase> cases = kvtest::busCases();
    ASSERT_GE(cases.size(), 16u);
    for (const kvtest::BusCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = split(c.kvdecodeArgs);
        args.push_back("capture.bin");
        KvDecodeRequest request;
        ASSERT_EQ(parseKvDecodeArgs(args, request), "");
        std::string out, warnings;
        ASSERT_EQ(runKvDecode(request, c.samples, out, warnings), 0);
        EXPECT_EQ(warnings, "");
        std::vector<std::string> expected = readLines(std::string(KV_TEST_DATA_DIR "/decode/") + c.name + ".txt");
        ASSERT_FALSE(expected.empty());
        if (request.protocol == Protocol::I2s) {
            expected.erase(expected.begin());
            for (std::string& e : expected)
                if (e.size() > 8) {
                    const unsigned long v = std::stoul(e.substr(2), nullptr, 16) >> (4 * (e.size() - 8));
                    std::snprintf(&e[2], e.size() - 1, "%06lX", v);
                    e.resize(8);
                }
        }
        EXPECT_EQ(tokensOf(request.protocol, out), expected);
    }
}

TEST(KvDecodeCli, RefusesBadArgumentsAndWarnsOfPartialSamples) {
    KvDecodeRequest r;
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"", "no protocol given"},
        {"can --rate 1 f", "unknown protocol 'can' (uart, i2c, spi or i2s)"},
        {"uart --line 0 f", "--rate is required for uart"},
        {"uart --rate 1000000 --line 0 --baud 9600 f", "--baud and --framing come together"},
        {"uart --rate 1000000 --line 0 --framing N-8-1 f", "--baud and --framing come together"},
        {"uart --rate 1000000 --line 0 --baud 0 --framing N-8-1 f", "--baud must be 1 to 10000000"},
        {"uart --rate 1000000 --line 0 --baud 10000001 --framing N-8-1 f", "--baud must be 1 to 10000000"},
        {"uart --rate 1000000 --line 0 --baud 9600 --framing N-9-1 f",
         "--framing must be one of N-8-1 ... O-5-2 (parity N/E/O, data bits 8/7/6/5, stop bits 1/2)"},
        {"uart --rate 1000000 --line 8 f", "channel 8 is not in a sample of 1 byte(s)"},
        {"uart --rate 0 --line 0 f", "--rate needs a sample frequency in Hz above 0"},
        {"i2c --scl 1 f", "--sda is required"},
        {"spi --sck 0 --cs 1 --data 2 --bits 12 f", "--bits must be 8 or 16 for spi"},
        {"i2s --sck 0 --ws 1 --sd 2 --bits 25 f", "--bits must be 8 to 24 for i2s"},
        {"i2s --sck 0 --ws 1 --sd 2 f", "--bits is required for i2s"},
        {"spi --sck 0 --cs 1 --data 2 --invert f", "unknown option '--invert' for spi"},
        {"spi --sck 0 --cs 1 --data 2", "no capture file given"},
        {"spi --sck 0 --cs 1 --data 2 --sample-bytes 3 f", "--sample-bytes must be 2, 4 or 8"},
    };
    for (const auto& b : bad) EXPECT_EQ(parseKvDecodeArgs(split(b.first), r), b.second) << b.first;
    EXPECT_EQ(parseKvDecodeArgs(split("spi --sck 0 --cs 1 --data 40 --sample-bytes 8 f"), r), "");
    EXPECT_EQ(parseKvDecodeArgs(split("i2c --help"), r), "");
    EXPECT_TRUE(r.help);

    // Two-byte samples, the I2C lines on channels 9 and 12, and a trailing odd byte.
    const kvtest::BusCase i2c = kvtest::busCases()[7];
    std::vector<uint8_t> wide;
    for (uint8_t s : i2c.samples) {
        wide.push_back(0x5A);
        wide.push_back(static_cast<uint8_t>(((s & 1) << 1) | ((s >> 1 & 1) << 4)));
    }
    wide.push_back(0xFF);
    ASSERT_EQ(parseKvDecodeArgs(split("i2c --scl 12 --sda 9 --sample-bytes 2 f"), r), "");
    std::string out, warnings, narrow, none;
    EXPECT_EQ(runKvDecode(r, wide, out, warnings), 0);
    EXPECT_EQ(warnings, "warning: the last 1 byte(s) are not a whole sample and are ignored\n");
    ASSERT_EQ(parseKvDecodeArgs(split(i2c.kvdecodeArgs + " f"), r), "");
    EXPECT_EQ(runKvDecode(r, i2c.samples, narrow, none), 0);
    EXPECT_EQ(out, narrow);
    // A decode that fails prints nothing and gives 1.
    out.clear();
    EXPECT_EQ(runKvDecode(r, std::vector<uint8_t>(1000, 3), out, warnings), 1);
    EXPECT_EQ(out, "");
}
