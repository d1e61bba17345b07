// The start menu's part of an install: the configured folders under the
// Programs folder and the shortcuts in them, each made only inside real
// folders held below Programs; and the list of what this install made, which
// the record names.
#include <objbase.h>

#include <set>
#include <string>

#include "common/paths.h"
#include "installer/install_flow.h"
#include "installer/install_host.h"
#include "installer/install_run.h"
#include "installer/path_guard.h"
#include "installer/setting_keys.h"
#include "installer/setup_shell.h"
#include "installer/uninstall_record.h"

namespace {

std::set<std::string> madeEntries;

// A name no one can guess, beside the link's own, for the shortcut to be
// saved under before it is moved into place.
std::wstring UnguessableNameBeside(const std::wstring& link) {
  GUID guid;
  wchar_t text[64] = {};
  if (FAILED(CoCreateGuid(&guid)) || StringFromGUID2(guid, text, 64) == 0) return L"";
  std::wstring folder = link;
  return CutToParent(folder) ? JoinPath(folder, std::wstring(L"~") + text + L".tmp") : L"";
}

// Saves the shortcut under a new name in the held folder and moves it to its
// own name without replacing anything: a file planted at that name meanwhile
// is never written through, and the shortcut is then not made.
bool SaveShortcutInPlace(const std::wstring& target, const std::wstring& link,
                         const std::wstring& description) {
  const std::wstring saved = UnguessableNameBeside(link);
  if (saved.empty()) return false;
  std::wstring workingFolder = target;
  CutToParent(workingFolder);
  if (FAILED(installHost.shell->CreateShortcut(target, workingFolder, saved, description))) {
    DeleteFileW(ExtendedLengthPath(saved).c_str());
    return false;
  }
  if (MoveFileExW(ExtendedLengthPath(saved).c_str(), ExtendedLengthPath(link).c_str(), 0)) return true;
  DeleteFileW(ExtendedLengthPath(saved).c_str());
  return false;
}

void CreateConfiguredShortcut(const std::wstring& programs, int index) {
  const std::wstring from = SettingText(NumberedKey("CreateShortcutFrom", index));
  const NumberedKey toKey("CreateShortcutTo", index);
  const std::wstring to = SettingText(toKey);
  if (from.empty() || to.empty()) return;
  // The link goes only into real folders below Programs, by their held
  // paths, and a file standing at its name loses that name instead of being
  // written through.
  FolderChain folders;
  const std::wstring link = folders.HoldPlaceOf(programs, JoinPath(programs, to));
  if (link.empty()) return;
  DeleteFileW(ExtendedLengthPath(link).c_str());
  if (SaveShortcutInPlace(JoinPath(installFolder, from), link,
                          SettingText(NumberedKey("CreateShortcutDescription", index)))) {
    NoteMadeEntry(toKey);
  }
}

}  // namespace

void CreateStartMenuEntries() {
  std::wstring programs;
  // Without the Programs folder nothing is made: names joined to an empty
  // folder would land at the root of the current drive.
  if (!installHost.shell->GetProgramsFolder(programs)) return;
  for (int i = 0; i < kNumberedKeys; ++i) {
    CreateConfiguredFolder(programs, NumberedKey("CreateStartmenuDirectory", i));
  }
  for (int i = 0; i < kNumberedKeys; ++i) CreateConfiguredShortcut(programs, i);
}

void ForgetMadeEntries() { madeEntries.clear(); }
void NoteMadeEntry(const char* key) { madeEntries.insert(key); }

const char* UsedByThisInstall(const char* key) {
  const bool used = std::string(key) == kRecordMarkerKey || madeEntries.count(key) > 0;
  return used ? installHost.setting(key) : "";
}
