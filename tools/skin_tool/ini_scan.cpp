#include "tools/skin_tool/ini_scan.h"

#include "app/setup_ini.h"

namespace skintool {
namespace {

constexpr int kEnd = -1;

bool IsLineBreak(int b) { return b == '\r' || b == '\n'; }
bool IsLeadByte(int b) { return b >= 0x80; }  // the loader's rule, not Shift-JIS's exact ranges

// The 1-based editor line of every byte offset (and of the end).
std::vector<int> LineOfEachOffset(const uint8_t* data, size_t size) {
  std::vector<int> lines(size + 1);
  int line = 1;
  for (size_t i = 0; i < size; ++i) {
    lines[i] = line;
    if (data[i] == '\n' || (data[i] == '\r' && (i + 1 >= size || data[i + 1] != '\n'))) ++line;
  }
  lines[size] = line;
  return lines;
}

// A text as a store slot takes it: once a character does not fit, nothing more.
class SlotText {
 public:
  void Append(const uint8_t* bytes, int n) {
    if (cut_) return;
    if (static_cast<int>(text_.size()) + n > SetupIni::kTextSize - 1) {
      cut_ = true;
      return;
    }
    text_.append(reinterpret_cast<const char*>(bytes), n);
  }
  const std::string& text() const { return text_; }
  bool cut() const { return cut_; }

 private:
  std::string text_;
  bool cut_ = false;
};

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  int Next() { return pos_ < size_ ? data_[pos_++] : kEnd; }
  size_t pos() const { return pos_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

}  // namespace

const IniEntry* IniScan::Find(const std::string& key) const {
  for (const IniEntry& entry : entries) {
    if (entry.kept && entry.key == key) return &entry;
  }
  return nullptr;
}

IniScan ScanSetupIni(const uint8_t* data, size_t size) {
  IniScan scan;
  const std::vector<int> lineAt = LineOfEachOffset(data, size);
  Reader in(data, size);
  int slots = 0;  // the store's count

  // Takes byte b (at offset `at`) and, after a lead byte, the next byte whatever it is.
  auto take = [&](int b, SlotText& text, bool inKey, bool& swallowedEquals) {
    uint8_t bytes[2] = {static_cast<uint8_t>(b), 0};
    const size_t at = in.pos() - 1;
    if (IsLeadByte(b)) {
      const int trail = in.Next();
      if (trail != kEnd) {
        if (IsLineBreak(trail)) {
          const int line = lineAt[at];
          if (scan.linesWithSwallowedBreak.empty() || scan.linesWithSwallowedBreak.back() != line) {
            scan.linesWithSwallowedBreak.push_back(line);
          }
        }
        if (inKey && trail == '=') swallowedEquals = true;
        bytes[1] = static_cast<uint8_t>(trail);
        text.Append(bytes, 2);
        return;
      }
    }
    text.Append(bytes, 1);
  };

  for (;;) {
    int b = in.Next();
    if (b == kEnd) break;
    if (IsLineBreak(b)) continue;
    if (b == ';') {
      while (b != kEnd && !IsLineBreak(b)) b = in.Next();
      if (b == kEnd) break;
      continue;
    }

    const int line = lineAt[in.pos() - 1];
    SlotText key, value;
    bool swallowedEquals = false;
    take(b, key, true, swallowedEquals);
    bool hasEquals = false;
    for (;;) {
      b = in.Next();
      if (b == kEnd || IsLineBreak(b)) break;
      if (b == '=') {
        hasEquals = true;
        break;
      }
      take(b, key, true, swallowedEquals);
    }
    if (!hasEquals) {
      scan.loads = false;
      scan.linesWithoutEquals.push_back(line);
      if (swallowedEquals) scan.linesWithSwallowedEquals.push_back(line);
      if (b == kEnd) break;
      continue;  // the loader stops here; the rest is still read for the report
    }
    for (;;) {
      b = in.Next();
      if (b == kEnd || IsLineBreak(b)) break;
      bool unused = false;
      take(b, value, false, unused);
    }

    IniEntry entry;
    entry.key = key.text();
    entry.value = value.text();
    entry.line = line;
    entry.kept = slots < SetupIni::kSlots;
    entry.keyCut = key.cut();
    entry.valueCut = value.cut();
    scan.entries.push_back(std::move(entry));
    if (slots < SetupIni::kSlots) ++slots;
    if (b == kEnd) break;
  }
  return scan;
}

}  // namespace skintool
