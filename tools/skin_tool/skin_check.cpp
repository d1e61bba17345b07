#include "tools/skin_tool/skin_check.h"

#include <algorithm>

#include "app/setup_ini.h"
#include "tools/skin_tool/skin_check_topics.h"

namespace skintool {

std::string CheckRun::Value(const std::string& key) const {
  const IniEntry* entry = Entry(key);
  return entry ? entry->value : std::string();
}

int CheckRun::Number(const std::string& key) const {
  const IniEntry* entry = Entry(key);
  return entry ? DecimalValue(entry->valueBytes.c_str()) : 0;
}

int CheckRun::LineOf(const std::string& key) const {
  const IniEntry* entry = Entry(key);
  return entry ? entry->line : 0;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::vector<Finding> CheckSkin(const std::vector<uint8_t>* setupIni, const FolderView& folder, std::string* readAs) {
  if (readAs) readAs->clear();
  CheckRun run(setupIni, folder);
  if (!run.ini) {
    run.Add(Severity::kError, kIniName, 0,
            "Setup.ini is missing: setup.exe shows an error and ends (it reads Setup.ini from the "
            "current folder)");
  } else {
    run.scan = ScanSetupIni(run.ini->data(), run.ini->size());
    if (readAs) *readAs = EncodingName(run.scan.encoding);
    if (CheckIniEncoding(run)) {
      CheckIniLines(run);
      CheckIniKeys(run);
      CheckIniNumbers(run);
    }
  }
  CheckPictures(run);
  if (run.ini) {
    CheckLayout(run);
    CheckInstallFolders(run);
    CheckStartMenu(run);
    CheckAutoStart(run);
    CheckUninstallRecord(run);
  }
  CheckPayload(run);
  // Setup.ini's findings first, in line order; then the files' in the order found.
  std::stable_sort(run.findings.begin(), run.findings.end(), [](const Finding& a, const Finding& b) {
    const bool aIni = a.file == kIniName, bIni = b.file == kIniName;
    if (aIni != bIni) return aIni;
    return aIni && a.line < b.line;
  });
  return std::move(run.findings);
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
