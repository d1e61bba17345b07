// The checker on what the install leaves behind it: the program it starts at
// the end (AutoStart, AutoStartPath, AutoStartText) and the uninstall record
// (UninstallIni).
#include "tools/skin_tool/setup_decisions.h"
#include "tools/skin_tool/skin_check_topics.h"

namespace skintool {
namespace {

// Files in the Windows directory that an uninstall record must never replace.
constexpr const char* kWindowsFiles[] = {"win.ini", "system.ini", "explorer.exe", "notepad.exe",
                                         "regedit.exe", "winhlp32.exe", "hh.exe"};

}  // namespace

void CheckAutoStart(CheckRun& run) {
  const IniEntry* autoStart = run.Entry("AutoStart");
  const int mode = run.Number("AutoStart");
  if (autoStart && mode != 0 && mode != 1 && mode != 2) {
    run.IniWarning(autoStart->line, "AutoStart = " + std::to_string(mode) +
                                        " starts nothing: 0 starts nothing, 1 asks first, 2 starts without asking");
  }
  const IniEntry* path = run.Entry("AutoStartPath");
  if (mode != 1 && mode != 2) {
    if (path && !path->value.empty()) {
      run.IniWarning(path->line, "AutoStartPath is set but AutoStart is " + std::to_string(mode) +
                                     ": nothing is started after the install");
    }
    return;
  }
  if (!path || path->value.empty()) {
    run.IniError(autoStart->line, "AutoStart = " + std::to_string(mode) +
                                      " but AutoStartPath is empty: setup.exe will start nothing and ask nothing");
    return;
  }
  if (!SetupLaunchesFileNamed(path->value)) {
    run.IniError(path->line, "AutoStartPath = " + Quoted(path->value) + " is a shortcut or link type: setup.exe "
                                                                          "will start nothing and ask nothing");
    return;
  }
  if (mode == 1 && run.Value("AutoStartText").empty()) {
    run.IniWarning(autoStart->line,
                   "AutoStart = 1 asks a question, but AutoStartText is empty: the question box is blank");
  }
  if (CheckPathValue(run, "AutoStartPath", Joined::kTarget)) {
    CheckTarget(run, "AutoStartPath", "setup.exe will start nothing and ask nothing");
  }
}

void CheckUninstallRecord(CheckRun& run) {
  const IniEntry* entry = run.Entry("UninstallIni");
  if (!entry || entry->value.empty()) {
    run.IniError(entry ? entry->line : 0, "UninstallIni is empty: setup.exe writes no uninstall record, so what it "
                                          "installs can never be uninstalled");
    return;
  }
  const std::string& value = entry->value;
  if (!SetupHasRecordNamed(value)) {
    run.IniError(entry->line, "UninstallIni = " + Quoted(value) + " must be a plain file name of the Windows folder: "
                                                                   "setup.exe will write no uninstall record");
    return;
  }
  for (const char* file : kWindowsFiles) {
    if (Lower(value) == file) {
      run.IniError(entry->line, "UninstallIni = " + Quoted(value) + " is a file of Windows itself: the install "
                                                                     "would overwrite it and the uninstall delete it");
    }
  }
}

}  // namespace skintool
