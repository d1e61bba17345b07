// Setup.ini as setup.exe's own loader reads it (SetupIni with a report), with
// what the store throws away: the line of every entry, the lines that stop the
// load, the later duplicates, the entries past the store's capacity, the texts
// it cuts. Pure C++: bytes in, a list out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace skintool {

struct IniEntry {
  std::string key;      // as the store holds it (cut like the store cuts it)
  std::string value;
  int line = 0;         // 1-based line of the entry's first byte
  bool kept = false;    // the store has a slot for it (the first 260 entries)
  bool keyCut = false;  // longer than a slot holds: the store keeps the start
  bool valueCut = false;
};

struct IniScan {
  std::vector<IniEntry> entries;  // every entry of the file, in order, also those after a bad line
  std::vector<int> linesWithoutEquals;  // lines the loader rejects (the first one ends the load)
  std::vector<int> linesWithSwallowedEquals;  // of those: an "=" taken as the second byte of a character
  std::vector<int> linesWithSwallowedBreak;   // a line break taken as the second byte of a character
  bool loads = true;  // false: setup.exe refuses to start

  // The entry setup.exe reads for `key` (the first kept one), or null.
  const IniEntry* Find(const std::string& key) const;
};

// Lines are counted as an editor counts them (SetupIniReport).
IniScan ScanSetupIni(const uint8_t* data, size_t size);

}  // namespace skintool
