// A stand-in "VISA32.DLL" for the stacking tests: the eleven VISA calls the viewer makes, with
// VISA's calling conventions and formats, answered by one virtual SCPI instrument. The instrument's
// family comes from KV_VISA_FAMILY (0-4, default 1), so a test chooses what "*idn?" answers. Built
// into bin/visa/ and never installed: a viewer finds it only where a test puts that folder on PATH.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "simulator/virtual_scpi_scope.h"

namespace {

// VI_ERROR_INV_FMT: a format this stand-in does not take.
constexpr long kInvalidFormat = static_cast<long>(0xBFFF0079u);

int familyFromEnvironment() {
    char text[16] = {};
    const DWORD n = GetEnvironmentVariableA("KV_VISA_FAMILY", text, sizeof text);
    return n > 0 && n < sizeof text ? std::atoi(text) : 1;
}

kv::VirtualVisa& visa() {
    static kv::VirtualScpiScope instrument(familyFromEnvironment());
    static kv::VirtualVisa calls(instrument);
    return calls;
}

// The width of a "%<n>s" conversion, or VISA's default room when none is given.
size_t stringRoom(const char* format) {
    const int width = std::atoi(format + 1);
    return width > 0 ? static_cast<size_t>(width) + 1 : 256;
}

}  // namespace

extern "C" {

long __stdcall viOpenDefaultRM(unsigned long* rm) {
    kv::ViSession s = 0;
    const long r = visa().openDefaultRM(&s);
    if (rm) *rm = s;
    return r;
}

long __stdcall viFindRsrc(unsigned long rm, const char* expr, unsigned long* list,
                                                unsigned long* count, char* description) {
    kv::ViSession l = 0;
    uint32_t n = 0;
    char text[kv::kViDescriptionBytes] = {};
    const long r = visa().findRsrc(rm, expr, &l, &n, text);
    if (list) *list = l;
    if (count) *count = n;
    if (description) std::memcpy(description, text, sizeof text);
    return r;
}

long __stdcall viOpen(unsigned long rm, const char* name, unsigned long mode,
                                            unsigned long timeout, unsigned long* vi) {
    kv::ViSession s = 0;
    const long r = visa().open(rm, name, mode, timeout, &s);
    if (vi) *vi = s;
    return r;
}

long __stdcall viClose(unsigned long object) { return visa().close(object); }

long __stdcall viSetAttribute(unsigned long vi, unsigned long attribute, ULONG_PTR value) {
    return visa().setAttribute(vi, attribute, static_cast<uint32_t>(value));
}

long __stdcall viRead(unsigned long vi, unsigned char* buffer, unsigned long count,
                                            unsigned long* got) {
    uint32_t n = 0;
    const long r = visa().read(vi, buffer, count, &n);
    if (got) *got = n;
    return r;
}

long __stdcall viWrite(unsigned long vi, const unsigned char* data, unsigned long count,
                                             unsigned long* done) {
    uint32_t n = 0;
    const long r = visa().write(vi, data, count, &n);
    if (done) *done = n;
    return r;
}

long __cdecl viPrintf(unsigned long vi, const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::vector<char> text(static_cast<size_t>(n > 0 ? n : 0) + 1);
    std::vsnprintf(text.data(), text.size(), format, again);
    va_end(again);
    return visa().printf(vi, text.data());
}

long __cdecl viScanf(unsigned long vi, const char* format, ...) {
    if (std::strcmp(format, "%c") != 0) return kInvalidFormat;
    va_list args;
    va_start(args, format);
    char* c = va_arg(args, char*);
    va_end(args);
    return visa().scanChar(vi, c);
}

long __cdecl viQueryf(unsigned long vi, const char* query, const char* format, ...) {
    va_list args;
    va_start(args, format);
    long r = kInvalidFormat;
    const size_t length = std::strlen(format);
    if (std::strcmp(format, "%ld") == 0) {
        long* out = va_arg(args, long*);
        int32_t v = 0;
        r = visa().queryLong(vi, query, &v);
        *out = v;
    } else if (std::strcmp(format, "%f") == 0 || std::strcmp(format, "%lf") == 0) {
        const bool wide = format[1] == 'l';
        void* out = va_arg(args, void*);
        double v = 0;
        r = visa().queryReal(vi, query, &v);
        if (wide)
            *static_cast<double*>(out) = v;
        else
            *static_cast<float*>(out) = static_cast<float>(v);
    } else if (length >= 2 && format[0] == '%' && format[length - 1] == 's') {
        char* out = va_arg(args, char*);
        r = visa().queryText(vi, query, out, stringRoom(format));
    }
    va_end(args);
    return r;
}

long __stdcall viFlush(unsigned long vi, unsigned short mask) { return visa().flush(vi, mask); }

}  // extern "C"
