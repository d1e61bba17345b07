// The checker on Setup.ini's keys: the keys setup.exe reads, keys it does not
// know (with the known key probably meant), duplicates, entries past the
// store's capacity, texts it cuts, and numbers that are not numbers.
#include <algorithm>
#include <climits>
#include <cstring>
#include <set>

#include "app/setup_ini.h"
#include "imaging/skin_layout.h"
#include "tools/skin_tool/skin_check_topics.h"

namespace skintool {
namespace {

size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t up = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = up;
    }
  }
  return row[b.size()];
}

// How a numeric value reads: atoi's way, and whether that is the whole text.
enum class NumberForm { kWhole, kLeadingDigits, kNoDigits, kEmpty };

NumberForm ReadNumberForm(const std::string& value, bool& outOfRange) {
  outOfRange = false;
  if (value.empty()) return NumberForm::kEmpty;
  size_t i = 0;
  while (i < value.size() && (value[i] == ' ' || (value[i] >= '\t' && value[i] <= '\r'))) ++i;
  if (i < value.size() && (value[i] == '+' || value[i] == '-')) ++i;
  const size_t digitsStart = i;
  long long magnitude = 0;
  while (i < value.size() && value[i] >= '0' && value[i] <= '9') {
    if (magnitude <= static_cast<long long>(INT_MAX) + 1) magnitude = magnitude * 10 + (value[i] - '0');
    ++i;
  }
  if (i == digitsStart) return NumberForm::kNoDigits;
  const bool negative = value.find('-') < digitsStart;
  outOfRange = magnitude > (negative ? static_cast<long long>(INT_MAX) + 1 : INT_MAX);
  return i == value.size() ? NumberForm::kWhole : NumberForm::kLeadingDigits;
}

// A known key that `key` was probably meant to be, or "" (exactOnly: only
// the matches that differ in case, blanks or a byte order mark).
std::string Suggest(const std::string& key, bool& exactMatch, bool& hadBom) {
  std::string trimmed = key;
  hadBom = trimmed.compare(0, 3, "\xEF\xBB\xBF") == 0;
  if (hadBom) trimmed.erase(0, 3);
  const std::string wideSpace = "\xE3\x80\x80";  // U+3000, the full-width space, in UTF-8
  auto blankAtStart = [&]() {
    if (!trimmed.empty() && (trimmed[0] == ' ' || trimmed[0] == '\t')) return 1;
    if (trimmed.compare(0, 3, wideSpace) == 0) return 3;
    return 0;
  };
  auto blankAtEnd = [&]() {
    if (!trimmed.empty() && (trimmed.back() == ' ' || trimmed.back() == '\t')) return 1;
    if (trimmed.size() >= 3 && trimmed.compare(trimmed.size() - 3, 3, wideSpace) == 0) return 3;
    return 0;
  };
  while (int n = blankAtStart()) trimmed.erase(0, n);
  while (int n = blankAtEnd()) trimmed.erase(trimmed.size() - n);
  const std::string folded = Lower(trimmed);
  std::string best;
  size_t bestDistance = 3;
  for (const KnownKey& known : KnownKeys()) {
    const std::string knownFolded = Lower(known.name);
    if (knownFolded == folded) {
      exactMatch = true;
      return known.name;
    }
    const size_t distance = EditDistance(folded, knownFolded);
    if (distance < bestDistance) {
      bestDistance = distance;
      best = known.name;
    }
  }
  exactMatch = false;
  return best;
}

bool IsKnownKey(const std::string& key) {
  for (const KnownKey& known : KnownKeys()) {
    if (known.name == key) return true;
  }
  return false;
}

// "CreateDirectory7": a known key's stem with an index setup.exe never reads.
std::string IndexedStemOutOfRange(const std::string& key) {
  static const char* stems[] = {"CreateDirectory", "CreateStartmenuDirectory", "CreateShortcutFrom",
                                "CreateShortcutTo", "CreateShortcutDescription"};
  for (const char* stem : stems) {
    const size_t n = std::strlen(stem);
    if (key.size() > n && key.compare(0, n, stem) == 0 &&
        std::all_of(key.begin() + n, key.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      return stem;
    }
  }
  return "";
}

// What setup.exe does without a layout key (a missing number reads as
// DecimalValue("") = 0); "" for the other keys.
std::string WithoutLayoutKey(const std::string& key) {
  const std::string readsAs = " (a missing number reads as " + std::to_string(DecimalValue("")) + ")";
  const std::string at = (key.back() == 'X' ? "x = " : "y = ") + std::to_string(DecimalValue(""));
  std::string pictures;
  for (const SkinPictureSlot& slot : kSkinPictures) {
    if (slot.xKey && (key == slot.xKey || key == slot.yKey)) {
      pictures += (pictures.empty() ? "" : " and ") + std::string(slot.name);
    }
  }
  if (!pictures.empty()) return "it places " + pictures + " at " + at + readsAs;
  if (key == "TitleBarX" || key == "TitleBarY") return "the title rectangle starts at " + at + readsAs;
  if (key == "TitleBarWidth" || key == "TitleBarHeight") {
    return "the title rectangle is one pixel " + std::string(key == "TitleBarWidth" ? "wide" : "high") + readsAs +
           ", so the window can hardly be moved";
  }
  return "";
}

void CheckUnknownKey(CheckRun& run, const IniEntry& entry) {
  const std::string stem = IndexedStemOutOfRange(entry.key);
  if (!stem.empty()) {
    run.IniWarning(entry.line, "unknown key " + Quoted(entry.key) + ": setup.exe reads only " + stem + "0 to " +
                                   stem + std::to_string(kNumberedKeys - 1));
    return;
  }
  bool exact = false, bom = false;
  const std::string suggestion = Suggest(entry.key, exact, bom);
  std::string message = "unknown key " + Quoted(entry.key) + ", ignored by setup.exe";
  if (bom) message += " (it starts with the byte order mark)";
  if (suggestion.empty()) {
    run.IniWarning(entry.line, message);
    return;
  }
  // Meant for a key Setup.ini lacks: an error where it differs only in case or
  // blanks, or where the missing key places something.
  const bool meantMissing = !run.Entry(suggestion);
  const std::string placed = meantMissing ? WithoutLayoutKey(suggestion) : "";
  if (!placed.empty()) message += "; without " + suggestion + " " + placed;
  message += "; did you mean " + suggestion + "?";
  if (exact && meantMissing) message += " (keys are exact: case and blanks count)";
  if ((exact && meantMissing) || !placed.empty()) {
    run.IniError(entry.line, message);
  } else {
    run.IniWarning(entry.line, message);
  }
}

}  // namespace

void CheckIniKeys(CheckRun& run) {
  std::set<std::string> seen;
  const IniEntry* firstDropped = nullptr;
  int dropped = 0;
  for (const IniEntry& entry : run.scan.entries) {
    if (!entry.kept) {
      if (!firstDropped) firstDropped = &entry;
      ++dropped;
      if (IsKnownKey(entry.keyBytes) && !run.Entry(entry.keyBytes)) {
        run.IniError(entry.line, "key " + entry.key + " comes after the " + std::to_string(SetupIni::kSlots) +
                                     "th entry: setup.exe keeps no more entries and never reads it");
      }
      continue;
    }
    if (entry.keyCut) {
      run.IniWarning(entry.line, "key longer than " + std::to_string(SetupIni::kTextSize - 1) +
                                     " bytes: setup.exe keeps only its start");
    }
    if (!seen.insert(entry.keyBytes).second) {
      const IniEntry* first = run.Entry(entry.keyBytes);
      run.IniWarning(entry.line, "duplicate key " + entry.key + ": setup.exe reads the first one (line " +
                                     std::to_string(first->line) + ") and ignores this one");
      continue;
    }
    if (IsKnownKey(entry.keyBytes)) {
      if (entry.valueCut) {
        run.IniError(entry.line, "value of " + entry.key + " is longer than " +
                                     std::to_string(SetupIni::kTextSize - 1) +
                                     " bytes: setup.exe keeps only its start");
      }
      continue;
    }
    CheckUnknownKey(run, entry);
  }
  if (dropped > 0) {
    run.IniWarning(firstDropped->line, std::to_string(dropped) + " entries from this line on come after the " +
                                           std::to_string(SetupIni::kSlots) +
                                           "th entry and are not kept (setup.exe holds " +
                                           std::to_string(SetupIni::kSlots) + ")");
  }
}

void CheckIniNumbers(CheckRun& run) {
  for (const KnownKey& known : KnownKeys()) {
    if (!known.numeric) continue;
    const IniEntry* entry = run.Entry(known.name);
    if (!entry) continue;
    bool outOfRange = false;
    const int reads = DecimalValue(entry->valueBytes.c_str());
    const std::string readsAs = "setup.exe reads it as " + std::to_string(reads);
    switch (ReadNumberForm(entry->valueBytes, outOfRange)) {
      case NumberForm::kWhole:
        break;
      case NumberForm::kLeadingDigits:
        run.IniWarning(entry->line, known.name + " = " + Quoted(entry->value) + " is not just a number: " + readsAs);
        break;
      case NumberForm::kNoDigits:
        run.IniError(entry->line, known.name + " = " + Quoted(entry->value) + " is not a number: " + readsAs);
        break;
      case NumberForm::kEmpty:
        run.IniWarning(entry->line, known.name + " is empty: " + readsAs);
        break;
    }
    if (outOfRange) run.IniWarning(entry->line, known.name + " is out of range: " + readsAs);
  }
}

const std::vector<KnownKey>& KnownKeys() {
  static const std::vector<KnownKey> keys = [] {
    std::vector<KnownKey> list = {
        {"Caption", false},          {"UninstallIni", false},     {"TitleBarX", true},
        {"TitleBarY", true},         {"TitleBarWidth", true},     {"TitleBarHeight", true},
        {"InstallButtonX", true},    {"InstallButtonY", true},    {"UninstallButtonX", true},
        {"UninstallButtonY", true},  {"ExitButtonX", true},       {"ExitButtonY", true},
        {"ProgressBarX", true},      {"ProgressBarY", true},      {"InstallDest", false},
        {"AutoStart", true},         {"AutoStartText", false},    {"AutoStartPath", false},
    };
    for (const char* stem : {"CreateDirectory", "CreateStartmenuDirectory", "CreateShortcutFrom",
                             "CreateShortcutTo", "CreateShortcutDescription"}) {
      for (int i = 0; i < kNumberedKeys; ++i) list.push_back({std::string(NumberedKey(stem, i)), false});
    }
    return list;
  }();
  return keys;
}

}  // namespace skintool
