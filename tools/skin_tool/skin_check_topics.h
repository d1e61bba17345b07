// Inside the skin checker: what one check run shares between its topics, and
// each topic's entry point. Every topic lives in its own skin_check_*.cpp;
// skin_check.cpp runs them in order (CheckSkin).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "installer/setting_keys.h"
#include "tools/skin_tool/folder_view.h"
#include "tools/skin_tool/ini_scan.h"
#include "tools/skin_tool/skin_check.h"
#include "tools/skin_tool/skin_pictures.h"

namespace skintool {

inline constexpr const char* kIniName = "Setup.ini";

// One check of one setup folder: the input, what the topics have read of it,
// and the findings so far.
struct CheckRun {
  CheckRun(const std::vector<uint8_t>* setupIni, const FolderView& view) : ini(setupIni), folder(view) {}

  const std::vector<uint8_t>* ini;  // null when the folder has no Setup.ini
  const FolderView& folder;
  IniScan scan;
  std::map<std::string, SkinPictureFile> pictures;  // by the name setup.exe asks for, "ui\\base" ...
  std::vector<Finding> findings;

  void Add(Severity severity, const std::string& file, int line, const std::string& message) {
    findings.push_back({severity, file, line, message});
  }
  void IniError(int line, const std::string& message) { Add(Severity::kError, kIniName, line, message); }
  void IniWarning(int line, const std::string& message) { Add(Severity::kWarning, kIniName, line, message); }

  // The entry setup.exe reads for `key`, or null.
  const IniEntry* Entry(const std::string& key) const { return scan.Find(key); }
  // The value as text (UTF-8), and as setup.exe reads it as a number.
  std::string Value(const std::string& key) const;
  int Number(const std::string& key) const;
  int LineOf(const std::string& key) const;
};

std::string Quoted(const std::string& text);
std::string Lower(std::string text);  // ASCII letters only
inline std::string Indexed(const char* stem, int index) { return std::string(NumberedKey(stem, index)); }

// ----- the topics, in the order CheckSkin runs them -----------------------------

// Setup.ini as text (skin_check_ini_text.cpp). CheckIniEncoding: false when
// the file is no text setup.exe reads at all (then its keys say nothing).
bool CheckIniEncoding(CheckRun& run);
void CheckIniLines(CheckRun& run);

// Setup.ini's keys and numbers (skin_check_keys.cpp).
void CheckIniKeys(CheckRun& run);
void CheckIniNumbers(CheckRun& run);

// The pictures, loaded into run.pictures, and what setup.exe shows of them
// otherwise than their author sees them (skin_check_pictures.cpp).
void CheckPictures(CheckRun& run);

// Where the buttons, the bar and the title rectangle sit on the base (skin_check_layout.cpp).
void CheckLayout(CheckRun& run);

// The folders and shortcuts the install makes (skin_check_folders.cpp).
void CheckInstallFolders(CheckRun& run);
void CheckStartMenu(CheckRun& run);

// After the install: what it starts, the uninstall record (skin_check_record.cpp).
void CheckAutoStart(CheckRun& run);
void CheckUninstallRecord(CheckRun& run);

// The payload under data\ (skin_check_payload.cpp).
void CheckPayload(CheckRun& run);

// ----- paths in Setup.ini, shared by the folder and auto-start topics ---------------

// How setup.exe takes a path that it joins to a folder.
enum class Joined {
  kKeptInside,   // CreateDirectoryN, CreateStartmenuDirectoryN, CreateShortcutToN: skipped unless inside
  kInstallDest,  // the install stops unless it is inside
  kTarget,       // CreateShortcutFromN, AutoStartPath: checked against the payload
};

// Reports a problem of the path value of `key`; false when it is an error
// (then nothing more about it is worth saying).
bool CheckPathValue(CheckRun& run, const std::string& key, Joined joined);

// A target relative to the chosen folder must be something the install puts
// there; `consequence` says what happens when it is not.
void CheckTarget(CheckRun& run, const std::string& key, const std::string& consequence);

}  // namespace skintool
