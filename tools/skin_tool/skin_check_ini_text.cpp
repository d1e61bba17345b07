// The checker on Setup.ini as text: an encoding setup.exe cannot read, a
// UTF-8 file with a stray byte (read as Shift-JIS), lines that stop the load,
// double-byte characters that swallow an "=" or a line break.
#include <algorithm>

#include "tools/skin_tool/skin_check_topics.h"

namespace skintool {
namespace {

std::string HexBytes(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (const char c : bytes) {
    const uint8_t b = static_cast<uint8_t>(c);
    if (!hex.empty()) hex += ' ';
    hex += kDigits[b >> 4];
    hex += kDigits[b & 15];
  }
  return hex;
}

// A file that is mostly UTF-8, but not wholly, is read as Shift-JIS: its
// UTF-8 texts then come out garbled or break the file. (In Shift-JIS
// Japanese text nearly every double-byte character is no UTF-8.)
void CheckAlmostUtf8(CheckRun& run) {
  const std::vector<uint8_t>& bytes = *run.ini;
  size_t valid = 0, invalid = 0;
  int line = 1, firstInvalidLine = 0;
  std::string firstInvalid;
  for (size_t i = 0; i < bytes.size();) {
    const uint8_t lead = bytes[i];
    if (lead < 0x80) {
      if (lead == '\r' || (lead == '\n' && (i == 0 || bytes[i - 1] != '\r'))) ++line;
      ++i;
      continue;
    }
    size_t n = 1;
    while (n < Utf8SequenceLength(lead) && i + n < bytes.size() && (bytes[i + n] & 0xC0) == 0x80) ++n;
    bool multiByte = false;
    if (IsWholeUtf8(&bytes[i], n, multiByte)) {
      ++valid;
    } else if (invalid++ == 0) {
      firstInvalidLine = line;
      firstInvalid.assign(bytes.begin() + i, bytes.begin() + i + n);
    }
    i += n;
  }
  if (invalid > 0 && valid > invalid) {
    run.IniWarning(firstInvalidLine, "Setup.ini is UTF-8 except for the bytes " + HexBytes(firstInvalid) +
                                         " on this line: setup.exe reads the whole file as Shift-JIS (code page 932), "
                                         "so its UTF-8 texts come out garbled; save it as UTF-8 throughout");
  }
}

}  // namespace

// False when the file is no text setup.exe reads at all (then its keys say nothing).
bool CheckIniEncoding(CheckRun& run) {
  const std::vector<uint8_t>& bytes = *run.ini;
  if (bytes.size() >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
    run.IniError(1, "Setup.ini is saved as UTF-16: setup.exe reads Shift-JIS or UTF-8; save it as one of those");
    return false;
  }
  if (run.scan.encoding == TextEncoding::kShiftJis) CheckAlmostUtf8(run);
  return true;
}

void CheckIniLines(CheckRun& run) {
  // The first line that stops the load, of either kind.
  int firstBroken = run.scan.linesWithoutEquals.empty() ? 0 : run.scan.linesWithoutEquals[0];
  if (!run.scan.entriesNotText.empty() && (!firstBroken || run.scan.entriesNotText[0].line < firstBroken)) {
    firstBroken = run.scan.entriesNotText[0].line;
  }
  const std::string refused = ": setup.exe refuses to start (\"Setup.ini is broken\")";
  for (const int line : run.scan.linesWithoutEquals) {
    std::string message = "line has no \"=\"";
    if (std::find(run.scan.linesWithSwallowedEquals.begin(), run.scan.linesWithSwallowedEquals.end(), line) !=
        run.scan.linesWithSwallowedEquals.end()) {
      message += " (the byte before it starts a double-byte character and takes the \"=\" as its second byte)";
    }
    if (line == firstBroken) message += refused;
    message += "; write comments with \";\" at the start of the line";
    run.IniError(line, message);
  }
  for (const IniEntry& entry : run.scan.entriesNotText) {
    size_t offset = 0;
    std::string character;
    const bool keyIsText = !FirstNonText(entry.keyBytes, run.scan.encoding, offset, character);
    if (keyIsText) FirstNonText(entry.valueBytes, run.scan.encoding, offset, character);
    std::string message = (keyIsText ? "the value of " + Quoted(entry.key) : "the key " + Quoted(entry.key)) +
                          " is not valid " + EncodingName(run.scan.encoding) + " text (at its byte " +
                          std::to_string(offset + 1) + ": " + HexBytes(character) + ")";
    if (entry.line == firstBroken) message += refused;
    run.IniError(entry.line, message);
  }
  for (int line : run.scan.linesWithSwallowedBreak) {
    run.IniWarning(line, "the line ends in the first byte of a double-byte character: setup.exe takes the line "
                         "break as its second byte, so the value goes on into the next line");
  }
}

}  // namespace skintool
