// SetupIni: the key/value store that Setup.ini and the uninstall record are
// read into. One fixed block of 260 slots; keys are exact, case-sensitive byte
// strings; a missing key reads as "" (and as 0 through NumberOf).
// Use: set path, call Load() once, then read with ValueOf / NumberOf.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/text_encoding.h"

// A stream of bytes for the loader: Next() gives 0..255, or -1 at the end
// (and -1 again on every later call). Restart() goes back to the first byte
// (false when it cannot): the loader reads the stream twice, once to tell its
// encoding and once to read the entries.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual int Next() = 0;
  virtual bool Restart() = 0;
};

// What the loader meets beyond what the store keeps, for a reader that reports
// on the file line by line (skintool check). Lines are counted as an editor
// counts them: CR LF, a lone CR and a lone LF each end one line.
class SetupIniReport {
 public:
  virtual ~SetupIniReport() = default;
  // An entry that starts on `line`, in store slot `slot` (-1: past the store's
  // capacity, not kept). Key and value as a slot holds them; `keyCut` or
  // `valueCut` when the file's text was longer and only its start is held.
  virtual void Entry(int line, int slot, const char* key, bool keyCut, const char* value, bool valueCut) = 0;
  // A line without "=", where the load fails; equalsTaken: an "=" on it went
  // into the key as the second byte of a double-byte character.
  virtual void LineWithoutEquals(int line, bool equalsTaken) = 0;
  // A double-byte character on `line` took a line break as its second byte.
  virtual void LineBreakTaken(int line) = 0;
  // An entry that starts on `line` whose key or value (as a slot holds them)
  // is not valid text in the file's encoding: the load fails, as for a line
  // without "=", and the entry is not kept.
  virtual void EntryNotText(int line, const char* key, const char* value) = 0;
};

class SetupIni {
 public:
  static constexpr int kSlots = 260;     // entries the store can hold
  static constexpr int kTextSize = 260;  // bytes per key, value and path, terminator included

  std::wstring path;  // the file Load() reads
  // How the file's bytes spell text: UTF-8 for a file that starts with the
  // byte order mark EF BB BF (which is then no part of the first key), or that
  // is UTF-8 as a whole and holds a character of more than one byte;
  // Shift-JIS (code page 932) for every other. Keys and values stay bytes;
  // TextOf converts them.
  TextEncoding encoding = TextEncoding::kShiftJis;
  int32_t count;  // slot that the loader is filling
  char keys[kSlots][kTextSize];
  char values[kSlots][kTextSize];

  SetupIni();
  SetupIni(const SetupIni&) = delete;
  SetupIni& operator=(const SetupIni&) = delete;

  // Reads the file named by path. False when it cannot be opened, a line
  // holds no "=", or an entry's key or value is not valid text in the file's
  // encoding; entries read before such a line stay.
  //
  // Lines, slots and cuts are byte rules. A character is taken whole: in
  // Shift-JIS a byte of 0x80 and above takes the byte after it, whatever it
  // is; in UTF-8 a lead byte takes the continuation bytes (80..BF) that
  // follow it, up to its sequence's length, so never a line break or "=".
  // Comment lines are skipped unread.
  bool Load();
  // The same reading rules over any byte stream. With a report, every entry
  // and every failing line is told to it, and the reading goes on past a
  // failing line to the end of the file (the result stays false).
  bool LoadFrom(ByteSource& source, SetupIniReport* report = nullptr);

  // Slot of the first key equal to name, or -1.
  int IndexOf(const char* name) const;
  // That slot's value, or "" when there is none; a view into the store.
  const char* ValueOf(const char* name) const;
  // The value as a decimal number, read as the C library's atoi reads it.
  int NumberOf(const char* name) const;
  // The value as text ("" when missing, or not valid in the file's encoding).
  std::wstring TextOf(const char* name) const;
};

// atoi's reading (leading white space, a sign, digits up to the first other
// byte, no digits gives 0), saturating instead of overflowing.
int DecimalValue(const char* text);
