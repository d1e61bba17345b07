#include "installer/install_flow.h"

#include <cstring>

#include "common/message_box.h"
#include "common/messages.h"
#include "common/paths.h"
#include "imaging/skin_layout.h"
#include "installer/auto_start.h"
#include "installer/install_host.h"
#include "installer/path_guard.h"
#include "installer/setting_keys.h"
#include "installer/setup_shell.h"
#include "installer/uninstall_record.h"

char installFolder[MAX_PATH];
char sourceFolder[MAX_PATH];
char destFolder[MAX_PATH];
uint32_t totalBytes;
std::atomic<uint32_t> copiedBytes{0};
uint32_t bytesPerStep;
int32_t pixelsPerStep;

namespace {

constexpr DWORD kTickMilliseconds = 100;

std::atomic<uint32_t> filesNotCopied{0};  // by CopyThread
HANDLE copyDone = nullptr;             // set by CopyThread when its last file is closed
std::atomic<bool> stopping{false};     // the program is shutting down
std::atomic<bool> copyNotStarted{false};  // CopyThread could not be started

void ShowError(const char* text) { ShowMessage(installHost.window, text, kCaptionError, MB_OK); }

const char* Setting(const char* key) { return installHost.setting(key); }

void CreateConfiguredShortcut(int index) {
  const char* from = Setting(NumberedKey("CreateShortcutFrom", index));
  const char* to = Setting(NumberedKey("CreateShortcutTo", index));
  if (from[0] == '\0' || to[0] == '\0') return;
  char programs[MAX_PATH], target[MAX_PATH], link[MAX_PATH], workingFolder[MAX_PATH];
  if (!installHost.shell->GetProgramsFolder(programs)) return;
  if (!JoinPath(target, installFolder, from) || !JoinPath(link, programs, to)) return;
  // The link goes only into real folders below Programs, and a file standing
  // at its name loses that name instead of being written through.
  FolderChain folders;
  if (folders.HoldParentsOf(programs, link) != FolderCheck::kRealFolder) return;
  DeleteFileA(link);
  std::strcpy(workingFolder, target);
  CutToParent(workingFolder);
  installHost.shell->CreateShortcut(target, workingFolder, link,
                                    Setting(NumberedKey("CreateShortcutDescription", index)));
}

void CreateStartMenuEntries() {
  char programs[MAX_PATH];
  // Without the Programs folder nothing is made: names joined to an empty
  // folder would land at the root of the current drive.
  if (!installHost.shell->GetProgramsFolder(programs)) return;
  for (int i = 0; i < kNumberedKeys; ++i) {
    CreateConfiguredFolder(programs, NumberedKey("CreateStartmenuDirectory", i));
  }
  for (int i = 0; i < kNumberedKeys; ++i) CreateConfiguredShortcut(i);
}

DWORD WINAPI CopyThread(LPVOID) {
  // Every folder from the chosen one down to the destination stays the real
  // folder it is while the copy writes below it; one that is a link, or
  // cannot be held, gets nothing.
  FolderChain folders;
  if (folders.Hold(installFolder, destFolder) == FolderCheck::kRealFolder) {
    installHost.shell->CopyTree(sourceFolder, destFolder, copiedBytes, filesNotCopied);
  } else {
    filesNotCopied++;
  }
  SetEvent(copyDone);
  return 0;
}

// ----- ProgressThread's steps ------------------------------------------------

// Grows the bar by at most one hundredth a tick while the copy runs, until the
// count meets the total or the copy has ended without meeting it (a file
// skipped or resized); then waits for the copy to close its last file.
void GrowBarUntilCopied() {
  bool copyEnded = false;
  for (uint32_t n = 1; copiedBytes.load() != totalBytes && !copyEnded;) {
    if (copiedBytes.load() > static_cast<uint64_t>(n) * bytesPerStep && n <= 100) {
      installHost.drawBar(static_cast<int32_t>(n) * pixelsPerStep);
      ++n;
    }
    copyEnded = WaitForSingleObject(copyDone, kTickMilliseconds) == WAIT_OBJECT_0;
  }
  WaitForSingleObject(copyDone, INFINITE);
}

// The copy never ran: the buttons come back as before the install, which
// has not happened.
void AbandonInstall() {
  installHost.composeScreen();
  busy = 0;
  if (!stopping) ShowError(kMsgCopyNotStarted);
}

// The start menu and the record, then the record read back.
void FinishInstall() {
  CreateStartMenuEntries();
  WriteUninstallRecord(Setting("UninstallIni"), installFolder, Setting);
  installHost.reloadRecord();
}

// AutoStart 2, or 1 answered Yes: launches the installed target and ends the
// program. The target is checked and held before the question: whatever
// stands there while it is up can no longer be changed, and a target that
// would not be launched is not offered. Refused, the install ends as after "No".
bool LaunchAutoStart() {
  const int autoStart = installHost.numberSetting("AutoStart");
  if (stopping || (autoStart != 1 && autoStart != 2)) return false;
  AutoStartTarget target;
  if (!target.Hold(installFolder, Setting("AutoStartPath"), destFolder, sourceFolder)) return false;
  if (autoStart == 1 && ShowMessage(installHost.window, Setting("AutoStartText"),
                                    kCaptionInformation, MB_YESNO) != IDYES) {
    return false;
  }
  if (stopping) return false;  // the window was closed while the question was up
  target.Launch();  // held until the shell has handed the launch over
  PostMessageA(installHost.window, WM_DESTROY, 0, 0);
  return true;
}

void ShowFinalScreen() {
  installHost.composeScreen();
  installed = 1;  // before busy drops, so Install never reacts to a finished install
  busy = 0;
}

DWORD WINAPI ProgressThread(LPVOID) {
  GrowBarUntilCopied();
  if (copyNotStarted) {
    AbandonInstall();
    return 0;
  }
  installHost.drawBar(installHost.barWidth());
  if (filesNotCopied.load() > 0 && !stopping) ShowError(kMsgFilesNotCopied);
  FinishInstall();

  if (LaunchAutoStart()) return 0;  // the program ends; busy stays set until then
  ShowFinalScreen();
  return 0;
}

// ----- InstallCommand's steps: each false has stopped the install ------------

// A bar narrower than its hundred steps ends the program.
bool HasUsableProgressBar() {
  if (installHost.barWidth() >= kMinimumBarWidth) return true;
  ShowError(kMsgProgressBarTooNarrow);
  SendMessageA(installHost.window, WM_DESTROY, 0, 0);
  return false;
}

// sourceFolder := the current directory + "\data" ("" when it cannot be had).
void TakeSourceFolder() {
  char current[MAX_PATH] = {};
  const DWORD length = GetCurrentDirectoryA(MAX_PATH, current);
  if (length == 0 || length >= MAX_PATH) current[0] = '\0';
  CutDriveRootBackslash(current);
  if (!JoinPath(sourceFolder, current, "data")) sourceFolder[0] = '\0';
}

// installFolder := the folder the user chooses, a drive root in its short form.
bool TakeChosenFolder() {
  const FolderChoice choice = installHost.shell->ChooseFolder(installFolder);
  if (installHost.shutdownHasRun()) return false;  // the window was closed while the chooser was up
  if (choice == FolderChoice::kCancelled) {
    ShowMessage(installHost.window, kMsgInstallCancelled, kCaptionInformation, MB_OK);
    return false;
  }
  if (choice == FolderChoice::kUnnameable) {
    ShowError(kMsgFolderNameUnusable);
    return false;
  }
  CutDriveRootBackslash(installFolder);
  return true;
}

// Whether the destination installFolder + InstallDest may receive the payload.
bool IsDestinationAllowed(const char* installDest) {
  // InstallDest names a folder inside the chosen one (or, empty, the chosen
  // folder itself): one such as "..\..\Other" installs nothing.
  char plannedDest[MAX_PATH];
  if (!JoinPath(plannedDest, installFolder, installDest) ||
      (installDest[0] != '\0' && !IsStrictlyInside(plannedDest, installFolder))) {
    ShowError(kMsgDestinationMissing);
    return false;
  }
  if (sourceFolder[0] == '\0') return true;
  // A destination inside the payload would make the copy walk into its own
  // output; a payload inside the destination would be emptied with it by the
  // uninstall (Setup.ini, ui and data with it), which empties a destination
  // only when InstallDest names one below the chosen folder.
  if (WouldLieInside(plannedDest, sourceFolder)) {
    ShowError(kMsgDestinationInsidePayload);
    return false;
  }
  if (installDest[0] != '\0' && WouldLieInside(sourceFolder, plannedDest)) {
    ShowError(kMsgPayloadInsideDestination);
    return false;
  }
  return true;
}

// totalBytes := the payload's size, which must fit on the chosen folder's drive.
bool HasRoomForPayload() {
  totalBytes = installHost.shell->ScanTreeSize(sourceFolder);
  if (!installHost.shell->LacksFreeSpace(installFolder, totalBytes)) return true;
  ShowError(kMsgNotEnoughSpace);
  return false;
}

// CreateDirectory0 to 4, then destFolder, which must exist by now.
bool MakeConfiguredFolders(const char* installDest) {
  for (int i = 0; i < kNumberedKeys; ++i) {
    CreateConfiguredFolder(installFolder, NumberedKey("CreateDirectory", i));
  }
  if (JoinPath(destFolder, installFolder, installDest) &&
      GetFileAttributesA(destFolder) != INVALID_FILE_ATTRIBUTES) {
    return true;
  }
  ShowError(kMsgDestinationMissing);
  return false;
}

// busy, the bare base, and the two workers. A worker that cannot be started
// ends the install with a message and the buttons as before it.
void StartWorkers() {
  // Without the event the progress loop could not wait between ticks.
  if (!copyDone) copyDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!copyDone) {
    ShowError(kMsgCopyNotStarted);
    return;
  }
  busy = 1;
  installHost.showBareBase();

  copiedBytes = 0;
  bytesPerStep = totalBytes / 100;
  pixelsPerStep = BarPixelsPerStep(installHost.barWidth());
  filesNotCopied = 0;
  copyNotStarted = false;
  CloseWorkerHandles();  // those of an earlier install, long ended
  ResetEvent(copyDone);

  progressThread = CreateThread(nullptr, 0, ProgressThread, nullptr, 0, nullptr);
  if (!progressThread) {
    installHost.composeScreen();
    busy = 0;
    ShowError(kMsgCopyNotStarted);
    return;
  }
  copyThread = CreateThread(nullptr, 0, CopyThread, nullptr, 0, nullptr);
  if (!copyThread) {  // ProgressThread gives the buttons back and says so
    copyNotStarted = true;
    SetEvent(copyDone);
  }
}

}  // namespace


void CreateConfiguredFolder(const char* base, const char* key) {
  const char* value = Setting(key);
  if (value[0] == '\0') return;
  char path[MAX_PATH];
  // A value such as "..\Other" would reach out of the folder it belongs to,
  // and a link on the way would lead the new folder elsewhere.
  FolderChain folders;
  if (JoinPath(path, base, value) &&
      folders.HoldParentsOf(base, path) == FolderCheck::kRealFolder) {
    CreateDirectoryA(path, nullptr);
  }
}

void InstallCommand() {
  if (!HasUsableProgressBar()) return;
  TakeSourceFolder();
  if (!TakeChosenFolder()) return;
  const char* installDest = Setting("InstallDest");
  if (!IsDestinationAllowed(installDest) || !HasRoomForPayload() ||
      !MakeConfiguredFolders(installDest)) {
    return;
  }
  StartWorkers();
}

void RequestInstallStop() { stopping = true; }

void CloseWorkerHandles() {
  for (HANDLE* handle : {&copyThread, &progressThread}) {
    if (*handle) CloseHandle(*handle);
    *handle = nullptr;
  }
}
