// Double-byte characters in Setup.ini's bytes: which bytes start one. The
// Setup.ini reader and skintool's report on it ask here; paths and texts
// inside the program are UTF-16 and never walked byte by byte.
#pragma once

#include <cstdint>

enum class LeadBytes {
  kAnyHighByte,  // 0x80 to 0xFF: how Setup.ini is read
  kShiftJis,     // code page 932: 0x81 to 0x9F and 0xE0 to 0xFC
};

// Whether b starts a double-byte character under `rule`; the byte after it
// belongs to the same character, whatever it is.
bool IsLeadByte(uint8_t b, LeadBytes rule);
