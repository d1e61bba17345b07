// SetupIni: the key/value store that Setup.ini and the uninstall record are
// read into. One fixed block of 260 slots; keys are exact, case-sensitive byte
// strings; a missing key reads as "" (and as 0 through NumberOf).
// Use: set path, call Load() once, then read with ValueOf / NumberOf.
#pragma once

#include <cstddef>
#include <cstdint>

// A stream of bytes for the loader: Next() gives 0..255, or -1 at the end
// (and -1 again on every later call).
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual int Next() = 0;
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
};

class SetupIni {
 public:
  static constexpr int kSlots = 260;     // entries the store can hold
  static constexpr int kTextSize = 260;  // bytes per key, value and path, terminator included

  char path[kTextSize];
  int32_t count;  // slot that the loader is filling
  char keys[kSlots][kTextSize];
  char values[kSlots][kTextSize];

  SetupIni();
  SetupIni(const SetupIni&) = delete;
  SetupIni& operator=(const SetupIni&) = delete;

  // Reads the file named by path. False when it cannot be opened or a line
  // holds no "="; entries read before such a line stay.
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
};

// atoi's reading (leading white space, a sign, digits up to the first other
// byte, no digits gives 0), saturating instead of overflowing.
int DecimalValue(const char* text);
