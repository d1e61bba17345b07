#include "installer/uninstall_flow.h"

#include <shlwapi.h>

#include <cstring>

#include "app/app_state.h"
#include "app/messages.h"
#include "app/record_path.h"
#include "app/window_proc.h"
#include "common/message_box.h"
#include "common/paths.h"
#include "installer/install_flow.h"
#include "installer/setup_shell.h"

namespace {

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// "D:", "D:\..." or "\\server\share...": never relative to the current folder or drive.
bool IsAbsoluteFolder(const char* path) {
  if (IsDriveLetter(path[0]) && path[1] == ':') return path[2] == '\0' || path[2] == '\\';
  return path[0] == '\\' && path[1] == '\\' && path[2] != '\0';
}

}  // namespace

bool IsSafeTreeToEmpty(const char* installDirectory, const char* installDest) {
  if (!IsAbsoluteFolder(installDirectory) || installDest[0] == '\0') return false;
  char tree[MAX_PATH], full[MAX_PATH];
  if (!JoinPath(tree, installDirectory, installDest)) return false;
  const DWORD length = GetFullPathNameA(tree, MAX_PATH, full, nullptr);
  if (length == 0 || length >= MAX_PATH || PathIsRootA(full)) return false;
  // An InstallDest such as "." or "..\Other" leads back to or out of the
  // chosen folder: only a tree strictly below it is emptied.
  return IsSameOrInside(full, installDirectory) && !IsSameOrInside(installDirectory, full);
}

void RemoveConfiguredEntry(const char* base, const char* key) {
  const char* value = setupStore->ValueOf(key);
  if (value[0] == '\0') return;
  char path[MAX_PATH];
  if (!JoinPath(path, base, value)) return;
  if (GetFileAttributesA(path) & FILE_ATTRIBUTE_DIRECTORY) {
    RemoveDirectoryA(path);  // only an empty folder goes
  } else {
    DeleteFileA(path);
  }
}

void UninstallCommand() {
  const int answer = ShowMessage(mainWindow, kMsgConfirmUninstall, kCaptionInformation, MB_YESNO);
  if (answer != IDYES || ShutdownHasRun()) return;
  busy = 1;
  lstrcpynA(installFolder, recordStore ? recordStore->ValueOf("InstallDirectory") : "", MAX_PATH);

  char key[40];
  char programs[MAX_PATH];
  if (setupShell->GetProgramsFolder(programs)) {
    for (int i = 0; i <= 4; ++i) {
      wsprintfA(key, "CreateShortcutTo%d", i);
      RemoveConfiguredEntry(programs, key);
    }
    // In reverse, so that a folder inside an earlier one goes first.
    for (int i = 4; i >= 0; --i) {
      wsprintfA(key, "CreateStartmenuDirectory%d", i);
      RemoveConfiguredEntry(programs, key);
    }
  }

  // A record without a usable folder, or an empty InstallDest, would point
  // the delete at a drive root or at the chosen folder with everything it
  // held before: the installed files are then left alone, and the user told.
  const char* installDest = setupStore->ValueOf("InstallDest");
  const bool treeIsSafe = IsSafeTreeToEmpty(installFolder, installDest);
  if (treeIsSafe) {
    char tree[MAX_PATH];
    if (JoinPath(tree, installFolder, installDest)) setupShell->DeleteTreeContents(tree);
  }
  if (IsAbsoluteFolder(installFolder)) {
    for (int i = 4; i >= 0; --i) {
      wsprintfA(key, "CreateDirectory%d", i);
      RemoveConfiguredEntry(installFolder, key);
    }
  }

  char record[MAX_PATH];
  BuildRecordPath(record);
  DeleteFileA(record);

  installed = 0;
  busy = 0;
  if (!treeIsSafe) ShowMessage(mainWindow, kMsgInstallFolderUnsafe, kCaptionInformation, MB_OK);
  ShowMessage(mainWindow, kMsgUninstallDone, kCaptionInformation, MB_OK);
}
