#include "common/lead_bytes.h"

bool IsLeadByte(uint8_t b, LeadBytes rule) {
  switch (rule) {
    case LeadBytes::kAnyHighByte:
      return b >= 0x80;
    case LeadBytes::kShiftJis:
      return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
  }
  return false;
}
