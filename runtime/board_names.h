// Names shown for boards and their connections, and the product names of the pocket board's plus
// revision that the probe looks for in the board's serial EEPROM.
#pragma once

#include <string>

namespace kv {

// "USB 2.0 - Slot 3", "EPP 1.9 Port 378h", ...; empty for an unknown interface code.
std::string interfaceName(int interfaceCode, int subIndex);
// Model name from the interface, family and product code.
std::string modelName(int interfaceCode, int family, int productCode);

// The plus revision writes one of these two names, preceded by its length byte, at EEPROM word 32.
extern const char* const kPlusLongProductName;
extern const char* const kPlusShortProductName;

// True when the EEPROM block (16 words read from word address 32, as 32 bytes in board order)
// names the plus revision.
bool eepromNamesPlusRevision(const unsigned char* block, int blockBytes);

}  // namespace kv
