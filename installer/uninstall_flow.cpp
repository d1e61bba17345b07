#include "installer/uninstall_flow.h"

#include "common/message_box.h"
#include "common/messages.h"
#include "common/paths.h"
#include "installer/install_flow.h"
#include "installer/install_host.h"
#include "installer/path_guard.h"
#include "installer/record_path.h"
#include "installer/setting_keys.h"
#include "installer/setup_shell.h"
#include "installer/uninstall_record.h"

namespace {

// A value the install used: from a full record, never from Setup.ini as it
// reads now; from a record of one line (an earlier version's), Setup.ini's.
std::wstring ValueFromRecordOrSetupIni(const char* key) {
  std::wstring text;
  if (!installHost.recorded(kRecordMarkerKey, text)) return installHost.settingText(key);
  return installHost.recorded(key, text) ? text : std::wstring();
}

// The chosen folder the record names: the Unicode line where the record's
// encoding could not spell it, else the first line. "" without a record.
std::wstring RecordedFolder() {
  std::wstring folder, escaped;
  if (installHost.recorded(kRecordUnicodeFolderKey, escaped) &&
      UnescapeFolder(Utf8FromWide(escaped), folder)) {
    return folder;
  }
  return installHost.recorded(kRecordFolderKey, folder) ? folder : std::wstring();
}

enum class EntryKind { kFolder, kFile };

// Removes base + "\" + the recorded value of key, by the held path of its
// folder: a folder only when it is an empty real folder, a file only when it
// is no folder, and either only when every folder between base and it is a
// real one. A value leading out of base ("..\Other") removes nothing.
// False when a shortcut the install made is still there (a link on its way,
// a file that could not be deleted): work is left. A folder that stays holds
// what the install did not put there, and leaves no work.
bool RemoveRecordedEntry(const std::wstring& base, const char* key, EntryKind kind) {
  const std::wstring value = ValueFromRecordOrSetupIni(key);
  std::wstring full;
  if (value.empty() || !ResolveFullPath(JoinPath(base, value), full) || !IsStrictlyInside(full, base)) {
    return true;
  }
  FolderChain folders;
  FolderCheck check = FolderCheck::kRefused;
  const std::wstring path = folders.HoldPlaceOf(base, full, &check);
  if (check == FolderCheck::kMissing) return true;
  if (path.empty()) return kind == EntryKind::kFolder;
  const std::wstring longPath = ExtendedLengthPath(path);
  const DWORD attributes = GetFileAttributesW(longPath.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  const bool isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (kind == EntryKind::kFolder && isFolder && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    RemoveDirectoryW(longPath.c_str());  // only an empty folder goes
  } else if (kind == EntryKind::kFile && !isFolder) {
    return DeleteFileW(longPath.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
  }
  return true;
}

}  // namespace

void UninstallCommand() {
  const int answer = ShowMessage(installHost.window, kMsgConfirmUninstall, kCaptionInformation, MB_YESNO);
  if (answer != IDYES || installHost.shutdownHasRun()) return;
  busy = 1;
  installFolder = RecordedFolder();

  bool complete = true;  // nothing the record names is left
  std::wstring programs;
  if (installHost.shell->GetProgramsFolder(programs)) {
    for (int i = 0; i < kNumberedKeys; ++i) {
      complete &= RemoveRecordedEntry(programs, NumberedKey("CreateShortcutTo", i), EntryKind::kFile);
    }
    // In reverse, so that a folder inside an earlier one goes first.
    for (int i = kNumberedKeys - 1; i >= 0; --i) {
      RemoveRecordedEntry(programs, NumberedKey("CreateStartmenuDirectory", i), EntryKind::kFolder);
    }
  }

  // A record without a usable folder, or an empty InstallDest, would point
  // the delete at a drive root or at the chosen folder with everything it
  // held before: the installed files are left alone for good, and the user
  // told. A link at the tree or between it and the recorded folder would
  // point it somewhere else entirely: the files are left alone this time, and
  // the record stays for another try. A tree that is simply gone has nothing
  // to delete.
  const std::wstring installDest = ValueFromRecordOrSetupIni("InstallDest");
  std::wstring tree;
  bool treeIsSafe = IsSafeTreeToEmpty(installFolder, installDest) &&
                    ResolveFullPath(JoinPath(installFolder, installDest), tree);
  if (treeIsSafe) {
    FolderChain chain;  // held, so that none of them can be swapped meanwhile
    const FolderCheck check = chain.Hold(installFolder, tree);
    if (check == FolderCheck::kHeld) {
      const std::wstring held = chain.FinalPath();
      complete &= !held.empty() && installHost.shell->DeleteTreeContents(held);
    }
    treeIsSafe = check != FolderCheck::kRefused;
    complete &= treeIsSafe;
  }
  if (IsAbsoluteFolder(installFolder)) {
    for (int i = kNumberedKeys - 1; i >= 0; --i) {
      RemoveRecordedEntry(installFolder, NumberedKey("CreateDirectory", i), EntryKind::kFolder);
    }
  }

  // The record goes only with everything it names, and only while it still
  // reads as a record; otherwise it stays, and Uninstall with it.
  std::wstring record;
  if (complete && BuildRecordPath(installHost.settingText("UninstallIni"), record) &&
      InspectRecordFile(record) == RecordFile::kRecord) {
    complete = DeleteFileW(record.c_str()) != FALSE;
  }

  installed = complete ? 0 : 1;
  busy = 0;
  if (!treeIsSafe) ShowMessage(installHost.window, kMsgInstallFolderUnsafe, kCaptionInformation, MB_OK);
  if (complete) {
    ShowMessage(installHost.window, kMsgUninstallDone, kCaptionInformation, MB_OK);
  } else {
    ShowMessage(installHost.window, kMsgUninstallIncomplete, kCaptionError, MB_OK);
  }
}
