#include "installer/uninstall_flow.h"

#include <cstring>

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
const char* RecordedValue(const char* key) {
  if (installHost.recorded(kRecordMarkerKey) == nullptr) return installHost.setting(key);
  const char* value = installHost.recorded(key);
  return value != nullptr ? value : "";
}

enum class EntryKind { kFolder, kFile };

// Removes base + "\" + the recorded value of key: a folder only when it is an
// empty real folder, a file only when it is no folder, and either only when
// every folder between base and it is a real one. A value leading out of
// base ("..\Other") removes nothing.
void RemoveRecordedEntry(const char* base, const char* key, EntryKind kind) {
  const char* value = RecordedValue(key);
  if (value[0] == '\0') return;
  char path[MAX_PATH];
  FolderChain folders;
  if (!JoinPath(path, base, value) ||
      folders.HoldParentsOf(base, path) != FolderCheck::kRealFolder) {
    return;
  }
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  const bool isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (kind == EntryKind::kFolder && isFolder && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    RemoveDirectoryA(path);  // only an empty folder goes
  } else if (kind == EntryKind::kFile && !isFolder) {
    DeleteFileA(path);
  }
}

}  // namespace

void UninstallCommand() {
  const int answer = ShowMessage(installHost.window, kMsgConfirmUninstall, kCaptionInformation, MB_YESNO);
  if (answer != IDYES || installHost.shutdownHasRun()) return;
  busy = 1;
  const char* recordedFolder = installHost.recorded("InstallDirectory");
  lstrcpynA(installFolder, recordedFolder != nullptr ? recordedFolder : "", MAX_PATH);

  char programs[MAX_PATH];
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
  const char* installDest = RecordedValue("InstallDest");
  char tree[MAX_PATH];
  bool treeIsSafe = IsSafeTreeToEmpty(installFolder, installDest) &&
                    JoinPath(tree, installFolder, installDest);
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

  char record[MAX_PATH];
  if (BuildRecordPath(installHost.setting("UninstallIni"), record)) DeleteFileA(record);

  installed = 0;
  busy = 0;
  if (!treeIsSafe) ShowMessage(installHost.window, kMsgInstallFolderUnsafe, kCaptionInformation, MB_OK);
  ShowMessage(installHost.window, kMsgUninstallDone, kCaptionInformation, MB_OK);
}
