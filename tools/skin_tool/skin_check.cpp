#include "tools/skin_tool/skin_check.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <set>

#include "app/setup_ini.h"
#include "imaging/picture_decoders.h"
#include "imaging/pixel_layout.h"
#include "imaging/skin_layout.h"
#include "installer/setting_keys.h"
#include "tools/skin_tool/ini_scan.h"
#include "tools/skin_tool/scramble.h"
#include "tools/skin_tool/setup_decisions.h"
#include "tools/skin_tool/skin_pictures.h"

namespace skintool {
namespace {

constexpr const char* kIniName = "Setup.ini";
// The work area of a 1366 x 768 laptop screen with a 40-pixel task bar.
constexpr int kSmallScreenWidth = 1366, kSmallScreenHeight = 728;

// Files in the Windows directory that an uninstall record must never replace.
constexpr const char* kWindowsFiles[] = {"win.ini", "system.ini", "explorer.exe", "notepad.exe",
                                         "regedit.exe", "winhlp32.exe", "hh.exe"};

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool EqualsFolded(const std::string& a, const std::string& b) { return FoldPath(a) == FoldPath(b); }

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

std::string HexBytes(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (const char c : bytes) {
    const uint8_t b = static_cast<uint8_t>(c);
    if (!hex.empty()) hex += ' ';
    hex += kDigits[b >> 4];
    hex += kDigits[b & 15];
  }
  return hex;
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

class Checker {
 public:
  Checker(const std::vector<uint8_t>* ini, const FolderView& folder) : ini_(ini), folder_(folder) {}

  std::vector<Finding> Run(std::string* readAs) {
    if (!ini_) {
      Add(Severity::kError, kIniName, 0,
          "Setup.ini is missing: setup.exe shows an error and ends (it reads Setup.ini from the "
          "current folder)");
    } else {
      scan_ = ScanSetupIni(ini_->data(), ini_->size());
      if (readAs) *readAs = EncodingName(scan_.encoding);
      if (CheckEncoding()) {
        CheckLines();
        CheckKeys();
        CheckNumbers();
      }
    }
    CheckPictures();
    if (ini_) {
      CheckLayout();
      CheckInstallFolders();
      CheckStartMenu();
      CheckAutoStart();
      CheckUninstallRecord();
    }
    CheckPayload();
    // Setup.ini's findings first, in line order; then the files' in the order found.
    std::stable_sort(findings_.begin(), findings_.end(), [](const Finding& a, const Finding& b) {
      const bool aIni = a.file == kIniName, bIni = b.file == kIniName;
      if (aIni != bIni) return aIni;
      return aIni && a.line < b.line;
    });
    return std::move(findings_);
  }

 private:
  void Add(Severity severity, const std::string& file, int line, const std::string& message) {
    findings_.push_back({severity, file, line, message});
  }
  void IniError(int line, const std::string& message) { Add(Severity::kError, kIniName, line, message); }
  void IniWarning(int line, const std::string& message) { Add(Severity::kWarning, kIniName, line, message); }

  const IniEntry* Entry(const std::string& key) const { return scan_.Find(key); }
  // The value as text (UTF-8), and as setup.exe reads it as a number.
  std::string Value(const std::string& key) const {
    const IniEntry* entry = Entry(key);
    return entry ? entry->value : std::string();
  }
  int Number(const std::string& key) const {
    const IniEntry* entry = Entry(key);
    return entry ? DecimalValue(entry->valueBytes.c_str()) : 0;
  }
  int LineOf(const std::string& key) const {
    const IniEntry* entry = Entry(key);
    return entry ? entry->line : 0;
  }
  static std::string Indexed(const char* stem, int index) { return std::string(NumberedKey(stem, index)); }

  // ----- Setup.ini as text ---------------------------------------------------

  // False when the file is no text setup.exe reads at all (then its keys say nothing).
  bool CheckEncoding() {
    const std::vector<uint8_t>& bytes = *ini_;
    if (bytes.size() >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
      IniError(1, "Setup.ini is saved as UTF-16: setup.exe reads Shift-JIS or UTF-8; save it as one of those");
      return false;
    }
    if (scan_.encoding == TextEncoding::kShiftJis) CheckAlmostUtf8();
    return true;
  }

  // A file that is mostly UTF-8, but not wholly, is read as Shift-JIS: its
  // UTF-8 texts then come out garbled or break the file. (In Shift-JIS
  // Japanese text nearly every double-byte character is no UTF-8.)
  void CheckAlmostUtf8() {
    const std::vector<uint8_t>& bytes = *ini_;
    size_t valid = 0, invalid = 0;
    int line = 1, firstInvalidLine = 0;
    std::string firstInvalid;
    for (size_t i = 0; i < bytes.size();) {
      const uint8_t lead = bytes[i];
      if (lead < 0x80) {
        if (lead == '\r' || (lead == '\n' && (i == 0 || bytes[i - 1] != '\r'))) ++line;
        ++i;
        continue;
      }
      size_t n = 1;
      while (n < Utf8SequenceLength(lead) && i + n < bytes.size() && (bytes[i + n] & 0xC0) == 0x80) ++n;
      bool multiByte = false;
      if (IsWholeUtf8(&bytes[i], n, multiByte)) {
        ++valid;
      } else if (invalid++ == 0) {
        firstInvalidLine = line;
        firstInvalid.assign(bytes.begin() + i, bytes.begin() + i + n);
      }
      i += n;
    }
    if (invalid > 0 && valid > invalid) {
      IniWarning(firstInvalidLine, "Setup.ini is UTF-8 except for the bytes " + HexBytes(firstInvalid) +
                                       " on this line: setup.exe reads the whole file as Shift-JIS (code page 932), "
                                       "so its UTF-8 texts come out garbled; save it as UTF-8 throughout");
    }
  }

  void CheckLines() {
    // The first line that stops the load, of either kind.
    int firstBroken = scan_.linesWithoutEquals.empty() ? 0 : scan_.linesWithoutEquals[0];
    if (!scan_.entriesNotText.empty() && (!firstBroken || scan_.entriesNotText[0].line < firstBroken)) {
      firstBroken = scan_.entriesNotText[0].line;
    }
    const std::string refused = ": setup.exe refuses to start (\"Setup.ini is broken\")";
    for (const int line : scan_.linesWithoutEquals) {
      std::string message = "line has no \"=\"";
      if (std::find(scan_.linesWithSwallowedEquals.begin(), scan_.linesWithSwallowedEquals.end(), line) !=
          scan_.linesWithSwallowedEquals.end()) {
        message += " (the byte before it starts a double-byte character and takes the \"=\" as its second byte)";
      }
      if (line == firstBroken) message += refused;
      message += "; write comments with \";\" at the start of the line";
      IniError(line, message);
    }
    for (const IniEntry& entry : scan_.entriesNotText) {
      size_t offset = 0;
      std::string character;
      const bool keyIsText = !FirstNonText(entry.keyBytes, scan_.encoding, offset, character);
      if (keyIsText) FirstNonText(entry.valueBytes, scan_.encoding, offset, character);
      std::string message = (keyIsText ? "the value of " + Quoted(entry.key) : "the key " + Quoted(entry.key)) +
                            " is not valid " + EncodingName(scan_.encoding) + " text (at its byte " +
                            std::to_string(offset + 1) + ": " + HexBytes(character) + ")";
      if (entry.line == firstBroken) message += refused;
      IniError(entry.line, message);
    }
    for (int line : scan_.linesWithSwallowedBreak) {
      IniWarning(line, "the line ends in the first byte of a double-byte character: setup.exe takes the line "
                       "break as its second byte, so the value goes on into the next line");
    }
  }

  // A known key that `key` was probably meant to be, or "" (exactOnly: only
  // the matches that differ in case, blanks or a byte order mark).
  static std::string Suggest(const std::string& key, bool& exactMatch, bool& hadBom) {
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

  static bool IsKnownKey(const std::string& key) {
    for (const KnownKey& known : KnownKeys()) {
      if (known.name == key) return true;
    }
    return false;
  }

  // "CreateDirectory7": a known key's stem with an index setup.exe never reads.
  static std::string IndexedStemOutOfRange(const std::string& key) {
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

  void CheckKeys() {
    std::set<std::string> seen;
    const IniEntry* firstDropped = nullptr;
    int dropped = 0;
    for (const IniEntry& entry : scan_.entries) {
      if (!entry.kept) {
        if (!firstDropped) firstDropped = &entry;
        ++dropped;
        if (IsKnownKey(entry.keyBytes) && !Entry(entry.keyBytes)) {
          IniError(entry.line, "key " + entry.key + " comes after the " + std::to_string(SetupIni::kSlots) +
                                   "th entry: setup.exe keeps no more entries and never reads it");
        }
        continue;
      }
      if (entry.keyCut) {
        IniWarning(entry.line, "key longer than " + std::to_string(SetupIni::kTextSize - 1) +
                                   " bytes: setup.exe keeps only its start");
      }
      if (!seen.insert(entry.keyBytes).second) {
        const IniEntry* first = Entry(entry.keyBytes);
        IniWarning(entry.line, "duplicate key " + entry.key + ": setup.exe reads the first one (line " +
                                   std::to_string(first->line) + ") and ignores this one");
        continue;
      }
      if (IsKnownKey(entry.keyBytes)) {
        if (entry.valueCut) {
          IniError(entry.line, "value of " + entry.key + " is longer than " +
                                   std::to_string(SetupIni::kTextSize - 1) +
                                   " bytes: setup.exe keeps only its start");
        }
        continue;
      }
      CheckUnknownKey(entry);
    }
    if (dropped > 0) {
      IniWarning(firstDropped->line, std::to_string(dropped) + " entries from this line on come after the " +
                                         std::to_string(SetupIni::kSlots) +
                                         "th entry and are not kept (setup.exe holds " +
                                         std::to_string(SetupIni::kSlots) + ")");
    }
  }

  void CheckUnknownKey(const IniEntry& entry) {
    const std::string stem = IndexedStemOutOfRange(entry.key);
    if (!stem.empty()) {
      IniWarning(entry.line, "unknown key " + Quoted(entry.key) + ": setup.exe reads only " + stem + "0 to " +
                                 stem + std::to_string(kNumberedKeys - 1));
      return;
    }
    bool exact = false, bom = false;
    const std::string suggestion = Suggest(entry.key, exact, bom);
    std::string message = "unknown key " + Quoted(entry.key) + ", ignored by setup.exe";
    if (bom) message += " (it starts with the byte order mark)";
    if (suggestion.empty()) {
      IniWarning(entry.line, message);
      return;
    }
    message += "; did you mean " + suggestion + "?";
    if (exact && !Entry(suggestion)) {
      message += " (keys are exact: case and blanks count)";
      IniError(entry.line, message);
    } else {
      IniWarning(entry.line, message);
    }
  }

  void CheckNumbers() {
    for (const KnownKey& known : KnownKeys()) {
      if (!known.numeric) continue;
      const IniEntry* entry = Entry(known.name);
      if (!entry) continue;
      bool outOfRange = false;
      const int reads = DecimalValue(entry->valueBytes.c_str());
      const std::string readsAs = "setup.exe reads it as " + std::to_string(reads);
      switch (ReadNumberForm(entry->valueBytes, outOfRange)) {
        case NumberForm::kWhole:
          break;
        case NumberForm::kLeadingDigits:
          IniWarning(entry->line, known.name + " = " + Quoted(entry->value) + " is not just a number: " + readsAs);
          break;
        case NumberForm::kNoDigits:
          IniError(entry->line, known.name + " = " + Quoted(entry->value) + " is not a number: " + readsAs);
          break;
        case NumberForm::kEmpty:
          IniWarning(entry->line, known.name + " is empty: " + readsAs);
          break;
      }
      if (outOfRange) IniWarning(entry->line, known.name + " is out of range: " + readsAs);
    }
  }

  // ----- pictures ---------------------------------------------------------

  void CheckPictures() {
    for (const SkinPictureSlot& slot : kSkinPictures) pictures_[slot.name] = LoadSkinPicture(folder_, slot.name, findings_);
  }

  // ----- layout on the base picture ---------------------------------------

  // Checks a rectangle [left, right) x [top, bottom) against the window's shape.
  // reportCutOut: whether some cut-out pixels under it are worth a warning (a
  // title rectangle over the window's rounded corners is normal).
  void CheckPlacement(const std::string& what, int line, int64_t left, int64_t top, int64_t right,
                      int64_t bottom, const std::string& consequence, bool reportCutOut = true) {
    const SkinPictureFile& base = pictures_["ui\\base"];
    const int64_t width = std::max<int64_t>(0, right - left), height = std::max<int64_t>(0, bottom - top);
    const int64_t total = width * height;
    if (total == 0) return;
    const int64_t x0 = std::max<int64_t>(left, 0), x1 = std::min<int64_t>(right, base.pixels.width);
    const int64_t y0 = std::max<int64_t>(top, 0), y1 = std::min<int64_t>(bottom, base.pixels.height);
    int64_t inside = 0, cut = 0;
    if (x0 < x1 && y0 < y1) {
      inside = (x1 - x0) * (y1 - y0);
      for (int64_t y = y0; y < y1; ++y) {
        const uint8_t* row = base.pixels.pixels.data() + PixelOffset(base.pixels.width, base.pixels.height, 0, y);
        for (int64_t x = x0; x < x1; ++x) {
          if (row[3 * x] == 0 && row[3 * x + 1] == 0 && row[3 * x + 2] == 0) ++cut;
        }
      }
    }
    const int64_t outside = total - inside;
    if (outside + cut < total && !reportCutOut) cut = 0;
    if (outside == 0 && cut == 0) return;
    const std::string where = what + " (" + std::to_string(left) + "," + std::to_string(top) + ")-(" +
                              std::to_string(right - 1) + "," + std::to_string(bottom - 1) + ")";
    std::string detail;
    if (outside > 0) detail += std::to_string(outside) + " of its " + std::to_string(total) + " pixels lie outside the " +
                               std::to_string(base.pixels.width) + "x" + std::to_string(base.pixels.height) + " base picture";
    if (cut > 0) {
      if (!detail.empty()) detail += " and ";
      detail += std::to_string(cut) + (outside > 0 ? "" : " of its " + std::to_string(total)) +
                " pixels lie on pure-black (cut-out) pixels of the base";
    }
    if (outside + cut == total) {
      IniError(line, where + " is nowhere on the window: " + detail + "; " + consequence);
    } else {
      IniWarning(line, where + " is partly off the window: " + detail);
    }
  }

  void CheckLayout() {
    const SkinPictureFile& base = pictures_["ui\\base"];
    const SkinPictureFile& bar = pictures_["ui\\ProgressBar"];
    if (bar.sized && bar.pixels.width < kMinimumBarWidth) findings_.push_back(NarrowProgressBarFinding(bar));
    if (!base.decoded) return;  // nothing to place things on
    if (base.pixels.width > kSmallScreenWidth || base.pixels.height > kSmallScreenHeight) {
      Add(Severity::kWarning, base.resolved, 0,
          "the base picture is " + std::to_string(base.pixels.width) + " x " + std::to_string(base.pixels.height) +
              " pixels, larger than a small laptop's work area (" + std::to_string(kSmallScreenWidth) + " x " +
              std::to_string(kSmallScreenHeight) + "): part of the window will be off such a screen");
    }

    static const std::set<std::string> kButtons = {"ui\\Install", "ui\\Uninstall", "ui\\Exit"};
    for (const SkinPictureSlot& slot : kSkinPictures) {
      if (!slot.xKey) continue;
      const SkinPictureFile& picture = pictures_[slot.name];
      if (!picture.sized) continue;
      const int64_t x = Number(slot.xKey), y = Number(slot.yKey);
      const int line = LineOf(slot.xKey) ? LineOf(slot.xKey) : LineOf(slot.yKey);
      const bool button = kButtons.count(slot.name) > 0;
      CheckPlacement(std::string(slot.name) + " at " + slot.xKey + "/" + slot.yKey, line, x, y,
                     x + picture.pixels.width, y + picture.pixels.height,
                     button ? "the button cannot be seen or clicked" : "it never shows");
    }

    const char* titleKeys[] = {"TitleBarX", "TitleBarY", "TitleBarWidth", "TitleBarHeight"};
    int titleLine = 0;
    for (const char* key : titleKeys) {
      if (!titleLine) titleLine = LineOf(key);
    }
    if (!Entry("TitleBarWidth") && !Entry("TitleBarHeight")) {
      IniWarning(titleLine, "no TitleBarWidth or TitleBarHeight: the title rectangle is one pixel, so the window "
                            "can hardly be moved");
    }
    const int64_t tx = Number("TitleBarX"), ty = Number("TitleBarY");
    const int64_t tw = Number("TitleBarWidth"), th = Number("TitleBarHeight");
    if (tw < 0 || th < 0) {
      IniError(titleLine, "TitleBarWidth and TitleBarHeight must not be negative: the window cannot be moved");
      return;
    }
    // Its hit test also takes the line just right of and below it; that line
    // is left out here, so that a rectangle as wide as the base is no finding.
    CheckPlacement("the title rectangle", titleLine, tx, ty, tx + std::max<int64_t>(tw, 1), ty + std::max<int64_t>(th, 1),
                   "the window cannot be moved", false);
  }

  // ----- folders the install makes ----------------------------------------

  // How setup.exe takes a path that it joins to a folder.
  enum class Joined {
    kKeptInside,     // CreateDirectoryN, CreateStartmenuDirectoryN, CreateShortcutToN: skipped unless inside
    kInstallDest,    // the install stops unless it is inside
    kTarget,         // CreateShortcutFromN, AutoStartPath: checked against the payload
  };

  // Problems of a path that setup.exe joins to a folder: "" when none.
  static std::string PathProblem(const std::string& value, Joined joined, Severity& severity) {
    severity = Severity::kError;
    if (value.find(':') != std::string::npos) return "must be relative, without a drive or \":\"";
    for (char c : {'<', '>', '"', '|', '?', '*'}) {
      if (value.find(c) != std::string::npos) return std::string("holds \"") + c + "\", which no file name may hold";
    }
    if (joined != Joined::kTarget && !SetupKeepsInside(value)) {
      return joined == Joined::kKeptInside
                 ? "leads out of the folder it is joined to: setup.exe will skip it"
                 : "leads out of the chosen folder: setup.exe will stop the install (\"Setup.ini abnormal\")";
    }
    severity = Severity::kWarning;
    if (!value.empty() && (value[0] == '\\' || value[0] == '/')) {
      return "starts with a separator: it is joined after a \"\\\" anyway";
    }
    return "";
  }

  bool CheckPathValue(const std::string& key, Joined joined) {
    const IniEntry* entry = Entry(key);
    if (!entry || entry->value.empty()) return true;
    Severity severity;
    const std::string problem = PathProblem(entry->value, joined, severity);
    if (problem.empty()) return true;
    Add(severity, kIniName, entry->line, key + " = " + Quoted(entry->value) + " " + problem);
    return severity != Severity::kError;
  }

  // Runs CreateXxx0..4 in order: each folder is made only when its parent is
  // there (made by an earlier key, or the base folder itself).
  std::set<std::string> MadeFolders(const char* stem, const std::string& base) {
    std::set<std::string> made = {""};
    for (int i = 0; i < kNumberedKeys; ++i) {
      const std::string key = Indexed(stem, i);
      const std::string value = Value(key);
      if (value.empty() || !CheckPathValue(key, Joined::kKeptInside)) continue;
      const std::string folded = FoldPath(value);
      if (made.count(FoldPath(ParentOf(NormalizePath(value))))) {
        made.insert(folded);
      } else {
        IniWarning(LineOf(key), key + " = " + Quoted(value) + ": no earlier key makes its parent folder " +
                                    Quoted(ParentOf(NormalizePath(value))) + ", so it is made only if " + base +
                                    " already has that folder");
      }
    }
    return made;
  }

  void CheckInstallFolders() {
    made_ = MadeFolders("CreateDirectory", "the chosen folder");
    const IniEntry* dest = Entry("InstallDest");
    if (!dest || dest->value.empty()) {
      IniWarning(dest ? dest->line : 0, "InstallDest is empty: the payload is copied straight into the folder the "
                                        "user chooses, not into a folder of its own");
      return;
    }
    if (!CheckPathValue("InstallDest", Joined::kInstallDest)) return;
    if (made_.count(FoldPath(dest->value))) return;
    std::string message = "InstallDest = " + Quoted(dest->value) +
                          " is not made by any CreateDirectory0..4 key: setup.exe stops the install (\"destination "
                          "missing\") unless the chosen folder already has it";
    for (int i = 0; i < kNumberedKeys; ++i) {
      if (EqualsFolded(Value(Indexed("CreateDirectory", i)), dest->value)) {
        message = "InstallDest = " + Quoted(dest->value) + " is named by CreateDirectory" + std::to_string(i) +
                  " but its parent folder is never made first, so setup.exe stops the install";
      }
    }
    IniError(dest->line, message);
  }

  void CheckStartMenu() {
    const std::set<std::string> made = MadeFolders("CreateStartmenuDirectory", "the start menu's Programs folder");
    for (int i = 0; i < kNumberedKeys; ++i) {
      const std::string fromKey = Indexed("CreateShortcutFrom", i), toKey = Indexed("CreateShortcutTo", i);
      const std::string from = Value(fromKey), to = Value(toKey);
      if (from.empty() && to.empty()) continue;
      if (from.empty() || to.empty()) {
        const std::string& missing = from.empty() ? fromKey : toKey;
        IniWarning(LineOf(from.empty() ? toKey : fromKey),
                   "shortcut " + std::to_string(i) + " is not made: " + missing + " is empty");
        continue;
      }
      if (CheckPathValue(fromKey, Joined::kTarget)) CheckTarget(fromKey, "the shortcut would point at nothing");
      if (!CheckPathValue(toKey, Joined::kKeptInside)) continue;
      const std::string folder = ParentOf(NormalizePath(to));
      if (!made.count(FoldPath(folder))) {
        IniError(LineOf(toKey), toKey + " = " + Quoted(to) + ": no CreateStartmenuDirectory0..4 key makes its folder " +
                                    Quoted(folder) + ", so the shortcut is not saved");
      }
      if (Lower(to).size() < 4 || Lower(to).compare(to.size() - 4, 4, ".lnk") != 0) {
        IniWarning(LineOf(toKey), toKey + " = " + Quoted(to) + " does not end in .lnk: the shortcut file is saved "
                                      "under exactly this name and Windows will not treat it as a shortcut");
      }
    }
  }

  // A target relative to the chosen folder must be something the install puts there.
  void CheckTarget(const std::string& key, const std::string& consequence) {
    const IniEntry* entry = Entry(key);
    const std::string target = NormalizePath(entry->value);
    const std::string dest = NormalizePath(Value("InstallDest"));
    std::string rest;
    if (dest.empty()) {
      rest = target;
    } else if (FoldPath(target) == FoldPath(dest)) {
      return;  // the install folder itself
    } else if (FoldPath(target).compare(0, FoldPath(dest).size() + 1, FoldPath(dest) + "\\") == 0) {
      rest = target.substr(dest.size() + 1);
    } else {
      IniError(entry->line, key + " = " + Quoted(entry->value) + " is outside InstallDest " + Quoted(dest) +
                                ": the install puts nothing there (targets are relative to the chosen folder and "
                                "start with InstallDest); " + consequence);
      return;
    }
    if (folder_.Kind("data\\" + rest) == EntryKind::kNone) {
      IniError(entry->line, key + " = " + Quoted(entry->value) + ": the payload has no data\\" + rest + "; " +
                                consequence);
    }
  }

  void CheckAutoStart() {
    const IniEntry* autoStart = Entry("AutoStart");
    const int mode = Number("AutoStart");
    if (autoStart && mode != 0 && mode != 1 && mode != 2) {
      IniWarning(autoStart->line, "AutoStart = " + std::to_string(mode) +
                                      " starts nothing: 0 starts nothing, 1 asks first, 2 starts without asking");
    }
    const IniEntry* path = Entry("AutoStartPath");
    if (mode != 1 && mode != 2) {
      if (path && !path->value.empty()) {
        IniWarning(path->line, "AutoStartPath is set but AutoStart is " + std::to_string(mode) +
                                   ": nothing is started after the install");
      }
      return;
    }
    if (!path || path->value.empty()) {
      IniError(autoStart->line, "AutoStart = " + std::to_string(mode) +
                                    " but AutoStartPath is empty: setup.exe will start nothing and ask nothing");
      return;
    }
    if (!SetupLaunchesFileNamed(path->value)) {
      IniError(path->line, "AutoStartPath = " + Quoted(path->value) + " is a shortcut or link type: setup.exe "
                                                                        "will start nothing and ask nothing");
      return;
    }
    if (mode == 1 && Value("AutoStartText").empty()) {
      IniWarning(autoStart->line, "AutoStart = 1 asks a question, but AutoStartText is empty: the question box is blank");
    }
    if (CheckPathValue("AutoStartPath", Joined::kTarget)) CheckTarget("AutoStartPath", "setup.exe will start nothing and ask nothing");
  }

  void CheckUninstallRecord() {
    const IniEntry* entry = Entry("UninstallIni");
    if (!entry || entry->value.empty()) {
      IniError(entry ? entry->line : 0, "UninstallIni is empty: setup.exe writes no uninstall record, so what it "
                                        "installs can never be uninstalled");
      return;
    }
    const std::string& value = entry->value;
    if (!SetupHasRecordNamed(value)) {
      IniError(entry->line, "UninstallIni = " + Quoted(value) + " must be a plain file name of the Windows folder: "
                                                                 "setup.exe will write no uninstall record");
      return;
    }
    for (const char* file : kWindowsFiles) {
      if (Lower(value) == file) {
        IniError(entry->line, "UninstallIni = " + Quoted(value) + " is a file of Windows itself: the install "
                                                                   "would overwrite it and the uninstall delete it");
      }
    }
  }

  // ----- the payload ------------------------------------------------------

  void CheckPayload() {
    if (folder_.Kind("data") != EntryKind::kFolder) {
      Add(Severity::kError, "data", 0, "the payload folder data is missing: the install copies nothing");
      return;
    }
    uint64_t total = 0;
    size_t files = 0;
    folder_.ForEachFile("data", [&](const std::string& path, uint64_t size) {
      ++files;
      total += size;
      if (size >= kFourGiB) {
        Add(Severity::kError, "data\\" + path, 0,
            "4 GiB or larger (" + std::to_string(size) + " bytes): setup.exe counts sizes in 32 bits and cannot "
            "install it");
      }
    });
    if (files == 0) {
      Add(Severity::kWarning, "data", 0, "the payload folder data is empty: the install copies nothing");
    } else if (total >= kFourGiB) {
      Add(Severity::kError, "data", 0,
          "the payload holds " + std::to_string(total) + " bytes, 4 GiB or more: setup.exe counts sizes in 32 bits "
          "(free space and progress go wrong)");
    }
  }

  const std::vector<uint8_t>* ini_;
  const FolderView& folder_;
  IniScan scan_;
  std::map<std::string, SkinPictureFile> pictures_;
  std::set<std::string> made_;
  std::vector<Finding> findings_;
};

}  // namespace

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

std::vector<Finding> CheckSkin(const std::vector<uint8_t>* setupIni, const FolderView& folder, std::string* readAs) {
  if (readAs) readAs->clear();
  return Checker(setupIni, folder).Run(readAs);
}

std::vector<Finding> CheckSkinFolder(const FolderView& folder, std::string* readAs) {
  std::vector<uint8_t> ini;
  // setup.exe reads Setup.ini whatever its size.
  const bool present = folder.Kind(kIniName) == EntryKind::kFile &&
                       folder.Read(kIniName, UINT64_MAX, ini) == ReadResult::kOk;
  return CheckSkin(present ? &ini : nullptr, folder, readAs);
}

std::string FormatFinding(const Finding& finding) {
  std::string text;
  if (!finding.file.empty()) {
    text += finding.file;
    if (finding.line > 0) text += ":" + std::to_string(finding.line);
    text += ": ";
  }
  text += finding.severity == Severity::kError ? "error: " : "warning: ";
  return text + finding.message;
}

}  // namespace skintool
