#include "app/setup_ini.h"

#include <climits>
#include <cstring>

namespace {

constexpr int kEnd = -1;

bool IsLineBreak(int b) { return b == '\r' || b == '\n'; }
bool IsLeadByte(int b) { return b >= 0x80; }

// Appends bytes to one slot. Texts longer than a slot holds are cut at the
// last whole character that fits; nothing is written past the slot, and the
// slot's terminator is the zero it was filled with.
class SlotWriter {
 public:
  explicit SlotWriter(char* slot) : slot_(slot) {}

  void Append(const unsigned char* bytes, int n) {
    if (full_ || slot_ == nullptr) return;
    if (length_ + n > SetupIni::kTextSize - 1) {
      full_ = true;
      return;
    }
    std::memcpy(slot_ + length_, bytes, n);
    length_ += n;
  }

 private:
  char* slot_;
  int length_ = 0;
  bool full_ = false;
};

// Takes byte b into the text; a lead byte takes the byte after it as well,
// whatever it is, so that double-byte characters stay whole.
void TakeCharacter(int b, ByteSource& source, SlotWriter& text) {
  unsigned char bytes[2] = {static_cast<unsigned char>(b), 0};
  if (IsLeadByte(b)) {
    int trail = source.Next();
    if (trail != kEnd) {
      bytes[1] = static_cast<unsigned char>(trail);
      text.Append(bytes, 2);
      return;
    }
  }
  text.Append(bytes, 1);
}

}  // namespace

SetupIni::SetupIni() : count(0) {
  std::memset(path, 0, sizeof path);
  std::memset(keys, 0, sizeof keys);
  std::memset(values, 0, sizeof values);
}

bool SetupIni::LoadFrom(ByteSource& source) {
  for (;;) {
    // Start of a line.
    int b = source.Next();
    if (b == kEnd) return true;
    if (IsLineBreak(b)) continue;
    if (b == ';') {
      do {
        b = source.Next();
        if (b == kEnd) return true;
      } while (!IsLineBreak(b));
      continue;
    }

    // Entries past the store's capacity are read for their syntax but not kept.
    const bool kept = count >= 0 && count < kSlots;
    SlotWriter key(kept ? keys[count] : nullptr);
    SlotWriter value(kept ? values[count] : nullptr);

    // Key: everything up to the first "=", the first byte included.
    TakeCharacter(b, source, key);
    for (;;) {
      b = source.Next();
      if (b == kEnd || IsLineBreak(b)) return false;
      if (b == '=') break;
      TakeCharacter(b, source, key);
    }

    // Value: everything up to the line break.
    for (;;) {
      b = source.Next();
      if (b == kEnd) return true;
      if (IsLineBreak(b)) break;
      TakeCharacter(b, source, value);
    }
    if (count < kSlots) ++count;
  }
}

int SetupIni::IndexOf(const char* name) const {
  for (int i = 0; i < kSlots; ++i) {
    if (std::strcmp(keys[i], name) == 0) return i;
  }
  return -1;
}

const char* SetupIni::ValueOf(const char* name) const {
  int index = IndexOf(name);
  return index < 0 ? "" : values[index];
}

int SetupIni::NumberOf(const char* name) const { return DecimalValue(ValueOf(name)); }

int DecimalValue(const char* text) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = (*p++ == '-');
  long long magnitude = 0;
  const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
  for (; *p >= '0' && *p <= '9'; ++p) {
    magnitude = magnitude * 10 + (*p - '0');
    if (magnitude > limit) magnitude = limit;
  }
  return static_cast<int>(negative ? -magnitude : magnitude);
}
