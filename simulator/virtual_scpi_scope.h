// A Tektronix-style SCPI oscilloscope for the VISA stacking, written from the instrument's side,
// and the VISA calls over it with standard VISA behaviour (formatted I/O through a read buffer,
// sessions, resource search), so tests and the VISA stand-in drive the viewer's code against an
// instrument whose every answer is known. The instrument's family is chosen by its identification.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "viewer/scope/visa_api.h"

namespace kv {

class VirtualScpiScope {
public:
    // One identification per family of the stacking: 0 TDS2000, 1 TDS3000, 2 DPO4000, 3 TDS5000,
    // 4 MSO4000; anything else answers as an instrument of another maker.
    explicit VirtualScpiScope(int family = 1);
    std::string identification;

    // Instrument state the queries answer.
    int32_t recordLength = 10000;
    int channels = 2;               // names in the MEASUREMENT? reply
    bool delayOn = false;
    double delaySeconds = 0;
    double triggerPercent = 50;
    double secondsPerDivision = 1e-6;
    double interval = 1e-9;         // WFMP:XIN?
    double yOffset[2] = {0, 0};
    double yMultiplier[2] = {0.04, 0.02};
    std::string triggerState = "READY";
    // The curve of each channel: byte i is the signed sample i; the block states `curveLength`
    // bytes when it is not negative (otherwise the record's length), and holds what it states.
    int64_t curveLength = -1;
    std::string blockHeader;        // replaces the "#<d><length>" header when not empty
    static int8_t sample(int channel, int64_t i);

    // Every command and query as received, line feeds included.
    std::vector<std::string> received;
    // Takes one message; queries leave their reply in the output.
    void take(const std::string& message);
    std::deque<uint8_t> output;

private:
    void answer(const std::string& text) { output.insert(output.end(), text.begin(), text.end()); }
    int dataSource_ = 1;
    int64_t dataStop_ = -1;
};

// The VISA calls over one virtual instrument. Sessions: the resource manager 1, the find list 2,
// the instrument 3.
class VirtualVisa : public VisaApi {
public:
    explicit VirtualVisa(VirtualScpiScope& scope) : scope_(scope) {}
    bool usbAttached = true;           // found by "USB?*INSTR"
    std::string tcpipAddress = "192.168.0.2";  // the one TCP/IP address it answers at
    std::vector<std::string> opened;   // resource names opened
    std::vector<std::pair<uint32_t, uint32_t>> attributes;  // (attribute, value) set
    int closes = 0;
    ViStatus failAfter = -1;           // calls after this many fail (-1: none)

    ViStatus openDefaultRM(ViSession* rm) override;
    ViStatus findRsrc(ViSession rm, const char* expr, ViSession* list, uint32_t* count,
                      char description[kViDescriptionBytes]) override;
    ViStatus open(ViSession rm, const char* name, uint32_t mode, uint32_t timeout, ViSession* vi) override;
    ViStatus close(ViSession object) override;
    ViStatus setAttribute(ViSession vi, uint32_t attribute, uint32_t value) override;
    ViStatus read(ViSession vi, uint8_t* buffer, uint32_t count, uint32_t* got) override;
    ViStatus write(ViSession vi, const uint8_t* data, uint32_t count, uint32_t* done) override;
    ViStatus printf(ViSession vi, const char* command) override;
    ViStatus scanChar(ViSession vi, char* c) override;
    ViStatus queryLong(ViSession vi, const char* query, int32_t* value) override;
    ViStatus queryText(ViSession vi, const char* query, char* out, size_t size) override;
    ViStatus queryReal(ViSession vi, const char* query, double* value) override;
    ViStatus flush(ViSession vi, uint16_t mask) override;

    size_t bytesScanned = 0;     // bytes taken by scanChar
    std::vector<uint16_t> flushes;  // masks of viFlush, in order
    // The formatted-I/O read buffer: what has come from the instrument and not been scanned yet.
    std::deque<uint8_t> readBuffer;

private:
    bool usable(ViSession vi);
    void accessed();  // a formatted read completed: flush-on-access discards the buffer
    bool fill();  // moves the instrument's pending output into the read buffer; false when none
    std::string replyLine();
    VirtualScpiScope& scope_;
    bool rmOpen_ = false, instrumentOpen_ = false;
    uint32_t readMode_ = 3;  // VI_FLUSH_DISABLE until the caller sets it
    int calls_ = 0;
};

}  // namespace kv
