#include "scope_runtime/scope_unit.h"

#include <algorithm>
#include <cstring>

#include "runtime/le_bytes.h"

namespace kv {
namespace zentro {

std::string ScopeIdentity::serialText() const { return std::string(serial, strnlen(serial, sizeof serial)); }

bool ScopeUnit::open(int deviceNumber) { return usb.open(deviceNumber, kScopeVendorId, kScopeProductId, 0) != 0; }

bool ScopeUnit::frame(const uint8_t* args, uint32_t n, uint8_t cmd) {
    std::vector<uint8_t> f = {0x5A, 0x0F, kScopeFrameFamily, cmd};
    f.insert(f.end(), args, args + n);
    return usb.bulkWrite(f.data(), static_cast<uint32_t>(f.size()), kBulkTargetCommand) != 0;
}

bool ScopeUnit::command(uint8_t cmd) { return frame(nullptr, 0, cmd); }

bool ScopeUnit::initialise(const std::vector<uint8_t>& image) {
    if (!usb.writeControl(kScopeWakeControl)) return false;
    std::vector<uint8_t> load(4);
    putLe32(load.data(), static_cast<uint32_t>(image.size()));
    load.insert(load.end(), image.begin(), image.end());
    if (!frame(load.data(), static_cast<uint32_t>(load.size()), kCmdLoadImage)) return false;
    if (!readIdentity()) return false;
    uint8_t t[kIdentityTextBytes] = {};
    if (!command(kCmdIdentityTexts) || !usb.bulkRead(t, sizeof t, kBulkTargetCommand)) return false;
    std::memcpy(identity.modelText, t, 32);
    std::memcpy(identity.secondText, t + 32, 32);
    std::memcpy(identity.serial, t + 64, 16);
    identity.value3 = getLe32(t + 80);
    identity.value4 = getLe32(t + 84);
    // The texts are NUL-terminated for every caller, whatever the scope sent.
    identity.modelText[31] = identity.secondText[31] = 0;
    return true;
}

bool ScopeUnit::readIdentity() {
    uint8_t r[kIdentityBytes] = {};
    if (!command(kCmdIdentity) || !usb.bulkRead(r, sizeof r, kBulkTargetCommand)) return false;
    identity.model = static_cast<uint32_t>(r[0]) << 8 | r[1];
    identity.second = static_cast<uint32_t>(r[2]) << 16 | static_cast<uint32_t>(r[3]) << 8 | r[4];
    identity.third = static_cast<uint32_t>(r[5]) << 24 | static_cast<uint32_t>(r[6]) << 16 |
                     static_cast<uint32_t>(r[7]) << 8 | r[8];
    return true;
}

int ScopeUnit::status() { return usb.readStatus(); }

bool ScopeUnit::sendFrontEnd(int channel, uint16_t code) {
    uint8_t a[3] = {static_cast<uint8_t>(channel), 0, 0};
    putLe16(a + 1, code);
    if (!frame(a, sizeof a, kCmdFrontEnd)) return false;
    frontEnd[channel & 1] = code;
    return true;
}

bool ScopeUnit::sendOffsets(const int32_t offsets[2]) {
    for (int c = 0; c < 2; ++c) {
        uint8_t a[5] = {static_cast<uint8_t>(c)};
        putLe32(a + 1, static_cast<uint32_t>(offsets[c]));
        if (!frame(a, sizeof a, kCmdOffset)) return false;
    }
    return true;
}

bool ScopeUnit::sendSetUp(const ScopeSetUp& s) {
    uint8_t a[ScopeSetUp::kBytes];
    uint8_t* p = a;
    putLe32(p, s.clockHz);
    p[4] = s.path;
    p[5] = s.passes;
    putLe32(p + 6, s.samples);
    putLe32(p + 10, s.address);
    putLe32(p + 14, s.post);
    putLe32(p + 18, s.etTrigger);
    putLe16(p + 22, s.threshold);
    p[24] = s.source;
    putLe32(p + 25, s.flags);
    putLe64(p + 29, s.holdOff);
    return frame(a, sizeof a, kCmdSetUp);
}

bool ScopeUnit::readMemory(uint32_t first, uint32_t count, uint32_t* out, std::vector<uint8_t>& chunk) {
    const uint32_t perChunk = static_cast<uint32_t>(chunk.size() / 4);
    if (perChunk == 0) return false;
    for (uint32_t done = 0; done < count;) {
        const uint32_t n = std::min(perChunk, count - done);
        uint8_t a[8];
        putLe32(a, first + done);
        putLe32(a + 4, n);
        if (!frame(a, sizeof a, kCmdReadMemory) || !usb.bulkRead(chunk.data(), n * 4, kBulkTargetData)) return false;
        for (uint32_t i = 0; i < n; ++i) out[done + i] = getLe32(chunk.data() + 4 * i);
        done += n;
    }
    return true;
}

}  // namespace zentro
}  // namespace kv
