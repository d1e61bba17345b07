// Double-byte characters in ANSI text: which bytes start one. Every walk over
// the bytes of a name or of Setup.ini, in setup.exe and in skintool, asks here,
// so that a second byte such as 0x5C ("\") or 0x3D ("=") is never read alone.
#pragma once

#include <cstdint>

enum class LeadBytes {
  kAnyHighByte,     // 0x80 to 0xFF: how Setup.ini is read, whatever the code page
  kShiftJis,        // code page 932: 0x81 to 0x9F and 0xE0 to 0xFC
  kSystemCodePage,  // the process's ANSI code page: names and paths setup.exe walks
};

// Whether b starts a double-byte character under `rule`; the byte after it
// belongs to the same character, whatever it is.
bool IsLeadByte(uint8_t b, LeadBytes rule);
