#include "app/setup_ini.h"

#include <climits>
#include <cstring>

#include "common/lead_bytes.h"

namespace {

constexpr int kEnd = -1;

bool IsLineBreak(int b) { return b == '\r' || b == '\n'; }

// Appends bytes to one slot, or to a spare slot for an entry past the store's
// capacity. Texts longer than a slot holds are cut at the last whole character
// that fits; nothing is written past the slot, and the slot's terminator is
// the zero it was filled with.
class SlotWriter {
 public:
  explicit SlotWriter(char* slot) : slot_(slot ? slot : spare_) {}

  void Append(const unsigned char* bytes, int n) {
    if (full_) return;
    if (length_ + n > SetupIni::kTextSize - 1) {
      full_ = true;
      return;
    }
    std::memcpy(slot_ + length_, bytes, n);
    length_ += n;
  }
  const char* text() const { return slot_; }
  bool cut() const { return full_; }

 private:
  char spare_[SetupIni::kTextSize] = {};
  char* slot_;
  int length_ = 0;
  bool full_ = false;
};

// Takes byte b into the text; a lead byte takes the byte after it as well,
// whatever it is, so that double-byte characters stay whole. Returns that
// second byte, or kEnd when b took none.
int TakeCharacter(int b, ByteSource& source, SlotWriter& text) {
  unsigned char bytes[2] = {static_cast<unsigned char>(b), 0};
  if (IsLeadByte(static_cast<uint8_t>(b), LeadBytes::kAnyHighByte)) {
    int trail = source.Next();
    if (trail != kEnd) {
      bytes[1] = static_cast<unsigned char>(trail);
      text.Append(bytes, 2);
      return trail;
    }
  }
  text.Append(bytes, 1);
  return kEnd;
}

// Passes bytes through and counts the editor line of the last one.
class LineCounter : public ByteSource {
 public:
  explicit LineCounter(ByteSource& inner) : inner_(inner) {}
  int Next() override {
    const int b = inner_.Next();
    lineOfLast_ = line_;
    if (b == '\r' || (b == '\n' && !afterCr_)) ++line_;
    afterCr_ = b == '\r';
    return b;
  }
  int lineOfLast() const { return lineOfLast_; }

 private:
  ByteSource& inner_;
  int line_ = 1, lineOfLast_ = 1;
  bool afterCr_ = false;
};

}  // namespace

SetupIni::SetupIni() : count(0) {
  std::memset(path, 0, sizeof path);
  std::memset(keys, 0, sizeof keys);
  std::memset(values, 0, sizeof values);
}

bool SetupIni::LoadFrom(ByteSource& file, SetupIniReport* report) {
  LineCounter counted(file);
  ByteSource& source = report ? static_cast<ByteSource&>(counted) : file;
  bool loaded = true;
  bool equalsTaken = false;  // on this line, as the second byte of a character
  auto take = [&](int b, SlotWriter& text) {
    const int trail = TakeCharacter(b, source, text);
    if (!report) return;
    if (IsLineBreak(trail)) report->LineBreakTaken(counted.lineOfLast());
    equalsTaken = equalsTaken || trail == '=';
  };

  for (;;) {
    // Start of a line.
    int b = source.Next();
    if (b == kEnd) return loaded;
    if (IsLineBreak(b)) continue;
    if (b == ';') {
      do {
        b = source.Next();
        if (b == kEnd) return loaded;
      } while (!IsLineBreak(b));
      continue;
    }

    // Entries past the store's capacity are read for their syntax but not kept.
    const int line = counted.lineOfLast();
    const bool kept = count >= 0 && count < kSlots;
    SlotWriter key(kept ? keys[count] : nullptr);
    SlotWriter value(kept ? values[count] : nullptr);
    equalsTaken = false;

    // Key: everything up to the first "=", the first byte included.
    take(b, key);
    for (;;) {
      b = source.Next();
      if (b == kEnd || IsLineBreak(b) || b == '=') break;
      take(b, key);
    }
    if (b != '=') {
      if (!report) return false;
      report->LineWithoutEquals(line, equalsTaken);
      if (b == kEnd) return false;
      loaded = false;
      if (kept) std::memset(keys[count], 0, kTextSize);  // the next entry takes this slot
      continue;
    }

    // Value: everything up to the line break.
    for (;;) {
      b = source.Next();
      if (b == kEnd || IsLineBreak(b)) break;
      take(b, value);
    }
    if (report) report->Entry(line, kept ? count : -1, key.text(), key.cut(), value.text(), value.cut());
    if (b == kEnd) return loaded;
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
