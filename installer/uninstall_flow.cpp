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
// reads now; from a record of one line, Setup.ini's.
std::wstring RecordedValue(const char* key) {
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

// Removes base + "\" + the recorded value of key: a folder only when it is an
// empty real folder, a file only when it is no folder, and either only when
// every folder between base and it is a real one. A value leading out of
// base ("..\Other") removes nothing.
void RemoveRecordedEntry(const std::wstring& base, const char* key, EntryKind kind) {
  const std::wstring value = RecordedValue(key);
  if (value.empty()) return;
  std::wstring path;
  FolderChain folders;
  if (!ResolveFullPath(JoinPath(base, value), path) ||
      folders.HoldParentsOf(base, path) != FolderCheck::kRealFolder) {
    return;
  }
  const std::wstring longPath = ExtendedLengthPath(path);
  const DWORD attributes = GetFileAttributesW(longPath.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  const bool isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (kind == EntryKind::kFolder && isFolder && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    RemoveDirectoryW(longPath.c_str());  // only an empty folder goes
  } else if (kind == EntryKind::kFile && !isFolder) {
    DeleteFileW(longPath.c_str());
  }
}

}  // namespace

void UninstallCommand() {
  const int answer = ShowMessage(installHost.window, kMsgConfirmUninstall, kCaptionInformation, MB_YESNO);
  if (answer != IDYES || installHost.shutdownHasRun()) return;
  busy = 1;
  installFolder = RecordedFolder();

  std::wstring programs;
  if (installHost.shell->GetProgramsFolder(programs)) {
    for (int i = 0; i < kNumberedKeys; ++i) {
      RemoveRecordedEntry(programs, NumberedKey("CreateShortcutTo", i), EntryKind::kFile);
    }
    // In reverse, so that a folder inside an earlier one goes first.
    for (int i = kNumberedKeys - 1; i >= 0; --i) {
      RemoveRecordedEntry(programs, NumberedKey("CreateStartmenuDirectory", i), EntryKind::kFolder);
    }
  }

  // A record without a usable folder, or an empty InstallDest, would point
  // the delete at a drive root or at the chosen folder with everything it
  // held before; a link at the tree or between it and the recorded folder
  // would point it somewhere else entirely. The installed files are then left
  // alone, and the user told. A tree that is simply gone has nothing to delete.
  const std::wstring installDest = RecordedValue("InstallDest");
  std::wstring tree;
  bool treeIsSafe = IsSafeTreeToEmpty(installFolder, installDest) &&
                    ResolveFullPath(JoinPath(installFolder, installDest), tree);
  if (treeIsSafe) {
    FolderChain chain;  // held, so that none of them can be swapped meanwhile
    const FolderCheck check = chain.Hold(installFolder, tree);
    if (check == FolderCheck::kRealFolder) installHost.shell->DeleteTreeContents(tree);
    treeIsSafe = check != FolderCheck::kRefused;
  }
  if (IsAbsoluteFolder(installFolder)) {
    for (int i = kNumberedKeys - 1; i >= 0; --i) {
      RemoveRecordedEntry(installFolder, NumberedKey("CreateDirectory", i), EntryKind::kFolder);
    }
  }

  std::wstring record;
  if (BuildRecordPath(installHost.settingText("UninstallIni"), record)) DeleteFileW(record.c_str());

  installed = 0;
  busy = 0;
  if (!treeIsSafe) ShowMessage(installHost.window, kMsgInstallFolderUnsafe, kCaptionInformation, MB_OK);
  ShowMessage(installHost.window, kMsgUninstallDone, kCaptionInformation, MB_OK);
}
