#include "tests/support/bus_cases.h"

#include "tests/support/bus_traffic.h"

namespace kvtest {

namespace {

std::vector<uint8_t> text(const char* s) { return std::vector<uint8_t>(s, s + std::char_traits<char>::length(s)); }

BusCase uartCase(const std::string& name, int64_t rate, int baud, const std::string& framing, bool detect,
                 bool idleHigh, const std::vector<uint8_t>& bytes) {
    BusCase c;
    c.name = name;
    c.rate = rate;
    Traffic t(idleHigh ? 1 : 0);
    const double spb = static_cast<double>(rate) / baud;
    t.hold(static_cast<int64_t>(spb * 5));
    // Three bursts with idle gaps of 0, 2 and 30 bit times between the bytes.
    const size_t third = bytes.size() / 3;
    uartBytes(t, 0, spb, framing, std::vector<uint8_t>(bytes.begin(), bytes.begin() + third), idleHigh, 0);
    t.hold(static_cast<int64_t>(spb * 17));
    uartBytes(t, 0, spb, framing, std::vector<uint8_t>(bytes.begin() + third, bytes.begin() + 2 * third), idleHigh, 2);
    t.hold(static_cast<int64_t>(spb * 40));
    uartBytes(t, 0, spb, framing, std::vector<uint8_t>(bytes.begin() + 2 * third, bytes.end()), idleHigh, 30);
    t.hold(static_cast<int64_t>(spb * 20));
    c.samples = t.samples();
    c.kvdecodeArgs = "uart --rate " + std::to_string(rate) + " --line 0";
    if (!detect) c.kvdecodeArgs += " --baud " + std::to_string(baud) + " --framing " + framing;
    if (!idleHigh) c.kvdecodeArgs += " --invert";
    const char parity = framing[0];
    c.sigrokDecoder = "uart:rx=D0:baudrate=" + std::to_string(baud) + ":data_bits=" + framing.substr(2, 1) +
                      ":parity=" + (parity == 'N' ? "none" : parity == 'E' ? "even" : "odd") +
                      ":stop_bits=" + framing.substr(4, 1) + (idleHigh ? "" : ":invert_rx=yes");
    return c;
}

BusCase spiCase(const std::string& name, int bits, bool csHigh, bool falling) {
    BusCase c;
    c.name = name;
    c.rate = 10000000;
    Traffic t(0);
    const std::vector<uint32_t> words8 = {0x9F, 0x00, 0xFF, 0x5A, 0xA5, 0x01, 0x80};
    const std::vector<uint32_t> words16 = {0x1234, 0xFFFF, 0x0000, 0xBEEF, 0x8001};
    const std::vector<uint32_t>& words = bits == 16 ? words16 : words8;
    spiFrame(t, 2, 1, 0, 4, std::vector<uint32_t>(words.begin(), words.begin() + 2), bits, csHigh, falling);
    t.hold(37);
    spiFrame(t, 2, 1, 0, 5, std::vector<uint32_t>(words.begin() + 2, words.end()), bits, csHigh, falling);
    t.hold(50);
    c.samples = t.samples();
    c.kvdecodeArgs = "spi --rate 10000000 --sck 2 --cs 1 --data 0";
    if (bits == 16) c.kvdecodeArgs += " --bits 16";
    if (csHigh) c.kvdecodeArgs += " --cs-high";
    if (falling) c.kvdecodeArgs += " --falling";
    c.sigrokDecoder = std::string("spi:clk=D2:cs=D1:mosi=D0:wordsize=") + std::to_string(bits) +
                      ":cs_polarity=" + (csHigh ? "active-high" : "active-low") + ":cpol=" + (falling ? "1" : "0") +
                      ":cpha=0";
    return c;
}

BusCase i2sCase(const std::string& name, int bits, int slot) {
    BusCase c;
    c.name = name;
    c.rate = 10000000;
    Traffic t(0);
    std::vector<uint32_t> samples;
    for (int k = 0; k < 12; ++k) samples.push_back((0x9E3779B9u * static_cast<uint32_t>(k + 1)) >> (32 - bits));
    i2sFrames(t, 2, 1, 0, 3, samples, bits, slot);
    c.samples = t.samples();
    c.kvdecodeArgs = "i2s --rate 10000000 --sck 2 --ws 1 --sd 0 --bits " + std::to_string(bits);
    c.sigrokDecoder = "i2s:sck=D2:ws=D1:sd=D0";
    return c;
}

}  // namespace

std::vector<BusCase> busCases() {
    std::vector<BusCase> cases;
    const std::vector<uint8_t> hello = text("Hello, KV! 0123456789 ~\x7f\x01");
    cases.push_back(uartCase("uart_9600_n81_detect", 1000000, 9600, "N-8-1", true, true, hello));
    cases.push_back(uartCase("uart_115200_n81_detect", 100000000, 115200, "N-8-1", true, true, hello));
    cases.push_back(uartCase("uart_921600_n81_detect", 100000000, 921600, "N-8-1", true, true, hello));
    cases.push_back(uartCase("uart_115200_e72", 10000000, 115200, "E-7-2", false, true, text("7-bit even parity!")));
    cases.push_back(uartCase("uart_57600_o81", 4000000, 57600, "O-8-1", false, true, hello));
    cases.push_back(uartCase("uart_19200_n51", 1000000, 19200, "N-5-1", false, true,
                             {0x01, 0x1F, 0x00, 0x15, 0x0A, 0x11, 0x1E, 0x03, 0x10}));
    cases.push_back(uartCase("uart_9600_n81_rs232", 1000000, 9600, "N-8-1", true, false, hello));

    {
        BusCase c;
        c.name = "i2c_write_read_nak";
        c.rate = 10000000;
        Traffic t(3);  // SDA channel 0, SCL channel 1
        t.hold(100);
        i2cTransfer(t, 1, 0, 12, {0xA0, 0x10, 0x42, 0x43});              // write
        t.hold(60);
        i2cTransfer(t, 1, 0, 12, {0xA0, 0x10}, {}, true);                // register, repeated start
        i2cTransfer(t, 1, 0, 12, {0xA1, 0x42, 0x43, 0xFF}, {3});         // read, NAK on the last
        t.hold(60);
        i2cTransfer(t, 1, 0, 12, {0x3C}, {0});                           // nobody answers
        t.hold(100);
        c.samples = t.samples();
        c.kvdecodeArgs = "i2c --rate 10000000 --scl 1 --sda 0";
        c.sigrokDecoder = "i2c:scl=D1:sda=D0";
        cases.push_back(c);
        // The same capture with the roles named the other way round: the retry swaps them.
        c.name = "i2c_roles_swapped";
        c.kvdecodeArgs = "i2c --rate 10000000 --scl 0 --sda 1";
        cases.push_back(c);
    }
    cases.push_back(spiCase("spi_8_rising_cs_low", 8, false, false));
    cases.push_back(spiCase("spi_8_falling_cs_low", 8, false, true));
    cases.push_back(spiCase("spi_8_rising_cs_high", 8, true, false));
    cases.push_back(spiCase("spi_16_falling_cs_high", 16, true, true));
    cases.push_back(spiCase("spi_16_rising_cs_low", 16, false, false));
    cases.push_back(i2sCase("i2s_16", 16, 16));
    cases.push_back(i2sCase("i2s_24_in_32", 24, 32));
    return cases;
}

}  // namespace kvtest
