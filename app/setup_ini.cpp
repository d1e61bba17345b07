#include "app/setup_ini.h"

#include <climits>
#include <cstring>

#include "common/lead_bytes.h"

namespace {

constexpr int kEnd = -1;
constexpr int kNothingHeld = -2;

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

// Reads the whole stream once and tells its encoding: UTF-8 when it starts
// with the byte order mark (then nothing more is read), or when it is UTF-8 as
// a whole and holds a character of more than one byte; Shift-JIS otherwise
// (decided at the first sequence that is not UTF-8). One sequence at a time,
// so that any size takes the same few bytes of memory.
TextEncoding EncodingOf(ByteSource& source, bool& bom) {
  bom = false;
  bool multiByte = false;
  int b = source.Next();
  for (bool first = true; b != kEnd; first = false) {
    if (b < 0x80) {
      b = source.Next();
      continue;
    }
    uint8_t sequence[4] = {static_cast<uint8_t>(b)};
    const size_t length = Utf8SequenceLength(sequence[0]);
    size_t n = 1;
    for (b = source.Next(); n < length && b != kEnd && (b & 0xC0) == 0x80; b = source.Next()) {
      sequence[n++] = static_cast<uint8_t>(b);
    }
    if (first && StartsWithUtf8Bom(sequence, n)) {
      bom = true;
      return TextEncoding::kUtf8;
    }
    bool wide = false;
    if (!IsWholeUtf8(sequence, n, wide)) return TextEncoding::kShiftJis;
    multiByte = multiByte || wide;
  }
  return multiByte ? TextEncoding::kUtf8 : TextEncoding::kShiftJis;
}

// The file's bytes, taken into texts a whole character at a time.
class CharacterReader {
 public:
  CharacterReader(ByteSource& source, TextEncoding encoding) : source_(source), encoding_(encoding) {}

  int Next() {
    if (held_ == kNothingHeld) return source_.Next();
    const int b = held_;
    held_ = kNothingHeld;
    return b;
  }

  // Takes byte b into the text with the rest of its character. Shift-JIS: a
  // lead byte takes the byte after it as well, whatever it is; that byte is
  // returned (kEnd when b took none). UTF-8: a lead byte takes the
  // continuation bytes after it, up to its sequence's length; a byte that is
  // none is left for the next read, so kEnd is returned.
  int Take(int b, SlotWriter& text) {
    unsigned char bytes[4] = {static_cast<unsigned char>(b)};
    if (encoding_ == TextEncoding::kUtf8) {
      const size_t length = Utf8SequenceLength(bytes[0]);
      size_t n = 1;
      while (n < length) {
        const int next = source_.Next();
        if (next == kEnd) break;
        if ((next & 0xC0) != 0x80) {
          held_ = next;
          break;
        }
        bytes[n++] = static_cast<unsigned char>(next);
      }
      text.Append(bytes, static_cast<int>(n));
      return kEnd;
    }
    if (IsLeadByte(static_cast<uint8_t>(b), LeadBytes::kAnyHighByte)) {
      const int trail = source_.Next();
      if (trail != kEnd) {
        bytes[1] = static_cast<unsigned char>(trail);
        text.Append(bytes, 2);
        return trail;
      }
    }
    text.Append(bytes, 1);
    return kEnd;
  }

 private:
  ByteSource& source_;
  const TextEncoding encoding_;
  int held_ = kNothingHeld;
};

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
  bool Restart() override { return inner_.Restart(); }
  int lineOfLast() const { return lineOfLast_; }

 private:
  ByteSource& inner_;
  int line_ = 1, lineOfLast_ = 1;
  bool afterCr_ = false;
};

}  // namespace

SetupIni::SetupIni() : count(0) {
  std::memset(keys, 0, sizeof keys);
  std::memset(values, 0, sizeof values);
}

bool SetupIni::LoadFrom(ByteSource& file, SetupIniReport* report) {
  bool bom = false;
  encoding = EncodingOf(file, bom);
  if (!file.Restart()) return false;
  if (bom) {
    for (int i = 0; i < 3; ++i) file.Next();
  }
  LineCounter counted(file);
  CharacterReader source(report ? static_cast<ByteSource&>(counted) : file, encoding);
  bool loaded = true;
  bool equalsTaken = false;  // on this line, as the second byte of a character
  auto take = [&](int b, SlotWriter& text) {
    const int trail = source.Take(b, text);
    if (!report) return;
    if (IsLineBreak(trail)) report->LineBreakTaken(counted.lineOfLast());
    equalsTaken = equalsTaken || trail == '=';
  };
  auto isText = [&](const char* bytes) {
    std::wstring text;
    return DecodeText(bytes, encoding, text);
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

    // An entry that is no text in the file's encoding is refused, and its
    // slot is emptied for the next entry.
    if (!isText(key.text()) || !isText(value.text())) {
      if (report) report->EntryNotText(line, key.text(), value.text());
      if (kept) {
        std::memset(keys[count], 0, kTextSize);
        std::memset(values[count], 0, kTextSize);
      }
      if (!report || b == kEnd) return false;
      loaded = false;
      continue;
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

std::wstring SetupIni::TextOf(const char* name) const {
  std::wstring text;
  DecodeText(ValueOf(name), encoding, text);
  return text;
}

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
