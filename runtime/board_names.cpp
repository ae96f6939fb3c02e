#include "runtime/board_names.h"

#include <cstdio>
#include <cstring>

#include "runtime/slot_record.h"

namespace kv {

const char* const kPlusLongProductName = "PQKV Logic Analyzer Plus";
const char* const kPlusShortProductName = "PQKV Plus";

namespace {

// All fixed model names in one place. Pocket boards (interface 18) with these codes are named by
// code and revision; boards on every other interface but ISA by code alone.
struct PocketModelName {
    int code;
    const char* others;    // families 2 and anything else
    const char* familyB;   // family 5
    const char* familyPlus;  // family 6
};
const PocketModelName kPocketNames[] = {
    {0x2116, "PQKV-2116", "PQKV-2116B", "PQKV-2116 Plus"},
    {0x2216, "PQKV-2216", "PQKV-2216B", "PQKV-2216 Plus"},
    {0x2416, "PQKV-2416", "PQKV-2416B", "PQKV-2416 Plus"},
};

struct CodeModelName {
    int code;
    const char* name;
};
const CodeModelName kCodeNames[] = {
    {0x2031, "KV-2031U"},
    {0x2032, "KV-2032U"},
    {0x2064, "KV-2064U"},
    {0x2132, "KV-2132U"}, {0x2232, "KV-2132U"}, {0x2332, "KV-2132U"},
    {0x2164, "KV-2164U"}, {0x2264, "KV-2164U"}, {0x2364, "KV-2164U"},
};

std::string format(const char* pattern, int value) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

struct InterfaceNameRow {
    int code;
    const char* pattern;  // with %d for the sub-index where the name carries one
};
const InterfaceNameRow kInterfaceNames[] = {
    {kIfPci, "PCI PnP Card - Slot %d"},
    {kIfEpp19At378, "EPP 1.9 Port 378h"},
    {kIfEpp19At278, "EPP 1.9 Port 278h"},
    {kIfIsa268, "ISA Port 268h"},
    {kIfIsa26C, "ISA Port 26Ch"},
    {kIfIsa368, "ISA Port 368h"},
    {kIfIsa36C, "ISA Port 36Ch"},
    {kIfUsb2Epp, "USB2EPP - Slot %d"},
    {kIfBidiAt378, "LPT Bi-Di Port 378h"},
    {kIfBidiAt278, "LPT Bi-Di Port 278h"},
    {kIfEpp17At378, "EPP 1.7 Port 378h"},
    {kIfEpp17At278, "EPP 1.7 Port 278h"},
    {kIfUsb20, "USB 2.0 - Slot %d"},
    {kIfUsbPocket, "USB - Slot %d"},
};

}  // namespace

std::string interfaceName(int interfaceCode, int subIndex) {
    for (const InterfaceNameRow& row : kInterfaceNames)
        if (row.code == interfaceCode) return format(row.pattern, subIndex);
    return {};
}

std::string modelName(int interfaceCode, int family, int productCode) {
    if (interfaceCode == kIfUsbPocket) {
        for (const PocketModelName& row : kPocketNames) {
            if (row.code != productCode) continue;
            if (family == kFamilyPocketB) return row.familyB;
            if (family == kFamilyPocketPlus) return row.familyPlus;
            return row.others;
        }
        return format("PQKV%4X", productCode);
    }
    if (isIsaInterface(interfaceCode)) return format("KV%4X", productCode);
    for (const CodeModelName& row : kCodeNames)
        if (row.code == productCode) return row.name;
    return format("KV%4XP", productCode);
}

bool eepromNamesPlusRevision(const unsigned char* block, int blockBytes) {
    if (!block || blockBytes < 1) return false;
    const int length = block[0];
    // The name must fit in the block read after its length byte; a longer length is a blank or
    // damaged EEPROM, never a match.
    if (length < 1 || length > 30 || length > blockBytes - 1) return false;
    const char* name = reinterpret_cast<const char*>(block + 1);
    auto same = [&](const char* product) {
        return static_cast<int>(std::strlen(product)) == length && std::memcmp(name, product, length) == 0;
    };
    return same(kPlusLongProductName) || same(kPlusShortProductName);
}

}  // namespace kv
