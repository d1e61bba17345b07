// The checker on the folders and shortcuts the install makes: paths that lead
// out of the folder they are joined to, an InstallDest no key makes, folders
// made before their parents, shortcuts to files the payload lacks.
#include <set>

#include "common/paths.h"
#include "tools/skin_tool/setup_decisions.h"
#include "tools/skin_tool/skin_check_topics.h"

namespace skintool {
namespace {

bool EqualsFolded(const std::string& a, const std::string& b) { return FoldPath(a) == FoldPath(b); }

// Problems of a path that setup.exe joins to a folder: "" when none.
std::string PathProblem(const std::string& value, Joined joined, Severity& severity) {
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

// Runs CreateXxx0..4 in order: each folder is made only when its parent is
// there (made by an earlier key, or the base folder itself).
std::set<std::string> MadeFolders(CheckRun& run, const char* stem, const std::string& base) {
  std::set<std::string> made = {""};
  for (int i = 0; i < kNumberedKeys; ++i) {
    const std::string key = Indexed(stem, i);
    const std::string value = run.Value(key);
    if (value.empty() || !CheckPathValue(run, key, Joined::kKeptInside)) continue;
    const std::string folded = FoldPath(value);
    if (made.count(FoldPath(ParentOf(NormalizePath(value))))) {
      made.insert(folded);
    } else {
      run.IniWarning(run.LineOf(key), key + " = " + Quoted(value) + ": no earlier key makes its parent folder " +
                                          Quoted(ParentOf(NormalizePath(value))) + ", so it is made only if " + base +
                                          " already has that folder");
    }
  }
  return made;
}

}  // namespace

bool CheckPathValue(CheckRun& run, const std::string& key, Joined joined) {
  const IniEntry* entry = run.Entry(key);
  if (!entry || entry->value.empty()) return true;
  Severity severity;
  const std::string problem = PathProblem(entry->value, joined, severity);
  if (problem.empty()) return true;
  run.Add(severity, kIniName, entry->line, key + " = " + Quoted(entry->value) + " " + problem);
  return severity != Severity::kError;
}

void CheckInstallFolders(CheckRun& run) {
  const std::set<std::string> made = MadeFolders(run, "CreateDirectory", "the chosen folder");
  const IniEntry* dest = run.Entry("InstallDest");
  if (!dest || dest->value.empty()) {
    run.IniWarning(dest ? dest->line : 0, "InstallDest is empty: the payload is copied straight into the folder the "
                                          "user chooses, not into a folder of its own");
    return;
  }
  if (!CheckPathValue(run, "InstallDest", Joined::kInstallDest)) return;
  if (made.count(FoldPath(dest->value))) return;
  std::string message = "InstallDest = " + Quoted(dest->value) +
                        " is not made by any CreateDirectory0..4 key: setup.exe stops the install (\"destination "
                        "missing\") unless the chosen folder already has it";
  for (int i = 0; i < kNumberedKeys; ++i) {
    if (EqualsFolded(run.Value(Indexed("CreateDirectory", i)), dest->value)) {
      message = "InstallDest = " + Quoted(dest->value) + " is named by CreateDirectory" + std::to_string(i) +
                " but its parent folder is never made first, so setup.exe stops the install";
    }
  }
  run.IniError(dest->line, message);
}

void CheckStartMenu(CheckRun& run) {
  const std::set<std::string> made = MadeFolders(run, "CreateStartmenuDirectory", "the start menu's Programs folder");
  for (int i = 0; i < kNumberedKeys; ++i) {
    const std::string fromKey = Indexed("CreateShortcutFrom", i), toKey = Indexed("CreateShortcutTo", i);
    const std::string from = run.Value(fromKey), to = run.Value(toKey);
    if (from.empty() && to.empty()) continue;
    if (from.empty() || to.empty()) {
      const std::string& missing = from.empty() ? fromKey : toKey;
      run.IniWarning(run.LineOf(from.empty() ? toKey : fromKey),
                     "shortcut " + std::to_string(i) + " is not made: " + missing + " is empty");
      continue;
    }
    if (CheckPathValue(run, fromKey, Joined::kTarget)) {
      CheckTarget(run, fromKey, "the shortcut would point at nothing");
    }
    if (!CheckPathValue(run, toKey, Joined::kKeptInside)) continue;
    const std::string folder = ParentOf(NormalizePath(to));
    if (!made.count(FoldPath(folder))) {
      run.IniError(run.LineOf(toKey), toKey + " = " + Quoted(to) +
                                          ": no CreateStartmenuDirectory0..4 key makes its folder " + Quoted(folder) +
                                          ", so the shortcut is not saved");
    }
    if (Lower(to).size() < 4 || Lower(to).compare(to.size() - 4, 4, ".lnk") != 0) {
      run.IniWarning(run.LineOf(toKey), toKey + " = " + Quoted(to) +
                                            " does not end in .lnk: the shortcut file is saved under exactly this "
                                            "name and Windows will not treat it as a shortcut");
    }
  }
}

// A target relative to the chosen folder must be something the install puts there.
void CheckTarget(CheckRun& run, const std::string& key, const std::string& consequence) {
  const IniEntry* entry = run.Entry(key);
  const std::string target = NormalizePath(entry->value);
  const std::string dest = NormalizePath(run.Value("InstallDest"));
  std::string rest;
  if (dest.empty()) {
    rest = target;
  } else if (FoldPath(target) == FoldPath(dest)) {
    return;  // the install folder itself
  } else if (FoldPath(target).compare(0, FoldPath(dest).size() + 1, FoldPath(dest) + "\\") == 0) {
    rest = target.substr(dest.size() + 1);
  } else {
    run.IniError(entry->line, key + " = " + Quoted(entry->value) + " is outside InstallDest " + Quoted(dest) +
                                  ": the install puts nothing there (targets are relative to the chosen folder and "
                                  "start with InstallDest); " + consequence);
    return;
  }
  if (run.folder.Kind("data\\" + rest) == EntryKind::kNone) {
    run.IniError(entry->line, key + " = " + Quoted(entry->value) + ": the payload has no data\\" + rest + "; " +
                                  consequence);
  }
}

}  // namespace skintool
