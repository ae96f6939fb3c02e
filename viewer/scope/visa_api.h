// The VISA calls the SCPI scope needs, as the viewer makes them. The Win32 binding forwards each to
// the entry point of "VISA32.DLL" named in its comment, with the formats given there; the tests
// answer them over a virtual SCPI scope. Statuses below 0 are failures, as in VISA.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kv {

using ViStatus = int32_t;
using ViSession = uint32_t;

constexpr ViStatus kViSuccess = 0;
constexpr ViStatus kViErrorResourceNotFound = static_cast<ViStatus>(0xBFFF0011u);
constexpr uint32_t kViAttrWriteBufferMode = 0x3FFF002D;  // VI_ATTR_WR_BUF_OPER_MODE
constexpr uint32_t kViAttrReadBufferMode = 0x3FFF002A;   // VI_ATTR_RD_BUF_OPER_MODE
constexpr uint32_t kViFlushOnAccess = 1;
constexpr uint32_t kViFlushDisable = 3;
constexpr uint16_t kViFlushWriteAndDiscardRead = 6;  // VI_WRITE_BUF | VI_READ_BUF_DISCARD
constexpr uint16_t kViFlushReadToEnd = 1;             // VI_READ_BUF: the rest of the message is read and dropped
constexpr size_t kViDescriptionBytes = 256;

class VisaApi {
public:
    virtual ~VisaApi() = default;
    virtual ViStatus openDefaultRM(ViSession* rm) = 0;                                        // viOpenDefaultRM
    virtual ViStatus findRsrc(ViSession rm, const char* expr, ViSession* list, uint32_t* count,
                              char description[kViDescriptionBytes]) = 0;                     // viFindRsrc
    virtual ViStatus open(ViSession rm, const char* name, uint32_t mode, uint32_t timeout, ViSession* vi) = 0;  // viOpen
    virtual ViStatus close(ViSession object) = 0;                                             // viClose
    virtual ViStatus setAttribute(ViSession vi, uint32_t attribute, uint32_t value) = 0;      // viSetAttribute
    virtual ViStatus read(ViSession vi, uint8_t* buffer, uint32_t count, uint32_t* got) = 0;  // viRead
    virtual ViStatus write(ViSession vi, const uint8_t* data, uint32_t count, uint32_t* done) = 0;  // viWrite
    virtual ViStatus printf(ViSession vi, const char* command) = 0;                           // viPrintf(vi, "%s", command)
    virtual ViStatus scanChar(ViSession vi, char* c) = 0;                                     // viScanf(vi, "%c", c)
    virtual ViStatus queryLong(ViSession vi, const char* query, int32_t* value) = 0;          // viQueryf(vi, query, "%ld", value)
    // viQueryf(vi, query, "%s", out): one word of the reply, cut to size - 1 characters.
    virtual ViStatus queryText(ViSession vi, const char* query, char* out, size_t size) = 0;
    // viQueryf(vi, query, "%f", &f) into a 32-bit float, widened.
    virtual ViStatus queryReal(ViSession vi, const char* query, double* value) = 0;
    virtual ViStatus flush(ViSession vi, uint16_t mask) = 0;                                  // viFlush
};

}  // namespace kv
