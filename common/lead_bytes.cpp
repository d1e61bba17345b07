#include "common/lead_bytes.h"

#ifdef _WIN32
#include <windows.h>
#endif

bool IsLeadByte(uint8_t b, LeadBytes rule) {
  switch (rule) {
    case LeadBytes::kAnyHighByte:
      return b >= 0x80;
    case LeadBytes::kShiftJis:
      return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    case LeadBytes::kSystemCodePage:
#ifdef _WIN32
      return IsDBCSLeadByte(b) != FALSE;
#else
      // Builds without Windows (the host checks) have no system code page:
      // they read names as setup.exe does on Windows 11, in code page 932.
      return IsLeadByte(b, LeadBytes::kShiftJis);
#endif
  }
  return false;
}
