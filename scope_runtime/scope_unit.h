// One scope as the library holds it: its USB channel, identity, calibration, the front-end codes
// last sent and the raw words of its last capture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "transport/usb_channel.h"
#include "scope_runtime/calibration.h"
#include "scope_runtime/scope_link.h"

namespace kv {
namespace zentro {

struct ScopeIdentity {
    uint32_t model = 0;
    uint32_t second = 0;
    uint32_t third = 0;
    char modelText[32] = {};
    char secondText[32] = {};
    char serial[16] = {};
    uint32_t value3 = 0;
    uint32_t value4 = 0;
    std::string serialText() const;  // up to the first NUL, at most 16 characters
};

class ScopeUnit {
public:
    // Opens the scope at a USB device number (scopes only: other products are closed again).
    bool open(int deviceNumber);
    void close() { usb.close(); }
    // Wakes the scope's logic, loads its FPGA image and reads both identity answers.
    bool initialise(const std::vector<uint8_t>& image);
    bool readIdentity();  // code and the two status words only
    int status();         // status byte, -1 on failure

    bool sendFrontEnd(int channel, uint16_t code);
    bool sendOffsets(const int32_t offsets[2]);
    bool sendSetUp(const ScopeSetUp& s);
    bool command(uint8_t cmd);  // a frame without arguments (arm, stop, force, clear overflow)
    // Reads `count` raw words from `first` on, through `chunk` (a work buffer) at a time.
    bool readMemory(uint32_t first, uint32_t count, uint32_t* out, std::vector<uint8_t>& chunk);

    UsbChannel usb;
    ScopeIdentity identity;
    Calibration calibration;
    int frontEnd[2] = {-1, -1};  // front-end code last sent per channel, -1 = none yet
    std::vector<uint32_t> raw;   // the last capture, oldest first (pass after pass in equivalent time)
    bool rawValid = false;

private:
    bool frame(const uint8_t* args, uint32_t n, uint8_t cmd);
};

}  // namespace zentro
}  // namespace kv
