#include "installer/uninstall_flow.h"

#include <cstring>

#include "common/message_box.h"
#include "common/messages.h"
#include "common/paths.h"
#include "installer/install_flow.h"
#include "installer/install_host.h"
#include "installer/path_guard.h"
#include "installer/record_path.h"
#include "installer/setup_shell.h"

void RemoveConfiguredEntry(const char* base, const char* key) {
  const char* value = installHost.setting(key);
  if (value[0] == '\0') return;
  char path[MAX_PATH];
  // Only what lies below base: a value such as "..\Other" is never removed.
  if (!JoinPath(path, base, value) || !IsStrictlyInside(path, base)) return;
  if (GetFileAttributesA(path) & FILE_ATTRIBUTE_DIRECTORY) {
    RemoveDirectoryA(path);  // only an empty folder goes
  } else {
    DeleteFileA(path);
  }
}

void UninstallCommand() {
  const int answer = ShowMessage(installHost.window, kMsgConfirmUninstall, kCaptionInformation, MB_YESNO);
  if (answer != IDYES || installHost.shutdownHasRun()) return;
  busy = 1;
  lstrcpynA(installFolder, installHost.recordedFolder(), MAX_PATH);

  char key[40];
  char programs[MAX_PATH];
  if (installHost.shell->GetProgramsFolder(programs)) {
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
  // held before; a link at the tree or between it and the recorded folder
  // would point it somewhere else entirely. The installed files are then left
  // alone, and the user told. A tree that is simply gone has nothing to delete.
  const char* installDest = installHost.setting("InstallDest");
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
    for (int i = 4; i >= 0; --i) {
      wsprintfA(key, "CreateDirectory%d", i);
      RemoveConfiguredEntry(installFolder, key);
    }
  }

  char record[MAX_PATH];
  if (BuildRecordPath(installHost.setting("UninstallIni"), record)) DeleteFileA(record);

  installed = 0;
  busy = 0;
  if (!treeIsSafe) ShowMessage(installHost.window, kMsgInstallFolderUnsafe, kCaptionInformation, MB_OK);
  ShowMessage(installHost.window, kMsgUninstallDone, kCaptionInformation, MB_OK);
}
