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
  // The same reading rules over any byte stream.
  bool LoadFrom(ByteSource& source);

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
