#include "platform/device_io.h"

namespace kv {

std::unique_ptr<DeviceFile> NullDeviceIo::open(const std::string&, uint32_t) { return nullptr; }
uint8_t NullDeviceIo::inByte(uint32_t) { return 0xFF; }  // nothing drives the bus: it floats high
void NullDeviceIo::outByte(uint32_t, uint8_t) {}
uint16_t NullDeviceIo::inWord(uint32_t) { return 0xFFFF; }
void NullDeviceIo::outWord(uint32_t, uint16_t) {}
OsVersion NullDeviceIo::osVersion() { return OsVersion{}; }

namespace {
NullDeviceIo g_nullIo;
DeviceIo* g_io = &g_nullIo;
}  // namespace

DeviceIo& deviceIo() { return *g_io; }
void setDeviceIo(DeviceIo* io) { g_io = io ? io : &g_nullIo; }

}  // namespace kv
