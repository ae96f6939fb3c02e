// Hardware-information selectors of an open device.
#include "runtime/device.h"
#include "runtime/halvex_api.h"

namespace kv {

namespace {
// Codes of the 0x2xxx generation whose trigger counts only to 255 like the older boards.
bool shortCounter(int code) {
    return code == 0x2031 || code == 0x2032 || code == 0x2064 || code == 0x2116 || code == 0x2216 || code == 0x2416;
}
uint32_t u(int64_t v) { return static_cast<uint32_t>(v); }
}  // namespace

uint32_t deviceHwInfo(const KvDevice& d, uint32_t selector) {
    const KvDeviceSlot& s = d.slot;
    const bool nanlyn = d.isNanlyn();
    const int64_t bytesPerSample = static_cast<int64_t>(s.wordsPerSample) * s.bitsPerWord / 8;
    switch (selector) {
        case kHwKind: return s.kind;
        case kHwInterfaceCode: return u(s.interfaceCode);
        case kHwFamily: return u(s.family);
        case kHwSubIndex: return u(s.subIndex);
        case kHwProductCode: return u(foldedProductCode(s.productCode));
        case kHwDepth: return nanlyn ? u(d.mode.usableDepth) : u(s.depth);
        case kHwTriggerDelay: return u(s.triggerDelay);
        case kHwWordsPerSample: return u(s.wordsPerSample);
        case kHwChannelCount: return u(s.channels);
        case kHwBitsPerWord: return u(s.bitsPerWord);
        case kHwLargestCount:
            if (nanlyn) return u(d.mode.largestCount);
            return (s.productCode & 0xF000) == 0x2000 && !shortCounter(s.productCode) ? 4095u : 255u;
        case kHwCaptureLength: return u(s.captureLength);
        case kHwSamplesPerWord: return nanlyn ? u(d.mode.samplesPerWord) : 1u;
        case kHwFirstSamplePhase: return d.firstSamplePhase;
        case kHwMemoryBytes:
            return nanlyn ? u(static_cast<int64_t>(d.mode.usableDepth) * 8) : u(s.depth * bytesPerSample);
        case kHwReadBytes:
            return nanlyn ? u(static_cast<int64_t>(s.captureLength) * 8) : u(s.captureLength * bytesPerSample);
        case kHwUnwrittenSamples: return d.unwrittenSamples;
        case kHwTimeStampPre: return d.timeStampBefore;
        case kHwTimeStampTotal: return d.timeStampTotal;
        case kHwLastReadResult: return d.lastReadResult;
        case kHwAlignCorrection:
        case kHwAlignCorrection + 1:
        case kHwAlignCorrection + 2:
        case kHwAlignCorrection + 3:
        case kHwAlignCorrection + 4: return d.alignResults[selector - kHwAlignCorrection];
        case kHwUsbVersion: return u(d.usb->usbVersion());
        case kHwUsbHandle: return d.usb->deviceHandle();
        default: return 0;
    }
}

void setDeviceHwInfo(KvDevice& d, const RuntimeEnv& env, uint32_t selector, uint32_t value) {
    switch (selector) {
        case kHwSelectMode:
            if (d.isNanlyn()) loadFpgaImage(d, env, static_cast<int>(value));
            break;
        case kHwSampleGroup:
            if (d.isNanlyn()) d.sampleGroup = value;
            break;
        case kHwHold: d.usb->setHold(static_cast<int>(value)); break;
        case kHwSetCaptureLength: d.slot.captureLength = static_cast<int32_t>(value); break;
        case kHwStatusOption: d.statusOption = value & 0x3F; break;
        default: break;
    }
}

}  // namespace kv
