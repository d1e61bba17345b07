// Setup.ini as setup.exe's own loader reads it (SetupIni with a report), with
// what the store throws away: the line of every entry, the lines that stop the
// load, the later duplicates, the entries past the store's capacity, the texts
// it cuts. Pure C++: bytes in, a list out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/text_encoding.h"

namespace skintool {

struct IniEntry {
  std::string key;       // as text, in UTF-8 (a byte that is no text shows as U+FFFD)
  std::string value;
  std::string keyBytes;  // as the store holds them (cut like the store cuts them)
  std::string valueBytes;
  int line = 0;          // 1-based line of the entry's first byte
  bool kept = false;     // the store has a slot for it (the first 260 entries)
  bool keyCut = false;   // longer than a slot holds: the store keeps the start
  bool valueCut = false;
};

struct IniScan {
  TextEncoding encoding = TextEncoding::kShiftJis;  // how the loader reads the file
  std::vector<IniEntry> entries;  // every entry of the file, in order, also those after a bad line
  std::vector<int> linesWithoutEquals;  // lines the loader rejects (the first one ends the load)
  std::vector<int> linesWithSwallowedEquals;  // of those: an "=" taken as the second byte of a character
  std::vector<int> linesWithSwallowedBreak;   // a line break taken as the second byte of a character
  std::vector<IniEntry> entriesNotText;  // refused: key or value no text in the encoding (ends the load too)
  bool loads = true;  // false: setup.exe refuses to start

  // The entry setup.exe reads for `key` (the first kept one), or null.
  const IniEntry* Find(const std::string& key) const;
};

// Lines are counted as an editor counts them (SetupIniReport).
IniScan ScanSetupIni(const uint8_t* data, size_t size);

// bytes as UTF-8 text, read in `encoding`; a character that is no text there
// shows as U+FFFD.
std::string TextOfBytes(const std::string& bytes, TextEncoding encoding);

// Where bytes first fail to be text in `encoding`: the offset and the bytes of
// the first character that is none. False when they are all text.
bool FirstNonText(const std::string& bytes, TextEncoding encoding, size_t& offset, std::string& character);

// "Shift-JIS (code page 932)" or "UTF-8".
const char* EncodingName(TextEncoding encoding);

}  // namespace skintool
