#include "tools/skin_tool/ini_scan.h"

#include <memory>

#include "app/memory_byte_source.h"
#include "app/setup_ini.h"
#include "common/lead_bytes.h"

namespace skintool {
namespace {

// Collects what setup.exe's loader reports while it reads.
class ScanReport : public SetupIniReport {
 public:
  explicit ScanReport(IniScan& scan) : scan_(scan) {}
  void Entry(int line, int slot, const char* key, bool keyCut, const char* value, bool valueCut) override {
    scan_.entries.push_back({"", "", key, value, line, slot >= 0, keyCut, valueCut});
  }
  void LineWithoutEquals(int line, bool equalsTaken) override {
    scan_.linesWithoutEquals.push_back(line);
    if (equalsTaken) scan_.linesWithSwallowedEquals.push_back(line);
  }
  void LineBreakTaken(int line) override {
    std::vector<int>& lines = scan_.linesWithSwallowedBreak;
    if (lines.empty() || lines.back() != line) lines.push_back(line);
  }
  void EntryNotText(int line, const char* key, const char* value) override {
    scan_.entriesNotText.push_back({"", "", key, value, line, false, false, false});
  }

 private:
  IniScan& scan_;
};

// bytes read as text in an encoding, a character that is none shown as U+FFFD.
struct Reading {
  std::string text;      // UTF-8
  bool whole = true;     // every byte is text
  size_t badOffset = 0;  // the first character that is none, when not whole
  std::string bad;
};

// Shows the characters [from, to) of bytes (starts: where each begins, and
// the end). A run that does not convert is halved, so that a few characters
// that are no text cost a few conversions, not one per character.
void ReadRun(const std::string& bytes, const std::vector<size_t>& starts, size_t from, size_t to,
             TextEncoding encoding, Reading& reading) {
  if (from == to) return;
  std::wstring text;
  if (DecodeText(bytes.substr(starts[from], starts[to] - starts[from]), encoding, text)) {
    reading.text += Utf8FromWide(text);
    return;
  }
  if (to - from == 1) {
    reading.text += "\xEF\xBF\xBD";
    if (reading.bad.empty()) {
      reading.badOffset = starts[from];
      reading.bad = bytes.substr(starts[from], starts[to] - starts[from]);
    }
    return;
  }
  const size_t middle = from + (to - from) / 2;
  ReadRun(bytes, starts, from, middle, encoding, reading);
  ReadRun(bytes, starts, middle, to, encoding, reading);
}

Reading ReadText(const std::string& bytes, TextEncoding encoding) {
  Reading reading;
  std::wstring text;
  if (DecodeText(bytes, encoding, text)) {
    reading.text = Utf8FromWide(text);
    return reading;
  }
  reading.whole = false;
  // The characters: Shift-JIS by code page 932's lead bytes, UTF-8 by its
  // lead byte and the continuation bytes after it.
  std::vector<size_t> starts;
  for (size_t i = 0; i < bytes.size();) {
    starts.push_back(i);
    const uint8_t lead = static_cast<uint8_t>(bytes[i]);
    size_t length = 1;
    if (encoding == TextEncoding::kUtf8) {
      const size_t most = Utf8SequenceLength(lead);
      while (length < most && i + length < bytes.size() && (static_cast<uint8_t>(bytes[i + length]) & 0xC0) == 0x80) {
        ++length;
      }
    } else if (IsLeadByte(lead, LeadBytes::kShiftJis) && i + 1 < bytes.size()) {
      length = 2;
    }
    i += length;
  }
  starts.push_back(bytes.size());
  ReadRun(bytes, starts, 0, starts.size() - 1, encoding, reading);
  if (reading.bad.empty()) reading.bad = bytes.substr(0, 1);  // no text as a whole, though each character is
  return reading;
}

}  // namespace

const IniEntry* IniScan::Find(const std::string& key) const {
  for (const IniEntry& entry : entries) {
    if (entry.kept && entry.keyBytes == key) return &entry;
  }
  return nullptr;
}

std::string TextOfBytes(const std::string& bytes, TextEncoding encoding) {
  return ReadText(bytes, encoding).text;
}

bool FirstNonText(const std::string& bytes, TextEncoding encoding, size_t& offset, std::string& character) {
  const Reading reading = ReadText(bytes, encoding);
  if (reading.whole) return false;
  offset = reading.badOffset;
  character = reading.bad;
  return true;
}

const char* EncodingName(TextEncoding encoding) {
  return encoding == TextEncoding::kUtf8 ? "UTF-8" : "Shift-JIS (code page 932)";
}

IniScan ScanSetupIni(const uint8_t* data, size_t size) {
  IniScan scan;
  ScanReport report(scan);
  MemoryByteSource source(data, size);
  auto store = std::make_unique<SetupIni>();
  scan.loads = store->LoadFrom(source, &report);
  scan.encoding = store->encoding;
  for (std::vector<IniEntry>* list : {&scan.entries, &scan.entriesNotText}) {
    for (IniEntry& entry : *list) {
      entry.key = TextOfBytes(entry.keyBytes, scan.encoding);
      entry.value = TextOfBytes(entry.valueBytes, scan.encoding);
    }
  }
  return scan;
}

}  // namespace skintool
