#include "viewer/scope/visa_binding_win.h"

#include <windows.h>

#include <cstring>

namespace kv {
namespace {

// VISA's own types on Windows: sessions and counts are 32-bit, an attribute value is as wide as a
// pointer. The formatted-I/O calls take variable arguments and so use the C calling convention.
using ViU32 = unsigned long;
using OpenDefaultRMFn = long(__stdcall*)(ViU32*);
using FindRsrcFn = long(__stdcall*)(ViU32, const char*, ViU32*, ViU32*, char*);
using OpenFn = long(__stdcall*)(ViU32, const char*, ViU32, ViU32, ViU32*);
using CloseFn = long(__stdcall*)(ViU32);
using SetAttributeFn = long(__stdcall*)(ViU32, ViU32, ULONG_PTR);
using ReadFn = long(__stdcall*)(ViU32, unsigned char*, ViU32, ViU32*);
using WriteFn = long(__stdcall*)(ViU32, const unsigned char*, ViU32, ViU32*);
using PrintfFn = long(__cdecl*)(ViU32, const char*, ...);
using ScanfFn = long(__cdecl*)(ViU32, const char*, ...);
using QueryfFn = long(__cdecl*)(ViU32, const char*, const char*, ...);
using FlushFn = long(__stdcall*)(ViU32, unsigned short);

template <typename F>
F entry(HMODULE m, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name)));
}

class WinVisa : public VisaApi {
public:
    bool bind(HMODULE m) {
        openDefaultRM_ = entry<OpenDefaultRMFn>(m, "viOpenDefaultRM");
        findRsrc_ = entry<FindRsrcFn>(m, "viFindRsrc");
        open_ = entry<OpenFn>(m, "viOpen");
        close_ = entry<CloseFn>(m, "viClose");
        setAttribute_ = entry<SetAttributeFn>(m, "viSetAttribute");
        read_ = entry<ReadFn>(m, "viRead");
        write_ = entry<WriteFn>(m, "viWrite");
        printf_ = entry<PrintfFn>(m, "viPrintf");
        scanf_ = entry<ScanfFn>(m, "viScanf");
        queryf_ = entry<QueryfFn>(m, "viQueryf");
        flush_ = entry<FlushFn>(m, "viFlush");
        return openDefaultRM_ && findRsrc_ && open_ && close_ && setAttribute_ && read_ && write_ && printf_ &&
               scanf_ && queryf_ && flush_;
    }

    ViStatus openDefaultRM(ViSession* rm) override {
        ViU32 s = 0;
        const long r = openDefaultRM_(&s);
        *rm = s;
        return r;
    }
    ViStatus findRsrc(ViSession rm, const char* expr, ViSession* list, uint32_t* count,
                      char description[kViDescriptionBytes]) override {
        ViU32 l = 0, n = 0;
        const long r = findRsrc_(rm, expr, &l, &n, description);
        *list = l;
        *count = n;
        return r;
    }
    ViStatus open(ViSession rm, const char* name, uint32_t mode, uint32_t timeout, ViSession* vi) override {
        ViU32 s = 0;
        const long r = open_(rm, name, mode, timeout, &s);
        *vi = s;
        return r;
    }
    ViStatus close(ViSession object) override { return close_(object); }
    ViStatus setAttribute(ViSession vi, uint32_t attribute, uint32_t value) override {
        return setAttribute_(vi, attribute, value);
    }
    ViStatus read(ViSession vi, uint8_t* buffer, uint32_t count, uint32_t* got) override {
        ViU32 n = 0;
        const long r = read_(vi, buffer, count, &n);
        *got = n;
        return r;
    }
    ViStatus write(ViSession vi, const uint8_t* data, uint32_t count, uint32_t* done) override {
        ViU32 n = 0;
        const long r = write_(vi, data, count, &n);
        *done = n;
        return r;
    }
    ViStatus printf(ViSession vi, const char* command) override { return printf_(vi, "%s", command); }
    ViStatus scanChar(ViSession vi, char* c) override { return scanf_(vi, "%c", c); }
    ViStatus queryLong(ViSession vi, const char* query, int32_t* value) override {
        long v = 0;
        const long r = queryf_(vi, query, "%ld", &v);
        *value = static_cast<int32_t>(v);
        return r;
    }
    ViStatus queryText(ViSession vi, const char* query, char* out, size_t size) override {
        // "%s" writes a whole word whatever its length: read into room of VISA's own limit, then cut.
        char word[1024] = {};
        const long r = queryf_(vi, query, "%1023s", word);
        if (size) {
            std::strncpy(out, word, size - 1);
            out[size - 1] = 0;
        }
        return r;
    }
    ViStatus queryReal(ViSession vi, const char* query, double* value) override {
        float f = 0;
        const long r = queryf_(vi, query, "%f", &f);
        *value = f;
        return r;
    }
    ViStatus flush(ViSession vi, uint16_t mask) override { return flush_(vi, mask); }

private:
    OpenDefaultRMFn openDefaultRM_ = nullptr;
    FindRsrcFn findRsrc_ = nullptr;
    OpenFn open_ = nullptr;
    CloseFn close_ = nullptr;
    SetAttributeFn setAttribute_ = nullptr;
    ReadFn read_ = nullptr;
    WriteFn write_ = nullptr;
    PrintfFn printf_ = nullptr;
    ScanfFn scanf_ = nullptr;
    QueryfFn queryf_ = nullptr;
    FlushFn flush_ = nullptr;
};

}  // namespace

VisaApi* loadVisa() {
    static WinVisa visa;
    static bool bound = false;
    if (bound) return &visa;
    HMODULE m = LoadLibraryA("VISA32.DLL");
    if (!m) return nullptr;
    if (!visa.bind(m)) {
        FreeLibrary(m);
        return nullptr;
    }
    bound = true;
    return &visa;
}

}  // namespace kv
